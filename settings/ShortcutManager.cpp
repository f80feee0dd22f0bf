#include "settings/ShortcutManager.h"

#include <cctype>

namespace
{
juce::juce_wchar toLowerKey(juce::juce_wchar c)
{
    // tolower is only defined for unsigned char values; everything beyond stays as it is.
    if (c >= 0 && c <= 255)
        return static_cast<juce::juce_wchar>(std::tolower(static_cast<int>(c)));
    return c;
}

/** First character of a value's text, lower-cased; 0 for an empty text. */
juce::juce_wchar firstKeyOf(const juce::var& value)
{
    const auto text = value.toString();
    if (text.isEmpty())
        return 0;

    // The JSON writer escapes characters beyond U+FFFF as a surrogate pair, which the parser hands
    // back as two characters: join them, or such a key would lose its second half on every write.
    const auto first = text[0];
    const auto second = text[1];
    if (first >= 0xd800 && first <= 0xdbff && second >= 0xdc00 && second <= 0xdfff)
        return 0x10000 + ((first - 0xd800) << 10) + (second - 0xdc00);
    return toLowerKey(first);
}

juce::String keyText(juce::juce_wchar key)
{
    return key == 0 ? juce::String() : juce::String::charToString(key);
}
} // namespace

juce::String getJsonName(ShortcutAction action)
{
    switch (action)
    {
    case ShortcutAction::toolPencil:
        return "toolPencil";
    case ShortcutAction::toolPoint:
        return "toolPoint";
    case ShortcutAction::toolPerform:
        return "toolPerform";
    case ShortcutAction::toolSelect:
        return "toolSelect";
    case ShortcutAction::toolCut:
        return "toolCut";
    case ShortcutAction::toolBrush:
        return "toolBrush";
    case ShortcutAction::toolStamp:
        return "toolStamp";
    case ShortcutAction::quickJoin:
        return "quickJoin";
    case ShortcutAction::quickLFO:
        return "quickLFO";
    case ShortcutAction::quickRamp:
        return "quickRamp";
    case ShortcutAction::strum:
        return "strum";
    case ShortcutAction::chop:
        return "chop";
    case ShortcutAction::unison:
        return "unison";
    case ShortcutAction::tune:
        return "tune";
    case ShortcutAction::zoomToFit:
        return "zoomToFit";
    case ShortcutAction::cycleFollow:
        return "cycleFollow";
    case ShortcutAction::toggleOscilloscope:
        return "toggleOscilloscope";
    case ShortcutAction::toggleReveal:
        return "toggleReveal";
    case ShortcutAction::toggleHelp:
        return "toggleHelp";
    case ShortcutAction::openLFODialog:
        return "openLFODialog";
    }
    return "unknown";
}

juce::String getJsonName(ModifierAction action)
{
    switch (action)
    {
    case ModifierAction::highlightSelect:
        return "highlightSelect";
    case ModifierAction::addPitchPoints:
        return "addPitchPoints";
    }
    return "unknown";
}

juce::String getModifierText(int32_t modifier)
{
    switch (static_cast<ModifierKey>(modifier))
    {
    case ModifierKey::alt:
        return "alt";
    case ModifierKey::shift:
        return "shift";
    case ModifierKey::rawctrl:
        return "rawctrl";
    case ModifierKey::ctrl:
        break;
    }
    return "ctrl";
}

ShortcutManager::ShortcutManager()
{
    initDefaults();
    setModifier(ModifierAction::highlightSelect, ModifierKey::ctrl, "Highlight Select",
                "Click+drag to box-select notes");
    setModifier(ModifierAction::addPitchPoints, ModifierKey::alt, "Add Pitch Points",
                "Click on note to place pitch point");
    defaults = bindings;
}

ShortcutManager& ShortcutManager::getInstance()
{
    static ShortcutManager instance;
    return instance;
}

