// The saved state: the three send settings as a one-line XML element inside JUCE's binary XML frame
// ("VC2!", the text length, the text, a 0 byte). Hosts keep these bytes in their projects.

#include "plugin/VoiceSendProcessor.h"

namespace
{
const juce::Identifier stateTag{"TonquillFX"};
const juce::Identifier busAttribute{"bus"};
const juce::Identifier enabledAttribute{"enabled"};
const juce::Identifier gainDbAttribute{"gainDb"};
} // namespace

void VoiceSendProcessor::getStateInformation(juce::MemoryBlock& destData)
{
    juce::XmlElement state(stateTag);
    state.setAttribute(busAttribute, bus);
    state.setAttribute(enabledAttribute, enabled.load() ? 1 : 0);
    state.setAttribute(gainDbAttribute, static_cast<double>(gainDb.load()));
    destData.reset();
    copyXmlToBinary(state, destData);
}

void VoiceSendProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    const auto state = getXmlFromBinary(data, sizeInBytes);
    if (state == nullptr || !state->getTagName().equalsIgnoreCase(stateTag.toString()))
        return;

    selectBus(state->getIntAttribute(busAttribute, 0));
    enabled.store(state->getBoolAttribute(enabledAttribute, true));
    gainDb.store(static_cast<float>(state->getDoubleAttribute(gainDbAttribute, 0.0)));
}
