// A frame of a hidden-object level with 40 items while the pointer moves, at 1024 x 768 on the
// software device: the pointer's hit list, the update of the screen's tree (the board, the item
// list, the letter row, the recharging buttons) with the screen's own step (cursor, tooltips), and
// the drawing from clear to present. The anchor is the same tree with the game's classes replaced
// by plain movies, in the same run, also in alternating rounds. Goal: at most 1.25 times the anchor.
//
// Measured on the shared 8-core build machine under a load of 12 to 15 (Release, clang): 1.4 to
// 2.2 ms a frame; run one after the other 0.97x to 1.44x the plain tree as the load changes, with
// the trees alternating 0.95x to 1.06x.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
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

// The machine is shared and its load changes between two benchmarks run one after the other, so
// the ratio is also taken from rounds that alternate the two trees, the fastest round of each.
double alternatingRatio(int rounds, int framesPerRound)
{
    HiddenObjectBench::Scene& s = scene();
    double best[2] = {1e30, 1e30};
    for (int round = 0; round < rounds; ++round)
        for (int game = 1; game >= 0; --game)
        {
            s.Show(game != 0);
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < framesPerRound; ++i)
                s.Frame(game != 0);
            best[game] = std::min(best[game],
                                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        }
    return best[1] / best[0];
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
    std::printf("the same, trees alternating over 30 rounds of 20 frames: %.2fx (goal <= 1.25x)\n",
                alternatingRatio(30, 20));
    return 0;
}
