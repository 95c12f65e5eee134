// A frame of a hidden-object level with 40 items while the pointer moves, at 1024 x 768 on the
// software device: the pointer's hit list, the update of the screen's tree (the board, the item
// list, the letter row, the recharging buttons) with the screen's own step (cursor, tooltips), and
// the drawing from clear to present. The anchor is the same tree with the game's classes replaced
// by plain movies, in the same run. Goal: at most 1.25 times the anchor.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench/FastestRunReporter.h"
#include "bench/HiddenObjectScene.h"

namespace
{

HiddenObjectBench::Scene& scene()
{
    static HiddenObjectBench::Scene* made = new HiddenObjectBench::Scene;
    return *made;
}

void frames(benchmark::State& state, bool game)
{
    HiddenObjectBench::Scene& s = scene();
    s.Show(game);
    for (auto _ : state)
        s.Frame(game);
}

void gameFrame(benchmark::State& state)
{
    frames(state, true);
}

void plainFrame(benchmark::State& state)
{
    frames(state, false);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    scene();
    benchmark::RegisterBenchmark("screen/frame", gameFrame)->Repetitions(5)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("screen/plain_frame", plainFrame)->Repetitions(5)->Unit(benchmark::kMillisecond);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double game = reporter.nanoseconds["screen/frame"];
    const double plain = reporter.nanoseconds["screen/plain_frame"];
    if (plain > 0)
        std::printf("hidden-object frame / plain tree: %.2fx (goal <= 1.25x); %.3f ms a frame\n", game / plain,
                    game);
    return 0;
}
