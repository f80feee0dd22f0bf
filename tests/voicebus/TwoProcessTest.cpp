// A receiver in another process, written against the raw byte layout rather than our own structs,
// reads what the sender publishes while it keeps its heartbeat moving.

#include "support/TestEnvironment.h"
#include "voicebus/Endpoint.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int blocks = 40;
constexpr int blockLength = 480;
constexpr double rate = 48000.0;

float sampleValue(int index)
{
    return static_cast<float>(index % 1000) / 1000.0f - 0.5f;
}

// Exit codes of the receiver child.
enum ReceiverResult
{
    received = 0,
    cannotMap = 2,
    timedOut = 3,
    wrongSamples = 4,
    wrongHeader = 5
};

int runReceiver(int bus)
{
    const int fd = ::shm_open(VoiceBus::objectName(bus).c_str(), O_RDWR, 0);
    if (fd < 0)
        return cannotMap;
    void* mapping = ::mmap(nullptr, 131192, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (mapping == MAP_FAILED)
        return cannotMap;
    auto* bytes = static_cast<unsigned char*>(mapping);
    auto* writePos = reinterpret_cast<uint32_t*>(bytes + 4);
    auto* heartbeat = reinterpret_cast<uint64_t*>(bytes + 32);
    const auto* ring = reinterpret_cast<const float*>(bytes + 120);

    const uint32_t expectedEnd = blocks * blockLength;
    for (uint64_t beat = 1; beat < 2'000'000; ++beat)
    {
        std::atomic_ref<uint64_t>(*heartbeat).store(beat, std::memory_order_relaxed);
        const uint32_t end = std::atomic_ref<uint32_t>(*writePos).load(std::memory_order_acquire);
        for (uint32_t i = 0; i < end; ++i)
            if (ring[i & 0x7FFF] != sampleValue(static_cast<int>(i)))
                return wrongSamples;
        if (end == expectedEnd)
        {
            double sampleRate = 0;
            uint64_t blockCounter = 0;
            std::memcpy(&sampleRate, bytes + 16, 8);
            std::memcpy(&blockCounter, bytes + 24, 8);
            return sampleRate == rate && blockCounter == blocks ? received : wrongHeader;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return timedOut;
}
} // namespace

TEST(TwoProcesses, AReceiverInAnotherProcessReadsWhatTheSenderPublished)
{
    TestEnvironment::removeRegions();
    VoiceBus::Endpoint sender;
    sender.senderId = 77;
    sender.open(1);
    ASSERT_NE(nullptr, sender.region);

    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(runReceiver(1));

    // Wait until the receiver is attached (its heartbeat moves), then publish.
    const auto heartbeat = [&] { return VoiceBus::shared(sender.region->receiverHeartbeat).load(); };
    while (heartbeat() == 0)
        std::this_thread::yield();
    const uint64_t firstBeat = heartbeat();

    std::vector<float> block(blockLength);
    for (int b = 0; b < blocks; ++b)
    {
        for (int k = 0; k < blockLength; ++k)
            block[static_cast<std::size_t>(k)] = sampleValue(b * blockLength + k);
        ASSERT_TRUE(sender.publish(block.data(), blockLength, rate));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(received, WEXITSTATUS(status));
    EXPECT_NE(firstBeat, heartbeat());
    EXPECT_EQ(0, sender.collisionCount);
    TestEnvironment::removeRegions();
}
