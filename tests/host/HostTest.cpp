// The built bundle, loaded by path through JUCE's VST3 hosting exactly as a DAW loads it.

#include "support/TestEnvironment.h"
#include "tools/host/PluginHost.h"
#include "voicebus/RegionView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace TestEnvironment
{
extern bool sharedMemoryIsolated;
}

namespace
{
using Set = juce::AudioChannelSet;

class HostTest : public testing::Test
{
protected:
    std::unique_ptr<juce::AudioPluginInstance> load()
    {
        juce::String error;
        auto instance = PluginHost::load(PluginHost::builtBundle(), 48000.0, 512, error);
        EXPECT_NE(nullptr, instance) << error;
        return instance;
    }

    static void requireIsolation()
    {
        if (!TestEnvironment::sharedMemoryIsolated)
            GTEST_SKIP() << "no private /dev/shm here: the bus is left alone";
    }
};

juce::AudioBuffer<float> noise(int channels, int n, int seed)
{
    juce::Random random(seed);
    juce::AudioBuffer<float> block(channels, n);
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < n; ++i)
            block.setSample(ch, i, random.nextFloat() * 2.0f - 1.0f);
    return block;
}

// The host wraps the plug-in's own state block (IComponent) in an XML of its own.
juce::MemoryBlock componentStateOf(juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock hostState, component;
    instance.getStateInformation(hostState);
    const auto xml = juce::AudioProcessor::getXmlFromBinary(hostState.getData(), (int)hostState.getSize());
    if (xml != nullptr)
        if (auto* child = xml->getChildByName("IComponent"))
            component.fromBase64Encoding(child->getAllSubText());
    return component;
}

juce::MemoryBlock hostStateWithComponent(const std::string& componentBytes)
{
    juce::XmlElement xml("VST3PluginState");
    juce::MemoryBlock component(componentBytes.data(), componentBytes.size());
    xml.createNewChildElement("IComponent")->addTextElement(component.toBase64Encoding());
    juce::MemoryBlock hostState;
    juce::AudioProcessor::copyXmlToBinary(xml, hostState);
    return hostState;
}

std::string stateBlock(const std::string& attributes)
{
    const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <TonquillFX " + attributes + "/>";
    std::string block = "VC2!";
    const auto length = static_cast<uint32_t>(xml.size());
    block.append(reinterpret_cast<const char*>(&length), 4);
    return block + xml + std::string(1, '\0');
}
} // namespace

TEST_F(HostTest, TheFactoryDescribesThePlugIn)
{
    const auto description = PluginHost::describe(PluginHost::builtBundle());
    ASSERT_NE(nullptr, description);
    EXPECT_EQ(juce::String("Tonquill FX"), description->name);
    EXPECT_EQ(juce::String("Brindlewick"), description->manufacturerName);
    EXPECT_EQ(juce::String("0.9.94"), description->version);
    EXPECT_EQ(juce::String("Fx"), description->category);
    EXPECT_EQ(juce::String("VST3"), description->pluginFormatName);
    EXPECT_FALSE(description->isInstrument);
    EXPECT_EQ(2, description->numInputChannels);
    EXPECT_EQ(2, description->numOutputChannels);
}

TEST_F(HostTest, OnlyMonoOrStereoWithEqualSidesIsAccepted)
{
    auto plugin = load();
    ASSERT_NE(nullptr, plugin);
    plugin->releaseResources(); // only an inactive plug-in is asked about layouts
    struct Case
    {
        Set in, out;
        bool accepted;
    };
    const Case cases[] = {
        {Set::mono(), Set::mono(), true},
        {Set::stereo(), Set::stereo(), true},
        {Set::mono(), Set::stereo(), false},
        {Set::create5point1(), Set::create5point1(), false},
    };
    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add(c.in);
        layout.outputBuses.add(c.out);
        EXPECT_EQ(c.accepted, plugin->checkBusesLayoutSupported(layout))
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST_F(HostTest, TheOnlyParameterIsTheWrappersBypass)
{
    auto plugin = load();
    ASSERT_NE(nullptr, plugin);
    const auto& parameters = plugin->getParameters();
    ASSERT_EQ(1, parameters.size());
    EXPECT_EQ(juce::String("Bypass"), parameters[0]->getName(100));
    EXPECT_EQ(0, plugin->getLatencySamples());
    EXPECT_FALSE(plugin->acceptsMidi());
}

TEST_F(HostTest, AudioPassesBitForBitAndTheVoiceArrivesOnBusA)
{
    requireIsolation();
    auto plugin = load();
    ASSERT_NE(nullptr, plugin);
    auto view = VoiceBus::RegionView::open(0, VoiceBus::RegionView::Access::readOnly);
    ASSERT_NE(nullptr, view.region) << VoiceBus::describe(view.state);
    const uint32_t start = view.region->writePos;

    juce::MidiBuffer midi;
    for (int seed = 1; seed <= 20; ++seed)
    {
        auto block = noise(2, 512, seed);
        const auto original = block;
        plugin->processBlock(block, midi);
        for (int ch = 0; ch < 2; ++ch)
            ASSERT_EQ(0,
                      std::memcmp(original.getReadPointer(ch), block.getReadPointer(ch), 512 * sizeof(float)))
                << "block " << seed << ", channel " << ch;

        const uint32_t blockStart = start + static_cast<uint32_t>((seed - 1) * 512);
        for (int i = 0; i < 512; ++i)
        {
            const float expected = (original.getSample(0, i) + original.getSample(1, i)) * 0.5f;
            ASSERT_EQ(expected,
                      view.region->ring[(blockStart + static_cast<uint32_t>(i)) & VoiceBus::ringMask]);
        }
    }
    EXPECT_EQ(start + 20 * 512, view.region->writePos);
    EXPECT_EQ(48000.0, view.region->sampleRate);
}

TEST_F(HostTest, StateRoundTripsThroughTheWrapperAndMovesTheBus)
{
    requireIsolation();
    auto first = load();
    ASSERT_NE(nullptr, first);
    const auto ours = stateBlock(R"(bus="2" enabled="1" gainDb="-6.0")");
    const auto hostState = hostStateWithComponent(ours);
    first->setStateInformation(hostState.getData(), (int)hostState.getSize());

    // The wrapper hands our block back, followed by a private section of its own.
    const auto component = componentStateOf(*first);
    ASSERT_GE(component.getSize(), ours.size());
    EXPECT_EQ(ours, std::string(static_cast<const char*>(component.getData()), ours.size()));

    juce::MemoryBlock saved;
    first->getStateInformation(saved);
    first.reset();

    auto second = load();
    ASSERT_NE(nullptr, second);
    second->setStateInformation(saved.getData(), (int)saved.getSize());
    EXPECT_EQ(component, componentStateOf(*second));

    // The restored instance sends on bus C, 6 dB down.
    auto view = VoiceBus::RegionView::open(2, VoiceBus::RegionView::Access::readOnly);
    ASSERT_NE(nullptr, view.region) << VoiceBus::describe(view.state);
    const uint32_t start = view.region->writePos;
    auto block = noise(2, 256, 99);
    const auto original = block;
    juce::MidiBuffer midi;
    second->processBlock(block, midi);

    const float gain = std::pow(10.0f, -6.0f * 0.05f);
    for (int i = 0; i < 256; ++i)
    {
        const float expected = ((original.getSample(0, i) + original.getSample(1, i)) * 0.5f) * gain;
        ASSERT_EQ(expected, view.region->ring[(start + static_cast<uint32_t>(i)) & VoiceBus::ringMask]);
    }
}
