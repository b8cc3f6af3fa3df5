#pragma once

// Runs the registered benchmarks with repetitions and prints the ratio of two
// of them, by their medians.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench {

// Remembers the median of each benchmark as it is reported.
class MedianReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> medians;
};

// Prints "<label>: <a> ns against <b> ns, ratio <a/b>" for the benchmarks
// registered under the function names a and b.
inline int RunAndCompare(int argc, char** argv, const std::string& a, const std::string& b,
                         const char* label)
{
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=9";
    args.insert(args.begin() + 1, repetitions.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto first = reporter.medians.find(a);
    const auto second = reporter.medians.find(b);
    if (first != reporter.medians.end() && second != reporter.medians.end())
        std::printf("%s: %.1f ns against %.1f ns, ratio %.2f\n", label, first->second,
                    second->second, first->second / second->second);
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
