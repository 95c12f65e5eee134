// The Lua object binding against a real script state: lifetimes of strong
// and weak objects, class tables and script classes, "_CallMethod", the
// argument readers, global paths and the faults the binding refuses.
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/core/base/RefPtr.h"
#include "tests/scene/script/TestBoundClasses.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{

using namespace TarnEngine;

class Binding : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Records requested before the manager starts get their class tables.
        TestThing::StaticClass();
        WeakThing::StaticClass();
        lua = std::make_unique<LuaMgr>();
        ASSERT_TRUE(lua->Init());
        L = lua->GetState();
    }
    void TearDown() override
    {
        if (L)
        {
            EXPECT_EQ(lua_gettop(L), 0) << "the stack is left unbalanced";
        }
    }

    bool Run(const char* code)
    {
        if (luaL_loadstring(L, code) != 0)
        {
            ADD_FAILURE() << lua_tostring(L, -1);
            lua_pop(L, 1);
            return false;
        }
        return LuaPCall(L, 0, 0);
    }
    // tostring() of a Lua expression.
    std::string Eval(const std::string& expression)
    {
        const std::string code = "return tostring(" + expression + ")";
        if (luaL_loadstring(L, code.c_str()) != 0 || !LuaPCall(L, 0, 1))
            return "<error>";
        std::string value = lua_tostring(L, -1);
        lua_pop(L, 1);
        return value;
    }
    // Stores the object's table as a global.
    void SetGlobalTable(const ILuaObject& object, const char* name)
    {
        ASSERT_TRUE(object.PushTable());
        lua_setglobal(L, name);
    }

    std::unique_ptr<LuaMgr> lua;
    lua_State* L = nullptr;
};

TEST_F(Binding, StrongObjectDeletedByTheEngineLeavesADeadTable)
{
    auto* thing = new TestThing;
    thing->x = 4.5f;
    ASSERT_TRUE(thing->CreateLuaTable());
    EXPECT_FALSE(thing->CreateLuaTable()) << "one table per object";
    SetGlobalTable(*thing, "obj");
    ASSERT_TRUE(Run("disconnects = 0; function obj:OnTableDisconnect() disconnects = disconnects + 1 end"));
    EXPECT_EQ(Eval("obj:GetX()"), "4.5");
    EXPECT_EQ(Eval("obj:_IsValid()"), "true");
    EXPECT_EQ(Eval("obj:_Release()"), "false") << "strong objects are not Lua's to release";
    EXPECT_EQ(Eval("obj.__type"), "TestThing");

    // Collections do not touch a registry-held table.
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(TestThing::alive, 1);
    EXPECT_EQ(Eval("obj:GetX()"), "4.5");

    delete thing;
    EXPECT_EQ(Eval("disconnects"), "1");
    EXPECT_EQ(Eval("obj:_IsValid()"), "false");
    EXPECT_EQ(Eval("select('#', obj:GetX())"), "0") << "methods of a dead object return nothing";
    ASSERT_TRUE(Run("obj:SetX(3)"));
    EXPECT_EQ(Eval("obj:_Release()"), "true");
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(Eval("disconnects"), "1") << "the disconnect event runs once";
}

TEST_F(Binding, WeakObjectGoesWithItsTableUnlessTheEngineHoldsIt)
{
    ASSERT_TRUE(Run("a = Make('WeakThing')(); a:SetX(2); disconnects = 0;"
                    "function a:OnTableDisconnect() disconnects = disconnects + 1 end"));
    EXPECT_EQ(WeakThing::alive, 1);
    EXPECT_EQ(Eval("a:GetX()"), "2");
    ASSERT_TRUE(Run("a = nil"));
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(WeakThing::alive, 0);

    // An engine count keeps the object; only its table goes.
    ASSERT_TRUE(Run("b = Make('WeakThing')()"));
    lua_getglobal(L, "b");
    WeakThing* raw = LuaGetObjectArg<WeakThing>(L, -1);
    lua_pop(L, 1);
    ASSERT_NE(raw, nullptr);
    RefPtr<WeakThing> held(raw);
    ASSERT_TRUE(Run("b = nil"));
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(WeakThing::alive, 1);
    EXPECT_FALSE(held->HasTable());
    // The engine can give it a new table, and "_Release" then leaves it to the engine's count.
    ASSERT_TRUE(held->CreateLuaTable());
    SetGlobalTable(*held, "c");
    EXPECT_EQ(Eval("c:_Release()"), "false");
    EXPECT_EQ(WeakThing::alive, 1);
    held.Release();
    EXPECT_EQ(WeakThing::alive, 0);
    EXPECT_EQ(Eval("c:_IsValid()"), "false");
    EXPECT_EQ(Eval("c:_Release()"), "true");
}

