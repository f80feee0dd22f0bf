#include "support/TestEnvironment.h"

#include "voicebus/Region.h"

#include <cstdlib>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>

namespace TestEnvironment
{
static std::string runFolder;

void enter(const char* programName)
{
    const auto tag = std::string("TqTest_") + std::to_string(::getpid()) + "_";
    VoiceBus::setNamePrefix(tag + "Bus_");

    std::string name = programName;
    name = name.substr(name.find_last_of('/') + 1);
    runFolder = (std::filesystem::temp_directory_path() / (tag + name)).string();
    std::filesystem::remove_all(runFolder);
    std::filesystem::create_directories(runFolder + "/tmp");
    std::filesystem::create_directories(runFolder + "/home");
    ::setenv("TMPDIR", (runFolder + "/tmp").c_str(), 1);
    ::setenv("HOME", (runFolder + "/home").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
}

void removeRegions()
{
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        ::shm_unlink(VoiceBus::objectName(bus).c_str());
}

void leave()
{
    removeRegions();
    std::error_code ignored;
    std::filesystem::remove_all(runFolder, ignored);
}

const std::string& folder()
{
    return runFolder;
}

std::string makeFolder(const std::string& name)
{
    const auto path = runFolder + "/" + name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}
} // namespace TestEnvironment
