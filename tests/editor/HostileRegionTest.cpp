// Another process scribbles over the region's header without pause (any magic, writePos, senderId,
// sampleRate) while this process publishes blocks into it and the
// window's status monitor reads it and takes it over. Nothing may crash, and nothing may be written
// outside the mapping.

#include "editor/ConnectionStatus.h"
#include "plugin/VoiceSendProcessor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <random>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
[[noreturn]] void scribble(int bus)
{
    const int fd = ::shm_open(VoiceBus::objectName(bus).c_str(), O_RDWR, 0);
    auto* region = static_cast<VoiceBus::Region*>(
        ::mmap(nullptr, VoiceBus::regionSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    std::mt19937_64 random(42);
    for (;;)
    {
        const uint64_t value = random();
        // blockCounter and receiverHeartbeat are left alone, so that a region re-opened under a
        // foreign tag goes idle and the monitor takes it over while the peer keeps retagging it
        // (the region fuzzer drives those two fields too).
        switch (value % 4)
        {
        case 0:
            VoiceBus::shared(region->magic).store(static_cast<uint32_t>(value >> 8));
            break;
        case 1:
            VoiceBus::shared(region->magic).store(VoiceBus::layoutMagic);
            break;
        case 2:
            VoiceBus::shared(region->writePos).store(static_cast<uint32_t>(value >> 8));
            break;
        default:
        {
            double rate = 0;
            std::memcpy(&rate, &value, sizeof rate); // NaN, infinities and denormals included
            VoiceBus::shared(region->sampleRate).store(rate);
            VoiceBus::shared(region->senderId).store(value);
            break;
        }
        }
    }
}
} // namespace

TEST(HostileRegion, AScribblingPeerCannotMakeUsCrashOrWriteOutsideTheRegion)
{
    TestEnvironment::removeRegions();
    VoiceSendProcessor processor;
    processor.prepareToPlay(48000.0, 4096);
    ASSERT_NE(nullptr, processor.endpoint.region);

    const pid_t peer = ::fork();
    if (peer == 0)
        scribble(0);

    juce::AudioBuffer<float> block(2, 8192);
    block.clear();
    juce::MidiBuffer midi;
    ConnectionStatus::Watch watch;
    const auto page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t mapped = (VoiceBus::regionSize + page - 1) / page * page;
    int takeOvers = 0;

    for (int i = 0; i < 20000; ++i)
    {
        block.setSize(2, 1 + (i * 37) % 8192, false, false, true);
        processor.processBlock(block, midi);

        auto& endpoint = processor.endpoint;
        const bool foreignBefore = endpoint.versionMismatch;
        const auto verdict = ConnectionStatus::tick(endpoint, watch, true, processor.bus, i * 50.0);
        watch = verdict.watch;
        ASSERT_TRUE(verdict.text.isNotEmpty());
        takeOvers += foreignBefore && verdict.takeOver ? 1 : 0;
        if (i % 500 == 0)
            endpoint.open(0); // a re-open now and then finds a foreign tag

        const auto* bytes = reinterpret_cast<const unsigned char*>(endpoint.region);
        for (size_t b = VoiceBus::regionSize; b < mapped; ++b)
            ASSERT_EQ(0, bytes[b]) << "a write past the region";
    }

    ::kill(peer, SIGKILL);
    ::waitpid(peer, nullptr, 0);
    EXPECT_NE(nullptr, processor.endpoint.region);
    std::printf("%d takeovers of a region the peer kept retagging\n", takeOvers);
    TestEnvironment::removeRegions();
}
