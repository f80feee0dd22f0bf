#include "settings/AppSettings.h"
#include "tests/settings/SettingsFiles.h"

#include <gtest/gtest.h>

using namespace SettingsFiles;

namespace
{
struct NumberCase
{
    const char* json;
    double (*member)(const AppSettings&);
    double expected; // float members are given as float literals: compared exactly
};

#define MEMBER(name) [](const AppSettings& s) { return static_cast<double>(s.name); }

// recordDefaultsV2 and a schema version keep the migrations out of cases that are not about them.
juce::String withMarkers(const juce::String& members)
{
    return "{\"recordDefaultsV2\": true, \"settingsSchemaVersion\": 1, " + members + "}";
}

std::unique_ptr<AppSettings> loadFrom(const juce::File& folder, ShortcutManager& table)
{
    return std::make_unique<AppSettings>(folder, table);
}
} // namespace

TEST(AppSettingsTest, EveryNumberIsNormalisedOnLoad)
{
    const NumberCase cases[] = {
        {R"("uiScale": 250)", MEMBER(uiScale), 200},
        {R"("uiScale": 50)", MEMBER(uiScale), 100},
        {R"("uiScale": 137)", MEMBER(uiScale), 137},
        {R"("uiScale": null)", MEMBER(uiScale), 100},
        {R"("uiScale": "150")", MEMBER(uiScale), 150},
        {R"("uiScale": 1e300)", MEMBER(uiScale), 200},
        {R"("uiScale": -1e300)", MEMBER(uiScale), 100},
        {R"("uiScale": 4294967396)", MEMBER(uiScale), 200}, // would wrap to 100 as a plain cast
        {R"("uiScalePlugin": -5)", MEMBER(uiScalePlugin), -5},
        {R"("uiScalePlugin": 0)", MEMBER(uiScalePlugin), 100},
        {R"("uiScalePlugin": 20)", MEMBER(uiScalePlugin), 100},
        {R"("uiScalePlugin": 300)", MEMBER(uiScalePlugin), 200},
        {R"("pitchBendRange": 0)", MEMBER(pitchBendRange), 1},
        {R"("pitchBendRange": 200)", MEMBER(pitchBendRange), 96},
        {R"("pitchBendRange": 12.9)", MEMBER(pitchBendRange), 12},
        {R"("recordOffsetMs": -400)", MEMBER(recordOffsetMs), -150},
        {R"("recordOffsetMs": 151)", MEMBER(recordOffsetMs), 150},
        {R"("recordSimplifyMode": 3)", MEMBER(recordSimplifyMode), 2},
        {R"("recordSimplifyMode": -1)", MEMBER(recordSimplifyMode), 0},
        {R"("pluginHostingMode": 9)", MEMBER(pluginHostingMode), 2},
        {R"("keyboardLayout": -2)", MEMBER(keyboardLayout), 0},
        {R"("keyboardLayout": true)", MEMBER(keyboardLayout), 1},
        {R"("mixerPanelX": -2147483649)", MEMBER(mixerPanelX), -2147483648.0},
        {R"("followOffset": -0.5)", MEMBER(followOffset), 0.0},
        {R"("followOffset": 4.5)", MEMBER(followOffset), 4.0},
        {R"("followOffset": 2.125)", MEMBER(followOffset), 2.125},
        {R"("followOffset": "inf")", MEMBER(followOffset), 4.0},
        {R"("trackpadScrollSpeed": 0.5)", MEMBER(trackpadScrollSpeed), 1.0f},
        {R"("trackpadScrollSpeed": 7)", MEMBER(trackpadScrollSpeed), 5.0f},
        {R"("trackpadScrollSpeed": null)", MEMBER(trackpadScrollSpeed), 1.0f},
        {R"("recordSimplifyStrength": 1.5)", MEMBER(recordSimplifyStrength), 1.0f},
        {R"("recordSimplifyStrengthExpr": -0.5)", MEMBER(recordSimplifyStrengthExpr), 0.0f},
        {R"("recordSimplifyStrengthExpr": 0.2)", MEMBER(recordSimplifyStrengthExpr), 0.2f},
        {R"("cameraFollowSmoothing": 2)", MEMBER(cameraFollowSmoothing), 1.0f},
        {R"("cameraShakeAmount": -1)", MEMBER(cameraShakeAmount), 0.0f},
        {R"("brushSimplify": 0.01)", MEMBER(brushSimplify), 0.05f},
        {R"("brushSimplify": 1.01)", MEMBER(brushSimplify), 1.0f},
        {R"("gridOpacity": "0.25")", MEMBER(gridOpacity), 0.25f},
        {R"("gridOpacity": 1e-300)", MEMBER(gridOpacity), 0.0f},
        {R"("gridOpacity": "nan")", MEMBER(gridOpacity), 0.65f}, // not a number: as if absent
        {R"("keyAnalysisBars": 1)", MEMBER(keyAnalysisBars), 1},
        {R"("keyAnalysisBars": 8)", MEMBER(keyAnalysisBars), 8},
        {R"("keyAnalysisBars": 16)", MEMBER(keyAnalysisBars), 16},
        {R"("keyAnalysisBars": 32)", MEMBER(keyAnalysisBars), 32},
        {R"("keyAnalysisBars": 2)", MEMBER(keyAnalysisBars), 4},
        {R"("keyAnalysisBars": 0)", MEMBER(keyAnalysisBars), 4},
        {R"("keyAnalysisBars": -1)", MEMBER(keyAnalysisBars), 4},
        {R"("keyAnalysisBars": 64)", MEMBER(keyAnalysisBars), 4},
        {R"("keyAnalysisBars": 33)", MEMBER(keyAnalysisBars), 4},
        // JSON null is present, not absent: it converts to false, 0 or "".
        {R"("showQuickStartOnOpen": null)", MEMBER(showQuickStartOnOpen), 0},
        {R"("mixerPanelY": null)", MEMBER(mixerPanelY), 0},
        {R"("scanPanelSections": "3 panels")", MEMBER(scanPanelSections), 3},
        {R"("showWhatsNewOnStartup": "true")", MEMBER(showWhatsNewOnStartup), 1},
        {R"("showWhatsNewOnStartup": 0)", MEMBER(showWhatsNewOnStartup), 0},
        {R"("voicePolishPass": "no")", MEMBER(voicePolishPass), 0},
        {R"("pointTimeRail": {})", MEMBER(pointTimeRail), 1},
    };
    int index = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.json);
        const auto folder = freshFolder(juce::String(index++));
        writeSettings(folder, withMarkers(c.json));
        ShortcutManager table;
        const auto settings = loadFrom(folder, table);
        EXPECT_EQ(c.member(*settings), c.expected);
    }
}

