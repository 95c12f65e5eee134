// Script tables in XML; see LuaTableXml.h.
//
// Both walks run inside a protected call, since Lua reports its errors (a
// metamethod that fails, memory running out) by a long jump. The frames of
// the walks therefore hold nothing that needs destroying while they call
// Lua: text being converted lives in the walk's state, owned outside the
// protected call, and XML elements are owned by the tree they hang in.
#include "engine/scene/script/LuaTableXml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <limits>
#include <memory>
#include <string_view>
#include <utility>

#include <lua.hpp>

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaMgr.h"

namespace TarnEngine
{

using namespace std::string_view_literals;

namespace
{

const std::wstring kValueElement = L"__value";
const std::wstring kTableElement = L"__table";
constexpr std::wstring_view kKeyAttributeName = L"key";
constexpr std::wstring_view kKeyTypeAttributeName = L"keytype";
constexpr std::wstring_view kValueAttributeName = L"value";
constexpr std::wstring_view kValueTypeAttributeName = L"valuetype";
const std::wstring kKeyAttribute(kKeyAttributeName);
const std::wstring kKeyTypeAttribute(kKeyTypeAttributeName);
const std::wstring kValueAttribute(kValueAttributeName);
const std::wstring kValueTypeAttribute(kValueTypeAttributeName);

enum class Kind
{
    Unknown,
    Boolean,
    Number,
    String,
    Table
};

std::wstring_view wordOf(Kind kind)
{
    switch (kind)
    {
    case Kind::Boolean:
        return L"Boolean";
    case Kind::Number:
        return L"Number";
    case Kind::String:
        return L"String";
    case Kind::Table:
        return L"Table";
    default:
        return {};
    }
}

// The type words are compared exactly, as they have always been written.
Kind kindOf(std::wstring_view word)
{
    switch (word.size())
    {
    case 5:
        return word == L"Table"sv ? Kind::Table : Kind::Unknown;
    case 6:
        return word == L"Number"sv ? Kind::Number : word == L"String"sv ? Kind::String : Kind::Unknown;
    case 7:
        return word == L"Boolean"sv ? Kind::Boolean : Kind::Unknown;
    default:
        return Kind::Unknown;
    }
}

// By exact name, unlike the path lookup of XmlNode::GetChild: a field name is
// a name, not a path.
const XmlNode* firstChildNamed(const XmlNode& parent, const std::wstring& name)
{
    for (const std::unique_ptr<XmlNode>& child : parent.children)
        if (child->name == name)
            return child.get();
    return nullptr;
}

// Room for "%f" of the largest double: 309 digits, a sign, the point and six decimals.
constexpr size_t kNumberTextSize = 330;

// Stored files have numbers in "%f" (six decimals), which loses small values
// and makes distinct small keys collide. That text is kept wherever it reads
// back as the very same number, so ordinary values are written as they always
// were; any other number gets the shortest text that reads back exactly
// (0.0000001 becomes "1e-07"), which the decimal conversion of the reader
// takes as it is.
size_t numberText(double value, char (&text)[kNumberTextSize])
{
    char* end;
    // Whole numbers (most of a profile: counts, indices, flags) are exact in
    // "%f" and print as their digits and six zeros; the general conversion is
    // kept for the rest.
    if (value == std::trunc(value) && std::fabs(value) < 9.2e18 && !(value == 0 && std::signbit(value)))
    {
        end = std::to_chars(text, text + sizeof text, static_cast<long long>(value)).ptr;
        std::memcpy(end, ".000000", 7);
        end += 7;
    }
    else
    {
        end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
        if (std::isfinite(value))
        {
            double back = 0;
            std::from_chars(text, end, back);
            if (std::memcmp(&back, &value, sizeof value) != 0)
                end = std::to_chars(text, text + sizeof text, value).ptr;
        }
    }
    return size_t(end - text);
}

// The reverse of numberText. The engine's decimal conversion reads "inf" and
// "nan" as 0, but they are what the writer gives for those values, so they
// are taken here to keep them through the file. Plain decimal text, what the
// writer gives for every finite value, is read here directly; it reads as the
// engine's conversion reads it, both giving the nearest double.
double numberFromText(std::wstring_view text)
{
    const size_t size = text.size();
    size_t at = 0;
    if (at < size && text[at] == L'-')
        ++at;
    const size_t digitsStart = at;
    while (at < size && text[at] >= L'0' && text[at] <= L'9')
        ++at;
    bool digits = at > digitsStart;
    if (at < size && text[at] == L'.')
    {
        const size_t fraction = ++at;
        while (at < size && text[at] >= L'0' && text[at] <= L'9')
            ++at;
        digits = digits || at > fraction;
    }
    if (digits && at < size && (text[at] == L'e' || text[at] == L'E'))
    {
        size_t exponent = at + 1;
        if (exponent < size && (text[exponent] == L'+' || text[exponent] == L'-'))
            ++exponent;
        const size_t exponentStart = exponent;
        while (exponent < size && text[exponent] >= L'0' && text[exponent] <= L'9')
            ++exponent;
        if (exponent > exponentStart)
            at = exponent;
    }
    char narrow[64];
    if (digits && at == size && size <= sizeof narrow)
    {
        for (size_t i = 0; i < size; ++i)
            narrow[i] = static_cast<char>(text[i]);
        double value = 0;
        const std::from_chars_result read = std::from_chars(narrow, narrow + size, value);
        if (read.ec == std::errc() && read.ptr == narrow + size)
            return value;
    }

    at = 0;
    while (at < size && (text[at] == L' ' || text[at] == L'\t'))
        ++at;
    bool negative = false;
    if (at < size && (text[at] == L'-' || text[at] == L'+'))
        negative = text[at++] == L'-';
    wchar_t word[9] = {};
    size_t length = 0;
    for (; at < size && length < 8; ++at)
        word[length++] = static_cast<wchar_t>(std::towlower(text[at]));
    const std::wstring_view read(word, length);
    if (read == L"inf" || read == L"infinity")
        return negative ? -HUGE_VAL : HUGE_VAL;
    if (read == L"nan")
        return negative ? -std::numeric_limits<double>::quiet_NaN() : std::numeric_limits<double>::quiet_NaN();
    return WStringToDouble(std::wstring(text));
}

void logLua(const wchar_t* operation, const std::wstring& fieldName, unsigned count, const wchar_t* why)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogLua, __FILE__, __LINE__, L"%s \"%s\": %u entries left out (%s)", operation, fieldName,
                    count, why);
}

