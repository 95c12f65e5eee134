// XmlNode: conversion from TinyXML's tree, queries, and the printer.
#include "engine/core/xml/XmlNode.h"

#include <cassert>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <locale.h>
#include <string>
#include <string_view>
#include <utility>
#include <wctype.h>

#include <tinyxml.h>

#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

using namespace std::string_view_literals;

namespace
{

// TinyXML parses nested elements recursively without a limit; a document is
// measured first so that hostile nesting cannot exhaust the stack.
const int kMaxParseDepth = 512;

bool isAscii(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
    {
        uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            return false;
    }
    for (; i < n; ++i)
        if (p[i] & 0x80)
            return false;
    return true;
}

std::wstring wideFromUtf8(const std::string& text)
{
    std::wstring out(text.size(), L'\0');
    out.resize(Utf8ToWideChars(text, out.data()));
    return out;
}

bool asciiLess(const std::string& a, const std::string& b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i])
            return a[i] < b[i];
    return a.size() < b.size();
}

// Names are widened from the code page (the parser reads them as bytes).
// Short ones, nearly every name, go through a buffer on the stack.
template <typename Use> void withWideName(const std::string& name, Use use)
{
    wchar_t buffer[64];
    if (name.size() <= std::size(buffer))
    {
        AnsiToWideChars(name, buffer);
        use(std::wstring_view(buffer, name.size()));
    }
    else
        use(std::wstring_view(AnsiToWString(name)));
}

// Values are decoded straight into the element's block; a UTF-8 value never
// has more characters than bytes.
void appendValue(XmlAttributes& target, std::wstring_view name, const std::string& value)
{
    target.AppendInOrder(name, value.size(), [&](wchar_t* out) { return Utf8ToWideChars(value, out); });
}

// The attributes are filled in name order, each appended at the end, which
// spares the search and the moves. ASCII names sort as bytes the same way as
// wide text, so the few TinyXML attributes are ordered before they are
// widened; the names of any other element are widened first and then sorted.
// TinyXML refuses a repeated attribute name, so no key is ever met twice.
void convertAttributes(const TiXmlElement& source, XmlNode& target)
{
    const size_t kMaxSorted = 16;
    const TiXmlAttribute* sorted[kMaxSorted];
    size_t count = 0;
    size_t characters = 0;
    bool plain = true;
    for (const TiXmlAttribute* a = source.FirstAttribute(); a; a = a->Next())
    {
        if (count < kMaxSorted)
            sorted[count] = a;
        ++count;
        characters += a->NameTStr().size() + a->ValueStr().size();
        plain = plain && isAscii(a->NameTStr());
    }
    if (count == 0)
        return;
    target.attributes.reserve(count, characters);
    if (count > kMaxSorted || !plain)
    {
        // Widened first, since code page names need not sort as their bytes.
        std::vector<std::pair<std::wstring, const TiXmlAttribute*>> named;
        named.reserve(count);
        for (const TiXmlAttribute* a = source.FirstAttribute(); a; a = a->Next())
            named.emplace_back(AnsiToWString(a->NameTStr()), a);
        std::stable_sort(named.begin(), named.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < named.size(); ++i)
            if (i + 1 == named.size() || named[i].first != named[i + 1].first)
                appendValue(target.attributes, named[i].first, named[i].second->ValueStr());
        return;
    }
    for (size_t i = 1; i < count; ++i)
        for (size_t j = i; j > 0 && asciiLess(sorted[j]->NameTStr(), sorted[j - 1]->NameTStr()); --j)
            std::swap(sorted[j], sorted[j - 1]);
    for (size_t i = 0; i < count; ++i)
        withWideName(sorted[i]->NameTStr(),
                     [&](std::wstring_view name) { appendValue(target.attributes, name, sorted[i]->ValueStr()); });
}

