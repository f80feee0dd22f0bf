#pragma once

#include <JuceHeader.h>

/** Where the knob's parts go for a given size: the integer dial square and text strip, and the
    float drawing measures derived from the dial. */
struct KnobLayout
{
    juce::Rectangle<int> dial; // square, centred horizontally, at the top
    juce::Rectangle<int> text; // strip under the dial; empty when the knob is too short
    float unit = 1.0f;         // drawing unit: 1 for a 36-pixel dial
    float centreX = 0.0f;
    float centreY = 0.0f;
    float trackWidth = 0.0f;
    float arcRadius = 0.0f;
    juce::Rectangle<float> body;
    float outlineThickness = 0.0f;
    float strokeThickness = 0.0f; // track and value arc
    float pointerInner = 0.0f;    // radii of the pointer's ends
    float pointerOuter = 0.0f;
    float pointerThickness = 0.0f;
    float fontSize = 0.0f; // nominal size handed to AppFonts::bold, which applies `scale` again
};

/** The trim control: a small rotary dial with a caption under it that turns into the value while the
    mouse is over it or dragging it. A double-click returns it to `resetValue` when `hasReset` is set. */
class VoiceKnob : public juce::Slider
{
public:
    static constexpr float startAngle = juce::MathConstants<float>::pi * 1.25f;
    static constexpr float endAngle = juce::MathConstants<float>::pi * 2.75f;

    explicit VoiceKnob(juce::String caption);
    ~VoiceKnob() override = default;

    void mouseEnter(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;
    void mouseDoubleClick(const juce::MouseEvent& e) override;
    void paint(juce::Graphics& g) override;

    /** Paints as if the mouse were (or were not) over the knob or dragging it; paint() passes the
        real mouse state. */
    void paintWithMouseState(juce::Graphics& g, bool mouseOverOrDragging);

    /** Layout for a knob of w x h pixels at interface scale `scale` (1.0 ... 2.0). */
    static KnobLayout layoutFor(int w, int h, float scale);

    /** Pointer angle of value v in min ... max: 0 points up, angles grow clockwise. */
    static float angleForValue(double v, double min, double max);

    juce::String caption;
    double resetValue = 0.0;
    bool hasReset = false;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VoiceKnob)
};
