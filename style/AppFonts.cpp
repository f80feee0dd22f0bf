#include "style/AppFonts.h"

#include "settings/AppSettings.h"

#include <BinaryData.h>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace
{
// JUCE's FreeType typeface dereferences the face without checking whether FreeType could open it, so
// bytes that are not a font would crash there. Open them here first, the same way, and refuse what
// JUCE could not use: no face, no character map, no family name or a degenerate vertical extent.
bool isUsableFontData(const void* data, size_t size)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;

    bool usable = false;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, static_cast<const FT_Byte*>(data), (FT_Long)size, 0, &face) == 0)
    {
        usable = face->num_charmaps > 0 && face->family_name != nullptr && face->family_name[0] != 0 &&
                 face->ascender - face->descender > 0;
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return usable;
}

struct EmbeddedTypeface
{
    EmbeddedTypeface()
        : typeface(
              AppFonts::makeTypeface(BinaryData::JuraSemiBold_ttf, (size_t)BinaryData::JuraSemiBold_ttfSize))
    {
        // The typeface loads its glyphs lazily, and JUCE's leak counters for glyphs are statics made
        // on first use. Load one glyph now so that those counters outlive this holder; otherwise debug
        // builds report the glyphs as leaked when static objects are destroyed.
        if (typeface != nullptr)
            typeface->getStringWidth("A");
    }

    juce::Typeface::Ptr typeface;
};
} // namespace

namespace AppFonts
{
juce::Typeface::Ptr makeTypeface(const void* data, size_t size)
{
    if (data == nullptr || size == 0 || !isUsableFontData(data, size))
        return nullptr;
    return juce::Typeface::createSystemTypefaceFor(data, size);
}

juce::Typeface::Ptr getBoldTypeface()
{
    static const EmbeddedTypeface embedded;
    return embedded.typeface;
}

float scaleFromPercent(int percent)
{
    return (float)juce::jlimit(100, 200, percent) / 100.0f;
}

float interfaceScale()
{
    return scaleFromPercent(AppSettings::getInstance().uiScale);
}

juce::Font makeFont(juce::Typeface::Ptr typeface, float height)
{
    // The weight comes from the SemiBold face itself, so the fallback stays plain as well.
    juce::Font font = typeface != nullptr ? juce::Font(typeface) : juce::Font(height, juce::Font::plain);
    font.setHeight(height);
    font.setExtraKerningFactor(0.01f);
    return font;
}

juce::Font bold(float size, float scale)
{
    return makeFont(getBoldTypeface(), scale * size);
}

juce::Font bold(float size)
{
    return bold(size, interfaceScale());
}
} // namespace AppFonts
