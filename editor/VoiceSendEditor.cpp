#include "editor/VoiceSendEditor.h"

#include "editor/ConnectionStatus.h"
#include "style/AppFonts.h"
#include "style/ThemeManager.h"
#include "style/VoiceStyle.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace
{
const juce::Colour windowFill{0xff0a0a10};
const juce::Colour dimText{0xff555568};
const juce::Colour brightText{0xffcbd5e1};
const juce::Colour meterFill{0xff07070c};
const juce::Colour meterOutline{0xff252530};

struct MeterZone
{
    float fromDb, toDb;
    juce::Colour colour;
};

juce::Colour accent()
{
    return ThemeManager::get().currentTheme().accent();
}
} // namespace

namespace LevelMeter
{
float levelDb(float peak) noexcept
{
    // An infinite sample from a broken plug-in upstream reads as the loudest finite one, so the
    // readout never converts an infinite level to an integer.
    peak = std::min(peak, std::numeric_limits<float>::max());
    return peak > 0.00001f ? std::max(20.0f * std::log10(peak), -100.0f) : -100.0f;
}

juce::String readout(float levelDb)
{
    if (!(levelDb > -99.0f))
        return "--";
    // nearbyint rounds in the current mode, which is to-nearest with ties to even.
    return juce::String(static_cast<int>(std::nearbyint(levelDb))) + " dB";
}
} // namespace LevelMeter

VoiceSendEditor::VoiceSendEditor(VoiceSendProcessor& owner) : juce::AudioProcessorEditor(owner), proc(owner)
{
    setLookAndFeel(&lnf);

    for (int bus = 0; bus < VoiceBus::numBuses; ++bus)
        busBox.addItem(
            "Bus " + juce::String::charToString(static_cast<juce::juce_wchar>(VoiceBus::busLetter(bus))),
            bus + 1);
    busBox.setSelectedId(proc.bus + 1, juce::dontSendNotification);
    busBox.onChange = [this] { proc.selectBus(busBox.getSelectedId() - 1); };
    addAndMakeVisible(busBox);

    sendButton.setButtonText("SENDING");
    sendButton.setClickingTogglesState(true);
    sendButton.setToggleState(proc.enabled.load(), juce::dontSendNotification);
    sendButton.onClick = [this] { proc.enabled.store(sendButton.getToggleState()); };
    addAndMakeVisible(sendButton);

    trimKnob.setRange(-12.0, 24.0, 0.5);
    trimKnob.setValue(proc.gainDb.load(), juce::dontSendNotification);
    trimKnob.setTextValueSuffix(" dB");
    trimKnob.resetValue = 0.0;
    trimKnob.hasReset = true;
    trimKnob.setTooltip("Trim on the SENT copy only - your track is untouched.\n"
                        "Raise it if the receiving Tonquill reads too quiet.");
    trimKnob.onValueChange = [this] { proc.gainDb.store(static_cast<float>(trimKnob.getValue())); };
    addAndMakeVisible(trimKnob);

    setSize(320, 190);
    startTimer(50);
}

VoiceSendEditor::~VoiceSendEditor()
{
    // The controls still point at lnf until this tells them otherwise; it outlives them all.
    setLookAndFeel(nullptr);
}

void VoiceSendEditor::resized()
{
    auto area = getLocalBounds().reduced(20);
    area.removeFromTop(30); // header band

    auto row = area.removeFromTop(24);
    busBox.setBounds(row.removeFromLeft(104));
    row.removeFromLeft(8);
    sendButton.setBounds(row.removeFromLeft(84));

    area.removeFromTop(12);

    auto knobRow = area.removeFromTop(50);
    trimKnob.setBounds(knobRow.removeFromLeft(52));
    knobRow.removeFromLeft(12);
    readoutBounds = knobRow.removeFromRight(52);
    knobRow.removeFromRight(6);
    meterBounds = knobRow.withHeight(12).withY(knobRow.getY() + (knobRow.getHeight() - 12) / 2).toFloat();
}

void VoiceSendEditor::paint(juce::Graphics& g)
{
    g.fillAll(windowFill);
    VoiceStyle::glass(g, getLocalBounds().reduced(10).toFloat(), false, false,
                      juce::Colours::transparentBlack);

    const auto content = getLocalBounds().reduced(20);
    const auto header = content.withHeight(std::min(22, content.getHeight())).toFloat();

    g.setFont(AppFonts::bold(13.0f));
    g.setColour(accent());
    g.drawText("Tonquill FX", header, juce::Justification::centredLeft, true);

    g.setFont(AppFonts::bold(9.0f));
    g.setColour(dimText);
    g.drawText("VOICE SEND", header, juce::Justification::centredRight, true);

    const juce::Rectangle<float> frame(meterBounds.getX() + 0.5f, meterBounds.getY() + 0.5f,
                                       std::max(meterBounds.getWidth() - 1.0f, 0.0f),
                                       std::max(meterBounds.getHeight() - 1.0f, 0.0f));
    g.setColour(meterFill);
    g.fillRoundedRectangle(frame, 2.0f);
    g.setColour(meterOutline);
    g.drawRoundedRectangle(frame, 2.0f, 0.8f);

    static const MeterZone zones[] = {
        {-60.0f, -18.0f, juce::Colour(0xff334155)},
        {-18.0f, -6.0f, juce::Colour(0xff22c55e)},
        {-6.0f, -3.0f, juce::Colour(0xffeab308)},
        {-3.0f, 0.0f, juce::Colour(0xffef4444)},
    };
    const float levelDb = LevelMeter::levelDb(proc.sendPeak.load());
    const float x0 = meterBounds.getX() + 2.0f;
    const float y0 = meterBounds.getY() + 2.5f;
    const float w = std::max(meterBounds.getWidth() - 4.0f, 0.0f);
    const float h = std::max(meterBounds.getHeight() - 5.0f, 0.0f);
    const auto pos = [&](float db) { return x0 + w * juce::jlimit(0.0f, 1.0f, (db + 60.0f) / 60.0f); };
    for (const auto& zone : zones)
    {
        const float a = pos(zone.fromDb);
        const float b = pos(zone.toDb);
        const bool lit = levelDb >= zone.fromDb;
        const float right = lit ? std::min(pos(levelDb), b) : b;
        if (right > a)
        {
            g.setColour(zone.colour.withAlpha(lit ? 0.85f : 0.16f));
            g.fillRect(juce::Rectangle<float>(a, y0, right - a, h));
        }
    }

    g.setFont(AppFonts::bold(9.5f));
    g.setColour(levelDb > -99.0f ? brightText : dimText);
    g.drawText(LevelMeter::readout(levelDb), readoutBounds.toFloat(), juce::Justification::centredRight,
               true);

    g.setFont(AppFonts::bold(10.0f));
    g.setColour(statusColour);
    g.drawText(statusText, content.withTop(content.getBottom() - std::min(20, content.getHeight())).toFloat(),
               juce::Justification::centredLeft, true);
}

void VoiceSendEditor::timerCallback()
{
    const auto verdict =
        ConnectionStatus::tick(proc.endpoint, {lastHeartbeat, staleTicks, lastCollisionCount},
                               proc.enabled.load(), proc.bus, juce::Time::getMillisecondCounterHiRes());
    lastHeartbeat = verdict.watch.lastHeartbeat;
    staleTicks = verdict.watch.staleTicks;
    lastCollisionCount = verdict.watch.lastCollisionCount;
    statusText = verdict.text;
    statusColour = verdict.colour;
    repaint();
}
