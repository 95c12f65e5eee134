// Font manager and "fonts\fonts.xml"; see FontManager.h.
#include "engine/graphics/text/FontManager.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/files/FileSystem.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "platform/text/FontFolders.h"

namespace TarnEngine
{

namespace
{

FontManager* g_fontManager = nullptr;

// Font files past this size are refused rather than read whole.
constexpr uint64_t kMaxFontFileSize = uint64_t(256) << 20;

const wchar_t* const kFontsXml = L"fonts\\fonts.xml";

bool endsWithNoCase(const std::wstring& text, const wchar_t* suffix)
{
    const std::wstring tail(suffix);
    return text.size() >= tail.size() && EqualsNoCase(text.substr(text.size() - tail.size()), tail);
}

// The whole file from the engine file system, or null.
RefPtr<MemoryRegionCounted> readEngineFile(const std::wstring& name)
{
    FileSystem* files = FileSystem::Get();
    if (files == nullptr)
        return nullptr;
    RefPtr<StreamSourceCounted> source = files->Open(name);
    if (!source || !source->IsValid())
        return nullptr;
    if (RefPtr<MemoryRegionCounted> whole = source->GetMemoryRegion())
        return whole;
    const uint32_t size = source->GetSize();
    if (size == 0 || size > kMaxFontFileSize)
        return nullptr;
    RefPtr<MemoryRegionCounted> block(new MemoryRegionCounted(size));
    uint32_t read = 0;
    if (block->GetData() == nullptr || !source->Read(0, block->GetData(), size, &read) || read != size)
        return nullptr;
    return block;
}

RefPtr<MemoryRegionCounted> readPhysicalFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return nullptr;
    RefPtr<MemoryRegionCounted> block;
    if (std::fseek(file, 0, SEEK_END) == 0)
    {
        const long size = std::ftell(file);
        if (size > 0 && uint64_t(size) <= kMaxFontFileSize && std::fseek(file, 0, SEEK_SET) == 0)
        {
            block = new MemoryRegionCounted(uint32_t(size));
            if (block->GetData() == nullptr ||
                std::fread(block->GetData(), 1, size_t(size), file) != size_t(size))
                block = nullptr;
        }
    }
    std::fclose(file);
    return block;
}

FontStyle readAliasStyle(const XmlNode& element)
{
    FontStyle style;
    style.name = element.GetStringAttribute(L"name", L"");
    style.bold = element.GetBoolAttribute(L"bold", false);
    style.italic = element.GetBoolAttribute(L"italic", false);
    return style;
}

} // namespace

bool FontStyle::Matches(const FontDesc& desc) const
{
    return EqualsNoCase(name, desc.name) && bold == (desc.bold != 0) && italic == (desc.italic != 0);
}

FontManager::FontManager()
{
    g_fontManager = this;

    m_defaults.gamma = 1.1;
    m_defaults.heightMultiplier = 1.07;
    m_defaults.offsetLeftAlign = {2, -3};
    m_defaults.offsetCenterAlign = {0, -3};
    m_defaults.offsetRightAlign = {-3, -3};

    if (FT_Init_FreeType(&m_library) != 0)
    {
        m_library = nullptr;
        return;
    }

    std::vector<std::wstring> names;
    if (FileSystem* files = FileSystem::Get())
        files->FindFiles(L"fonts/*", &names);
    // Faces are searched in load order; sorted names make that order the
    // same on every machine, whatever order the folder lists them in.
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) < 0; });
    for (const std::wstring& name : names)
        if (endsWithNoCase(name, L".ttf") || endsWithNoCase(name, L".otf"))
            LoadFontFile(name);

    readFontsXml();
}

FontManager::~FontManager()
{
    for (FaceEntry& entry : m_faces)
        entry.kerning.reset();
    if (m_library != nullptr)
        FT_Done_FreeType(m_library); // closes every face
    m_faces.clear();
    if (g_fontManager == this)
        g_fontManager = nullptr;
}

FontManager* FontManager::Get()
{
    return g_fontManager;
}

