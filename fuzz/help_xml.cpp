// Fuzz target: any bytes read as "help.xml" (UTF-8, or UTF-16LE after its mark) give the help
// screen's pages or none: at most its page limit, one per "Entry" child of the root in order,
// with the texts of the attributes (or empty ones), each of which resolves as a text key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/core/text/StringTable.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "game/ui/DlgHelp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    std::unique_ptr<XmlNode> root = ParseXmlFileBytes(data, size, false);
    if (!root)
        return 0;
    std::vector<HelpPage> pages;
    DlgHelp::ReadPages(*root, pages);
    if (pages.size() > DlgHelp::MaxPages)
        abort();
    size_t entry = 0;
    for (const auto& child : root->children)
    {
        if (entry == pages.size())
            break;
        if (child->GetName() != L"Entry")
            continue;
        const std::wstring* title = child->FindAttribute(L"title");
        const std::wstring* text = child->FindAttribute(L"text");
        if (pages[entry].title != (title ? *title : std::wstring()) ||
            pages[entry].text != (text ? *text : std::wstring()))
            abort();
        // What the text instances make of it.
        (void)ResolveTextKey(pages[entry].title);
        (void)ResolveTextKey(pages[entry].text);
        ++entry;
    }
    if (entry != pages.size())
        abort();
    return 0;
}
