// Creating and destroying a processor, its endpoint opening and closing a region included, against
// the smallest JUCE processor that does nothing at all.

#include "BenchSupport.h"
#include "passthrough/PassThroughProcessor.h"
#include "plugin/VoiceSendProcessor.h"

namespace
{
void createPassThroughProcessor(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(std::make_unique<PassThroughProcessor>());
}

void createVoiceSendProcessor(benchmark::State& state)
{
    for (auto _ : state)
    {
        auto processor = std::make_unique<VoiceSendProcessor>();
        if (processor->endpoint.region == nullptr)
            state.SkipWithError("the endpoint did not open");
        benchmark::DoNotOptimize(processor);
    }
}
} // namespace

BENCHMARK(createPassThroughProcessor);
BENCHMARK(createVoiceSendProcessor);

int main(int argc, char** argv)
{
    BenchSupport::useOwnBusNames();
    const juce::ScopedJuceInitialiser_GUI juce;
    BenchSupport::RatioReporter reporter;
    reporter.compare("createVoiceSendProcessor", "createPassThroughProcessor");
    return BenchSupport::run(argc, argv, reporter);
}
