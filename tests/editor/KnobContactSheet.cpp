// Writes a contact sheet of the knob and the glass controls in their states, for a person to look at:
// <build>/test-output/knob-and-button-states.png

#include "editor/VoiceKnob.h"
#include "style/FxLnF.h"
#include "style/VoiceStyle.h"

#include <JuceHeader.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace
{
constexpr float zoom = 3.0f;
constexpr int cellW = 120, cellH = 100;

struct Cell
{
    juce::String label;
    int w, h;
    std::function<void(juce::Graphics&)> draw;
};

Cell knobCell(juce::String label, int w, int h, double value, bool enabled, bool mouseOver)
{
    return {label, w, h,
            [=](juce::Graphics& g)
            {
                VoiceKnob knob("SEND");
                knob.setSize(w, h);
                knob.setRange(-12.0, 24.0, 0.5);
                knob.setTextValueSuffix(" dB");
                knob.setValue(value, juce::dontSendNotification);
                knob.setEnabled(enabled);
                knob.paintWithMouseState(g, mouseOver);
            }};
}

Cell buttonCell(juce::String label, bool on, bool highlighted)
{
    return {label, 84, 24,
            [=](juce::Graphics& g)
            {
                FxLnF lnf;
                juce::TextButton button("SEND");
                button.setSize(84, 24);
                button.setToggleState(on, juce::dontSendNotification);
                lnf.drawButtonBackground(g, button, button.findColour(juce::TextButton::buttonColourId),
                                         highlighted, false);
                lnf.drawButtonText(g, button, highlighted, false);
            }};
}
} // namespace

TEST(ContactSheet, KnobAndButtonStates)
{
    std::vector<std::vector<Cell>> rows = {
        {knobCell("-12 idle", 52, 50, -12, true, false), knobCell("0 idle", 52, 50, 0, true, false),
         knobCell("+6 idle", 52, 50, 6, true, false), knobCell("+24 idle", 52, 50, 24, true, false),
         knobCell("0 hovered", 52, 50, 0, true, true), knobCell("+6 hovered", 52, 50, 6, true, true)},
        {knobCell("+6 disabled", 52, 50, 6, false, false),
         knobCell("+6 disabled, mouse", 52, 50, 6, false, true), knobCell("52x9", 52, 9, 6, true, false),
         knobCell("30x50 narrow", 30, 50, 6, true, true), knobCell("104x76", 104, 76, 18, true, true)},
        {buttonCell("off", false, false),
         buttonCell("off hovered", false, true),
         buttonCell("on", true, false),
         buttonCell("on hovered", true, true),
         {"combo box", 104, 24,
          [](juce::Graphics& g)
          {
              FxLnF lnf;
              juce::ComboBox box;
              box.setLookAndFeel(&lnf);
              box.setSize(104, 24);
              box.addItem("Bus A", 1);
              box.setSelectedId(1, juce::dontSendNotification);
              box.paintEntireComponent(g, false);
              box.setLookAndFeel(nullptr);
          }},
         {"glass, red tint", 104, 24,
          [](juce::Graphics& g) {
              VoiceStyle::glass(g, {0, 0, 104, 24}, true, false, juce::Colour(0xffe11d48u));
          }}},
    };

    size_t columns = 0;
    for (const auto& row : rows)
        columns = std::max(columns, row.size());
    juce::Image sheet(juce::Image::ARGB, juce::roundToInt((float)(columns * cellW) * zoom),
                      juce::roundToInt((float)(rows.size() * cellH) * zoom), true, juce::SoftwareImageType());
    {
        juce::Graphics g(sheet);
        g.fillAll(juce::Colour(0xff1b1b24u)); // a window-like dark background
        g.addTransform(juce::AffineTransform::scale(zoom));
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c)
            {
                const auto& cell = rows[r][c];
                const int x = (int)c * cellW, y = (int)r * cellH;
                {
                    const juce::Graphics::ScopedSaveState state(g);
                    g.setOrigin(x + (cellW - cell.w) / 2, y + 6);
                    cell.draw(g);
                }
                g.setColour(juce::Colours::grey);
                g.setFont(9.0f);
                g.drawText(cell.label, x, y + cellH - 14, cellW, 12, juce::Justification::centred);
            }
    }

    const auto file = juce::File(TONQUILL_BUILD_DIR).getChildFile("test-output/knob-and-button-states.png");
    ASSERT_TRUE(file.getParentDirectory().createDirectory());
    file.deleteFile();
    {
        juce::FileOutputStream out(file);
        ASSERT_TRUE(out.openedOk());
        ASSERT_TRUE(juce::PNGImageFormat().writeImageToStream(sheet, out));
    }
    EXPECT_GT(file.getSize(), 0);
    std::cout << "contact sheet: " << file.getFullPathName() << std::endl;
}
