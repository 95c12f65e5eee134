// Fuzz target: any bytes loaded as an XML file (UTF-8 or UTF-16LE) must give
// a tree or nothing, and a tree must print to text that parses to the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"

namespace
{
bool namesAreAscii(const TarnEngine::XmlNode& node)
{
    for (wchar_t c : node.name)
        if (c >= 0x80)
            return false;
    for (const auto& [key, value] : node.attributes)
        for (wchar_t c : key)
            if (c >= 0x80)
                return false;
    for (const auto& child : node.children)
        if (!namesAreAscii(*child))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    std::unique_ptr<XmlNode> root = ParseXmlFileBytes(data, size, true);
    if (!root)
        return 0;
    const std::wstring printed = WriteXmlText(*root);
    XmlNode again;
    // Names are read as Windows-1252 bytes, so only plain names print back to
    // the same bytes; every value and text must survive whatever it holds.
    if (namesAreAscii(*root))
    {
        if (!ParseXmlText(again, WStringToUtf8(printed).c_str(), true) || WriteXmlText(again) != printed)
            std::abort();
    }
    (void)root->GetChild(L"a/b");
    std::vector<XmlNode*> list;
    root->GetChildren(L"/a", list);
    (void)root->GetIntPairAttribute(L"a", 0, 0);
    return 0;
}