TEST(AppSettingsTest, AbsentKeysTakeTheirIfAbsentValues)
{
    // "{}" and a JSON value that is not an object are read alike; both migrations run.
    for (const auto* text : {"{}", "[1, 2, {\"uiScale\": 150}]"})
    {
        SCOPED_TRACE(text);
        const auto folder = freshFolder(text[0] == '{' ? "object" : "array");
        writeSettings(folder, text);
        ShortcutManager table;
        const auto settings = loadFrom(folder, table);
        EXPECT_EQ(settings->trackpadScrollSpeed, 3.0f);
        EXPECT_EQ(settings->settingsSchemaVersion, 1);
        EXPECT_FALSE(settings->useSoftwareRenderer);
        EXPECT_EQ(settings->uiScale, 100);
        EXPECT_EQ(settings->uiScalePlugin, -1);
        EXPECT_EQ(settings->mixerPanelX, -1);
        EXPECT_TRUE(settings->showQuickStartOnOpen);
        EXPECT_TRUE(settings->recordCaptureLFOs);
        EXPECT_EQ(settings->gridOpacity, 0.65f);
        EXPECT_TRUE(isSessionId(settings->sessionId));
        EXPECT_TRUE(readBytes(settings->getFile()).find(settings->sessionId.toStdString()) !=
                    std::string::npos);
    }
}

