// Eight processors send on the eight buses at once, faster than real time, each read by a receiver
// in a process of its own. A receiver that keeps up must get every sample exactly, the block counters
// must match the blocks sent, and no process may grow while it works.

#include "plugin/VoiceSendProcessor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{
constexpr int blockLength = 512;
constexpr int blocksPerBus = 4000; // about 43 s of audio per bus at 48 kHz
constexpr uint32_t totalSamples = blocksPerBus * blockLength;

// Every bus carries its own recognisable signal.
float sampleFor(int bus, uint32_t index)
{
    return static_cast<float>((index * 7u + static_cast<uint32_t>(bus) * 1000u) % 2000u) / 2000.0f - 0.5f;
}

// Anonymous resident memory (heap, stacks): where a leak would show. Read without stdio, so that
// measuring does not itself allocate.
long residentKiB()
{
    char text[2048] = {};
    const int fd = ::open("/proc/self/status", O_RDONLY);
    const auto length = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    const char* line = length > 0 ? std::strstr(text, "RssAnon:") : nullptr;
    long kib = 0;
    return line != nullptr && std::sscanf(line, "RssAnon: %ld", &kib) == 1 ? kib : 0;
}

struct ReceiverReport
{
    uint32_t received = 0;
    uint32_t wrong = 0;
    uint32_t lost = 0;
    long residentAtStartKiB = 0;
    long residentAtEndKiB = 0;
};

// The receiver publishes how far it has read as its heartbeat, which also lets the sender hold back
// instead of overrunning it: the test is about exactness under load, not about a slow reader.
ReceiverReport receive(int bus)
{
    ReceiverReport report;
    const int fd = ::shm_open(VoiceBus::objectName(bus).c_str(), O_RDWR, 0);
    auto* region = static_cast<VoiceBus::Region*>(
        ::mmap(nullptr, VoiceBus::regionSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    uint32_t readPos = VoiceBus::shared(region->writePos).load(std::memory_order_acquire);
    const uint32_t start = readPos;
    VoiceBus::shared(region->receiverHeartbeat).store(readPos + 1ull, std::memory_order_relaxed);
    while (readPos - start < totalSamples)
    {
        const uint32_t end = VoiceBus::shared(region->writePos).load(std::memory_order_acquire);
        if (end - readPos > static_cast<uint32_t>(VoiceBus::ringLength))
        {
            report.lost += end - readPos - VoiceBus::ringLength;
            readPos = end - VoiceBus::ringLength;
        }
        for (; readPos != end; ++readPos, ++report.received)
            if (region->ring[readPos & VoiceBus::ringMask] != sampleFor(bus, readPos - start))
                ++report.wrong;
        if (report.residentAtStartKiB == 0 && report.received >= totalSamples / 4)
            report.residentAtStartKiB = residentKiB(); // warmed up: every page in use has been touched
        VoiceBus::shared(region->receiverHeartbeat).store(readPos + 1ull, std::memory_order_relaxed);
    }
    report.residentAtEndKiB = residentKiB();
    return report;
}
} // namespace

TEST(Load, EightSendersAndEightReceiversLoseNothing)
{
    TestEnvironment::removeRegions();
    std::vector<std::unique_ptr<VoiceSendProcessor>> senders(VoiceBus::numBuses);
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
    {
        senders[static_cast<std::size_t>(bus)] = std::make_unique<VoiceSendProcessor>();
        senders[static_cast<std::size_t>(bus)]->selectBus(bus);
        senders[static_cast<std::size_t>(bus)]->prepareToPlay(48000.0, blockLength);
        ASSERT_NE(nullptr, senders[static_cast<std::size_t>(bus)]->endpoint.region);
    }

    std::vector<pid_t> receivers(VoiceBus::numBuses);
    std::vector<int> reports(VoiceBus::numBuses);
    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
    {
        int pipeEnds[2];
        ASSERT_EQ(0, ::pipe(pipeEnds));
        receivers[static_cast<std::size_t>(bus)] = ::fork();
        if (receivers[static_cast<std::size_t>(bus)] == 0)
        {
            const auto report = receive(bus);
            [[maybe_unused]] const auto written = ::write(pipeEnds[1], &report, sizeof report);
            ::_exit(0);
        }
        ::close(pipeEnds[1]);
        reports[static_cast<std::size_t>(bus)] = pipeEnds[0];
    }
    for (const auto& sender : senders) // every receiver attached
        while (VoiceBus::shared(sender->endpoint.region->receiverHeartbeat).load() == 0)
            std::this_thread::yield();

    const long parentAtStart = residentKiB();
    std::vector<uint32_t> sent(VoiceBus::numBuses);
    juce::AudioBuffer<float> block(1, blockLength);
    juce::MidiBuffer midi;
    for (int b = 0; b < blocksPerBus; ++b)
        for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        {
            auto& region = *senders[static_cast<std::size_t>(bus)]->endpoint.region;
            const auto readSoFar = [&] { return VoiceBus::shared(region.receiverHeartbeat).load() - 1; };
            while (sent[static_cast<std::size_t>(bus)] + blockLength - readSoFar() >
                   static_cast<uint64_t>(VoiceBus::ringLength / 2))
                std::this_thread::yield(); // the receiver is half a ring behind: let it catch up
            for (int i = 0; i < blockLength; ++i)
                block.setSample(
                    0, i, sampleFor(bus, sent[static_cast<std::size_t>(bus)] + static_cast<uint32_t>(i)));
            senders[static_cast<std::size_t>(bus)]->processBlock(block, midi);
            sent[static_cast<std::size_t>(bus)] += blockLength;
        }
    const long parentAtEnd = residentKiB();

    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
    {
        SCOPED_TRACE(bus);
        ReceiverReport report;
        ASSERT_EQ(static_cast<ssize_t>(sizeof report),
                  ::read(reports[static_cast<std::size_t>(bus)], &report, sizeof report));
        ::close(reports[static_cast<std::size_t>(bus)]);
        int status = 0;
        ::waitpid(receivers[static_cast<std::size_t>(bus)], &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(totalSamples, report.received);
        EXPECT_EQ(0u, report.wrong);
        EXPECT_EQ(0u, report.lost);
        EXPECT_EQ(static_cast<uint64_t>(blocksPerBus),
                  senders[static_cast<std::size_t>(bus)]->endpoint.region->blockCounter);
        EXPECT_LE(report.residentAtEndKiB - report.residentAtStartKiB, 256) << "receiver grew";
        std::printf("bus %c: %u samples, receiver anonymous resident %ld -> %ld KiB\n",
                    VoiceBus::busLetter(bus), report.received, report.residentAtStartKiB,
                    report.residentAtEndKiB);
    }
    std::printf("senders' process anonymous resident %ld -> %ld KiB over %d blocks per bus\n", parentAtStart,
                parentAtEnd, blocksPerBus);
    EXPECT_LE(parentAtEnd - parentAtStart, 512) << "the sending process grew";
    senders.clear();
    TestEnvironment::removeRegions();
}
