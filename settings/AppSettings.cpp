#include "settings/AppSettings.h"

#include <climits>
#include <cmath>
#include <random>

namespace
{
// JUCE's parser recurses once for every '{' or '[' it enters, taking about 160 bytes of stack each
// (more in sanitizer builds). Real settings files hold a few dozen brackets.
constexpr int maxOpeningBrackets = 1000;

/** Whether JUCE's parser can be given `text` safely. Text that ends in a '-' (whitespace aside)
    makes it read past the terminator, and the number of brackets bounds its recursion depth.
    Neither limit is reached by a file that is valid JSON of sensible size. */
bool isSafeToParse(const juce::String& text)
{
    if (text.trimEnd().endsWithChar('-'))
        return false;
    int openingBrackets = 0;
    for (auto p = text.getCharPointer(); !p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        if ((c == '{' || c == '[') && ++openingBrackets > maxOpeningBrackets)
            return false;
    }
    return true;
}

/** Reads every byte of a file; false when it cannot be opened or a read fails. */
bool readWholeFile(const juce::File& file, juce::MemoryBlock& bytes)
{
    juce::FileInputStream in(file);
    if (in.failedToOpen())
        return false;
    juce::MemoryOutputStream out(bytes, false);
    out.writeFromInputStream(in, -1);
    return in.getStatus().wasOk();
}

/** Replaces `target` with `bytes` through a hidden temporary file in the same folder, so that a
    reader sees either the old or the new file. The temporary file is moved over the target only
    when all of it reached the disk: a short write must not truncate the user's file. */
bool replaceFile(const juce::File& target, const void* data, size_t size)
{
    const juce::TemporaryFile temporary(target, juce::TemporaryFile::useHiddenFile);
    {
        juce::FileOutputStream out(temporary.getFile());
        if (out.failedToOpen())
            return false;
        out.write(data, size);
        out.flush();
        if (out.getStatus().failed())
            return false;
    }
    if (temporary.getFile().getSize() != static_cast<juce::int64>(size))
        return false;
    return temporary.overwriteTargetFileWithTemporary();
}

// Conversions from the file's values. Numbers that do not fit an int saturate rather than wrap.
int toInt(const juce::var& value)
{
    if (value.isDouble() || value.isInt64())
    {
        const auto number = static_cast<double>(value);
        if (std::isnan(number))
            return 0;
        return static_cast<int>(
            juce::jlimit(static_cast<double>(INT_MIN), static_cast<double>(INT_MAX), number));
    }
    return static_cast<int>(value);
}

/** The value clamped to [low, high]; a value that is not a number at all gives `fallback`. */
double toClampedDouble(const juce::var& value, double low, double high, double fallback)
{
    const auto number = static_cast<double>(value);
    if (std::isnan(number))
        return fallback;
    return juce::jlimit(low, high, number);
}

/** A number for the JSON writer. JUCE 7's writer ignores its decimal-places argument and prints
    numbers below 1 with up to 20 decimals, so the value is moved to the nearest double that it
    prints with at most 15. */
juce::var jsonNumber(double value)
{
    const auto magnitude = std::abs(value);
    if (!std::isfinite(value) || magnitude >= 1.0 || magnitude <= 1.0e-5)
        return value; // the writer already stays within 15 decimals here

    for (int places = 15; places > 0; --places)
    {
        // The text the writer would give with `places` decimals, trailing zeros removed.
        auto text = juce::String(value, places);
        text = text.trimCharactersAtEnd("0");
        if (text.endsWithChar('.'))
            text << '0';

        const auto rounded = text.getDoubleValue();
        for (const auto candidate : {rounded, std::nextafter(rounded, 2.0), std::nextafter(rounded, -2.0)})
            if (juce::var(candidate).toString() == text)
                return candidate;
    }
    return value;
}

juce::var jsonNumber(float value)
{
    return jsonNumber(static_cast<double>(value));
}

juce::var pathText(const juce::File& file)
{
    return file.getFullPathName();
}

juce::var floatMap(const std::map<juce::String, float>& map)
{
    juce::DynamicObject::Ptr object(new juce::DynamicObject());
    for (const auto& [name, number] : map)
        object->setProperty(name, jsonNumber(number));
    return object.get();
}

void readFloatMap(const juce::var& value, std::map<juce::String, float>& map, double low, double high)
{
    map.clear();
    auto* object = value.getDynamicObject();
    if (object == nullptr)
        return;
    for (const auto& property : object->getProperties())
    {
        const auto number = static_cast<double>(property.value);
        if (!std::isnan(number)) // not a number: no entry, as if the member were missing
            map[property.name.toString()] = static_cast<float>(juce::jlimit(low, high, number));
    }
}
} // namespace

