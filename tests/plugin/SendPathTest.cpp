#include "plugin/SendPath.h"
#include "plugin/VoiceSendProcessor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <limits>
#include <vector>

namespace
{
class SendPathTest : public testing::Test
{
protected:
    void SetUp() override
    {
        TestEnvironment::removeRegions();
        processor = std::make_unique<VoiceSendProcessor>();
        processor->prepareToPlay(48000.0, 512);
        ASSERT_NE(nullptr, processor->endpoint.region);
    }

    void TearDown() override
    {
        processor.reset();
        TestEnvironment::removeRegions();
    }

    VoiceBus::Region& region() { return *processor->endpoint.region; }

    /** Processes `block` and checks that the host's audio came back bit for bit. */
    void process(juce::AudioBuffer<float>& block)
    {
        juce::AudioBuffer<float> original(block);
        juce::MidiBuffer midi;
        processor->processBlock(block, midi);
        for (int ch = 0; ch < block.getNumChannels(); ++ch)
            ASSERT_EQ(0, std::memcmp(original.getReadPointer(ch), block.getReadPointer(ch),
                                     sizeof(float) * static_cast<std::size_t>(block.getNumSamples())))
                << "the host's channel " << ch << " was changed";
    }

    std::vector<float> published(uint32_t from, int n)
    {
        std::vector<float> samples;
        for (int k = 0; k < n; ++k)
            samples.push_back(region().ring[(from + static_cast<uint32_t>(k)) & VoiceBus::ringMask]);
        return samples;
    }

    std::vector<unsigned char> regionBytes()
    {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&region());
        return {bytes, bytes + VoiceBus::regionSize};
    }

    std::unique_ptr<VoiceSendProcessor> processor;
};

juce::AudioBuffer<float> constantBlock(std::initializer_list<float> channelValues, int n)
{
    juce::AudioBuffer<float> block(static_cast<int>(channelValues.size()), n);
    int ch = 0;
    for (float value : channelValues)
        juce::FloatVectorOperations::fill(block.getWritePointer(ch++), value, n);
    return block;
}
} // namespace

TEST_F(SendPathTest, PublishesTheTrimmedAverageAndLeavesTheTrackAlone)
{
    struct Case
    {
        const char* what;
        std::initializer_list<float> channels;
        float gainDb;
        float expectedSample;
    };
    const float plus6 = std::pow(10.0f, 6.0f * 0.05f);
    const Case cases[] = {
        {"stereo average", {1.0f, 0.0f}, 0.0f, 0.5f},
        {"mono passes as it is", {0.3f}, 0.0f, 0.3f},
        {"+6 dB", {0.25f, 0.25f}, 6.0f, 0.25f * plus6},
        {"0.008 dB is within unity: no multiply", {0.3f}, 0.008f, 0.3f},
        {"-100 dB silences", {0.7f, -0.2f}, -100.0f, 0.0f},
        {"-150 dB silences", {0.7f}, -150.0f, 0.0f},
        {"NaN trim silences", {0.7f}, std::numeric_limits<float>::quiet_NaN(), 0.0f},
        {"negative samples", {-0.8f, -0.4f}, 0.0f, -0.6f},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        processor->gainDb = c.gainDb;
        auto block = constantBlock(c.channels, 512);
        const uint32_t start = region().writePos;
        const uint64_t blocksBefore = region().blockCounter;

        process(block);

        EXPECT_EQ(start + 512, region().writePos);
        EXPECT_EQ(blocksBefore + 1, region().blockCounter);
        EXPECT_EQ(48000.0, region().sampleRate);
        EXPECT_EQ(processor->endpoint.senderId, region().senderId);
        for (float sample : published(start, 512))
            ASSERT_EQ(c.expectedSample, sample);
        EXPECT_EQ(std::abs(c.expectedSample), processor->sendPeak);
    }
}

