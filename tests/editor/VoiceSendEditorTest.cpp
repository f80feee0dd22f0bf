// The plug-in window as a user meets it: where the controls sit, what each one does to the processor,
// and what the meter, the readout and the status line paint, read back from rendered images.

#include "editor/VoiceSendEditor.h"
#include "plugin/VoiceSendProcessor.h"
#include "style/AppFonts.h"
#include "style/ThemeManager.h"

#include "style/PixelProbe.h"
#include "support/TestEnvironment.h"

#include "support/MouseEvents.h"
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

// Reaches the window's private parts (declared a friend by the window).
struct VoiceSendEditorProbe
{
    static juce::ComboBox& busBox(VoiceSendEditor& e) { return e.busBox; }
    static juce::TextButton& sendButton(VoiceSendEditor& e) { return e.sendButton; }
    static VoiceKnob& trimKnob(VoiceSendEditor& e) { return e.trimKnob; }
    static juce::Rectangle<float> meterBounds(VoiceSendEditor& e) { return e.meterBounds; }
    static juce::Rectangle<int> readoutBounds(VoiceSendEditor& e) { return e.readoutBounds; }
    static const juce::String& statusText(VoiceSendEditor& e) { return e.statusText; }
    static juce::Colour statusColour(VoiceSendEditor& e) { return e.statusColour; }
    static void tick(VoiceSendEditor& e) { e.timerCallback(); }
};

using Probe = VoiceSendEditorProbe;
using PixelProbe::pixelNear;

namespace
{
const juce::Colour meterFill{0xff07070c};
const juce::Colour dimText{0xff555568};
const juce::Colour brightText{0xffcbd5e1};

struct Zone
{
    juce::Colour colour;
    int probeX; // a pixel column well inside the zone at the editor's size
};

// Zone columns at 320 x 190: the bar runs from x 86 to 240, -60 dB to 0 dB.
const Zone zones[] = {
    {juce::Colour(0xff334155), 140}, // -60 ... -18 dB: 86 ... 193.8
    {juce::Colour(0xff22c55e), 220}, // -18 ... -6 dB: 193.8 ... 224.6
    {juce::Colour(0xffeab308), 228}, // -6 ... -3 dB: 224.6 ... 232.3
    {juce::Colour(0xffef4444), 238}, // -3 ... 0 dB: 232.3 ... 240
};
constexpr int barRow = 110; // the bar covers rows 107.5 ... 114.5

juce::Colour lit(const Zone& z)
{
    return meterFill.overlaidWith(z.colour.withAlpha(0.85f));
}

juce::Colour dim(const Zone& z)
{
    return meterFill.overlaidWith(z.colour.withAlpha(0.16f));
}

juce::Image render(VoiceSendEditor& editor)
{
    return editor.createComponentSnapshot(editor.getLocalBounds(), true, 1.0f);
}

/** Checks that `area` of `image` shows exactly `text` as the window draws it: a reference drawing of the
    text, laid over the panel colour of each row (read where the text leaves the row empty), must match
    every pixel. A wrong text, sign, colour or position shows up as a mismatch. */
testing::AssertionResult showsText(const juce::Image& image, juce::Rectangle<int> area,
                                   const juce::String& text, juce::Colour colour, float fontSize,
                                   juce::Justification justification)
{
    juce::Image reference(juce::Image::ARGB, area.getWidth(), area.getHeight(), true,
                          juce::SoftwareImageType());
    {
        juce::Graphics g(reference);
        g.setFont(AppFonts::bold(fontSize));
        g.setColour(colour);
        g.drawText(text, juce::Rectangle<float>(0.0f, 0.0f, (float)area.getWidth(), (float)area.getHeight()),
                   justification, true);
    }
    int strokes = 0;
    for (int y = 0; y < area.getHeight(); ++y)
    {
        // The panel behind the text is a vertical gradient: one colour per row.
        std::optional<juce::Colour> panel;
        for (int x = 0; x < area.getWidth() && !panel; ++x)
            if (reference.getPixelAt(x, y).getAlpha() == 0)
                panel = image.getPixelAt(area.getX() + x, area.getY() + y);
        if (!panel)
            return testing::AssertionFailure() << "\"" << text << "\" fills row " << area.getY() + y;

        for (int x = 0; x < area.getWidth(); ++x)
        {
            const auto ink = reference.getPixelAt(x, y);
            strokes += ink.getAlpha() >= 48 ? 1 : 0;
            const auto expected = panel->overlaidWith(ink);
            const auto actual = image.getPixelAt(area.getX() + x, area.getY() + y);
            if (!PixelProbe::near(actual, expected, 8))
                return testing::AssertionFailure()
                       << "\"" << text << "\": pixel (" << area.getX() + x << ", " << area.getY() + y
                       << ") is " << PixelProbe::argb(actual) << ", expected " << PixelProbe::argb(expected);
        }
    }
    if (strokes == 0)
        return testing::AssertionFailure() << "\"" << text << "\" draws nothing to compare";
    return testing::AssertionSuccess();
}

void click(juce::Button& button)
{
    // Through Component, where the mouse handlers are public.
    juce::Component& c = button;
    const auto e = MouseEvents::at(button, 1);
    c.mouseDown(e);
    c.mouseUp(e);
}

class EditorWindow : public testing::Test
{
protected:
    void SetUp() override { TestEnvironment::removeRegions(); }
    void TearDown() override { TestEnvironment::removeRegions(); }
};
} // namespace

