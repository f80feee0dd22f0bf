#include "editor/VoiceKnob.h"

#include "style/AppFonts.h"
#include "style/ThemeManager.h"

#include <cmath>

VoiceKnob::VoiceKnob(juce::String captionText) : caption(std::move(captionText))
{
    setSliderStyle(juce::Slider::RotaryVerticalDrag);
    setTextBoxStyle(juce::Slider::NoTextBox, false, 0, 0);
    setRotaryParameters(startAngle, endAngle, true);
    setVelocityBasedMode(false);
    setMouseDragSensitivity(180);
}

void VoiceKnob::mouseEnter(const juce::MouseEvent& e)
{
    juce::Slider::mouseEnter(e);
    repaint();
}

void VoiceKnob::mouseExit(const juce::MouseEvent& e)
{
    juce::Slider::mouseExit(e);
    repaint();
}

void VoiceKnob::mouseDoubleClick(const juce::MouseEvent& e)
{
    if (!hasReset)
    {
        juce::Slider::mouseDoubleClick(e);
        return;
    }
    // JUCE delivers mouse events to disabled components too; a disabled knob must keep its value.
    if (!isEnabled())
        return;
    setValue(resetValue, juce::sendNotificationSync);
}

KnobLayout VoiceKnob::layoutFor(int w, int h, float scale)
{
    KnobLayout l;
    const float s = (float)h / 50.0f;
    const int side = juce::jmax(juce::jmin((int)std::roundf(36.0f * s), w), 12);
    const int textH = juce::jlimit(0, juce::jmax(h, 0), h - side);
    const int x0 = (w - side) / 2;
    const int y0 = (h - textH - side) / 2;
    l.dial = {x0, y0, side, side};
    l.text = {0, h - textH, w, textH};

    const float k = (float)side / 36.0f;
    const float radius = (float)side / 2.0f;
    l.unit = k;
    l.centreX = (float)x0 + radius;
    l.centreY = (float)y0 + radius;
    l.trackWidth = 2.5f * k;
    l.arcRadius = radius - l.trackWidth;

    const float inset = 4.0f * k;
    const float bodySide = juce::jmax((float)side - 2.0f * inset, 0.0f);
    l.body = {(float)x0 + inset, (float)y0 + inset, bodySide, bodySide};
    l.outlineThickness = juce::jmax(0.8f * k, 0.8f);
    l.strokeThickness = juce::jmax(l.trackWidth, 2.5f);
    l.pointerInner = l.arcRadius - 7.0f * k;
    l.pointerOuter = l.arcRadius - 2.0f * k;
    l.pointerThickness = juce::jmax(1.6f * k, 1.6f);
    l.fontSize = juce::jmax(9.0f * s / scale, 7.0f);
    return l;
}

float VoiceKnob::angleForValue(double v, double min, double max)
{
    if (!(max > min))
        return startAngle;
    const auto fraction = (float)((v - min) / (max - min));
    return startAngle + fraction * juce::MathConstants<float>::pi * 1.5f;
}

void VoiceKnob::paint(juce::Graphics& g)
{
    paintWithMouseState(g, isMouseOverOrDragging());
}

void VoiceKnob::paintWithMouseState(juce::Graphics& g, bool mouseOverOrDragging)
{
    const float scale = AppFonts::interfaceScale();
    const auto l = layoutFor(getWidth(), getHeight(), scale);
    const auto accent = ThemeManager::get().currentTheme().accent();

    const bool enabled = isEnabled();
    const bool hovered = enabled && mouseOverOrDragging;
    const float alpha = enabled ? 1.0f : 0.38f;
    const auto range = getRange();
    const float angle = angleForValue(getValue(), range.getStart(), range.getEnd());

    const auto dial = l.dial.toFloat();
    g.setGradientFill(juce::ColourGradient(juce::Colour(hovered ? 0xff141420u : 0xff0f0f14u), dial.getX(),
                                           dial.getY(), juce::Colour(hovered ? 0xff0f0f18u : 0xff0a0a10u),
                                           dial.getX(), dial.getBottom(), false));
    g.fillEllipse(l.body);

    g.setColour(juce::Colour(hovered ? 0xff3a3a48u : 0xff252530u).withMultipliedAlpha(alpha));
    g.drawEllipse(l.body, l.outlineThickness);

    const juce::PathStrokeType stroke(l.strokeThickness, juce::PathStrokeType::mitered,
                                      juce::PathStrokeType::butt);
    juce::Path track;
    track.addCentredArc(l.centreX, l.centreY, l.arcRadius, l.arcRadius, 0.0f, startAngle, endAngle, true);
    g.setColour(juce::Colour(0xff1c1c26u));
    g.strokePath(track, stroke);

    if (std::abs(angle - startAngle) > 0.001f)
    {
        juce::Path arc;
        arc.addCentredArc(l.centreX, l.centreY, l.arcRadius, l.arcRadius, 0.0f, startAngle, angle, true);
        g.setColour(accent.withMultipliedAlpha(alpha));
        g.strokePath(arc, stroke);
    }

    const float sinA = std::sin(angle);
    const float cosA = std::cos(angle);
    g.setColour((hovered ? juce::Colours::white : juce::Colour(0xffcbd5e1u)).withMultipliedAlpha(alpha));
    g.drawLine(l.centreX + l.pointerInner * sinA, l.centreY - l.pointerInner * cosA,
               l.centreX + l.pointerOuter * sinA, l.centreY - l.pointerOuter * cosA, l.pointerThickness);

    g.setFont(AppFonts::bold(l.fontSize, scale));
    g.setColour(hovered ? accent : juce::Colour(0xff555568u));
    g.drawFittedText(hovered ? getTextFromValue(getValue()) : caption, l.text, juce::Justification::centred,
                     1, 0.65f);
}
