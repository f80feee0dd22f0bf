#include "voicebus/Endpoint.h"
#include "SharedMemoryFault.h"
#include "support/RegionFiles.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace RegionFiles;
namespace fs = std::filesystem;

namespace
{
class EndpointTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TestEnvironment::removeRegions();
        tmpDir = TestEnvironment::makeFolder("tmp");
        ::setenv("TMPDIR", tmpDir.c_str(), 1);
    }

    void TearDown() override { TestEnvironment::removeRegions(); }

    std::string fallbackFile(int bus) const { return VoiceBus::fallbackPath(bus, tmpDir.c_str()); }

    static void expectClosed(const VoiceBus::Endpoint& e)
    {
        EXPECT_EQ(nullptr, e.region);
        EXPECT_EQ(-1, e.fd);
        EXPECT_EQ(-1, e.openBus);
    }

    std::string tmpDir;
};

std::vector<float> ramp(int n, float start)
{
    std::vector<float> samples(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
        samples[static_cast<std::size_t>(k)] = start + static_cast<float>(k);
    return samples;
}
} // namespace

TEST_F(EndpointTest, FirstOpenCreatesAndInitialisesTheRegion)
{
    VoiceBus::Endpoint endpoint;
    endpoint.open(2);

    ASSERT_NE(nullptr, endpoint.region);
    EXPECT_EQ(2, endpoint.openBus);
    EXPECT_GE(endpoint.fd, 0);
    EXPECT_FALSE(endpoint.versionMismatch);

    const auto bytes = readObject(2);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(VoiceBus::regionSize, bytes->size());
    EXPECT_EQ(VoiceBus::layoutMagic, magicOf(*bytes));
    EXPECT_EQ(0u, endpoint.region->writePos);
}

TEST_F(EndpointTest, SecondEndpointMapsTheRegionWithoutClearingIt)
{
    VoiceBus::Endpoint first;
    first.senderId = 11;
    first.open(0);
    const auto block = ramp(300, 1.0f);
    ASSERT_TRUE(first.publish(block.data(), 300, 48000.0));
    const auto before = readObject(0);

    VoiceBus::Endpoint second;
    second.open(0);
    ASSERT_NE(nullptr, second.region);
    EXPECT_EQ(before, readObject(0));
    EXPECT_EQ(300u, second.region->writePos);
    EXPECT_EQ(1u, second.region->blockCounter);
    EXPECT_EQ(11u, second.region->senderId);
    EXPECT_EQ(300.0f, second.region->ring[299]);
}

TEST_F(EndpointTest, WhatAnOpenDoesWithTheTagItFinds)
{
    struct Case
    {
        uint32_t magic;
        bool initialised;
        bool mismatch;
    };
    const Case cases[] = {
        {0, true, false},
        {VoiceBus::layoutMagic, false, false},
        {1, false, true},
        {0xDEADBEEF, false, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.magic);
        const auto prepared = patternedRegion(c.magic);
        writeObject(5, prepared);

        VoiceBus::Endpoint endpoint;
        endpoint.open(5);
        ASSERT_NE(nullptr, endpoint.region);
        EXPECT_EQ(c.mismatch, endpoint.versionMismatch.load());

        auto expected = prepared;
        if (c.initialised)
        {
            expected = patternedRegion(VoiceBus::layoutMagic);
            std::fill(expected.begin() + 4, expected.end(), 0);
        }
        EXPECT_EQ(expected, readObject(5));

        // A region of another layout is never written by the send side.
        const auto block = ramp(64, 0.5f);
        EXPECT_EQ(!c.mismatch, endpoint.publish(block.data(), 64, 44100.0));
        if (c.mismatch)
        {
            EXPECT_EQ(prepared, readObject(5));
            EXPECT_EQ(-1, endpoint.lastActivity);
            EXPECT_EQ(0.0, endpoint.lastActivityChangeMs);
        }
    }
}

TEST_F(EndpointTest, SwitchingFromAMismatchedBusToAGoodOneResumesPublishing)
{
    writeObject(1, patternedRegion(1));
    VoiceBus::Endpoint endpoint;
    endpoint.open(1);
    ASSERT_TRUE(endpoint.versionMismatch);

    endpoint.open(3);
    EXPECT_FALSE(endpoint.versionMismatch);
    const auto block = ramp(32, 0.0f);
    EXPECT_TRUE(endpoint.publish(block.data(), 32, 44100.0));
    EXPECT_EQ(32u, endpoint.region->writePos);
    EXPECT_EQ(patternedRegion(1), readObject(1));
}

