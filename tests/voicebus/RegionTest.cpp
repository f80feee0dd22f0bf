#include "voicebus/Region.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
std::unique_ptr<VoiceBus::Region> makeRegion()
{
    auto region = std::make_unique<VoiceBus::Region>();
    std::memset(static_cast<void*>(region.get()), 0xAB, sizeof(VoiceBus::Region));
    return region;
}

// The reference the ring writer must agree with: one masked store per sample.
void writeSampleBySample(VoiceBus::Region& region, uint32_t writePos, const float* samples, int n)
{
    for (int k = 0; k < n; ++k)
        region.ring[(writePos + static_cast<uint32_t>(k)) & VoiceBus::ringMask] = samples[k];
}
} // namespace

TEST(Region, InitialisedRegionIsZeroWithTheLayoutTagInLittleEndian)
{
    auto region = makeRegion();
    VoiceBus::initialise(*region);

    const auto* bytes = reinterpret_cast<const unsigned char*>(region.get());
    const unsigned char tag[] = {0x32, 0x42, 0x56, 0x53};
    EXPECT_EQ(0, std::memcmp(bytes, tag, 4));
    for (std::size_t i = 4; i < VoiceBus::regionSize; ++i)
        ASSERT_EQ(0, bytes[i]) << "byte " << i;
}

TEST(Region, NamesAndFallbackPaths)
{
    struct Case
    {
        int bus;
        const char* tmpDir;
        const char* expectedPath;
    };
    const Case cases[] = {
        {0, nullptr, "/tmp/P_A"},
        {7, nullptr, "/tmp/P_H"},
        {2, "/var/tmp", "/var/tmp/P_C"},
        {2, "/var/tmp/", "/var/tmp/P_C"},
        {7, "", "/P_H"},
        {-4, nullptr, "/tmp/P_A"},
        {12, "/x", "/x/P_H"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expectedPath, VoiceBus::fallbackPath(c.bus, c.tmpDir, "P_")) << c.bus;

    EXPECT_EQ("/TonquillVoiceBus_A", VoiceBus::objectName(0, VoiceBus::productNamePrefix));
    EXPECT_EQ("/TonquillVoiceBus_H", VoiceBus::objectName(7, VoiceBus::productNamePrefix));
    EXPECT_EQ('H', VoiceBus::busLetter(9));
    EXPECT_EQ('A', VoiceBus::busLetter(-1));
}

TEST(Region, RingWritesMatchSampleBySampleWriting)
{
    struct Case
    {
        uint32_t writePos;
        int n;
    };
    const Case cases[] = {
        {0, 512},     {32760, 16}, {32767, 1},        {40000 - 512, 512}, {0, 32768},
        {100, 32768}, {5, 40000},  {0xFFFFFFF0u, 64}, {12345, 100000},    {32000, 0},
    };
    for (const auto& c : cases)
    {
        std::vector<float> samples(static_cast<std::size_t>(c.n));
        for (int k = 0; k < c.n; ++k)
            samples[static_cast<std::size_t>(k)] = static_cast<float>(k + 1);

        auto expected = makeRegion();
        auto actual = makeRegion();
        writeSampleBySample(*expected, c.writePos, samples.data(), c.n);
        VoiceBus::writeRing(*actual, c.writePos, samples.data(), c.n);
        EXPECT_EQ(0, std::memcmp(expected.get(), actual.get(), VoiceBus::regionSize))
            << "writePos " << c.writePos << ", " << c.n << " samples";
    }
}

TEST(Region, FortyThousandSamplesEndInSlot7231)
{
    auto region = makeRegion();
    VoiceBus::initialise(*region);
    std::vector<float> samples(40000);
    for (std::size_t k = 0; k < samples.size(); ++k)
        samples[k] = static_cast<float>(k);

    uint32_t writePos = 0;
    for (std::size_t start = 0; start < samples.size(); start += 500)
    {
        VoiceBus::writeRing(*region, writePos, samples.data() + start, 500);
        writePos += 500;
    }
    EXPECT_EQ(40000u, writePos);
    EXPECT_EQ(39999.0f, region->ring[7231]);
    EXPECT_EQ(39999u & VoiceBus::ringMask, 7231u);
}
