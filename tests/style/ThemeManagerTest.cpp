#include "style/ThemeManager.h"

#include <gtest/gtest.h>

namespace
{
struct ExpectedTheme
{
    const char* name;
    juce::uint32 palette[8];
    float opacity;
};

// clang-format off
const ExpectedTheme expectedThemes[] = {
    {"Midnight",   {0xff090d18, 0xff000000, 0xff22c534, 0xff3b82f6, 0xff41cc58, 0xff141a25, 0xfffbbf24, 0xff22c55e}, 0.65f},
    {"Verdant",    {0xffffffff, 0xff111811, 0xff18cb1b, 0xff0aa9d8, 0xff3fcd1c, 0xff9aa4ad, 0xffffad00, 0xff22c55e}, 0.3f},
    {"Obsidian",   {0xff111111, 0xff0a0a0a, 0xffa78bfa, 0xff2dd4bf, 0xff8b5cf6, 0xff222222, 0xfff472b6, 0xff22c55e}, 0.65f},
    {"Deep Ocean", {0xff03060b, 0xff020408, 0xff38bdf8, 0xfff59e0b, 0xff0ea5e9, 0xff162640, 0xff67e8f9, 0xff22c55e}, 0.65f},
    {"Ember",      {0xff1a0a0a, 0xff120606, 0xfff97316, 0xff38bdf8, 0xffea580c, 0xff2a1515, 0xffef4444, 0xff22c55e}, 0.65f},
    {"Slate",      {0xff1e1e2e, 0xff151520, 0xff94a3b8, 0xff60a5fa, 0xff64748b, 0xff2a2a3a, 0xfff1f5f9, 0xff22c55e}, 0.65f},
    {"Sakura",     {0xff1a0f1a, 0xff130a13, 0xfff472b6, 0xffa78bfa, 0xffec4899, 0xff2a1a2a, 0xffa78bfa, 0xff22c55e}, 0.65f},
    {"Yams",       {0xffffffff, 0xff271301, 0xfff98107, 0xff0d9488, 0xffff7a02, 0xffc7b8b2, 0xffef4444, 0xff22c55e}, 0.65f},
    {"B/W",        {0xfff0f0f0, 0xffdedede, 0xffffffff, 0xff666666, 0xff333333, 0xffcccccc, 0xffef4444, 0xff22c55e}, 0.65f},
    {"Crimson",    {0xff000000, 0xff120404, 0xffbd3131, 0xfffbbf24, 0xffb91c1c, 0xff270000, 0xfffbbf24, 0xff22c55e}, 0.65f},
    {"Neon",       {0xff070915, 0xff040610, 0xff91f61b, 0xfff472b6, 0xff7ddd15, 0xff0e1225, 0xff22c55e, 0xff22c55e}, 0.65f},
    {"Cloudscape", {0xff7ec8f0, 0xff2d4a61, 0xff1c7ab8, 0xff3fbf5f, 0xfff2fbff, 0xff4aa8de, 0xffffffff, 0xff34a853}, 0.3f},
    {"Custom",     {0xff0f172a, 0xff0a0f1a, 0xff22c55e, 0xff3b82f6, 0xff52ba63, 0xff1e293b, 0xfffbbf24, 0xff22c55e}, 0.65f},
};
// clang-format on
} // namespace

TEST(ThemeManager, HoldsTheFamilyThemesInOrder)
{
    const auto& themes = ThemeManager::get().themes;
    ASSERT_EQ(themes.size(), std::size(expectedThemes));
    for (size_t i = 0; i < themes.size(); ++i)
    {
        SCOPED_TRACE(expectedThemes[i].name);
        EXPECT_EQ(themes[i].name, juce::String(expectedThemes[i].name));
        for (size_t p = 0; p < 8; ++p)
            EXPECT_EQ(themes[i].palette[p].getARGB(), expectedThemes[i].palette[p]) << "palette entry " << p;
        EXPECT_FLOAT_EQ(themes[i].opacity, expectedThemes[i].opacity);
        EXPECT_EQ(themes[i].accent(), themes[i].palette[2]);
    }
}

TEST(ThemeManager, CurrentThemeIsMidnightWithItsOwnAccent)
{
    EXPECT_EQ(&ThemeManager::get(), &ThemeManager::get());
    EXPECT_EQ(ThemeManager::get().currentIndex, 0);
    EXPECT_EQ(ThemeManager::get().currentTheme().name, "Midnight");
    // Not 0xff22c55e, the value of its last palette entry.
    EXPECT_EQ(ThemeManager::get().currentTheme().accent().getARGB(), 0xff22c534u);
}

TEST(ThemeManager, IndexOutsideTheTableReadsTheFirstTheme)
{
    auto& manager = ThemeManager::get();
    const int saved = manager.currentIndex;
    for (int index : {-1, 13, 1000})
    {
        manager.currentIndex = index;
        EXPECT_EQ(&manager.currentTheme(), &manager.themes[0]) << index;
    }
    manager.currentIndex = 12;
    EXPECT_EQ(manager.currentTheme().name, "Custom");
    manager.currentIndex = saved;
}
