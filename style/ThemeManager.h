#pragma once

#include <JuceHeader.h>

#include <array>
#include <vector>

/** One named colour theme of the product family. */
struct Theme
{
    juce::String name;
    std::array<juce::Colour, 8> palette;
    float opacity = 0.65f;

    /** The colour that marks whatever is switched on. */
    juce::Colour accent() const { return palette[2]; }
};

/** The family's colour themes. The plug-in never switches theme, so the first one stays current. */
class ThemeManager
{
public:
    static ThemeManager& get();

    /** The theme at currentIndex; an index outside the table reads as the first theme. */
    const Theme& currentTheme() const;

    std::vector<Theme> themes;
    int currentIndex = 0;

private:
    ThemeManager();
    ThemeManager(const ThemeManager&) = delete;
    ThemeManager& operator=(const ThemeManager&) = delete;
};
