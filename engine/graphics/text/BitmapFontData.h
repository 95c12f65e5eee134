// Bitmap fonts: a glyph atlas of one or more page images and an XML
// descriptor (the ".fnt" kind) that gives each character's rectangle on its
// page, its offsets and advance, and kerning amounts for character pairs.
// BitmapFontData holds one parsed descriptor with its page textures; fonts
// in use are shared by name through the BitmapFontCache, which holds no
// reference: a font leaves it when its last holder lets go.
//
// Descriptors come from content, so the reader refuses one that lacks its
// "common", "pages" or "chars" element or whose page count or page size
// cannot work, and skips single pages, glyphs and kerning pairs that are out
// of range, instead of indexing or dividing with them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/Referenced.h"
#include "engine/graphics/textures/IResourceTexture.h"

namespace TarnEngine
{

class XmlNode;

struct BitmapGlyph
{
    // Texture coordinates of the corners: top-left, top-right, bottom-right,
    // bottom-left, each (u, v).
    float uv[8] = {};
    int32_t width = 0;
    int32_t height = 0;
    int32_t xoffset = 0;
    int32_t yoffset = 0;
    int32_t xadvance = 0;
    int32_t page = 0;
    int32_t chnl = 0;
};

struct BitmapKerningPair
{
    uint16_t first = 0;
    uint16_t second = 0;

    friend bool operator<(const BitmapKerningPair& a, const BitmapKerningPair& b)
    {
        return a.first != b.first ? a.first < b.first : a.second < b.second;
    }
};

class BitmapFontData : public Referenced
{
public:
    // Limits on what a descriptor may ask for.
    static constexpr int32_t MaxPages = 256;
    static constexpr uint32_t MaxPageSide = 65536;
    // Offsets, advances, kerning amounts, the line height and glyph sides.
    static constexpr int32_t MaxMetric = 65536;

    // Registers the font in the cache under its name.
    explicit BitmapFontData(const std::wstring& name);
    // Leaves the cache; the page textures are released.
    ~BitmapFontData() override;
    BitmapFontData(const BitmapFontData&) = delete;
    BitmapFontData& operator=(const BitmapFontData&) = delete;

    // Reads a descriptor document (its root element); page images are asked
    // of the renderer as "fonts\" + file. False when the descriptor is
    // refused; what was read then is of no use.
    bool Read(const XmlNode& root);

    const std::wstring& GetName() const { return m_name; }
    int32_t GetLineHeight() const { return m_lineHeight; }
    int32_t GetBase() const { return m_base; }
    uint32_t GetScaleW() const { return m_scaleW; }
    uint32_t GetScaleH() const { return m_scaleH; }
    int32_t GetCommonAdvance() const { return m_commonAdvance; }
    size_t GetPageCount() const { return m_pages.size(); }
    // The texture of a page slot; null when the slot is empty or out of range.
    IResourceTexture* GetPage(int32_t page) const;
    // Null when the font has no glyph for the code.
    const BitmapGlyph* FindGlyph(uint16_t code) const;
    // 0 when the pair has no kerning.
    int32_t GetKerning(uint16_t first, uint16_t second) const;
    size_t GetGlyphCount() const { return m_glyphs.size(); }
    size_t GetKerningCount() const { return m_kernings.size(); }

private:
    std::wstring m_name;
    int32_t m_lineHeight = 0;
    int32_t m_base = 0;
    std::vector<RefPtr<IResourceTexture>> m_pages;
    uint32_t m_scaleW = 0;
    uint32_t m_scaleH = 0;
    int32_t m_commonAdvance = 0;
    std::map<uint16_t, std::unique_ptr<BitmapGlyph>> m_glyphs;
    std::map<BitmapKerningPair, int32_t> m_kernings;
};

// The fonts alive, by name (exact comparison).
class BitmapFontCache
{
public:
    static BitmapFontData* Find(const std::wstring& name);
    static size_t GetCount();

private:
    friend class BitmapFontData;
    // A later font of a name replaces the entry; a font removes only its own.
    static void Add(BitmapFontData* font);
    static void Remove(BitmapFontData* font);
};

} // namespace TarnEngine
