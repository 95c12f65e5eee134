// One frame of the sample's menu scene as the program shows it: the engine started on sample/ with
// the game object (its scripts, definitions, video and music), in the software device at
// 1024x768 presenting through SDL's offscreen driver; a frame is the display tree's update with a
// 60th of a second, the screen manager's and the sound manager's steps, and the drawing of the
// frame (device begin, the user interface's draw, the renderer's flush, present). The anchor is the
// same engine's frame with the tree hidden: clearing and presenting 1024x768 and walking an
// invisible root, which every frame pays whatever the scene. Goal: at most 4 ms a frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/FastestRunReporter.h"
#include "engine/core/app/CommandLine.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/runtime/EngineManager.h"
#include "engine/scene/display/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/core/GameRegistrations.h"

namespace
{

using namespace TarnEngine;

constexpr float kFrameSeconds = 1.0f / 60.0f;

struct Scene
{
    std::filesystem::path folder;
    std::unique_ptr<CommandLine> commandLine;
    std::unique_ptr<EngineManager> engine;
    std::unique_ptr<Core> game;
    bool running = false;

    Scene()
    {
        folder = std::filesystem::temp_directory_path() / ("pellwood-bench-" + std::to_string(getpid()));
        for (const char* sub : {"config", "data", "run"})
            std::filesystem::create_directories(folder / sub);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        commandLine = std::make_unique<CommandLine>(L"pellwood -data " +
                                                    std::filesystem::path(PELLWOOD_SOURCE_DIR "/sample").wstring() +
                                                    L" -windowed -nosplash");
        EnginePlatform platform;
        platform.commandLine = commandLine.get();
        platform.processHandlers = false;
        engine = std::make_unique<EngineManager>(platform);
        RegisterGameStatics();
        game = std::make_unique<Core>();
        STarnGameInitParams params;
        params.applicationName = L"Pellwood";
        params.windowTitle = L"The Pellwood";
        params.width = 1024;
        params.height = 768;
        running = engine->Initialize(params, game.get());
        // The menu's intro (two seconds) is over, so the frames measured are those of its idle loop.
        for (int i = 0; running && i < 150; ++i)
            Frame();
    }
    ~Scene()
    {
        if (running)
            engine->Exit();
        // As the program entry: the game object goes before the engine.
        game.reset();
        engine.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    Instance_Movie* Root() const
    {
        UserInterface* ui = engine->GetUserInterface();
        return ui ? ui->GetRoot() : nullptr;
    }

    void Frame()
    {
        if (Instance_Movie* root = Root())
            root->Update(kFrameSeconds);
        if (_ScreenMgr* screens = _ScreenMgr::Get())
            screens->Update();
        if (ISoundManager* sounds = engine->GetSoundManager())
            sounds->Update();
        engine->DrawFrame();
    }
};

Scene& scene()
{
    static Scene shared;
    return shared;
}

void menuFrame(benchmark::State& state)
{
    Scene& s = scene();
    if (!s.running)
    {
        state.SkipWithError("the engine did not start on the sample");
        return;
    }
    s.Root()->SetVisible(true);
    for (auto _ : state)
        s.Frame();
}

void emptyFrame(benchmark::State& state)
{
    Scene& s = scene();
    if (!s.running)
    {
        state.SkipWithError("the engine did not start on the sample");
        return;
    }
    s.Root()->SetVisible(false);
    for (auto _ : state)
        s.Frame();
    s.Root()->SetVisible(true);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("sample/menu_frame", menuFrame)->Repetitions(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("sample/empty_frame", emptyFrame)->Repetitions(5)->Unit(benchmark::kMillisecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // The reporter keeps each run's time in the benchmark's own unit, milliseconds here.
    const auto own = reporter.nanoseconds.find("sample/menu_frame");
    const auto anchor = reporter.nanoseconds.find("sample/empty_frame");
    if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
        std::printf("update and draw of the sample's menu at 1024x768: %.3f ms a frame (goal <= 4 ms); the empty "
                    "frame: %.3f ms; ratio %.1fx\n",
                    own->second, anchor->second, own->second / anchor->second);
    return 0;
}