TEST_F(Binding, ReleaseDeletesAnUncountedWeakObjectAtOnce)
{
    ASSERT_TRUE(Run("w = Make('WeakThing')()"));
    EXPECT_EQ(WeakThing::alive, 1);
    EXPECT_EQ(Eval("w:_Release()"), "true");
    EXPECT_EQ(WeakThing::alive, 0);
    EXPECT_EQ(Eval("w:_IsValid()"), "false");
    // A handler that releases the object while it is being disconnected ends it once.
    ASSERT_TRUE(Run("v = Make('WeakThing')(); function v:OnTableDisconnect() released = self:_Release() end"));
    ASSERT_TRUE(Run("v = nil"));
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(WeakThing::alive, 0);
}

TEST_F(Binding, OnlyTheMostDerivedConnectHandlerRuns)
{
    ASSERT_TRUE(Run("log = ''\n"
                    "BuildType{ _type = 'A', _parents = { 'TestThing' }, _fields = {"
                    "  OnTableConnect = function(self) log = log .. 'A' end } }\n"
                    "BuildType{ _type = 'B', _parents = { 'A' }, _fields = {"
                    "  OnTableConnect = function(self) log = log .. 'B' end } }\n"
                    "obj = Make('B')()"));
    EXPECT_EQ(Eval("log"), "B");
    EXPECT_EQ(Eval("obj.__type"), "B");
    EXPECT_EQ(Eval("obj:GetX()"), "0") << "native methods are inherited";
    EXPECT_EQ(TestThing::alive, 1);
    lua_getglobal(L, "obj");
    TestThing* thing = LuaGetObjectArg<TestThing>(L, -1);
    lua_pop(L, 1);
    delete thing;
    EXPECT_EQ(TestThing::alive, 0);
}

TEST_F(Binding, CallMethodReachesTheParentsVersionWithAllArguments)
{
    ASSERT_TRUE(Run("BuildType{ _type = 'P', _parents = { 'TestThing' }, _fields = {"
                    "  Sum = function(self, a, b) return 'P', a + b, self == obj end } }\n"
                    "BuildType{ _type = 'C', _parents = { 'P' }, _fields = {"
                    "  Sum = function(self, a, b) return 'C' end } }\n"
                    "obj = Make('C')()\n"
                    "r1, r2, r3 = obj:_CallMethod('P', 'Sum', 2, 5)\n"
                    "count = select('#', obj:_CallMethod('P', 'Sum', 2, 5))\n"
                    "none = select('#', obj:_CallMethod('Unrelated', 'Sum', 2, 5))\n"
                    "missing = select('#', obj:_CallMethod('P', 'NoSuchMethod'))\n"
                    "failing = select('#', obj:_CallMethod('P', 'Sum', 2))\n"));
    EXPECT_EQ(Eval("obj:Sum(1, 1)"), "C");
    EXPECT_EQ(Eval("r1"), "P");
    EXPECT_EQ(Eval("r2"), "7");
    EXPECT_EQ(Eval("r3"), "true");
    EXPECT_EQ(Eval("count"), "3");
    EXPECT_EQ(Eval("none"), "0");
    EXPECT_EQ(Eval("missing"), "0");
    EXPECT_EQ(Eval("failing"), "0") << "a failing parent method gives nothing";
    EXPECT_EQ(Eval("type(obj:_GetField('P', 'Sum'))"), "function");
    EXPECT_EQ(Eval("obj:_GetField('Nope', 'Sum')"), "nil");
    EXPECT_EQ(Eval("type(obj:_GetField('LuaSubclass', 'SetTimer'))"), "function") << "ancestors are transitive";
    lua_getglobal(L, "obj");
    delete LuaGetObjectArg<TestThing>(L, -1);
    lua_pop(L, 1);
}

struct BuildCase
{
    const char* name;
    const char* script; // sets `ok`
    const char* expectOk;
    const char* check; // an expression that must read "true" afterwards
};