void FontManager::readFontsXml()
{
    const XmlNode* root = LoadXmlDocument(kFontsXml);
    if (root == nullptr)
        return;

    if (const XmlNode* options = root->FindChild(L"options"))
        m_defaults = ReadFontRenderOptions(*options, m_defaults);

    std::vector<XmlNode*> elements;
    root->GetChildren(L"file", elements);
    for (const XmlNode* file : elements)
    {
        if (LoadFontEntry(file->GetStringAttribute(L"src", L""), file->GetBoolAttribute(L"system", false)))
            continue;
        std::vector<XmlNode*> fallbacks;
        file->GetChildren(L"fallback", fallbacks);
        for (const XmlNode* fallback : fallbacks)
        {
            if (LoadFontEntry(fallback->GetStringAttribute(L"src", L""),
                              fallback->GetBoolAttribute(L"system", false)))
            {
                readAliases(*fallback);
                break;
            }
        }
    }

    readAliases(*root);

    root->GetChildren(L"bitmapalias", elements);
    for (const XmlNode* alias : elements)
    {
        const std::wstring source = alias->GetStringAttribute(L"src", L"");
        const std::wstring dest = alias->GetStringAttribute(L"dest", L"");
        if (!source.empty() && !dest.empty())
            m_bitmapAliases[source] = dest;
    }

    root->GetChildren(L"render", elements);
    for (const XmlNode* render : elements)
    {
        FontDesc desc;
        desc.name = render->GetStringAttribute(L"name", L"");
        bool hasSize = false;
        const std::wstring size = render->GetStringAttribute(L"size", L"", &hasSize);
        desc.size = hasSize ? WStringToLong(size) : 0;
        desc.bold = render->GetBoolAttribute(L"bold", false) ? 1 : 0;
        desc.italic = render->GetBoolAttribute(L"italic", false) ? 1 : 0;
        desc.underline = 0;
        m_renderRules.emplace_back(desc, ReadFontRenderOptions(*render, m_defaults));
    }
}

void FontManager::readAliases(const XmlNode& parent)
{
    std::vector<XmlNode*> aliases;
    parent.GetChildren(L"alias", aliases);
    for (const XmlNode* alias : aliases)
    {
        const XmlNode* from = alias->FindChild(L"from");
        const XmlNode* to = alias->FindChild(L"to");
        if (from == nullptr || to == nullptr)
            continue;
        FontStyle fromStyle = readAliasStyle(*from);
        FontStyle toStyle = readAliasStyle(*to);
        if (!fromStyle.name.empty() && !toStyle.name.empty())
            m_aliases.emplace_back(std::move(fromStyle), std::move(toStyle));
    }
}

FontRenderOptions FontManager::ReadFontRenderOptions(const XmlNode& element,
                                                     const FontRenderOptions& defaults)
{
    FontRenderOptions options;
    const std::wstring antialias = element.GetStringAttribute(L"antialias", L"");
    if (antialias.empty())
        options.loadFlags =
            defaults.loadFlags & (FontRenderOptions::eTargetLight | FontRenderOptions::eTargetMono);
    else if (EqualsNoCase(antialias, L"light"))
        options.loadFlags = FontRenderOptions::eTargetLight;
    else if (EqualsNoCase(antialias, L"none"))
        options.loadFlags = FontRenderOptions::eTargetMono;
    if (element.GetBoolAttribute(L"disableHinting",
                                 (defaults.loadFlags & FontRenderOptions::eNoHinting) != 0))
        options.loadFlags |= FontRenderOptions::eNoHinting;
    if (element.GetBoolAttribute(L"disableAutoHinting",
                                 (defaults.loadFlags & FontRenderOptions::eNoAutoHint) != 0))
        options.loadFlags |= FontRenderOptions::eNoAutoHint;
    if (element.GetBoolAttribute(L"forceAutoHinting",
                                 (defaults.loadFlags & FontRenderOptions::eForceAutoHint) != 0))
        options.loadFlags |= FontRenderOptions::eForceAutoHint;
    options.loadFlags |= FontRenderOptions::eNoBitmap;
    options.gamma = element.GetDoubleAttribute(L"gamma", defaults.gamma);
    options.heightMultiplier = element.GetDoubleAttribute(L"heightMultiplier", defaults.heightMultiplier);
    const auto readOffset = [&](const wchar_t* name, const FontOffset& fallback)
    {
        const std::pair<int, int> pair = element.GetIntPairAttribute(name, fallback.x, fallback.y);
        return FontOffset{pair.first, pair.second};
    };
    options.offsetLeftAlign = readOffset(L"offsetLeftAlign", defaults.offsetLeftAlign);
    options.offsetCenterAlign = readOffset(L"offsetCenterAlign", defaults.offsetCenterAlign);
    options.offsetRightAlign = readOffset(L"offsetRightAlign", defaults.offsetRightAlign);
    return options;
}

