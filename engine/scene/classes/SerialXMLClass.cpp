// Member-by-member XML state; see SerialXMLClass.h.
#include "engine/scene/classes/SerialXMLClass.h"

#include "engine/core/text/StringFormat.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaTableXml.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <memory>

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(SerialXMLClass, RObject, RNoFactory)

namespace
{

const std::wstring kValue = L"value";
const std::wstring kType = L"type";

std::unique_ptr<XmlNode> scalarNode(const std::wstring& name, const std::wstring& value, const wchar_t* type)
{
    auto node = std::make_unique<XmlNode>(name);
    if (!value.empty())
        node->SetAttribute(kValue, value);
    node->SetAttribute(kType, type);
    return node;
}

std::unique_ptr<XmlNode> textNode(const std::wstring& name, const std::wstring& value)
{
    return scalarNode(name, value, L"String");
}

std::unique_ptr<XmlNode> intNode(const std::wstring& name, int32_t value)
{
    return scalarNode(name, StringPrintf(L"%d", value), L"int");
}

std::unique_ptr<XmlNode> uintNode(const std::wstring& name, uint32_t value)
{
    // Written with "%d" as the file has always held it: values above INT_MAX appear negative.
    return scalarNode(name, StringPrintf(L"%d", int32_t(value)), L"uint");
}

std::unique_ptr<XmlNode> boolNode(const std::wstring& name, bool value)
{
    return scalarNode(name, value ? L"1" : L"0", L"bool");
}

// A whole decimal number of the text, and nothing else; false for anything else.
bool readInteger(const std::wstring& text, long long minValue, long long maxValue, long long& out)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long value = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != L'\0' || value < minValue || value > maxValue)
        return false;
    out = value;
    return true;
}

bool readText(const XmlNode& node, std::wstring& out)
{
    out = node.GetStringAttribute(kValue, L"");
    return true;
}

bool readInt(const XmlNode& node, int32_t& out)
{
    long long value = 0;
    if (!readInteger(node.GetStringAttribute(kValue, L""), INT32_MIN, INT32_MAX, value))
        return false;
    out = int32_t(value);
    return true;
}

bool readUInt(const XmlNode& node, uint32_t& out)
{
    // Written as signed decimal; an unsigned decimal reads as well.
    long long value = 0;
    if (!readInteger(node.GetStringAttribute(kValue, L""), INT32_MIN, UINT32_MAX, value))
        return false;
    out = uint32_t(value);
    return true;
}

bool readBool(const XmlNode& node, bool& out)
{
    const std::wstring* text = node.FindAttribute(kValue);
    if (!text)
        return false;
    // The engine's boolean words; the file holds the digits.
    std::wstring word = *text;
    for (wchar_t& c : word)
        c = wchar_t(std::towlower(c));
    for (const wchar_t* yes : {L"true", L"t", L"yes", L"y", L"1"})
        if (word == yes)
        {
            out = true;
            return true;
        }
    for (const wchar_t* no : {L"false", L"f", L"no", L"n", L"0"})
        if (word == no)
        {
            out = false;
            return true;
        }
    return false;
}

template <class T, class Write>
void saveVector(XmlNode& parent, const std::wstring& name, const std::vector<T>& values, Write write)
{
    auto list = std::make_unique<XmlNode>(name);
    for (size_t i = 0; i < values.size(); ++i)
        list->AppendChild(write(StringPrintf(L"%s%d", name, int32_t(i)), values[i]));
    parent.AppendChild(std::move(list));
}

// Reads the children "<name>0", "<name>1", ... until one is missing; false when one did not read.
template <class T, class Read>
bool loadVector(const XmlNode& list, const std::wstring& name, std::vector<T>& values, Read read)
{
    std::vector<T> loaded;
    for (size_t i = 0; i < SerialXMLClass::MaxVectorLength; ++i)
    {
        const XmlNode* item = list.FindChild(StringPrintf(L"%s%d", name, int32_t(i)));
        if (!item)
            break;
        T value{};
        if (!read(*item, value))
            return false;
        loaded.push_back(value);
    }
    values = std::move(loaded);
    return true;
}

} // namespace

