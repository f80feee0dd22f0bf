#include "editor/VoiceKnob.h"
#include "style/ThemeManager.h"

#include "style/PixelProbe.h"

#include "support/MouseEvents.h"
#include <gtest/gtest.h>

using PixelProbe::pixelNear;

namespace
{
constexpr float pi = juce::MathConstants<float>::pi;

struct LayoutCase
{
    const char* name;
    int w, h;
    float scale;
    juce::Rectangle<int> dial, text;
    float unit, centreX, centreY;
    juce::Rectangle<float> body;
    float arcRadius, stroke, outline, pointerInner, pointerOuter, pointerThickness, fontSize;
};

// clang-format off
const LayoutCase layoutCases[] = {
    {"editor size", 52, 50, 1.0f, {8, 0, 36, 36}, {0, 36, 52, 14},
     1.0f, 26.0f, 18.0f, {12, 4, 28, 28}, 15.5f, 2.5f, 0.8f, 8.5f, 13.5f, 1.6f, 9.0f},
    {"editor size at uiScale 150: text keeps 7 x scale", 52, 50, 1.5f, {8, 0, 36, 36}, {0, 36, 52, 14},
     1.0f, 26.0f, 18.0f, {12, 4, 28, 28}, 15.5f, 2.5f, 0.8f, 8.5f, 13.5f, 1.6f, 7.0f},
    {"twice the editor size", 104, 100, 1.0f, {16, 0, 72, 72}, {0, 72, 104, 28},
     2.0f, 52.0f, 36.0f, {24, 8, 56, 56}, 31.0f, 5.0f, 1.6f, 17.0f, 27.0f, 3.2f, 18.0f},
    {"twice the size at uiScale 200", 104, 100, 2.0f, {16, 0, 72, 72}, {0, 72, 104, 28},
     2.0f, 52.0f, 36.0f, {24, 8, 56, 56}, 31.0f, 5.0f, 1.6f, 17.0f, 27.0f, 3.2f, 9.0f},
    {"shorter than 12: 12-pixel dial, no strip, shifted up", 52, 9, 1.0f, {20, -1, 12, 12}, {0, 9, 52, 0},
     1.0f / 3.0f, 26.0f, 5.0f, {21.333333f, 0.333333f, 9.333333f, 9.333333f}, 5.166667f, 2.5f, 0.8f, 2.833333f,
     4.5f, 1.6f, 7.0f},
    {"narrower and shorter than 12: offsets truncate toward zero", 5, 9, 1.0f, {-3, -1, 12, 12}, {0, 9, 5, 0},
     1.0f / 3.0f, 3.0f, 5.0f, {-1.666667f, 0.333333f, 9.333333f, 9.333333f}, 5.166667f, 2.5f, 0.8f, 2.833333f,
     4.5f, 1.6f, 7.0f},
    {"narrow: dial as wide as the knob", 30, 50, 1.0f, {0, 0, 30, 30}, {0, 30, 30, 20},
     30.0f / 36.0f, 15.0f, 15.0f, {3.333333f, 3.333333f, 23.333333f, 23.333333f}, 12.916667f, 2.5f, 0.8f,
     7.083333f, 11.25f, 1.6f, 9.0f},
    {"odd height rounds the dial", 52, 51, 1.0f, {7, 0, 37, 37}, {0, 37, 52, 14},
     37.0f / 36.0f, 25.5f, 18.5f, {11.111111f, 4.111111f, 28.777778f, 28.777778f}, 15.930555f, 2.569444f,
     0.822222f, 8.736111f, 13.875f, 1.644444f, 9.18f},
};
// clang-format on

void expectNear(const juce::Rectangle<float>& actual, const juce::Rectangle<float>& expected)
{
    EXPECT_NEAR(actual.getX(), expected.getX(), 1e-4);
    EXPECT_NEAR(actual.getY(), expected.getY(), 1e-4);
    EXPECT_NEAR(actual.getWidth(), expected.getWidth(), 1e-4);
    EXPECT_NEAR(actual.getHeight(), expected.getHeight(), 1e-4);
}
} // namespace

TEST(VoiceKnobLayout, DialStripAndDrawingMeasures)
{
    for (const auto& c : layoutCases)
    {
        SCOPED_TRACE(c.name);
        const auto l = VoiceKnob::layoutFor(c.w, c.h, c.scale);
        EXPECT_EQ(l.dial, c.dial);
        EXPECT_EQ(l.text, c.text);
        EXPECT_NEAR(l.unit, c.unit, 1e-5);
        EXPECT_NEAR(l.centreX, c.centreX, 1e-5);
        EXPECT_NEAR(l.centreY, c.centreY, 1e-5);
        expectNear(l.body, c.body);
        EXPECT_NEAR(l.arcRadius, c.arcRadius, 1e-4);
        EXPECT_NEAR(l.strokeThickness, c.stroke, 1e-5);
        EXPECT_NEAR(l.outlineThickness, c.outline, 1e-5);
        EXPECT_NEAR(l.pointerInner, c.pointerInner, 1e-4);
        EXPECT_NEAR(l.pointerOuter, c.pointerOuter, 1e-4);
        EXPECT_NEAR(l.pointerThickness, c.pointerThickness, 1e-5);
        EXPECT_NEAR(l.fontSize, c.fontSize, 1e-4);
    }
}

