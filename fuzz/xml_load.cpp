// Fuzz target: any bytes loaded as an XML file (UTF-8 or UTF-16LE) must give
// a tree or nothing, and a tree must print to text that parses to the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/core/XmlDocumentCache.h"
#include "engine/core/XmlNode.h"

namespace
{
std::string toUtf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t w : text)
    {
        char32_t c = static_cast<char32_t>(w);
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x80)
            out += char(c);
        else if (c < 0x800)
        {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
        else if (c < 0x10000)
        {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
        else
        {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}
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
        if (!ParseXmlText(again, toUtf8(printed).c_str(), true) || WriteXmlText(again) != printed)
            std::abort();
    }
    (void)root->GetChild(L"a/b");
    std::vector<XmlNode*> list;
    root->GetChildren(L"/a", list);
    (void)root->GetIntPairAttribute(L"a", 0, 0);
    return 0;
}
