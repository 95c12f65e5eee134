// The hidden-object board's work of every frame while the pointer moves over a scene of 200
// findable items and 20 puzzle items (each a movie holding a sub-movie with a picture, half of them
// active): the user interface's hit-list refresh over the board's tree, the board's cursor pass
// over its puzzle items and its tooltip tracker. The anchor is the engine's own hit-list refresh of
// the same tree with the game classes replaced by plain movies, in the same run.
//
// Also measured: BuildGroups and LoadState of a board of 1,000 items (40 categories of five, the
// rest single), the work of restoring a saved level.
//
// Measured on the shared 8-core build machine (Release, clang): the board's frame 1.33x to 1.35x
// the plain hit list with the scenes alternating (the hit list with the game classes alone about
// 1.1x; the cursor pass and the tooltip tracker about 0.1x each); restoring 1,000 items 0.26 to
// 0.41 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "bench/FastestRunReporter.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/hiddenobject/HiddenObjectRegistrations.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/PuzzleItem.h"

namespace
{

using namespace TarnEngine;

constexpr int kItems = 200;
constexpr int kPuzzleItems = 20;
constexpr int kPositions = 2000;
constexpr int kSavedItems = 1000;

Instance_Base* make(Instance_Movie* parent, const std::wstring& name, RClass* kind)
{
    Instance_Base* made = nullptr;
    Instance_Movie::CreateInstanceCore(parent, L"", name, true, kind, &made);
    return made;
}

// A picture-sized leaf inside a sub-movie "body" of the movie.
void addBody(Instance_Movie* movie, float w, float h)
{
    auto* body = static_cast<Instance_Movie*>(make(movie, L"body", Instance_Movie::StaticClass()));
    Instance_Base* leaf = make(body, L"picture", Instance_Base::StaticClass());
    leaf->type = INSTANCE_TEXT;
    leaf->extentRect = {0.0f, 0.0f, w, h};
    leaf->useExtentRect = true;
}

// The scene: the game's classes, or plain movies in their places.
struct Scene
{
    explicit Scene(bool gameClasses)
    {
        RegisterHiddenObjectBoardClasses();
        ui = std::make_unique<UserInterface>();
        ui->Init();
        ui->screenWidth = 1024;
        ui->screenHeight = 768;
        Instance_Movie* root = ui->GetRoot();
        std::mt19937 random(45);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        RClass* boardClass = gameClasses ? ISpyBoard::StaticClass() : Instance_Movie::StaticClass();
        RClass* itemClass = gameClasses ? ISpyItem::StaticClass() : Instance_Movie::StaticClass();
        RClass* puzzleClass = gameClasses ? PuzzleItem::StaticClass() : Instance_Movie::StaticClass();
        auto* movie = static_cast<Instance_Movie*>(make(root, L"board", boardClass));
        Instance_Base* background = make(movie, L"background", Instance_Base::StaticClass());
        background->type = INSTANCE_TEXT;
        background->extentRect = {0.0f, 0.0f, 1024.0f, 768.0f};
        background->useExtentRect = true;
        for (int i = 0; i < kItems + kPuzzleItems; ++i)
        {
            const bool puzzle = i >= kItems;
            auto* item = static_cast<Instance_Movie*>(make(
                movie, (puzzle ? L"piece" : L"item") + std::to_wstring(i), puzzle ? puzzleClass : itemClass));
            item->SetPosition(unit(random) * 980.0f, unit(random) * 720.0f);
            addBody(item, 16.0f + unit(random) * 40.0f, 16.0f + unit(random) * 40.0f);
        }
        root->Update(1.0f / 60.0f); // the load notices
        board = gameClasses ? static_cast<ISpyBoard*>(movie) : nullptr;
        if (board)
        {
            for (int i = 0; i < kItems + kPuzzleItems; ++i)
            {
                Instance_Base* child = movie->children[size_t(i) + 1];
                if (auto* item = RObjectCast<ISpyItem>(child))
                {
                    board->AddItem(item);
                    item->SetState(i % 2 ? ITEM_ACTIVE : ITEM_DISABLED);
                }
                else if (auto* piece = RObjectCast<PuzzleItem>(child))
                {
                    board->AddPuzzleItem(piece);
                    piece->SetState(i % 2 ? ITEM_ACTIVE : ITEM_DISABLED);
                    board->tooltips.AddControl(piece->movieHandle, L"a piece");
                }
            }
            board->AddPerson(L"item0", L"a person");
        }
        for (int i = 0; i < kPositions; ++i)
            positions.push_back({int32_t(unit(random) * 1024.0f), int32_t(unit(random) * 768.0f)});
    }

