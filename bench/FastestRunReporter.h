// Collects the fastest repetition (processor time) of each benchmark next to
// the usual console output: the machine may be shared, and the fastest run is
// the least disturbed.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class FastestRunReporter : public benchmark::ConsoleReporter
{
public:
    // Nanoseconds of processor time by benchmark function name.
    std::map<std::string, double> nanoseconds;

    FastestRunReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
        {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            const std::string name = run.run_name.function_name;
            const auto known = nanoseconds.find(name);
            if (known == nanoseconds.end() || run.GetAdjustedCPUTime() < known->second)
                nanoseconds[name] = run.GetAdjustedCPUTime();
        }
    }
};