TEST_F(Binding, BuildTypeAndMakeCases)
{
    const BuildCase cases[] = {
        {"non-table argument", "ok = BuildType('x')", "false", "true"},
        {"no argument", "ok = BuildType()", "false", "true"},
        {"type not a string", "ok = BuildType{ _type = {}, _fields = {} }", "false", "true"},
        {"missing parent creates nothing",
         "ok = BuildType{ _type = 'Orphan', _parents = { 'NoSuchParent' }, _fields = { f = 1 } }", "false",
         "Make('Orphan') == nil and debug.getregistry().Orphan == nil"},
        {"misspelt second parent creates nothing",
         "ok = BuildType{ _type = 'Half', _parents = { 'TestThing', 'TestThng' }, _fields = {} }", "false",
         "debug.getregistry().Half == nil"},
        {"parents not a table", "ok = BuildType{ _type = 'Pn', _parents = 5, _fields = {} }", "false",
         "debug.getregistry().Pn == nil"},
        {"parent name not a string", "ok = BuildType{ _type = 'Pq', _parents = { {} }, _fields = {} }", "false",
         "debug.getregistry().Pq == nil"},
        {"fields not a table", "ok = BuildType{ _type = 'Fn', _fields = 'x' }", "false",
         "debug.getregistry().Fn == nil"},
        {"name taken by another registry entry", "ok = BuildType{ _type = '_LOADED', _fields = { x = 1 } }", "false",
         "debug.getregistry()._LOADED.x == nil and Make('_LOADED') == nil"},
        {"parent that is not a type metatable", "ok = BuildType{ _type = 'Lq', _parents = { '_LOADED' } }", "false",
         "debug.getregistry().Lq == nil"},
        {"no parents and no fields", "ok = BuildType{ _type = 'Bare' }", "true", "Make('Bare') == nil"},
        {"script-only class has no constructor", "ok = BuildType{ _type = 'S', _fields = { f = 1 } }", "true",
         "Make('S') == nil"},
        {"make of a number", "ok = BuildType{ _type = 'N' }", "true", "select('#', Make(5)) == 0"},
        {"make of an unknown name", "ok = true", "true", "select('#', Make('Unknown')) == 0"},
        {"constructor of the last parent",
         "ok = BuildType{ _type = 'Both', _parents = { 'TestThing', 'WeakThing' } }", "true",
         "Make('Both')():_Release() == true"},
        {"fields replace inherited methods",
         "ok = BuildType{ _type = 'Over', _parents = { 'WeakThing' }, _fields = { GetX = function() return 'own' end } }",
         "true", "Make('Over')():GetX() == 'own'"},
    };
    for (const BuildCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Run("ok = nil"));
        ASSERT_TRUE(Run(c.script));
        EXPECT_EQ(Eval("ok"), c.expectOk);
        EXPECT_EQ(Eval(c.check), "true");
    }
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_EQ(WeakThing::alive, 0);
    EXPECT_EQ(TestThing::alive, 0);
}

TEST_F(Binding, TheClassBuilderRefusesAMissingParent)
{
    LuaClassDef def(L);
    def.AddParent("NoSuchClass");
    def.AddMethod("GetX", &testGetX<TestThing>);
    EXPECT_FALSE(def.Build("Broken"));
    EXPECT_EQ(Eval("debug.getregistry().Broken"), "nil");
    LuaClassDef taken(L);
    EXPECT_FALSE(taken.Build("_LOADED"));
    LuaClassDef good(L);
    good.AddParent("TestThing");
    EXPECT_TRUE(good.Build("Derived"));
    EXPECT_EQ(Eval("type(debug.getregistry().Derived.__index.GetX)"), "function");
    EXPECT_EQ(Eval("debug.getregistry().Derived.__parents.LuaSubclass ~= nil"), "true");
}

TEST_F(Binding, ForgedUserdataAtKeyZeroIsNotAnObject)
{
    auto* thing = new TestThing;
    thing->x = 9;
    ASSERT_TRUE(thing->CreateLuaTable());
    SetGlobalTable(*thing, "obj");
    ASSERT_TRUE(Run("for k, v in pairs(obj) do if type(k) == 'userdata' then key, ud = k, v end end\n"
                    "fake = setmetatable({}, getmetatable(obj))\n"
                    "fake[key] = io.stdout\n"
                    "valid = fake:_IsValid()\n"
                    "n = select('#', fake:GetX())\n"
                    "hidden = getmetatable(ud)\n"
                    "copy = setmetatable({}, getmetatable(obj)); copy[key] = ud\n"
                    "weak = Make('WeakThing')()\n"
                    "wrongClass = select('#', obj.GetX(weak))\n"));
    EXPECT_EQ(Eval("key ~= nil"), "true");
    EXPECT_EQ(Eval("valid"), "false");
    EXPECT_EQ(Eval("n"), "0");
    EXPECT_EQ(Eval("hidden"), "false") << "the release function stays out of reach";
    EXPECT_EQ(Eval("copy:GetX()"), "9") << "the binding's own userdata still names its object";
    EXPECT_EQ(Eval("wrongClass"), "0") << "a method of another class does nothing";
    delete thing;
    EXPECT_EQ(Eval("copy:_IsValid()"), "false");
    ASSERT_TRUE(Run("weak = nil"));
}