TEST(VoiceKnobAngle, EditorRangeAndDegenerateRanges)
{
    struct Case
    {
        double value, min, max;
        float angle;
    };
    const Case cases[] = {
        {-12, -12, 24, 1.25f * pi}, // lower left, no value arc
        {0, -12, 24, 1.75f * pi},   // upper left
        {6, -12, 24, 2.0f * pi},    // straight up
        {24, -12, 24, 2.75f * pi},  // lower right
        {3, 3, 3, 1.25f * pi},      // empty range
        {1, 2, 0, 1.25f * pi},      // reversed range
    };
    for (const auto& c : cases)
        EXPECT_NEAR(VoiceKnob::angleForValue(c.value, c.min, c.max), c.angle, 1e-5)
            << c.value << " in " << c.min << " ... " << c.max;
}

TEST(VoiceKnob, ConstructorMakesARotaryVerticalDragKnob)
{
    const VoiceKnob knob("SEND");
    EXPECT_EQ(knob.caption, "SEND");
    EXPECT_EQ(knob.resetValue, 0.0);
    EXPECT_FALSE(knob.hasReset);
    EXPECT_EQ(knob.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
    EXPECT_EQ(knob.getTextBoxPosition(), juce::Slider::NoTextBox);
    EXPECT_EQ(knob.getTextBoxWidth(), 0);
    EXPECT_EQ(knob.getTextBoxHeight(), 0);
    const auto rotary = knob.getRotaryParameters();
    EXPECT_FLOAT_EQ(rotary.startAngleRadians, 3.9269909858703613f);
    EXPECT_FLOAT_EQ(rotary.endAngleRadians, 8.63938045501709f);
    EXPECT_TRUE(rotary.stopAtEnd);
    EXPECT_FALSE(knob.getVelocityBasedMode());
    EXPECT_EQ(knob.getMouseDragSensitivity(), 180);
}

namespace
{

struct CountingListener : juce::Slider::Listener
{
    void sliderValueChanged(juce::Slider*) override { ++changes; }
    int changes = 0;
};

struct DoubleClickCase
{
    const char* name;
    bool hasReset;
    bool enabled;
    bool sliderOwnReturn; // the slider's own double-click return, to -12
    double start, reset;
    double expectedValue;
    int expectedChanges;
    int expectedDragStarts;
};

// clang-format off
const DoubleClickCase doubleClickCases[] = {
    {"resets",                                  true,  true,  false, 6,   0,   0,   1, 0},
    {"already at the reset value",              true,  true,  false, 0,   0,   0,   0, 0},
    {"reset value snaps to the current value",  true,  true,  false, 0.5, 0.3, 0.5, 0, 0},
    {"reset value outside the range clamps",    true,  true,  false, 0,   100, 24,  1, 0},
    {"slider's own return is not consulted",    true,  true,  true,  6,   0,   0,   1, 0},
    {"disabled knob keeps its value",           true,  false, false, 6,   0,   6,   0, 0},
    {"without reset the slider's own handling", false, true,  true,  6,   0,   -12, 1, 1},
    {"without reset and without own return",    false, true,  false, 6,   0,   6,   0, 0},
};
// clang-format on
} // namespace

TEST(VoiceKnob, DoubleClickResetNotifiesOnceBeforeReturning)
{
    for (const auto& c : doubleClickCases)
    {
        SCOPED_TRACE(c.name);
        VoiceKnob knob("SEND");
        knob.setSize(52, 50);
        knob.setRange(-12.0, 24.0, 0.5);
        knob.setValue(c.start, juce::dontSendNotification);
        knob.hasReset = c.hasReset;
        knob.resetValue = c.reset;
        knob.setEnabled(c.enabled);
        if (c.sliderOwnReturn)
            knob.setDoubleClickReturnValue(true, -12.0);

        int callbacks = 0, dragStarts = 0, dragEnds = 0;
        double seenInCallback = std::numeric_limits<double>::quiet_NaN();
        knob.onValueChange = [&]
        {
            ++callbacks;
            seenInCallback = knob.getValue();
        };
        knob.onDragStart = [&] { ++dragStarts; };
        knob.onDragEnd = [&] { ++dragEnds; };
        CountingListener listener;
        knob.addListener(&listener);

        knob.mouseDoubleClick(MouseEvents::at(knob, 2));

        // Counted right after the call, with no message loop run: any notification was synchronous.
        EXPECT_EQ(knob.getValue(), c.expectedValue);
        EXPECT_EQ(callbacks, c.expectedChanges);
        EXPECT_EQ(listener.changes, c.expectedChanges);
        if (c.expectedChanges > 0)
        {
            EXPECT_EQ(seenInCallback, c.expectedValue);
        }
        EXPECT_EQ(dragStarts, c.expectedDragStarts);
        EXPECT_EQ(dragEnds, c.expectedDragStarts);
        knob.removeListener(&listener);
    }
}

namespace
{
constexpr float zoom = 4.0f; // at 4x the editor-size knob's thin strokes cover whole pixels

const juce::Colour idleTop(0xff0f0f14u), idleBottom(0xff0a0a10u);
const juce::Colour hoverTop(0xff141420u), hoverBottom(0xff0f0f18u);
const juce::Colour trackColour(0xff1c1c26u);

juce::Image renderKnob(VoiceKnob& knob, bool mouseOver)
{
    return PixelProbe::render(knob.getWidth(), knob.getHeight(), zoom,
                              [&](juce::Graphics& g) { knob.paintWithMouseState(g, mouseOver); });
}

struct LookCase
{
    const char* name;
    bool enabled;
    bool mouseOver;
    bool hoverLook;
};
} // namespace

TEST(VoiceKnobPaint, IdleHoveredAndDisabledLooks)
{
    const LookCase cases[] = {
        {"idle", true, false, false},
        {"hovered", true, true, true},
        {"disabled", false, false, false},
        {"disabled under the mouse", false, true, false},
    };
    const auto accent = ThemeManager::get().currentTheme().accent();

    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        VoiceKnob knob("SEND");
        knob.setSize(52, 50);
        knob.setRange(-12.0, 24.0, 0.5);
        knob.setTextValueSuffix(" dB");
        knob.setValue(6.0, juce::dontSendNotification); // pointer straight up
        knob.setEnabled(c.enabled);
        const auto image = renderKnob(knob, c.mouseOver);

        const float alpha = c.enabled ? 1.0f : 0.38f;
        const auto top = c.hoverLook ? hoverTop : idleTop;
        const auto bottom = c.hoverLook ? hoverBottom : idleBottom;
        const auto bodyAt = [&](int row)
        { return PixelProbe::gradientAt(top, bottom, 0, 36, (row + 0.5f) / zoom); };

        // Body: the vertical gradient over the dial square, never faded.
        EXPECT_TRUE(pixelNear(image, 104, 100, bodyAt(100), 2));
        // Body outline at the bottom of the body, outside its fill.
        const juce::Colour outline(c.hoverLook ? 0xff3a3a48u : 0xff252530u);
        EXPECT_TRUE(pixelNear(image, 104, 128, outline.withMultipliedAlpha(alpha)));
        // Track, right of the centre: the value arc does not reach it; never faded.
        EXPECT_TRUE(pixelNear(image, 166, 72, trackColour));
        // Value arc, left of the centre, over the track.
        EXPECT_TRUE(pixelNear(image, 42, 72, trackColour.overlaidWith(accent.withMultipliedAlpha(alpha))));
        // Pointer, pointing up.
        const auto pointer = c.hoverLook ? juce::Colours::white : juce::Colour(0xffcbd5e1u);
        EXPECT_TRUE(pixelNear(image, 103, 28, bodyAt(28).overlaidWith(pointer.withMultipliedAlpha(alpha))));
        EXPECT_TRUE(pixelNear(image, 104, 44, bodyAt(44), 2)) << "pointer ends at radius 8.5";

        // Text strip: the value in the accent while hovered, else the caption in grey; never faded.
        const auto text = PixelProbe::strongest(image, {0, 144, 208, 56});
        EXPECT_TRUE(PixelProbe::near(text, c.hoverLook ? accent : juce::Colour(0xff555568u)));
        EXPECT_TRUE(pixelNear(image, 2, 198, juce::Colours::transparentBlack, 0));
    }
}