// An index as an absolute stack index (pseudo-indices pass through); 0 when it
// names no slot of the stack.
int absoluteIndex(lua_State* state, int index)
{
    if (index <= LUA_REGISTRYINDEX)
        return index;
    const int top = lua_gettop(state);
    if (index < 0)
        index += top + 1;
    return index >= 1 && index <= top ? index : 0;
}

// ---- Writing -----------------------------------------------------------------

struct WriteWalk
{
    XmlNode* element = nullptr;
    // The tables from the top one down to the one being written: a table met
    // again among them holds itself and would be written without end.
    const void* path[kLuaTableXmlMaxDepth] = {};
    int depth = 0;
    unsigned written = 0;
    unsigned cycles = 0;
    unsigned tooDeep = 0;
    unsigned tooMany = 0;
    unsigned noStack = 0;
};

void writeTable(lua_State* state, WriteWalk& walk, XmlNode& element);

// The pair of lua_next (key below value) on top of the stack, left there.
void writePair(lua_State* state, WriteWalk& walk, XmlNode& element)
{
    const int keyType = lua_type(state, -2);
    if (keyType != LUA_TNUMBER && keyType != LUA_TSTRING)
        return;
    Kind valueKind;
    switch (lua_type(state, -1))
    {
    case LUA_TBOOLEAN:
        valueKind = Kind::Boolean;
        break;
    case LUA_TNUMBER:
        valueKind = Kind::Number;
        break;
    case LUA_TSTRING:
        valueKind = Kind::String;
        break;
    case LUA_TTABLE:
        valueKind = Kind::Table;
        break;
    default:
        return;
    }
    if (valueKind == Kind::Table)
    {
        const void* table = lua_topointer(state, -1);
        for (int level = 0; level < walk.depth; ++level)
            if (walk.path[level] == table)
            {
                ++walk.cycles;
                return;
            }
        if (walk.depth >= kLuaTableXmlMaxDepth)
        {
            ++walk.tooDeep;
            return;
        }
    }
    if (walk.written >= kLuaTableXmlMaxEntries)
    {
        ++walk.tooMany;
        return;
    }
    ++walk.written;

    // The texts of the key and the value, as bytes: numbers are formatted
    // from their value (converting a key on the stack would upset lua_next),
    // strings are the script's own bytes in the code page.
    char keyNumber[kNumberTextSize], valueNumber[kNumberTextSize];
    std::string_view key, value;
    if (keyType == LUA_TNUMBER)
        key = std::string_view(keyNumber, numberText(lua_tonumber(state, -2), keyNumber));
    else
    {
        size_t length = 0;
        const char* bytes = lua_tolstring(state, -2, &length);
        key = std::string_view(bytes, length);
    }
    switch (valueKind)
    {
    case Kind::Boolean:
        value = lua_toboolean(state, -1) ? "true" : "false";
        break;
    case Kind::Number:
        value = std::string_view(valueNumber, numberText(lua_tonumber(state, -1), valueNumber));
        break;
    case Kind::String:
    {
        size_t length = 0;
        const char* bytes = lua_tolstring(state, -1, &length);
        value = std::string_view(bytes, length);
        break;
    }
    default:
        break;
    }
    const std::wstring_view keyTypeWord = keyType == LUA_TNUMBER ? L"Number" : L"String";
    const std::wstring_view valueTypeWord = wordOf(valueKind);

    // Appended in name order, the order the attribute block keeps, each
    // text widened straight into it.
    XmlNode* entry = element.AddNewChild(kValueElement);
    XmlAttributes& attributes = entry->attributes;
    attributes.reserve(4, kKeyAttribute.size() + kKeyTypeAttribute.size() + kValueAttribute.size() +
                              kValueTypeAttribute.size() + key.size() + keyTypeWord.size() + value.size() +
                              valueTypeWord.size());
    const auto widened = [](std::string_view text)
    {
        return [text](wchar_t* out)
        {
            AnsiToWideChars(text, out);
            return text.size();
        };
    };
    attributes.AppendInOrder(kKeyAttribute, key.size(), widened(key));
    attributes.AppendInOrder(kKeyTypeAttribute, keyTypeWord);
    // A table has no value of its own: its pairs follow as elements.
    if (valueKind != Kind::Table)
        attributes.AppendInOrder(kValueAttribute, value.size(), widened(value));
    attributes.AppendInOrder(kValueTypeAttribute, valueTypeWord);

    if (valueKind == Kind::Table)
    {
        XmlNode* nested = entry->AddNewChild(kTableElement);
        walk.path[walk.depth++] = lua_topointer(state, -1);
        writeTable(state, walk, *nested);
        --walk.depth;
    }
}

