#include "host/XScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace XScreen
{
namespace
{
int ignoreError(Display*, XErrorEvent*)
{
    return 0;
}

// One colour channel of a pixel, scaled to 8 bits whatever the visual's mask.
uint32_t channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0)
        ++shift;
    const unsigned long maximum = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255u / maximum);
}
} // namespace

void installLenientErrorHandler()
{
    XSetErrorHandler(ignoreError);
}

std::vector<uint32_t> grab(int x, int y, int w, int h)
{
    std::vector<uint32_t> pixels;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return pixels;
    // The root window shows what is on screen, the plug-in's own embedded window included.
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (image != nullptr)
    {
        pixels.reserve(static_cast<size_t>(w) * static_cast<size_t>(h));
        for (int row = 0; row < h; ++row)
            for (int column = 0; column < w; ++column)
            {
                const unsigned long p = XGetPixel(image, column, row);
                pixels.push_back(0xff000000u | channel(p, image->red_mask) << 16 |
                                 channel(p, image->green_mask) << 8 | channel(p, image->blue_mask));
            }
        XDestroyImage(image);
    }
    XCloseDisplay(display);
    return pixels;
}
} // namespace XScreen