AppSettings& AppSettings::getInstance()
{
    static AppSettings instance(
        juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory).getChildFile("Tonquill"));
    return instance;
}

AppSettings::AppSettings(const juce::File& settingsFolder, ShortcutManager& shortcuts)
    : folder(settingsFolder), shortcutTable(shortcuts)
{
    load();
    if (sessionId.isEmpty())
    {
        sessionId = makeSessionId();
        if (fileMayBeReplaced)
            save();
    }
}

juce::String AppSettings::makeSessionId()
{
    // juce::Random keeps 48 bits of state, too few for an identifier that should be unique among all
    // installations; the system's entropy source is used when there is one.
    uint8_t bytes[16];
    try
    {
        std::random_device device;
        for (size_t i = 0; i < sizeof(bytes); i += 4)
        {
            const auto word = device();
            for (size_t b = 0; b < 4; ++b)
                bytes[i + b] = static_cast<uint8_t>(word >> (8 * b));
        }
    }
    catch (const std::exception&)
    {
        juce::Random random;
        for (auto& byte : bytes)
            byte = static_cast<uint8_t>(random.nextInt(256));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0f) | 0x40);
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3f) | 0x80);
    return juce::String::toHexString(bytes, 16, 0);
}

void AppSettings::load()
{
    folder.createDirectory();
    const auto file = getFile();
    if (!file.existsAsFile())
        return;

    juce::MemoryBlock bytes;
    if (!readWholeFile(file, bytes))
    {
        // Its content was never seen: replacing it could destroy the user's settings.
        fileMayBeReplaced = false;
        return;
    }

    const auto text = juce::String::createStringFromData(bytes.getData(), static_cast<int>(bytes.getSize()));
    const auto parsed = isSafeToParse(text) ? juce::JSON::parse(text) : juce::var();
    if (parsed.isVoid())
    {
        // Replaced by defaults below, but a hand edit gone wrong stays recoverable beside it.
        if (bytes.getSize() > 0 && !keepInvalidCopy(bytes))
            fileMayBeReplaced = false;
        return;
    }

    const auto* object = parsed.getDynamicObject(); // null when the value is not an object
    const auto has = [object](const char* key) { return object != nullptr && object->hasProperty(key); };
    const auto get = [object](const char* key)
    { return object != nullptr ? object->getProperty(key) : juce::var(); };
    const auto readBool = [&](const char* key, bool ifAbsent)
    { return has(key) ? static_cast<bool>(get(key)) : ifAbsent; };
    const auto readInt = [&](const char* key, int ifAbsent) { return has(key) ? toInt(get(key)) : ifAbsent; };
    const auto readClampedInt = [&](const char* key, int ifAbsent, int low, int high)
    { return juce::jlimit(low, high, readInt(key, ifAbsent)); };
    const auto readString = [&](const char* key) { return has(key) ? get(key).toString() : juce::String(); };
    const auto readDouble = [&](const char* key, double ifAbsent, double low, double high)
    { return has(key) ? toClampedDouble(get(key), low, high, ifAbsent) : ifAbsent; };
    const auto readFloat = [&](const char* key, double ifAbsent, double low, double high)
    { return static_cast<float>(readDouble(key, ifAbsent, low, high)); };
    const auto readDirectory = [&](const char* key, juce::File& member)
    {
        const auto path = readString(key);
        if (path.isNotEmpty())
            member = juce::File(path);
    };

    customScanPaths.clear();
    if (const auto* paths = get("customScanPaths").getArray())
        for (const auto& path : *paths)
        {
            const juce::File directory(path.toString());
            if (directory.isDirectory())
                customScanPaths.add(directory);
        }

    seenNewsIds.clear();
    if (const auto* ids = get("seenNewsIds").getArray())
        for (const auto& id : *ids)
            seenNewsIds.addIfNotAlreadyThere(id.toString());

    lastSeenWhatsNewVersion = readString("lastSeenWhatsNewVersion");
    showWhatsNewOnStartup = readBool("showWhatsNewOnStartup", true);
    readDirectory("defaultMidiDirectory", defaultMidiDirectory);
    sessionId = readString("sessionId");
    showQuickStartOnOpen = readBool("showQuickStartOnOpen", true);
    rightClickMode = readInt("rightClickMode", 0);
    uiScale = readClampedInt("uiScale", 100, 100, 200);
    uiScalePlugin = readInt("uiScalePlugin", -1);
    if (uiScalePlugin >= 0)
        uiScalePlugin = juce::jlimit(100, 200, uiScalePlugin);
    showSynthQuickStart = readBool("showSynthQuickStart", true);
    showModeOnboarding = readBool("showModeOnboarding", true);
    realisticPianoKeys = readBool("realisticPianoKeys", true);
    pointTimeRail = readBool("pointTimeRail", false);
    scanOverlayOnTop = readBool("scanOverlayOnTop", false);
    scanPanelSections = readInt("scanPanelSections", 1);
    jiRootSource = readInt("jiRootSource", 0);
    viewBeforeBarOne = readBool("viewBeforeBarOne", false);
    pitchBendRange = readClampedInt("pitchBendRange", 48, 1, 96);
    recordOffsetMs = readClampedInt("recordOffsetMs", 0, -150, 150);
    followOffset = readDouble("followOffset", 0.0, 0.0, 4.0);
    trackpadScrollSpeed = readFloat("trackpadScrollSpeed", 3.0, 1.0, 5.0);
    autoExpandTimeline = readBool("autoExpandTimeline", false);
    hideGhostsDuringPlayback = readBool("hideGhostsDuringPlayback", false);
    mpeHighSampleRecording = readBool("mpeHighSampleRecording", false);
    recordSimplifyMode = readClampedInt("recordSimplifyMode", 0, 0, 2);
    recordSimplifyStrength = readFloat("recordSimplifyStrength", 1.0, 0.0, 1.0);
    recordSimplifyStrengthExpr = readFloat("recordSimplifyStrengthExpr", 0.75, 0.0, 1.0);
    recordCaptureLFOs = readBool("recordCaptureLFOs", true);
    midiInputsChosen = readBool("midiInputsChosen", false);
    preserveFineTuning = readBool("preserveFineTuning", false);
    voicePolishPass = readBool("voicePolishPass", true);
    const auto recordDefaultsV2 = readBool("recordDefaultsV2", false);
    mixerPanelOpen = readBool("mixerPanelOpen", true);
    synthOpensDetached = readBool("synthOpensDetached", true);
    mixerPanelX = readInt("mixerPanelX", -1);
    mixerPanelY = readInt("mixerPanelY", -1);
    keyAnalysisBars = readInt("keyAnalysisBars", 4);
    if (keyAnalysisBars != 1 && keyAnalysisBars != 4 && keyAnalysisBars != 8 && keyAnalysisBars != 16 &&
        keyAnalysisBars != 32)
        keyAnalysisBars = 4;
    cameraFollowSmoothing = readFloat("cameraFollowSmoothing", 0.5, 0.0, 1.0);
    cameraRightClickFollow = readBool("cameraRightClickFollow", true);
    cameraShakeAmount = readFloat("cameraShakeAmount", 0.0, 0.0, 1.0);
    brushSimplify = readFloat("brushSimplify", 0.3, 0.05, 1.0);
    recordCountIn = readBool("recordCountIn", true);
    brushSnapStart = readBool("brushSnapStart", true);
    pianoKeyUserWidth = readInt("pianoKeyUserWidth", 0);
    synthSpaceLock = readBool("synthSpaceLock", false);
    gridOpacity = readFloat("gridOpacity", 0.65, 0.0, 1.0);
    readFloatMap(get("themeGridOpacity"), themeGridOpacity, 0.0, 1.0);
    readFloatMap(get("themeGridTone"), themeGridTone, -1.0, 1.0);
    pluginHostingMode = readClampedInt("pluginHostingMode", 0, 0, 2);
    quickBarCollapsed = readBool("quickBarCollapsed", false);
    keyboardLayout = readClampedInt("keyboardLayout", 0, 0, 2);
    useSoftwareRenderer = readBool("useSoftwareRenderer", false);
    settingsSchemaVersion = readInt("settingsSchemaVersion", 0);
    detachedSynthOnTop = readBool("detachedSynthOnTop", true);
    usageTelemetryEnabled = readBool("usageTelemetryEnabled", false);
    readDirectory("lastBrowseDirectory", lastBrowseDirectory);

    if (!recordDefaultsV2)
    {
        recordSimplifyMode = 0;
        recordSimplifyStrength = 1.0f;
        recordSimplifyStrengthExpr = 0.75f;
    }
    if (settingsSchemaVersion <= 0)
    {
        useSoftwareRenderer = false;
        settingsSchemaVersion = 1;
    }

    shortcutTable.readShortcuts(get("shortcuts"));
    shortcutTable.readModifiers(get("modifiers"));
}

