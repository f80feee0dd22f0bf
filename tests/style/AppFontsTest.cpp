#include "style/AppFonts.h"

#include "settings/AppSettings.h"

#include <BinaryData.h>
#include <gtest/gtest.h>

#include <vector>

namespace
{
class ScopedUiScale
{
public:
    explicit ScopedUiScale(int percent) : saved(AppSettings::getInstance().uiScale)
    {
        AppSettings::getInstance().uiScale = percent;
    }
    ~ScopedUiScale() { AppSettings::getInstance().uiScale = saved; }

private:
    int saved;
};

struct HeightCase
{
    int uiScale;
    float size;
    float height;
};

const HeightCase heightCases[] = {
    {100, 9.5f, 9.5f},  {150, 9.5f, 14.25f}, {200, 10.0f, 20.0f}, {99, 9.5f, 9.5f},
    {50, 10.0f, 10.0f}, {201, 10.0f, 20.0f}, {400, 9.5f, 19.0f},  {100, 0.0f, 0.1f}, // JUCE's smallest height
};
} // namespace

TEST(AppFonts, HeightFollowsTheClampedInterfaceScale)
{
    for (const auto& c : heightCases)
    {
        SCOPED_TRACE(testing::Message() << "uiScale " << c.uiScale << ", size " << c.size);
        EXPECT_FLOAT_EQ(AppFonts::bold(c.size, AppFonts::scaleFromPercent(c.uiScale)).getHeight(), c.height);
    }
}

TEST(AppFonts, BoldReadsUiScaleFromTheSettingsStore)
{
    {
        const ScopedUiScale scale(150);
        EXPECT_FLOAT_EQ(AppFonts::interfaceScale(), 1.5f);
        EXPECT_FLOAT_EQ(AppFonts::bold(9.5f).getHeight(), 14.25f);
    }
    {
        const ScopedUiScale scale(20);
        EXPECT_FLOAT_EQ(AppFonts::bold(9.5f).getHeight(), 9.5f);
    }
    {
        const ScopedUiScale scale(250);
        EXPECT_FLOAT_EQ(AppFonts::bold(10.0f).getHeight(), 20.0f);
    }
}

TEST(AppFonts, UsesTheEmbeddedFaceWithExtraKerning)
{
    const auto typeface = AppFonts::getBoldTypeface();
    ASSERT_NE(typeface, nullptr);
    EXPECT_EQ(AppFonts::getBoldTypeface(), typeface) << "the typeface is made once";
    EXPECT_EQ(typeface->getName(), "Jura");
    EXPECT_EQ(typeface->getStyle(), "SemiBold");

    const auto font = AppFonts::bold(9.5f, 1.0f);
    EXPECT_EQ(font.getTypefacePtr(), typeface);
    EXPECT_EQ(font.getTypefaceName(), "Jura");
    EXPECT_NE(font.getTypefaceName(), juce::Font(9.5f).getTypefacePtr()->getName()) << "not a system font";
    EXPECT_FLOAT_EQ(font.getExtraKerningFactor(), 0.01f);
    EXPECT_FALSE(font.isBold()) << "no synthetic bold on top of the SemiBold face";
}

TEST(AppFonts, BytesThatAreNotAFontGiveNoTypeface)
{
    const auto* font = reinterpret_cast<const char*>(BinaryData::JuraSemiBold_ttf);
    const std::vector<char> text(4096, 'x');
    const std::vector<char> zeros(65536, 0);
    const std::vector<char> headerOnly(font, font + 12);

    EXPECT_EQ(AppFonts::makeTypeface(nullptr, 100), nullptr);
    EXPECT_EQ(AppFonts::makeTypeface(font, 0), nullptr);
    EXPECT_EQ(AppFonts::makeTypeface(text.data(), text.size()), nullptr);
    EXPECT_EQ(AppFonts::makeTypeface(zeros.data(), zeros.size()), nullptr);
    EXPECT_EQ(AppFonts::makeTypeface(headerOnly.data(), headerOnly.size()), nullptr);

    const auto valid = AppFonts::makeTypeface(font, (size_t)BinaryData::JuraSemiBold_ttfSize);
    ASSERT_NE(valid, nullptr);
    EXPECT_EQ(valid->getName(), "Jura");
}

TEST(AppFonts, WithoutATypefaceTheDefaultFaceIsUsed)
{
    const auto font = AppFonts::makeFont(AppFonts::makeTypeface("not a font", 10), 14.25f);
    EXPECT_FLOAT_EQ(font.getHeight(), 14.25f);
    EXPECT_FLOAT_EQ(font.getExtraKerningFactor(), 0.01f);
    EXPECT_EQ(font.getTypefaceName(), juce::Font::getDefaultSansSerifFontName());
    EXPECT_NE(font.getTypefacePtr(), nullptr);
    EXPECT_NE(font.getTypefacePtr(), AppFonts::getBoldTypeface());

    juce::Image image(juce::Image::ARGB, 80, 30, true, juce::SoftwareImageType());
    juce::Graphics g(image);
    g.setFont(font);
    g.setColour(juce::Colours::white);
    g.drawText("SEND", image.getBounds(), juce::Justification::centred);
}
