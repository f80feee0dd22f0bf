#include "BenchSupport.h"

#include "voicebus/Region.h"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace BenchSupport
{
void RatioReporter::compare(std::string name, std::string baseline)
{
    comparisons.emplace_back(std::move(name), std::move(baseline));
}

void RatioReporter::ReportRuns(const std::vector<Run>& runs)
{
    for (const auto& run : runs)
        if (run.run_type == Run::RT_Iteration)
            times.push_back({run.benchmark_name(), run.GetAdjustedRealTime(),
                             benchmark::GetTimeUnitString(run.time_unit)});
    ConsoleReporter::ReportRuns(runs);
}

bool RatioReporter::printRatios() const
{
    const auto find = [this](const std::string& name) -> const Timing*
    {
        for (const auto& timing : times)
            if (timing.name == name)
                return &timing;
        return nullptr;
    };

    bool complete = true;
    std::printf("\nRatios (real time per iteration, same run):\n");
    for (const auto& [name, baseline] : comparisons)
    {
        const Timing* t = find(name);
        const Timing* b = find(baseline);
        if (t == nullptr || b == nullptr)
        {
            complete = complete && (t == nullptr) == (b == nullptr); // both filtered out is fine
            continue;
        }
        std::printf("  %-44s %10.1f %s = %6.2f x %s (%.1f %s)\n", name.c_str(), t->realTime, t->unit.c_str(),
                    t->realTime / b->realTime, baseline.c_str(), b->realTime, b->unit.c_str());
    }
    return complete;
}

static void removeOwnRegions()
{
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        ::shm_unlink(VoiceBus::objectName(bus).c_str());
}

void useOwnBusNames()
{
    VoiceBus::setNamePrefix("TqBench_" + std::to_string(::getpid()) + "_");
    std::atexit(removeOwnRegions);
}

int run(int argc, char** argv, RatioReporter& reporter)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.printRatios() ? 0 : 1;
}
} // namespace BenchSupport
