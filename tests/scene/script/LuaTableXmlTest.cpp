// Script tables saved to XML and read back: the stored shape, the merging
// read, exact numbers and strings through the profile file, and tables or
// files that used to hang, crash or end the process.
#include "engine/scene/script/LuaTableXml.h"

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaMgr.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <lua.hpp>

namespace
{

using namespace TarnEngine;

// Structural equality of two script values: numbers by value (NaN equals NaN,
// the sign of zero counts), strings byte for byte, tables key by key.
const char kSameFunction[] = R"(
function same(a, b)
    if type(a) ~= type(b) then return false end
    if type(a) == "number" then
        if a ~= a then return b ~= b end
        return a == b and 1 / a == 1 / b
    end
    if type(a) ~= "table" then return a == b end
    local count = 0
    for k, v in pairs(a) do
        count = count + 1
        local w = rawget(b, k)
        if w == nil or not same(v, w) then return false end
    end
    for _ in pairs(b) do count = count - 1 end
    return count == 0
end
)";

int failOnPanic(lua_State* state)
{
    std::fprintf(stderr, "Lua panic: %s\n", lua_tostring(state, -1));
    std::abort();
}

// A document nested deeper than the destructor's recursion can take, taken
// apart level by level.
struct DeepDocument
{
    std::unique_ptr<XmlNode> root;
    ~DeepDocument()
    {
        std::vector<std::unique_ptr<XmlNode>> pending;
        pending.push_back(std::move(root));
        while (!pending.empty())
        {
            std::unique_ptr<XmlNode> node = std::move(pending.back());
            pending.pop_back();
            for (auto& child : node->children)
                pending.push_back(std::move(child));
            node->children.clear();
        }
    }
};

void setEntry(XmlNode& entry, const wchar_t* keyType, const wchar_t* key, const wchar_t* valueType,
              const wchar_t* value)
{
    entry.SetAttribute(L"keytype", keyType);
    entry.SetAttribute(L"key", key);
    entry.SetAttribute(L"valuetype", valueType);
    if (value)
        entry.SetAttribute(L"value", value);
}

class LuaTableXml : public ::testing::Test
{
protected:
    void SetUp() override
    {
        state = luaL_newstate();
        ASSERT_NE(state, nullptr);
        lua_atpanic(state, failOnPanic);
        luaL_openlibs(state);
        Run(kSameFunction);
    }
    void TearDown() override { lua_close(state); }

    void Run(const std::string& code)
    {
        ASSERT_EQ(luaL_dostring(state, code.c_str()), 0) << lua_tostring(state, -1);
    }

    bool Check(const std::string& expression)
    {
        if (luaL_dostring(state, ("return " + expression).c_str()) != 0)
        {
            ADD_FAILURE() << lua_tostring(state, -1);
            lua_pop(state, 1);
            return false;
        }
        const bool result = lua_toboolean(state, -1) != 0;
        lua_pop(state, 1);
        return result;
    }

    // Writes the global under "t_data" into a new parent element.
    std::unique_ptr<XmlNode> Save(const char* global)
    {
        auto parent = std::make_unique<XmlNode>(L"GAME_STATE_ENTRY");
        lua_getglobal(state, global);
        const int top = lua_gettop(state);
        EXPECT_TRUE(SerializeLuaTable(state, -1, L"t_data", *parent));
        EXPECT_EQ(lua_gettop(state), top);
        lua_pop(state, 1);
        return parent;
    }

    // Reads "t_data" of the parent into the global (made when it is nil).
    bool Load(const char* global, const XmlNode& parent)
    {
        lua_getglobal(state, global);
        const int top = lua_gettop(state);
        const bool read = DeserializeLuaTable(state, -1, L"t_data", parent);
        EXPECT_EQ(lua_gettop(state), top);
        lua_setglobal(state, global);
        return read;
    }

    // Through the profile file as the game writes and reads it.
    static std::unique_ptr<XmlNode> ThroughFile(const XmlNode& root)
    {
        ByteBuffer file;
        EXPECT_TRUE(BuildProtectedXml(root, file));
        auto back = ReadProtectedXml(file.GetData(), file.GetSize());
        EXPECT_NE(back, nullptr);
        return back;
    }

    static std::unique_ptr<XmlNode> Parse(const char* text)
    {
        auto root = std::make_unique<XmlNode>();
        EXPECT_TRUE(ParseXmlText(*root, text, true));
        return root;
    }