TEST_F(Binding, SetTimerNeedsAllFourArgumentsAndAClockThatExists)
{
    auto* thing = new TestThing;
    ASSERT_TRUE(thing->CreateLuaTable());
    SetGlobalTable(*thing, "obj");
    struct Case
    {
        const char* call;
        uint32_t id;
        bool set;
    };
    const Case cases[] = {
        {"obj:SetTimer(1, 0.5, false)", 1, false},
        {"obj:SetTimer(2, 0.5, 0, 0)", 2, false},
        {"obj:SetTimer(3, 0.5, true, 2)", 3, false},
        {"obj:SetTimer(4, 0.5, true, -1)", 4, false},
        {"obj:SetTimer(5, 0.5, true, 0/0)", 5, true}, // NaN reads as clock 0
        {"obj:SetTimer(6, 'x', true, 1)", 6, false},
        {"obj:SetTimer(7, 0.5, false, 1)", 7, true},
    };
    for (const Case& c : cases)
    {
        ASSERT_TRUE(Run(c.call));
        EXPECT_EQ(thing->GetTimer().HasTimer(c.id), c.set) << c.call;
    }
    ASSERT_TRUE(Run("obj:RemoveTimer(7)"));
    EXPECT_FALSE(thing->GetTimer().HasTimer(7));

    ASSERT_TRUE(Run("function obj:OnTimer(id) fired = id end"));
    thing->GetTimer().OnTimer(uint32_t(-3));
    EXPECT_EQ(Eval("fired"), "-3");
    delete thing;
}

TEST_F(Binding, ArgumentReaders)
{
    struct Case
    {
        const char* value;
        int intRead;
        int intValue;
        int boolRead;
        int cstringRead;
        int wstringRead;
    };
    const Case cases[] = {
        {"3.7", 1, 3, 0, 0, 0},
        {"-3.7", 1, -3, 0, 0, 0},
        {"'12'", 1, 12, 0, 1, 1},
        {"' 0x10 '", 1, 16, 0, 1, 1},
        {"0/0", 1, 0, 0, 0, 0},
        {"1e300", 1, std::numeric_limits<int>::max(), 0, 0, 0},
        {"-1e300", 1, std::numeric_limits<int>::min(), 0, 0, 0},
        {"1/0", 1, std::numeric_limits<int>::max(), 0, 0, 0},
        {"'abc'", 0, 0, 0, 1, 1},
        {"true", 0, 0, 1, 0, 0},
        {"nil", 0, 0, 0, 1, 1},
        {"{}", 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.value);
        ASSERT_EQ(luaL_loadstring(L, (std::string("return ") + c.value).c_str()), 0);
        ASSERT_TRUE(LuaPCall(L, 0, 1));
        int i = 0;
        EXPECT_EQ(LuaGetIntArg(L, i, -1), c.intRead);
        EXPECT_EQ(i, c.intValue);
        bool b = false;
        EXPECT_EQ(LuaGetBoolArg(L, b, -1), c.boolRead);
        const char* text = "untouched";
        EXPECT_EQ(LuaGetCStringArg(L, text, -1), c.cstringRead);
        std::wstring wide = L"untouched";
        EXPECT_EQ(LuaGetWStringArg(L, wide, -1), c.wstringRead);
        lua_pop(L, 1);
    }
    lua_pushstring(L, "gr\xC3\xBC\xC3\x9F");
    std::wstring wide;
    ASSERT_EQ(LuaGetWStringArg(L, wide, -1), 1);
    EXPECT_EQ(wide, L"gr\u00FC\u00DF");
    lua_pop(L, 1);
    lua_pushnil(L);
    const char* text = "x";
    EXPECT_EQ(LuaGetCStringArg(L, text, -1), 1);
    EXPECT_EQ(text, nullptr);
    lua_pop(L, 1);
    lua_pushnumber(L, 2.5);
    std::string narrow;
    float f = 0;
    EXPECT_EQ(LuaGetStringArg(L, narrow, -1), 1);
    EXPECT_EQ(narrow, "2.5");
    EXPECT_EQ(LuaGetFloatArg(L, f, -1), 1);
    EXPECT_EQ(f, 2.5f);
    lua_pop(L, 1);
    // Reading an argument that is not there.
    int i = 5;
    EXPECT_EQ(LuaGetIntArg(L, i, 1), 0);
    EXPECT_EQ(i, 5);
}

