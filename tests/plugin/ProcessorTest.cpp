#include "plugin/VoiceSendProcessor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace
{
using Set = juce::AudioChannelSet;

juce::AudioProcessor::BusesLayout layout(const Set& in, const Set& out)
{
    juce::AudioProcessor::BusesLayout result;
    result.inputBuses.add(in);
    result.outputBuses.add(out);
    return result;
}
} // namespace

TEST(Processor, AFreshProcessorIsIdentifiedAndOpenOnBusA)
{
    VoiceSendProcessor processor;
    EXPECT_EQ(juce::String("Tonquill FX"), processor.getName());
    EXPECT_EQ(1, processor.getNumPrograms());
    EXPECT_EQ(0, processor.getCurrentProgram());
    EXPECT_TRUE(processor.getProgramName(0).isEmpty());
    EXPECT_EQ(0.0, processor.getTailLengthSeconds());
    EXPECT_FALSE(processor.acceptsMidi() || processor.producesMidi() || processor.isMidiEffect());
    EXPECT_TRUE(processor.hasEditor());
    EXPECT_EQ(0, processor.getLatencySamples());
    EXPECT_EQ(2, processor.getTotalNumInputChannels());
    EXPECT_EQ(2, processor.getTotalNumOutputChannels());

    EXPECT_TRUE(processor.enabled);
    EXPECT_EQ(0.0f, processor.gainDb);
    EXPECT_EQ(0, processor.bus);
    EXPECT_EQ(44100.0, processor.sampleRate);
    EXPECT_EQ(0, processor.monoBuffer.getNumSamples());
    EXPECT_EQ(0.0f, processor.sendPeak);
    EXPECT_NE(nullptr, processor.endpoint.region);
    EXPECT_EQ(0, processor.endpoint.openBus);
}

TEST(Processor, TwoProcessorsHaveDifferentOddSenderIds)
{
    VoiceSendProcessor a, b;
    EXPECT_NE(a.endpoint.senderId, b.endpoint.senderId);
    EXPECT_EQ(1u, a.endpoint.senderId & 1u);
    EXPECT_EQ(1u, b.endpoint.senderId & 1u);
}

TEST(Processor, AcceptsOnlyMonoOrStereoWithEqualInputAndOutput)
{
    struct Case
    {
        Set in, out;
        bool accepted;
    };
    const Case cases[] = {
        {Set::mono(), Set::mono(), true},
        {Set::stereo(), Set::stereo(), true},
        {Set::mono(), Set::stereo(), false},
        {Set::stereo(), Set::mono(), false},
        {Set::disabled(), Set::stereo(), false},
        {Set::stereo(), Set::disabled(), false},
        {Set::disabled(), Set::disabled(), false},
        {Set::create5point1(), Set::create5point1(), false},
        {Set::createLCR(), Set::createLCR(), false},
    };
    VoiceSendProcessor processor;
    for (const auto& c : cases)
        EXPECT_EQ(c.accepted, processor.isBusesLayoutSupported(layout(c.in, c.out)))
            << c.in.getDescription() << " -> " << c.out.getDescription();
}

TEST(Processor, PrepareToPlaySizesTheScratchBufferOnce)
{
    VoiceSendProcessor processor;
    processor.prepareToPlay(48000.0, 512);
    EXPECT_EQ(48000.0, processor.sampleRate);
    EXPECT_EQ(1, processor.monoBuffer.getNumChannels());
    EXPECT_EQ(1024, processor.monoBuffer.getNumSamples());

    const float* storage = processor.monoBuffer.getReadPointer(0);
    processor.prepareToPlay(96000.0, 512);
    EXPECT_EQ(storage, processor.monoBuffer.getReadPointer(0));

    processor.prepareToPlay(44100.0, 16);
    EXPECT_EQ(128, processor.monoBuffer.getNumSamples());
}