    // The "__value" element of the key in a table element.
    static const XmlNode* Entry(const XmlNode& table, const std::wstring& key)
    {
        for (const auto& child : table.children)
            if (child->GetStringAttribute(L"key", L"") == key)
                return child.get();
        return nullptr;
    }

    lua_State* state = nullptr;
};

TEST_F(LuaTableXml, WritesOneValueElementPerPair)
{
    Run("t = { x = 1.5, name = 'Bob', done = true, items = { 2, 3 } }");
    const auto parent = Save("t");
    ASSERT_EQ(parent->children.size(), 1u);
    const XmlNode& table = *parent->children[0];
    EXPECT_EQ(table.name, L"t_data");
    ASSERT_EQ(table.children.size(), 4u);
    for (const auto& child : table.children)
        EXPECT_EQ(child->name, L"__value");

    const XmlNode* x = Entry(table, L"x");
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(WriteXmlText(*x),
              L"<__value key=\"x\" keytype=\"String\" value=\"1.500000\" valuetype=\"Number\"/>\n");
    const XmlNode* name = Entry(table, L"name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetStringAttribute(L"value", L""), L"Bob");
    EXPECT_EQ(name->GetStringAttribute(L"valuetype", L""), L"String");
    const XmlNode* done = Entry(table, L"done");
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStringAttribute(L"value", L""), L"true");
    EXPECT_EQ(done->GetStringAttribute(L"valuetype", L""), L"Boolean");

    const XmlNode* items = Entry(table, L"items");
    ASSERT_NE(items, nullptr);
    EXPECT_EQ(items->GetStringAttribute(L"valuetype", L""), L"Table");
    EXPECT_EQ(items->FindAttribute(L"value"), nullptr);
    ASSERT_EQ(items->children.size(), 1u);
    const XmlNode& nested = *items->children[0];
    EXPECT_EQ(nested.name, L"__table");
    ASSERT_EQ(nested.children.size(), 2u);
    const XmlNode* first = Entry(nested, L"1.000000");
    const XmlNode* second = Entry(nested, L"2.000000");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->GetStringAttribute(L"keytype", L""), L"Number");
    EXPECT_EQ(first->GetStringAttribute(L"value", L""), L"2.000000");
    EXPECT_EQ(second->GetStringAttribute(L"value", L""), L"3.000000");
}

// A stored file as the game has always written it, read into a table that
// already holds data: the read merges, and nested tables are filled in place.
TEST_F(LuaTableXml, ReadingMergesIntoTheTableThatIsThere)
{
    const auto root = Parse(R"(<GAME_STATE_ENTRY>
    <t_data>
        <__value key="x" keytype="String" value="1.500000" valuetype="Number"/>
        <__value key="name" keytype="String" value="Bob" valuetype="String"/>
        <__value key="done" keytype="String" value="true" valuetype="Boolean"/>
        <__value key="items" keytype="String" valuetype="Table">
            <__table>
                <__value key="1.000000" keytype="Number" value="2.000000" valuetype="Number"/>
                <__value key="2.000000" keytype="Number" value="3.000000" valuetype="Number"/>
            </__table>
        </__value>
        <__value key="other" keytype="String" valuetype="Table">
            <__table/>
        </__value>
    </t_data>
</GAME_STATE_ENTRY>
)");
    Run("items = { 7, 8, 9 }; other = { kept = 1 }\n"
        "t = { items = items, other = other, done = false, keep = 'me' }");
    EXPECT_TRUE(Load("t", *root));
    EXPECT_TRUE(Check("t.items == items and same(items, { 2, 3, 9 })"));
    EXPECT_TRUE(Check("t.other == other and same(other, { kept = 1 })"));
    EXPECT_TRUE(Check("t.x == 1.5 and t.name == 'Bob' and t.done == true and t.keep == 'me'"));

    // A value that is not a table is replaced by one.
    Run("t = { items = 'gone' }");
    EXPECT_TRUE(Load("t", *root));
    EXPECT_TRUE(Check("same(t.items, { 2, 3 })"));
}