// False when the elements nest deeper than kMaxParseDepth (the root is level
// 1): such a document is refused whole rather than cut short.
bool convertElement(const TiXmlElement& source, XmlNode& target, int depth)
{
    target.empty = true;
    withWideName(source.ValueStr(), [&](std::wstring_view name) { target.name.assign(name); });
    convertAttributes(source, target);
    // Room for the child elements of a small element at once; a long list
    // grows as it is filled rather than being walked twice.
    size_t elements = 0;
    for (const TiXmlNode* child = source.FirstChild(); child && elements < 16; child = child->NextSibling())
        elements += child->Type() == TiXmlNode::TINYXML_ELEMENT;
    target.children.reserve(elements);
    for (const TiXmlNode* child = source.FirstChild(); child; child = child->NextSibling())
    {
        switch (child->Type())
        {
        case TiXmlNode::TINYXML_ELEMENT:
        {
            target.empty = false;
            if (depth >= kMaxParseDepth)
                return false;
            std::unique_ptr<XmlNode> node(new XmlNode);
            if (!convertElement(*child->ToElement(), *node, depth + 1))
                return false;
            target.children.push_back(std::move(node));
            break;
        }
        case TiXmlNode::TINYXML_TEXT:
            target.empty = false;
            if (target.text.empty())
                target.text = wideFromUtf8(child->ValueStr());
            else
                target.text += wideFromUtf8(child->ValueStr());
            break;
        default:
            break;
        }
    }
    return true;
}

// Walks a path as SplitString with trimming splits it on '/': blanks around
// steps are dropped, empty steps before the first real one are skipped.
template <typename Visit> bool forEachStep(const std::wstring& path, Visit visit)
{
    const size_t size = path.size();
    size_t pos = 0;
    bool any = false;
    while (pos < size && std::iswspace(static_cast<wint_t>(path[pos])))
        ++pos;
    for (;;)
    {
        size_t end = path.find(L'/', pos);
        if (end == std::wstring::npos)
            end = size;
        size_t last = end;
        while (last > pos && std::iswspace(static_cast<wint_t>(path[last - 1])))
            --last;
        if (last > pos || any)
        {
            any = true;
            if (!visit(std::wstring_view(path.data() + pos, last - pos), end == size))
                return false;
        }
        if (end == size)
            return true;
        pos = end + 1;
        while (pos < size && std::iswspace(static_cast<wint_t>(path[pos])))
            ++pos;
    }
}

XmlNode* firstNamed(const XmlNode& node, std::wstring_view step)
{
    for (const auto& child : node.children)
        if (child->name == step)
            return child.get();
    return nullptr;
}

// How many characters more than one the printer writes for a character
// below 0x80: 0 for one written as it is, else the length of its entity or
// character reference less one. Line breaks and tabs are written as they are
// in text only. Kept in a table, since the printer asks for every character.
struct EscapeTable
{
    uint8_t extra[2][0x80] = {};
    constexpr EscapeTable()
    {
        for (int attribute = 0; attribute < 2; ++attribute)
        {
            for (int c = 0; c < 0x20; ++c)
                extra[attribute][c] = attribute || (c != '\n' && c != '\t') ? 5 : 0;
            extra[attribute][unsigned('&')] = 4;
            extra[attribute][unsigned('<')] = 3;
            extra[attribute][unsigned('>')] = 3;
            extra[attribute][unsigned('"')] = 5;
        }
    }
};
constexpr EscapeTable kEscapes;

// The characters beyond the table print as they are, except those a signed
// wchar_t holds below zero, which get a reference like control characters.
inline size_t escapeExtra(wchar_t c, bool attribute)
{
    const uint32_t u = static_cast<uint32_t>(c);
    return u < 0x80 ? kEscapes.extra[attribute][u] : (c < 0 ? 5 : 0);
}

inline bool printsAsIs(wchar_t c, bool attribute)
{
    return escapeExtra(c, attribute) == 0;
}

size_t printedLength(std::wstring_view value, bool attribute)
{
    size_t length = value.size();
    for (wchar_t c : value)
        length += escapeExtra(c, attribute);
    return length;
}

