#include "settings/ShortcutManager.h"

#include <gtest/gtest.h>

namespace
{
juce::String toText(const juce::DynamicObject::Ptr& object)
{
    return juce::JSON::toString(juce::var(object.get()), true);
}

struct SubObjectCase
{
    const char* input;   // the "shortcuts" or "modifiers" value in the file
    const char* written; // what the next write holds for it
};
} // namespace

TEST(ShortcutManagerTest, FreshTableHoldsTheFactoryDefaultsAndWritesNothing)
{
    ShortcutManager table;
    EXPECT_EQ(table.bindings.size(), 19u);
    EXPECT_EQ(table.bindings.count(ShortcutAction::openLFODialog), 0u);
    EXPECT_EQ(table.bindings.rbegin()->first, ShortcutAction::toggleHelp);
    for (const auto& [action, binding] : table.bindings)
        EXPECT_EQ(binding.action, action);

    const auto& help = table.bindings.at(ShortcutAction::toggleHelp);
    EXPECT_EQ(help.key, '/');
    EXPECT_EQ(help.alt, '?');
    EXPECT_FALSE(help.flag);
    EXPECT_EQ(help.displayName, "Help");
    EXPECT_EQ(help.category, "View");
    EXPECT_EQ(table.bindings.at(ShortcutAction::toolPerform).key, 0);
    EXPECT_EQ(table.bindings.at(ShortcutAction::toggleOscilloscope).displayName, "Visualizer");

    const auto& select = table.modifierBindings.at(ModifierAction::highlightSelect);
    EXPECT_EQ(select.modifier, static_cast<int32_t>(ModifierKey::ctrl));
    EXPECT_EQ(select.description, "Click+drag to box-select notes");
    const auto& pitch = table.modifierBindings.at(ModifierAction::addPitchPoints);
    EXPECT_EQ(pitch.modifier, static_cast<int32_t>(ModifierKey::alt));
    EXPECT_EQ(pitch.defaultModifier, static_cast<int32_t>(ModifierKey::alt));

    EXPECT_EQ(toText(table.writeShortcuts()), "{}");
    EXPECT_EQ(toText(table.writeModifiers()), "{}");
}

TEST(ShortcutManagerTest, NamesOutsideTheEnumerationsAreUnknown)
{
    EXPECT_EQ(getJsonName(ShortcutAction::openLFODialog), "openLFODialog");
    EXPECT_EQ(getJsonName(static_cast<ShortcutAction>(20)), "unknown");
    EXPECT_EQ(getJsonName(static_cast<ShortcutAction>(-1)), "unknown");
    EXPECT_EQ(getJsonName(static_cast<ModifierAction>(2)), "unknown");
    EXPECT_EQ(getModifierText(3), "rawctrl");
    EXPECT_EQ(getModifierText(7), "ctrl");
}

TEST(ShortcutManagerTest, ShortcutsAreReadAndWrittenBackAsDifferencesFromTheDefaults)
{
    const SubObjectCase cases[] = {
        // An upper-case key is lowered; the alternative key, not named, stays.
        {R"({"toolPencil": {"key": "Q"}})", R"({"toolPencil": {"key": "q", "alt": "m"}})"},
        // An empty "alt" clears it, and that is written as such: left out, it would read as the default.
        {R"({"toolSelect": {"key": "e", "alt": ""}})", R"({"toolSelect": {"key": "e", "alt": ""}})"},
        {R"({"toggleHelp": {"key": "/", "alt": ""}})", R"({"toggleHelp": {"key": "/", "alt": ""}})"},
        // A missing "key" unbinds the action.
        {R"({"toolBrush": {"alt": "x"}})", R"({"toolBrush": {"key": "", "alt": "x"}})"},
        // An action without a default key can be bound.
        {R"({"toolPerform": {"key": "y"}})", R"({"toolPerform": {"key": "y"}})"},
        // Unregistered and unknown names are dropped.
        {R"({"openLFODialog": {"key": "x"}, "unknown": {"key": "x"}, "bogus": {"key": "x"}})", "{}"},
        // Exactly the default again: nothing to write.
        {R"({"toolPencil": {"key": "V", "alt": "m"}})", "{}"},
        // Wrong types are converted to text; only the first character counts.
        {R"({"toolCut": {"key": 5}, "toolStamp": {"key": "XYZ"}})",
         R"({"toolCut": {"key": "5"}, "toolStamp": {"key": "x"}})"},
        // Values that are not objects are ignored.
        {R"({"toolCut": "x", "toolStamp": ["y"], "quickJoin": null})", "{}"},
        // Only A to Z are lowered; other characters are kept and escaped on writing.
        {R"({"toggleHelp": {"key": "?"}, "tune": {"key": "\u00c4"}})",
         R"({"tune": {"key": "\u00c4"}, "toggleHelp": {"key": "?", "alt": "?"}})"},
        // A character beyond U+FFFF is written as a surrogate pair and read back as one character.
        {"{\"toolCut\": {\"key\": \"\xf0\x9f\x8e\xb9\"}, \"chop\": {\"key\": \"\\ud83c\\udfb9\"}}",
         R"({"toolCut": {"key": "\ud83c\udfb9"}, "chop": {"key": "\ud83c\udfb9"}})"},
        // Members come out in action order whatever the file's order.
        {R"({"toggleReveal": {"key": "1"}, "toolPoint": {"key": "2"}, "chop": {"key": "3"}})",
         R"({"toolPoint": {"key": "2"}, "chop": {"key": "3"}, "toggleReveal": {"key": "1"}})"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.input);
        ShortcutManager table;
        table.readShortcuts(juce::JSON::parse(juce::String::fromUTF8(c.input)));
        EXPECT_EQ(toText(table.writeShortcuts()), c.written);
        EXPECT_EQ(toText(table.writeModifiers()), "{}");
        for (const auto& [action, binding] : table.defaults)
        {
            const auto& current = table.bindings.at(action);
            EXPECT_EQ(current.flag, binding.flag);
            EXPECT_EQ(current.displayName, binding.displayName);
        }

        // What was written reads back to the same bindings.
        ShortcutManager reread;
        reread.readShortcuts(table.writeShortcuts().get());
        for (const auto& [action, binding] : table.bindings)
        {
            EXPECT_EQ(reread.bindings.at(action).key, binding.key) << getJsonName(action);
            EXPECT_EQ(reread.bindings.at(action).alt, binding.alt) << getJsonName(action);
        }
    }
}