TEST_F(LuaTableXml, ASlotWithoutTableGetsANewOne)
{
    const auto root =
        Parse("<r><t_data><__value key=\"a\" keytype=\"String\" value=\"1\" valuetype=\"Number\"/>"
              "</t_data></r>");
    Run("t = nil");
    EXPECT_TRUE(Load("t", *root));
    EXPECT_TRUE(Check("same(t, { a = 1 })"));

    // A missing element reads as nothing, but the table is still made.
    Run("t = nil");
    EXPECT_TRUE(Load("t", XmlNode(L"r")));
    EXPECT_TRUE(Check("same(t, {})"));

    // Places that hold no table and cannot be given one.
    lua_pushnil(state);
    const int top = lua_gettop(state);
    XmlNode parent(L"r");
    EXPECT_FALSE(SerializeLuaTable(state, -1, L"t_data", parent));
    EXPECT_FALSE(SerializeLuaTable(state, top + 1, L"t_data", parent));
    EXPECT_FALSE(SerializeLuaTable(state, -(top + 1), L"t_data", parent));
    EXPECT_FALSE(SerializeLuaTable(nullptr, -1, L"t_data", parent));
    EXPECT_TRUE(parent.children.empty());
    EXPECT_FALSE(DeserializeLuaTable(state, top + 1, L"t_data", *root));
    EXPECT_FALSE(DeserializeLuaTable(state, -(top + 1), L"t_data", *root));
    EXPECT_EQ(lua_gettop(state), top);
    EXPECT_TRUE(lua_isnil(state, -1));
    lua_pop(state, 1);
}

TEST_F(LuaTableXml, LeavesOutPairsThatCannotBeStored)
{
    Run("t = { kept = 1, f = print, co = coroutine.create(function() end), u = newproxy(), [true] = 1,"
        " [false] = 'x', [print] = 2, [{}] = 3 }");
    lua_getglobal(state, "t");
    lua_pushlightuserdata(state, nullptr);
    lua_pushinteger(state, 4);
    lua_settable(state, -3);
    lua_pop(state, 1);
    const auto parent = Save("t");
    const XmlNode& table = *parent->children[0];
    ASSERT_EQ(table.children.size(), 1u);
    EXPECT_EQ(table.children[0]->GetStringAttribute(L"key", L""), L"kept");
}

