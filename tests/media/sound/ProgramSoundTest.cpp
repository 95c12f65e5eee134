// The pellwood program on the sample content, on an X server of its own (Xvfb): the sample's splash
// screen plays the chime as it starts, and SDL's "disk" audio driver writes what would be heard to a
// file, which must hold the chime, whole and loud enough, and nothing else while the splash screen
// lasts (3.5 s; the sample's music starts after it); with no audio driver at all the program must
// still start and run, playing without sound, and say so in one line without the audio library's
// own errors.
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace
{

using ProgramLaunch::Clock;
using ProgramLaunch::pause;
using ProgramLaunch::Process;
using ProgramLaunch::ProgramWorld;
using ProgramLaunch::readFile;

constexpr uint32_t kDeviceRate = 48000;  // what the audio layer asks the device for; "disk" takes it
constexpr uint32_t kChimeFrames = 28800; // 0.6 s

} // namespace

TEST(ProgramSound, TheSplashScreenPlaysTheSampleChimeThroughTheDiskDriver)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    ProgramWorld world;
    if (!world.Start())
        return;
    const std::filesystem::path heard = world.temp.path / "heard.raw";
    const std::filesystem::path errors = world.temp.path / "errors.txt";
    world.Set("SDL_AUDIODRIVER", "disk");
    world.Set("SDL_DISKAUDIOFILE", heard.string());
    Process program(world.Launch(ProgramLaunch::SampleArguments(), errors));
    ASSERT_TRUE(program.Started());
    // Three seconds of output: start-up, the chime, and silence after it.
    const uintmax_t enough = uintmax_t(kDeviceRate) * 3 * 2 * sizeof(float);
    ASSERT_TRUE(program.WaitFor(
        [&]
        {
            std::error_code error;
            const uintmax_t size = std::filesystem::file_size(heard, error);
            return !error && size >= enough;
        },
        std::chrono::seconds(90)))
        << "no three seconds of audio; the program said:\n"
        << readFile(errors);

    // Only those three seconds, and in them only the first sound: on a busy machine the menu's
    // music can follow the chime within them, after a stretch of silence.
    const std::string bytes = readFile(heard).substr(0, size_t(enough));
    std::vector<float> samples(bytes.size() / sizeof(float));
    ASSERT_FALSE(samples.empty());
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    const size_t frames = samples.size() / 2;
    const auto loudness = [&samples](size_t i)
    { return std::max(std::fabs(samples[2 * i]), std::fabs(samples[2 * i + 1])); };
    size_t first = 0;
    while (first < frames && loudness(first) == 0.0f)
        ++first;
    ASSERT_LT(first, frames) << "the output is silent";
    // The chime ends where a tenth of a second of silence begins.
    const size_t kGap = size_t(kDeviceRate) / 10;
    size_t last = first, quiet = 0;
    float peak = 0.0f;
    for (size_t i = first; i < frames && quiet < kGap; ++i)
    {
        const float loudest = loudness(i);
        if (loudest == 0.0f)
        {
            ++quiet;
            continue;
        }
        quiet = 0;
        last = i;
        peak = std::max(peak, loudest);
    }
    ASSERT_EQ(quiet, kGap) << "the chime must have ended inside the output";
    // The chime, 26460 frames at 44100 Hz, resampled to the device's 48000 Hz: 0.6 s.
    EXPECT_NEAR(double(last - first + 1), double(kChimeFrames), 2.0);
    EXPECT_GT(peak, 0.4f);
    EXPECT_LE(peak, 1.0f);
#endif
}

TEST(ProgramSound, WithoutAnAudioDeviceTheProgramStillRunsAndSaysSoInOneLine)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    // No driver at all, and ALSA with no configuration to find a device in: the latter prints
    // its own errors on the terminal unless the program keeps them off.
    const struct
    {
        const char* driver;
        const char* alsaConfig;
    } cases[] = {{"no-such-driver", nullptr}, {"alsa", "/nonexistent/alsa.conf"}};
    constexpr const char* kSoundOff = "sound is off: no audio device could be opened (";
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.driver);
        ProgramWorld world;
        if (!world.Start())
            return;
        const std::filesystem::path errors = world.temp.path / "errors.txt";
        world.Set("SDL_AUDIODRIVER", c.driver);
        if (c.alsaConfig)
            world.Set("ALSA_CONFIG_PATH", c.alsaConfig);
        world.Set("PELLWOOD_LOG", "debug");
        Process program(world.Launch(ProgramLaunch::SampleArguments(), errors));
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(program.WaitFor([&] { return readFile(errors).find("playing without sound") != std::string::npos; },
                                    std::chrono::seconds(90)))
            << "the program said:\n"
            << readFile(errors);
        // Start-up goes on past the sound manager; three seconds on the program must still be running.
        for (const auto until = Clock::now() + std::chrono::seconds(3); Clock::now() < until && program.Running();)
            pause(20);
        EXPECT_TRUE(program.Running()) << "the program ended; it said:\n" << readFile(errors);
        const std::string said = readFile(errors);
        const size_t line = said.find(kSoundOff);
        ASSERT_NE(line, std::string::npos) << said;
        EXPECT_EQ(said.find(kSoundOff, line + 1), std::string::npos) << "said more than once:\n" << said;
        const size_t end = said.find('\n', line);
        ASSERT_NE(end, std::string::npos);
        EXPECT_EQ(said[end - 1], ')') << said.substr(line, end - line);
        EXPECT_GT(end - line, std::strlen(kSoundOff) + 1) << "the reason is missing";
        EXPECT_EQ(said.find("ALSA lib"), std::string::npos) << said;
    }
#endif
}