TEST_F(Binding, GlobalPathsMakeTablesAndRefuseNonTables)
{
    lua_pushnumber(L, 7);
    EXPECT_TRUE(LuaSetGlobalPath("svc.GameMgr", L));
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(Eval("svc.GameMgr"), "7");
    lua_pushnumber(L, 8);
    EXPECT_TRUE(LuaSetGlobalPath("svc.Other", L));
    EXPECT_EQ(Eval("svc.GameMgr + svc.Other"), "15") << "one table for one prefix";
    lua_pushnumber(L, 9);
    EXPECT_TRUE(LuaSetGlobalPath("a.b.c", L));
    EXPECT_EQ(Eval("a.b.c"), "9");

    ASSERT_TRUE(Run("num = 5"));
    lua_pushnumber(L, 1);
    EXPECT_FALSE(LuaSetGlobalPath("num.field", L));
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(Eval("num"), "5");
    lua_pushnumber(L, 1);
    EXPECT_FALSE(LuaSetGlobalPath("a.b.c.d", L));
    EXPECT_EQ(lua_gettop(L), 0);

    EXPECT_TRUE(LuaRegisterGlobalFunction(L, "tools.answer", [](lua_State* s) {
        lua_pushnumber(s, 42);
        return 1;
    }));
    EXPECT_EQ(Eval("tools.answer()"), "42");
}

TEST_F(Binding, EventsReachHandlersAndSkipMissingOnes)
{
    auto* thing = new TestThing;
    ASSERT_TRUE(thing->CreateLuaTable());
    SetGlobalTable(*thing, "obj");
    ASSERT_TRUE(Run("function obj:OnSay(text) said = text end\n"
                    "function obj:OnFail() error('boom') end\n"
                    "function __OnEvent(name, a, b) event = name .. ':' .. tostring(a) .. ':' .. tostring(b) end\n"
                    "obj.NotAFunction = 5\n"
                    "setmetatable(obj, { __index = function() error('never run') end })"));
    // The table's own metatable was replaced by the script: a handler lookup
    // must not run its __index function outside a protected call.
    EXPECT_FALSE(LuaRaiseEvent(*thing, L, "OnMissing", [](lua_State*) { return 0; }));
    EXPECT_TRUE(LuaRaiseEvent(*thing, L, "OnSay", [](lua_State* s) { return PushWString(s, L"hello"); }));
    EXPECT_EQ(Eval("said"), "hello");
    EXPECT_FALSE(LuaRaiseEvent(*thing, L, "OnFail", [](lua_State*) { return 0; }));
    EXPECT_FALSE(LuaRaiseEvent(*thing, L, "NotAFunction", [](lua_State*) { return 0; }));
    lua_pushnumber(L, 1);
    lua_pushstring(L, "two");
    EXPECT_TRUE(LuaRaiseGlobalEvent(L, "ItemFound", 2));
    EXPECT_EQ(Eval("event"), "ItemFound:1:two");
    ASSERT_TRUE(Run("__OnEvent = nil"));
    lua_pushnumber(L, 1);
    EXPECT_FALSE(LuaRaiseGlobalEvent(L, "ItemFound", 1));
    delete thing;
}

