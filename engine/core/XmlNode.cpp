// XmlNode: conversion from TinyXML's tree, queries, and the printer.
#include "engine/core/XmlNode.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <string>
#include <string_view>
#include <wctype.h>

#include <tinyxml.h>

#include "engine/core/TextHelpers.h"

namespace TarnEngine
{

namespace
{

// TinyXML parses nested elements recursively without a limit; a document is
// measured first so that hostile nesting cannot exhaust the stack.
const int kMaxParseDepth = 512;

// False when the elements nest deeper than kMaxParseDepth (the root is level
// 1): such a document is refused whole rather than cut short.
bool convertElement(const TiXmlElement& source, XmlNode& target, int depth)
{
    target.empty = true;
    size_t elements = 0;
    for (const TiXmlElement* e = source.FirstChildElement(); e; e = e->NextSiblingElement())
        ++elements;
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
            auto node = std::make_unique<XmlNode>();
            if (!convertElement(*child->ToElement(), *node, depth + 1))
                return false;
            target.children.push_back(std::move(node));
            break;
        }
        case TiXmlNode::TINYXML_TEXT:
            target.empty = false;
            if (target.text.empty())
                target.text = Utf8ToWString(child->ValueStr());
            else
                target.text += Utf8ToWString(child->ValueStr());
            break;
        default:
            break;
        }
    }
    target.name = AnsiToWString(source.ValueStr());
    for (const TiXmlAttribute* a = source.FirstAttribute(); a; a = a->Next())
    {
        target.attributes.insert_or_assign(AnsiToWString(a->NameTStr()), Utf8ToWString(a->ValueStr()));
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

void appendEscaped(std::wstring& out, const std::wstring& value, bool attribute)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    for (wchar_t c : value)
    {
        switch (c)
        {
        case L'&':
            out += L"&amp;";
            break;
        case L'<':
            out += L"&lt;";
            break;
        case L'>':
            out += L"&gt;";
            break;
        case L'"':
            out += L"&quot;";
            break;
        default:
            if (c < 0x20 && (attribute || (c != L'\n' && c != L'\t')))
            {
                out += L"&#x";
                out += kHex[(c >> 4) & 0xF];
                out += kHex[c & 0xF];
                out += L';';
            }
            else
                out += c;
        }
    }
}

// The parser drops a text that is only white space, unless it comes as CDATA.
bool isParserBlank(const std::wstring& value)
{
    for (wchar_t c : value)
        if (c != L' ' && c != L'\t' && c != L'\n' && c != L'\r' && c != L'\v' && c != L'\f')
            return false;
    return true;
}

size_t skipPast(const char* p, size_t i, const char* terminator)
{
    const char* found = std::strstr(p + i, terminator);
    return found ? static_cast<size_t>(found - p) + std::strlen(terminator) : std::strlen(p);
}

bool nestingWithinLimit(const char* p)
{
    int depth = 0;
    size_t i = 0;
    while (p[i])
    {
        if (p[i] != '<')
        {
            const char* open = std::strchr(p + i, '<');
            if (!open)
                break;
            i = static_cast<size_t>(open - p);
        }
        const char next = p[i + 1];
        if (next == '!')
        {
            if (std::strncmp(p + i, "<!--", 4) == 0)
                i = skipPast(p, i + 4, "-->");
            else if (std::strncmp(p + i, "<![CDATA[", 9) == 0)
                i = skipPast(p, i + 9, "]]>");
            else
                i = skipPast(p, i + 2, ">");
            continue;
        }
        if (next == '?')
        {
            i = skipPast(p, i + 2, ">");
            continue;
        }
        if (next == '/')
        {
            depth = depth > 0 ? depth - 1 : 0;
            i = skipPast(p, i + 2, ">");
            continue;
        }
        // A start tag: quotes count only where an attribute value begins.
        if (++depth > kMaxParseDepth)
            return false;
        ++i;
        for (;;)
        {
            const char* mark = std::strpbrk(p + i, "=/>");
            if (!mark)
                return true;
            i = static_cast<size_t>(mark - p);
            if (*mark == '>')
                break;
            ++i;
            if (*mark == '/')
            {
                if (p[i] == '>' && depth > 0)
                    --depth;
                continue;
            }
            while (p[i] == ' ' || p[i] == '\t' || p[i] == '\n' || p[i] == '\r')
                ++i;
            if (p[i] == '"' || p[i] == '\'')
            {
                const char* close = std::strchr(p + i + 1, p[i]);
                if (!close)
                    return true;
                i = static_cast<size_t>(close - p) + 1;
            }
        }
        if (p[i])
            ++i;
    }
    return true;
}

} // namespace

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
    attributes[attributeName] = value;
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
    auto it = attributes.find(attributeName);
    return it == attributes.end() ? nullptr : &it->second;
}