TEST(ShortcutManagerTest, ReadingKeepsTheDefaultsAndTheUnnamedAlternative)
{
    ShortcutManager table;
    table.readShortcuts(juce::JSON::parse(R"({"toolPencil": {"key": "Q"}, "toolSelect": {"alt": ""}})"));
    EXPECT_EQ(table.bindings.at(ShortcutAction::toolPencil).key, 'q');
    EXPECT_EQ(table.bindings.at(ShortcutAction::toolPencil).alt, 'm');
    EXPECT_EQ(table.bindings.at(ShortcutAction::toolSelect).key, 0);
    EXPECT_EQ(table.bindings.at(ShortcutAction::toolSelect).alt, 0);
    EXPECT_EQ(table.defaults.at(ShortcutAction::toolPencil).key, 'v');
    EXPECT_EQ(table.defaults.at(ShortcutAction::toolSelect).alt, 'h');
}

TEST(ShortcutManagerTest, ModifiersAreReadExactlyAndWrittenWhenTheyDiffer)
{
    const SubObjectCase cases[] = {
        {R"({"highlightSelect": "shift"})", R"({"highlightSelect": "shift"})"},
        // ctrl differs from the default alt, so it is written.
        {R"({"addPitchPoints": "ctrl"})", R"({"addPitchPoints": "ctrl"})"},
        // Matching is case-sensitive: "Shift" reads as ctrl, the default.
        {R"({"highlightSelect": "Shift"})", "{}"},
        // Anything else is ctrl, whatever its type.
        {R"({"addPitchPoints": 1, "highlightSelect": ""})", R"({"addPitchPoints": "ctrl"})"},
        {R"({"addPitchPoints": "alt", "highlightSelect": "rawctrl", "unknown": "shift"})",
         R"({"highlightSelect": "rawctrl"})"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.input);
        ShortcutManager table;
        table.readModifiers(juce::JSON::parse(c.input));
        EXPECT_EQ(toText(table.writeModifiers()), c.written);
        EXPECT_EQ(table.modifierBindings.at(ModifierAction::highlightSelect).defaultModifier, 0);
        EXPECT_EQ(table.modifierBindings.at(ModifierAction::addPitchPoints).defaultModifier, 1);
    }
}

TEST(ShortcutManagerTest, SubObjectsThatAreNotObjectsAreIgnored)
{
    ShortcutManager table;
    for (const auto* text : {"[1]", "\"toolPencil\"", "5", "null"})
    {
        table.readShortcuts(juce::JSON::fromString(text));
        table.readModifiers(juce::JSON::fromString(text));
    }
    EXPECT_EQ(toText(table.writeShortcuts()), "{}");
    EXPECT_EQ(toText(table.writeModifiers()), "{}");
}

TEST(ShortcutManagerTest, TheProcessHasOneTable)
{
    EXPECT_EQ(&ShortcutManager::getInstance(), &ShortcutManager::getInstance());
}
