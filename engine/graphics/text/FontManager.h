// Everything outline text needs before a glyph is drawn: the FreeType
// library, every face loaded from the engine's "fonts" folder or the
// system's fonts folders, the aliases that map the font names of definitions
// and scripts onto loaded faces, the rendering rules per style and the
// default options, all read from "fonts\fonts.xml"; and the map that sends
// font names to bitmap fonts. Built once by the text renderer; while it lives
// FontManager::Get() reaches it.
//
// Faces read from memory blocks that live as long as the faces. An OpenType
// face without a 'kern' table gets the GPOS pair-kerning reader, hung on the
// face's generic slot where the layout finds it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "engine/core/base/MemoryRegion.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/text/COtfGpos.h"
#include "engine/graphics/text/FontDesc.h"
#include "engine/graphics/text/FontRenderOptions.h"

namespace TarnEngine
{

class XmlNode;

// The part of a text style that selects a face.
struct FontStyle
{
    std::wstring name;
    bool bold = false;
    bool italic = false;

    // Names equal ignoring case, bold and italic equal.
    bool Matches(const FontDesc& desc) const;
};

struct FontFaceInfo
{
    FT_Face face = nullptr;
    FontRenderOptions options;
};

class FontManager
{
public:
    // Reads the "fonts" folder and "fonts\\fonts.xml" through the engine
    // file system and its XML document cache.
    FontManager();
    ~FontManager();
    FontManager(const FontManager&) = delete;
    FontManager& operator=(const FontManager&) = delete;

    // The running manager, or null.
    static FontManager* Get();

    // The face and options for a style: through one alias step, then the
    // first face of that style; no face (and cleared options) when none.
    FontFaceInfo FindFace(const FontDesc& desc) const;
    // The bitmap font a name is redirected to, or the name unchanged.
    std::wstring ResolveBitmapAlias(const std::wstring& fontName) const;

    // The face of a file of the engine's "fonts" folder, or of the system's
    // fonts folders; the face already loaded under that name (case ignored)
    // when there is one; null when it cannot be opened.
    FT_Face LoadFontFile(const std::wstring& fileName);
    FT_Face LoadSystemFontFile(const std::wstring& fileName);

    const FontRenderOptions& GetDefaultOptions() const { return m_defaults; }
    FT_Library GetLibrary() const { return m_library; }
    size_t GetFaceCount() const { return m_faces.size(); }
    // The style and file name of a loaded face, in load order.
    const FontStyle& GetFaceStyle(size_t index) const { return m_faces.at(index).style; }
    const std::wstring& GetFaceFileName(size_t index) const { return m_faces.at(index).fileName; }

    // Options read from an element's attributes; what is absent comes from
    // the defaults (hinting bits, gamma, line factor, offsets).
    static FontRenderOptions ReadFontRenderOptions(const XmlNode& element, const FontRenderOptions& defaults);

private:
    struct FaceEntry
    {
        FontStyle style;
        FT_Face face = nullptr;
        std::wstring fileName;
        RefPtr<MemoryRegionCounted> block;
        std::unique_ptr<COtfHeader> kerning;
    };

    void readFontsXml();
    void readAliases(const XmlNode& parent);
    FT_Face LoadFontEntry(const std::wstring& source, bool system);
    FT_Face findLoaded(const std::wstring& fileName) const;
    FT_Face openFace(const std::wstring& fileName, RefPtr<MemoryRegionCounted> block);
    FT_Face AddFace(FT_Face face, const std::wstring& fileName, RefPtr<MemoryRegionCounted> block);
    FontRenderOptions MatchRenderRule(const FontDesc& desc) const;

    FT_Library m_library = nullptr;
    std::vector<FaceEntry> m_faces;
    std::vector<std::pair<FontStyle, FontStyle>> m_aliases;
    std::vector<std::pair<FontDesc, FontRenderOptions>> m_renderRules;
    FontRenderOptions m_defaults;
    std::map<std::wstring, std::wstring> m_bitmapAliases;
};

} // namespace TarnEngine
