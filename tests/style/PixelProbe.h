#pragma once

// Rendering into images with JUCE's software renderer and reading pixels back with a small tolerance
// for anti-aliasing. Drawings are made at a scale so that the thin strokes cover whole pixels.

#include <JuceHeader.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace PixelProbe
{
inline juce::Image render(int width, int height, float scale,
                          const std::function<void(juce::Graphics&)>& draw)
{
    juce::Image image(juce::Image::ARGB, juce::roundToInt((float)width * scale),
                      juce::roundToInt((float)height * scale), true, juce::SoftwareImageType());
    juce::Graphics g(image);
    g.addTransform(juce::AffineTransform::scale(scale));
    draw(g);
    return image;
}

inline juce::String argb(juce::Colour c)
{
    return "0x" + juce::String::toHexString((int)c.getARGB()).paddedLeft('0', 8);
}

inline testing::AssertionResult near(juce::Colour actual, juce::Colour expected, int tolerance = 3)
{
    const int diffs[] = {actual.getAlpha() - expected.getAlpha(), actual.getRed() - expected.getRed(),
                         actual.getGreen() - expected.getGreen(), actual.getBlue() - expected.getBlue()};
    for (int d : diffs)
        if (std::abs(d) > tolerance)
            return testing::AssertionFailure() << argb(actual).toStdString() << " is not within " << tolerance
                                               << " of " << argb(expected).toStdString();
    return testing::AssertionSuccess();
}

inline testing::AssertionResult pixelNear(const juce::Image& image, int x, int y, juce::Colour expected,
                                          int tolerance = 3)
{
    auto result = near(image.getPixelAt(x, y), expected, tolerance);
    if (!result)
        result << " at (" << x << ", " << y << ")";
    return result;
}

/** The most opaque pixel of `area`, the brightest among equals: the core of a glyph stroke. */
inline juce::Colour strongest(const juce::Image& image, juce::Rectangle<int> area)
{
    juce::Colour best = juce::Colours::transparentBlack;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto c = image.getPixelAt(x, y);
            if (c.getAlpha() > best.getAlpha() ||
                (c.getAlpha() == best.getAlpha() &&
                 c.getPerceivedBrightness() > best.getPerceivedBrightness()))
                best = c;
        }
    return best;
}

/** Colour of a vertical gradient from `top` at y0 to `bottom` at y1, sampled at y. */
inline juce::Colour gradientAt(juce::Colour top, juce::Colour bottom, float y0, float y1, float y)
{
    return top.interpolatedWith(bottom, juce::jlimit(0.0f, 1.0f, (y - y0) / (y1 - y0)));
}
} // namespace PixelProbe