TEST_F(EditorWindow, FixedSizeAndLayout)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);
    EXPECT_EQ(juce::Rectangle<int>(0, 0, 320, 190), editor.getLocalBounds());
    EXPECT_FALSE(editor.isResizable());
    EXPECT_EQ(juce::Rectangle<int>(20, 50, 104, 24), Probe::busBox(editor).getBounds());
    EXPECT_EQ(juce::Rectangle<int>(132, 50, 84, 24), Probe::sendButton(editor).getBounds());
    EXPECT_EQ(juce::Rectangle<int>(20, 86, 52, 50), Probe::trimKnob(editor).getBounds());
    EXPECT_EQ(juce::Rectangle<float>(84.0f, 105.0f, 158.0f, 12.0f), Probe::meterBounds(editor));
    EXPECT_EQ(juce::Rectangle<int>(248, 86, 52, 50), Probe::readoutBounds(editor));
}

TEST_F(EditorWindow, BusItemsAreTheLettersWithIdsOneAbove)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);
    auto& box = Probe::busBox(editor);
    ASSERT_EQ(8, box.getNumItems());
    for (int i = 0; i < 8; ++i)
    {
        EXPECT_EQ("Bus " + juce::String::charToString((juce::juce_wchar)('A' + i)), box.getItemText(i));
        EXPECT_EQ(i + 1, box.getItemId(i));
    }
}

TEST_F(EditorWindow, OpensOnTheProcessorsBusWithoutTouchingTheMapping)
{
    VoiceSendProcessor proc;
    proc.selectBus(3);
    ASSERT_NE(nullptr, proc.endpoint.region);
    // The name is gone, so a re-open would map a fresh region without this mark.
    proc.endpoint.region->writePos = 4321;
    TestEnvironment::removeRegions();

    VoiceSendEditor editor(proc);
    EXPECT_EQ(4, Probe::busBox(editor).getSelectedId());
    EXPECT_EQ(juce::String("Bus D"), Probe::busBox(editor).getText());
    ASSERT_NE(nullptr, proc.endpoint.region);
    EXPECT_EQ(4321u, proc.endpoint.region->writePos);
}

