// A game-mode switch as the game makes it between levels: from the main menu to a level of the
// test content and back (leave the mode, fade and stop the sounds, close the modal screens,
// unload the level's resources, show the loading shield and draw it, enter the next mode and show
// the shield again). The engine and the game object run on the game's test content in the
// software device at 1024x768, presenting through SDL's offscreen driver. The anchor is opening
// and closing the same two screens straight through the screen manager in the same run. Goal: at
// most 3x the anchor, and under 100 ms a round trip. Medians over the repetitions. The four frames
// that the shield draws in a round trip are measured too, since the anchor draws none, and so is
// the round trip without the shield.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/core/app/CommandLine.h"
#include "engine/runtime/EngineManager.h"
#include "engine/scene/display/node/Instance_Base.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/core/GameRegistrations.h"

namespace
{

using namespace TarnEngine;

struct Game
{
    std::filesystem::path folder;
    std::unique_ptr<CommandLine> commandLine;
    std::unique_ptr<EngineManager> engine;
    std::unique_ptr<Core> core;
    bool running = false;

    Game()
    {
        folder = std::filesystem::temp_directory_path() / ("pellwood-bench-modes-" + std::to_string(getpid()));
        for (const char* sub : {"config", "data", "run"})
            std::filesystem::create_directories(folder / sub);
        std::filesystem::copy(PELLWOOD_SOURCE_DIR "/tests/data/game", folder / "content",
                              std::filesystem::copy_options::recursive);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        commandLine =
            std::make_unique<CommandLine>(L"pellwood -data " + (folder / "content").wstring() + L" -windowed -nosplash");
        EnginePlatform platform;
        platform.commandLine = commandLine.get();
        platform.processHandlers = false;
        RegisterGameStatics();
        engine = std::make_unique<EngineManager>(platform);
        core = std::make_unique<Core>();
        STarnGameInitParams params;
        params.applicationName = L"Pellwood";
        params.windowTitle = L"The Pellwood";
        params.width = 1024;
        params.height = 768;
        running = engine->Initialize(params, core.get());
        if (running)
            core->GetGameMgr().SwitchMode(0);
    }
    ~Game()
    {
        if (running)
            engine->Exit();
        core.reset();
        engine.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

Game& game()
{
    static Game shared;
    return shared;
}

void switchToLevelAndBack(benchmark::State& state)
{
    Game& g = game();
    if (!g.running)
    {
        state.SkipWithError("the game did not start on the test content");
        return;
    }
    GameMgr& modes = g.core->GetGameMgr();
    for (auto _ : state)
    {
        modes.SwitchMode(1);
        modes.SwitchMode(0);
    }
    if (modes.GetCurrentModeIndex() != 0)
        state.SkipWithError("the switch did not reach the menu");
}

void openTheSameScreens(benchmark::State& state)
{
    Game& g = game();
    if (!g.running)
    {
        state.SkipWithError("the game did not start on the test content");
        return;
    }
    _ScreenMgr* screens = _ScreenMgr::Get();
    // The menu the switches left open goes first.
    screens->CloseScreen(L"scr_mainmenu", true);
    screens->Update();
    for (auto _ : state)
    {
        screens->OpenScreen(L"scr_ispy", L"scr_ispy", false, false);
        screens->CloseScreen(L"scr_ispy", true);
        screens->Update();
        screens->OpenScreen(L"scr_mainmenu", L"scr_mainmenu", true, false);
        screens->CloseScreen(L"scr_mainmenu", true);
        screens->Update();
    }
}

// The same round trip without the shield: what the switch itself costs beside the four frames that
// the shield must draw (it is on screen before a long load). Runs last: it takes the shield away.
void switchWithoutTheShield(benchmark::State& state)
{
    Game& g = game();
    if (!g.running)
    {
        state.SkipWithError("the game did not start on the test content");
        return;
    }
    if (Instance_Base* shield = g.core->GetLoadingMovie().GetInstance())
        shield->Delete(true);
    g.engine->DrawFrame();
    if (g.core->GetLoadingMovie().GetInstance())
    {
        state.SkipWithError("the loading shield could not be taken away");
        return;
    }
    GameMgr& modes = g.core->GetGameMgr();
    for (auto _ : state)
    {
        modes.SwitchMode(1);
        modes.SwitchMode(0);
    }
    if (modes.GetCurrentModeIndex() != 0)
        state.SkipWithError("the switch did not reach the menu");
}

// What the switch draws: the loading shield is drawn at once twice a switch, four frames a round trip.
void drawFourFrames(benchmark::State& state)
{
    Game& g = game();
    if (!g.running)
    {
        state.SkipWithError("the game did not start on the test content");
        return;
    }
    for (auto _ : state)
        for (int i = 0; i < 4; ++i)
            g.engine->DrawFrame();
}

class MedianReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> milliseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                milliseconds[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("modes/switch_to_level_and_back", switchToLevelAndBack)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("modes/open_the_same_screens", openTheSameScreens)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("modes/draw_four_frames", drawFourFrames)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("modes/switch_without_the_shield", switchWithoutTheShield)
        ->Repetitions(9)
        ->Unit(benchmark::kMillisecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto own = reporter.milliseconds.find("modes/switch_to_level_and_back");
    const auto anchor = reporter.milliseconds.find("modes/open_the_same_screens");
    const auto drawing = reporter.milliseconds.find("modes/draw_four_frames");
    if (drawing != reporter.milliseconds.end())
        std::printf("of which the four frames the loading shield draws: %.3f ms\n", drawing->second);
    if (own != reporter.milliseconds.end() && anchor != reporter.milliseconds.end())
        std::printf("menu to a level and back: %.3f ms (goal < 100 ms); the same screens opened and closed: %.3f ms; "
                    "ratio %.1fx (goal <= 3x)\n",
                    own->second, anchor->second, own->second / anchor->second);
    const auto bare = reporter.milliseconds.find("modes/switch_without_the_shield");
    if (bare != reporter.milliseconds.end() && anchor != reporter.milliseconds.end())
        std::printf("without the shield's frames: %.4f ms; ratio %.1fx the same screens\n", bare->second,
                    bare->second / anchor->second);
    return 0;
}
