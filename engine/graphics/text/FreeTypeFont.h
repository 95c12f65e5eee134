// The outline font that draws through FreeType: every text block the game
// shows goes through it. It takes its face and rendering options from the
// font manager, and lays out, measures and draws with TextLayout.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontRenderOptions.h"

namespace TarnEngine
{

class FreeTypeFont : public Font
{
public:
    // The face and options the font manager gives the style; invalid when
    // there is no manager or no face.
    explicit FreeTypeFont(const FontDesc& desc);
    ~FreeTypeFont() override = default;

    bool IsValid() const override { return m_face != nullptr; }
    void MeasureLine(int32_t& width, int32_t& height, const std::wstring& text) override;
    void MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text,
                        uint32_t wrapWidth) override;
    bool RenderToTexture(RefPtr<IResourceTexture> texture, const TextRenderParams& params) override;

    FT_Face GetFace() const { return m_face; }
    int32_t GetSize() const { return m_size; }
    const FontRenderOptions& GetOptions() const { return m_options; }

private:
    FT_Face m_face = nullptr; // the font manager's
    int32_t m_size = 0;
    FontRenderOptions m_options;
};

} // namespace TarnEngine
