// The other products of the family read what we write: the bytes are compared, not a re-parse.
// Set TONQUILL_UPDATE_GOLDEN=1 to rewrite the golden files from the current output (then review them).

#include "settings/AppSettings.h"
#include "tests/settings/SettingsFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

using namespace SettingsFiles;

namespace
{
const juce::String folderMark = "@FOLDER@";

juce::File golden(const char* name)
{
    return juce::File(TONQUILL_SOURCE_DIR).getChildFile("tests/settings/golden").getChildFile(name);
}

void expectGolden(const char* name, const std::string& actual)
{
    if (std::getenv("TONQUILL_UPDATE_GOLDEN") != nullptr)
        golden(name).replaceWithData(actual.data(), actual.size());
    EXPECT_EQ(actual, readBytes(golden(name))) << "golden file " << name;
}
} // namespace

TEST(GoldenFileTest, AFirstRunWritesTheseBytes)
{
    const auto folder = freshFolder();
    ShortcutManager table;
    AppSettings settings(folder, table);

    auto written = readBytes(settings.getFile());
    const std::string idMember = "\"sessionId\": \"" + settings.sessionId.toStdString() + "\"";
    const auto at = written.find(idMember);
    ASSERT_NE(at, std::string::npos);
    EXPECT_TRUE(isSessionId(settings.sessionId));
    written.replace(at, idMember.size(), "\"sessionId\": \"" + std::string(32, '0') + "\"");
    expectGolden("first-run.json", written);
}

TEST(GoldenFileTest, AFileWithEveryKeyIsWrittenBackNormalised)
{
    const auto folder = freshFolder();
    for (const auto* name : {"scan A", "scan-b", "scan \xc3\xa9"})
        ASSERT_TRUE(folder.getChildFile(juce::String::fromUTF8(name)).createDirectory());

    const auto input =
        golden("every-key-input.json").loadFileAsString().replace(folderMark, folder.getFullPathName());
    writeSettings(folder, input);

    ShortcutManager table;
    AppSettings settings(folder, table);
    EXPECT_EQ(readBytes(settings.getFile()), input.toStdString()); // it held a sessionId: not written

    settings.save();
    const auto written = readBytes(settings.getFile());
    expectGolden("every-key.json", juce::String::fromUTF8(written.data(), static_cast<int>(written.size()))
                                       .replace(folder.getFullPathName(), folderMark)
                                       .toStdString());

    // What we wrote reads back to the same values: a second round gives the same bytes.
    ShortcutManager secondTable;
    AppSettings reread(folder, secondTable);
    EXPECT_EQ(reread.toJson().toStdString(), written);
}

TEST(GoldenFileTest, NumbersCarryAtMostFifteenDecimalsAndKeepTheirValue)
{
    const float floats[] = {0.65f,       0.1f,    0.3f,    0.7f,    0.123456789f,
                            0.99999994f, 1.0e-5f, 2.0e-5f, 1.0e-7f, 0.05f};
    const double doubles[] = {0.1, 0.2, 1.0 / 3.0, 0.7, 2.0 / 3.0, 3.999999999999999, 1.0e-6, 0.0};
    const auto folder = freshFolder();
    ShortcutManager table;
    AppSettings settings(folder, table);

    const std::regex number(R"([-+]?\d+(\.(\d+))?(e[-+]?\d+)?)");
    for (const auto f : floats)
        for (const auto d : doubles)
        {
            settings.gridOpacity = f;
            settings.followOffset = d;
            const auto text = settings.toJson();
            for (const auto* key : {"gridOpacity", "followOffset"})
            {
                const auto from =
                    text.indexOf(juce::String("\"") + key + "\": ") + juce::String(key).length() + 4;
                const auto token =
                    text.substring(from).upToFirstOccurrenceOf(",", false, false).toStdString();
                std::smatch parts;
                ASSERT_TRUE(std::regex_match(token, parts, number)) << token;
                EXPECT_LE(parts[2].length(), 15) << token;
            }
            const auto parsed = juce::JSON::parse(text);
            EXPECT_EQ(static_cast<float>(static_cast<double>(parsed["gridOpacity"])), f) << text;
            EXPECT_NEAR(static_cast<double>(parsed["followOffset"]), d, 1.0e-15) << text;
        }
}
