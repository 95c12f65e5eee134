// The hit-list refresh of the user interface: 10,000 pointer positions over a tree of 20 movies
// holding 300 leaves, each refresh walking the tree from the root with cached extents, taking the
// point into each movie's space and listing the movies hit. The anchor is a flat scan of the same
// 300 rectangles, already in screen space, listing the index of every rectangle that holds the
// point: the least any hit test over these shapes could do.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "bench/FastestRunReporter.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

namespace
{

using namespace TarnEngine;

constexpr int kMovies = 20;
constexpr int kLeavesPerMovie = 15;
constexpr int kPositions = 10000;

struct Rect
{
    float left, top, right, bottom;
};

struct World
{
    World()
    {
        ui = std::make_unique<UserInterface>();
        ui->Init();
        Instance_Movie* root = ui->GetRoot();
        std::mt19937 random(20);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (int m = 0; m < kMovies; ++m)
        {
            // Five columns of four rows over a 1024 x 768 screen, overlapping their neighbours.
            Instance_Base* made = nullptr;
            Instance_Movie::CreateInstanceCore(root, L"", L"movie" + std::to_wstring(m), true, nullptr,
                                               &made);
            auto* movie = static_cast<Instance_Movie*>(made);
            const float originX = float(m % 5) * 200.0f, originY = float(m / 5) * 180.0f;
            const float scale = 1.0f + 0.25f * float(m % 3);
            movie->SetPosition(originX, originY);
            movie->SetScale(scale, scale);
            for (int l = 0; l < kLeavesPerMovie; ++l)
            {
                Instance_Base* leaf = nullptr;
                Instance_Movie::CreateInstanceCore(movie, L"", L"leaf" + std::to_wstring(l), true,
                                                   Instance_Base::StaticClass(), &leaf);
                leaf->type = INSTANCE_TEXT;
                const float x = unit(random) * 160.0f, y = unit(random) * 140.0f;
                const float w = 10.0f + unit(random) * 60.0f, h = 10.0f + unit(random) * 50.0f;
                leaf->extentRect = {0.0f, 0.0f, w, h};
                leaf->useExtentRect = true;
                leaf->SetPosition(x, y);
                float left, top, right, bottom;
                leaf->GetBounds(left, top, right, bottom, true);
                rects.push_back({left, top, right, bottom});
            }
        }
        for (int i = 0; i < kPositions; ++i)
            positions.push_back({int32_t(unit(random) * 1100.0f), int32_t(unit(random) * 800.0f)});
    }

    std::unique_ptr<UserInterface> ui;
    std::vector<Rect> rects;
    std::vector<std::pair<int32_t, int32_t>> positions;
};

World& world()
{
    static World w;
    return w;
}

void hitListRefresh(benchmark::State& state)
{
    World& w = world();
    size_t listed = 0;
    for (auto _ : state)
        for (const auto& [x, y] : w.positions)
        {
            w.ui->mouseX = x;
            w.ui->mouseY = y;
            w.ui->UpdateHitList(false);
            listed += w.ui->GetHitList().size();
        }
    benchmark::DoNotOptimize(listed);
}

void flatScan(benchmark::State& state)
{
    World& w = world();
    std::vector<size_t> hits;
    size_t listed = 0;
    for (auto _ : state)
        for (const auto& [x, y] : w.positions)
        {
            hits.clear();
            const float px = float(x), py = float(y);
            for (size_t i = w.rects.size(); i-- > 0;)
            {
                const Rect& r = w.rects[i];
                if (px >= r.left && px < r.right && py >= r.top && py < r.bottom)
                    hits.push_back(i);
            }
            listed += hits.size();
        }
    benchmark::DoNotOptimize(listed);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("hitlist/tree", hitListRefresh)
        ->Repetitions(5)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("hitlist/flat", flatScan)->Repetitions(5)->Unit(benchmark::kMillisecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto own = reporter.nanoseconds.find("hitlist/tree");
    const auto anchor = reporter.nanoseconds.find("hitlist/flat");
    if (own != reporter.nanoseconds.end() && anchor != reporter.nanoseconds.end())
        std::printf(
            "hit-list refresh over the tree / flat scan of the same rectangles: %.2fx (goal <= 10.0x)\n",
            own->second / anchor->second);
    return 0;
}