void ShortcutManager::initDefaults()
{
    using A = ShortcutAction;
    registerShortcut(A::toolPencil, 'v', 'm', false, "Pencil", "Tools");
    registerShortcut(A::toolPoint, 'p', 0, true, "Point", "Tools");
    registerShortcut(A::toolPerform, 0, 0, true, "Perform", "Tools");
    registerShortcut(A::toolSelect, 'e', 'h', false, "Select", "Tools");
    registerShortcut(A::toolCut, 'c', 0, true, "Cut", "Tools");
    registerShortcut(A::toolBrush, 'b', 0, false, "Brush", "Tools");
    registerShortcut(A::toolStamp, 's', 0, true, "Stamp", "Tools");
    registerShortcut(A::quickJoin, 'j', 0, true, "Join", "Editing");
    registerShortcut(A::quickLFO, 'l', 0, true, "LFO", "Editing");
    registerShortcut(A::quickRamp, 'r', 0, true, "Quick Ramp", "Editing");
    registerShortcut(A::strum, 'g', 0, true, "Strum", "Editing");
    registerShortcut(A::chop, 'k', 0, true, "Chop", "Editing");
    registerShortcut(A::unison, 'u', 0, true, "Unison", "Editing");
    registerShortcut(A::tune, 't', 0, true, "Tune", "Editing");
    registerShortcut(A::zoomToFit, 'z', 0, true, "Zoom to Fit", "View");
    registerShortcut(A::cycleFollow, 'f', 0, false, "Cycle Follow", "View");
    registerShortcut(A::toggleOscilloscope, 'o', 0, true, "Visualizer", "View");
    registerShortcut(A::toggleReveal, 'w', 0, true, "Reveal Mode", "View");
    registerShortcut(A::toggleHelp, '/', '?', false, "Help", "View");
}

void ShortcutManager::registerShortcut(ShortcutAction action, juce::juce_wchar key, juce::juce_wchar alt,
                                       bool flag, const juce::String& displayName,
                                       const juce::String& category)
{
    auto& binding = bindings[action];
    binding.action = action;
    binding.key = key;
    binding.alt = alt;
    binding.flag = flag;
    binding.displayName = displayName;
    binding.category = category;
}

void ShortcutManager::setModifier(ModifierAction action, ModifierKey modifier,
                                  const juce::String& displayName, const juce::String& description)
{
    auto& binding = modifierBindings[action];
    binding.action = action;
    binding.modifier = static_cast<int32_t>(modifier);
    binding.defaultModifier = static_cast<int32_t>(modifier);
    binding.displayName = displayName;
    binding.description = description;
}

void ShortcutManager::readShortcuts(const juce::var& shortcuts)
{
    const auto* object = shortcuts.getDynamicObject();
    if (object == nullptr)
        return;

    for (auto& [action, binding] : bindings)
    {
        const auto* entry = object->getProperty(getJsonName(action)).getDynamicObject();
        if (entry == nullptr)
            continue;

        // A missing "key" reads as empty text and so unbinds the action.
        binding.key = firstKeyOf(entry->getProperty("key"));
        if (entry->hasProperty("alt"))
            binding.alt = firstKeyOf(entry->getProperty("alt"));
    }
}

void ShortcutManager::readModifiers(const juce::var& modifiers)
{
    const auto* object = modifiers.getDynamicObject();
    if (object == nullptr)
        return;

    for (auto& [action, binding] : modifierBindings)
    {
        const juce::Identifier name(getJsonName(action));
        if (!object->hasProperty(name))
            continue;

        const auto text = object->getProperty(name).toString();
        auto modifier = ModifierKey::ctrl;
        if (text == "alt")
            modifier = ModifierKey::alt;
        else if (text == "shift")
            modifier = ModifierKey::shift;
        else if (text == "rawctrl")
            modifier = ModifierKey::rawctrl;
        binding.modifier = static_cast<int32_t>(modifier);
    }
}

juce::DynamicObject::Ptr ShortcutManager::writeShortcuts() const
{
    juce::DynamicObject::Ptr result(new juce::DynamicObject());
    for (const auto& [action, binding] : bindings)
    {
        const auto factory = defaults.find(action);
        if (factory == defaults.end())
            continue;
        if (binding.key == factory->second.key && binding.alt == factory->second.alt)
            continue;

        juce::DynamicObject::Ptr entry(new juce::DynamicObject());
        entry->setProperty("key", keyText(binding.key));
        // A missing "alt" reads back as the default, so a cleared one is written as empty text.
        if (binding.alt != 0 || factory->second.alt != 0)
            entry->setProperty("alt", keyText(binding.alt));
        result->setProperty(getJsonName(action), juce::var(entry.get()));
    }
    return result;
}

juce::DynamicObject::Ptr ShortcutManager::writeModifiers() const
{
    juce::DynamicObject::Ptr result(new juce::DynamicObject());
    for (const auto& [action, binding] : modifierBindings)
    {
        if (binding.modifier != binding.defaultModifier)
            result->setProperty(getJsonName(action), getModifierText(binding.modifier));
    }
    return result;
}