TEST_F(EditorWindow, PickingAnItemMovesTheProcessorToThatBus)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);
    auto& box = Probe::busBox(editor);
    struct Case
    {
        int itemId, bus;
    };
    // Item 0 (nothing selected) and unknown IDs land on the nearest bus.
    const Case cases[] = {{2, 1}, {8, 7}, {5, 4}, {0, 0}, {3, 2}, {12, 0}, {1, 0}};
    for (const auto& c : cases)
    {
        box.setSelectedId(c.itemId, juce::sendNotificationSync);
        EXPECT_EQ(c.bus, proc.bus) << "item " << c.itemId;
        EXPECT_EQ(c.bus, proc.endpoint.openBus) << "item " << c.itemId;
        EXPECT_NE(nullptr, proc.endpoint.region) << "item " << c.itemId;
    }
}

TEST_F(EditorWindow, PickingTheBusAlreadyHeldKeepsItsMapping)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc); // shows Bus A
    proc.selectBus(3);            // as a state restored while the window is open
    ASSERT_NE(nullptr, proc.endpoint.region);
    proc.endpoint.region->writePos = 4321;
    TestEnvironment::removeRegions();

    Probe::busBox(editor).setSelectedId(4, juce::sendNotificationSync);
    EXPECT_EQ(3, proc.bus);
    ASSERT_NE(nullptr, proc.endpoint.region);
    EXPECT_EQ(4321u, proc.endpoint.region->writePos);
}

TEST_F(EditorWindow, PickingTheBusOfAClosedEndpointOpensItAgain)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc); // shows Bus A
    proc.selectBus(3);
    proc.endpoint.close();

    Probe::busBox(editor).setSelectedId(4, juce::sendNotificationSync);
    EXPECT_EQ(3, proc.bus);
    EXPECT_EQ(3, proc.endpoint.openBus);
    EXPECT_NE(nullptr, proc.endpoint.region);
}

TEST_F(EditorWindow, EachClickFlipsSendingAndTheTextStays)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);
    auto& button = Probe::sendButton(editor);
    EXPECT_TRUE(button.getToggleState());
    for (bool expected : {false, true, false})
    {
        click(button);
        EXPECT_EQ(expected, proc.enabled.load());
        EXPECT_EQ(expected, button.getToggleState());
        EXPECT_EQ(juce::String("SENDING"), button.getButtonText());
    }
}

TEST_F(EditorWindow, SwitchStartsFromTheProcessor)
{
    VoiceSendProcessor proc;
    proc.enabled = false;
    VoiceSendEditor editor(proc);
    EXPECT_FALSE(Probe::sendButton(editor).getToggleState());
    click(Probe::sendButton(editor));
    EXPECT_TRUE(proc.enabled.load());
}

TEST_F(EditorWindow, KnobWritesTheTrimAndDoubleClickResetsIt)
{
    VoiceSendProcessor proc;
    proc.gainDb = 7.5f;
    VoiceSendEditor editor(proc);
    auto& knob = Probe::trimKnob(editor);
    EXPECT_EQ(7.5, knob.getValue());
    EXPECT_EQ(juce::String("SEND"), knob.caption);

    struct Case
    {
        double set;
        float gainDb;
    };
    const Case cases[] = {{-3.5, -3.5f}, {3.3, 3.5f}, {30.0, 24.0f}, {-40.0, -12.0f}};
    for (const auto& c : cases)
    {
        knob.setValue(c.set, juce::sendNotificationSync);
        EXPECT_EQ(c.gainDb, proc.gainDb.load()) << "set " << c.set;
    }

    knob.mouseDoubleClick(MouseEvents::at(knob, 2));
    EXPECT_EQ(0.0, knob.getValue());
    EXPECT_EQ(0.0f, proc.gainDb.load());
}

TEST(LevelMeter, LevelOfAPeak)
{
    struct Case
    {
        float peak, db;
    };
    const Case cases[] = {
        {1.0f, 0.0f},
        {0.5f, -6.0206f},
        {2.0f, 6.0206f},
        {0.00001f, -100.0f}, // at the floor: silence
        {0.0000101f, -99.9136f},
        {0.0f, -100.0f},
        {-1.0f, -100.0f},
        {std::numeric_limits<float>::quiet_NaN(), -100.0f},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.db, LevelMeter::levelDb(c.peak), 1e-3) << "peak " << c.peak;
}