TEST(AppSettingsTest, NoFileAndUnparsableFilesGiveTheNoFileValues)
{
    for (const auto* text : {"", "   \n", "{\"uiScale\": 150", "not json", "7", "{\"a\": [1,}"})
    {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        const auto folder = freshFolder(juce::String::toHexString(juce::String(text).hashCode()));
        if (*text != 0)
            writeSettings(folder, text);
        ShortcutManager table;
        const auto settings = loadFrom(folder, table);
        EXPECT_EQ(settings->trackpadScrollSpeed, 4.0f);
        EXPECT_EQ(settings->settingsSchemaVersion, 0);
        EXPECT_EQ(settings->uiScale, 100);
        EXPECT_TRUE(isSessionId(settings->sessionId));

        // The file is replaced with those values and the new sessionId.
        const auto written = juce::JSON::parse(settings->getFile());
        EXPECT_EQ(written["sessionId"].toString(), settings->sessionId);
        EXPECT_EQ(static_cast<int>(written["settingsSchemaVersion"]), 0);
        EXPECT_EQ(static_cast<double>(written["trackpadScrollSpeed"]), 4.0);
    }
}

TEST(AppSettingsTest, BothMigrationsRunOnlyForOldFiles)
{
    struct Case
    {
        const char* json;
        int mode;
        float strength, expr;
        bool software;
        int schema;
    };
    const Case cases[] = {
        // No marker: the recording settings go back to their defaults whatever the file says.
        {R"({"recordSimplifyMode": 2, "recordSimplifyStrength": 0.2, "recordSimplifyStrengthExpr": 0.1})", 0,
         1.0f, 0.75f, false, 1},
        {R"({"recordDefaultsV2": false, "recordSimplifyMode": 2, "recordSimplifyStrength": 0.2})", 0, 1.0f,
         0.75f, false, 1},
        {R"({"recordDefaultsV2": "off", "recordSimplifyMode": 1})", 0, 1.0f, 0.75f, false, 1},
        {R"({"recordDefaultsV2": true, "recordSimplifyMode": 2, "recordSimplifyStrength": 0.2,
             "recordSimplifyStrengthExpr": 0.1})",
         2, 0.2f, 0.1f, false, 1},
        // Schema 0 or below, or none: software rendering is switched off once.
        {R"({"settingsSchemaVersion": 1, "useSoftwareRenderer": true})", 0, 1.0f, 0.75f, true, 1},
        {R"({"settingsSchemaVersion": 4, "useSoftwareRenderer": true})", 0, 1.0f, 0.75f, true, 4},
        {R"({"settingsSchemaVersion": 0, "useSoftwareRenderer": true})", 0, 1.0f, 0.75f, false, 1},
        {R"({"settingsSchemaVersion": -3, "useSoftwareRenderer": true})", 0, 1.0f, 0.75f, false, 1},
        {R"({"useSoftwareRenderer": true})", 0, 1.0f, 0.75f, false, 1},
    };
    int index = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.json);
        const auto folder = freshFolder(juce::String(index++));
        writeSettings(folder, c.json);
        ShortcutManager table;
        const auto s = loadFrom(folder, table);
        EXPECT_EQ(s->recordSimplifyMode, c.mode);
        EXPECT_EQ(s->recordSimplifyStrength, c.strength);
        EXPECT_EQ(s->recordSimplifyStrengthExpr, c.expr);
        EXPECT_EQ(s->useSoftwareRenderer, c.software);
        EXPECT_EQ(s->settingsSchemaVersion, c.schema);
    }
}