bool XmlNode::GetAttribute(const std::wstring& attributeName, std::wstring& out) const
{
    const std::wstring* value = FindAttribute(attributeName);
    out = value ? *value : std::wstring();
    return value != nullptr;
}

std::wstring XmlNode::GetStringAttribute(const std::wstring& attributeName, const std::wstring& defaultValue,
                                         bool* found) const
{
    const std::wstring* value = FindAttribute(attributeName);
    if (found)
        *found = value != nullptr;
    return value ? *value : defaultValue;
}

bool XmlNode::GetBoolAttribute(const std::wstring& attributeName, bool defaultValue) const
{
    const std::wstring* value = FindAttribute(attributeName);
    if (!value)
        return defaultValue;
    const std::wstring lower = ToLower(*value);
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

void XmlNode::Print(std::wstring& out, int depth) const
{
    out.append(static_cast<size_t>(depth) * 4, L' ');
    out += L'<';
    out += name;
    for (const auto& [key, value] : attributes)
    {
        out += L' ';
        out += key;
        out += L"=\"";
        appendEscaped(out, value, true);
        out += L'"';
    }
    // A node given text or children without clearing `empty` still prints
    // them: dropping them would lose what the caller meant to save.
    if (empty && text.empty() && children.empty())
        out += L'/';
    else
    {
        out += L'>';
        if (children.empty())
        {
            if (!text.empty() && isParserBlank(text))
            {
                out += L"<![CDATA[";
                out += text;
                out += L"]]>";
            }
            else
                appendEscaped(out, text, false);
        }
        else
        {
            out += L'\n';
            for (const auto& child : children)
                child->Print(out, depth + 1);
            out.append(static_cast<size_t>(depth) * 4, L' ');
        }
        out += L"</";
        out += name;
    }
    out += L">\n";
}

std::wstring WriteXmlText(const XmlNode& node)
{
    std::wstring out;
    node.Print(out, 0);
    return out;
}

bool ParseXmlText(XmlNode& target, const char* text, bool keepWhiteSpace)
{
    if (!text)
        return false;
    if (!nestingWithinLimit(text))
        return false;
    // TinyXML steps over a whole UTF-8 sequence at once, so a text cut inside
    // its last character would be read past its terminator: such a text is
    // parsed from a copy with room to spare.
    std::string padded;
    const size_t length = std::strlen(text);
    for (size_t back = 1; back <= 3 && back <= length; ++back)
    {
        if (static_cast<unsigned char>(text[length - back]) >= 0xC0)
        {
            padded.reserve(length + 4);
            padded.assign(text, length);
            padded.append(4, '\0');
            text = padded.c_str();
            break;
        }
    }
    if (keepWhiteSpace)
        TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlDocument document;
    document.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error())
        return false;
    const TiXmlElement* root = document.RootElement();
    if (!root)
        return false;
    XmlNode filled;
    if (!convertElement(*root, filled, 1))
        return false;
    target.children = std::move(filled.children);
    target.name = std::move(filled.name);
    target.text = std::move(filled.text);
    target.attributes = std::move(filled.attributes);
    target.empty = filled.empty;
    return true;
}

} // namespace TarnEngine
