// Sound mixing: 60 s at 48 kHz from 32 looping channels through the audio layer's manual output,
// 24 of them sounds decoded whole from 16-bit WAV files and 8 of them Ogg Vorbis streams decoded while
// they play, all recorded at 44.1 kHz so every channel is resampled. Goal: at most 3% of one core,
// that is 1.8 s of processor time for the minute. Anchor: sox mixing the same 32 signals as WAV files
// ("sox -m", its quick resampler, stereo 32-bit float out to /dev/null), its processor time read from
// the child process. The anchor decodes no Vorbis; the engine does, for 8 channels.
#include "platform/audio/AudioSystem.h"
#include "tests/common/SoundFiles.h"

#include "FastestRunReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

constexpr uint32_t kSourceRate = 44100;
constexpr uint32_t kMixRate = 48000;
constexpr uint32_t kSeconds = 60;
constexpr int kChannels = 32;
constexpr int kStreams = 8;
constexpr int kEncoded = 2; // distinct Vorbis files the streams take turns with
constexpr uint32_t kCallbackFrames = 1024;

using Bytes = SoundFiles::Bytes;

// Each channel its own pair of tones, quiet enough that 32 of them do not clip much.
std::vector<float> signal(int index)
{
    const uint32_t frames = kSourceRate * kSeconds;
    std::vector<float> out(frames);
    const double low = 110.0 * (1.0 + index * 0.37);
    const double high = low * 2.51;
    for (uint32_t i = 0; i < frames; ++i)
    {
        const double t = double(i) / kSourceRate;
        out[i] = float(0.02 * std::sin(2.0 * M_PI * low * t) + 0.01 * std::sin(2.0 * M_PI * high * t));
    }
    return out;
}

struct Material
{
    Material()
    {
        folder = std::filesystem::temp_directory_path() / ("pellwood-bench-sound-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder);
        for (int i = 0; i < kChannels; ++i)
        {
            const std::vector<float> samples = signal(i);
            wavs.push_back(SoundFiles::MakeWav({SoundFiles::kPcm, 16, 1, kSourceRate, false}, samples));
            paths.push_back((folder / ("channel" + std::to_string(i) + ".wav")).string());
            std::ofstream(paths.back(), std::ios::binary)
                .write(reinterpret_cast<const char*>(wavs.back().data()), std::streamsize(wavs.back().size()));
            if (i >= kChannels - kEncoded)
                oggs.push_back(SoundFiles::EncodeVorbis(samples, 1, kSourceRate, 0.3f));
        }
    }
    ~Material()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder;
    std::vector<Bytes> wavs;
    std::vector<std::string> paths;
    std::vector<Bytes> oggs;
};

Material& material()
{
    static Material made;
    return made;
}

void Engine(benchmark::State& state)
{
    Material& m = material();
    Audio::SystemOptions options;
    options.output = Audio::OutputType::Manual;
    options.rate = kMixRate;
    std::unique_ptr<Audio::System> system;
    Audio::System::Create(options, system);
    if (system->Init(kChannels) != Audio::Result::Ok)
    {
        state.SkipWithError("no system");
        return;
    }
    std::vector<std::unique_ptr<Audio::Sound>> sounds;
    for (int i = 0; i < kChannels; ++i)
    {
        const bool stream = i >= kChannels - kStreams;
        const Bytes& file = stream ? m.oggs[i % kEncoded] : m.wavs[i];
        std::unique_ptr<Audio::Sound> sound;
        const uint32_t mode = stream ? uint32_t(Audio::ModeLoopNormal | Audio::ModeCreateStream)
                                     : uint32_t(Audio::ModeLoopNormal);
        if (system->CreateSound(file.data(), file.size(), mode, nullptr, sound) != Audio::Result::Ok)
        {
            state.SkipWithError("a sound cannot be made");
            return;
        }
        sounds.push_back(std::move(sound));
    }
    std::vector<float> buffer(size_t(kCallbackFrames) * 2);
    for (auto _ : state)
    {
        std::vector<Audio::Channel> channels(kChannels);
        for (int i = 0; i < kChannels; ++i)
            system->PlaySound(sounds[size_t(i)].get(), false, channels[size_t(i)]);
        for (uint32_t done = 0; done < kMixRate * kSeconds; done += kCallbackFrames)
            system->ReadMixed(buffer.data(), kCallbackFrames);
        benchmark::DoNotOptimize(buffer[0]);
        for (Audio::Channel& channel : channels)
            channel.Stop();
    }
}

// The child's processor time, in seconds; negative when it could not run.
double runSox(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1.0;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Sox(benchmark::State& state)
{
    Material& m = material();
    std::vector<std::string> arguments = {"sox", "-D", "-m"};
    arguments.insert(arguments.end(), m.paths.begin(), m.paths.end());
    for (const char* a : {"-t", "raw", "-e", "floating-point", "-b", "32", "-c", "2", "-r", "48000", "/dev/null",
                          "rate", "-q"})
        arguments.push_back(a);
    for (auto _ : state)
    {
        const double seconds = runSox(arguments);
        if (seconds < 0.0)
        {
            state.SkipWithError("sox did not run (scripts/install-deps.sh installs it)");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

// The engine's processor time, and the manual time (the child's processor time) of the anchor.
class MixReporter : public FastestRunReporter
{
public:
    std::map<std::string, double> manual;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        FastestRunReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.run_name.function_name;
            const auto known = manual.find(name);
            if (known == manual.end() || run.GetAdjustedRealTime() < known->second)
                manual[name] = run.GetAdjustedRealTime();
        }
    }
};

} // namespace

BENCHMARK(Engine)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(Sox)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseManualTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    material();
    MixReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // Both are reported in milliseconds, the unit the benchmarks are registered with.
    const double engine = reporter.nanoseconds["Engine"] / 1e3;
    const double sox = reporter.manual.count("Sox") ? reporter.manual["Sox"] / 1e3 : 0.0;
    if (engine > 0.0)
        std::printf("engine: %.3f s of processor time for %u s of audio = %.2f%% of one core (goal: at most 3%%)\n",
                    engine, kSeconds, 100.0 * engine / kSeconds);
    if (engine > 0.0 && sox > 0.0)
        std::printf("sox -m: %.3f s = %.2f%% of one core; engine / sox: %.2fx\n", sox, 100.0 * sox / kSeconds,
                    engine / sox);
    return 0;
}
