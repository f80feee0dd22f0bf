// One thread publishes without pause while another keeps moving the endpoint between buses, as an
// audio thread and a user clicking through the bus chooser would. Every block must land whole in
// one region or be skipped; nothing may touch a mapping that is being removed (the thread sanitizer
// build runs this too).

#include "support/TestEnvironment.h"
#include "voicebus/Endpoint.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(Concurrency, SwitchingBusesWhilePublishingNeverTearsABlock)
{
    TestEnvironment::removeRegions();
    constexpr int blockLength = 256;
    constexpr int switches = 5000;

    VoiceBus::Endpoint endpoint;
    endpoint.senderId = 3;
    endpoint.open(0);

    std::atomic<bool> stop{false};
    std::atomic<long> published{0};
    std::thread audio(
        [&]
        {
            std::vector<float> block(blockLength, 0.25f);
            while (!stop.load(std::memory_order_relaxed))
                if (endpoint.publish(block.data(), blockLength, 44100.0))
                    published.fetch_add(1, std::memory_order_relaxed);
        });

    // On a busy machine the publishing thread may not be scheduled at all while the switches run;
    // now and then the switching side waits for a publish, so the two really do interleave.
    const auto waitForAPublish = [&] {
        const long seen = published.load();
        while (published.load() == seen)
            std::this_thread::yield();
    };
    waitForAPublish();
    for (int i = 0; i < switches; ++i)
    {
        if (i % 97 == 0)
            endpoint.close();
        endpoint.open(i % VoiceBus::numBuses);
        if (i % 50 == 0)
            waitForAPublish();
    }
    stop = true;
    audio.join();
    endpoint.close();

    // Every region holds whole blocks only: its position is its block count times the block length.
    long blocksInRegions = 0;
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
    {
        VoiceBus::Endpoint reader;
        reader.open(bus);
        ASSERT_NE(nullptr, reader.region);
        const auto& region = *reader.region;
        EXPECT_EQ(uint64_t{region.writePos}, region.blockCounter * blockLength) << "bus " << bus;
        blocksInRegions += static_cast<long>(region.blockCounter);
    }
    EXPECT_EQ(published.load(), blocksInRegions);
    EXPECT_GT(published.load(), 0);
    TestEnvironment::removeRegions();
}
