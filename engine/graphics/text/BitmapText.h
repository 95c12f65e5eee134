// Text drawn glyph by glyph from a bitmap font: the text is laid out once
// into positioned glyph quads (kerning, line ends, word wrap, alignment in
// its box) whenever its text, font or copied state changes, and drawing only
// transforms the stored quads and queues them with the renderer, each with
// the page texture of its glyph.
//
// The text state (text, box, format flags, font description) is kept here;
// what drawing reads of the display instance that shows the text (its local
// matrix, opacity, colour, material, visibility, filtering and its canvas)
// comes through InstanceState, which the scene's text instance fills.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/base/Matrix.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/text/BitmapFontData.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/device/Renderer.h"

namespace TarnEngine
{

// A laid-out glyph: the glyph record of the font it was laid out with, and
// its corners top-left, top-right, bottom-right, bottom-left in the text's
// own coordinates.
struct GlyphQuad
{
    const BitmapGlyph* glyph = nullptr;
    SpritePoint corners[4];
};

struct MeasuredSize
{
    int32_t width = 0;
    int32_t height = 0;
};

class BitmapText
{
public:
    struct InstanceState
    {
        Matrix3 local;
        float opacity = 1.0f;
        uint32_t colour = 0x00FFFFFF; // RGB in the low 24 bits
        uint32_t material = eMaterialAlpha;
        bool visible = true;
        bool allowFiltering = true;
        // Renders pass 0 or 1 of the instance's canvas with the world matrix
        // when the instance has a visible canvas with something in that pass.
        std::function<void(uint32_t pass, const Matrix3& world)> renderCanvasPass;
    };

    BitmapText() = default;
    BitmapText(const BitmapText&) = delete;
    BitmapText& operator=(const BitmapText&) = delete;

    // Takes the font of that name ("fonts\" + name): the one in use when
    // there is one, else reads its descriptor. False, with the current font
    // kept, when the descriptor is missing or refused.
    bool LoadFont(const std::wstring& name);

    // Lays a text out with a font into a box: the quads and the size of the
    // ink's bounds. No font, or no glyph placed, gives no quads and (0, 0).
    static void Layout(const std::wstring& text, const BitmapFontData* font, uint32_t boxWidth,
                       int32_t boxHeight, uint32_t format, std::vector<GlyphQuad>& quads, MeasuredSize& size);

    // Queues the glyphs with the renderer under the parent's matrix and
    // opacity, between the two passes of the instance's canvas.
    void Draw(const Matrix3& parent, float parentOpacity);

    // Stores the description, takes the font of its name and lays the text
    // out again; size, bold and italic play no part.
    void SetFont(const FontDesc& desc);
    void SetText(const std::wstring& text);
    // The size a text would take with this text's font and box; its own
    // layout is left alone.
    MeasuredSize MeasureText(const std::wstring& text) const;
    // The text state and the font of another bitmap text, laid out again.
    void CopyFrom(const BitmapText& other);

    // The box and flags take effect at the next layout.
    void SetBox(uint32_t width, int32_t height)
    {
        m_boxWidth = width;
        m_boxHeight = height;
    }
    void SetFormat(uint32_t format) { m_format = format; }

    const std::wstring& GetText() const { return m_text; }
    const FontDesc& GetFontDesc() const { return m_fontDesc; }
    uint32_t GetBoxWidth() const { return m_boxWidth; }
    int32_t GetBoxHeight() const { return m_boxHeight; }
    uint32_t GetFormat() const { return m_format; }
    MeasuredSize GetRenderSize() const { return m_size; }
    const std::vector<GlyphQuad>& GetQuads() const { return m_quads; }
    BitmapFontData* GetFont() const { return m_font.Get(); }
    InstanceState& Instance() { return m_instance; }

private:
    void Relayout();

    std::wstring m_text;
    uint32_t m_boxWidth = 0;
    int32_t m_boxHeight = 0;
    uint32_t m_format = 0;
    FontDesc m_fontDesc;
    InstanceState m_instance;

    std::vector<GlyphQuad> m_quads;
    RefPtr<BitmapFontData> m_font;
    MeasuredSize m_size;
};

} // namespace TarnEngine
