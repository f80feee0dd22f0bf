// The pass-through processor as a VST3 plug-in of its own, so that loading it through JUCE's hosting
// shows JUCE's share of the cost of loading a plug-in.

#include "PassThroughProcessor.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new PassThroughProcessor();
}
