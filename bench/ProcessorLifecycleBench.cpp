// Creating and destroying a processor, its endpoint opening and closing a region included, against
// a JUCE processor that does nothing at all.

#include "BenchSupport.h"
#include "plugin/VoiceSendProcessor.h"

namespace
{
class EmptyProcessor : public juce::AudioProcessor
{
public:
    EmptyProcessor()
        : juce::AudioProcessor(BusesProperties()
                                   .withInput("Input", juce::AudioChannelSet::stereo(), true)
                                   .withOutput("Output", juce::AudioChannelSet::stereo(), true))
    {
    }
    const juce::String getName() const override { return {}; }
    void prepareToPlay(double, int) override {}
    void releaseResources() override {}
    void processBlock(juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    juce::AudioProcessorEditor* createEditor() override { return nullptr; }
    bool hasEditor() const override { return false; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int) override {}
    const juce::String getProgramName(int) override { return {}; }
    void changeProgramName(int, const juce::String&) override {}
    void getStateInformation(juce::MemoryBlock&) override {}
    void setStateInformation(const void*, int) override {}
};

void createEmptyProcessor(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(std::make_unique<EmptyProcessor>());
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

BENCHMARK(createEmptyProcessor);
BENCHMARK(createVoiceSendProcessor);

int main(int argc, char** argv)
{
    BenchSupport::useOwnBusNames();
    const juce::ScopedJuceInitialiser_GUI juce;
    BenchSupport::RatioReporter reporter;
    reporter.compare("createVoiceSendProcessor", "createEmptyProcessor");
    return BenchSupport::run(argc, argv, reporter);
}
