// Fuzz target: any bytes read as a bitmap-font descriptor must be refused or
// give a font whose glyphs, pages and kerning can be used, and any text laid
// out with it, in any box and format, must give quads inside finite bounds.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/text/BitmapFontData.h"
#include "engine/graphics/text/BitmapText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    // The last bytes choose the box and format of the layout.
    uint32_t format = 0, boxWidth = 100;
    int32_t boxHeight = 50;
    if (size >= 4)
    {
        format = data[size - 1] & 0x3F;
        boxWidth = uint32_t(data[size - 2]) * 4;
        boxHeight = int32_t(data[size - 3]) - 64;
    }
    std::unique_ptr<XmlNode> root = ParseXmlFileBytes(data, size, false);
    if (!root)
        return 0;
    RefPtr<BitmapFontData> font(new BitmapFontData(L"fuzz.fnt"));
    if (!font->Read(*root))
        return 0;
    if (font->GetPageCount() == 0 || font->GetScaleW() == 0 || font->GetScaleH() == 0)
        std::abort();

    // Every character the font has, twice, with breaks and spaces between.
    std::wstring text = L"Hello world\r\nAB  ab\n";
    for (uint32_t code = 0; code < 0x10000 && text.size() < 4096; ++code)
    {
        if (const BitmapGlyph* glyph = font->FindGlyph(uint16_t(code)))
        {
            if (glyph->page < 0 || size_t(glyph->page) >= font->GetPageCount())
                std::abort();
            for (float uv : glyph->uv)
                if (!std::isfinite(uv))
                    std::abort();
            text += wchar_t(code);
            text += wchar_t(code);
            if (code % 7 == 0)
                text += L' ';
        }
    }
    std::vector<GlyphQuad> quads;
    MeasuredSize measured;
    BitmapText::Layout(text, font.Get(), boxWidth, boxHeight, format, quads, measured);
    for (const GlyphQuad& quad : quads)
        for (const SpritePoint& corner : quad.corners)
            if (!std::isfinite(corner.x) || !std::isfinite(corner.y))
                std::abort();
    if (measured.width < 0 || measured.height < 0)
        std::abort();
    return 0;
}
