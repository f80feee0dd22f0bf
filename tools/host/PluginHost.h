#pragma once

// Loads VST3 bundles the way a DAW does, through JUCE's own VST3 hosting: used by the demo, the
// hosting tests and the loading benchmark.

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

namespace PluginHost
{
/** The bundle this build made, and the one install_plugin puts into ~/.vst3. */
juce::File builtBundle();
juce::File installedBundle();

/** Scans `bundle` and creates its first plug-in, prepared for `sampleRate` and `blockSize`.
    Returns null and fills `error` when that fails. */
std::unique_ptr<juce::AudioPluginInstance> load(const juce::File& bundle, double sampleRate, int blockSize,
                                                juce::String& error);

/** Describes the plug-in found in `bundle` without creating it. */
std::unique_ptr<juce::PluginDescription> describe(const juce::File& bundle);

/** Gives this process a private /dev/shm, so that the regions a hosted plug-in creates are seen by
    this process (and its children) only and never meet a running DAW's buses. Must be called before
    any thread starts. Needs the right to create a mount namespace (root); false when it was denied. */
bool isolateSharedMemory();
} // namespace PluginHost