// The table on top of the stack, into element.
void writeTable(lua_State* state, WriteWalk& walk, XmlNode& element)
{
    if (!lua_checkstack(state, 3))
    {
        ++walk.noStack;
        return;
    }
    const int table = lua_gettop(state);
    // Room for every pair at once: a profile has a thousand small tables,
    // and growing each element's list step by step cost more than counting.
    size_t pairs = 0;
    lua_pushnil(state);
    while (lua_next(state, table) != 0)
    {
        ++pairs;
        lua_pop(state, 1);
    }
    element.children.reserve(std::min<size_t>(pairs, kLuaTableXmlMaxEntries - walk.written));
    lua_pushnil(state);
    while (lua_next(state, table) != 0)
    {
        writePair(state, walk, element);
        lua_pop(state, 1);
    }
}

// Protected: (table, walk).
int writeProtected(lua_State* state)
{
    WriteWalk& walk = *static_cast<WriteWalk*>(lua_touserdata(state, 2));
    lua_settop(state, 1);
    walk.path[0] = lua_topointer(state, 1);
    walk.depth = 1;
    writeTable(state, walk, *walk.element);
    return 0;
}

// ---- Reading -----------------------------------------------------------------

struct ReadWalk
{
    const XmlNode* element = nullptr;
    // The narrow text of the string being pushed.
    std::string text;
    unsigned nanKeys = 0;
    unsigned tooDeep = 0;
    unsigned noStack = 0;
};

// The four attributes of an entry, each empty when absent; found in one pass
// over the few attributes an entry has.
struct EntryText
{
    std::wstring_view key;
    std::wstring_view keyType;
    std::wstring_view value;
    std::wstring_view valueType;
};

