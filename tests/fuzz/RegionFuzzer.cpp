// A region whose header another party controls: the input is a script of moves by that party (any
// value into magic, writePos, senderId, blockCounter, receiverHeartbeat, sampleRate), blocks our
// side publishes, re-opens, and ticks of the window's status decision with its takeover. Nothing may
// crash, and nothing may be written outside the mapping: the bytes past the region's end in its last
// page must stay zero.

#include "editor/ConnectionStatus.h"
#include "voicebus/Endpoint.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace
{
void require(bool condition, const char* what)
{
    if (!condition)
    {
        std::fprintf(stderr, "region invariant violated: %s\n", what);
        std::abort();
    }
}

void removeRegions()
{
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        ::shm_unlink(VoiceBus::objectName(bus).c_str());
}

struct Script
{
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    bool done() const { return at >= size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint64_t word()
    {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value = (value << 8) | byte();
        return value;
    }
};

// The bytes between the region's end and the end of its last page: never part of the object, so a
// write there would be a write outside the mapping.
void requireNothingPastTheEnd(const VoiceBus::Endpoint& endpoint)
{
    if (endpoint.region == nullptr)
        return;
    const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t mapped = (VoiceBus::regionSize + page - 1) / page * page;
    const auto* bytes = reinterpret_cast<const unsigned char*>(endpoint.region);
    for (size_t i = VoiceBus::regionSize; i < mapped; ++i)
        require(bytes[i] == 0, "nothing written past the region");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool named = []
    {
        VoiceBus::setNamePrefix("TqFuzzRegion_" + std::to_string(::getpid()) + "_");
        std::atexit(removeRegions);
        return true;
    }();
    (void)named;
    removeRegions();

    VoiceBus::Endpoint endpoint;
    endpoint.senderId = 0x1234567u | 1u;
    endpoint.open(0);
    require(endpoint.region != nullptr, "the first open maps the bus");

    ConnectionStatus::Watch watch;
    double nowMs = 0.0;
    std::vector<float> block(40000);
    Script script{data, size};
    while (!script.done())
    {
        auto& region = *endpoint.region;
        switch (script.byte() % 10)
        {
        case 0:
            VoiceBus::shared(region.magic).store(static_cast<uint32_t>(script.word()));
            break;
        case 1:
            VoiceBus::shared(region.writePos).store(static_cast<uint32_t>(script.word()));
            break;
        case 2:
            VoiceBus::shared(region.senderId).store(script.word());
            break;
        case 3:
            VoiceBus::shared(region.blockCounter).store(script.word());
            break;
        case 4:
            VoiceBus::shared(region.receiverHeartbeat).store(script.word());
            break;
        case 5:
        {
            const uint64_t bits = script.word();
            double rate = 0.0;
            std::memcpy(&rate, &bits, sizeof rate);
            VoiceBus::shared(region.sampleRate).store(rate);
            break;
        }
        case 6:
        {
            const int n = static_cast<int>(script.word() % block.size());
            std::fill_n(block.begin(), n, 0.25f);
            const uint32_t before = VoiceBus::shared(region.writePos).load();
            const bool mismatch = endpoint.versionMismatch;
            const bool published = endpoint.publish(block.data(), n, 48000.0);
            require(published == !mismatch, "publishes exactly when the layout is ours");
            if (published)
                require(VoiceBus::shared(region.writePos).load() == before + static_cast<uint32_t>(n),
                        "the write position advances by the block");
            break;
        }
        case 7:
            endpoint.open(script.byte() % VoiceBus::numBuses);
            require(endpoint.region != nullptr, "a re-open maps the bus");
            break;
        default:
        {
            // One tick of the window's status monitor, the clock moving on by up to ~4 s.
            nowMs += static_cast<double>(script.byte()) * 16.0;
            const auto verdict = ConnectionStatus::tick(endpoint, watch, true, endpoint.openBus, nowMs);
            watch = verdict.watch;
            require(verdict.text.isNotEmpty(), "a status text");
            if (verdict.takeOver)
                require(!endpoint.versionMismatch && region.magic == VoiceBus::layoutMagic,
                        "a takeover leaves our layout");
            break;
        }
        }
        requireNothingPastTheEnd(endpoint);
    }
    return 0;
}
