// One repaint of the plug-in's window, as every timer tick does it, against the floor of filling the
// same 320 x 190 image with one colour. Software renderer, 100% scale.

#include "BenchSupport.h"
#include "editor/VoiceSendEditor.h"
#include "plugin/VoiceSendProcessor.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace
{
juce::Image windowImage()
{
    return juce::Image(juce::Image::ARGB, 320, 190, true, juce::SoftwareImageType());
}

void fillImage(benchmark::State& state)
{
    auto image = windowImage();
    for (auto _ : state)
    {
        juce::Graphics g(image);
        g.fillAll(juce::Colour(0xff0a0a10));
        benchmark::ClobberMemory();
    }
}

// `withChildren`: the whole window as a repaint draws it (combo box, switch, knob); otherwise the
// window's own paint alone (panel, texts, meter, status line).
void paintWindow(benchmark::State& state, bool withChildren)
{
    VoiceSendProcessor processor;
    processor.sendPeak = 0.5f; // the meter lit into the green zone, the readout showing a number
    VoiceSendEditor editor(processor);
    auto image = windowImage();
    for (auto _ : state)
    {
        juce::Graphics g(image);
        if (withChildren)
            editor.paintEntireComponent(g, true);
        else
            editor.paint(g);
        benchmark::ClobberMemory();
    }
}

void paintWholeWindow(benchmark::State& state)
{
    paintWindow(state, true);
}

void paintWindowOnly(benchmark::State& state)
{
    paintWindow(state, false);
}

// Painting text brings up the family's settings store: give it a home of its own, so that a
// benchmark never reads or writes the user's real settings file.
std::string useOwnHome()
{
    std::string folder =
        (std::filesystem::temp_directory_path() / ("TqBench_" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(folder);
    ::setenv("HOME", folder.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    return folder;
}
} // namespace

BENCHMARK(fillImage);
BENCHMARK(paintWholeWindow);
BENCHMARK(paintWindowOnly);

int main(int argc, char** argv)
{
    BenchSupport::useOwnBusNames();
    const auto home = useOwnHome();
    int result = 0;
    {
        const juce::ScopedJuceInitialiser_GUI juce;
        BenchSupport::RatioReporter reporter;
        reporter.compare("paintWholeWindow", "fillImage");
        reporter.compare("paintWindowOnly", "fillImage");
        result = BenchSupport::run(argc, argv, reporter);
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
