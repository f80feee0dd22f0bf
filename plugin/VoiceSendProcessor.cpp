#include "plugin/VoiceSendProcessor.h"

#include "editor/VoiceSendEditor.h"

VoiceSendProcessor::VoiceSendProcessor()
    : juce::AudioProcessor(BusesProperties()
                               .withInput("Input", juce::AudioChannelSet::stereo(), true)
                               .withOutput("Output", juce::AudioChannelSet::stereo(), true))
{
    // An odd identity is never 0, the value that means "nobody has published yet".
    endpoint.senderId = static_cast<uint64_t>(juce::Random::getSystemRandom().nextInt64()) | 1u;
    endpoint.open(0);
}

VoiceSendProcessor::~VoiceSendProcessor() = default;

const juce::String VoiceSendProcessor::getName() const
{
    return "Tonquill FX";
}

void VoiceSendProcessor::prepareToPlay(double newSampleRate, int maximumExpectedSamplesPerBlock)
{
    sampleRate = newSampleRate;

    // Twice the announced block, so hosts that overshoot a little are still sent.
    const int length = 2 * std::max(maximumExpectedSamplesPerBlock, 64);
    if (monoBuffer.getNumChannels() != 1 || monoBuffer.getNumSamples() != length)
        monoBuffer.setSize(1, length);
}

void VoiceSendProcessor::releaseResources() {}

double VoiceSendProcessor::getTailLengthSeconds() const
{
    return 0.0;
}

bool VoiceSendProcessor::acceptsMidi() const
{
    return false;
}

bool VoiceSendProcessor::producesMidi() const
{
    return false;
}

bool VoiceSendProcessor::isMidiEffect() const
{
    return false;
}

juce::AudioProcessorEditor* VoiceSendProcessor::createEditor()
{
    return new VoiceSendEditor(*this);
}

bool VoiceSendProcessor::hasEditor() const
{
    return true;
}

int VoiceSendProcessor::getNumPrograms()
{
    return 1;
}

int VoiceSendProcessor::getCurrentProgram()
{
    return 0;
}

void VoiceSendProcessor::setCurrentProgram(int) {}

const juce::String VoiceSendProcessor::getProgramName(int)
{
    return {};
}

void VoiceSendProcessor::changeProgramName(int, const juce::String&) {}

bool VoiceSendProcessor::isBusesLayoutSupported(const BusesLayout& layouts) const
{
    const auto& in = layouts.getMainInputChannelSet();
    const auto& out = layouts.getMainOutputChannelSet();
    return !in.isDisabled() && !out.isDisabled() && in == out &&
           (in == juce::AudioChannelSet::mono() || in == juce::AudioChannelSet::stereo());
}

void VoiceSendProcessor::selectBus(int newBus)
{
    newBus = VoiceBus::clampBus(newBus);
    if (newBus == bus && endpoint.region != nullptr)
        return;
    bus = newBus;
    endpoint.open(newBus);
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VoiceSendProcessor();
}
