// Decoders that turn a sound file held in memory into float frames, from any frame on: the Ogg
// Vorbis decoder (libvorbisfile over bounds-checked memory callbacks) and the WAV decoder (the WAV
// reader's conversion). Sounds decoded whole use one once at creation; streamed sounds give every
// playing channel its own. The memory is the caller's and must outlive the decoder.
#pragma once

#include "platform/audio/WavReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Audio
{

struct StreamInfo
{
    uint32_t channels = 0; // 1 or 2
    uint32_t rate = 0;
    uint64_t frames = 0;   // the length the file states
};

class StreamDecoder
{
public:
    virtual ~StreamDecoder() = default;
    virtual const StreamInfo& Info() const = 0;
    // Moves to a frame below Info().frames; false when the data does not allow it.
    virtual bool Seek(uint64_t frame) = 0;
    // Decodes up to count frames as interleaved floats; the number written, 0 at the end or when the
    // data is broken. Non-finite samples come out as 0.
    virtual uint32_t Read(float* out, uint32_t count) = 0;
};

// True when the bytes start with an Ogg page.
bool LooksLikeOgg(const uint8_t* data, size_t size);

// A decoder of an Ogg Vorbis stream of one or two channels whose length is known; null otherwise.
std::unique_ptr<StreamDecoder> OpenVorbisDecoder(const uint8_t* data, size_t size);
// A decoder of a WAV file's sample data.
std::unique_ptr<StreamDecoder> OpenWavDecoder(const uint8_t* data, const WavFormat& format);

} // namespace Audio
