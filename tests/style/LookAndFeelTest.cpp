#include "style/FxLnF.h"
#include "style/ThemeManager.h"
#include "style/VoiceStyle.h"

#include "style/PixelProbe.h"

#include <gtest/gtest.h>

using PixelProbe::gradientAt;
using PixelProbe::pixelNear;

namespace
{
// Drawings are made at 4x: a 0.8-pixel outline on a half-pixel edge then covers whole device pixels.
constexpr float zoom = 4.0f;

const juce::Colour idleTop(0xff0f0f14u), idleBottom(0xff0a0a10u);
const juce::Colour hoverTop(0xff141420u), hoverBottom(0xff0f0f18u);
const juce::Colour outlineIdle(0xff252530u), outlineHover(0xff3a3a48u);
const juce::Colour labelOn(0xffcbd5e1u), labelOff(0xff555568u);

juce::Colour accent()
{
    return ThemeManager::get().currentTheme().accent();
}

// Fill colour of a panel of height h (inset by half a pixel) at the centre of device row `row`.
juce::Colour fillAt(bool hovered, float h, int row)
{
    return gradientAt(hovered ? hoverTop : idleTop, hovered ? hoverBottom : idleBottom, 0.5f, h - 0.5f,
                      ((float)row + 0.5f) / zoom);
}
} // namespace

TEST(FxLnF, SetsMenuAndComboBoxColours)
{
    const FxLnF lnf;
    EXPECT_EQ(lnf.findColour(juce::PopupMenu::backgroundColourId), juce::Colour(0xff0f0f14u));
    EXPECT_EQ(lnf.findColour(juce::PopupMenu::textColourId), juce::Colour(0xffcbd5e1u));
    EXPECT_EQ(lnf.findColour(juce::PopupMenu::highlightedBackgroundColourId), accent().withAlpha(0.25f));
    EXPECT_EQ(lnf.findColour(juce::PopupMenu::highlightedTextColourId), juce::Colours::white);
    EXPECT_EQ(lnf.findColour(juce::ComboBox::textColourId), juce::Colour(0xffcbd5e1u));
}

struct GlassCase
{
    const char* name;
    bool active;
    bool hovered;
    juce::Colour tint;
    juce::Colour outline; // empty: the accent
};

TEST(VoiceStyleGlass, OutlineFillAndHighlight)
{
    const GlassCase cases[] = {
        {"active, opaque tint", true, false, juce::Colour(0xffe11d48u), juce::Colour(0xffe11d48u)},
        {"active, transparent tint", true, false, juce::Colours::transparentBlack, {}},
        {"active, transparent tint of another colour", true, true, juce::Colour(0x00ff0000u), {}},
        {"inactive ignores the tint", false, false, juce::Colour(0xffe11d48u), outlineIdle},
        {"inactive, hovered", false, true, juce::Colour(0xffe11d48u), outlineHover},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const auto image =
            PixelProbe::render(40, 20, zoom,
                               [&](juce::Graphics& g) {
                                   VoiceStyle::glass(g, {0, 0, 40, 20}, c.active, c.hovered, c.tint);
                               });
        const auto outline = c.outline.isTransparent() ? accent() : c.outline;
        EXPECT_TRUE(pixelNear(image, 2, 40, outline));   // left edge
        EXPECT_TRUE(pixelNear(image, 157, 40, outline)); // right edge
        EXPECT_TRUE(pixelNear(image, 80, 77, outline));  // bottom edge
        // 1.0 ... 1.25 pixels in: inside the 1.5-pixel active outline, past the 0.8-pixel inactive one.
        EXPECT_TRUE(pixelNear(image, 4, 40, c.active ? outline : fillAt(c.hovered, 20, 40), 2));
        EXPECT_TRUE(pixelNear(image, 80, 40, fillAt(c.hovered, 20, 40), 2));
        EXPECT_TRUE(pixelNear(image, 80, 70, fillAt(c.hovered, 20, 70), 2));
        // The faint highlight line just under the top outline.
        EXPECT_TRUE(
            pixelNear(image, 80, 5, fillAt(c.hovered, 20, 5).overlaidWith(juce::Colour(0x10ffffffu)), 2));
    }
}

