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

// JUCE's XML parser fails on hostile text: it steps past the end of text that is not valid UTF-8 and
// past an entity cut short, it loops for ever on a processing instruction inside an element followed
// by text, and it recurses once per nested element. No block this processor wrote has any of these,
// so a block that could trigger one is turned away (and so ignored) before it reaches the parser.
constexpr int mostMarkupInAState = 1024;

// Every '&' must start one of XML's five named entities or a complete numeric one naming a valid
// character.
static bool entitiesAreWellFormed(std::string_view text)
{
    for (auto at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1))
    {
        const auto rest = text.substr(at + 1);
        bool wellFormed = false;
        for (std::string_view named : {"amp;", "quot;", "apos;", "lt;", "gt;"})
            wellFormed = wellFormed || rest.substr(0, named.size()) == named;
        if (!wellFormed && rest.size() > 1 && rest[0] == '#')
        {
            const bool hex = rest[1] == 'x' || rest[1] == 'X';
            const auto digits = rest.substr(hex ? 2 : 1);
            const auto end = digits.find(';');
            if (end != std::string_view::npos && end > 0 && end <= 7)
            {
                uint32_t code = 0;
                bool allDigits = true;
                for (char c : digits.substr(0, end))
                {
                    const int value =
                        juce::CharacterFunctions::getHexDigitValue(static_cast<juce::juce_wchar>(c));
                    allDigits = allDigits && value >= 0 && (hex || value < 10);
                    code = code * (hex ? 16u : 10u) + static_cast<uint32_t>(std::max(value, 0));
                }
                wellFormed = allDigits && code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
            }
        }
        if (!wellFormed)
            return false;
    }
    return true;
}

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
    return text.find("<?") == std::string_view::npos && entitiesAreWellFormed(text) &&
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
