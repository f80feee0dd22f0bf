#pragma once

#include "editor/VoiceKnob.h"
#include "plugin/VoiceSendProcessor.h"
#include "style/FxLnF.h"

#include <JuceHeader.h>

/** The plug-in's window: title, bus chooser, send switch, trim knob, level meter and status line.
    The controls write the processor's fields directly; a 50 ms timer refreshes the status line and
    repaints the whole window, meter included. */
class VoiceSendEditor : public juce::AudioProcessorEditor, public juce::Timer
{
public:
    explicit VoiceSendEditor(VoiceSendProcessor& owner);
    ~VoiceSendEditor() override;

    void paint(juce::Graphics& g) override;
    void resized() override;

private:
    void timerCallback() override;

    // The tests look at the window's parts the way a user would, through these.
    friend struct VoiceSendEditorProbe;

    VoiceSendProcessor& proc;
    int32_t lastCollisionCount = 0;
    FxLnF lnf;
    juce::ComboBox busBox;
    juce::TextButton sendButton;
    VoiceKnob trimKnob{"SEND"};
    juce::Rectangle<float> meterBounds;
    juce::Rectangle<int> readoutBounds;
    uint64_t lastHeartbeat = 0;
    int32_t staleTicks = 0;
    juce::String statusText{"Starting..."};
    juce::Colour statusColour{0xff555568};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(VoiceSendEditor)
};

namespace LevelMeter
{
/** 20 log10(peak), floored at -100 dB; -100 for a peak at or below 0.00001. */
float levelDb(float peak) noexcept;

/** The readout: the level rounded half to even with " dB", or "--" at or below -99 dB. */
juce::String readout(float levelDb);
} // namespace LevelMeter