TEST_F(Binding, EventHandlersAreFoundAlongIndexTablesOnly)
{
    auto* thing = new TestThing;
    ASSERT_TRUE(thing->CreateLuaTable());
    SetGlobalTable(*thing, "obj");
    // One handler in the class's method table, one two __index tables further
    // down, and a function-valued __index below that which must never run.
    ASSERT_TRUE(Run("BuildType{ _type = 'Ev', _parents = { 'TestThing' }, _fields = {"
                    "  OnNear = function(self, a, b) near = tostring(self == obj) .. a .. b end,"
                    "  OnNearFail = function(self) error('near') end } }\n"
                    "obj2 = Make('Ev')()\n"
                    "local methods = getmetatable(obj2).__index\n"
                    "local deep = setmetatable({}, { __index = function() error('never run') end })\n"
                    "deep.OnDeep = function(self, a) far = tostring(self == obj2) .. a end\n"
                    "setmetatable(methods, { __index = setmetatable({}, { __index = deep }) })"));
    lua_getglobal(L, "obj2");
    TestThing* made = LuaGetObjectArg<TestThing>(L, -1);
    lua_pop(L, 1);
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(Run("near = nil; obj2.OnNear = nil"));
    const auto two = [](lua_State* s) {
        lua_pushliteral(s, ":a");
        lua_pushliteral(s, ":b");
        return 2;
    };
    const auto one = [](lua_State* s) {
        lua_pushliteral(s, ":x");
        return 1;
    };
    const auto none = [](lua_State*) { return 0; };
    EXPECT_TRUE(LuaRaiseEvent(*made, L, "OnNear", two));
    EXPECT_EQ(Eval("near"), "false:a:b") << "self is the raising object";
    EXPECT_TRUE(LuaRaiseEvent(*made, L, "OnDeep", one));
    EXPECT_EQ(Eval("far"), "true:x");
    EXPECT_FALSE(LuaRaiseEvent(*made, L, "OnNearFail", none));
    EXPECT_FALSE(LuaRaiseEvent(*made, L, "OnNowhere", none)) << "the __index function stays unrun";
    EXPECT_FALSE(LuaRaiseEvent(*thing, L, "OnNear", none)) << "another class's handler is not this one's";

    // The table's own field comes before its class's.
    ASSERT_TRUE(Run("function obj2:OnNear(a, b) near = 'own' .. a .. b end"));
    EXPECT_TRUE(LuaRaiseEvent(*made, L, "OnNear", two));
    EXPECT_EQ(Eval("near"), "own:a:b");
    EXPECT_EQ(lua_gettop(L), 0);

    // The lookup without a call reads the same chain and leaves one value.
    lua_getglobal(L, "obj2");
    LuaGetFieldNoCall(L, -1, "OnDeep");
    EXPECT_EQ(lua_type(L, -1), LUA_TFUNCTION);
    lua_pop(L, 1);
    LuaGetFieldNoCall(L, -1, "OnNowhere");
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 2);
    delete made;
    delete thing;
}

TEST_F(Binding, AWeakReferenceWhoseValueWasCollectedKeepsItsOwnKey)
{
    // The first table goes with the collector while its reference lives on;
    // references made after it must not share its key, nor lose their value
    // when it goes.
    lua_newtable(L);
    LuaWeakTable gone;
    ASSERT_EQ(LuaTableRefFromStack(L, gone, -1), 1);
    lua_pop(L, 1);
    lua_gc(L, LUA_GCCOLLECT, 0);
    EXPECT_FALSE(gone.PushTable());

    ASSERT_TRUE(Run("kept = { name = 'kept' }"));
    lua_getglobal(L, "kept");
    LuaWeakTable kept;
    ASSERT_EQ(LuaTableRefFromStack(L, kept, -1), 1);
    lua_pop(L, 1);
    EXPECT_FALSE(gone.PushTable()) << "a collected value stays gone";
    gone.Reset();
    ASSERT_TRUE(kept.PushTable());
    lua_getfield(L, -1, "name");
    EXPECT_STREQ(lua_tostring(L, -1), "kept");
    lua_pop(L, 2);

    // A key given back is taken again, and the new value is the one read.
    LuaWeakTable again;
    ASSERT_TRUE(Run("other = { name = 'other' }"));
    lua_getglobal(L, "other");
    ASSERT_EQ(LuaTableRefFromStack(L, again, -1), 1);
    lua_pop(L, 1);
    ASSERT_TRUE(again.PushTable());
    lua_getfield(L, -1, "name");
    EXPECT_STREQ(lua_tostring(L, -1), "other");
    lua_pop(L, 2);
    ASSERT_TRUE(kept.PushTable());
    lua_getfield(L, -1, "name");
    EXPECT_STREQ(lua_tostring(L, -1), "kept");
    lua_pop(L, 2);
}

