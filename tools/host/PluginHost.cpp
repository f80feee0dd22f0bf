#include "tools/host/PluginHost.h"

#include <sched.h>
#include <sys/mount.h>

#ifndef TONQUILL_BUNDLE_PATH
#error "TONQUILL_BUNDLE_PATH names the bundle of this build"
#endif

namespace PluginHost
{
juce::File builtBundle()
{
    return juce::File(TONQUILL_BUNDLE_PATH);
}

juce::File installedBundle()
{
    return juce::File::getSpecialLocation(juce::File::userHomeDirectory)
        .getChildFile(".vst3")
        .getChildFile("Tonquill FX.vst3");
}

std::unique_ptr<juce::PluginDescription> describe(const juce::File& bundle)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile(found, bundle.getFullPathName());
    if (found.isEmpty())
        return nullptr;
    return std::unique_ptr<juce::PluginDescription>(found.removeAndReturn(0));
}

std::unique_ptr<juce::AudioPluginInstance> load(const juce::File& bundle, double sampleRate, int blockSize,
                                                juce::String& error)
{
    const auto description = describe(bundle);
    if (description == nullptr)
    {
        error = "no VST3 plug-in found in " + bundle.getFullPathName();
        return nullptr;
    }
    juce::VST3PluginFormat format;
    auto instance = format.createInstanceFromDescription(*description, sampleRate, blockSize, error);
    if (instance != nullptr)
        instance->prepareToPlay(sampleRate, blockSize);
    return instance;
}

bool isolateSharedMemory()
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tonquill-test-shm", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") == 0;
}
} // namespace PluginHost
