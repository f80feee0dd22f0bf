#pragma once

#include <JuceHeader.h>

namespace VoiceStyle
{
/** Paints one dark rounded glass panel into `area`. An active panel gets an outline in `tint`, or in
    the theme's accent when `tint` is fully transparent; `hovered` lightens the fill and the inactive
    outline. */
void glass(juce::Graphics& g, juce::Rectangle<float> area, bool active, bool hovered, juce::Colour tint);
} // namespace VoiceStyle
