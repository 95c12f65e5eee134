// XML document cache; see XmlDocumentCache.h.
#include "engine/core/xml/XmlDocumentCache.h"

#include <cstring>

#include "engine/core/files/FileSystem.h"
#include "engine/core/base/MemoryRegion.h"
#include "engine/core/diagnostics/StartupProblem.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{
XmlDocumentCache* g_cache = nullptr;

} // namespace

std::unique_ptr<XmlNode> ParseXmlFileBytes(const uint8_t* data, size_t size, bool keepWhiteSpace)
{
    if (!data || size < 3)
        return nullptr;
    if (data[0] == 0xFE && data[1] == 0xFF)
        return nullptr; // big-endian UTF-16 is not read
    std::string text;
    if (data[0] == 0xFF && data[1] == 0xFE)
    {
        text = WStringToUtf8(Utf16LeToWString(data + 2, ((size - 2) / 2) * 2));
        if (text.empty())
            return nullptr;
    }
    else
        text.assign(reinterpret_cast<const char*>(data), size);
    auto root = std::make_unique<XmlNode>();
    if (!ParseXmlText(*root, text.c_str(), keepWhiteSpace))
        return nullptr;
    return root;
}

XmlDocumentCache::XmlDocumentCache(FileReader reader) : m_reader(std::move(reader))
{
    g_cache = this;
}

XmlDocumentCache::~XmlDocumentCache()
{
    m_entries.clear();
    if (g_cache == this)
        g_cache = nullptr;
}

XmlDocumentCache* XmlDocumentCache::Get()
{
    return g_cache;
}

std::unique_ptr<XmlNode> XmlDocumentCache::LoadXmlFromFileSystem(const std::wstring& fileName,
                                                                 bool keepWhiteSpace)
{
    ClearLastXmlParseError(); // a file that cannot be read is not blamed on an earlier document
    if (m_reader)
    {
        std::vector<uint8_t> bytes;
        if (!m_reader(fileName, bytes))
            return nullptr;
        return ParseXmlFileBytes(bytes.data(), bytes.size(), keepWhiteSpace);
    }
    FileSystem* files = FileSystem::Get();
    if (!files)
        return nullptr;
    RefPtr<StreamSourceCounted> source = files->Open(fileName);
    if (!source || !source->IsValid() || source->GetSize() < 3)
        return nullptr;
    RefPtr<MemoryRegionCounted> region = source->GetMemoryRegion();
    if (!region || !region->GetData())
        return nullptr;
    return ParseXmlFileBytes(region->GetData(), region->GetSize(), keepWhiteSpace);
}

XmlNode* XmlDocumentCache::Load(const std::wstring& fileName, bool keepWhiteSpace)
{
    for (const Entry& entry : m_entries)
        if (entry.fileName == fileName)
            return entry.root.get();
    std::unique_ptr<XmlNode> root = LoadXmlFromFileSystem(fileName, keepWhiteSpace);
    if (!root)
    {
        // A missing file is often fine (optional documents); whoever needs it says so. A file that
        // is there but broken is always worth naming.
        const std::string& why = LastXmlParseError();
        if (!why.empty())
            NoteProblem(fileName + L" is not well-formed XML (" + Utf8ToWString(why) + L")");
        return nullptr;
    }
    root->sourceName = fileName;
    root->shared = true;
    XmlNode* raw = root.get();
    m_entries.push_back(Entry{fileName, std::move(root)});
    return raw;
}

void XmlDocumentCache::Unload(const std::wstring& fileName)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
    {
        if (it->fileName == fileName)
        {
            m_entries.erase(it);
            return;
        }
    }
}

XmlNode* LoadXmlDocument(const std::wstring& fileName, bool keepWhiteSpace)
{
    XmlDocumentCache* cache = XmlDocumentCache::Get();
    return cache ? cache->Load(fileName, keepWhiteSpace) : nullptr;
}

void UnloadXmlDocument(const std::wstring& fileName)
{
    if (XmlDocumentCache* cache = XmlDocumentCache::Get())
        cache->Unload(fileName);
}

} // namespace TarnEngine
