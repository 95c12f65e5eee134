// The WAV reader against files made in code: every sample layout it takes decodes to the values the
// file stores, and files it cannot play are refused without reading outside the bytes.
#include "platform/audio/StreamDecoder.h"
#include "platform/audio/WavReader.h"
#include "tests/common/SoundFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <cstring>

using namespace Audio;
using SoundFiles::Bytes;
using SoundFiles::WavSpec;

namespace
{

struct Layout
{
    const char* name;
    WavSpec spec;
};

const Layout kLayouts[] = {
    {"pcm8 mono", {SoundFiles::kPcm, 8, 1, 11025, false}},
    {"pcm16 stereo", {SoundFiles::kPcm, 16, 2, 44100, false}},
    {"pcm24 mono", {SoundFiles::kPcm, 24, 1, 48000, false}},
    {"pcm32 stereo", {SoundFiles::kPcm, 32, 2, 22050, false}},
    {"float32 stereo", {SoundFiles::kFloat, 32, 2, 48000, false}},
    {"float64 mono", {SoundFiles::kFloat, 64, 1, 8000, false}},
    {"extensible pcm16 stereo", {SoundFiles::kPcm, 16, 2, 44100, true}},
    {"extensible float32 mono", {SoundFiles::kFloat, 32, 1, 32000, true}},
};

} // namespace

