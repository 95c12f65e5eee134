// The outline font that draws through the system's own text drawing (the
// platform's system-font stand-in) instead of the engine's FreeType layout:
// the console fonts of the canvas's text lines use it. A text block is drawn
// as white ink on black into a coverage bitmap, with the box layout of the
// system's text drawing (line ends, word breaks, alignment flags), and the
// coverage becomes the alpha of white texels. Colour codes, kerning and the
// font manager's options play no part.
#pragma once

#include <memory>

#include "engine/graphics/text/Font.h"
#include "platform/text/SystemFont.h"

namespace TarnEngine
{

class GdiFont : public Font
{
public:
    // The system font of the style's family (Windows families fall back to an
    // installed one), weight 700 when bold else 400, italic and underline as
    // the style says. The size is the character height in pixels; a negative
    // size asks for that cell height instead, as the system does. Invalid
    // when no font can be made.
    explicit GdiFont(const FontDesc& desc);
    ~GdiFont() override;

    bool IsValid() const override { return m_font != nullptr; }
    // The advances of the whole text on one line and the line height.
    void MeasureLine(int32_t& width, int32_t& height, const std::wstring& text) override;
    // The box the text takes when wrapped at word breaks into the width: the
    // widest line (a word longer than the width is not broken) by the lines.
    void MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text,
                        uint32_t wrapWidth) override;
    bool RenderToTexture(RefPtr<IResourceTexture> texture, const TextRenderParams& params) override;

    // The alpha of a texel from the ink coverage of its pixel: the cube of the
    // coverage, so that the edges of small text stay crisp. On a 16-bit
    // display only five bits of coverage reach the texel.
    static uint8_t AlphaFromCoverage(uint8_t coverage, bool sixteenBit);

    const Platform::SystemFont* GetSystemFont() const { return m_font.get(); }

private:
    std::unique_ptr<Platform::SystemFont> m_font;
};

} // namespace TarnEngine
