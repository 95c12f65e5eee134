// The Vorbis decoder over memory against the reference decoder of vorbis-tools (oggdec): the same
// file gives the same 16-bit samples, from the start and after a seek; damaged files are refused or
// end early, never read outside their bytes.
#include "platform/audio/StreamDecoder.h"
#include "tests/common/SoundFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace Audio;
using SoundFiles::Bytes;

namespace
{

// oggdec's raw output: signed 16-bit little-endian, interleaved. Empty when oggdec is not there.
std::vector<int16_t> referenceDecode(const Bytes& file)
{
    char folder[] = "/tmp/pellwood-oggdec-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return {};
    const std::string in = std::string(folder) + "/in.ogg";
    const std::string out = std::string(folder) + "/out.raw";
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    const std::string command = "oggdec --quiet --raw --bits 16 --endianness 0 --sign 1 -o '" + out + "' '" + in +
                                "' >/dev/null 2>&1";
    std::vector<int16_t> samples;
    if (std::system(command.c_str()) == 0)
    {
        std::ifstream raw(out, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
        samples.resize(bytes.size() / 2);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = int16_t(uint16_t(uint8_t(bytes[2 * i])) | uint16_t(uint8_t(bytes[2 * i + 1])) << 8);
    }
    std::filesystem::remove_all(folder);
    return samples;
}

// How vorbisfile's own 16-bit conversion (which oggdec uses) rounds and clips a float.
int16_t to16(float v)
{
    long value = std::lrintf(v * 32768.0f);
    if (value > 32767)
        value = 32767;
    if (value < -32768)
        value = -32768;
    return int16_t(value);
}

bool haveOggdec()
{
    return std::system("command -v oggdec >/dev/null 2>&1") == 0;
}

} // namespace

TEST(VorbisDecoder, MatchesTheReferenceDecode)
{
    if (!haveOggdec())
        GTEST_SKIP() << "oggdec (vorbis-tools) is not installed; scripts/install-deps.sh installs it";
    for (uint32_t channels : {1u, 2u})
    {
        SCOPED_TRACE(channels);
        const uint32_t rate = 44100;
        const std::vector<float> signal = SoundFiles::Sine(rate * 3 / 2, rate, 330.0, channels, 0.7);
        const Bytes file = SoundFiles::EncodeVorbis(signal, channels, rate);
        ASSERT_FALSE(file.empty());
        const std::vector<int16_t> reference = referenceDecode(file);
        ASSERT_FALSE(reference.empty());

        std::unique_ptr<StreamDecoder> decoder = OpenVorbisDecoder(file.data(), file.size());
        ASSERT_TRUE(decoder);
        EXPECT_EQ(decoder->Info().channels, channels);
        EXPECT_EQ(decoder->Info().rate, rate);
        EXPECT_EQ(decoder->Info().frames, rate * 3 / 2);
        ASSERT_EQ(reference.size(), size_t(decoder->Info().frames) * channels);

        std::vector<float> decoded(reference.size());
        uint32_t done = 0;
        while (done < decoder->Info().frames)
        {
            const uint32_t got = decoder->Read(decoded.data() + size_t(done) * channels, 1000);
            ASSERT_GT(got, 0u);
            done += got;
        }
        EXPECT_EQ(decoder->Read(decoded.data(), 1), 0u);
        size_t differing = 0;
        for (size_t i = 0; i < reference.size(); ++i)
            differing += std::abs(to16(decoded[i]) - reference[i]) > 1;
        EXPECT_EQ(differing, 0u);

        // After a seek the frames are the same ones, to the sample.
        const uint32_t from = 33333;
        ASSERT_TRUE(decoder->Seek(from));
        std::vector<float> after(size_t(500) * channels);
        ASSERT_EQ(decoder->Read(after.data(), 500), 500u);
        for (size_t i = 0; i < after.size(); ++i)
            ASSERT_EQ(after[i], decoded[size_t(from) * channels + i]) << i;
    }
}

TEST(VorbisDecoder, DamagedFilesAreRefusedOrEndEarly)
{
    const std::vector<float> signal = SoundFiles::Sine(20000, 22050, 500.0, 1, 0.5);
    const Bytes file = SoundFiles::EncodeVorbis(signal, 1, 22050);
    ASSERT_FALSE(file.empty());

    // Cut inside the headers: nothing to decode.
    EXPECT_FALSE(OpenVorbisDecoder(file.data(), 60));
    EXPECT_FALSE(OpenVorbisDecoder(file.data(), 3));
    const Bytes notOgg = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    EXPECT_FALSE(OpenVorbisDecoder(notOgg.data(), notOgg.size()));

    // Cut inside the audio, or with bytes flipped there: whatever opens decodes what it can and stops.
    for (size_t keep : {file.size() - 1, file.size() * 3 / 4, file.size() / 2})
    {
        Bytes damaged(file.begin(), file.begin() + keep);
        for (size_t i = keep / 2; i < keep; i += 97)
            damaged[i] ^= 0x5A;
        std::unique_ptr<StreamDecoder> decoder = OpenVorbisDecoder(damaged.data(), damaged.size());
        if (!decoder)
            continue;
        std::vector<float> out(4096);
        uint64_t total = 0;
        for (int rounds = 0; rounds < 1000; ++rounds)
        {
            const uint32_t got = decoder->Read(out.data(), 4096);
            if (got == 0)
                break;
            total += got;
            for (uint32_t i = 0; i < got; ++i)
                ASSERT_TRUE(std::isfinite(out[i]));
        }
        EXPECT_LE(total, 20000u + 4096u);
    }
}
