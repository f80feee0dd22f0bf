// The send path against the floor of touching the input once (a memcpy of the block's channels),
// and against the same processor with sending switched off.

#include "BenchSupport.h"
#include "plugin/VoiceSendProcessor.h"

#include <cstring>

namespace
{
juce::AudioBuffer<float> testBlock(int channels, int n)
{
    juce::AudioBuffer<float> block(channels, n);
    juce::Random random(7);
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < n; ++i)
            block.setSample(ch, i, random.nextFloat() - 0.5f);
    return block;
}

void memcpyInput(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    const auto block = testBlock(channels, n);
    juce::AudioBuffer<float> copy(channels, n);
    for (auto _ : state)
    {
        for (int ch = 0; ch < channels; ++ch)
            std::memcpy(copy.getWritePointer(ch), block.getReadPointer(ch),
                        sizeof(float) * static_cast<size_t>(n));
        benchmark::ClobberMemory();
    }
}

void processBlock(benchmark::State& state, bool sending)
{
    const int channels = static_cast<int>(state.range(0));
    const int n = static_cast<int>(state.range(1));
    VoiceSendProcessor processor;
    processor.prepareToPlay(48000.0, n);
    processor.enabled = sending;
    processor.gainDb = -3.0f;
    auto block = testBlock(channels, n);
    juce::MidiBuffer midi;
    for (auto _ : state)
    {
        processor.processBlock(block, midi);
        benchmark::ClobberMemory();
    }
    if (sending && processor.endpoint.region == nullptr)
        state.SkipWithError("no region: nothing was published");
}

void processBlockSending(benchmark::State& state)
{
    processBlock(state, true);
}

void processBlockNotSending(benchmark::State& state)
{
    processBlock(state, false);
}

void shapes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"channels", "samples"});
    for (int channels : {1, 2})
        for (int n : {64, 512, 4096})
            b->Args({channels, n});
}
} // namespace

BENCHMARK(memcpyInput)->Apply(shapes);
BENCHMARK(processBlockSending)->Apply(shapes);
BENCHMARK(processBlockNotSending)->Apply(shapes);

int main(int argc, char** argv)
{
    BenchSupport::useOwnBusNames();
    const juce::ScopedJuceInitialiser_GUI juce;
    BenchSupport::RatioReporter reporter;
    for (int channels : {1, 2})
        for (int n : {64, 512, 4096})
        {
            const auto shape = "/channels:" + std::to_string(channels) + "/samples:" + std::to_string(n);
            reporter.compare("processBlockSending" + shape, "memcpyInput" + shape);
            reporter.compare("processBlockSending" + shape, "processBlockNotSending" + shape);
        }
    return BenchSupport::run(argc, argv, reporter);
}
