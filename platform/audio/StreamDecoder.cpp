// Stream decoders; see StreamDecoder.h.
#include "platform/audio/StreamDecoder.h"

#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace Audio
{

namespace
{

// libvorbisfile reads through these, so it never sees a byte outside the block.
struct MemoryReader
{
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
};

size_t memoryRead(void* out, size_t size, size_t count, void* source)
{
    auto* reader = static_cast<MemoryReader*>(source);
    if (size == 0 || count == 0 || reader->position >= reader->size)
        return 0;
    const size_t left = reader->size - reader->position;
    const size_t items = count < left / size ? count : left / size;
    std::memcpy(out, reader->data + reader->position, items * size);
    reader->position += items * size;
    return items;
}

int memorySeek(void* source, ogg_int64_t offset, int whence)
{
    auto* reader = static_cast<MemoryReader*>(source);
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = int64_t(reader->position);
    else if (whence == SEEK_END)
        base = int64_t(reader->size);
    else if (whence != SEEK_SET)
        return -1;
    if ((offset > 0 && base > INT64_MAX - offset))
        return -1;
    const int64_t target = base + offset;
    if (target < 0 || uint64_t(target) > reader->size)
        return -1;
    reader->position = size_t(target);
    return 0;
}

long memoryTell(void* source)
{
    return long(static_cast<MemoryReader*>(source)->position);
}

class VorbisDecoder final : public StreamDecoder
{
public:
    VorbisDecoder(const uint8_t* data, size_t size)
    {
        reader.data = data;
        reader.size = size;
    }
    ~VorbisDecoder() override
    {
        if (open)
            ov_clear(&file);
    }
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    bool Open()
    {
        const ov_callbacks callbacks = {memoryRead, memorySeek, nullptr, memoryTell};
        if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0)
            return false;
        open = true;
        if (!ov_seekable(&file))
            return false;
        // Every link of a chained file must sound the same way: the frames are copied as one layout.
        const long links = ov_streams(&file);
        const vorbis_info* first = ov_info(&file, 0);
        if (links < 1 || first == nullptr || first->channels < 1 || first->channels > 2 || first->rate < 1 ||
            first->rate > long(kMaxWavRate))
            return false;
        for (long i = 1; i < links; ++i)
        {
            const vorbis_info* link = ov_info(&file, int(i));
            if (link == nullptr || link->channels != first->channels || link->rate != first->rate)
                return false;
        }
        const ogg_int64_t total = ov_pcm_total(&file, -1);
        if (total <= 0)
            return false;
        info.channels = uint32_t(first->channels);
        info.rate = uint32_t(first->rate);
        info.frames = uint64_t(total);
        return true;
    }

    const StreamInfo& Info() const override { return info; }

    bool Seek(uint64_t frame) override
    {
        if (frame >= info.frames)
            return false;
        return ov_pcm_seek(&file, ogg_int64_t(frame)) == 0;
    }

    uint32_t Read(float* out, uint32_t count) override
    {
        uint32_t written = 0;
        // A hole in the data reads as an error once; more than a few in a row end the stream.
        int errors = 0;
        while (written < count)
        {
            float** pcm = nullptr;
            int link = 0;
            const uint32_t want = count - written;
            const long got = ov_read_float(&file, &pcm, want > 4096 ? 4096 : int(want), &link);
            if (got == 0)
                break;
            if (got < 0)
            {
                if (++errors > 8)
                    break;
                continue;
            }
            errors = 0;
            const vorbis_info* current = ov_info(&file, link);
            if (current == nullptr || uint32_t(current->channels) != info.channels)
                break;
            const uint32_t frames = uint32_t(got) < want ? uint32_t(got) : want;
            float* to = out + size_t(written) * info.channels;
            if (info.channels == 1)
            {
                for (uint32_t i = 0; i < frames; ++i)
                    to[i] = std::isfinite(pcm[0][i]) ? pcm[0][i] : 0.0f;
            }
            else
            {
                for (uint32_t i = 0; i < frames; ++i)
                {
                    to[2 * i] = std::isfinite(pcm[0][i]) ? pcm[0][i] : 0.0f;
                    to[2 * i + 1] = std::isfinite(pcm[1][i]) ? pcm[1][i] : 0.0f;
                }
            }
            written += frames;
        }
        return written;
    }

private:
    MemoryReader reader;
    OggVorbis_File file{};
    bool open = false;
    StreamInfo info;
};

class WavDecoder final : public StreamDecoder
{
public:
    WavDecoder(const uint8_t* data, const WavFormat& format) : data(data), format(format)
    {
        info.channels = format.channels;
        info.rate = format.rate;
        info.frames = format.frames;
    }

    const StreamInfo& Info() const override { return info; }

    bool Seek(uint64_t frame) override
    {
        if (frame >= info.frames)
            return false;
        position = frame;
        return true;
    }

    uint32_t Read(float* out, uint32_t count) override
    {
        const uint64_t left = info.frames - position;
        const uint32_t frames = left < count ? uint32_t(left) : count;
        ConvertWavFrames(data, format, position, frames, out);
        position += frames;
        return frames;
    }

private:
    const uint8_t* data;
    WavFormat format;
    StreamInfo info;
    uint64_t position = 0;
};

} // namespace

bool LooksLikeOgg(const uint8_t* data, size_t size)
{
    return data != nullptr && size >= 4 && std::memcmp(data, "OggS", 4) == 0;
}

std::unique_ptr<StreamDecoder> OpenVorbisDecoder(const uint8_t* data, size_t size)
{
    if (!LooksLikeOgg(data, size))
        return nullptr;
    auto decoder = std::make_unique<VorbisDecoder>(data, size);
    if (!decoder->Open())
        return nullptr;
    return decoder;
}

std::unique_ptr<StreamDecoder> OpenWavDecoder(const uint8_t* data, const WavFormat& format)
{
    if (data == nullptr || format.frames == 0)
        return nullptr;
    return std::make_unique<WavDecoder>(data, format);
}

} // namespace Audio