// The parser drops a text that is only white space, unless it comes as CDATA. Reading UTF-8, it
// skips byte-order marks and the two non-characters U+FFFE and U+FFFF with the white space.
bool isParserBlank(const std::wstring& value)
{
    for (wchar_t c : value)
        if (c != L' ' && c != L'\t' && c != L'\n' && c != L'\r' && c != L'\v' && c != L'\f' && c != 0xFEFF &&
            c != 0xFFFE && c != 0xFFFF)
            return false;
    return true;
}

// Just past the first c (or terminator) at or after s; the end of the text when there is none.
const char* afterChar(const char* s, char c)
{
    const char* found = std::strchr(s, c);
    return found ? found + 1 : s + std::strlen(s);
}

const char* afterText(const char* s, const char* terminator, size_t length)
{
    const char* found = std::strstr(s, terminator);
    return found ? found + length : s + std::strlen(s);
}

bool startsWith(const char* s, const char* prefix)
{
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

// Whether the prolog holds a document type declaration, and whether it ends.
enum class DocumentType
{
    None,
    Found,
    Unterminated,
};

// TinyXML reads a declaration only up to its first '>', so an internal subset
// ("<!DOCTYPE a [<!ELEMENT a ANY>]>") leaves "]>" behind and no root is found.
// The declaration is found here, its quoted literals, comments and processing
// instructions stepped over, so that it can be cut out before parsing; the
// tree keeps no trace of it anyway.
DocumentType findDocumentType(const char* text, size_t& begin, size_t& end)
{
    const char* p = text;
    if (startsWith(p, "\xEF\xBB\xBF"))
        p += 3;
    for (;;)
    {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            ++p;
        if (startsWith(p, "<?"))
        {
            const char* close = std::strstr(p + 2, "?>");
            if (!close)
                return DocumentType::None;
            p = close + 2;
        }
        else if (startsWith(p, "<!--"))
        {
            const char* close = std::strstr(p + 4, "-->");
            if (!close)
                return DocumentType::None;
            p = close + 3;
        }
        else if (startsWith(p, "<!DOCTYPE"))
            break;
        else
            return DocumentType::None;
    }
    begin = size_t(p - text);
    p += 9;
    bool inSubset = false;
    while (*p)
    {
        const char c = *p;
        if (c == '"' || c == '\'')
        {
            const char* close = std::strchr(p + 1, c);
            if (!close)
                return DocumentType::Unterminated;
            p = close + 1;
        }
        else if (inSubset && startsWith(p, "<!--"))
        {
            const char* close = std::strstr(p + 4, "-->");
            if (!close)
                return DocumentType::Unterminated;
            p = close + 3;
        }
        else if (inSubset && startsWith(p, "<?"))
        {
            const char* close = std::strstr(p + 2, "?>");
            if (!close)
                return DocumentType::Unterminated;
            p = close + 2;
        }
        else if (!inSubset && c == '[')
        {
            inSubset = true;
            ++p;
        }
        else if (inSubset && c == ']')
        {
            inSubset = false;
            ++p;
        }
        else if (!inSubset && c == '>')
        {
            end = size_t(p + 1 - text);
            return DocumentType::Found;
        }
        else
            ++p;
    }
    return DocumentType::Unterminated;
}

// The bytes that end a step through a start tag.
struct TagStops
{
    bool stops[256] = {};
    constexpr TagStops()
    {
        stops[0] = true;
        stops[static_cast<unsigned char>('>')] = true;
        stops[static_cast<unsigned char>('/')] = true;
        stops[static_cast<unsigned char>('=')] = true;
    }
};
constexpr TagStops kTagStops;

bool nestingWithinLimit(const char* s)
{
    int depth = 0;
    for (;;)
    {
        s = std::strchr(s, '<');
        if (!s)
            return true;
        const char next = s[1];
        if (next == '!')
        {
            if (std::strncmp(s, "<!--", 4) == 0)
                s = afterText(s + 4, "-->", 3);
            else if (std::strncmp(s, "<![CDATA[", 9) == 0)
                s = afterText(s + 9, "]]>", 3);
            else
                s = afterChar(s + 2, '>');
            continue;
        }
        if (next == '?')
        {
            s = afterChar(s + 2, '>');
            continue;
        }
        if (next == '/')
        {
            depth = depth > 0 ? depth - 1 : 0;
            s = afterChar(s + 2, '>');
            continue;
        }
        // A start tag: quotes count only where an attribute value begins.
        if (++depth > kMaxParseDepth)
            return false;
        ++s;
        for (;;)
        {
            while (!kTagStops.stops[static_cast<unsigned char>(*s)])
                ++s;
            const char c = *s;
            if (c == '\0')
                return true;
            if (c == '>')
                break;
            ++s;
            if (c == '/')
            {
                if (*s == '>' && depth > 0)
                    --depth;
                continue;
            }
            // c is '='.
            while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r')
                ++s;
            if (*s == '"' || *s == '\'')
            {
                s = std::strchr(s + 1, *s);
                if (!s)
                    return true;
                ++s;
            }
        }
        ++s;
    }
}

// On well-formed UTF-8, TinyXML's UTF-8 mode reads differently from its
// default mode only at character references (above U+007F) and at the three
// sequences it steps over like white space (the byte-order mark, U+FFFE and
// U+FFFF, each led by 0xEF); it also takes a fifth longer. A text with
// neither reads the same either way, and is parsed in the default mode.
bool readsApartAsUtf8(std::string_view text)
{
    if (text.find('\xEF') != std::string_view::npos)
        return true;
    for (size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1))
        if (at + 1 < text.size() && text[at + 1] == '#')
            return true;
    return false;
}

} // namespace

