// String table and translator files; see StringTable.h.
#include "engine/core/text/StringTable.h"

#include <algorithm>
#include <cwctype>
#include <deque>
#include <set>
#include <vector>

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlDocumentCache.h"

namespace TarnEngine
{

namespace
{
StringTable* g_numbered = nullptr;
StringTable* g_keyed = nullptr;

// Translator files chain further files; a chain longer than this is taken
// for a mistake in the content and cut.
const size_t kMaxTranslatorFiles = 1024;

// Line breaks become LF and the indentation of each line goes; empty lines
// inside the text stay (SplitString with trimming would swallow them: the
// white space it skips after each LF includes the next LF).
std::wstring joinTrimmedLines(std::wstring text)
{
    Trim(text);
    std::wstring joined;
    size_t start = 0;
    bool any = false;
    for (;;)
    {
        size_t end = text.find(L'\n', start);
        const size_t stop = end == std::wstring::npos ? text.size() : end;
        size_t first = start;
        size_t last = stop;
        while (first < last && std::iswspace(static_cast<wint_t>(text[first])))
            ++first;
        while (last > first && std::iswspace(static_cast<wint_t>(text[last - 1])))
            --last;
        // As when splitting, empty lines before the first text are dropped.
        if (any)
            joined += L'\n';
        if (any || last > first)
        {
            joined.append(text, first, last - first);
            any = true;
        }
        if (end == std::wstring::npos)
            return joined;
        start = end + 1;
    }
}
} // namespace

StringTable::StringTable(Kind kind) : m_kind(kind)
{
    (kind == Numbered ? g_numbered : g_keyed) = this;
}

StringTable::~StringTable()
{
    StringTable*& global = m_kind == Numbered ? g_numbered : g_keyed;
    if (global == this)
        global = nullptr;
}

StringTable* StringTable::GetNumbered()
{
    return g_numbered;
}

StringTable* StringTable::GetKeyed()
{
    return g_keyed;
}

bool StringTable::Load()
{
    XmlNode* root = LoadXmlDocument(L"StringTable.xml", true);
    if (!root)
        return true;
    std::vector<XmlNode*> entries;
    root->GetChildren(L"/Entry", entries);
    for (XmlNode* entry : entries)
    {
        const std::wstring* id = entry->FindAttribute(L"id");
        if (!id)
            return false;
        std::wstring text = entry->GetChildText(L"/Text");
        if (text.empty())
            return false;
        m_byId[WStringToInt(*id)] = joinTrimmedLines(text);
    }
    return true;
}

std::wstring StringTable::GetById(uint32_t id) const
{
    auto it = m_byId.find(id);
    return it == m_byId.end() ? std::wstring() : it->second;
}

bool StringTable::LoadTranslator(const std::wstring& language)
{
    std::deque<std::wstring> queue{L"translator_" + language + L".xml"};
    // A file named again adds nothing new, so each is read once; this also
    // ends chains that name each other in a cycle.
    std::set<std::wstring> seen{queue.front()};
    while (!queue.empty())
    {
        const std::wstring name = queue.front();
        queue.pop_front();
        XmlNode* root = LoadXmlDocument(name, true);
        if (!root)
            continue;
        for (const auto& record : root->children)
        {
            const std::wstring* key = record->FindAttribute(L"KEY");
            const std::wstring* value = record->FindAttribute(L"VALUE");
            if (key && value)
            {
                m_byKey.try_emplace(ToLower(*key), *value);
                continue;
            }
            const std::wstring* file = record->FindAttribute(L"FILE");
            if (file && seen.size() < kMaxTranslatorFiles && seen.insert(*file).second)
                queue.push_back(*file);
        }
    }
    return true;
}

std::wstring StringTable::GetText(const std::wstring& key) const
{
    auto it = m_byKey.find(ToLower(key));
    return it == m_byKey.end() ? key : it->second;
}

bool StringTable::HasText(const std::wstring& key) const
{
    return m_byKey.count(ToLower(key)) != 0;
}

bool IsTextKey(const std::wstring& text)
{
    return text.size() > 3 && text.compare(0, 3, L"|T|") == 0;
}

std::wstring ResolveTextKey(const std::wstring& text)
{
    if (!IsTextKey(text))
        return text;
    const std::wstring key = text.substr(3);
    const StringTable* table = StringTable::GetKeyed();
    return table ? table->GetText(key) : key;
}

std::wstring LocalizeText(const std::wstring& text)
{
    if (text.empty())
        return text;
    size_t start = 0;
    while (start < text.size() && (text[start] == L'\n' || text[start] == L'\r' || text[start] == L'\t' ||
                                   text[start] == L'\v' || text[start] == L' '))
        ++start;
    const std::wstring prefix = text.substr(0, start);
    const std::wstring body = text.substr(start);
    if (body.empty() || body[0] != L'|')
        return prefix + body;

    size_t marker = 0;
    if (body.compare(0, 8, L"|String|") == 0)
        marker = 8;
    else if (body.compare(0, 3, L"|S|") == 0)
        marker = 3;
    if (marker > 0)
    {
        const size_t bar = body.find(L'|', marker);
        if (bar == std::wstring::npos)
            return body;
        if (bar + 1 >= body.size())
            return prefix;
        return prefix + body.substr(bar + 1, body.size() - 1 - (bar + 1));
    }

    // The unsigned decimal reading of what follows the bar, as the C
    // library's conversion does it with 32-bit numbers: white space and a
    // sign before the digits are taken, a minus wraps around, and a number
    // too wide for 32 bits reads as the largest one.
    size_t i = 1;
    while (i < body.size() && std::iswspace(wint_t(body[i])))
        ++i;
    bool negative = false;
    if (i < body.size() && (body[i] == L'+' || body[i] == L'-'))
        negative = body[i++] == L'-';
    uint64_t number = 0;
    for (; i < body.size() && body[i] >= L'0' && body[i] <= L'9'; ++i)
        number = std::min<uint64_t>(number * 10 + static_cast<uint64_t>(body[i] - L'0'), 0x100000000u);
    if (number > 0xFFFFFFFFu)
        number = 0xFFFFFFFFu;
    else if (negative)
        number = uint32_t(0u - uint32_t(number));
    if (number == 0)
        return prefix + body;
    const StringTable* table = StringTable::GetNumbered();
    const std::wstring entry = table ? table->GetById(static_cast<uint32_t>(number)) : std::wstring();
    return entry.empty() ? prefix + body : prefix + entry;
}

} // namespace TarnEngine
