#pragma once

// Mouse events for driving controls directly in tests, without a display or a real mouse.

#include <juce_gui_basics/juce_gui_basics.h>

namespace MouseEvents
{
/** A press of `clicks` clicks at the centre of `c`. */
inline juce::MouseEvent at(juce::Component& c, int clicks)
{
    const auto where = c.getLocalBounds().getCentre().toFloat();
    const auto now = juce::Time::getCurrentTime();
    return {juce::Desktop::getInstance().getMainMouseSource(),
            where,
            juce::ModifierKeys(),
            juce::MouseInputSource::defaultPressure,
            juce::MouseInputSource::defaultOrientation,
            juce::MouseInputSource::defaultRotation,
            juce::MouseInputSource::defaultTiltX,
            juce::MouseInputSource::defaultTiltY,
            &c,
            &c,
            now,
            where,
            now,
            clicks,
            false};
}
} // namespace MouseEvents