void XmlAttributes::clear()
{
    block.clear();
    entries = 0;
    copies.reset();
}

void XmlAttributes::checkLengths(size_t nameSize, size_t valueSize)
{
    if (nameSize > UINT32_MAX || valueSize > UINT32_MAX)
        throw std::length_error("XmlAttributes");
}

XmlAttributes::const_iterator XmlAttributes::lowerBound(std::wstring_view name) const
{
    const_iterator it = begin();
    for (const const_iterator last = end(); it != last && it->first < name; ++it)
    {
    }
    return it;
}

XmlAttributes::const_iterator XmlAttributes::find(std::wstring_view name) const
{
    const const_iterator it = lowerBound(name);
    return it != end() && it->first == name ? it : end();
}

const std::wstring* XmlAttributes::FindValue(std::wstring_view name) const
{
    const const_iterator it = find(name);
    if (it == end())
        return nullptr;
    if (!copies)
        copies = std::make_unique<std::optional<std::wstring>[]>(entries);
    std::optional<std::wstring>& copy = copies[it.Index()];
    if (!copy)
        copy.emplace(it->second);
    return &*copy;
}

const std::wstring& XmlAttributes::at(std::wstring_view name) const
{
    const std::wstring* value = FindValue(name);
    if (!value)
        throw std::out_of_range("XmlAttributes::at");
    return *value;
}

void XmlAttributes::insert_or_assign(std::wstring_view name, std::wstring_view value)
{
    if (holds(name) || holds(value))
    {
        const std::wstring nameCopy(name), valueCopy(value);
        insert_or_assign(nameCopy, valueCopy);
        return;
    }
    checkLengths(name.size(), value.size());
    const const_iterator it = lowerBound(name);
    const size_t at = size_t(it.at - block.data());
    if (it != end() && it->first == name)
    {
        block.replace(at + kHeader + name.size(), it->second.size(), value);
        block[at + 1] = static_cast<wchar_t>(static_cast<uint32_t>(value.size()));
    }
    else
    {
        const wchar_t header[kHeader] = {static_cast<wchar_t>(static_cast<uint32_t>(name.size())),
                                         static_cast<wchar_t>(static_cast<uint32_t>(value.size()))};
        block.insert(at, header, kHeader);
        block.insert(at + kHeader, name);
        block.insert(at + kHeader + name.size(), value);
        ++entries;
    }
    copies.reset();
}

