// Reader of RIFF WAVE files held in memory: PCM of 8, 16, 24 and 32 bits, IEEE float of 32 and 64
// bits, plain or in the extensible layout; mono or stereo. It finds the format and the sample data
// and converts frames to float on demand, so the same reader serves sounds decoded whole and sounds
// streamed from the file's memory. Every offset is checked against the bytes that are there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Audio
{

struct WavFormat
{
    uint32_t channels = 0;      // 1 or 2
    uint32_t rate = 0;          // frames per second
    uint32_t bitsPerSample = 0; // container bits: 8, 16, 24, 32 or 64
    bool isFloat = false;
    uint32_t blockAlign = 0;    // bytes per frame
    size_t dataOffset = 0;      // first byte of the first frame
    uint64_t frames = 0;        // whole frames present (a cut-off file keeps what it has)
};

// Highest rate accepted: anything above is not a sound file of ours.
constexpr uint32_t kMaxWavRate = 768000;

// True when the bytes start like a WAV file ("RIFF" .... "WAVE").
bool LooksLikeWav(const uint8_t* data, size_t size);
// Fills format from the file's "fmt " and "data" chunks; false for anything this reader cannot play.
bool ReadWavFormat(const uint8_t* data, size_t size, WavFormat& format);
// Converts count frames from firstFrame on into interleaved floats (channels per frame): integers
// scaled to [-1, 1), float samples as stored. The caller keeps firstFrame + count within
// format.frames. Float samples that are no number or beyond a float's range read as 0.
void ConvertWavFrames(const uint8_t* data, const WavFormat& format, uint64_t firstFrame, uint32_t count,
                      float* out);

} // namespace Audio
