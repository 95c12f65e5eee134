// A log call on a disabled channel against its anchor, a call of an empty
// function that the compiler may not inline. Logging is left in hot paths on
// the promise that a switched-off channel costs about as much as a call.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

#include "engine/core/diagnostics/Logger.h"

namespace
{

__attribute__((noinline)) void emptyFunction(int value, double other)
{
    benchmark::DoNotOptimize(value);
    benchmark::DoNotOptimize(other);
}

void EmptyCall(benchmark::State& state)
{
    for (auto _ : state)
    {
        emptyFunction(42, 1.5);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(EmptyCall);

void LogDisabledChannel(benchmark::State& state)
{
    TarnEngine::Logger logger;
    logger.DisableChannels(TarnEngine::LogRendering);
    TarnEngine::ILogger* log = TarnEngine::ILogger::Get();
    for (auto _ : state)
    {
        log->Log(TarnEngine::LogRendering, __FILE__, __LINE__, L"frame %d took %f ms", 42, 1.5);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(LogDisabledChannel);

// Prints the usual table, then the ratio of the two.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            perIteration_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double anchor = perIteration_["EmptyCall"];
        const double log = perIteration_["LogDisabledChannel"];
        if (anchor > 0.0)
            std::printf("disabled log call / empty call: %.2fx (goal: under 2x)\n", log / anchor);
    }

private:
    std::map<std::string, double> perIteration_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
