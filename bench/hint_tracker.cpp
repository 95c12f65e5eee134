// The tooltip tracker's step with 500 watched controls (movies holding one 40 x 30 leaf each, in a
// grid over the screen), in its two states: resting on a control, when it tests that control
// alone, and over none, when it walks the list. The anchor is one hit test of one control
// (Instance_Base::HitTestAtGlobal) at the same point, which the tracker cannot do with less.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "bench/FastestRunReporter.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/ui/HintManager.h"
#include "game/ui/HintTracker.h"

namespace
{

using namespace TarnEngine;

constexpr int kControls = 500;
constexpr int kColumns = 25;
constexpr int kUpdates = 1000;

struct World
{
    World()
    {
        ui = std::make_unique<UserInterface>();
        ui->Init();
        Instance_Movie* root = ui->GetRoot();
        for (int i = 0; i < kControls; ++i)
        {
            Instance_Base* made = nullptr;
            Instance_Movie::CreateInstanceCore(root, L"", L"control" + std::to_wstring(i), true, nullptr,
                                               &made);
            auto* movie = static_cast<Instance_Movie*>(made);
            movie->SetPosition(float(i % kColumns) * 40.0f, float(i / kColumns) * 36.0f);
            Instance_Base* leaf = nullptr;
            Instance_Movie::CreateInstanceCore(movie, L"", L"face", true, Instance_Base::StaticClass(),
                                               &leaf);
            leaf->type = INSTANCE_IMAGE;
            leaf->extentRect = {0.0f, 0.0f, 38.0f, 30.0f};
            leaf->useExtentRect = true;
            controls.push_back(movie);
            tracker.AddControl(movie->handle, L"tip " + std::to_wstring(i));
        }
    }

    void Point(int32_t x, int32_t y)
    {
        ui->mouseX = x;
        ui->mouseY = y;
    }

    std::unique_ptr<UserInterface> ui;
    HintManager hints;
    HintTracker tracker;
    std::vector<Instance_Movie*> controls;
};

World& world()
{
    static World w;
    return w;
}

// Resting on the last control of the list, its hint already shown.
constexpr int32_t kRestX = 24 * 40 + 10, kRestY = 19 * 36 + 10;
// Below the grid: over none.
constexpr int32_t kNoneX = 500, kNoneY = 740;

void resting(benchmark::State& state)
{
    World& w = world();
    w.Point(kRestX, kRestY);
    for (int i = 0; i < 3 * HintTracker::RestUpdates; ++i)
        w.tracker.Update();
    for (auto _ : state)
        for (int i = 0; i < kUpdates; ++i)
            w.tracker.Update();
    if (!w.tracker.GetCurrentControl().Equals(w.controls.back()->handle))
        state.SkipWithError("not resting on the control");
}

void restingAnchor(benchmark::State& state)
{
    World& w = world();
    Instance_Movie* control = w.controls.back();
    size_t hits = 0;
    for (auto _ : state)
        for (int i = 0; i < kUpdates; ++i)
            hits += control->HitTestAtGlobal(float(kRestX), float(kRestY), false, false, nullptr).IsValid();
    benchmark::DoNotOptimize(hits);
}

void overNone(benchmark::State& state)
{
    World& w = world();
    w.Point(kNoneX, kNoneY);
    w.tracker.Update();
    for (auto _ : state)
        for (int i = 0; i < kUpdates; ++i)
            w.tracker.Update();
    if (w.tracker.GetCurrentControl().IsValid())
        state.SkipWithError("over a control");
}

void overNoneAnchor(benchmark::State& state)
{
    World& w = world();
    Instance_Movie* control = w.controls[kControls / 2];
    size_t hits = 0;
    for (auto _ : state)
        for (int i = 0; i < kUpdates; ++i)
            hits += control->HitTestAtGlobal(float(kNoneX), float(kNoneY), false, false, nullptr).IsValid();
    benchmark::DoNotOptimize(hits);
}

} // namespace

int main(int argc, char** argv)
{
    for (const auto& [name, function] : {std::pair{"tracker/resting", &resting},
                                         {"tracker/resting_anchor", &restingAnchor},
                                         {"tracker/none", &overNone},
                                         {"tracker/none_anchor", &overNoneAnchor}})
        benchmark::RegisterBenchmark(name, function)->Repetitions(5)->Unit(benchmark::kMicrosecond);
    int count = argc;
    benchmark::Initialize(&count, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* own, const char* anchor, double times)
    {
        const auto a = reporter.nanoseconds.find(own);
        const auto b = reporter.nanoseconds.find(anchor);
        return a != reporter.nanoseconds.end() && b != reporter.nanoseconds.end()
                   ? a->second / (b->second * times)
                   : -1.0;
    };
    std::printf("tracker update resting on a control / one hit test of it: %.2fx (goal <= 2.0x)\n",
                ratio("tracker/resting", "tracker/resting_anchor", 1.0));
    std::printf("tracker update over none of %d controls / %d hit tests of one: %.2fx (goal <= 1.2x)\n",
                kControls, kControls, ratio("tracker/none", "tracker/none_anchor", double(kControls)));
    return 0;
}
