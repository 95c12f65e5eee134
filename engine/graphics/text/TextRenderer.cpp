// The font cache of styles and console sizes; see TextRenderer.h.
#include "engine/graphics/text/TextRenderer.h"

#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/text/GdiFont.h"

namespace TarnEngine
{

namespace
{
TextRenderer* current = nullptr;
}

TextRenderer::TextRenderer()
{
    current = this;
    m_fontManager = std::make_unique<FontManager>();
}

TextRenderer::~TextRenderer()
{
    for (std::unique_ptr<Font>& font : m_consoleFonts)
        font.reset();
    for (auto& [desc, font] : m_fonts)
        font.reset();
    // The outline fonts read the manager's faces, so it goes last.
    m_fontManager.reset();
    m_fonts.clear();
    if (current == this)
        current = nullptr;
}

TextRenderer* TextRenderer::Get()
{
    return current;
}

Font* TextRenderer::GetFont(const FontDesc& desc)
{
    auto found = m_fonts.find(desc);
    if (found != m_fonts.end())
        return found->second.get();
    return m_fonts.emplace(desc, CreateFont(desc, false)).first->second.get();
}

std::unique_ptr<Font> TextRenderer::CreateFont(const FontDesc& desc, bool systemFont)
{
    std::unique_ptr<Font> font;
    if (systemFont)
        font = std::make_unique<GdiFont>(desc);
    else
        font = std::make_unique<FreeTypeFont>(desc);
    if (!font->IsValid())
        return nullptr;
    return font;
}

Font* TextRenderer::GetConsoleFont(int32_t size)
{
    if (size < 0 || size >= ConsoleFontCount)
        return nullptr;
    std::unique_ptr<Font>& font = m_consoleFonts[size_t(size)];
    if (!font)
        font = CreateFont(ConsoleFontDesc(size), true);
    return font.get();
}

FontDesc TextRenderer::ConsoleFontDesc(int32_t size)
{
    return FontDesc(ConsoleFontName, size, false, false);
}

TextTexture TextTexture::Build(const FontDesc& desc, const TextRenderParams& params)
{
    TextTexture out;
    TextRenderer* renderer = TextRenderer::Get();
    Font* font = renderer ? renderer->GetFont(desc) : nullptr;
    if (font)
        font->RenderText(out, desc, params);
    return out;
}

} // namespace TarnEngine
