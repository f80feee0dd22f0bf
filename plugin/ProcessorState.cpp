// The saved state: the three send settings as a one-line XML element inside JUCE's binary XML frame
// ("VC2!", the text length, the text, a 0 byte). Hosts keep these bytes in their projects.

#include "plugin/VoiceSendProcessor.h"

#include <algorithm>
#include <string_view>

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

// JUCE's XML parser fails three ways on hostile text: it steps past the end of text that is not
// valid UTF-8, it loops for ever on a processing instruction inside an element followed by text, and
// it recurses once per nested element. No block this processor wrote has any of these, so a block
// that could trigger one is turned away (and so ignored) before it reaches the parser.
constexpr int mostMarkupInAState = 1024;

static bool isSafeForTheXmlParser(const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 8)
        return true; // getXmlFromBinary rejects it by itself
    const auto* bytes = static_cast<const char*>(data);
    const auto declared = static_cast<int>(juce::ByteOrder::littleEndianInt(bytes + 4));
    const int length = juce::jmin(sizeInBytes - 8, declared);
    if (length <= 0)
        return true;

    std::string_view text(bytes + 8, static_cast<size_t>(length));
    text = text.substr(0, text.find('\0')); // the parser stops at the first 0 byte
    if (!juce::CharPointer_UTF8::isValidString(text.data(), static_cast<int>(text.size())))
        return false;

    // A leading declaration is read by the header parser; any later "<?" is inside the content.
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start != std::string_view::npos && text.substr(start, 2) == "<?")
    {
        const auto end = text.find("?>", start + 2);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 2);
    }
    return text.find("<?") == std::string_view::npos &&
           std::count(text.begin(), text.end(), '<') <= mostMarkupInAState;
}

void VoiceSendProcessor::setStateInformation(const void* data, int sizeInBytes)
{
    if (!isSafeForTheXmlParser(data, sizeInBytes))
        return;
    const auto state = getXmlFromBinary(data, sizeInBytes);
    if (state == nullptr || !state->getTagName().equalsIgnoreCase(stateTag.toString()))
        return;

    selectBus(state->getIntAttribute(busAttribute, 0));
    enabled.store(state->getBoolAttribute(enabledAttribute, true));
    gainDb.store(static_cast<float>(state->getDoubleAttribute(gainDbAttribute, 0.0)));
}
