#include "plugin/VoiceSendProcessor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace
{
using Bytes = std::vector<unsigned char>;

Bytes frame(const std::string& xml, int32_t declaredLength)
{
    Bytes block(8 + xml.size() + 1, 0);
    std::memcpy(block.data(), "VC2!", 4);
    std::memcpy(block.data() + 4, &declaredLength, 4);
    std::memcpy(block.data() + 8, xml.data(), xml.size());
    return block;
}

Bytes frame(const std::string& xml)
{
    return frame(xml, static_cast<int32_t>(xml.size()));
}

Bytes stateOf(VoiceSendProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation(block);
    const auto* data = static_cast<const unsigned char*>(block.getData());
    return {data, data + block.getSize()};
}

void restore(VoiceSendProcessor& processor, const Bytes& block)
{
    processor.setStateInformation(block.data(), static_cast<int>(block.size()));
}

std::string nested(int depth)
{
    std::string open, close;
    for (int i = 0; i < depth; ++i)
    {
        open += "<a>";
        close += "</a>";
    }
    return open + close;
}

std::string element(const std::string& attributes)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <TonquillFX " + attributes + "/>";
}

struct Settings
{
    int bus;
    bool enabled;
    float gainDb;
    bool operator==(const Settings&) const = default;
};

Settings settingsOf(const VoiceSendProcessor& p)
{
    return {p.bus, p.enabled.load(), p.gainDb.load()};
}

std::ostream& operator<<(std::ostream& out, const Settings& s)
{
    return out << "bus " << s.bus << ", enabled " << s.enabled << ", gainDb " << s.gainDb;
}

class StateTest : public testing::Test
{
protected:
    void SetUp() override { TestEnvironment::removeRegions(); }
    void TearDown() override { TestEnvironment::removeRegions(); }
};
} // namespace

TEST_F(StateTest, AFreshProcessorSavesTheseExactBytes)
{
    VoiceSendProcessor processor;
    const std::string text =
        R"(<?xml version="1.0" encoding="UTF-8"?> <TonquillFX bus="0" enabled="1" gainDb="0.0"/>)";
    const unsigned char header[] = {0x56, 0x43, 0x32, 0x21, 0x55, 0x00, 0x00, 0x00};
    Bytes golden(std::begin(header), std::end(header));
    for (char c : text)
        golden.push_back(static_cast<unsigned char>(c));
    golden.push_back(0x00);
    EXPECT_EQ(golden, stateOf(processor));
}

TEST_F(StateTest, SavedSettingsRoundTripIntoAnotherProcessor)
{
    VoiceSendProcessor source;
    source.selectBus(2);
    source.enabled = false;
    source.gainDb = -4.5f;
    EXPECT_EQ(frame(element(R"(bus="2" enabled="0" gainDb="-4.5")")), stateOf(source));

    const float unusual[] = {-6.0f, 23.5f, 0.1f, -1.0e-7f, 1234.567f};
    for (float gain : unusual)
    {
        source.gainDb = gain;
        VoiceSendProcessor target;
        restore(target, stateOf(source));
        EXPECT_EQ(settingsOf(source), settingsOf(target));
        EXPECT_EQ(2, target.endpoint.openBus);
        EXPECT_NE(nullptr, target.endpoint.region);
    }
}

TEST_F(StateTest, RestoringTheSameBusKeepsTheMapping)
{
    VoiceSendProcessor processor;
    auto* mapping = processor.endpoint.region;
    const int fd = processor.endpoint.fd;
    restore(processor, frame(element(R"(bus="0" enabled="0")")));
    EXPECT_EQ(mapping, processor.endpoint.region);
    EXPECT_EQ(fd, processor.endpoint.fd);
    EXPECT_FALSE(processor.enabled);
}

TEST_F(StateTest, RestoringIntoAClosedEndpointOpensItEvenOnTheSameBus)
{
    VoiceSendProcessor processor;
    processor.endpoint.close();
    restore(processor, frame(element(R"(bus="0")")));
    EXPECT_NE(nullptr, processor.endpoint.region);
    EXPECT_EQ(0, processor.endpoint.openBus);
}