TEST(VoiceKnobPaint, NoValueArcAtTheStartOfTheRange)
{
    VoiceKnob knob("SEND");
    knob.setSize(52, 50);
    knob.setRange(-12.0, 24.0, 0.5);
    knob.setValue(-12.0, juce::dontSendNotification);
    const auto image = renderKnob(knob, false);
    EXPECT_TRUE(pixelNear(image, 42, 72, trackColour));
    EXPECT_TRUE(pixelNear(image, 166, 72, trackColour));
    // The pointer points to the lower left, 8.5 to 13.5 pixels out from the centre at (26, 18).
    const float r = 11.0f, angle = 1.25f * pi;
    const int px = juce::roundToInt((26.0f + r * std::sin(angle)) * zoom);
    const int py = juce::roundToInt((18.0f - r * std::cos(angle)) * zoom);
    EXPECT_TRUE(pixelNear(image, px, py, juce::Colour(0xffcbd5e1u), 4));
}

TEST(VoiceKnobPaint, TinyKnobPaintsWithoutText)
{
    VoiceKnob knob("SEND");
    knob.setSize(5, 9);
    knob.setRange(-12.0, 24.0, 0.5);
    knob.setValue(6.0, juce::dontSendNotification);
    const auto image = renderKnob(knob, true);
    EXPECT_GT(PixelProbe::strongest(image, image.getBounds()).getAlpha(), 0) << "the dial is still drawn";
}
