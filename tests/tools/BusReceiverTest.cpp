// The tool's receiver on a region in this process, where the writer can be put exactly as far ahead
// as a case needs.

#include "tools/BusReceiver.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

namespace
{
struct Bus
{
    std::unique_ptr<VoiceBus::Region> region = std::make_unique<VoiceBus::Region>();

    explicit Bus(uint32_t writePos)
    {
        VoiceBus::initialise(*region);
        region->writePos = writePos;
    }

    /** Publishes n samples numbered on from the current write position. */
    void publish(uint32_t n)
    {
        const uint32_t start = region->writePos;
        std::vector<float> samples(n);
        for (uint32_t i = 0; i < n; ++i)
            samples[i] = static_cast<float>(start + i);
        VoiceBus::writeRing(*region, start, samples.data(), static_cast<int>(n));
        region->writePos = start + n;
    }
};

std::vector<float> numbered(uint32_t first, uint32_t count)
{
    std::vector<float> values(count);
    for (uint32_t i = 0; i < count; ++i)
        values[i] = static_cast<float>(first + i);
    return values;
}
} // namespace

TEST(BusReceiver, ReadsWhatArrivedSinceAttachingAcrossTheRingEdgeAndLosesOnlyWhatWasOverwritten)
{
    struct Case
    {
        const char* name;
        uint32_t attachAt;
        uint32_t published;
        uint64_t lost;
    };
    const Case cases[] = {
        {"nothing yet", 1000, 0, 0},
        {"one block", 1000, 512, 0},
        {"a full ring", 1000, 32768, 0},
        {"one sample too many", 1000, 32769, 1},
        {"far behind", 1000, 40000, 40000 - 32768},
        {"across the 32-bit wrap", 0xFFFFF000u, 10000, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Bus bus(c.attachAt);
        BusTool::Receiver receiver(*bus.region);
        bus.publish(c.published);

        std::vector<float> samples;
        const auto arrival = receiver.poll(samples);
        EXPECT_FALSE(arrival.layoutLost);
        EXPECT_EQ(c.lost, arrival.lost);
        EXPECT_EQ(c.lost, receiver.lostTotal());
        const auto kept = static_cast<uint32_t>(c.published - c.lost);
        EXPECT_EQ(numbered(bus.region->writePos - kept, kept), samples);
    }
}

TEST(BusReceiver, KeepsTheHeartbeatMovingAndGoesOnWhereItLeftOff)
{
    Bus bus(0);
    BusTool::Receiver receiver(*bus.region);
    std::vector<float> samples;
    for (int round = 1; round <= 3; ++round)
    {
        bus.publish(100);
        receiver.poll(samples);
        EXPECT_EQ(static_cast<uint64_t>(round), bus.region->receiverHeartbeat);
    }
    EXPECT_EQ(numbered(0, 300), samples);
}

TEST(BusReceiver, StartsOverWhenTheRegionIsLaidOutAfresh)
{
    Bus bus(50000);
    BusTool::Receiver receiver(*bus.region);
    VoiceBus::initialise(*bus.region); // writePos back to 0
    std::vector<float> samples;
    EXPECT_EQ(0u, receiver.poll(samples).lost);
    EXPECT_TRUE(samples.empty());

    bus.publish(10);
    receiver.poll(samples);
    EXPECT_EQ(numbered(0, 10), samples);
}

TEST(BusReceiver, DetachesWithoutWritingOnceAnotherLayoutsTagAppears)
{
    Bus bus(0);
    BusTool::Receiver receiver(*bus.region);
    bus.region->magic = 0x11111111;
    bus.region->receiverHeartbeat = 42;
    std::vector<float> samples;
    EXPECT_TRUE(receiver.poll(samples).layoutLost);
    bus.region->magic = VoiceBus::layoutMagic; // even if it comes back, the receiver stays away
    EXPECT_TRUE(receiver.poll(samples).layoutLost);
    EXPECT_EQ(42u, bus.region->receiverHeartbeat);
}
