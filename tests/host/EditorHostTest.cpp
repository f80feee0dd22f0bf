// The plug-in's window as a DAW shows it: the built bundle loaded through JUCE's VST3 hosting, its
// editor opened and put on screen, then photographed from the display into the build folder.

#include "host/XScreen.h"
#include "support/TestEnvironment.h"
#include "tools/host/PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

// The message loop of a program that is not a JUCE application; with modal loops off JUCE offers no
// public way to run it for a while. The hosted plug-in's timer and paint messages arrive through it too.
namespace juce
{
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace
{
constexpr int width = 320;
constexpr int height = 190;

void dispatchPendingMessages()
{
    while (juce::dispatchNextMessageOnSystemQueue(true))
    {
    }
}

juce::Image toImage(const std::vector<uint32_t>& pixels)
{
    juce::Image image(juce::Image::RGB, width, height, false, juce::SoftwareImageType());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelAt(x, y, juce::Colour(pixels[static_cast<size_t>(y * width + x)]));
    return image;
}

bool near(juce::Colour actual, juce::Colour expected, int tolerance)
{
    return std::abs(actual.getRed() - expected.getRed()) <= tolerance &&
           std::abs(actual.getGreen() - expected.getGreen()) <= tolerance &&
           std::abs(actual.getBlue() - expected.getBlue()) <= tolerance;
}

// The window's fill in the corner, and the status line's amber once three ticks found no receiver.
bool settled(const juce::Image& image)
{
    if (!near(image.getPixelAt(2, 2), juce::Colour(0xff0a0a10), 2))
        return false;
    for (int y = 150; y < 170; ++y)
        for (int x = 20; x < 300; ++x)
            if (near(image.getPixelAt(x, y), juce::Colour(0xffeab308), 12))
                return true;
    return false;
}

void sendHalfScaleSine(juce::AudioPluginInstance& plugin)
{
    juce::AudioBuffer<float> block(2, 512);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 512; ++i)
            block.setSample(ch, i, 0.5f * std::sin(juce::MathConstants<float>::twoPi * (float)i / 48.0f));
    juce::MidiBuffer midi;
    plugin.processBlock(block, midi);
}
} // namespace

TEST(EditorInHost, OpensAt320x190AndIsPhotographed)
{
    if (std::getenv("DISPLAY") == nullptr)
        GTEST_SKIP() << "no display: the hosted editor needs one";
    XScreen::installLenientErrorHandler();

    juce::String error;
    auto plugin = PluginHost::load(PluginHost::builtBundle(), 48000.0, 512, error);
    ASSERT_NE(nullptr, plugin) << error;
    ASSERT_TRUE(plugin->hasEditor());
    sendHalfScaleSine(*plugin); // the meter shows -6 dB

    std::unique_ptr<juce::AudioProcessorEditor> editor(plugin->createEditorIfNeeded());
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(width, editor->getWidth());
    EXPECT_EQ(height, editor->getHeight());

    // The wrapper attaches the plug-in's view when it becomes visible on the desktop.
    editor->setVisible(false);
    editor->setTopLeftPosition(0, 0);
    editor->addToDesktop(0);
    editor->setVisible(true);

    juce::Image screenshot;
    const auto origin = editor->getScreenPosition();
    for (int attempt = 0; attempt < 200 && !(screenshot.isValid() && settled(screenshot)); ++attempt)
    {
        for (int i = 0; i < 10; ++i)
        {
            dispatchPendingMessages();
            juce::Thread::sleep(5);
        }
        const auto pixels = XScreen::grab(origin.x, origin.y, width, height);
        ASSERT_EQ(static_cast<size_t>(width * height), pixels.size()) << "the display could not be read";
        screenshot = toImage(pixels);
    }

    const auto file = juce::File(TONQUILL_BUILD_DIR).getChildFile("screenshots").getChildFile("editor.png");
    ASSERT_TRUE(file.getParentDirectory().createDirectory());
    file.deleteFile();
    {
        juce::FileOutputStream out(file);
        ASSERT_TRUE(out.openedOk()) << file.getFullPathName();
        ASSERT_TRUE(juce::PNGImageFormat().writeImageToStream(screenshot, out));
    }

    EXPECT_TRUE(settled(screenshot)) << "the plug-in's window never showed its status; see "
                                     << file.getFullPathName();
    // Still the fixed size once the plug-in's view is attached.
    EXPECT_EQ(width, editor->getWidth());
    EXPECT_EQ(height, editor->getHeight());
    // The green zone of the meter is lit: the window reads the peak the hosted processor measured.
    const auto litGreen = juce::Colour(0xff07070c).overlaidWith(juce::Colour(0xff22c55e).withAlpha(0.85f));
    EXPECT_TRUE(near(screenshot.getPixelAt(220, 110), litGreen, 4))
        << juce::String::toHexString((int)screenshot.getPixelAt(220, 110).getARGB());

    editor->removeFromDesktop();
    editor.reset();
    dispatchPendingMessages();
}
