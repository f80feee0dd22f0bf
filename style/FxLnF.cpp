#include "style/FxLnF.h"

#include "style/AppFonts.h"
#include "style/ThemeManager.h"
#include "style/VoiceStyle.h"

namespace
{
juce::Colour accent()
{
    return ThemeManager::get().currentTheme().accent();
}
} // namespace

FxLnF::FxLnF()
{
    setColour(juce::PopupMenu::backgroundColourId, juce::Colour(0xff0f0f14u));
    setColour(juce::PopupMenu::textColourId, juce::Colour(0xffcbd5e1u));
    setColour(juce::PopupMenu::highlightedBackgroundColourId, accent().withAlpha(0.25f));
    setColour(juce::PopupMenu::highlightedTextColourId, juce::Colours::white);
    setColour(juce::ComboBox::textColourId, juce::Colour(0xffcbd5e1u));
}

void FxLnF::drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                 bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    const bool on = button.getToggleState();
    const auto bounds = button.getLocalBounds().toFloat();
    VoiceStyle::glass(g, bounds, on, shouldDrawButtonAsHighlighted || shouldDrawButtonAsDown, accent());

    if (on)
    {
        g.setColour(accent().withAlpha(0.16f));
        g.fillRoundedRectangle(1.0f, 1.0f, juce::jmax(bounds.getWidth() - 2.0f, 0.0f),
                               juce::jmax(bounds.getHeight() - 2.0f, 0.0f), 2.0f);
    }
}

void FxLnF::drawButtonText(juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    g.setFont(AppFonts::bold(9.5f));
    g.setColour(juce::Colour(button.getToggleState() ? 0xffcbd5e1u : 0xff555568u));
    g.drawText(button.getButtonText(), button.getLocalBounds().toFloat(), juce::Justification::centred, true);
}

void FxLnF::drawComboBox(juce::Graphics& g, int width, int height, bool, int, int, int, int,
                         juce::ComboBox& box)
{
    VoiceStyle::glass(g, {0.0f, 0.0f, (float)width, (float)height}, false, box.isMouseOver(false),
                      juce::Colours::transparentBlack);

    const float cx = (float)width - 12.0f;
    const float cy = (float)height * 0.5f;
    juce::Path arrow;
    arrow.startNewSubPath(cx - 3.5f, cy - 1.5f);
    arrow.lineTo(cx, cy + 2.0f);
    arrow.lineTo(cx + 3.5f, cy - 1.5f);
    g.setColour(juce::Colour(0xffa0aec0u));
    g.strokePath(arrow, juce::PathStrokeType(1.3f));
}
