// A sender or a receiver killed in the middle of its work must leave the other side working and the
// region usable: nothing in the protocol waits on a peer or leaves a lock behind.

#include "support/TestEnvironment.h"
#include "voicebus/Endpoint.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
class ProcessDeath : public testing::Test
{
protected:
    void SetUp() override { TestEnvironment::removeRegions(); }
    void TearDown() override { TestEnvironment::removeRegions(); }

    static void killAndReap(pid_t child)
    {
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }

    static uint64_t load(uint64_t& field) { return VoiceBus::shared(field).load(); }
};

// A receiver that maps the bus and changes the heartbeat as fast as it can, forever.
[[noreturn]] void busyReceiver(int bus)
{
    const int fd = ::shm_open(VoiceBus::objectName(bus).c_str(), O_RDWR, 0);
    auto* region = static_cast<VoiceBus::Region*>(
        ::mmap(nullptr, VoiceBus::regionSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    for (uint64_t beat = 1;; ++beat)
    {
        VoiceBus::shared(region->receiverHeartbeat).store(beat, std::memory_order_relaxed);
        [[maybe_unused]] volatile uint32_t seen =
            VoiceBus::shared(region->writePos).load(std::memory_order_acquire);
    }
}

// A sender that publishes blocks as fast as it can, forever.
[[noreturn]] void busySender(int bus)
{
    VoiceBus::Endpoint endpoint;
    endpoint.senderId = 5;
    endpoint.open(bus);
    std::vector<float> block(777, 0.5f);
    for (;;)
        endpoint.publish(block.data(), static_cast<int>(block.size()), 44100.0);
}
} // namespace

TEST_F(ProcessDeath, AKilledReceiverLeavesTheSenderPublishing)
{
    VoiceBus::Endpoint sender;
    sender.senderId = 9;
    sender.open(0);
    ASSERT_NE(nullptr, sender.region);

    const pid_t receiver = ::fork();
    if (receiver == 0)
        busyReceiver(0);
    while (load(sender.region->receiverHeartbeat) == 0)
        std::this_thread::yield();

    std::vector<float> block(512, 0.25f);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(sender.publish(block.data(), 512, 48000.0));
    killAndReap(receiver);

    const uint64_t frozen = load(sender.region->receiverHeartbeat);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(sender.publish(block.data(), 512, 48000.0));
    EXPECT_EQ(200u, load(sender.region->blockCounter));
    EXPECT_EQ(200u * 512u, VoiceBus::shared(sender.region->writePos).load());
    EXPECT_EQ(frozen, load(sender.region->receiverHeartbeat));
}

TEST_F(ProcessDeath, AKilledSenderLeavesTheRegionUsableForTheNext)
{
    const pid_t sender = ::fork();
    if (sender == 0)
        busySender(4);

    VoiceBus::Endpoint watcher;
    watcher.senderId = 11;
    watcher.open(4);
    ASSERT_NE(nullptr, watcher.region);
    while (load(watcher.region->blockCounter) < 1000)
        std::this_thread::yield();
    killAndReap(sender); // most likely in the middle of a block

    VoiceBus::Endpoint next;
    next.senderId = 13;
    next.open(4);
    ASSERT_NE(nullptr, next.region);
    EXPECT_FALSE(next.versionMismatch);
    const uint32_t start = VoiceBus::shared(next.region->writePos).load();
    const uint64_t blocks = load(next.region->blockCounter);
    std::vector<float> block(100, -0.5f);
    ASSERT_TRUE(next.publish(block.data(), 100, 96000.0));
    EXPECT_EQ(start + 100, VoiceBus::shared(next.region->writePos).load());
    EXPECT_EQ(blocks + 1, load(next.region->blockCounter));
    EXPECT_EQ(-0.5f, next.region->ring[(start + 99) & VoiceBus::ringMask]);
    EXPECT_EQ(1, next.collisionCount); // the dead sender's id was still there
}