// "%f" as stored files have it wherever it reads back as the same number;
// otherwise the shortest exact text.
TEST_F(LuaTableXml, NumbersAreWrittenSoThatTheyReadBackExactly)
{
    struct Case
    {
        double value;
        const wchar_t* text;
    };
    const Case cases[] = {
        {1.5, L"1.500000"},
        {0, L"0.000000"},
        {-0.0, L"-0.000000"},
        {0.1, L"0.100000"},
        {-123456.789, L"-123456.789000"},
        {1e20, L"100000000000000000000.000000"},
        {1e-7, L"1e-07"},
        {-1e-9, L"-1e-09"},
        {1.0 / 3, L"0.3333333333333333"},
        {0.1 + 0.2, L"0.30000000000000004"},
        {5e-324, L"5e-324"},
        {std::numeric_limits<double>::infinity(), L"inf"},
        {-std::numeric_limits<double>::infinity(), L"-inf"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        lua_newtable(state);
        lua_pushnumber(state, c.value);
        lua_pushnumber(state, c.value);
        lua_settable(state, -3);
        XmlNode parent(L"r");
        ASSERT_TRUE(SerializeLuaTable(state, -1, L"t_data", parent));
        lua_pop(state, 1);
        const XmlNode& entry = *parent.children[0]->children[0];
        EXPECT_EQ(entry.GetStringAttribute(L"key", L""), c.text);
        EXPECT_EQ(entry.GetStringAttribute(L"value", L""), c.text);
        // The engine's decimal conversion reads finite values back exactly;
        // infinities are read by the table reader itself (below).
        if (std::isfinite(c.value))
        {
            const double back = WStringToDouble(c.text);
            EXPECT_EQ(std::memcmp(&back, &c.value, sizeof back), 0);
        }
    }

    // Values with at most six decimals keep the text of "%f" byte for byte.
    Run("t = {} for i = -3000, 3000 do t[#t + 1] = i / 8 end for i = 1, 2000 do t[#t + 1] = i * 1.25e6 end");
    const auto parent = Save("t");
    for (const auto& entry : parent->children[0]->children)
    {
        const double value = entry->GetDoubleAttribute(L"value", -1);
        ASSERT_EQ(entry->GetStringAttribute(L"value", L""), StringPrintf(L"%f", value));
    }

    // Small keys that "%f" alone would merge stay apart, and NaN and
    // infinite values come back as such.
    Run("t = { [1e-7] = 'a', [2e-7] = 'b', [-1e-7] = 'c', nan = 0 / 0, inf = 1 / 0, ninf = -1 / 0 }");
    const auto root = ThroughFile(*Save("t"));
    Run("back = nil");
    EXPECT_TRUE(Load("back", *root));
    EXPECT_TRUE(Check("same(t, back)"));
}

TEST_F(LuaTableXml, StringsComeBackByteForByte)
{
    std::string all;
    for (int byte = 0; byte < 256; ++byte)
        all += char(byte);
    lua_newtable(state);
    lua_pushlstring(state, all.data(), all.size());
    lua_setfield(state, -2, "all");
    for (int byte = 0; byte < 256; ++byte)
    {
        const char one = char(byte);
        lua_pushlstring(state, &one, 1);
        lua_pushinteger(state, byte);
        lua_settable(state, -3);
    }
    lua_setglobal(state, "t");
    Run("t[''] = ''; t['a\\0b'] = '\\0\\0'; t['  padded  '] = ' \\t\\r\\n '; t['<&\"\\'>'] = ']]>&amp;'"
        "; t['\\r\\n'] = '\\r'");

    const auto root = ThroughFile(*Save("t"));
    Run("back = nil");
    EXPECT_TRUE(Load("back", *root));
    EXPECT_TRUE(Check("same(t, back)"));
    EXPECT_TRUE(Check("#back.all == 256 and back['\\0'] == 0 and back['\\255'] == 255"));
}

// A table inside itself is left out where it repeats; a table reached twice
// along different paths is no cycle and is written at both places.
TEST_F(LuaTableXml, TablesInsideThemselvesAreLeftOut)
{
    Run("shared = { n = 1 }\n"
        "t = { a = { shared = shared }, b = { shared = shared } }\n"
        "t.self = t\n"
        "t.a.up = t\n"
        "t.a.b = t.b; t.b.a = t.a\n");
    const auto root = ThroughFile(*Save("t"));
    Run("back = nil");
    EXPECT_TRUE(Load("back", *root));
    EXPECT_TRUE(Check("back.self == nil and back.a.up == nil"));
    EXPECT_TRUE(Check("same(back.a.shared, shared) and same(back.b.shared, shared)"));
    // Each of a and b holds the other once, which holds nothing further back.
    EXPECT_TRUE(Check("back.a.b.a == nil and back.b.a.b == nil and back.a.b.shared.n == 1"));
}

size_t countEntries(const XmlNode& table)
{
    size_t count = 0;
    for (const auto& entry : table.children)
    {
        ++count;
        for (const auto& nested : entry->children)
            count += countEntries(*nested);
    }
    return count;
}

// Each level holds the next table twice: written once per path, forty levels
// would never finish.
TEST_F(LuaTableXml, SharedTablesCannotMakeASaveEndless)
{
    Run("t = { first = 1 } local c = t for i = 1, 40 do local n = {} c.a = n c.b = n c = n end");
    const auto parent = Save("t");
    EXPECT_EQ(countEntries(*parent->children[0]), kLuaTableXmlMaxEntries);
}

int chainLength(lua_State* state, const char* global)
{
    lua_getglobal(state, global);
    int levels = 0;
    while (lua_istable(state, -1))
    {
        ++levels;
        lua_getfield(state, -1, "x");
        lua_remove(state, -2);
    }
    lua_pop(state, 1);
    return levels;
}

TEST_F(LuaTableXml, DeepNestingIsCutAtTheLimit)
{
    // A script table nested 100,000 deep is written down to the limit, and
    // what is written reads back.
    Run("t = {} local c = t for i = 1, 100000 do c.x = {} c = c.x end");
    {
        DeepDocument saved{Save("t")};
        const auto root = ThroughFile(*saved.root);
        ASSERT_NE(root, nullptr);
        Run("back = nil");
        EXPECT_TRUE(Load("back", *root));
        EXPECT_EQ(chainLength(state, "back"), kLuaTableXmlMaxDepth);
    }

    // A document nested 100,000 deep is read down to the limit.
    DeepDocument deep{std::make_unique<XmlNode>(L"r")};
    XmlNode* table = deep.root->AddNewChild(L"t_data");
    for (int level = 0; level < 100000; ++level)
    {
        XmlNode* entry = table->AddNewChild(L"__value");
        setEntry(*entry, L"String", L"x", L"Table", nullptr);
        table = entry->AddNewChild(L"__table");
    }
    Run("back = nil");
    EXPECT_TRUE(Load("back", *deep.root));
    EXPECT_EQ(chainLength(state, "back"), kLuaTableXmlMaxDepth);
}

TEST_F(LuaTableXml, EntriesThatCannotBeReadAreSkippedWhole)
{
    const auto root = Parse(R"xml(<r><t_data>
        <__value keytype="Number" key="nan" valuetype="Number" value="1"/>
        <__value keytype="Number" key="-nan" valuetype="String" value="a"/>
        <__value keytype="Number" key="NAN(1)" valuetype="Table"><__table>
            <__value keytype="String" key="a" valuetype="Number" value="1"/>
        </__table></__value>
        <__value keytype="Boolean" key="true" valuetype="Number" value="2"/>
        <__value keytype="Table" key="t" valuetype="Number" value="3"/>
        <__value key="untyped" valuetype="Number" value="3"/>
        <__value keytype="String" key="f" valuetype="Function" value="print"/>
        <__value keytype="String" key="lower" valuetype="number" value="3"/>
        <__value keytype="String" key="nil" valuetype="Nil"/>
        <__value keytype="Number" key="inf" valuetype="Number" value="4"/>
        <__value keytype="Number" key="junk" valuetype="Number" value="5junk"/>
        <__value keytype="String" key="novalue" valuetype="Number"/>
        <__value keytype="String" key="yes" valuetype="Boolean" value="yes"/>
        <__value keytype="String" key="notable" valuetype="Table"/>
        <other keytype="String" key="anyname" valuetype="String" value="read"/>
    </t_data></r>)xml");
    Run("t = nil");
    EXPECT_TRUE(Load("t", *root));
    EXPECT_TRUE(
        Check("same(t, { [1 / 0] = 4, [0] = 5, novalue = 0, yes = false, notable = {}, anyname = 'read' })"));
}

// A script metamethod that fails during the read is reported, not fatal.
TEST_F(LuaTableXml, ScriptErrorsDuringTheReadAreContained)
{
    const auto root = Parse("<r><t_data><__value key=\"a\" keytype=\"String\" valuetype=\"Table\"><__table>"
                            "<__value key=\"b\" keytype=\"String\" value=\"1\" valuetype=\"Number\"/>"
                            "</__table></__value></t_data></r>");
    const char* guards[] = {
        "setmetatable({}, { __newindex = function() error('refused') end })",
        "setmetatable({}, { __index = function() error('refused') end })",
        "setmetatable({}, { __newindex = function(t, k, v) rawset(t, k, v) error('late') end })",
    };
    for (const char* guard : guards)
    {
        SCOPED_TRACE(guard);
        Run(std::string("t = ") + guard);
        EXPECT_FALSE(Load("t", *root));
        EXPECT_TRUE(Check("type(t) == 'table'"));
    }
    Run("t = setmetatable({}, { __newindex = rawset })");
    EXPECT_TRUE(Load("t", *root));
    EXPECT_TRUE(Check("same(t, { a = { b = 1 } })"));
}

// Random tables without cycles come back exactly through the profile file.
class RandomTables
{
public:
    RandomTables(lua_State* s, uint64_t seed) : state(s), random(seed) {}

    void PushTable(int depth)
    {
        lua_newtable(state);
        const int count = Below(depth < 3 ? 9 : 4);
        for (int i = 0; i < count; ++i)
        {
            if (Below(2))
                lua_pushnumber(state, Number(false));
            else
                PushString();
            PushValue(depth);
            lua_settable(state, -3);
        }
    }

private:
    int Below(int n) { return int(random() % uint64_t(n)); }

    double Number(bool nanAllowed)
    {
        switch (Below(6))
        {
        case 0:
            return Below(2001) - 1000;
        case 1:
            return (Below(2000001) - 1000000) / std::pow(10.0, Below(9));
        case 2:
            return Below(100) * 1e-7;
        case 3:
        {
            const double special[] = {0.0,
                                      -0.0,
                                      DBL_MAX,
                                      -DBL_MAX,
                                      DBL_MIN,
                                      5e-324,
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity()};
            return special[Below(8)];
        }
        default:
        {
            double value;
            do
            {
                const uint64_t bits = random();
                std::memcpy(&value, &bits, sizeof value);
            } while (std::isnan(value) && !nanAllowed);
            return value;
        }
        }
    }

    void PushString()
    {
        std::string text(size_t(Below(24)), '\0');
        const char special[] = {'\0', '\r', '\n', '\t', '&', '<', '>', '"', '\'', ' ', '\x81', '\x80'};
        for (char& c : text)
            c = Below(3) ? char(Below(256)) : special[Below(int(sizeof special))];
        lua_pushlstring(state, text.data(), text.size());
    }

    void PushValue(int depth)
    {
        switch (Below(depth < 5 ? 4 : 3))
        {
        case 0:
            lua_pushboolean(state, Below(2));
            break;
        case 1:
            lua_pushnumber(state, Number(true));
            break;
        case 2:
            PushString();
            break;
        default:
            PushTable(depth + 1);
            break;
        }
    }

    lua_State* state;
    std::mt19937_64 random;
};

TEST_F(LuaTableXml, RandomTablesRoundTripExactly)
{
    for (uint64_t seed = 1; seed <= 300; ++seed)
    {
        SCOPED_TRACE(seed);
        RandomTables(state, seed).PushTable(0);
        lua_setglobal(state, "t");
        const auto root = ThroughFile(*Save("t"));
        ASSERT_NE(root, nullptr);
        Run("back = nil");
        ASSERT_TRUE(Load("back", *root));
        ASSERT_TRUE(Check("same(t, back)"));
    }
}

} // namespace

