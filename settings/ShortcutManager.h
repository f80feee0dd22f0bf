#pragma once

#include <JuceHeader.h>
#include <cstdint>
#include <map>

/** Actions the product family can bind to a key. The enumerator names are the names used in the
    settings file. */
enum class ShortcutAction : int32_t
{
    toolPencil = 0,
    toolPoint = 1,
    toolPerform = 2,
    toolSelect = 3,
    toolCut = 4,
    toolBrush = 5,
    toolStamp = 6,
    quickJoin = 7,
    quickLFO = 8,
    quickRamp = 9,
    strum = 10,
    chop = 11,
    unison = 12,
    tune = 13,
    zoomToFit = 14,
    cycleFollow = 15,
    toggleOscilloscope = 16,
    toggleReveal = 17,
    toggleHelp = 18,
    openLFODialog = 19, // named but never registered: it has no binding
};

/** Mouse actions that are modified by a held key. */
enum class ModifierAction : int32_t
{
    highlightSelect = 0,
    addPitchPoints = 1,
};

/** The key held with a click. */
enum class ModifierKey : int32_t
{
    ctrl = 0,
    alt = 1,
    shift = 2,
    rawctrl = 3,
};

/** Name of an action in the settings file ("unknown" for values outside the enumeration). */
juce::String getJsonName(ShortcutAction action);
juce::String getJsonName(ModifierAction action);

/** Text of a modifier in the settings file; any value that is not alt, shift or rawctrl is "ctrl". */
juce::String getModifierText(int32_t modifier);

struct ShortcutBinding
{
    ShortcutAction action = ShortcutAction::toolPencil;
    juce::juce_wchar key = 0; // lower-case character code, 0 = unbound
    juce::juce_wchar alt = 0; // 0 = none
    bool flag = false;
    juce::String displayName;
    juce::String category;
};

struct ModifierBinding
{
    ModifierAction action = ModifierAction::highlightSelect;
    int32_t modifier = static_cast<int32_t>(ModifierKey::ctrl);
    int32_t defaultModifier = static_cast<int32_t>(ModifierKey::ctrl);
    juce::String displayName;
    juce::String description;
};

/** The family's key bindings and click modifiers, persisted as the "shortcuts" and "modifiers"
    members of the settings file, each holding only what differs from the factory defaults.
    The process has one table (getInstance); separate instances exist only for tests. */
class ShortcutManager
{
public:
    /** Builds a table holding the factory defaults. */
    ShortcutManager();

    static ShortcutManager& getInstance();

    /** Registers the factory key bindings into `bindings`. */
    void initDefaults();

    /** Sets every field of the binding of `action`, creating the entry if needed. */
    void registerShortcut(ShortcutAction action, juce::juce_wchar key, juce::juce_wchar alt, bool flag,
                          const juce::String& displayName, const juce::String& category);

    /** Applies a "shortcuts" value from the settings file; anything but an object is ignored. */
    void readShortcuts(const juce::var& shortcuts);

    /** Applies a "modifiers" value from the settings file; anything but an object is ignored. */
    void readModifiers(const juce::var& modifiers);

    /** The bindings that differ from their defaults, ready to be stored as "shortcuts". */
    juce::DynamicObject::Ptr writeShortcuts() const;

    /** The modifier choices that differ from their defaults, ready to be stored as "modifiers". */
    juce::DynamicObject::Ptr writeModifiers() const;

    std::map<ShortcutAction, ShortcutBinding> bindings;
    std::map<ShortcutAction, ShortcutBinding> defaults;
    std::map<ModifierAction, ModifierBinding> modifierBindings;

private:
    void setModifier(ModifierAction action, ModifierKey modifier, const juce::String& displayName,
                     const juce::String& description);

    JUCE_DECLARE_NON_COPYABLE(ShortcutManager)
};
