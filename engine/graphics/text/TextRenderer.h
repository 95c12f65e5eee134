// The font cache between the renderer and the font classes: one outline font
// (FreeType) per text style, made on first use and kept; the fixed console
// fonts ("Lucida Console", drawn through the system-font stand-in) by pixel
// size for the canvas's text lines; and the font manager, which it owns.
// The renderer creates the one instance in its initialisation and deletes it
// with itself; while it lives TextRenderer::Get() reaches it.
//
// Fonts are the recreaters of their text textures. A texture may outlive the
// font that made it (a text instance or the renderer's keeper still holds
// it); the font detaches itself from such textures when it is destroyed, so
// they then stay empty instead of calling back into a deleted font.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/TextTexture.h"

namespace TarnEngine
{

class TextRenderer
{
public:
    static constexpr int32_t ConsoleFontCount = 128;
    static constexpr const wchar_t* ConsoleFontName = L"Lucida Console";

    // Publishes itself, then makes the font manager (which reads the "fonts"
    // folder and "fonts\fonts.xml").
    TextRenderer();
    // Deletes the console fonts, then the outline fonts, then the manager.
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // The running text renderer, or null.
    static TextRenderer* Get();

    // The outline font of a style, made on first use. A style whose font
    // could not be made stays null and is not tried again.
    Font* GetFont(const FontDesc& desc);

    // A new font of the style, system-font kind or outline kind; null when
    // the font is not valid (no face, no system font).
    static std::unique_ptr<Font> CreateFont(const FontDesc& desc, bool systemFont);

    // The console font of a pixel size from 0 to 127, made on first use;
    // null for sizes outside the table or when it cannot be made (then it is
    // tried again on the next call).
    Font* GetConsoleFont(int32_t size);
    // The style under which console text of that size is rendered.
    static FontDesc ConsoleFontDesc(int32_t size);

    FontManager* GetFontManager() const { return m_fontManager.get(); }
    // Styles looked up so far, failed ones included.
    size_t GetFontCount() const { return m_fonts.size(); }

private:
    std::map<FontDesc, std::unique_ptr<Font>> m_fonts;
    std::array<std::unique_ptr<Font>, ConsoleFontCount> m_consoleFonts;
    std::unique_ptr<FontManager> m_fontManager;
};

} // namespace TarnEngine