bool XmlAttributes::operator==(const XmlAttributes& other) const
{
    return entries == other.entries && block == other.block;
}

void XmlNode::AppendChild(std::unique_ptr<XmlNode> child)
{
    if (!child)
        return;
    children.push_back(std::move(child));
    empty = false;
}

XmlNode* XmlNode::AddNewChild(const std::wstring& childName)
{
    auto child = std::make_unique<XmlNode>(childName);
    XmlNode* raw = child.get();
    AppendChild(std::move(child));
    return raw;
}

void XmlNode::SetAttribute(const std::wstring& attributeName, const std::wstring& value)
{
    attributes.insert_or_assign(attributeName, value);
}

bool XmlNode::RemoveChild(size_t index)
{
    if (index >= children.size())
        return false;
    children.erase(children.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

XmlNode* XmlNode::GetChild(const std::wstring& path) const
{
    const XmlNode* node = this;
    bool found = forEachStep(path,
                             [&](std::wstring_view step, bool)
                             {
                                 node = firstNamed(*node, step);
                                 return node != nullptr;
                             });
    return found ? const_cast<XmlNode*>(node) : nullptr;
}

void XmlNode::GetChildren(const std::wstring& path, std::vector<XmlNode*>& out) const
{
    out.clear();
    const XmlNode* node = this;
    forEachStep(path,
                [&](std::wstring_view step, bool last)
                {
                    if (!last)
                    {
                        node = firstNamed(*node, step);
                        return node != nullptr;
                    }
                    for (const auto& child : node->children)
                        if (child->name == step)
                            out.push_back(child.get());
                    return true;
                });
}

XmlNode* XmlNode::FindChild(const std::wstring& childName) const
{
    for (const auto& child : children)
        if (EqualsNoCase(child->name, childName))
            return child.get();
    return nullptr;
}

std::wstring XmlNode::GetChildText(const std::wstring& path) const
{
    const XmlNode* node = GetChild(path);
    return node ? node->text : std::wstring();
}

const std::wstring* XmlNode::FindAttribute(const std::wstring& attributeName) const
{
    return attributes.FindValue(attributeName);
}

bool XmlNode::GetAttribute(const std::wstring& attributeName, std::wstring& out) const
{
    const auto it = attributes.find(attributeName);
    if (it == attributes.end())
    {
        out.clear();
        return false;
    }
    out.assign(it->second);
    return true;
}

std::wstring XmlNode::GetStringAttribute(const std::wstring& attributeName, const std::wstring& defaultValue,
                                         bool* found) const
{
    const auto it = attributes.find(attributeName);
    if (found)
        *found = it != attributes.end();
    return it != attributes.end() ? std::wstring(it->second) : defaultValue;
}

bool XmlNode::GetBoolAttribute(const std::wstring& attributeName, bool defaultValue) const
{
    const auto it = attributes.find(attributeName);
    if (it == attributes.end())
        return defaultValue;
    const std::wstring lower = ToLower(it->second);
    return lower == L"true" || lower == L"t" || lower == L"yes" || lower == L"y" || lower == L"1";
}

double XmlNode::GetDoubleAttribute(const std::wstring& attributeName, double defaultValue) const
{
    const std::wstring* value = FindAttribute(attributeName);
    if (!value)
        return defaultValue;
    // The files write a decimal point whatever the player's locale.
    return WStringToDouble(*value);
}

float XmlNode::GetFloatAttribute(const std::wstring& attributeName, float defaultValue) const
{
    return static_cast<float>(GetDoubleAttribute(attributeName, defaultValue));
}

namespace
{
// Signed base-10 conversion with the 32-bit range of the original runtime.
int readInt(const wchar_t* text, const wchar_t** end)
{
    wchar_t* stop = nullptr;
    errno = 0;
    long long v = std::wcstoll(text, &stop, 10);
    *end = stop;
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}
} // namespace

std::pair<int, int> XmlNode::GetIntPairAttribute(const std::wstring& attributeName, int defaultFirst,
                                                 int defaultSecond) const
{
    const std::wstring* value = FindAttribute(attributeName);
    if (!value)
        return {defaultFirst, defaultSecond};
    const wchar_t* end = nullptr;
    int first = readInt(value->c_str(), &end);
    // One separator character follows the first number; a value that ends
    // there has no second number, which then reads as 0.
    if (*end == L'\0')
        return {first, 0};
    int second = readInt(end + 1, &end);
    return {first, second};
}

namespace
{
// The length of what XmlNode::Print appends, so that the text is written into
// one block instead of being copied each time it outgrows its room.
size_t printedLength(const XmlNode& node, int depth)
{
    const size_t indent = static_cast<size_t>(depth) * 4;
    size_t length = indent + 1 + node.name.size() + 2;
    for (const auto& [key, value] : node.attributes)
        length += 1 + key.size() + 2 + printedLength(value, true) + 1;
    if (node.empty && node.text.empty() && node.children.empty())
        return length + 1;
    length += 1 + 2 + node.name.size();
    if (node.children.empty())
    {
        if (!node.text.empty() && isParserBlank(node.text))
            return length + 9 + node.text.size() + 3;
        return length + printedLength(node.text, false);
    }
    length += 1 + indent;
    for (const auto& child : node.children)
        length += printedLength(*child, depth + 1);
    return length;
}
} // namespace

namespace
{
// Writes what printedLength measured through a pointer, with no checks of
// room on the way: a saved document is many short pieces.
class PrintWriter
{
public:
    explicit PrintWriter(wchar_t* out) : o(out) {}
    void put(wchar_t c) { *o++ = c; }
    void put(std::wstring_view text)
    {
        std::char_traits<wchar_t>::copy(o, text.data(), text.size());
        o += text.size();
    }
    void indent(int depth)
    {
        std::char_traits<wchar_t>::assign(o, static_cast<size_t>(depth) * 4, L' ');
        o += static_cast<size_t>(depth) * 4;
    }
    // Runs of characters that print as themselves are copied whole.
    void escaped(std::wstring_view value, bool attribute)
    {
        static const wchar_t kHex[] = L"0123456789ABCDEF";
        const wchar_t* p = value.data();
        const wchar_t* const end = p + value.size();
        for (;;)
        {
            const wchar_t* run = p;
            while (p != end && printsAsIs(*p, attribute))
                ++p;
            put(std::wstring_view(run, size_t(p - run)));
            if (p == end)
                return;
            const wchar_t c = *p++;
            switch (c)
            {
            case L'&':
                put(L"&amp;"sv);
                break;
            case L'<':
                put(L"&lt;"sv);
                break;
            case L'>':
                put(L"&gt;"sv);
                break;
            case L'"':
                put(L"&quot;"sv);
                break;
            default:
            {
                const wchar_t reference[] = {L'&', L'#', L'x', kHex[(c >> 4) & 0xF], kHex[c & 0xF], L';'};
                put(std::wstring_view(reference, 6));
            }
            }
        }
    }
    void node(const XmlNode& node, int depth)
    {
        indent(depth);
        put(L'<');
        put(node.name);
        for (const auto& [key, value] : node.attributes)
        {
            put(L' ');
            put(key);
            put(L"=\""sv);
            escaped(value, true);
            put(L'"');
        }
        // A node given text or children without clearing `empty` still prints
        // them: dropping them would lose what the caller meant to save.
        if (node.empty && node.text.empty() && node.children.empty())
            put(L'/');
        else
        {
            put(L'>');
            if (node.children.empty())
            {
                if (!node.text.empty() && isParserBlank(node.text))
                {
                    put(L"<![CDATA["sv);
                    put(node.text);
                    put(L"]]>"sv);
                }
                else
                    escaped(node.text, false);
            }
            else
            {
                put(L'\n');
                for (const auto& child : node.children)
                    this->node(*child, depth + 1);
                indent(depth);
            }
            put(L"</"sv);
            put(node.name);
        }
        put(L">\n"sv);
    }
    wchar_t* at() const { return o; }

private:
    wchar_t* o;
};
} // namespace

void XmlNode::Print(std::wstring& out, int depth) const
{
    const size_t length = printedLength(*this, depth);
    const size_t start = out.size();
    out.resize(start + length);
    PrintWriter writer(out.data() + start);
    writer.node(*this, depth);
    // The measure and the writer follow the same rules, piece by piece.
    assert(writer.at() == out.data() + out.size());
}

std::wstring WriteXmlText(const XmlNode& node)
{
    std::wstring out;
    node.Print(out, 0);
    return out;
}

namespace
{

std::string& lastParseError()
{
    static std::string error;
    return error;
}

bool parseFailed(const char* why)
{
    lastParseError() = why ? why : "";
    return false;
}

} // namespace

const std::string& LastXmlParseError()
{
    return lastParseError();
}

void ClearLastXmlParseError()
{
    lastParseError().clear();
}

bool ParseXmlText(XmlNode& target, const char* text, bool keepWhiteSpace)
{
    lastParseError().clear();
    if (!text)
        return parseFailed("no text");
    // The text as TinyXML gets it, when it has to differ from the caller's.
    std::string changed;
    bool copied = false;
    size_t length = std::strlen(text);
    size_t typeBegin = 0, typeEnd = 0;
    switch (findDocumentType(text, typeBegin, typeEnd))
    {
    case DocumentType::Unterminated:
        return parseFailed("an unterminated document type declaration");
    case DocumentType::Found:
        changed.reserve(length - (typeEnd - typeBegin) + 4);
        changed.assign(text, typeBegin);
        changed.append(text + typeEnd, length - typeEnd);
        text = changed.c_str();
        length = changed.size();
        copied = true;
        break;
    case DocumentType::None:
        break;
    }
    if (!nestingWithinLimit(text))
        return parseFailed("elements nested too deep");
    // TinyXML steps over a whole UTF-8 sequence at once, so a text cut inside
    // its last character would be read past its terminator: such a text is
    // parsed from a copy with room to spare.
    for (size_t back = 1; back <= 3 && back <= length; ++back)
    {
        if (static_cast<unsigned char>(text[length - back]) >= 0xC0)
        {
            if (!copied)
            {
                changed.reserve(length + 4);
                changed.assign(text, length);
            }
            changed.append(4, '\0');
            text = changed.c_str();
            break;
        }
    }
    // Left to guess, TinyXML takes UTF-8 only from a byte-order mark or a
    // declaration and otherwise stores a character reference above U+007F as
    // one byte, which the conversion then reads as broken UTF-8. Its output is
    // always read as UTF-8, so well-formed UTF-8 (every converted UTF-16 file
    // among it) is parsed as such; other bytes keep the guess, which steps
    // through them one at a time instead of swallowing the markup after them.
    const std::string_view whole(text, length);
    const TiXmlEncoding encoding =
        IsValidUtf8(whole) && readsApartAsUtf8(whole) ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING;
    if (keepWhiteSpace)
        TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlDocument document;
    // Rows and columns are never asked for; tracking them costs a quarter of the parse.
    document.SetTabSize(0);
    document.Parse(text, nullptr, encoding);
    if (document.Error())
        return parseFailed(document.ErrorDesc());
    const TiXmlElement* root = document.RootElement();
    if (!root)
        return parseFailed("no root element");
    XmlNode filled;
    if (!convertElement(*root, filled, 1))
        return parseFailed("an element that cannot be read");
    target.children = std::move(filled.children);
    target.name = std::move(filled.name);
    target.text = std::move(filled.text);
    target.attributes = std::move(filled.attributes);
    target.empty = filled.empty;
    return true;
}

} // namespace TarnEngine