EntryText textOf(const XmlNode& entry)
{
    // The four names differ in length, which picks the one to compare with.
    static_assert(kKeyAttributeName.size() == 3 && kKeyTypeAttributeName.size() == 7 &&
                  kValueAttributeName.size() == 5 && kValueTypeAttributeName.size() == 9);
    EntryText text;
    for (const auto& [name, value] : entry.attributes)
    {
        switch (name.size())
        {
        case 3:
            if (name == kKeyAttributeName)
                text.key = value;
            break;
        case 7:
            if (name == kKeyTypeAttributeName)
                text.keyType = value;
            break;
        case 5:
            if (name == kValueAttributeName)
                text.value = value;
            break;
        case 9:
            if (name == kValueTypeAttributeName)
                text.valueType = value;
            break;
        default:
            break;
        }
    }
    return text;
}

// Strings are pushed with their length: they may hold NULs. ASCII reads the
// same in the code page, so it is narrowed into the walk's buffer directly.
void pushAnsi(lua_State* state, ReadWalk& walk, std::wstring_view text)
{
    walk.text.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        const uint32_t c = static_cast<uint32_t>(text[i]);
        if (c >= 0x80)
        {
            walk.text = WStringToAnsi(text);
            break;
        }
        walk.text[i] = static_cast<char>(c);
    }
    lua_pushlstring(state, walk.text.data(), walk.text.size());
}

void readTable(lua_State* state, ReadWalk& walk, const XmlNode& element, int depth);

// A new table with room for the entries of element (null: none), so that
// filling it never grows it step by step: number keys are counted for the
// array part, the others for the hash part; the room is a hint only.
void newTableFor(lua_State* state, const XmlNode* element)
{
    int numbers = 0, others = 0;
    if (element)
    {
        const int most = static_cast<int>(std::min<size_t>(element->children.size(), kLuaTableXmlMaxEntries));
        for (int i = 0; i < most; ++i)
        {
            const XmlNode& entry = *element->children[size_t(i)];
            if (kindOf(textOf(entry).keyType) == Kind::Number)
                ++numbers;
            else
                ++others;
        }
    }
    lua_createtable(state, numbers, others);
}

void readPair(lua_State* state, ReadWalk& walk, const XmlNode& entry, int table, int depth)
{
    const EntryText text = textOf(entry);
    const Kind keyKind = kindOf(text.keyType);
    const Kind valueKind = kindOf(text.valueType);
    if ((keyKind != Kind::Number && keyKind != Kind::String) || valueKind == Kind::Unknown)
        return;
    const std::wstring_view key = text.key;
    double numberKey = 0;
    if (keyKind == Kind::Number)
    {
        numberKey = numberFromText(key);
        // Lua refuses NaN as a key with an error.
        if (std::isnan(numberKey))
        {
            ++walk.nanKeys;
            return;
        }
    }
    if (valueKind == Kind::Table && depth >= kLuaTableXmlMaxDepth)
    {
        ++walk.tooDeep;
        return;
    }

    if (keyKind == Kind::Number)
        lua_pushnumber(state, numberKey);
    else
        pushAnsi(state, walk, key);
    const std::wstring_view value = text.value;
    switch (valueKind)
    {
    case Kind::Boolean:
        lua_pushboolean(state, value == L"true");
        break;
    case Kind::Number:
        lua_pushnumber(state, numberFromText(value));
        break;
    case Kind::String:
        pushAnsi(state, walk, value);
        break;
    default:
    {
        // A table that exists is filled in place; anything else is replaced.
        const XmlNode* nested = firstChildNamed(entry, kTableElement);
        lua_pushvalue(state, -1);
        lua_gettable(state, table);
        if (!lua_istable(state, -1))
        {
            lua_pop(state, 1);
            newTableFor(state, nested);
        }
        if (nested)
            readTable(state, walk, *nested, depth + 1);
        break;
    }
    }
    lua_settable(state, table);
}