TEST(LevelMeter, ReadoutRoundsHalfToEvenAndHidesTheFloor)
{
    struct Case
    {
        float db;
        const char* text;
    };
    const Case cases[] = {
        {0.0f, "0 dB"},     {-6.0206f, "-6 dB"}, {6.0206f, "6 dB"}, {-12.4f, "-12 dB"}, {-6.5f, "-6 dB"},
        {-7.5f, "-8 dB"},   {2.5f, "2 dB"},      {0.5f, "0 dB"},    {-0.4f, "0 dB"},    {-98.7f, "-99 dB"},
        {-98.5f, "-98 dB"}, {-99.0f, "--"},      {-100.0f, "--"},   {-99.5f, "--"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(juce::String(c.text), LevelMeter::readout(c.db)) << "level " << c.db;
}

TEST(LevelMeter, AnInfinitePeakReadsAsTheLoudestNumber)
{
    // A broken plug-in ahead of ours can hand the track an infinite sample.
    const float db = LevelMeter::levelDb(std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isfinite(db));
    EXPECT_EQ(juce::String("771 dB"), LevelMeter::readout(db));
}

TEST_F(EditorWindow, MeterZonesAndReadoutFollowTheSentPeak)
{
    struct Case
    {
        float peak;
        int litZones; // zones 0 ... litZones-1 lit at their probe column, the rest dim
        const char* readout;
        juce::Colour readoutColour;
    };
    const Case cases[] = {
        {1.0f, 4, "0 dB", brightText},
        {0.5f, 2, "-6 dB", brightText},
        {0.0f, 0, "--", dimText},
        {2.0f, 4, "6 dB", brightText},
    };
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "peak " << c.peak);
        proc.sendPeak = c.peak;
        const auto image = render(editor);
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(
                pixelNear(image, zones[i].probeX, barRow, i < c.litZones ? lit(zones[i]) : dim(zones[i])))
                << "zone " << i;
        EXPECT_TRUE(showsText(image, Probe::readoutBounds(editor), c.readout, c.readoutColour, 9.5f,
                              juce::Justification::centredRight));
    }
}

TEST_F(EditorWindow, ALitZoneEndsAtTheLevel)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);

    proc.sendPeak = 0.1f; // -20 dB: zone 0 lit up to 188.7, its rest up to 193.8 left bare
    auto image = render(editor);
    EXPECT_TRUE(pixelNear(image, 187, barRow, lit(zones[0])));
    EXPECT_TRUE(pixelNear(image, 191, barRow, meterFill));
    EXPECT_TRUE(pixelNear(image, 196, barRow, dim(zones[1])));
    EXPECT_TRUE(showsText(image, Probe::readoutBounds(editor), "-20 dB", brightText, 9.5f,
                          juce::Justification::centredRight));

    proc.sendPeak = 0.5f; // -6.02 dB: up to 224.55, against the green zone's end at 224.6
    image = render(editor);
    EXPECT_TRUE(pixelNear(image, 223, barRow, lit(zones[1])));
    EXPECT_TRUE(pixelNear(image, 225, barRow, dim(zones[2])));
}

TEST_F(EditorWindow, TitleSubtitleAndStatusAreDrawn)
{
    VoiceSendProcessor proc;
    VoiceSendEditor editor(proc);
    const auto accent = ThemeManager::get().currentTheme().accent();
    const juce::Rectangle<int> header(20, 20, 280, 22), status(20, 150, 280, 20);
    const auto left = juce::Justification::centredLeft;

    auto image = render(editor);
    EXPECT_TRUE(showsText(image, header.withWidth(140), "Tonquill FX", accent, 13.0f, left));
    EXPECT_TRUE(showsText(image, header.withTrimmedLeft(140), "VOICE SEND", dimText, 9.0f,
                          juce::Justification::centredRight));
    EXPECT_TRUE(showsText(image, status, "Starting...", dimText, 10.0f, left));

    // Three ticks without a receiver: the status line says so in amber.
    for (int i = 0; i < 3; ++i)
        Probe::tick(editor);
    EXPECT_EQ(juce::String("No Tonquill on bus A"), Probe::statusText(editor));
    image = render(editor);
    EXPECT_TRUE(showsText(image, status, "No Tonquill on bus A", juce::Colour(0xffeab308), 10.0f, left));
}

