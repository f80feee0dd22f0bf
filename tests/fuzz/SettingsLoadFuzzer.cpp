// Any bytes as settings.json: loading never crashes, every value ends up within its normalised
// range, a file that could not be parsed is kept beside the one that replaces it, and what the store
// writes is one line of JSON that reads back to the same settings.

#include "settings/AppSettings.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
juce::File folder;

void require(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "settings invariant violated: %s\n", what);
        std::abort();
    }
}

bool within(double value, double low, double high)
{
    return value >= low && value <= high; // false for NaN
}

std::string readBytes(const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData(block);
    return {static_cast<const char*>(block.getData()), block.getSize()};
}

void writeBytes(const juce::File& file, const uint8_t* data, size_t size)
{
    // File::replaceWithData deletes the file for zero bytes; an empty file is a case of its own.
    auto* out = std::fopen(file.getFullPathName().toRawUTF8(), "wb");
    require(out != nullptr, "the fuzzer can write its input");
    if (size > 0)
        std::fwrite(data, 1, size, out);
    std::fclose(out);
}

void checkRanges(const AppSettings& s, const ShortcutManager& table)
{
    require(within(s.uiScale, 100, 200), "uiScale");
    require(s.uiScalePlugin < 0 || within(s.uiScalePlugin, 100, 200), "uiScalePlugin");
    require(within(s.pitchBendRange, 1, 96), "pitchBendRange");
    require(within(s.recordOffsetMs, -150, 150), "recordOffsetMs");
    require(within(s.followOffset, 0.0, 4.0), "followOffset");
    require(within(s.trackpadScrollSpeed, 1.0, 5.0), "trackpadScrollSpeed");
    require(within(s.recordSimplifyMode, 0, 2), "recordSimplifyMode");
    require(within(s.recordSimplifyStrength, 0.0, 1.0), "recordSimplifyStrength");
    require(within(s.recordSimplifyStrengthExpr, 0.0, 1.0), "recordSimplifyStrengthExpr");
    const auto bars = s.keyAnalysisBars;
    require(bars == 1 || bars == 4 || bars == 8 || bars == 16 || bars == 32, "keyAnalysisBars");
    require(within(s.cameraFollowSmoothing, 0.0, 1.0), "cameraFollowSmoothing");
    require(within(s.cameraShakeAmount, 0.0, 1.0), "cameraShakeAmount");
    require(within(s.brushSimplify, 0.05f, 1.0), "brushSimplify");
    require(within(s.gridOpacity, 0.0, 1.0), "gridOpacity");
    for (const auto& entry : s.themeGridOpacity)
        require(within(entry.second, 0.0, 1.0), "themeGridOpacity");
    for (const auto& entry : s.themeGridTone)
        require(within(entry.second, -1.0, 1.0), "themeGridTone");
    require(within(s.pluginHostingMode, 0, 2), "pluginHostingMode");
    require(within(s.keyboardLayout, 0, 2), "keyboardLayout");
    require(s.settingsSchemaVersion >= 0, "settingsSchemaVersion");
    require(s.settingsSchemaVersion > 0 || !s.useSoftwareRenderer, "useSoftwareRenderer migrated");
    require(s.sessionId.isNotEmpty(), "sessionId");
    for (const auto& path : s.customScanPaths)
        require(path.isDirectory(), "customScanPaths are folders");
    for (int i = 0; i < s.seenNewsIds.size(); ++i)
        require(s.seenNewsIds.indexOf(s.seenNewsIds[i]) == i, "seenNewsIds without repeats");

    for (const auto& [action, binding] : table.bindings)
    {
        require(binding.action == action, "binding action");
        require(!(binding.key >= 'A' && binding.key <= 'Z'), "keys are lower case");
        require(!(binding.alt >= 'A' && binding.alt <= 'Z'), "alternative keys are lower case");
    }
    for (const auto& [action, binding] : table.modifierBindings)
        require(within(binding.modifier, 0, 3), "modifier");
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    folder =
        juce::File::getSpecialLocation(juce::File::tempDirectory)
            .getNonexistentChildFile("settings_fuzz_" + juce::String(juce::Time::currentTimeMillis()), "");
    std::atexit([] { folder.deleteRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    folder.deleteRecursively();
    folder.createDirectory();
    const auto file = folder.getChildFile("settings.json");
    writeBytes(file, data, size);
    const std::string input(reinterpret_cast<const char*>(data), size);

    ShortcutManager table;
    AppSettings settings(folder, table);
    checkRanges(settings, table);

    const auto onDisk = readBytes(file);
    if (onDisk == input)
        return 0; // it held a sessionId and was left alone

    // Nothing parsed: no-file values, and the user's bytes kept unless there were none.
    if (settings.settingsSchemaVersion == 0 && size > 0)
        require(readBytes(folder.getChildFile("settings.json.invalid")) == input, "invalid file kept");

    require(onDisk == settings.toJson().toStdString(), "written text");
    require(onDisk.find_first_of("\r\n") == std::string::npos, "one line");
    require(juce::JSON::parse(juce::String::fromUTF8(onDisk.data(), static_cast<int>(onDisk.size())))
                    .getDynamicObject() != nullptr,
            "written text is a JSON object");

    // Reading what was written gives the same settings (and, with a sessionId now, writes nothing).
    // The one change: a file written from the no-file values carries schema 0, which loads as 1.
    ShortcutManager secondTable;
    AppSettings reread(folder, secondTable);
    if (settings.settingsSchemaVersion == 0)
        settings.settingsSchemaVersion = 1;
    require(reread.toJson() == settings.toJson(), "written file reads back the same");
    require(readBytes(file) == onDisk, "a file with a sessionId is not written");
    return 0;
}