TEST_F(StateTest, UsableBlocksAreReadLeniently)
{
    struct Case
    {
        std::string xml;
        Settings expected;
    };
    const Case cases[] = {
        {element(R"(bus="5" enabled="0" gainDb="3.5")"), {5, false, 3.5f}},
        {R"(<tonquillfx bus="1" enabled="1" gainDb="-2"/>)", {1, true, -2.0f}},
        {element(""), {0, true, 0.0f}},
        {element(R"(enabled="yes")"), {0, true, 0.0f}},
        {element(R"(enabled="True")"), {0, true, 0.0f}},
        {element(R"(enabled=" t")"), {0, true, 0.0f}},
        {element(R"(enabled="no")"), {0, false, 0.0f}},
        {element(R"(enabled="false")"), {0, false, 0.0f}},
        {element(R"(enabled="")"), {0, false, 0.0f}},
        {element(R"(bus="3x")"), {3, true, 0.0f}},
        {element(R"(bus="x")"), {0, true, 0.0f}},
        {element(R"(bus=" +4")"), {4, true, 0.0f}},
        {element(R"(bus="-3")"), {0, true, 0.0f}},
        {element(R"(bus="12")"), {7, true, 0.0f}},
        {element(R"(gainDb="-250")"), {0, true, -250.0f}},
        {element(R"(gainDb="abc")"), {0, true, 0.0f}},
        {element(R"(bus="&#51;" enabled="&#x6E;o" gainDb="&amp;1")"), {3, false, 0.0f}},
    };
    for (const auto& c : cases)
    {
        VoiceSendProcessor processor;
        processor.selectBus(6);
        processor.enabled = false;
        processor.gainDb = 9.0f;
        restore(processor, frame(c.xml));
        EXPECT_EQ(c.expected, settingsOf(processor)) << c.xml;
        EXPECT_EQ(c.expected.bus, processor.endpoint.openBus) << c.xml;
    }
}

TEST_F(StateTest, ADeclaredLengthPastTheEndReadsOnlyWhatIsThere)
{
    VoiceSendProcessor processor;
    const auto xml = element(R"(bus="4" enabled="0" gainDb="1.5")");
    restore(processor, frame(xml, 100000));
    EXPECT_EQ((Settings{4, false, 1.5f}), settingsOf(processor));
}

TEST_F(StateTest, UnusableBlocksChangeNothingAtAll)
{
    const auto good = frame(element(R"(bus="4" enabled="0" gainDb="1.5")"));
    auto wrongMagic = good;
    wrongMagic[0] = 'X';
    const Bytes eightBytes(good.begin(), good.begin() + 8);

    struct Case
    {
        const char* what;
        Bytes block;
    };
    const Case cases[] = {
        {"empty", {}},
        {"eight bytes", eightBytes},
        {"wrong magic", wrongMagic},
        {"zero length", frame(element(R"(bus="4")"), 0)},
        {"negative length", frame(element(R"(bus="4")"), -5)},
        {"not XML", frame("this is not xml at all")},
        {"another tag", frame(R"(<OtherPlugin bus="4" enabled="0"/>)")},
        {"unmatched quotes", frame(R"(<TonquillFX bus="4)")},
        {"invalid UTF-8 in the header",
         frame("<?xml \xd6\xd6\xd6\xd6 version=\"1.0\"?> <TonquillFX bus=\"4\"/>")},
        {"text cut inside a character", frame(element(R"(bus="4")") + "\xe2\x82")},
        {"processing instruction inside the element", frame(R"(<TonquillFX bus="4"><?x?>a</TonquillFX>)")},
        {"an entity cut short at the end", frame(R"(<TonquillFX bus="4">&#x)")},
        {"an entity that names no character", frame(R"(<TonquillFX bus="4" enabled="&#xFFFFFFFF;"/>)")},
        {"thousands of nested elements", frame(R"(<TonquillFX bus="4">)" + nested(5000) + "</TonquillFX>")},
        {"unmatched tags", frame(R"(<TonquillFX bus="4"><inner></TonquillFX>)")},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        VoiceSendProcessor processor;
        processor.selectBus(6);
        processor.enabled = false;
        processor.gainDb = 9.0f;
        auto* mapping = processor.endpoint.region;
        const auto stateBefore = stateOf(processor);

        processor.setStateInformation(c.block.data(), static_cast<int>(c.block.size()));

        EXPECT_EQ((Settings{6, false, 9.0f}), settingsOf(processor));
        EXPECT_EQ(mapping, processor.endpoint.region);
        EXPECT_EQ(6, processor.endpoint.openBus);
        EXPECT_EQ(stateBefore, stateOf(processor));
    }
}