// The entries of element into the table on top of the stack, which is at the given depth.
void readTable(lua_State* state, ReadWalk& walk, const XmlNode& element, int depth)
{
    // Key, value, and the key's copy for the look-up of a nested table.
    if (!lua_checkstack(state, 3))
    {
        ++walk.noStack;
        return;
    }
    const int table = lua_gettop(state);
    for (const std::unique_ptr<XmlNode>& entry : element.children)
        readPair(state, walk, *entry, table, depth);
}

// Protected: (table or anything else, walk); returns the table read into.
int readProtected(lua_State* state)
{
    ReadWalk& walk = *static_cast<ReadWalk*>(lua_touserdata(state, 2));
    lua_settop(state, 1);
    if (!lua_istable(state, 1))
    {
        lua_pop(state, 1);
        newTableFor(state, walk.element);
    }
    if (walk.element)
        readTable(state, walk, *walk.element, 1);
    return 1;
}

} // namespace

bool SerializeLuaTable(lua_State* state, int index, const std::wstring& fieldName, XmlNode& parent)
{
    if (!state)
        return false;
    index = absoluteIndex(state, index);
    // The protected call's function, table, walk and error handler.
    if (index == 0 || !lua_istable(state, index) || !lua_checkstack(state, 4))
        return false;
    // Built apart and attached whole, so that a failed walk leaves the parent as it was.
    auto element = std::make_unique<XmlNode>(fieldName);
    WriteWalk walk;
    walk.element = element.get();
    lua_pushcfunction(state, writeProtected);
    lua_pushvalue(state, index);
    lua_pushlightuserdata(state, &walk);
    if (!LuaPCall(state, 2, 0))
        return false;
    parent.AppendChild(std::move(element));
    if (walk.cycles)
        logLua(L"SerializeLuaTable", fieldName, walk.cycles, L"tables inside themselves");
    if (walk.tooDeep)
        logLua(L"SerializeLuaTable", fieldName, walk.tooDeep, L"tables nested too deep");
    if (walk.tooMany)
        logLua(L"SerializeLuaTable", fieldName, walk.tooMany, L"too many pairs");
    if (walk.noStack)
        logLua(L"SerializeLuaTable", fieldName, walk.noStack, L"no room on the script stack");
    return true;
}

bool DeserializeLuaTable(lua_State* state, int index, const std::wstring& fieldName, const XmlNode& parent)
{
    if (!state)
        return false;
    index = absoluteIndex(state, index);
    if (index == 0 || !lua_checkstack(state, 4))
        return false;
    const bool hadTable = lua_istable(state, index);
    // A pseudo-index is no slot that a new table could be put in.
    if (!hadTable && index <= LUA_REGISTRYINDEX)
        return false;
    ReadWalk walk;
    walk.element = firstChildNamed(parent, fieldName);
    lua_pushcfunction(state, readProtected);
    lua_pushvalue(state, index);
    lua_pushlightuserdata(state, &walk);
    if (!LuaPCall(state, 2, 1))
        return false;
    if (hadTable)
        lua_pop(state, 1);
    else
        lua_replace(state, index);
    if (walk.nanKeys)
        logLua(L"DeserializeLuaTable", fieldName, walk.nanKeys, L"number keys that are not a number");
    if (walk.tooDeep)
        logLua(L"DeserializeLuaTable", fieldName, walk.tooDeep, L"tables nested too deep");
    if (walk.noStack)
        logLua(L"DeserializeLuaTable", fieldName, walk.noStack, L"no room on the script stack");
    return true;
}

bool SerializeLuaTable(const LuaStrongTable& table, const std::wstring& fieldName, XmlNode& parent)
{
    if (!table.PushTable())
        return false;
    lua_State* state = table.GetState();
    const bool written = SerializeLuaTable(state, -1, fieldName, parent);
    lua_pop(state, 1);
    return written;
}

bool DeserializeLuaTable(LuaStrongTable& table, const std::wstring& fieldName, const XmlNode& parent)
{
    if (!table.PushTable())
    {
        LuaMgr* scripts = LuaMgr::Get();
        lua_State* state = scripts ? scripts->GetState() : nullptr;
        if (!state || !lua_checkstack(state, 1))
            return false;
        lua_createtable(state, 0, 0);
        table.SetReference(state, -1);
    }
    lua_State* state = table.GetState();
    const bool read = DeserializeLuaTable(state, -1, fieldName, parent);
    lua_pop(state, 1);
    return read;
}

} // namespace TarnEngine
