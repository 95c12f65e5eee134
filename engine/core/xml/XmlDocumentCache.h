// The process-wide cache of parsed XML documents: each file is read through
// the engine file system once and the same tree is handed to every caller
// until it is unloaded. Callers borrow the returned root and never delete it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/xml/XmlNode.h"

namespace TarnEngine
{

class XmlDocumentCache
{
public:
    // Reads a whole file by name; false when it cannot be read.
    using FileReader = std::function<bool(const std::wstring& fileName, std::vector<uint8_t>& bytes)>;

    // The cache reads through the engine file system unless given a reader.
    explicit XmlDocumentCache(FileReader reader = FileReader());
    ~XmlDocumentCache();
    XmlDocumentCache(const XmlDocumentCache&) = delete;
    XmlDocumentCache& operator=(const XmlDocumentCache&) = delete;

    // The cache of the running engine, or null.
    static XmlDocumentCache* Get();

    XmlNode* Load(const std::wstring& fileName, bool keepWhiteSpace);
    void Unload(const std::wstring& fileName);

private:
    struct Entry
    {
        std::wstring fileName;
        std::unique_ptr<XmlNode> root;
    };

    std::unique_ptr<XmlNode> LoadXmlFromFileSystem(const std::wstring& fileName, bool keepWhiteSpace);

    FileReader m_reader;
    std::vector<Entry> m_entries;
};

// The cached root for the file name, loading it first; null when the file is
// missing, too short, big-endian UTF-16 or malformed (nothing is cached then).
XmlNode* LoadXmlDocument(const std::wstring& fileName, bool keepWhiteSpace = false);
void UnloadXmlDocument(const std::wstring& fileName);

// Parses a whole XML file held in memory: UTF-16LE after its byte-order mark,
// otherwise the bytes as they are (UTF-8, with or without its mark).
std::unique_ptr<XmlNode> ParseXmlFileBytes(const uint8_t* data, size_t size, bool keepWhiteSpace);

} // namespace TarnEngine
