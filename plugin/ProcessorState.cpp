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

// JUCE's XML parser can step past the end of text that is not valid UTF-8, so a damaged block is
// turned away before it gets there.
static bool holdsValidText(const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 8)
        return true; // getXmlFromBinary rejects it by itself
    const auto* bytes = static_cast<const char*>(data);
    const auto declared = static_cast<int>(juce::ByteOrder::littleEndianInt(bytes + 4));
    const int length = juce::jmin(sizeInBytes - 8, declared);
    return length <= 0 || juce::CharPointer_UTF8::isValidString(bytes + 8, length);
}

void VoiceSendProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    if (!holdsValidText(data, sizeInBytes))
        return;
    const auto state = getXmlFromBinary(data, sizeInBytes);
    if (state == nullptr || !state->getTagName().equalsIgnoreCase(stateTag.toString()))
        return;

    selectBus(state->getIntAttribute(busAttribute, 0));
    enabled.store(state->getBoolAttribute(enabledAttribute, true));
    gainDb.store(static_cast<float>(state->getDoubleAttribute(gainDbAttribute, 0.0)));
}
