// Bitmap-text layout and drawing; see BitmapText.h.
#include "engine/graphics/text/BitmapText.h"

#include <algorithm>
#include <cmath>

#include "engine/core/xml/XmlDocumentCache.h"

namespace TarnEngine
{

namespace
{

// Glyphs are found by UTF-16 unit, as the descriptors give them.
std::vector<uint16_t> utf16Units(const std::wstring& text)
{
    std::vector<uint16_t> units;
    units.reserve(text.size());
    for (wchar_t c : text)
    {
        const uint32_t code = uint32_t(c);
        if (code > 0xFFFF && code <= 0x10FFFF)
        {
            units.push_back(uint16_t(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(uint16_t(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
        else
            units.push_back(uint16_t(code > 0x10FFFF ? 0xFFFD : code));
    }
    return units;
}

void moveQuad(GlyphQuad& quad, float dx, float dy)
{
    for (SpritePoint& corner : quad.corners)
    {
        corner.x += dx;
        corner.y += dy;
    }
}

int32_t clampToInt32(double value)
{
    if (std::isnan(value))
        return 0;
    return int32_t(std::clamp(value, double(INT32_MIN), double(INT32_MAX)));
}

} // namespace

bool BitmapText::LoadFont(const std::wstring& name)
{
    const XmlNode* root = LoadXmlDocument(L"fonts\\" + name);
    if (root == nullptr)
        return false;
    RefPtr<BitmapFontData> font(BitmapFontCache::Find(name));
    if (!font)
    {
        font = new BitmapFontData(name);
        if (!font->Read(*root))
            return false;
    }
    if (font != m_font.Get())
    {
        // The quads point into the glyphs of the font they were laid out with.
        m_quads.clear();
        m_size = MeasuredSize();
        m_font = font;
    }
    return true;
}

void BitmapText::Layout(const std::wstring& text, const BitmapFontData* font, uint32_t boxWidth,
                        int32_t boxHeight, uint32_t format, std::vector<GlyphQuad>& quads, MeasuredSize& size)
{
    quads.clear();
    size = MeasuredSize();
    if (font == nullptr)
        return;

    const std::vector<uint16_t> units = utf16Units(text);
    const int64_t lineHeight = font->GetLineHeight();
    int64_t penX = 0;
    int64_t penY = 0;
    std::vector<size_t> lineEnds;
    size_t lastBreak = 0;

    for (size_t i = 0; i < units.size(); ++i)
    {
        const uint16_t c = units[i];
        if (c == 10 || c == 13)
        {
            penY += lineHeight;
            penX = 0;
            lineEnds.push_back(quads.size());
            // A break found on an earlier line is no place to wrap this one.
            lastBreak = 0;
            continue;
        }
        const BitmapGlyph* glyph = font->FindGlyph(c);
        if (glyph == nullptr)
            continue;
        if (i > 0)
            penX += font->GetKerning(units[i - 1], c);

        const int64_t x0 = penX + glyph->xoffset;
        const int64_t y0 = penY + glyph->yoffset;
        const int64_t x1 = x0 + glyph->width;
        const int64_t y1 = y0 + glyph->height;
        GlyphQuad quad;
        quad.glyph = glyph;
        quad.corners[0] = {float(x0), float(y0)};
        quad.corners[1] = {float(x1), float(y0)};
        quad.corners[2] = {float(x1), float(y1)};
        quad.corners[3] = {float(x0), float(y1)};
        quads.push_back(quad);
        if (c == 32)
            lastBreak = quads.size();
        penX += int64_t(font->GetCommonAdvance()) + glyph->xadvance;

        if ((format & eTextFormatWordBreak) && x1 > int64_t(boxWidth) && lastBreak > 0 &&
            lastBreak < quads.size())
        {
            const GlyphQuad& first = quads[lastBreak];
            const int64_t shift = int64_t(std::trunc(first.corners[0].x)) - first.glyph->xoffset;
            for (size_t q = lastBreak; q < quads.size(); ++q)
                moveQuad(quads[q], -float(shift), float(lineHeight));
            penY += lineHeight;
            penX -= shift;
            lineEnds.push_back(lastBreak - 1);
            // The word now starts its line: a word wider than the box stays
            // there rather than moving down again with every further glyph.
            lastBreak = 0;
        }
    }
    lineEnds.push_back(quads.size());
    if (quads.empty())
        return;

    // The bounds of the glyphs where the wrapping left them (not where they
    // stood before a word moved down), before alignment.
    float minX = 1.0f, minY = 1.0f, maxX = -1.0f, maxY = -1.0f;
    for (const GlyphQuad& quad : quads)
    {
        minX = std::min(minX, quad.corners[0].x);
        maxX = std::max(maxX, quad.corners[2].x);
        minY = std::min(minY, quad.corners[0].y);
        maxY = std::max(maxY, quad.corners[2].y);
    }
    size.width = clampToInt32(std::trunc(double(maxX) - double(minX)));
    size.height = clampToInt32(std::trunc(double(maxY) - double(minY)));

    if (format & (eTextFormatCenter | eTextFormatRight))
    {
        // Each line that has glyphs is moved by where its last glyph was
        // placed, an empty first line included.
        size_t begin = 0;
        for (size_t end : lineEnds)
        {
            if (end > begin && end <= quads.size())
            {
                const GlyphQuad& last = quads[end - 1];
                const double placedAt = double(last.corners[0].x) - last.glyph->xoffset;
                const int64_t room = int64_t(std::trunc(double(boxWidth) - placedAt));
                const int64_t offset = (format & eTextFormatCenter) ? room / 2 : room;
                for (size_t q = begin; q < end; ++q)
                    moveQuad(quads[q], float(offset), 0.0f);
            }
            begin = std::max(begin, end);
        }
    }

    if (format & (eTextFormatVCenter | eTextFormatBottom))
    {
        const GlyphQuad& last = quads.back();
        const int64_t bottom = int64_t(std::trunc(double(last.corners[3].y) - last.glyph->yoffset));
        const int64_t room = int64_t(boxHeight) - bottom;
        const int64_t offset = (format & eTextFormatVCenter) ? room / 2 : room;
        for (GlyphQuad& quad : quads)
            moveQuad(quad, 0.0f, float(offset));
    }
}

void BitmapText::Draw(const Matrix3& parent, float parentOpacity)
{
    if (!m_instance.visible)
        return;
    const float opacity = m_instance.opacity * parentOpacity;
    Matrix3 world = Matrix3::Multiply(m_instance.local, parent);
    const bool filtered = m_instance.allowFiltering && !Matrix3::IsIdentityLinear(world);
    if (!filtered)
    {
        world.m[2][0] = std::trunc(world.m[2][0]);
        world.m[2][1] = std::trunc(world.m[2][1]);
    }
    const float alpha = std::trunc(opacity * 255.0f);
    const uint32_t alphaByte = alpha >= 255.0f ? 255u : alpha > 0.0f ? uint32_t(alpha) : 0u;
    const uint32_t colour = alphaByte << 24 | m_instance.colour;

    if (m_instance.renderCanvasPass)
        m_instance.renderCanvasPass(0, world);
    Renderer* renderer = Renderer::Get();
    if (renderer != nullptr && m_font)
    {
        for (const GlyphQuad& quad : m_quads)
        {
            const SpriteMaterial material{
                m_instance.material, RefPtr<IResourceTexture>(m_font->GetPage(quad.glyph->page)), filtered};
            SpritePoint positions[4];
            SpritePoint uvs[4];
            for (int k = 0; k < 4; ++k)
            {
                positions[k] = Renderer::TransformPoint(quad.corners[k], world);
                uvs[k] = {quad.glyph->uv[2 * k], quad.glyph->uv[2 * k + 1]};
            }
            renderer->SelectBatch(material, positions, uvs, colour, true);
        }
    }
    if (m_instance.renderCanvasPass)
        m_instance.renderCanvasPass(1, world);
}

void BitmapText::Relayout()
{
    Layout(m_text, m_font.Get(), m_boxWidth, m_boxHeight, m_format, m_quads, m_size);
}

void BitmapText::SetFont(const FontDesc& desc)
{
    m_fontDesc = desc;
    LoadFont(desc.name);
    Relayout();
}

void BitmapText::SetText(const std::wstring& text)
{
    m_text = text;
    Relayout();
}

MeasuredSize BitmapText::MeasureText(const std::wstring& text) const
{
    std::vector<GlyphQuad> quads;
    MeasuredSize size;
    Layout(text, m_font.Get(), m_boxWidth, m_boxHeight, m_format, quads, size);
    return size;
}

void BitmapText::CopyFrom(const BitmapText& other)
{
    if (&other == this)
        return;
    m_text = other.m_text;
    m_boxWidth = other.m_boxWidth;
    m_boxHeight = other.m_boxHeight;
    m_format = other.m_format;
    m_fontDesc = other.m_fontDesc;
    m_font = other.m_font;
    Relayout();
}

} // namespace TarnEngine
