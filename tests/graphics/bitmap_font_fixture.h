// Bitmap-font descriptors for the tests, written as text from small tables:
// a plain font for layout (every glyph 10 x 20, advance 10, lines 24 apart)
// and the pieces to write broken ones.
#pragma once

#include <string>
#include <vector>

#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/text/BitmapFontData.h"

namespace bitmap_font_fixture
{

struct Glyph
{
    unsigned code;
    int x, y;
    int width, height;
    int xoffset, yoffset;
    int xadvance;
    int page = 0;
};

struct Kerning
{
    unsigned first, second;
    int amount;
};

inline std::string charElement(const Glyph& g)
{
    return "<char id=\"" + std::to_string(g.code) + "\" x=\"" + std::to_string(g.x) + "\" y=\"" +
           std::to_string(g.y) + "\" width=\"" + std::to_string(g.width) + "\" height=\"" +
           std::to_string(g.height) + "\" xoffset=\"" + std::to_string(g.xoffset) + "\" yoffset=\"" +
           std::to_string(g.yoffset) + "\" xadvance=\"" + std::to_string(g.xadvance) + "\" page=\"" +
           std::to_string(g.page) + "\" chnl=\"15\"/>";
}

inline std::string charsElement(const std::vector<Glyph>& glyphs)
{
    std::string out = "<chars count=\"" + std::to_string(glyphs.size()) + "\">";
    for (const Glyph& g : glyphs)
        out += charElement(g);
    return out + "</chars>";
}

inline std::string kerningsElement(const std::vector<Kerning>& kernings)
{
    std::string out = "<kernings>";
    for (const Kerning& k : kernings)
        out += "<kerning first=\"" + std::to_string(k.first) + "\" second=\"" + std::to_string(k.second) +
               "\" amount=\"" + std::to_string(k.amount) + "\"/>";
    return out + "</kernings>";
}

inline std::string fontXml(const std::string& inner)
{
    return "<?xml version=\"1.0\"?>\n<font><info face=\"Test\" size=\"20\"/>" + inner + "</font>";
}

inline const std::string kPlainCommon =
    "<common lineHeight=\"24\" base=\"18\" scaleW=\"256\" scaleH=\"256\" pages=\"1\" packed=\"0\"/>";
inline const std::string kPlainPages = "<pages><page id=\"0\" file=\"plain_0.png\"/></pages>";

// Letters, digits and the space, each 10 x 20 at the pen, advance 10; 'q'
// sits 3 to the right of the pen. Kerning: A then B closer by 2; '#' has no
// glyph but kerns with A by -3.
inline std::vector<Glyph> plainGlyphs()
{
    std::vector<Glyph> glyphs;
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnoprstuvwxyz0123456789";
    for (size_t i = 0; i < letters.size(); ++i)
        glyphs.push_back({unsigned(letters[i]), int(i % 16) * 16, int(i / 16) * 24, 10, 20, 0, 0, 10});
    glyphs.push_back({unsigned('q'), 0, 200, 10, 20, 3, 0, 10});
    glyphs.push_back({32u, 250, 250, 0, 0, 0, 0, 10});
    return glyphs;
}

inline std::string plainFontXml()
{
    return fontXml(kPlainCommon + kPlainPages + charsElement(plainGlyphs()) +
                   kerningsElement({{'A', 'B', -2}, {'#', 'A', -3}}));
}

// Reads a descriptor text into a new font of the name; null when refused.
inline TarnEngine::RefPtr<TarnEngine::BitmapFontData> readFont(const std::string& xml,
                                                               const std::wstring& name = L"test.fnt")
{
    TarnEngine::XmlNode root;
    if (!TarnEngine::ParseXmlText(root, xml.c_str(), false))
        return nullptr;
    TarnEngine::RefPtr<TarnEngine::BitmapFontData> font(new TarnEngine::BitmapFontData(name));
    if (!font->Read(root))
        return nullptr;
    return font;
}

} // namespace bitmap_font_fixture
