// For programs that host the built bundle: the plug-in inside names its regions as the product does,
// so these programs get a private /dev/shm instead of a name prefix.

#include "support/TestEnvironment.h"
#include "tools/host/PluginHost.h"
#include "voicebus/Region.h"

#include <gtest/gtest.h>

namespace TestEnvironment
{
bool sharedMemoryIsolated = false;
}

int main(int argc, char** argv)
{
    TestEnvironment::sharedMemoryIsolated = PluginHost::isolateSharedMemory(); // before any thread
    TestEnvironment::enter(argv[0]);
    VoiceBus::setNamePrefix(VoiceBus::productNamePrefix); // the hosted plug-in's names
    testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        const juce::ScopedJuceInitialiser_GUI juce;
        result = RUN_ALL_TESTS();
    }
    TestEnvironment::leave();
    return result;
}
