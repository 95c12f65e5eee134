// The records that all outline text passes around: the text style
// (FontDesc), one request to render a text block (TextRenderParams) and the
// text-format flags, with the values that content and scripts store.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>

namespace TarnEngine
{

enum TextFormat : uint32_t
{
    eTextFormatLeftTop = 0,
    eTextFormatCenter = 0x1,
    eTextFormatRight = 0x2,
    eTextFormatVCenter = 0x4,
    eTextFormatBottom = 0x8,
    eTextFormatWordBreak = 0x10,
    eTextFormatSingleLine = 0x20,
};

struct FontDesc
{
    FontDesc() = default;
    FontDesc(const std::wstring& fontName, int32_t fontSize, bool isBold, bool isItalic)
        : name(fontName), size(fontSize), bold(isBold ? 1 : 0), italic(isItalic ? 1 : 0)
    {
    }

    std::wstring name;
    int32_t size = 0; // pixels; 0 means any size where rules are matched
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;

    // Name (exact), then size, then the three flags, unset before set.
    friend bool operator<(const FontDesc& a, const FontDesc& b)
    {
        return std::tie(a.name, a.size, a.bold, a.italic, a.underline) <
               std::tie(b.name, b.size, b.bold, b.italic, b.underline);
    }
    friend bool operator==(const FontDesc& a, const FontDesc& b)
    {
        return a.name == b.name && a.size == b.size && a.bold == b.bold && a.italic == b.italic &&
               a.underline == b.underline;
    }
};

struct TextRenderParams
{
    TextRenderParams() = default;
    TextRenderParams(const std::wstring& renderText, uint32_t width, uint32_t height, uint32_t textFormat,
                     double heightMultiplierOverride, double gammaOverride)
        : text(renderText), renderWidth(width), renderHeight(height), format(textFormat),
          heightMultiplier(heightMultiplierOverride), gamma(gammaOverride)
    {
    }

    std::wstring text;
    uint32_t renderWidth = 0;
    uint32_t renderHeight = 0;
    uint32_t format = 0;
    double heightMultiplier = 0; // 0: the font's own
    double gamma = 0;            // 0: the font's own
};

} // namespace TarnEngine