// The game keeps its saved tables as held references in the script manager's
// state: an empty reference is given a table by the read, a save of an empty
// reference writes nothing, and a saved table comes back into a new one.
TEST(LuaTableXmlHeld, HeldTablesRoundTripThroughTheScriptManagersState)
{
    LuaMgr scripts;
    ASSERT_TRUE(scripts.Init());
    lua_State* state = scripts.GetState();

    LuaStrongTable empty;
    XmlNode parent(L"GAME_STATE_ENTRY");
    EXPECT_FALSE(SerializeLuaTable(empty, L"t_data", parent));
    EXPECT_TRUE(parent.children.empty());

    ASSERT_EQ(luaL_dostring(state, "return { level = 3, name = 'Ada', bag = { 'key', 'lamp' } }"), 0);
    LuaStrongTable saved;
    saved.SetReference(state, -1);
    lua_pop(state, 1);
    ASSERT_TRUE(SerializeLuaTable(saved, L"t_data", parent));
    ASSERT_EQ(parent.children.size(), 1u);

    LuaStrongTable loaded;
    ASSERT_TRUE(DeserializeLuaTable(loaded, L"t_data", parent));
    ASSERT_TRUE(loaded.PushTable());
    lua_setglobal(state, "loaded");
    ASSERT_EQ(luaL_dostring(state, "return loaded.level == 3 and loaded.name == 'Ada' and loaded.bag[2] == 'lamp'"), 0);
    EXPECT_TRUE(lua_toboolean(state, -1));
    lua_pop(state, 1);
    EXPECT_EQ(lua_gettop(state), 0);
}