TEST_F(EndpointTest, TakeOverLaysAMismatchedRegionOutAfresh)
{
    writeObject(4, patternedRegion(7));
    VoiceBus::Endpoint endpoint;
    endpoint.open(4);
    ASSERT_TRUE(endpoint.versionMismatch);

    endpoint.takeOver();
    EXPECT_FALSE(endpoint.versionMismatch);
    auto expected = VoiceBus::Region{};
    VoiceBus::initialise(expected);
    const auto* expectedBytes = reinterpret_cast<const unsigned char*>(&expected);
    EXPECT_EQ(Bytes(expectedBytes, expectedBytes + VoiceBus::regionSize), readObject(4));

    const auto block = ramp(8, 0.0f);
    EXPECT_TRUE(endpoint.publish(block.data(), 8, 44100.0));
}

TEST_F(EndpointTest, TheRegionOutlivesItsEndpointsAndALaterOneResumes)
{
    {
        VoiceBus::Endpoint endpoint;
        endpoint.open(6);
        const auto block = ramp(1000, 0.0f);
        endpoint.publish(block.data(), 1000, 44100.0);
        endpoint.close();
        expectClosed(endpoint);
        EXPECT_TRUE(readObject(6).has_value());
    }
    EXPECT_TRUE(readObject(6).has_value());

    VoiceBus::Endpoint later;
    later.open(6);
    const auto block = ramp(10, 5000.0f);
    later.publish(block.data(), 10, 44100.0);
    EXPECT_EQ(1010u, later.region->writePos);
    EXPECT_EQ(2u, later.region->blockCounter);
    EXPECT_EQ(5000.0f, later.region->ring[1000]);
}

TEST_F(EndpointTest, PublishingFollowsTheProtocol)
{
    VoiceBus::Endpoint endpoint;
    endpoint.senderId = 0x1235;
    endpoint.open(0);
    auto& region = *endpoint.region;

    struct Case
    {
        uint64_t senderFound;
        int collisionsAdded;
    };
    const Case cases[] = {{0, 0}, {0x1235, 0}, {0x9999, 1}};
    for (const auto& c : cases)
    {
        region.senderId = c.senderFound;
        region.writePos = 32760;
        const int collisionsBefore = endpoint.collisionCount;
        const uint64_t blocksBefore = region.blockCounter;
        const auto block = ramp(16, 1.0f);

        ASSERT_TRUE(endpoint.publish(block.data(), 16, 96000.0));
        EXPECT_EQ(collisionsBefore + c.collisionsAdded, endpoint.collisionCount);
        EXPECT_EQ(0x1235u, region.senderId);
        EXPECT_EQ(96000.0, region.sampleRate);
        EXPECT_EQ(blocksBefore + 1, region.blockCounter);
        EXPECT_EQ(32776u, region.writePos);
        EXPECT_EQ(1.0f, region.ring[32760]);
        EXPECT_EQ(8.0f, region.ring[32767]);
        EXPECT_EQ(9.0f, region.ring[0]);
        EXPECT_EQ(16.0f, region.ring[7]);
    }
}

TEST_F(EndpointTest, WriteResumesAcrossTheWrapOfTheThirtyTwoBitPosition)
{
    VoiceBus::Endpoint endpoint;
    endpoint.open(0);
    endpoint.region->writePos = 0xFFFFFFF8u;
    const auto block = ramp(16, 1.0f);
    endpoint.publish(block.data(), 16, 44100.0);
    EXPECT_EQ(8u, endpoint.region->writePos);
    EXPECT_EQ(16.0f, endpoint.region->ring[7]);
}