TEST(VoiceStyleGlass, EmptyAndTinyAreasStayInPlace)
{
    const juce::Rectangle<float> areas[] = {{5, 5, 0, 0}, {5, 5, 1, 1}, {5, 5, -3, -3}, {5, 5, 4, 1}};
    for (const auto& area : areas)
    {
        SCOPED_TRACE(area.toString());
        for (bool active : {false, true})
        {
            const auto image = PixelProbe::render(
                12, 12, zoom,
                [&](juce::Graphics& g)
                { VoiceStyle::glass(g, area, active, false, juce::Colours::transparentBlack); });
            // Whatever a degenerate panel leaves, it stays within its stroke's reach of the area.
            const auto reach =
                area.withSize(juce::jmax(area.getWidth(), 0.0f), juce::jmax(area.getHeight(), 0.0f))
                    .expanded(1.5f)
                    .getSmallestIntegerContainer() *
                (int)zoom;
            for (int y = 0; y < image.getHeight(); ++y)
                for (int x = 0; x < image.getWidth(); ++x)
                {
                    if (!reach.contains(x, y))
                    {
                        ASSERT_EQ(image.getPixelAt(x, y).getAlpha(), 0) << x << ", " << y;
                    }
                }
        }
    }
}

struct ButtonCase
{
    const char* name;
    bool on;
    bool highlighted;
    bool down;
};

TEST(FxLnFButton, OutlineWashAndLabelFollowTheToggleState)
{
    const ButtonCase cases[] = {
        {"off", false, false, false},           {"off, hovered", false, true, false},
        {"off, held down", false, false, true}, {"on", true, false, false},
        {"on, hovered", true, true, false},
    };
    FxLnF lnf;
    juce::TextButton button("SEND");
    button.setSize(84, 24);
    button.setLookAndFeel(&lnf);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        button.setToggleState(c.on, juce::dontSendNotification);
        const auto image = PixelProbe::render(84, 24, zoom,
                                              [&](juce::Graphics& g)
                                              {
                                                  lnf.drawButtonBackground(g, button, juce::Colours::red,
                                                                           c.highlighted, c.down);
                                                  lnf.drawButtonText(g, button, c.highlighted, c.down);
                                              });
        const bool lit = c.highlighted || c.down;
        const auto outline = c.on ? accent() : (lit ? outlineHover : outlineIdle);
        EXPECT_TRUE(pixelNear(image, 2, 48, outline));
        EXPECT_TRUE(pixelNear(image, 333, 48, outline));
        EXPECT_TRUE(pixelNear(image, 4, 48, c.on ? outline : fillAt(lit, 24, 48), 2)); // outline width

        auto inside = fillAt(lit, 24, 48);
        if (c.on)
            inside = inside.overlaidWith(accent().withAlpha(0.16f));
        EXPECT_TRUE(pixelNear(image, 20, 48, inside, 2));

        // Between the 1.5-pixel outline and the wash that starts one pixel in: fill and wash only
        // when on; when off the thin outline has ended there.
        EXPECT_TRUE(pixelNear(image, 5, 48, inside, 2));

        const auto label = PixelProbe::strongest(image, {96, 16, 144, 64});
        EXPECT_TRUE(PixelProbe::near(label, c.on ? labelOn : labelOff, 3)) << "label";
    }
    button.setLookAndFeel(nullptr);
}

TEST(FxLnFButton, PassedBackgroundColourChangesNothing)
{
    FxLnF lnf;
    juce::TextButton button("SEND");
    button.setSize(84, 24);
    for (bool on : {false, true})
    {
        button.setToggleState(on, juce::dontSendNotification);
        const auto red =
            PixelProbe::render(84, 24, 1.0f,
                               [&](juce::Graphics& g)
                               { lnf.drawButtonBackground(g, button, juce::Colours::red, false, false); });
        const auto blue = PixelProbe::render(
            84, 24, 1.0f,
            [&](juce::Graphics& g)
            { lnf.drawButtonBackground(g, button, juce::Colours::blue.withAlpha(0.5f), false, false); });
        for (int y = 0; y < red.getHeight(); ++y)
            for (int x = 0; x < red.getWidth(); ++x)
                ASSERT_EQ(red.getPixelAt(x, y), blue.getPixelAt(x, y)) << x << ", " << y;
    }
}

TEST(FxLnFComboBox, PlainPanelWithChevronTwelvePixelsFromTheRight)
{
    FxLnF lnf;
    juce::ComboBox box;
    box.setSize(104, 24);
    const auto image = PixelProbe::render(
        104, 24, zoom, [&](juce::Graphics& g) { lnf.drawComboBox(g, 104, 24, true, 70, 0, 34, 24, box); });
    const juce::Colour arrow(0xffa0aec0u);
    EXPECT_TRUE(pixelNear(image, 2, 48, outlineIdle));
    EXPECT_TRUE(pixelNear(image, 368, 54, arrow));                    // the tip, at (92, 14)
    EXPECT_TRUE(pixelNear(image, 355, 43, arrow));                    // on the left arm
    EXPECT_TRUE(pixelNear(image, 381, 43, arrow));                    // on the right arm
    EXPECT_TRUE(pixelNear(image, 368, 40, fillAt(false, 24, 40), 2)); // inside the V
    EXPECT_TRUE(pixelNear(image, 368, 70, fillAt(false, 24, 70), 2)); // under the tip
}
