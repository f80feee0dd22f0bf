#include "tools/BusReceiver.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace BusTool
{
using VoiceBus::ringLength;
using VoiceBus::shared;

namespace
{
// Positions are free-running 32-bit counts; a distance this large means the position went backwards.
constexpr uint32_t wentBackwards = 0x80000000u;
} // namespace

Receiver::Receiver(VoiceBus::Region& r) noexcept
    : region(r), readPos(shared(r.writePos).load(std::memory_order_acquire))
{
}

double Receiver::sampleRate() const noexcept
{
    return shared(region.sampleRate).load(std::memory_order_relaxed);
}

Arrival Receiver::poll(std::vector<float>& samples)
{
    Arrival arrival;
    // A region re-laid out by another version must not get our heartbeat written into its bytes.
    if (detached || shared(region.magic).load() != VoiceBus::layoutMagic)
    {
        detached = true;
        arrival.layoutLost = true;
        return arrival;
    }

    shared(region.receiverHeartbeat).fetch_add(1, std::memory_order_relaxed);

    const uint32_t end = shared(region.writePos).load(std::memory_order_acquire);
    uint32_t count = end - readPos;
    if (count >= wentBackwards)
    {
        // The region was laid out afresh under us: go on from its new position.
        readPos = end;
        return arrival;
    }
    if (count > static_cast<uint32_t>(ringLength))
    {
        // The ring keeps only the latest ringLength samples; everything older is gone.
        arrival.lost = count - ringLength;
        readPos = end - ringLength;
        count = ringLength;
    }

    if (count == 0)
        return arrival;

    const std::size_t first = samples.size();
    samples.resize(first + count);
    const uint32_t start = readPos & VoiceBus::ringMask;
    const uint32_t firstRun = std::min(count, static_cast<uint32_t>(ringLength) - start);
    std::memcpy(samples.data() + first, region.ring + start, firstRun * sizeof(float));
    std::memcpy(samples.data() + first + firstRun, region.ring, (count - firstRun) * sizeof(float));

    // The sender never waits for us: if it lapped the oldest samples while we copied them, those
    // copies may be torn. They are counted as lost instead of being passed on.
    std::atomic_thread_fence(std::memory_order_acquire);
    const uint32_t after = shared(region.writePos).load(std::memory_order_relaxed);
    const uint32_t distance = after - readPos;
    if (distance >= wentBackwards)
    {
        samples.resize(first);
        readPos = after;
        lost += arrival.lost;
        return arrival;
    }
    if (distance > static_cast<uint32_t>(ringLength))
    {
        const uint32_t overwritten = std::min(count, distance - static_cast<uint32_t>(ringLength));
        samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(first),
                      samples.begin() + static_cast<std::ptrdiff_t>(first + overwritten));
        arrival.lost += overwritten;
    }

    readPos = end;
    lost += arrival.lost;
    return arrival;
}
} // namespace BusTool
