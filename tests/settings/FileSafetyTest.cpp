// The settings file is the user's, shared with other programs: whatever goes wrong, its content
// must not be lost.

#include "settings/AppSettings.h"
#include "tests/settings/SettingsFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace SettingsFiles;

namespace
{
/** Whether reading `file` fails, by opening or by reading. */
bool cannotBeRead(const juce::File& file)
{
    const int fd = ::open(file.getFullPathName().toRawUTF8(), O_RDONLY);
    if (fd < 0)
        return true;
    char byte;
    const auto result = ::read(fd, &byte, 1);
    ::close(fd);
    return result < 0;
}

/** Limits the size of files this process writes, for the lifetime of the object. */
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }

private:
    rlimit saved{};
    void (*previousHandler)(int) = nullptr;
};
} // namespace

TEST(FileSafetyTest, AFileThatCannotBeReadIsNeverReplaced)
{
    // Root reads files whatever their mode, so some of these work only for other users; the /proc
    // files refuse root too: one cannot be opened for reading, the other fails to read at offset 0.
    struct Case
    {
        const char* name;
        std::function<void(const juce::File&)> make;
    };
    const Case cases[] = {
        {"mode 000",
         [](const juce::File& f)
         {
             f.replaceWithText("{\"uiScale\": 150}");
             ::chmod(f.getFullPathName().toRawUTF8(), 0);
         }},
        {"write-only",
         [](const juce::File& f) { juce::File("/proc/sys/vm/drop_caches").createSymbolicLink(f, false); }},
        {"read error",
         [](const juce::File& f) { juce::File("/proc/self/mem").createSymbolicLink(f, false); }},
    };
    int exercised = 0;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto folder = freshFolder(juce::String("_") + juce::String(c.name).retainCharacters(
                                                                "0123456789abcdefghijklmnopqrstuvwxyz"));
        const auto file = folder.getChildFile("settings.json");
        c.make(file);
        if (!cannotBeRead(file))
            continue;
        ++exercised;
        const auto before = std::filesystem::symlink_status(file.getFullPathName().toStdString());
        const auto size = file.getSize();

        ShortcutManager table;
        const auto s = std::make_unique<AppSettings>(folder, table);

        // Construction values and a fresh sessionId, kept in memory only.
        EXPECT_TRUE(isSessionId(s->sessionId));
        EXPECT_EQ(s->trackpadScrollSpeed, 4.0f);
        EXPECT_EQ(s->settingsSchemaVersion, 0);
        EXPECT_EQ(listFolder(folder), juce::StringArray("settings.json"));
        const auto after = std::filesystem::symlink_status(file.getFullPathName().toStdString());
        EXPECT_EQ(after.type(), before.type());
        EXPECT_EQ(file.getSize(), size);
    }
    EXPECT_GE(exercised, 2);
}

TEST(FileSafetyTest, InvalidJsonIsKeptBesideTheFileItWasReplacedWith)
{
    const auto folder = freshFolder();
    folder.getChildFile("settings.json.invalid").replaceWithText("an older copy");
    const std::string broken = "{\"uiScale\": 150,\n \"gridOpacity\": 0.4,,\n \xff\xfe garbage";
    folder.getChildFile("settings.json").replaceWithData(broken.data(), broken.size()); // exact bytes

    ShortcutManager table;
    const auto s = std::make_unique<AppSettings>(folder, table);
    EXPECT_EQ(s->uiScale, 100);
    EXPECT_EQ(readBytes(folder.getChildFile("settings.json.invalid")), broken);
    EXPECT_EQ(juce::JSON::parse(s->getFile())["sessionId"].toString(), s->sessionId);
    EXPECT_EQ(listFolder(folder), juce::StringArray({"settings.json", "settings.json.invalid"}));
}

TEST(FileSafetyTest, AnEmptyFileIsReplacedWithoutACopy)
{
    const auto folder = freshFolder();
    folder.getChildFile("settings.json.invalid").replaceWithText("an older copy");
    writeSettings(folder, "");

    ShortcutManager table;
    const auto s = std::make_unique<AppSettings>(folder, table);
    EXPECT_EQ(readBytes(folder.getChildFile("settings.json.invalid")), "an older copy");
    EXPECT_EQ(juce::JSON::parse(s->getFile())["sessionId"].toString(), s->sessionId);
}

TEST(FileSafetyTest, InvalidJsonThatCannotBeKeptIsNotReplaced)
{
    const auto folder = freshFolder();
    // A folder that is not empty: no file can take its place.
    ASSERT_TRUE(folder.getChildFile("settings.json.invalid/inside").create());
    writeSettings(folder, "{\"uiScale\": ");

    ShortcutManager table;
    const auto s = std::make_unique<AppSettings>(folder, table);
    EXPECT_TRUE(isSessionId(s->sessionId));
    EXPECT_EQ(readBytes(s->getFile()), "{\"uiScale\": ");
    EXPECT_EQ(listFolder(folder), juce::StringArray({"settings.json", "settings.json.invalid"}));
}

TEST(FileSafetyTest, TextThatWouldBreakTheParserIsTreatedAsInvalid)
{
    // Nesting deep enough to exhaust the stack, and a number cut off by the end of the text.
    const std::string texts[] = {std::string(200000, '['), "[-", "{\"a\": [1, -  \n", "{\"a\": -"};
    int index = 0;
    for (const auto& text : texts)
    {
        SCOPED_TRACE(text.substr(0, 20));
        const auto folder = freshFolder(juce::String(index++));
        folder.getChildFile("settings.json").replaceWithData(text.data(), text.size());
        ShortcutManager table;
        const auto s = std::make_unique<AppSettings>(folder, table);
        EXPECT_EQ(s->settingsSchemaVersion, 0);
        EXPECT_EQ(readBytes(folder.getChildFile("settings.json.invalid")), text);
    }
}

TEST(FileSafetyTest, AShortWriteLeavesTheFileAsItWas)
{
    const auto folder = freshFolder();
    const std::string original = R"({"uiScale": 150})";
    writeSettings(folder, original);
    {
        const FileSizeLimit limit(64); // the settings text is far longer
        ShortcutManager table;
        AppSettings settings(folder, table);
        EXPECT_EQ(settings.uiScale, 150);
    }
    EXPECT_EQ(readBytes(folder.getChildFile("settings.json")), original);
    EXPECT_EQ(listFolder(folder), juce::StringArray("settings.json")); // no temporary file left over
}

TEST(FileSafetyTest, SavingLeavesNoTemporaryFileBehind)
{
    const auto folder = freshFolder();
    ShortcutManager table;
    AppSettings settings(folder, table);
    settings.uiScale = 175;
    settings.save();
    settings.save();
    EXPECT_EQ(listFolder(folder), juce::StringArray("settings.json"));
    EXPECT_EQ(readBytes(settings.getFile()), settings.toJson().toStdString());
}
