// Bitmap-font descriptors, their page textures and the cache by name; see
// BitmapFontData.h.
#include "engine/graphics/text/BitmapFontData.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/Renderer.h"

namespace TarnEngine
{

namespace
{

std::map<std::wstring, BitmapFontData*>& cacheMap()
{
    static std::map<std::wstring, BitmapFontData*> fonts;
    return fonts;
}

const std::wstring* attribute(const XmlNode& element, const wchar_t* name)
{
    return element.FindAttribute(name);
}

// Integers with automatic base ("0x" hexadecimal, a leading 0 octal); an
// absent attribute reads 0.
int32_t readInt(const XmlNode& element, const wchar_t* name)
{
    const std::wstring* value = attribute(element, name);
    return value ? WStringToLong(*value) : 0;
}

uint32_t readUnsigned(const XmlNode& element, const wchar_t* name)
{
    const std::wstring* value = attribute(element, name);
    return value ? WStringToInt(*value) : 0;
}

double readDouble(const XmlNode& element, const wchar_t* name)
{
    const std::wstring* value = attribute(element, name);
    return value ? WStringToDouble(*value) : 0.0;
}

bool withinMetric(int64_t value)
{
    return value >= -BitmapFontData::MaxMetric && value <= BitmapFontData::MaxMetric;
}

} // namespace

BitmapFontData::BitmapFontData(const std::wstring& name) : m_name(name)
{
    BitmapFontCache::Add(this);
}

BitmapFontData::~BitmapFontData()
{
    BitmapFontCache::Remove(this);
    m_glyphs.clear();
    m_kernings.clear();
    m_pages.clear();
}

bool BitmapFontData::Read(const XmlNode& root)
{
    const XmlNode* common = root.GetChild(L"common");
    const XmlNode* pages = root.GetChild(L"pages");
    const XmlNode* chars = root.GetChild(L"chars");
    if (common == nullptr || pages == nullptr || chars == nullptr)
        return false;

    const int32_t lineHeight = readInt(*common, L"lineHeight");
    const int32_t commonAdvance = readInt(*common, L"xadvance");
    const uint32_t scaleW = readUnsigned(*common, L"scaleW");
    const uint32_t scaleH = readUnsigned(*common, L"scaleH");
    const int32_t pageCount = readInt(*common, L"pages");
    // Texture coordinates are divided by the page size, and glyphs and pages
    // are found by their slot: without room for either the font is useless.
    if (scaleW == 0 || scaleH == 0 || scaleW > MaxPageSide || scaleH > MaxPageSide)
        return false;
    if (pageCount <= 0 || pageCount > MaxPages)
        return false;
    if (!withinMetric(lineHeight) || !withinMetric(commonAdvance))
        return false;
    m_lineHeight = lineHeight;
    m_base = readInt(*common, L"base");
    m_scaleW = scaleW;
    m_scaleH = scaleH;
    m_commonAdvance = commonAdvance;
    m_pages.assign(size_t(pageCount), nullptr);

    Renderer* renderer = Renderer::Get();
    std::vector<XmlNode*> elements;
    pages->GetChildren(L"page", elements);
    for (const XmlNode* page : elements)
    {
        const std::wstring* id = attribute(*page, L"id");
        const std::wstring* file = attribute(*page, L"file");
        if (id == nullptr || file == nullptr || file->empty())
            continue;
        const int32_t slot = WStringToLong(*id);
        if (slot < 0 || slot >= pageCount)
            continue;
        m_pages[size_t(slot)] = renderer ? renderer->CreateTexture(L"fonts\\" + *file) : nullptr;
    }

    elements.clear();
    chars->GetChildren(L"char", elements);
    for (const XmlNode* element : elements)
    {
        const std::wstring* id = attribute(*element, L"id");
        if (id == nullptr)
            continue;
        auto glyph = std::make_unique<BitmapGlyph>();
        const double x = readDouble(*element, L"x");
        const double y = readDouble(*element, L"y");
        const uint32_t width = readUnsigned(*element, L"width");
        const uint32_t height = readUnsigned(*element, L"height");
        glyph->xoffset = readInt(*element, L"xoffset");
        glyph->yoffset = readInt(*element, L"yoffset");
        glyph->xadvance = readInt(*element, L"xadvance");
        glyph->page = readInt(*element, L"page");
        glyph->chnl = readInt(*element, L"chnl");
        // A glyph that lies on no page, or whose numbers could not be drawn
        // or laid out, is left out: its character is skipped like any other
        // without a glyph.
        if (glyph->page < 0 || glyph->page >= pageCount)
            continue;
        if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > MaxPageSide ||
            std::fabs(y) > MaxPageSide)
            continue;
        if (width > uint32_t(MaxMetric) || height > uint32_t(MaxMetric) || !withinMetric(glyph->xoffset) ||
            !withinMetric(glyph->yoffset) || !withinMetric(glyph->xadvance))
            continue;
        glyph->width = int32_t(width);
        glyph->height = int32_t(height);
        const float left = float(x) / float(scaleW);
        const float top = float(y) / float(scaleH);
        const float right = left + float(width) / float(scaleW);
        const float bottom = top + float(height) / float(scaleH);
        const float corners[8] = {left, top, right, top, right, bottom, left, bottom};
        std::copy(std::begin(corners), std::end(corners), glyph->uv);
        m_glyphs[uint16_t(WStringToLong(*id))] = std::move(glyph);
    }

    if (const XmlNode* kernings = root.GetChild(L"kernings"))
    {
        elements.clear();
        kernings->GetChildren(L"kerning", elements);
        for (const XmlNode* kerning : elements)
        {
            const std::wstring* first = attribute(*kerning, L"first");
            const std::wstring* second = attribute(*kerning, L"second");
            const int32_t amount = readInt(*kerning, L"amount");
            if (first == nullptr || second == nullptr || !withinMetric(amount))
                continue;
            m_kernings[BitmapKerningPair{uint16_t(WStringToLong(*first)), uint16_t(WStringToLong(*second))}] =
                amount;
        }
    }
    return true;
}

IResourceTexture* BitmapFontData::GetPage(int32_t page) const
{
    if (page < 0 || size_t(page) >= m_pages.size())
        return nullptr;
    return m_pages[size_t(page)].Get();
}

const BitmapGlyph* BitmapFontData::FindGlyph(uint16_t code) const
{
    auto found = m_glyphs.find(code);
    return found == m_glyphs.end() ? nullptr : found->second.get();
}

int32_t BitmapFontData::GetKerning(uint16_t first, uint16_t second) const
{
    auto found = m_kernings.find(BitmapKerningPair{first, second});
    return found == m_kernings.end() ? 0 : found->second;
}

BitmapFontData* BitmapFontCache::Find(const std::wstring& name)
{
    auto found = cacheMap().find(name);
    return found == cacheMap().end() ? nullptr : found->second;
}

size_t BitmapFontCache::GetCount()
{
    return cacheMap().size();
}

void BitmapFontCache::Add(BitmapFontData* font)
{
    cacheMap()[font->GetName()] = font;
}

void BitmapFontCache::Remove(BitmapFontData* font)
{
    auto found = cacheMap().find(font->GetName());
    if (found != cacheMap().end() && found->second == font)
        cacheMap().erase(found);
}

} // namespace TarnEngine
