// One update of the timer service with 10,000 live timers, none of them due,
// against its anchor: a plain walk over a vector of the same records doing the
// same due test. The service runs first in every frame, so what a frame pays
// for many idle timers (effects waiting to start, hint delays) should stay
// close to a walk over flat memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "FastestRunReporter.h"
#include "engine/scene/ui/TimerService.h"
#include "platform/system/Clock.h"

namespace
{

using namespace TarnEngine;

constexpr int kTimers = 10000;

struct NullListener : ITimerListener
{
    void OnTimer(InstanceHandle) override { ++calls; }
    int calls = 0;
};

void TimerServiceUpdate(benchmark::State& state)
{
    Platform::FakeCounter clock(1000000000);
    NullListener listener;
    TimerService service(clock);
    for (int i = 0; i < kTimers; ++i)
        service.AddTimer(1e7f + float(i % 100), &listener); // months
    for (auto _ : state)
    {
        clock.Advance(16666667); // a frame, far from any timer's period
        service.Update();
        benchmark::ClobberMemory();
    }
    if (listener.calls != 0)
        state.SkipWithError("a timer fell due");
}
BENCHMARK(TimerServiceUpdate);

// The anchor: the same records by value in one vector, walked newest first.
void PlainVectorWalk(benchmark::State& state)
{
    Platform::FakeCounter clock(1000000000);
    NullListener listener;
    std::vector<TimerRecord> records(kTimers);
    for (int i = 0; i < kTimers; ++i)
    {
        records[size_t(i)].listener = &listener;
        records[size_t(i)].period = int64_t(10000000 + i % 100) * 1000000000;
    }
    for (auto _ : state)
    {
        clock.Advance(16666667);
        const int64_t now = clock.Counter();
        for (size_t i = records.size(); i-- > 0;)
        {
            TimerRecord& record = records[i];
            if (record.removed)
                continue;
            if (record.held)
                record.start = now;
            if (now - record.start >= record.period)
            {
                record.listener->OnTimer({});
                record.start = now;
            }
        }
        benchmark::ClobberMemory();
    }
    if (listener.calls != 0)
        state.SkipWithError("a timer fell due");
}
BENCHMARK(PlainVectorWalk);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto& ns = reporter.nanoseconds;
    if (ns.count("TimerServiceUpdate") && ns.count("PlainVectorWalk") && ns.at("PlainVectorWalk") > 0.0)
        std::printf("update of %d timers: %.1f us; timer service / plain vector walk: %.2fx (goal: at most 5x)\n",
                    kTimers, ns.at("TimerServiceUpdate") / 1000.0,
                    ns.at("TimerServiceUpdate") / ns.at("PlainVectorWalk"));
    return 0;
}
