// Inserting the plug-in as a DAW does it: loading the built bundle through JUCE's VST3 hosting and
// creating an instance, against loading a minimal pass-through JUCE plug-in the same way.

#include "BenchSupport.h"
#include "tools/host/PluginHost.h"

#include <cstdio>

#ifndef TONQUILL_PASSTHROUGH_BUNDLE
#error "TONQUILL_PASSTHROUGH_BUNDLE names the baseline plug-in's bundle"
#endif

namespace
{
void loadBundle(benchmark::State& state, const juce::File& bundle)
{
    for (auto _ : state)
    {
        juce::String error;
        auto instance = PluginHost::load(bundle, 48000.0, 512, error);
        if (instance == nullptr)
        {
            state.SkipWithError(error.toRawUTF8());
            break;
        }
        instance.reset();
    }
}

void loadTonquillFX(benchmark::State& state)
{
    loadBundle(state, PluginHost::builtBundle());
}

void loadPassThrough(benchmark::State& state)
{
    loadBundle(state, juce::File(TONQUILL_PASSTHROUGH_BUNDLE));
}
} // namespace

BENCHMARK(loadPassThrough)->Unit(benchmark::kMillisecond);
BENCHMARK(loadTonquillFX)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The hosted plug-in opens bus A under its real name: give it a /dev/shm of its own.
    if (!PluginHost::isolateSharedMemory())
        std::fprintf(stderr,
                     "note: no private /dev/shm here; the loaded plug-in maps this machine's bus A\n");
    const juce::ScopedJuceInitialiser_GUI juce;
    BenchSupport::RatioReporter reporter;
    reporter.compare("loadTonquillFX", "loadPassThrough");
    return BenchSupport::run(argc, argv, reporter);
}