// Players' profiles hold this text: any change to how entries, numbers or
// escaped characters are written would be a change of the stored format.
TEST_F(LuaTableXml, SavedTextIsTheStoredFormat)
{
    Run(R"(t = {
        true, false, 0, -0.0, 7, -42, 2^53, 1.5, -123456.789, 0.1, 1 / 3, 1e-7, 1e20, 1e300, 1 / 0, -1 / 0,
        "", "plain", "a&b<c>\"d'e", "\0\1\t\n\r\31 x", " ", "Caf\233 \128\255", ("long "):rep(8),
        { [0.5] = { [1e-7] = "tiny" } }, { ["key & \"quoted\" <x>"] = { { } } }, { [-3] = -3 },
    })");
    const char expected[] =
        "<GAME_STATE_ENTRY>\n"
        "    <t_data>\n"
        "        <__value key=\"1.000000\" keytype=\"Number\" value=\"true\" valuetype=\"Boolean\"/>\n"
        "        <__value key=\"2.000000\" keytype=\"Number\" value=\"false\" valuetype=\"Boolean\"/>\n"
        "        <__value key=\"3.000000\" keytype=\"Number\" value=\"0.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"4.000000\" keytype=\"Number\" value=\"0.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"5.000000\" keytype=\"Number\" value=\"7.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"6.000000\" keytype=\"Number\" value=\"-42.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"7.000000\" keytype=\"Number\" value=\"9007199254740992.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"8.000000\" keytype=\"Number\" value=\"1.500000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"9.000000\" keytype=\"Number\" value=\"-123456.789000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"10.000000\" keytype=\"Number\" value=\"0.100000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"11.000000\" keytype=\"Number\" value=\"0.3333333333333333\" valuetype=\"Number\"/>\n"
        "        <__value key=\"12.000000\" keytype=\"Number\" value=\"1e-07\" valuetype=\"Number\"/>\n"
        "        <__value key=\"13.000000\" keytype=\"Number\" value=\"100000000000000000000.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"14.000000\" keytype=\"Number\" value=\"1000000000000000052504760255204420248704468581108159154915854115511802457988908195786371375080447864043704443832883878176942523235360430575644792184786706982848387200926575803737830233794788090059368953234970799945081119038967640880074652742780142494579258788820056842838115669472196386865459400540160.000000\" valuetype=\"Number\"/>\n"
        "        <__value key=\"15.000000\" keytype=\"Number\" value=\"inf\" valuetype=\"Number\"/>\n"
        "        <__value key=\"16.000000\" keytype=\"Number\" value=\"-inf\" valuetype=\"Number\"/>\n"
        "        <__value key=\"17.000000\" keytype=\"Number\" value=\"\" valuetype=\"String\"/>\n"
        "        <__value key=\"18.000000\" keytype=\"Number\" value=\"plain\" valuetype=\"String\"/>\n"
        "        <__value key=\"19.000000\" keytype=\"Number\" value=\"a&amp;b&lt;c&gt;&quot;d'e\" valuetype=\"String\"/>\n"
        "        <__value key=\"20.000000\" keytype=\"Number\" value=\"&#x00;&#x01;&#x09;&#x0A;&#x0D;&#x1F; x\" valuetype=\"String\"/>\n"
        "        <__value key=\"21.000000\" keytype=\"Number\" value=\" \" valuetype=\"String\"/>\n"
        "        <__value key=\"22.000000\" keytype=\"Number\" value=\"Caf\xC3\xA9 \xE2\x82\xAC\xC3\xBF\" valuetype=\"String\"/>\n"
        "        <__value key=\"23.000000\" keytype=\"Number\" value=\"long long long long long long long long \" valuetype=\"String\"/>\n"
        "        <__value key=\"24.000000\" keytype=\"Number\" valuetype=\"Table\">\n"
        "            <__table>\n"
        "                <__value key=\"0.500000\" keytype=\"Number\" valuetype=\"Table\">\n"
        "                    <__table>\n"
        "                        <__value key=\"1e-07\" keytype=\"Number\" value=\"tiny\" valuetype=\"String\"/>\n"
        "                    </__table>\n"
        "                </__value>\n"
        "            </__table>\n"
        "        </__value>\n"
        "        <__value key=\"25.000000\" keytype=\"Number\" valuetype=\"Table\">\n"
        "            <__table>\n"
        "                <__value key=\"key &amp; &quot;quoted&quot; &lt;x&gt;\" keytype=\"String\" valuetype=\"Table\">\n"
        "                    <__table>\n"
        "                        <__value key=\"1.000000\" keytype=\"Number\" valuetype=\"Table\">\n"
        "                            <__table/>\n"
        "                        </__value>\n"
        "                    </__table>\n"
        "                </__value>\n"
        "            </__table>\n"
        "        </__value>\n"
        "        <__value key=\"26.000000\" keytype=\"Number\" valuetype=\"Table\">\n"
        "            <__table>\n"
        "                <__value key=\"-3.000000\" keytype=\"Number\" value=\"-3.000000\" valuetype=\"Number\"/>\n"
        "            </__table>\n"
        "        </__value>\n"
        "    </t_data>\n"
        "</GAME_STATE_ENTRY>\n";
    EXPECT_EQ(WStringToUtf8(WriteXmlText(*Save("t"))), expected);
}