FT_Face FontManager::LoadFontEntry(const std::wstring& source, bool system)
{
    if (source.empty())
        return nullptr;
    if (!system)
        return LoadFontFile(source);
    if (endsWithNoCase(source, L".ttf") || endsWithNoCase(source, L".ttc") || endsWithNoCase(source, L".otf"))
        return LoadSystemFontFile(source);
    return nullptr;
}

FT_Face FontManager::findLoaded(const std::wstring& fileName) const
{
    for (const FaceEntry& entry : m_faces)
        if (EqualsNoCase(entry.fileName, fileName))
            return entry.face;
    return nullptr;
}

FT_Face FontManager::LoadFontFile(const std::wstring& fileName)
{
    if (FT_Face loaded = findLoaded(fileName))
        return loaded;
    if (m_library == nullptr)
        return nullptr;
    return openFace(fileName, readEngineFile(L"fonts\\" + fileName));
}

FT_Face FontManager::LoadSystemFontFile(const std::wstring& fileName)
{
    if (FT_Face loaded = findLoaded(fileName))
        return loaded;
    if (m_library == nullptr)
        return nullptr;
    const std::string path = Platform::FindSystemFontFile(WStringToUtf8(fileName));
    if (path.empty())
        return nullptr;
    // OpenType kerning is read from the file's bytes, so those files are kept in memory. Other
    // system fonts are opened by path: FreeType maps the file and reads only the tables a glyph
    // needs, where reading the whole file (hundreds of kilobytes each) wrote every page of a fresh
    // block at start-up.
    if (endsWithNoCase(fileName, L".otf"))
        return openFace(fileName, readPhysicalFile(path));
    FT_Face face = nullptr;
    if (FT_New_Face(m_library, path.c_str(), 0, &face) != 0)
        return nullptr;
    return AddFace(face, fileName, nullptr);
}

FT_Face FontManager::openFace(const std::wstring& fileName, RefPtr<MemoryRegionCounted> block)
{
    if (!block || block->GetData() == nullptr || block->GetSize() == 0)
        return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(m_library, block->GetData(), FT_Long(block->GetSize()), 0, &face) != 0)
        return nullptr;
    return AddFace(face, fileName, std::move(block));
}

FT_Face FontManager::AddFace(FT_Face face, const std::wstring& fileName, RefPtr<MemoryRegionCounted> block)
{
    FaceEntry entry;
    entry.style.name = AnsiToWString(face->family_name ? face->family_name : "");
    entry.style.bold = (face->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    entry.style.italic = (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    entry.face = face;
    entry.fileName = fileName;
    if (!FT_HAS_KERNING(face) && !FT_IS_FIXED_WIDTH(face) && endsWithNoCase(fileName, L".otf"))
    {
        entry.kerning = COtfHeader::Parse(block->GetData(), block->GetSize());
        face->generic.data = static_cast<IOtfFont*>(entry.kerning.get());
        face->generic.finalizer = nullptr;
    }
    entry.block = std::move(block);
    m_faces.push_back(std::move(entry));
    return face;
}

FontFaceInfo FontManager::FindFace(const FontDesc& desc) const
{
    FontFaceInfo info;
    if (m_library == nullptr)
        return info;
    FontDesc resolved = desc;
    for (const auto& [from, to] : m_aliases)
    {
        if (from.Matches(resolved))
        {
            resolved.name = to.name;
            resolved.bold = to.bold ? 1 : 0;
            resolved.italic = to.italic ? 1 : 0;
            break;
        }
    }
    for (const FaceEntry& entry : m_faces)
    {
        if (entry.style.Matches(resolved))
        {
            info.face = entry.face;
            info.options = MatchRenderRule(resolved);
            return info;
        }
    }
    return info;
}

FontRenderOptions FontManager::MatchRenderRule(const FontDesc& desc) const
{
    for (const auto& [rule, options] : m_renderRules)
    {
        if (EqualsNoCase(rule.name, desc.name) && rule.bold == desc.bold && rule.italic == desc.italic &&
            rule.underline == desc.underline && (rule.size == desc.size || rule.size == 0 || desc.size == 0))
            return options;
    }
    return m_defaults;
}

std::wstring FontManager::ResolveBitmapAlias(const std::wstring& fontName) const
{
    auto it = m_bitmapAliases.find(fontName);
    return it != m_bitmapAliases.end() ? it->second : fontName;
}

} // namespace TarnEngine
