// The sound service on the engine's real sound manager: on the manual output (mixed frames read by
// the test, one fader step a 60th of a second) the levels of a cross-fade driven through "svc.Sound",
// and through SDL's "disk" audio driver a click and a music cross-fade that must reach the output
// file, non-silent, where the frames written at the moment of each call say they belong. The disk
// test paces itself by the output file's length, never by the test's own clock.
#include "tests/media/sound/SoundWorld.h"

#include "engine/scene/script/LuaMgr.h"
#include "game/media/SoundMgr.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace SoundTest;

namespace
{

constexpr uint32_t kDeviceRate = 48000;
constexpr uint32_t kFrameStep = kDeviceRate / 60; // output frames per fader step

// Constant-level mono WAV files at the device's rate, so nothing is resampled.
Bytes Constant(uint32_t frames, float value)
{
    return SoundFiles::MakeWav({SoundFiles::kFloat, 32, 1, kDeviceRate, false}, std::vector<float>(frames, value));
}

class ServiceOutput : public SoundWorld
{
protected:
    void Define()
    {
        Write(L"a.wav", Constant(kDeviceRate * 4, 0.2f));
        Write(L"b.wav", Constant(kDeviceRate * 4, 0.6f));
        Write(L"c.wav", Constant(kDeviceRate / 10, 0.5f));
        WriteAudioXml(R"(
  <ClassDef name="Sound"/>
  <ClassDef name="Music"/>
  <ClassDef name="Ambient"/>
  <ClassDef name="Effects"/>
  <ClassDef name="Voice"/>
  <Sound name="A" source="a.wav" class="Music"/>
  <Sound name="B" source="b.wav" class="Music"/>
  <Sound name="click" source="c.wav" class="Sound"/>
)");
    }
    // The service on the running manager, published to scripts, with every class at full volume.
    void StartService()
    {
        RegisterSoundScriptClass();
        ASSERT_TRUE(lua.Init());
        ASSERT_TRUE(manager->LoadAudioXml());
        service = std::make_unique<SoundMgr>();
        service->Setup();
        service->SetMusicVolume(1.0f);
        service->SetSoundVolume(1.0f);
    }
    void TearDown() override
    {
        if (service)
            service->Shutdown();
        service.reset();
        manager.reset();
    }
    bool Run(const std::string& code) { return lua.DoString(code); }

