// Sound files made in code for the audio tests, fuzz seeds and benchmarks: WAV files in every layout
// the reader takes (from float samples, quantised the way the expected values are worked out) and
// Ogg Vorbis files encoded with libvorbisenc. Nothing here reads a file from anywhere.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace SoundFiles
{

using Bytes = std::vector<uint8_t>;

constexpr uint16_t kPcm = 1;
constexpr uint16_t kFloat = 3;

struct WavSpec
{
    uint16_t format = kPcm; // kPcm or kFloat
    uint16_t bits = 16;
    uint16_t channels = 1;
    uint32_t rate = 8000;
    bool extensible = false;
};

// The integer a PCM sample of that many bits stores for v (v in [-1, 1]).
inline int64_t Quantise(double v, int bits)
{
    const double scale = std::ldexp(1.0, bits - 1);
    double q = std::nearbyint(v * scale);
    if (q > scale - 1)
        q = scale - 1;
    if (q < -scale)
        q = -scale;
    return int64_t(q);
}

// What a reader should give for v stored in that layout.
inline float Stored(double v, const WavSpec& spec)
{
    if (spec.format == kFloat)
        return spec.bits == 32 ? float(v) : float(double(v));
    return float(double(Quantise(v, spec.bits)) / std::ldexp(1.0, spec.bits - 1));
}

inline void Put(Bytes& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

inline void PutTag(Bytes& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(tag[i]));
}

// The "fmt " chunk of a spec, body only.
inline Bytes FormatChunk(const WavSpec& spec)
{
    Bytes body;
    const uint32_t blockAlign = uint32_t(spec.channels) * spec.bits / 8;
    Put(body, spec.extensible ? 0xFFFE : spec.format, 2);
    Put(body, spec.channels, 2);
    Put(body, spec.rate, 4);
    Put(body, uint64_t(spec.rate) * blockAlign, 4);
    Put(body, blockAlign, 2);
    Put(body, spec.bits, 2);
    if (spec.extensible)
    {
        Put(body, 22, 2);
        Put(body, spec.bits, 2);
        Put(body, spec.channels == 1 ? 0x4 : 0x3, 4);
        Put(body, spec.format, 2);
        const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        body.insert(body.end(), tail, tail + 14);
    }
    return body;
}

// The sample bytes of interleaved values in a spec's layout.
inline Bytes SampleBytes(const WavSpec& spec, const std::vector<float>& samples)
{
    Bytes out;
    for (float v : samples)
    {
        if (spec.format == kFloat && spec.bits == 32)
        {
            uint32_t bits;
            std::memcpy(&bits, &v, 4);
            Put(out, bits, 4);
        }
        else if (spec.format == kFloat)
        {
            const double d = v;
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            Put(out, bits, 8);
        }
        else if (spec.bits == 8)
            out.push_back(uint8_t(Quantise(v, 8) + 128));
        else
            Put(out, uint64_t(Quantise(v, spec.bits)), spec.bits / 8);
    }
    return out;
}

// A whole file: RIFF header, "fmt ", any extra chunks given, "data".
inline Bytes MakeWav(const WavSpec& spec, const std::vector<float>& samples, const Bytes& extraChunks = {})
{
    const Bytes format = FormatChunk(spec);
    const Bytes data = SampleBytes(spec, samples);
    Bytes out;
    PutTag(out, "RIFF");
    Put(out, 4 + 8 + format.size() + extraChunks.size() + 8 + data.size() + (data.size() & 1), 4);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put(out, format.size(), 4);
    out.insert(out.end(), format.begin(), format.end());
    out.insert(out.end(), extraChunks.begin(), extraChunks.end());
    PutTag(out, "data");
    Put(out, data.size(), 4);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1)
        out.push_back(0);
    return out;
}

// Interleaved sine tones: channel c at frequency hz * (c + 1).
inline std::vector<float> Sine(uint32_t frames, uint32_t rate, double hz, uint32_t channels, double amplitude)
{
    std::vector<float> out(size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c)
            out[size_t(i) * channels + c] =
                float(amplitude * std::sin(2.0 * M_PI * hz * double(c + 1) * double(i) / double(rate)));
    return out;
}

// One value per frame that names the frame: frame i holds (i + 1) / scale, so a position can be read
// back from the output. Stereo frames hold the negated value on the right.
inline std::vector<float> Ramp(uint32_t frames, uint32_t channels, double scale = 4096.0)
{
    std::vector<float> out(size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c)
            out[size_t(i) * channels + c] = float((c == 0 ? 1.0 : -1.0) * double(i + 1) / scale);
    return out;
}

// Ogg Vorbis at a VBR quality (-0.1 to 1.0) of interleaved samples.
inline Bytes EncodeVorbis(const std::vector<float>& samples, uint32_t channels, uint32_t rate, float quality = 0.4f,
                          int serial = 12345)
{
    Bytes out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, long(channels), long(rate), quality) != 0)
    {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    ogg_page page;
    ogg_packet packet;
    auto writePage = [&]
    {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    {
        ogg_packet header, headerComment, headerCode;
        vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
        ogg_stream_packetin(&stream, &header);
        ogg_stream_packetin(&stream, &headerComment);
        ogg_stream_packetin(&stream, &headerCode);
        while (ogg_stream_flush(&stream, &page) != 0)
            writePage();
    }
    const size_t frames = samples.size() / channels;
    size_t done = 0;
    bool ended = false;
    while (!ended)
    {
        const size_t chunk = std::min<size_t>(1024, frames - done);
        if (chunk == 0)
            vorbis_analysis_wrote(&dsp, 0);
        else
        {
            float** buffer = vorbis_analysis_buffer(&dsp, int(chunk));
            for (size_t i = 0; i < chunk; ++i)
                for (uint32_t c = 0; c < channels; ++c)
                    buffer[c][i] = samples[(done + i) * channels + c];
            vorbis_analysis_wrote(&dsp, int(chunk));
            done += chunk;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0)
            {
                ogg_stream_packetin(&stream, &packet);
                while (!ended && ogg_stream_pageout(&stream, &page) != 0)
                {
                    writePage();
                    if (ogg_page_eos(&page))
                        ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

} // namespace SoundFiles