TEST_F(EditorWindow, AnIdleForeignRegionIsTakenOverAndTheSameTickShowsTheNewLayout)
{
    VoiceSendProcessor proc;
    ASSERT_NE(nullptr, proc.endpoint.region);
    // Another program's layout on bus A, with bytes where ours keeps the rate, counter and heartbeat.
    auto* region = proc.endpoint.region;
    region->magic = 0x53564231;
    region->sampleRate = 48000.0;
    region->blockCounter = 17;
    region->receiverHeartbeat = 5;
    region->ring[100] = 0.25f;
    proc.endpoint.open(0);
    ASSERT_TRUE(proc.endpoint.versionMismatch.load());
    region = proc.endpoint.region;
    ASSERT_NE(nullptr, region);

    VoiceSendEditor editor(proc);
    Probe::tick(editor); // records the activity now: nothing is taken over yet
    EXPECT_EQ(juce::String("Tonquill / FX version mismatch - update BOTH plugins"),
              Probe::statusText(editor));
    EXPECT_EQ(juce::Colour(0xffef4444), Probe::statusColour(editor));
    EXPECT_EQ(0x53564231u, region->magic);
    EXPECT_EQ(22, proc.endpoint.lastActivity);

    // As if that activity had been seen long ago.
    proc.endpoint.lastActivityChangeMs = juce::Time::getMillisecondCounterHiRes() - 5000.0;
    Probe::tick(editor);
    EXPECT_FALSE(proc.endpoint.versionMismatch.load());
    EXPECT_EQ(VoiceBus::layoutMagic, region->magic);
    EXPECT_EQ(0.0, region->sampleRate);
    EXPECT_EQ(0u, region->blockCounter);
    EXPECT_EQ(0u, region->receiverHeartbeat);
    EXPECT_EQ(0.0f, region->ring[100]);
    // The heartbeat was still 5 when read, one tick after it was first seen: a receiver counts as
    // present, and the rate is that of the wiped region.
    EXPECT_EQ(juce::String("Connected  -  0 Hz"), Probe::statusText(editor));
    EXPECT_EQ(juce::Colour(0xff22c55e), Probe::statusColour(editor));

    // The send path publishes into the new layout.
    juce::AudioBuffer<float> block(1, 64);
    block.clear();
    juce::MidiBuffer midi;
    proc.prepareToPlay(44100.0, 64);
    proc.processBlock(block, midi);
    EXPECT_EQ(1u, region->blockCounter);
}

TEST_F(EditorWindow, AForeignRegionInUseIsNotTakenOver)
{
    VoiceSendProcessor proc;
    auto* region = proc.endpoint.region;
    ASSERT_NE(nullptr, region);
    region->magic = 0x53564231;
    proc.endpoint.open(0);
    region = proc.endpoint.region;
    ASSERT_NE(nullptr, region);

    VoiceSendEditor editor(proc);
    Probe::tick(editor);
    // Long quiet, but its counter moves just before this tick: the count starts again.
    proc.endpoint.lastActivityChangeMs = juce::Time::getMillisecondCounterHiRes() - 5000.0;
    ++region->blockCounter;
    Probe::tick(editor);
    EXPECT_TRUE(proc.endpoint.versionMismatch.load());
    EXPECT_EQ(0x53564231u, region->magic);
    EXPECT_EQ(juce::String("Tonquill / FX version mismatch - update BOTH plugins"),
              Probe::statusText(editor));
}