    LuaMgr lua;
    std::unique_ptr<SoundMgr> service;
};

TEST_F(ServiceOutput, ACrossFadeThroughTheScriptsIsHeardOnTheManualOutput)
{
    Define();
    Audio::SystemOptions options = manualOptions();
    options.rate = kDeviceRate;
    Start(16, options);
    StartService();
    const auto frame = [this]
    {
        const std::vector<float> mixed = Mix(kFrameStep);
        manager->Update();
        return mixed.back();
    };
    ASSERT_TRUE(Run("svc.Sound:PlayMusic('A', 0.5, false)"));
    float level = 0.0f;
    for (int i = 0; i < 40; ++i)
        level = frame();
    const float levelA = level;
    ASSERT_GT(levelA, 0.0f);

    ASSERT_TRUE(Run("svc.Sound:PlayMusic('B', 2.0, false)"));
    for (int i = 0; i < 60; ++i)
        level = frame();
    // Half-way: half of each.
    EXPECT_NEAR(level, levelA * 0.5f + levelA * 3.0f * 0.5f, levelA * 0.05f);
    for (int i = 0; i < 70; ++i)
        level = frame();
    EXPECT_NEAR(level, levelA * 3.0f, levelA * 0.01f) << "B alone at full";
    EXPECT_EQ(manager->GetSoundCount(), 1u) << "A has stopped";

    ASSERT_TRUE(Run("svc.Sound:StopMusic(0.5)"));
    for (int i = 0; i < 40; ++i)
        level = frame();
    EXPECT_EQ(level, 0.0f);
    EXPECT_EQ(manager->GetSoundCount(), 0u);
}

// ---- The disk driver.

void pause(int milliseconds)
{
    timespec step{milliseconds / 1000, (milliseconds % 1000) * 1000 * 1000L};
    nanosleep(&step, nullptr);
}

class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const std::string& value) : name(name)
    {
        if (const char* old = std::getenv(name))
            previous = old, hadPrevious = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (hadPrevious)
            setenv(name, previous.c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    std::string previous;
    bool hadPrevious = false;
};

class DiskOutput : public ServiceOutput
{
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 ("pellwood-disk-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand()));
        std::filesystem::create_directories(folder);
        heard = folder / "heard.raw";
    }
    void TearDown() override
    {
        ServiceOutput::TearDown();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // Stereo float frames written so far.
    uint64_t Written() const
    {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(heard, error);
        return error ? 0 : uint64_t(size) / (2 * sizeof(float));
    }
    // Waits until the file holds `frames` frames, stepping the manager once for every 60th of a
    // second of output; false when the output stops growing for good.
    bool RunUntil(uint64_t frames)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (uint64_t written = Written(); written < frames; written = Written())
        {
            for (; nextStep <= written; nextStep += kFrameStep)
                manager->Update();
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            pause(2);
        }
        return true;
    }
    std::vector<float> Read() const
    {
        std::ifstream in(heard, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<float> samples(bytes.size() / sizeof(float));
        if (!samples.empty())
            std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }

    std::filesystem::path folder;
    std::filesystem::path heard;
    uint64_t nextStep = 0;
};

TEST_F(DiskOutput, AClickAndACrossFadeReachTheOutputFileWhenTheyWerePlayed)
{
    ScopedEnvironment driver("SDL_AUDIODRIVER", "disk");
    ScopedEnvironment file("SDL_DISKAUDIOFILE", heard.string());
    Define();
    Audio::SystemOptions options;
    options.output = Audio::OutputType::Device;
    manager = std::make_unique<FMODManager>(options);
    if (!manager->Init(16) || manager->GetSystem() == nullptr)
        GTEST_SKIP() << "SDL's disk audio driver is not available";
    StartService();
    // Frames that may be mixed ahead of the file when a call is made, and the fader's steps being
    // taken a device buffer at a time: a quarter of a second either way is plenty.
    const uint64_t slack = kDeviceRate / 4;

    ASSERT_TRUE(RunUntil(kDeviceRate / 10)) << "the device writes nothing";
    const uint64_t clickCall = Written();
    ASSERT_TRUE(Run("svc.Sound:PlaySound('click', 0, false)"));
    ASSERT_TRUE(RunUntil(clickCall + kDeviceRate / 2));
    const uint64_t musicCall = Written();
    ASSERT_TRUE(Run("svc.Sound:PlayMusic('A', 0, false)"));
    ASSERT_TRUE(RunUntil(musicCall + kDeviceRate / 2));
    const uint64_t fadeCall = Written();
    ASSERT_TRUE(Run("svc.Sound:PlayMusic('B', 1.0, false)"));
    ASSERT_TRUE(RunUntil(fadeCall + kDeviceRate + 2 * slack));
    const std::vector<float> samples = Read();
    const uint64_t frames = samples.size() / 2;
    ASSERT_GE(frames, fadeCall + kDeviceRate + 2 * slack);
    const auto level = [&samples](uint64_t i) { return std::max(std::fabs(samples[2 * i]), std::fabs(samples[2 * i + 1])); };
    const auto firstSound = [&](uint64_t from)
    {
        while (from < frames && level(from) == 0.0f)
            ++from;
        return from;
    };

    // Silence until the click was played, then a tenth of a second of it, then silence again.
    const uint64_t clickStart = firstSound(0);
    EXPECT_GE(clickStart, clickCall);
    EXPECT_LE(clickStart, clickCall + slack);
    const float clickLevel = level(clickStart + 100);
    EXPECT_GT(clickLevel, 0.0f);
    uint64_t clickEnd = clickStart;
    while (clickEnd < frames && level(clickEnd) != 0.0f)
        ++clickEnd;
    EXPECT_NEAR(double(clickEnd - clickStart), double(kDeviceRate / 10), 64.0);

    // The music starts where it was asked for and holds A's level until the cross-fade.
    const uint64_t musicStart = firstSound(clickEnd);
    EXPECT_GE(musicStart, musicCall);
    EXPECT_LE(musicStart, musicCall + slack);
    const float levelA = level(fadeCall - 1);
    EXPECT_NEAR(levelA / clickLevel, 0.2f / 0.5f, 0.02f);

    // Over the next second it moves to B's level (three times A's), without a gap.
    const float levelB = level(fadeCall + kDeviceRate + 2 * slack - 1);
    EXPECT_NEAR(levelB / levelA, 3.0f, 0.05f);
    for (uint64_t i = musicStart + 1000; i < fadeCall + kDeviceRate + 2 * slack; i += 997)
        ASSERT_GT(level(i), 0.0f) << "the music falls silent at frame " << i;
    EXPECT_NEAR(level(fadeCall - slack), levelA, 1e-6f) << "A alone before the call";
    const float halfWay = level(fadeCall + kDeviceRate / 2);
    EXPECT_GT(halfWay, levelA * 1.3f) << "the cross-fade is under way half a second after the call";
    EXPECT_LT(halfWay, levelB * 0.9f) << "but not done";
    EXPECT_NEAR(level(fadeCall + kDeviceRate + slack), levelB, 1e-6f) << "B alone once the fade is over";
}

} // namespace