TEST_F(Binding, ProtectedCallsInAStateOfTheirOwn)
{
    // A state the binding was not installed in still gets the engine's handler.
    lua_State* other = luaL_newstate();
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(luaL_loadstring(other, "error('elsewhere')"), 0);
    lua_pushnumber(other, 1);
    ASSERT_EQ(luaL_loadstring(other, "return 2, 3"), 0);
    EXPECT_TRUE(LuaPCall(other, 0, 2));
    EXPECT_EQ(lua_tonumber(other, -1), 3);
    EXPECT_EQ(lua_tonumber(other, -2), 2);
    EXPECT_EQ(lua_tonumber(other, -3), 1) << "values below the call stay";
    lua_pop(other, 3);
    EXPECT_FALSE(LuaPCall(other, 0, 0));
    EXPECT_EQ(lua_gettop(other), 0);
    lua_close(other);
}

TEST_F(Binding, ObjectsOutlivingTheStateForgetIt)
{
    auto* thing = new TestThing;
    ASSERT_TRUE(thing->CreateLuaTable());
    LuaStrongTable extra = NewLuaTable(L);
    LuaStrongTable copy = thing->GetLuaTable();
    ASSERT_TRUE(Run("BuildType{ _type = 'Mark', _parents = { 'TestThing' } }"));
    lua.reset();
    L = nullptr;
    EXPECT_FALSE(thing->HasTable()) << "closing the state dropped the table";
    EXPECT_FALSE(copy.PushTable());
    EXPECT_FALSE(thing->CreateLuaTable());
    delete thing; // must not touch the closed state
    EXPECT_EQ(TestThing::alive, 0);
}

TEST_F(Binding, AttachedTablesKeepTheirFields)
{
    ASSERT_TRUE(Run("made = { answer = 42 }"));
    lua_getglobal(L, "made");
    LuaStrongTable table;
    ASSERT_EQ(LuaTableRefFromStack(L, table, -1), 1);
    lua_pop(L, 1);
    auto* thing = new TestThing;
    ASSERT_TRUE(thing->AttachLuaTable(table));
    EXPECT_EQ(Eval("made.answer"), "42");
    EXPECT_EQ(Eval("made:GetX()"), "0");
    EXPECT_EQ(Eval("made.__type"), "TestThing");
    lua_pushnumber(L, 1);
    LuaStrongTable notTable;
    EXPECT_EQ(LuaTableRefFromStack(L, notTable, -1), 0);
    lua_pop(L, 1);
    delete thing;
}

TEST_F(Binding, TablesSharedOrReusedNameOnlyTheirLiveObject)
{
    // Two engine objects bound to one table: the later one answers; with it
    // gone the table names no live object, whichever goes first.
    for (const bool laterGoesFirst : {true, false})
    {
        auto* first = new TestThing;
        first->x = 1;
        ASSERT_TRUE(first->CreateLuaTable());
        auto* later = new TestThing;
        later->x = 2;
        ASSERT_TRUE(later->AttachLuaTable(first->GetLuaTable()));
        SetGlobalTable(*first, "shared");
        EXPECT_EQ(Eval("shared:GetX()"), "2");
        delete (laterGoesFirst ? later : first);
        EXPECT_EQ(Eval("(select('#', shared:GetX()) == 1 and shared:GetX() or 'nothing')"),
                  laterGoesFirst ? "nothing" : "2");
        delete (laterGoesFirst ? first : later);
        EXPECT_EQ(Eval("select('#', shared:GetX())"), "0");
        EXPECT_EQ(Eval("shared:_IsValid()"), "false");
    }

    // Objects come and go while scripts keep their dead tables and the
    // collector frees the others, so new tables take the addresses of old
    // ones: each table reaches its own object only, and dead ones nothing.
    ASSERT_TRUE(Run("kept = {}"));
    std::vector<TestThing*> live;
    for (int round = 0; round < 300; ++round)
    {
        auto* thing = new TestThing;
        thing->x = float(round);
        ASSERT_TRUE(thing->CreateLuaTable());
        SetGlobalTable(*thing, "current");
        if (round % 3 == 0)
            ASSERT_TRUE(Run("kept[#kept + 1] = current"));
        ASSERT_EQ(Eval("current:GetX()"), std::to_string(round)) << "round " << round;
        live.push_back(thing);
        if (round % 2 == 1)
        {
            // The older of the two goes; its table, when not kept, with the next collection.
            delete live[live.size() - 2];
            live.erase(live.end() - 2);
            ASSERT_TRUE(Run("current = nil"));
            lua_gc(L, LUA_GCCOLLECT, 0);
        }
    }
    for (TestThing* thing : live)
    {
        ASSERT_TRUE(thing->PushTable());
        lua_setglobal(L, "current");
        EXPECT_EQ(Eval("current:GetX()"), std::to_string(int(thing->x)));
        delete thing;
    }
    EXPECT_EQ(Eval("(function() local n = 0 for _, t in ipairs(kept) do n = n + select('#', t:GetX()) end return n end)()"),
              "0")
        << "every kept table's object is gone";
}