TEST_F(SendPathTest, PeakIsTheLargestMagnitudeAndNaNNeverWins)
{
    juce::AudioBuffer<float> block(1, 515);
    block.clear();
    block.setSample(0, 3, -0.75f);
    block.setSample(0, 100, std::numeric_limits<float>::quiet_NaN());
    block.setSample(0, 514, 0.5f); // in the scalar tail
    process(block);
    EXPECT_EQ(0.75f, processor->sendPeak);

    block.setSample(0, 514, -0.9f);
    process(block);
    EXPECT_EQ(0.9f, processor->sendPeak);
}

TEST_F(SendPathTest, PausedSendingPublishesNothingButStillMeters)
{
    processor->enabled = false;
    const auto before = regionBytes();
    auto block = constantBlock({0.4f, 0.2f}, 256);
    process(block);
    EXPECT_EQ(before, regionBytes());
    EXPECT_FLOAT_EQ(0.3f, processor->sendPeak);
}

TEST_F(SendPathTest, BlocksLongerThanTheScratchBufferPassThroughUnsent)
{
    auto fits = constantBlock({0.5f}, 1024);
    process(fits);
    EXPECT_EQ(1024u, region().writePos);

    processor->sendPeak = 0.123f;
    const auto before = regionBytes();
    auto tooLong = constantBlock({0.9f}, 1025);
    process(tooLong);
    EXPECT_EQ(before, regionBytes());
    EXPECT_EQ(0.123f, processor->sendPeak);
}

TEST_F(SendPathTest, BeforePrepareToPlayNothingIsSent)
{
    VoiceSendProcessor unprepared;
    const auto before = regionBytes();
    auto block = constantBlock({0.5f, 0.5f}, 64);
    juce::MidiBuffer midi;
    unprepared.processBlock(block, midi);
    EXPECT_EQ(before, regionBytes());
    EXPECT_EQ(0.0f, unprepared.sendPeak);
}

TEST_F(SendPathTest, AnotherSendersIdCountsOneCollisionAndIsReplaced)
{
    region().senderId = 0x4242;
    auto block = constantBlock({0.1f}, 64);
    process(block);
    EXPECT_EQ(1, processor->endpoint.collisionCount);
    EXPECT_EQ(processor->endpoint.senderId, region().senderId);

    process(block);
    EXPECT_EQ(1, processor->endpoint.collisionCount);
}

TEST_F(SendPathTest, AVersionMismatchKeepsTheRegionUntouched)
{
    region().magic = 1; // as if another layout had been found at open
    processor->endpoint.versionMismatch = true;
    const auto before = regionBytes();
    auto block = constantBlock({0.5f}, 64);
    process(block);
    EXPECT_EQ(before, regionBytes());
    EXPECT_EQ(0.5f, processor->sendPeak);
}

TEST(SendPathPieces, TrimGain)
{
    EXPECT_EQ(0.0f, SendPath::trimGain(-100.0f));
    EXPECT_EQ(0.0f, SendPath::trimGain(-1000.0f));
    EXPECT_GT(SendPath::trimGain(-99.9f), 0.0f);
    EXPECT_NEAR(1.995f, SendPath::trimGain(6.0f), 0.001f);
    EXPECT_NEAR(1.0f, SendPath::trimGain(0.008f), 0.001f);
}

TEST(SendPathPieces, DenormalsAreFlushedWhileProcessingAndTheModeRestored)
{
    TestEnvironment::removeRegions();
    VoiceSendProcessor processor;
    processor.prepareToPlay(44100.0, 64);
    processor.gainDb = -6.0f;
    auto block = constantBlock({std::numeric_limits<float>::denorm_min() * 64}, 64);
    const auto modeBefore = _mm_getcsr();
    juce::MidiBuffer midi;
    processor.processBlock(block, midi);
    EXPECT_EQ(modeBefore, _mm_getcsr());
    EXPECT_EQ(0.0f, processor.endpoint.region->ring[0]);
    EXPECT_EQ(0.0f, processor.sendPeak);
}
