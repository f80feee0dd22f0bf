#pragma once

#include "voicebus/Endpoint.h"

#include <JuceHeader.h>
#include <atomic>

/** The processor the host drives: passes the track through untouched and publishes a mono, trimmed
    copy of every block onto the chosen voice bus. The three send settings are plain fields that the
    window writes directly; the host sees them only through the saved state. */
class VoiceSendProcessor : public juce::AudioProcessor
{
public:
    VoiceSendProcessor();
    ~VoiceSendProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay(double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    void processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    bool isMidiEffect() const override;
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;
    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram(int index) override;
    const juce::String getProgramName(int index) override;
    void changeProgramName(int index, const juce::String& newName) override;
    void getStateInformation(juce::MemoryBlock& destData) override;
    void setStateInformation(const void* data, int sizeInBytes) override;
    bool isBusesLayoutSupported(const BusesLayout& layouts) const override;

    /** Moves the endpoint to `newBus` (clamped) unless it already holds that bus's region. */
    void selectBus(int newBus);

    std::atomic<bool> enabled{true};
    std::atomic<float> gainDb{0.0f};
    VoiceBus::Endpoint endpoint;
    int32_t bus = 0;
    double sampleRate = 44100.0;
    juce::AudioBuffer<float> monoBuffer;
    std::atomic<float> sendPeak{0.0f};

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VoiceSendProcessor)
};
