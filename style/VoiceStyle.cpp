#include "style/VoiceStyle.h"

#include "style/ThemeManager.h"

namespace VoiceStyle
{
void glass(juce::Graphics& g, juce::Rectangle<float> area, bool active, bool hovered, juce::Colour tint)
{
    constexpr float corner = 2.0f;

    // Half a pixel in, so that the strokes fall on pixel centres.
    const float x = area.getX() + 0.5f;
    const float y = area.getY() + 0.5f;
    const float w = juce::jmax(area.getWidth() - 1.0f, 0.0f);
    const float h = juce::jmax(area.getHeight() - 1.0f, 0.0f);

    g.setGradientFill(juce::ColourGradient(juce::Colour(hovered ? 0xff141420u : 0xff0f0f14u), x, y,
                                           juce::Colour(hovered ? 0xff0f0f18u : 0xff0a0a10u), x, y + h,
                                           false));
    g.fillRoundedRectangle(x, y, w, h, corner);

    if (w - 4.0f > 0.0f)
    {
        g.setColour(juce::Colour(0x10ffffffu));
        g.fillRect(x + 2.0f, y, w - 4.0f, 1.0f);
    }

    juce::Colour outline;
    float thickness;
    if (active)
    {
        outline = tint.getAlpha() != 0 ? tint : ThemeManager::get().currentTheme().accent();
        thickness = 1.5f;
    }
    else
    {
        outline = juce::Colour(hovered ? 0xff3a3a48u : 0xff252530u);
        thickness = 0.8f;
    }
    g.setColour(outline);
    g.drawRoundedRectangle(x, y, w, h, corner, thickness);
}
} // namespace VoiceStyle
