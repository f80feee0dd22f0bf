#pragma once

// Folders and files for settings tests: every test works in a fresh folder of its own.

#include "support/TestEnvironment.h"

#include <JuceHeader.h>
#include <gtest/gtest.h>

namespace SettingsFiles
{
/** A fresh empty folder named after the running test and `suffix`. */
inline juce::File freshFolder(const juce::String& suffix = {})
{
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    juce::String name = juce::String(test->test_suite_name()) + "_" + test->name() + suffix;
    name = name.replaceCharacter('/', '_');
    return juce::File(TestEnvironment::makeFolder(name.toStdString()));
}

/** Writes `bytes` as the folder's settings.json, exactly. */
inline void writeSettings(const juce::File& folder, const juce::String& bytes)
{
    folder.getChildFile("settings.json").replaceWithData(bytes.toRawUTF8(), bytes.getNumBytesAsUTF8());
}

/** The exact bytes of a file, as a string (UTF-8 is kept as it is). */
inline std::string readBytes(const juce::File& file)
{
    juce::MemoryBlock block;
    file.loadFileAsData(block);
    return {static_cast<const char*>(block.getData()), block.getSize()};
}

/** Names of everything in `folder`, hidden files included, sorted. */
inline juce::StringArray listFolder(const juce::File& folder)
{
    juce::StringArray names;
    for (const auto& entry :
         juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFilesAndDirectories))
        names.add(entry.getFile().getFileName());
    names.sort(false);
    return names;
}

/** Whether `id` is a version-4 UUID written as 32 lower-case hexadecimal digits. */
inline bool isSessionId(const juce::String& id)
{
    return id.length() == 32 && id.containsOnly("0123456789abcdef") && id[12] == '4' &&
           juce::String("89ab").containsChar(id[16]);
}
} // namespace SettingsFiles