TEST_F(Binding, EventNamesAreTakenByTheirText)
{
    auto* thing = new TestThing;
    ASSERT_TRUE(thing->CreateLuaTable());
    SetGlobalTable(*thing, "obj");
    ASSERT_TRUE(Run("function obj:OnOne() heard = 'one' end\n"
                    "function obj:OnTwo() heard = 'two' end"));
    // One buffer holding one name, then another.
    char name[16] = "OnOne";
    const auto none = [](lua_State*) { return 0; };
    EXPECT_TRUE(LuaRaiseEvent(*thing, L, name, none));
    EXPECT_EQ(Eval("heard"), "one");
    std::strcpy(name, "OnTwo");
    EXPECT_TRUE(LuaRaiseEvent(*thing, L, name, none));
    EXPECT_EQ(Eval("heard"), "two");
    std::strcpy(name, "OnNone");
    EXPECT_FALSE(LuaRaiseEvent(*thing, L, name, none));
    EXPECT_FALSE(LuaRaiseEvent(*thing, L, nullptr, none));
    delete thing;
}

// The index of bound tables against a plain map, through growth and removals
// in an order unlike the insertions (removals shift entries back).
TEST(BoundTables, FindsWhatWasAddedAndNothingElse)
{
    LuaBinding::BoundTables tables;
    std::map<const void*, LuaObjectBase*> expected;
    std::vector<char> addresses(4096);
    auto* const someObject = reinterpret_cast<LuaObjectBase*>(addresses.data());
    const auto object = [&](size_t i) { return reinterpret_cast<LuaObjectBase*>(uintptr_t(someObject) + i); };
    const auto check = [&] {
        for (size_t i = 0; i < addresses.size(); i += 8)
        {
            const void* key = &addresses[i];
            const auto found = expected.find(key);
            ASSERT_EQ(tables.Find(key), found == expected.end() ? nullptr : found->second) << "address " << i;
        }
    };
    EXPECT_EQ(tables.Find(&addresses[0]), nullptr);
    for (size_t i = 0; i < addresses.size(); i += 8)
    {
        tables.Add(&addresses[i], object(i));
        expected[&addresses[i]] = object(i);
    }
    check();
    tables.Add(&addresses[8], object(1));
    expected[&addresses[8]] = object(1);
    tables.Remove(&addresses[16], object(1)); // listed for another object: stays
    check();
    uint32_t random = 12345;
    for (size_t step = 0; step < 600; ++step)
    {
        random = random * 1103515245u + 12345u;
        const size_t i = size_t(random >> 8) % (addresses.size() / 8) * 8;
        const auto found = expected.find(&addresses[i]);
        if (found == expected.end())
        {
            tables.Add(&addresses[i], object(i));
            expected[&addresses[i]] = object(i);
        }
        else
        {
            tables.Remove(&addresses[i], found->second);
            expected.erase(found);
        }
        if (step % 50 == 0)
            check();
    }
    check();
    tables.Clear();
    expected.clear();
    check();
}

} // namespace

namespace
{

using namespace TarnEngine;

int scriptA(lua_State* state)
{
    lua_pushliteral(state, "A");
    return 1;
}
int scriptB(lua_State* state)
{
    lua_pushliteral(state, "B");
    return 1;
}

TEST(ScriptFunctions, PublishedByTheManagerIntoSharedTables)
{
    RegisterScriptFunction("testsvc.A", &scriptA);
    RegisterScriptFunction("testsvc.B", &scriptB);
    RegisterScriptFunction("TestTop", &scriptA);
    LuaMgr lua;
    ASSERT_TRUE(lua.Init());
    ASSERT_EQ(luaL_loadstring(lua.GetState(), "return testsvc.A() .. testsvc.B() .. TestTop()"), 0);
    ASSERT_TRUE(LuaPCall(lua.GetState(), 0, 1));
    EXPECT_STREQ(lua_tostring(lua.GetState(), -1), "ABA");
    lua_pop(lua.GetState(), 1);
}

} // namespace