    std::unique_ptr<UserInterface> ui;
    ISpyBoard* board = nullptr;
    std::vector<std::pair<int32_t, int32_t>> positions;
};

// One frame for every pointer position: the hit list, and with the board its cursor pass and
// tooltip tracker.
size_t framesOver(Scene& scene)
{
    size_t listed = 0;
    for (const auto& [x, y] : scene.positions)
    {
        scene.ui->mouseX = x;
        scene.ui->mouseY = y;
        scene.ui->UpdateHitList(false);
        if (scene.board)
        {
            scene.board->UpdateCursor();
            scene.board->tooltips.Update();
        }
        listed += scene.ui->GetHitList().size();
    }
    return listed;
}

void boardFrames(benchmark::State& state)
{
    Scene scene(true);
    size_t listed = 0;
    for (auto _ : state)
        listed += framesOver(scene);
    benchmark::DoNotOptimize(listed);
}

void plainHitList(benchmark::State& state)
{
    Scene scene(false);
    size_t listed = 0;
    for (auto _ : state)
        listed += framesOver(scene);
    benchmark::DoNotOptimize(listed);
}

// The machine these run on is shared, and a load that changes over seconds skews two benchmarks run
// one after the other. So the ratio is also taken from rounds that alternate the two scenes, each
// scene's fastest round counting: the least disturbed measurement of each.
double alternatingRatio(int rounds)
{
    double fastest[2] = {1e30, 1e30};
    size_t listed = 0;
    for (int round = 0; round < rounds; ++round)
        for (int game = 0; game < 2; ++game)
        {
            Scene scene(game == 1);
            const auto start = std::chrono::steady_clock::now();
            listed += framesOver(scene);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            fastest[game] = std::min(fastest[game], seconds);
        }
    benchmark::DoNotOptimize(listed);
    return fastest[1] / fastest[0];
}

// BuildGroups and LoadState of a board of 1,000 items.
void restoreLevel(benchmark::State& state)
{
    RegisterHiddenObjectBoardClasses();
    auto ui = std::make_unique<UserInterface>();
    ui->Init();
    auto* board = static_cast<ISpyBoard*>(make(ui->GetRoot(), L"board", ISpyBoard::StaticClass()));
    std::vector<ItemState> saved;
    std::vector<int32_t> order;
    for (int i = 0; i < kSavedItems; ++i)
    {
        auto* item =
            static_cast<ISpyItem*>(make(board, L"item" + std::to_wstring(i), ISpyItem::StaticClass()));
        if (i < 200)
            item->s_category = L"category" + std::to_wstring(i % 40);
        board->AddItem(item);
        if (i % 3)
            saved.emplace_back(item->name, i % 2 ? ITEM_ACTIVE : ITEM_HIDDEN);
    }
    for (int i = 0; i < 500; ++i)
        order.push_back(i);
    for (auto _ : state)
    {
        board->LoadStateParts(order, saved);
        benchmark::DoNotOptimize(board->GetGroupCount());
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("board/frame", boardFrames)->Repetitions(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("board/plain_hitlist", plainHitList)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("board/restore_1000", restoreLevel)
        ->Repetitions(5)
        ->Unit(benchmark::kMicrosecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto own = reporter.nanoseconds.find("board/frame");
    const auto anchor = reporter.nanoseconds.find("board/plain_hitlist");
    if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
        std::printf("board frame (hit list, cursor pass, tooltips) / plain hit list of the same tree: %.2fx "
                    "(goal <= 1.5x)\n",
                    own->second / anchor->second);
    std::printf("the same, scenes alternating over 30 rounds: %.2fx (goal <= 1.5x)\n", alternatingRatio(30));
    const auto restore = reporter.nanoseconds.find("board/restore_1000");
    if (restore != reporter.nanoseconds.end())
        std::printf("BuildGroups + LoadState of 1000 items: %.3f ms (goal < 1 ms)\n",
                    restore->second / 1000.0);
    return 0;
}
