#pragma once

#include "settings/ShortcutManager.h"

#include <JuceHeader.h>
#include <map>

/** The settings the product family shares, kept in "settings.json". Every key of the file is read,
    normalised and written back, so that the file stays intact for the other products; this plug-in
    applies only uiScale. Members are named after their keys and declared in the order they are
    written; their initial values are those used when there is no file. */
class AppSettings
{
public:
    /** The process's store, bound to the "Tonquill" folder of the user's application-data directory.
        Built on first use: loaded once and written once at most, when the file held no sessionId. */
    static AppSettings& getInstance();

    /** A store bound to `folder`: starts from the values used when there is no file, loads
        "settings.json" from the folder and, when no sessionId was found, makes one and writes the
        file back. The shortcut table read from and written to the file is `shortcuts`. */
    explicit AppSettings(const juce::File& folder,
                         ShortcutManager& shortcuts = ShortcutManager::getInstance());

    /** Fills the members from the settings file, normalising every value. */
    void load();

    /** Replaces the settings file with every member, through a hidden temporary file beside it. */
    void save() const;

    /** The JSON text that save() writes. */
    juce::String toJson() const;

    juce::File getFolder() const { return folder; }
    juce::File getFile() const { return folder.getChildFile("settings.json"); }

    /** A new random version-4 UUID as 32 lower-case hexadecimal digits. */
    static juce::String makeSessionId();

    juce::Array<juce::File> customScanPaths;
    juce::StringArray seenNewsIds;
    juce::String lastSeenWhatsNewVersion;
    bool showWhatsNewOnStartup = true;
    juce::File defaultMidiDirectory;
    juce::String sessionId;
    bool showQuickStartOnOpen = true;
    int rightClickMode = 0;
    int uiScale = 100;
    int uiScalePlugin = -1;
    bool showSynthQuickStart = true;
    bool showModeOnboarding = true;
    bool realisticPianoKeys = true;
    bool pointTimeRail = false;
    bool scanOverlayOnTop = false;
    int scanPanelSections = 1;
    int jiRootSource = 0;
    bool viewBeforeBarOne = false;
    int pitchBendRange = 48;
    int recordOffsetMs = 0;
    double followOffset = 0.0;
    float trackpadScrollSpeed = 4.0f;
    bool autoExpandTimeline = false;
    bool hideGhostsDuringPlayback = false;
    bool mpeHighSampleRecording = false;
    int recordSimplifyMode = 0;
    float recordSimplifyStrength = 1.0f;
    float recordSimplifyStrengthExpr = 0.75f;
    bool recordCaptureLFOs = true;
    bool midiInputsChosen = false;
    bool preserveFineTuning = false;
    bool voicePolishPass = true;
    bool mixerPanelOpen = true;
    bool synthOpensDetached = true;
    int mixerPanelX = -1;
    int mixerPanelY = -1;
    int keyAnalysisBars = 4;
    float cameraFollowSmoothing = 0.5f;
    bool cameraRightClickFollow = true;
    float cameraShakeAmount = 0.0f;
    float brushSimplify = 0.3f;
    bool recordCountIn = true;
    bool brushSnapStart = true;
    int pianoKeyUserWidth = 0;
    bool synthSpaceLock = false;
    float gridOpacity = 0.65f;
    std::map<juce::String, float> themeGridOpacity;
    std::map<juce::String, float> themeGridTone;
    int pluginHostingMode = 0;
    bool quickBarCollapsed = false;
    int keyboardLayout = 0;
    bool useSoftwareRenderer = false;
    int settingsSchemaVersion = 0;
    bool detachedSynthOnTop = true;
    bool usageTelemetryEnabled = false;
    juce::File lastBrowseDirectory;

private:
    /** Copies the bytes of a settings file that could not be parsed to "settings.json.invalid". */
    bool keepInvalidCopy(const juce::MemoryBlock& bytes) const;

    juce::File folder;
    ShortcutManager& shortcutTable;

    // Whether construction may write the file: not when it could not be read (its content was never
    // seen), nor when it could not be parsed and no copy of it could be kept.
    bool fileMayBeReplaced = true;

    JUCE_DECLARE_NON_COPYABLE(AppSettings)
};