TEST_F(EndpointTest, WithoutSharedMemoryTheFallbackFileIsUsed)
{
    for (const bool trailingSlash : {false, true})
    {
        SCOPED_TRACE(trailingSlash);
        ::setenv("TMPDIR", (tmpDir + (trailingSlash ? "/" : "")).c_str(), 1);
        fs::remove(fallbackFile(7));

        const SharedMemoryFails noSharedMemory;
        VoiceBus::Endpoint endpoint;
        endpoint.open(7);
        ASSERT_NE(nullptr, endpoint.region);
        const auto block = ramp(4, 1.0f);
        endpoint.publish(block.data(), 4, 44100.0);
        endpoint.close();

        const auto bytes = readFile(tmpDir + "/" + VoiceBus::namePrefix() + "H");
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(VoiceBus::regionSize, bytes->size());
        EXPECT_EQ(VoiceBus::layoutMagic, magicOf(*bytes));
        EXPECT_FALSE(readObject(7).has_value());

        // A later endpoint resumes on the file's write position.
        VoiceBus::Endpoint later;
        later.open(7);
        ASSERT_NE(nullptr, later.region);
        EXPECT_EQ(4u, later.region->writePos);
    }
}

TEST_F(EndpointTest, FallbackNameThatIsNotAPlainFileIsRefusedAndItsTargetUntouched)
{
    const auto victim = TestEnvironment::makeFolder("elsewhere") + "/victim";
    const Bytes victimBytes = {'k', 'e', 'e', 'p'};
    writeFile(victim, victimBytes);

    struct Case
    {
        const char* what;
        void (*plant)(const std::string& path, const std::string& victim);
    };
    const Case cases[] = {
        {"symbolic link", [](const std::string& p, const std::string& v) { fs::create_symlink(v, p); }},
        {"dangling link",
         [](const std::string& p, const std::string& v) { fs::create_symlink(v + ".new", p); }},
        {"hard link", [](const std::string& p, const std::string& v) { fs::create_hard_link(v, p); }},
        {"directory", [](const std::string& p, const std::string&) { fs::create_directory(p); }},
        {"fifo", [](const std::string& p, const std::string&) { ::mkfifo(p.c_str(), 0666); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const auto path = fallbackFile(3);
        fs::remove_all(path);
        c.plant(path, victim);

        const SharedMemoryFails noSharedMemory;
        VoiceBus::Endpoint endpoint;
        endpoint.open(3);
        expectClosed(endpoint);
        EXPECT_EQ(victimBytes, readFile(victim));
        EXPECT_FALSE(fs::exists(victim + ".new"));
        fs::remove_all(path);
    }
}

TEST_F(EndpointTest, AShortObjectIsGrownAndInitialised)
{
    writeObject(2, Bytes(10, 0));
    VoiceBus::Endpoint endpoint;
    endpoint.open(2);
    ASSERT_NE(nullptr, endpoint.region);
    EXPECT_EQ(VoiceBus::regionSize, readObject(2)->size());
    EXPECT_EQ(VoiceBus::layoutMagic, magicOf(*readObject(2)));
}

TEST_F(EndpointTest, AShortRegionThatCannotGrowFailsTheOpenInsteadOfFaulting)
{
    const auto shortRegion = Bytes(100, 0);
    writeObject(2, shortRegion);
    writeFile(fallbackFile(2), shortRegion);

    // A file size limit makes growing impossible, even for root. Run in a child so the limit
    // stays there.
    for (const bool sharedMemory : {true, false})
    {
        SCOPED_TRACE(sharedMemory);
        const pid_t child = ::fork();
        if (child == 0)
        {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (!sharedMemory)
                new SharedMemoryFails(); // stays for the life of the child
            VoiceBus::Endpoint endpoint;
            endpoint.open(2);
            ::_exit(endpoint.region == nullptr && endpoint.fd == -1 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "the child crashed";
        EXPECT_EQ(0, WEXITSTATUS(status));
    }
    EXPECT_EQ(shortRegion, readObject(2));
    EXPECT_EQ(shortRegion, readFile(fallbackFile(2)));
}

TEST_F(EndpointTest, NoRegionAtAllLeavesTheEndpointClosed)
{
    ::setenv("TMPDIR", (tmpDir + "/does-not-exist").c_str(), 1);
    const SharedMemoryFails noSharedMemory;
    VoiceBus::Endpoint endpoint;
    endpoint.open(0);
    expectClosed(endpoint);
    const auto block = ramp(4, 0.0f);
    EXPECT_FALSE(endpoint.publish(block.data(), 4, 44100.0));
}
