#pragma once

// Shared pieces of the benchmark programs: every figure is printed as a ratio to a baseline measured
// in the same run, so the numbers mean something on a shared, noisy machine.

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace BenchSupport
{
/** Collects real times per benchmark name while printing the usual console table. */
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    /** `name` is reported as a ratio to `baseline` (full benchmark names, arguments included). */
    void compare(std::string name, std::string baseline);

    void ReportRuns(const std::vector<Run>& runs) override;

    /** Prints "name: N ns = R x baseline" for every comparison; returns false if one is missing. */
    bool printRatios() const;

private:
    struct Timing
    {
        std::string name;
        double realTime; // in `unit`
        std::string unit;
    };
    std::vector<Timing> times;
    std::vector<std::pair<std::string, std::string>> comparisons;
};

/** Region names of this process's own, removed again at exit, so a benchmark never publishes onto
    a running DAW's buses. */
void useOwnBusNames();

/** Runs the registered benchmarks with `reporter`, then prints its ratios. */
int run(int argc, char** argv, RatioReporter& reporter);
} // namespace BenchSupport