TEST(WavReader, EveryLayoutDecodesToTheStoredValues)
{
    for (const Layout& layout : kLayouts)
    {
        SCOPED_TRACE(layout.name);
        const WavSpec& spec = layout.spec;
        const std::vector<float> samples = SoundFiles::Sine(301, spec.rate, 440.0, spec.channels, 0.9);
        const Bytes file = SoundFiles::MakeWav(spec, samples);
        WavFormat format;
        ASSERT_TRUE(ReadWavFormat(file.data(), file.size(), format));
        EXPECT_EQ(format.channels, spec.channels);
        EXPECT_EQ(format.rate, spec.rate);
        EXPECT_EQ(format.frames, 301u);
        std::vector<float> decoded(samples.size());
        ConvertWavFrames(file.data(), format, 0, 301, decoded.data());
        for (size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(decoded[i], SoundFiles::Stored(samples[i], spec)) << "sample " << i;
        // From the middle, as a stream reads it after a seek.
        std::unique_ptr<StreamDecoder> decoder = OpenWavDecoder(file.data(), format);
        ASSERT_TRUE(decoder->Seek(250));
        std::vector<float> tail(60 * spec.channels);
        EXPECT_EQ(decoder->Read(tail.data(), 60), 51u);
        EXPECT_EQ(tail[0], decoded[250 * spec.channels]);
        EXPECT_FALSE(decoder->Seek(301));
    }
}

TEST(WavReader, ExtremesOfEachIntegerWidth)
{
    // The most negative value of each width is exactly -1, the most positive just below 1 (at 32 bits
    // a float rounds it to 1); 8-bit is unsigned around 128.
    for (uint16_t bits : {8, 16, 24, 32})
    {
        SCOPED_TRACE(bits);
        const WavSpec spec{SoundFiles::kPcm, bits, 1, 8000, false};
        const Bytes file = SoundFiles::MakeWav(spec, {-1.0f, 0.0f, 1.0f});
        WavFormat format;
        ASSERT_TRUE(ReadWavFormat(file.data(), file.size(), format));
        float out[3];
        ConvertWavFrames(file.data(), format, 0, 3, out);
        EXPECT_EQ(out[0], -1.0f);
        EXPECT_EQ(out[1], 0.0f);
        EXPECT_LE(out[2], 1.0f);
        EXPECT_GT(out[2], 0.99f);
    }
}

TEST(WavReader, FloatSamplesAreHeldToFullScaleAndNaNIsSilence)
{
    const float big = std::numeric_limits<float>::max();
    const std::vector<float> stored = {big, -big, 1.5f, -1.0000001f, 0.25f, NAN, INFINITY, -INFINITY, 1e-40f};
    const std::vector<float> read = {1.0f, -1.0f, 1.0f, -1.0f, 0.25f, 0.0f, 1.0f, -1.0f, 1e-40f};
    for (const uint16_t bits : {uint16_t(32), uint16_t(64)})
    {
        const WavSpec spec{SoundFiles::kFloat, bits, 1, 8000, false};
        const Bytes file = SoundFiles::MakeWav(spec, stored);
        WavFormat format;
        ASSERT_TRUE(ReadWavFormat(file.data(), file.size(), format));
        std::vector<float> decoded(stored.size());
        ConvertWavFrames(file.data(), format, 0, uint32_t(stored.size()), decoded.data());
        EXPECT_EQ(decoded, read) << bits << " bits";
    }
}

TEST(WavReader, ChunksAroundTheDataAndCutOffFiles)
{
    const WavSpec spec{SoundFiles::kPcm, 16, 2, 8000, false};
    const std::vector<float> samples = SoundFiles::Ramp(100, 2);
    // An odd-sized chunk before the data is skipped with its pad byte.
    Bytes extra;
    SoundFiles::PutTag(extra, "LIST");
    SoundFiles::Put(extra, 3, 4);
    extra.insert(extra.end(), {'a', 'b', 'c', 0});
    const Bytes file = SoundFiles::MakeWav(spec, samples, extra);
    WavFormat format;
    ASSERT_TRUE(ReadWavFormat(file.data(), file.size(), format));
    EXPECT_EQ(format.frames, 100u);
    float first[2];
    ConvertWavFrames(file.data(), format, 0, 1, first);
    EXPECT_EQ(first[0], samples[0]);
    EXPECT_EQ(first[1], samples[1]);

    // A file cut inside its data keeps the whole frames it still has.
    const Bytes cut(file.begin(), file.end() - 7);
    ASSERT_TRUE(ReadWavFormat(cut.data(), cut.size(), format));
    EXPECT_EQ(format.frames, 98u);
}

TEST(WavReader, RefusesWhatItCannotPlay)
{
    const WavSpec mono{SoundFiles::kPcm, 16, 1, 8000, false};
    const std::vector<float> samples(16, 0.25f);
    const Bytes good = SoundFiles::MakeWav(mono, samples);
    auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes)
    {
        Bytes copy = good;
        std::copy(bytes.begin(), bytes.end(), copy.begin() + at);
        return copy;
    };
    // Offsets in the file MakeWav writes: "fmt " body at 20, "data" header at 36.
    Bytes extensibleWrongGuid = SoundFiles::MakeWav({SoundFiles::kPcm, 16, 1, 8000, true}, samples);
    extensibleWrongGuid[20 + 30] ^= 0xFF;
    Bytes dataFirst;
    SoundFiles::PutTag(dataFirst, "RIFF");
    SoundFiles::Put(dataFirst, 4 + 8 + 2, 4);
    SoundFiles::PutTag(dataFirst, "WAVE");
    SoundFiles::PutTag(dataFirst, "data");
    SoundFiles::Put(dataFirst, 2, 4);
    dataFirst.insert(dataFirst.end(), {0, 0});
    const struct
    {
        const char* name;
        Bytes file;
    } cases[] = {
        {"not riff", patched(0, {'R', 'I', 'F', 'X'})},
        {"not wave", patched(8, {'W', 'A', 'V', 'X'})},
        {"adpcm", patched(20, {2, 0})},
        {"three channels", patched(22, {3, 0})},
        {"rate zero", patched(24, {0, 0, 0, 0})},
        {"rate too high", patched(24, {0, 0, 0x10, 0})},
        {"twelve bits", patched(34, {12, 0})},
        {"block size wrong", patched(32, {4, 0})},
        {"fmt longer than the file", patched(16, {0xFF, 0xFF, 0xFF, 0x7F})},
        {"no data chunk", patched(36, {'d', 'a', 't', 'x'})},
        {"extensible with another sub-format", extensibleWrongGuid},
        {"data before fmt", dataFirst},
        {"empty", Bytes()},
        {"header only", Bytes(good.begin(), good.begin() + 12)},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WavFormat format;
        EXPECT_FALSE(ReadWavFormat(c.file.data(), c.file.size(), format));
    }
}
