// WAV reader; see WavReader.h.
#include "platform/audio/WavReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Audio
{

namespace
{

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The tail shared by the sub-format identifiers of PCM and float in the extensible layout.
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t read16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t read32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool readFmt(const uint8_t* chunk, size_t size, WavFormat& format)
{
    if (size < 16)
        return false;
    uint16_t tag = read16(chunk);
    const uint32_t channels = read16(chunk + 2);
    const uint32_t rate = read32(chunk + 4);
    const uint32_t blockAlign = read16(chunk + 12);
    const uint32_t bits = read16(chunk + 14);
    if (tag == kFormatExtensible)
    {
        // cbSize, valid bits, channel mask, then the 16-byte sub-format.
        if (size < 40 || read16(chunk + 16) < 22)
            return false;
        if (std::memcmp(chunk + 26, kSubFormatTail, sizeof kSubFormatTail) != 0)
            return false;
        tag = read16(chunk + 24);
        const uint32_t validBits = read16(chunk + 18);
        if (validBits > bits)
            return false;
    }
    if (channels < 1 || channels > 2 || rate < 1 || rate > kMaxWavRate)
        return false;
    if (tag == kFormatPcm)
    {
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return false;
    }
    else if (tag == kFormatFloat)
    {
        if (bits != 32 && bits != 64)
            return false;
    }
    else
        return false;
    if (blockAlign != channels * bits / 8)
        return false;
    format.channels = channels;
    format.rate = rate;
    format.bitsPerSample = bits;
    format.isFloat = tag == kFormatFloat;
    format.blockAlign = blockAlign;
    return true;
}

// Float samples: those that are no number read as silence, the rest are held to full scale
// [-1, 1]. Samples far beyond it (near the float's limit) would overflow the mixer's interpolation
// to an infinity, and an infinity times a zero weight is NaN.
float fullScale(double value)
{
    if (!(value == value))
        return 0.0f;
    return float(std::clamp(value, -1.0, 1.0));
}

} // namespace

bool LooksLikeWav(const uint8_t* data, size_t size)
{
    return data != nullptr && size >= 12 && std::memcmp(data, "RIFF", 4) == 0 &&
           std::memcmp(data + 8, "WAVE", 4) == 0;
}

bool ReadWavFormat(const uint8_t* data, size_t size, WavFormat& format)
{
    if (!LooksLikeWav(data, size))
        return false;
    WavFormat found;
    bool haveFormat = false;
    size_t at = 12;
    while (size - at >= 8)
    {
        const uint8_t* header = data + at;
        const uint64_t declared = read32(header + 4);
        const size_t body = at + 8;
        const size_t present = size - body;
        if (std::memcmp(header, "fmt ", 4) == 0)
        {
            if (declared > present || !readFmt(data + body, size_t(declared), found))
                return false;
            haveFormat = true;
        }
        else if (std::memcmp(header, "data", 4) == 0)
        {
            // The sample data must come after the format. A file cut short keeps the frames it has.
            if (!haveFormat)
                return false;
            const uint64_t bytes = declared < present ? declared : present;
            found.dataOffset = body;
            found.frames = bytes / found.blockAlign;
            format = found;
            return true;
        }
        // Chunks are padded to an even size.
        const uint64_t next = uint64_t(body) + declared + (declared & 1);
        if (next > size)
            break;
        at = size_t(next);
    }
    return false;
}

void ConvertWavFrames(const uint8_t* data, const WavFormat& format, uint64_t firstFrame, uint32_t count,
                      float* out)
{
    const uint8_t* p = data + format.dataOffset + firstFrame * format.blockAlign;
    const size_t samples = size_t(count) * format.channels;
    switch (format.bitsPerSample)
    {
    case 8:
        for (size_t i = 0; i < samples; ++i)
            out[i] = float(int(p[i]) - 128) * (1.0f / 128.0f);
        break;
    case 16:
        for (size_t i = 0; i < samples; ++i, p += 2)
            out[i] = float(int16_t(read16(p))) * (1.0f / 32768.0f);
        break;
    case 24:
        for (size_t i = 0; i < samples; ++i, p += 3)
        {
            const int32_t value = int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 8;
            out[i] = float(value) * (1.0f / 8388608.0f);
        }
        break;
    case 32:
        for (size_t i = 0; i < samples; ++i, p += 4)
        {
            const uint32_t bits = read32(p);
            if (format.isFloat)
            {
                float value;
                std::memcpy(&value, &bits, 4);
                out[i] = fullScale(value);
            }
            else
                out[i] = float(double(int32_t(bits)) * (1.0 / 2147483648.0));
        }
        break;
    case 64:
        for (size_t i = 0; i < samples; ++i, p += 8)
        {
            const uint64_t bits = uint64_t(read32(p)) | uint64_t(read32(p + 4)) << 32;
            double value;
            std::memcpy(&value, &bits, 8);
            out[i] = fullScale(value);
        }
        break;
    default:
        for (size_t i = 0; i < samples; ++i)
            out[i] = 0.0f;
        break;
    }
}

} // namespace Audio