juce::String AppSettings::toJson() const
{
    juce::DynamicObject::Ptr root(new juce::DynamicObject());
    const auto set = [&root](const char* key, const juce::var& value) { root->setProperty(key, value); };

    juce::Array<juce::var> paths;
    for (const auto& path : customScanPaths)
        paths.add(pathText(path));
    set("customScanPaths", paths);
    juce::Array<juce::var> ids;
    for (const auto& id : seenNewsIds)
        ids.add(id);
    set("seenNewsIds", ids);
    set("lastSeenWhatsNewVersion", lastSeenWhatsNewVersion);
    set("showWhatsNewOnStartup", showWhatsNewOnStartup);
    if (defaultMidiDirectory != juce::File())
        set("defaultMidiDirectory", pathText(defaultMidiDirectory));
    if (sessionId.isNotEmpty())
        set("sessionId", sessionId);
    set("showQuickStartOnOpen", showQuickStartOnOpen);
    set("rightClickMode", rightClickMode);
    set("uiScale", uiScale);
    set("uiScalePlugin", uiScalePlugin);
    set("showSynthQuickStart", showSynthQuickStart);
    set("showModeOnboarding", showModeOnboarding);
    set("realisticPianoKeys", realisticPianoKeys);
    set("pointTimeRail", pointTimeRail);
    set("scanOverlayOnTop", scanOverlayOnTop);
    set("scanPanelSections", scanPanelSections);
    set("jiRootSource", jiRootSource);
    set("viewBeforeBarOne", viewBeforeBarOne);
    set("pitchBendRange", pitchBendRange);
    set("recordOffsetMs", recordOffsetMs);
    set("followOffset", jsonNumber(followOffset));
    set("trackpadScrollSpeed", jsonNumber(trackpadScrollSpeed));
    set("autoExpandTimeline", autoExpandTimeline);
    set("hideGhostsDuringPlayback", hideGhostsDuringPlayback);
    set("mpeHighSampleRecording", mpeHighSampleRecording);
    set("recordSimplifyMode", recordSimplifyMode);
    set("recordSimplifyStrength", jsonNumber(recordSimplifyStrength));
    set("recordSimplifyStrengthExpr", jsonNumber(recordSimplifyStrengthExpr));
    set("recordCaptureLFOs", recordCaptureLFOs);
    set("midiInputsChosen", midiInputsChosen);
    set("preserveFineTuning", preserveFineTuning);
    set("voicePolishPass", voicePolishPass);
    set("recordDefaultsV2", true);
    set("mixerPanelOpen", mixerPanelOpen);
    set("synthOpensDetached", synthOpensDetached);
    set("mixerPanelX", mixerPanelX);
    set("mixerPanelY", mixerPanelY);
    set("keyAnalysisBars", keyAnalysisBars);
    set("cameraFollowSmoothing", jsonNumber(cameraFollowSmoothing));
    set("cameraRightClickFollow", cameraRightClickFollow);
    set("cameraShakeAmount", jsonNumber(cameraShakeAmount));
    set("brushSimplify", jsonNumber(brushSimplify));
    set("recordCountIn", recordCountIn);
    set("brushSnapStart", brushSnapStart);
    set("pianoKeyUserWidth", pianoKeyUserWidth);
    set("synthSpaceLock", synthSpaceLock);
    set("gridOpacity", jsonNumber(gridOpacity));
    set("themeGridOpacity", floatMap(themeGridOpacity));
    set("themeGridTone", floatMap(themeGridTone));
    set("pluginHostingMode", pluginHostingMode);
    set("quickBarCollapsed", quickBarCollapsed);
    set("keyboardLayout", keyboardLayout);
    set("useSoftwareRenderer", useSoftwareRenderer);
    set("settingsSchemaVersion", settingsSchemaVersion);
    set("detachedSynthOnTop", detachedSynthOnTop);
    set("usageTelemetryEnabled", usageTelemetryEnabled);
    if (lastBrowseDirectory != juce::File())
        set("lastBrowseDirectory", pathText(lastBrowseDirectory));

    const auto shortcuts = shortcutTable.writeShortcuts();
    if (!shortcuts->getProperties().isEmpty())
        set("shortcuts", shortcuts.get());
    const auto modifiers = shortcutTable.writeModifiers();
    if (!modifiers->getProperties().isEmpty())
        set("modifiers", modifiers.get());

    juce::MemoryOutputStream stream;
    juce::JSON::writeToStream(stream, root.get(), true, 15);
    return stream.toUTF8();
}

void AppSettings::save() const
{
    const auto text = toJson();
    folder.createDirectory();
    replaceFile(getFile(), text.toRawUTF8(), text.getNumBytesAsUTF8());
}

bool AppSettings::keepInvalidCopy(const juce::MemoryBlock& bytes) const
{
    return replaceFile(folder.getChildFile("settings.json.invalid"), bytes.getData(), bytes.getSize());
}
