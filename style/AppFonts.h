#pragma once

#include <JuceHeader.h>

#include <cstddef>

/** The one typeface the plug-in draws its own text in, at sizes that follow the interface scale. */
namespace AppFonts
{
/** A typeface made from font-file bytes in memory, or null when the bytes are not a usable font. */
juce::Typeface::Ptr makeTypeface(const void* data, size_t size);

/** The embedded Jura SemiBold face, made once per process; null if it could not be loaded. */
juce::Typeface::Ptr getBoldTypeface();

/** Turns a uiScale percentage into a factor, limited to 1.0 ... 2.0. */
float scaleFromPercent(int percent);

/** The interface scale of the settings store as a factor (1.0 ... 2.0). */
float interfaceScale();

/** A font of `height` in `typeface`, or in JUCE's default sans-serif face when it is null. */
juce::Font makeFont(juce::Typeface::Ptr typeface, float height);

/** The text font at nominal height `size`, scaled by `scale`. */
juce::Font bold(float size, float scale);

/** The text font at nominal height `size`, scaled by the interface scale. */
juce::Font bold(float size);
} // namespace AppFonts
