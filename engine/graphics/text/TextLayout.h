// Text laid out with FreeType into lines of positioned glyphs, and drawn
// from there into a 32-bit text block.
//
// Layout: glyph advances, pair kerning (the face's 'kern' table, or the
// OpenType GPOS reader the font manager hangs on the face), hinting deltas,
// line ends, wrapping at the soft breaks the platform's line breaker finds,
// horizontal and vertical alignment and the per-alignment offsets of the
// font's options. Coordinates are y-up: y 0 is the bottom edge of the box,
// which is row 0 of the text block.
//
// Drawing: gamma-corrected coverage in the colours of the text's "^RRGGBB"
// codes, sub-pixel pen origins for small sizes, and overlapping glyphs keep
// the stronger coverage. Every write is clipped to the render box and to the
// storage actually allocated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_GLYPH_H

#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/text/FontRenderOptions.h"
#include "engine/graphics/text/TextColorCodes.h"

namespace TarnEngine
{

struct TextGlyph
{
    wchar_t character = 0;
    uint32_t index = 0;
    FT_Glyph glyph = nullptr; // owned by the layout
    int32_t x = 0;            // whole pixels from the line's start
    int32_t y = 0;
    double exactX = 0; // the pen position before truncation
};

struct TextLine
{
    std::vector<TextGlyph> glyphs;
    int32_t xOffset = 0;
    int32_t baseline = 0;
};

struct TextBounds
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// A locked block of 32-bit texels (bytes blue, green, red, alpha), row 0 at
// bits. width and height are the storage allocated; nothing is written
// outside them.
struct TextPixels
{
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

class TextLayout
{
public:
    // Lays the text out with the face at its current size.
    TextLayout(FT_Face face, const FontRenderOptions& options, uint32_t format, uint32_t boxWidth,
               uint32_t boxHeight, std::wstring_view text);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    const std::vector<TextLine>& GetLines() const { return m_lines; }
    int32_t GetOriginX() const { return m_originX; }
    int32_t GetOriginY() const { return m_originY; }

    // Whole pixels from the first glyph's left edge to the last one's advance.
    static int32_t LineWidth(const TextLine& line);
    // The box around every line with glyphs, moved by the origin; all zero
    // when there are none.
    TextBounds GetBounds() const;

    // Draws every glyph in the colour its codes give (white before the first)
    // into the pixels, inside the render box only. fontSize picks the
    // sub-pixel steps; gamma shapes the coverage.
    void Draw(TextPixels& target, uint32_t renderWidth, uint32_t renderHeight, int32_t fontSize, double gamma,
              const std::vector<TextColorChange>& changes) const;

private:
    void buildGlyphs(std::wstring_view text);
    void wrapAndAlign();
    void placeVertically();

    FT_Face m_face;
    FontRenderOptions m_options;
    uint32_t m_format;
    int32_t m_boxWidth;
    int32_t m_boxHeight;
    std::vector<TextLine> m_lines;
    int32_t m_originX = 0;
    int32_t m_originY = 0;
};

// Sets the face to the pixel size (one size unit a pixel) before a layout.
void SetFacePixelSize(FT_Face face, int32_t size);

// The extent of a text on one line (format 0, no box), colour codes removed.
void MeasureTextLine(FT_Face face, int32_t size, const FontRenderOptions& options, std::wstring_view text,
                     int32_t& width, int32_t& height);
// The extent of a text wrapped at word breaks into the width.
void MeasureTextWrapped(FT_Face face, int32_t size, const FontRenderOptions& options, std::wstring_view text,
                        uint32_t wrapWidth, int32_t& width, int32_t& height);

// Clears the render box and draws the request into the pixels. The gamma and
// height multiplier come from the request when it gives them, else from the
// options, and the gamma last from defaultGamma.
void RenderTextBlock(FT_Face face, int32_t size, const FontRenderOptions& options, double defaultGamma,
                     const TextRenderParams& params, TextPixels& target);

} // namespace TarnEngine
