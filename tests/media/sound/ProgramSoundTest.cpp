// The pellwood program on the sample content, on an X server of its own (Xvfb): the sample's splash
// screen plays the chime as it starts, and SDL's "disk" audio driver writes what would be heard to a
// file, which must hold the chime, whole and loud enough, and nothing else while the splash screen
// lasts (3.5 s; the sample's music starts after it); with no audio driver at all the program must
// still start and run, playing without sound.
#include "tests/core/TempFolder.h"
#include "tests/platform/XServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <time.h>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr uint32_t kDeviceRate = 48000; // what the audio layer asks the device for; "disk" takes it
constexpr uint32_t kChimeFrames = 28800; // 0.6 s

void pause20ms()
{
    timespec step{0, 20 * 1000 * 1000};
    nanosleep(&step, nullptr);
}

// The program and its own X server, both ended when the test leaves.
class ProgramRun
{
public:
    ~ProgramRun()
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    // False (with the test skipped) when there is no Xvfb.
    bool Start(const std::vector<std::pair<std::string, std::string>>& variables, const std::string& errors)
    {
        const std::string xvfb = XServerSupport::findProgram("Xvfb");
        if (xvfb.empty())
            return false;
        const std::string display = server.Start(xvfb);
        EXPECT_FALSE(display.empty()) << "Xvfb did not start";
        for (const char* folder : {"config", "data", "run"})
            std::filesystem::create_directories(temp.path / folder);
        const std::filesystem::path suppressions = temp.path / "lsan.supp";
        std::ofstream(suppressions) << "leak:libdbus-1.so\n";
        std::vector<std::string> environment = XServerSupport::currentEnvironment();
        XServerSupport::setVariable(environment, "DISPLAY", display);
        XServerSupport::setVariable(environment, "SDL_VIDEODRIVER", "x11");
        XServerSupport::setVariable(environment, "XDG_CONFIG_HOME", (temp.path / "config").string());
        XServerSupport::setVariable(environment, "XDG_DATA_HOME", (temp.path / "data").string());
        XServerSupport::setVariable(environment, "XDG_RUNTIME_DIR", (temp.path / "run").string());
        XServerSupport::setVariable(environment, "LSAN_OPTIONS", "suppressions=" + suppressions.string());
        for (const auto& [name, value] : variables)
            XServerSupport::setVariable(environment, name, value);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Nothing of the test's own output is handed on, so a program left behind never holds it open.
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid = XServerSupport::spawn(PELLWOOD_PROGRAM,
                                    {"-data", std::string(PELLWOOD_SOURCE_DIR) + "/sample", "-windowed"}, environment,
                                    &actions);
        posix_spawn_file_actions_destroy(&actions);
        return pid > 0;
    }

    // Polls until done() holds; false when the program ended first or the deadline passed.
    template <class Done> bool WaitFor(Done done, std::chrono::seconds limit)
    {
        for (const auto deadline = Clock::now() + limit; Clock::now() < deadline; pause20ms())
        {
            if (done())
                return true;
            if (!Running())
                return false;
        }
        return false;
    }
    bool Running()
    {
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, WNOHANG) == pid)
            pid = -1;
        return pid > 0;
    }

    TempFolder temp;

private:
    XServerSupport::XServer server;
    pid_t pid = -1;
};

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(ProgramSound, TheSplashScreenPlaysTheSampleChimeThroughTheDiskDriver)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    ProgramRun run;
    const std::filesystem::path heard = run.temp.path / "heard.raw";
    if (!run.Start({{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", heard.string()}},
                   (run.temp.path / "errors.txt").string()))
        GTEST_SKIP() << "no Xvfb";
    // Three seconds of output: start-up, the chime, and silence after it.
    const uintmax_t enough = uintmax_t(kDeviceRate) * 3 * 2 * sizeof(float);
    ASSERT_TRUE(run.WaitFor(
        [&]
        {
            std::error_code error;
            const uintmax_t size = std::filesystem::file_size(heard, error);
            return !error && size >= enough;
        },
        std::chrono::seconds(90)))
        << "no three seconds of audio; the program said:\n"
        << readFile(run.temp.path / "errors.txt");

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

TEST(ProgramSound, WithoutAnAudioDeviceTheProgramStillRuns)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    ProgramRun run;
    const std::filesystem::path errors = run.temp.path / "errors.txt";
    if (!run.Start({{"SDL_AUDIODRIVER", "no-such-driver"}, {"PELLWOOD_LOG", "debug"}}, errors.string()))
        GTEST_SKIP() << "no Xvfb";
    ASSERT_TRUE(run.WaitFor([&] { return readFile(errors).find("playing without sound") != std::string::npos; },
                            std::chrono::seconds(90)))
        << "the program said:\n"
        << readFile(errors);
    // Start-up goes on past the sound manager; three seconds on the program must still be running.
    for (const auto until = Clock::now() + std::chrono::seconds(3); Clock::now() < until && run.Running();)
        pause20ms();
    EXPECT_TRUE(run.Running()) << "the program ended; it said:\n" << readFile(errors);
#endif
}