TEST(AppSettingsTest, ListsKeepOnlyExistingFoldersAndFirstOccurrences)
{
    const auto folder = freshFolder();
    const auto scanA = folder.getChildFile("scan A");
    const auto scanB = folder.getChildFile("scanB");
    ASSERT_TRUE(scanA.createDirectory());
    ASSERT_TRUE(scanB.createDirectory());
    const auto vanished = folder.getChildFile("vanished").getFullPathName();
    const auto aFile = folder.getChildFile("settings.json").getFullPathName(); // a file, not a folder

    auto* root = new juce::DynamicObject();
    root->setProperty("customScanPaths",
                      juce::Array<juce::var>{scanB.getFullPathName(), vanished, scanA.getFullPathName(), "",
                                             aFile, scanB.getFullPathName(), 5});
    root->setProperty("seenNewsIds", juce::Array<juce::var>{"a", "a", "A", 7, "7", juce::var()});
    writeSettings(folder, juce::JSON::toString(juce::var(root)));

    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    ASSERT_EQ(s->customScanPaths.size(), 3);
    EXPECT_EQ(s->customScanPaths[0], scanB);
    EXPECT_EQ(s->customScanPaths[1], scanA);
    EXPECT_EQ(s->customScanPaths[2], scanB);
    EXPECT_EQ(s->seenNewsIds, juce::StringArray({"a", "A", "7", ""}));

    // The vanished folder is gone from the file as well.
    EXPECT_EQ(readBytes(s->getFile()).find("vanished"), std::string::npos);
}

TEST(AppSettingsTest, ListsAndMapsOfTheWrongTypeStayEmpty)
{
    const auto folder = freshFolder();
    writeSettings(folder, R"({"customScanPaths": "/", "seenNewsIds": {"a": 1}, "themeGridOpacity": [0.5],
                              "themeGridTone": "A"})");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_TRUE(s->customScanPaths.isEmpty());
    EXPECT_TRUE(s->seenNewsIds.isEmpty());
    EXPECT_TRUE(s->themeGridOpacity.empty());
    EXPECT_TRUE(s->themeGridTone.empty());
}

TEST(AppSettingsTest, ThemeMapsAreClampedAndOrderedByCodePoint)
{
    const auto folder = freshFolder();
    writeSettings(folder, R"({"themeGridOpacity": {"b": 2, "a": -1, "B": 0.5, "\u00e9": "0.25", "n": "nan"},
                              "themeGridTone": {"A": -3, "Z": 3, "m": -0.5}})");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);

    const std::vector<std::pair<juce::String, float>> opacity(s->themeGridOpacity.begin(),
                                                              s->themeGridOpacity.end());
    const std::vector<std::pair<juce::String, float>> expectedOpacity{
        {"B", 0.5f}, {"a", 0.0f}, {"b", 1.0f}, {juce::String::charToString(0xe9), 0.25f}};
    EXPECT_EQ(opacity, expectedOpacity); // "n" held no number and is left out

    const std::vector<std::pair<juce::String, float>> tone(s->themeGridTone.begin(), s->themeGridTone.end());
    const std::vector<std::pair<juce::String, float>> expectedTone{{"A", -1.0f}, {"Z", 1.0f}, {"m", -0.5f}};
    EXPECT_EQ(tone, expectedTone);

    EXPECT_NE(readBytes(s->getFile()).find(R"("themeGridTone": {"A": -1.0, "Z": 1.0, "m": -0.5})"),
              std::string::npos);
}

TEST(AppSettingsTest, TextsAndFoldersAreTakenAsTheyAre)
{
    const auto folder = freshFolder();
    writeSettings(folder, R"({"lastSeenWhatsNewVersion": 2.5, "defaultMidiDirectory": "/no/such/dir",
                              "lastBrowseDirectory": "", "sessionId": 12})");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_EQ(s->lastSeenWhatsNewVersion, "2.5");
    EXPECT_EQ(s->defaultMidiDirectory, juce::File("/no/such/dir")); // no existence check
    EXPECT_EQ(s->lastBrowseDirectory, juce::File());                // empty text: not set
    EXPECT_EQ(s->sessionId, "12");
}