bool SerialXMLClass::Save(XmlNode& node)
{
    SerialMembers members;
    DescribeMembers(members);
    bool all = true;
    for (const SerialMembers::Member& member : members.GetMembers())
    {
        switch (member.kind)
        {
        case SerialMembers::Kind::Text:
            node.AppendChild(textNode(member.name, *static_cast<std::wstring*>(member.value)));
            break;
        case SerialMembers::Kind::Int:
            node.AppendChild(intNode(member.name, *static_cast<int32_t*>(member.value)));
            break;
        case SerialMembers::Kind::UInt:
            node.AppendChild(uintNode(member.name, *static_cast<uint32_t*>(member.value)));
            break;
        case SerialMembers::Kind::Bool:
            node.AppendChild(boolNode(member.name, *static_cast<bool*>(member.value)));
            break;
        case SerialMembers::Kind::TextVector:
            saveVector(node, member.name, *static_cast<std::vector<std::wstring>*>(member.value), &textNode);
            break;
        case SerialMembers::Kind::IntVector:
            saveVector(node, member.name, *static_cast<std::vector<int32_t>*>(member.value), &intNode);
            break;
        case SerialMembers::Kind::UIntVector:
            saveVector(node, member.name, *static_cast<std::vector<uint32_t>*>(member.value), &uintNode);
            break;
        case SerialMembers::Kind::BoolVector:
        {
            const std::vector<bool>& flags = *static_cast<std::vector<bool>*>(member.value);
            std::vector<bool> copy(flags.begin(), flags.end());
            auto list = std::make_unique<XmlNode>(member.name);
            for (size_t i = 0; i < copy.size(); ++i)
                list->AppendChild(boolNode(StringPrintf(L"%s%d", member.name, int32_t(i)), copy[i]));
            node.AppendChild(std::move(list));
            break;
        }
        case SerialMembers::Kind::Table:
            all = SerializeLuaTable(*static_cast<LuaStrongTable*>(member.value), member.name, node) && all;
            break;
        }
    }
    return all;
}

bool SerialXMLClass::Load(const XmlNode& node)
{
    SerialMembers members;
    DescribeMembers(members);
    bool all = true;
    for (const SerialMembers::Member& member : members.GetMembers())
    {
        const XmlNode* child = node.FindChild(member.name);
        if (!child)
            continue;
        bool read = true;
        switch (member.kind)
        {
        case SerialMembers::Kind::Text:
            read = readText(*child, *static_cast<std::wstring*>(member.value));
            break;
        case SerialMembers::Kind::Int:
            read = readInt(*child, *static_cast<int32_t*>(member.value));
            break;
        case SerialMembers::Kind::UInt:
            read = readUInt(*child, *static_cast<uint32_t*>(member.value));
            break;
        case SerialMembers::Kind::Bool:
            read = readBool(*child, *static_cast<bool*>(member.value));
            break;
        case SerialMembers::Kind::TextVector:
            read = loadVector(*child, member.name, *static_cast<std::vector<std::wstring>*>(member.value), &readText);
            break;
        case SerialMembers::Kind::IntVector:
            read = loadVector(*child, member.name, *static_cast<std::vector<int32_t>*>(member.value), &readInt);
            break;
        case SerialMembers::Kind::UIntVector:
            read = loadVector(*child, member.name, *static_cast<std::vector<uint32_t>*>(member.value), &readUInt);
            break;
        case SerialMembers::Kind::BoolVector:
        {
            std::vector<char> flags;
            read = loadVector(*child, member.name, flags,
                              [](const XmlNode& item, char& out)
                              {
                                  bool flag = false;
                                  const bool ok = readBool(item, flag);
                                  out = flag ? 1 : 0;
                                  return ok;
                              });
            if (read)
                static_cast<std::vector<bool>*>(member.value)->assign(flags.begin(), flags.end());
            break;
        }
        case SerialMembers::Kind::Table:
            // The table form finds its element by the exact name; the member's own spelling in the
            // file may differ in case.
            read = DeserializeLuaTable(*static_cast<LuaStrongTable*>(member.value),
                                       std::wstring(std::wstring_view(child->name)), node);
            break;
        }
        all = read && all;
    }
    return all;
}

} // namespace TarnEngine
