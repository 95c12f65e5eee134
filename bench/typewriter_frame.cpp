// One frame of the typewriter mini-game with 12 words falling and 40 letters in flight: the board's
// own frame step (words, letters, the end check) and the engine's update and drawing of the whole
// tree in the software device at 1024x768, on the sample's typewriter library (the level "Bench").
// The anchor is the same engine frame over the same picture made of plain movies: the board's
// definition and 52 word and letter movies as plain Instance_Movie instances, moved as far each frame
// but with no game logic. Goal: at most 3 times the anchor.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/FastestRunReporter.h"
#include "engine/core/app/CommandLine.h"
#include "engine/runtime/EngineManager.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/core/GameRegistrations.h"
#include "game/minigames/TypeBoard.h"
#include "game/minigames/TypeLetter.h"
#include "game/minigames/TypeWord.h"

namespace
{

using namespace TarnEngine;

constexpr float kFrameSeconds = 1.0f / 60.0f;
constexpr size_t kWords = 12;
constexpr size_t kLetters = 40;

struct Scene
{
    std::filesystem::path folder;
    std::unique_ptr<CommandLine> commandLine;
    std::unique_ptr<EngineManager> engine;
    std::unique_ptr<Core> game;
    bool running = false;
    TypeBoard* board = nullptr;
    Instance_Movie* anchor = nullptr;
    std::vector<Instance_Movie*> anchorWords;
    std::vector<Instance_Movie*> anchorLetters;

    Scene()
    {
        folder = std::filesystem::temp_directory_path() / ("pellwood-bench-tw-" + std::to_string(getpid()));
        for (const char* sub : {"config", "data", "run"})
            std::filesystem::create_directories(folder / sub);
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (folder / "run").c_str(), 1);
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        commandLine = std::make_unique<CommandLine>(
            L"pellwood -data " + std::filesystem::path(PELLWOOD_SOURCE_DIR "/sample").wstring() +
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
        running = engine->Initialize(params, game.get()) && setUp();
    }
    ~Scene()
    {
        if (running)
            engine->Exit();
        game.reset();
        engine.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    Instance_Movie* Root() const { return engine->GetUserInterface()->GetRoot(); }

    bool setUp()
    {
        // Only the typewriter is on screen: the sample's menu stays hidden in both frames.
        for (Instance_Base* child : Root()->children)
            child->SetVisible(false);
        if (!LuaMgr::Get()->DoString("GameManager = GameManager or {}\n"
                                     "function GameManager:GetCurrentLevelName() return 'Bench' end") ||
            !game->EnsureLibraryLoaded(L"typewriter"))
            return false;
        _ScreenMgr::Get()->OpenScreen(L"mov_typewriter_board", L"typewriter_board", true, false);
        for (int i = 0; i < 3; ++i)
            Step();
        board = RObjectCast<TypeBoard>(Root()->FindChildByName(L"typewriter_board").GetInstance());
        if (!board || board->GetWords().size() != kWords)
            return false;
        board->HandleMsgBox(TypeBoard::IntroBoxId, 1 /* the intro box answered "Ok" */);

        // The anchor: the same definitions as plain movies.
        anchor =
            RObjectCast<Instance_Movie>(Instance_Movie::CreateChild(Root(), L"mov_typewriter_board",
                                                                    L"anchor", Instance_Movie::StaticClass())
                                            .GetInstance());
        if (!anchor)
            return false;
        for (size_t i = 0; i < kWords + kLetters; ++i)
        {
            const bool word = i < kWords;
            auto* movie = RObjectCast<Instance_Movie>(
                Instance_Movie::CreateChild(anchor, word ? L"mov_typewriter_word" : L"mov_typewriter_letter",
                                            L"plain_" + std::to_wstring(i), Instance_Movie::StaticClass())
                    .GetInstance());
            if (!movie)
                return false;
            if (auto* text = RObjectCast<Instance_Text>(movie->FindChildByPath(L"text").GetInstance()))
                text->SetText(word ? L"^000000lantern" : L"Q");
            (word ? anchorWords : anchorLetters).push_back(movie);
        }
        anchor->SetVisible(false);
        return true;
    }

    void Step()
    {
        Root()->Update(kFrameSeconds);
        if (_ScreenMgr* screens = _ScreenMgr::Get())
            screens->Update();
    }

    // Keeps 12 words falling and 40 letters flying: words that came near the fail line go back up,
    // and wrong keys fire new letters as old ones leave.
    void KeepTheBoardBusy()
    {
        for (TypeWord* word : board->GetWords())
            if (word && word->y > 400.0f)
                word->SetPosition(word->x, -100.0f);
        for (size_t n = board->GetLetters().size(); n < kLetters; ++n)
            UserInterface::Get()->OnChar(uint32_t(L'Q'));
    }

    void TypewriterFrame()
    {
        KeepTheBoardBusy();
        board->OnFrameUpdate(kFrameSeconds);
        Step();
        engine->DrawFrame();
    }

    void AnchorFrame(uint32_t frame)
    {
        for (size_t i = 0; i < anchorWords.size(); ++i)
            anchorWords[i]->SetPosition(300.0f + 30.0f * float(i), float((frame + 200 * i) % 500) - 100.0f);
        for (size_t i = 0; i < anchorLetters.size(); ++i)
        {
            const float t = float((frame + 7 * i) % 200) / 60.0f;
            anchorLetters[i]->SetPosition(555.0f + 150.0f * t * (i % 2 ? 1.0f : -1.0f),
                                          620.0f - 280.0f * t + 125.0f * t * t);
        }
        Step();
        engine->DrawFrame();
    }
};

Scene& scene()
{
    static Scene shared;
    return shared;
}

void typewriterFrame(benchmark::State& state)
{
    Scene& s = scene();
    if (!s.running)
    {
        state.SkipWithError("the typewriter did not start on the sample");
        return;
    }
    s.board->SetVisible(true);
    s.anchor->SetVisible(false);
    for (auto _ : state)
        s.TypewriterFrame();
    state.counters["letters"] = double(s.board->GetLetters().size());
}

void plainFrame(benchmark::State& state)
{
    Scene& s = scene();
    if (!s.running)
    {
        state.SkipWithError("the typewriter did not start on the sample");
        return;
    }
    s.board->SetVisible(false);
    s.anchor->SetVisible(true);
    uint32_t frame = 0;
    for (auto _ : state)
        s.AnchorFrame(frame++);
    s.anchor->SetVisible(false);
    s.board->SetVisible(true);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("typewriter/frame", typewriterFrame)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("typewriter/plain_movies", plainFrame)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto own = reporter.nanoseconds.find("typewriter/frame");
    const auto anchor = reporter.nanoseconds.find("typewriter/plain_movies");
    if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
        std::printf(
            "typewriter frame with 12 words and 40 letters: %.3f ms; the same picture of plain movies: "
            "%.3f ms; ratio %.2fx (goal <= 3x)\n",
            own->second, anchor->second, own->second / anchor->second);
    return 0;
}