TEST(AppSettingsTest, KeysOfOtherNamesAreDroppedOnTheNextWrite)
{
    const auto folder = freshFolder();
    writeSettings(folder, R"({"uiScale": 150, "someoneElsesKey": {"x": 1}, "UISCALE": 3})");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_EQ(s->uiScale, 150);
    const auto written = readBytes(s->getFile());
    EXPECT_NE(written.find("\"uiScale\": 150"), std::string::npos);
    EXPECT_EQ(written.find("someoneElsesKey"), std::string::npos);
    EXPECT_EQ(written.find("UISCALE"), std::string::npos);
}

TEST(AppSettingsTest, ShortcutsAndModifiersInTheFileReachTheTable)
{
    const auto folder = freshFolder();
    writeSettings(folder,
                  R"({"shortcuts": {"toolCut": {"key": "X"}}, "modifiers": {"highlightSelect": "alt"}})");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_EQ(table.bindings.at(ShortcutAction::toolCut).key, 'x');
    EXPECT_EQ(table.modifierBindings.at(ModifierAction::highlightSelect).modifier, 1);
    const auto written = readBytes(s->getFile());
    EXPECT_NE(
        written.find(R"("shortcuts": {"toolCut": {"key": "x"}}, "modifiers": {"highlightSelect": "alt"}})"),
        std::string::npos);
}

TEST(AppSettingsTest, SessionIdsAreRandomVersion4Uuids)
{
    juce::StringArray ids;
    for (int i = 0; i < 64; ++i)
    {
        const auto id = AppSettings::makeSessionId();
        EXPECT_TRUE(isSessionId(id)) << id;
        ids.addIfNotAlreadyThere(id);
    }
    EXPECT_EQ(ids.size(), 64);
}

TEST(AppSettingsTest, AFileWithASessionIdIsNeverWritten)
{
    const auto folder = freshFolder();
    const juce::String text = "{\n  \"sessionId\": \"abc\",\n  \"uiScale\": 999, \"other\": 1\n}\n";
    writeSettings(folder, text);
    const auto before = folder.getChildFile("settings.json").getLastModificationTime();

    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_EQ(s->sessionId, "abc");
    EXPECT_EQ(s->uiScale, 200);
    EXPECT_EQ(readBytes(s->getFile()), text.toStdString());
    EXPECT_EQ(s->getFile().getLastModificationTime(), before);
    EXPECT_EQ(listFolder(folder), juce::StringArray("settings.json"));
}

TEST(AppSettingsTest, AnEmptySessionIdIsReplacedAndWritten)
{
    const auto folder = freshFolder();
    writeSettings(folder, R"({"sessionId": "", "uiScale": 120})");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_TRUE(isSessionId(s->sessionId));
    const auto written = juce::JSON::parse(s->getFile());
    EXPECT_EQ(written["sessionId"].toString(), s->sessionId);
    EXPECT_EQ(static_cast<int>(written["uiScale"]), 120);
}

TEST(AppSettingsTest, AMissingFolderIsCreatedWithItsParents)
{
    const auto folder = freshFolder().getChildFile("deeper/Tonquill");
    ShortcutManager table;
    const auto s = loadFrom(folder, table);
    EXPECT_TRUE(folder.isDirectory());
    EXPECT_EQ(juce::JSON::parse(s->getFile())["sessionId"].toString(), s->sessionId);
}

TEST(AppSettingsTest, TheProcessStoreLivesInTheUsersApplicationDataFolder)
{
    // The test program's HOME is private to the run, so this is never the real user's file.
    const auto expected =
        juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory).getChildFile("Tonquill");
    ASSERT_TRUE(expected.getFullPathName().startsWith(juce::String(TestEnvironment::folder())));

    auto& settings = AppSettings::getInstance();
    EXPECT_EQ(&settings, &AppSettings::getInstance());
    EXPECT_EQ(settings.getFolder(), expected);
    EXPECT_TRUE(isSessionId(settings.sessionId));
    EXPECT_EQ(juce::JSON::parse(expected.getChildFile("settings.json"))["sessionId"].toString(),
              settings.sessionId);
}
