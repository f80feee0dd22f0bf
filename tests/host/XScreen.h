#pragma once

// The few Xlib calls the window tests need, kept apart from JUCE's headers (Xlib's macros clash with
// JUCE's names).

#include <cstdint>
#include <vector>

namespace XScreen
{
/** JUCE installs its own X error handler only in a real JUCE application. A test program that puts a
    window on an Xvfb without a window manager would otherwise die on the first harmless error (for
    example BadAtom from a window-manager property nobody serves). Installs one that ignores errors. */
void installLenientErrorHandler();

/** Reads w x h pixels of the screen from (x, y) as opaque 0xAARRGGBB values, row by row, through a
    connection of its own. Empty when there is no display. */
std::vector<uint32_t> grab(int x, int y, int w, int h);
} // namespace XScreen
