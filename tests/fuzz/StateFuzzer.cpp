// Any bytes handed to setStateInformation, as a host or a damaged project file might: nothing
// crashes, the bus stays within A ... H with the endpoint on it, and whatever state results saves and
// restores to itself.

#include "plugin/VoiceSendProcessor.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
void require(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "state invariant violated: %s\n", what);
        std::abort();
    }
}

void removeRegions()
{
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        ::shm_unlink(VoiceBus::objectName(bus).c_str());
}

VoiceSendProcessor& processor()
{
    static VoiceSendProcessor* instance = []
    {
        VoiceBus::setNamePrefix("TqFuzz_" + std::to_string(::getpid()) + "_");
        std::atexit(removeRegions);
        return new VoiceSendProcessor(); // lives for the whole run
    }();
    return *instance;
}

bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto& p = processor();
    p.setStateInformation(data, static_cast<int>(std::min<size_t>(size, 1 << 20)));

    require(p.bus >= 0 && p.bus < VoiceBus::numBuses, "bus within A ... H");
    require(p.endpoint.region == nullptr || p.endpoint.openBus == p.bus, "the endpoint holds the chosen bus");

    juce::MemoryBlock saved;
    p.getStateInformation(saved);
    const int bus = p.bus;
    const bool enabled = p.enabled;
    const float gain = p.gainDb;

    p.bus = (bus + 1) % VoiceBus::numBuses; // so that the restore must set everything itself
    p.enabled = !enabled;
    p.gainDb = gain + 1.0f;
    p.setStateInformation(saved.getData(), static_cast<int>(saved.getSize()));
    require(p.bus == bus && p.enabled == enabled, "a saved state restores bus and switch");
    require(sameFloat(p.gainDb, gain) || (std::isnan(gain) && std::isnan(p.gainDb.load())),
            "a saved state restores the trim exactly");
    return 0;
}
