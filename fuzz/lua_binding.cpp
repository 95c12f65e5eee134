// Fuzz target: scripts built from the input bytes declare classes with
// BuildType (any parents, any fields, any values where tables belong), make
// objects with Make, call their methods with arguments of every type, drop
// tables, collect, and let the engine delete objects. Every input runs in a
// fresh script state; afterwards no object may be left but the engine-owned
// ones, which the engine then deletes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "engine/scene/script/LuaBaseSubclass.h"
#include "engine/scene/script/LuaMgr.h"

namespace TarnEngine
{

template <class T> int fuzzGetX(lua_State* state)
{
    T* self = GetLuaSelf<T>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, self->x);
    return 1;
}

template <class T> int fuzzSetX(lua_State* state)
{
    T* self = GetLuaSelf<T>(state);
    int x = 0;
    std::wstring text;
    if (self && LuaGetIntArg(state, x, 2) && LuaGetWStringArg(state, text, 3))
        self->x = int((int64_t(x) + int64_t(text.size())) & 0xFFFF);
    return 0;
}

// Engine-owned objects; the fuzzer deletes what is left after each input.
class FuzzThing : public LuaSubclass
{
    TARN_RCLASS(FuzzThing)
    TARN_LUA_CLASS("FuzzThing")
public:
    FuzzThing() { live.insert(this); }
    ~FuzzThing() override { live.erase(this); }
    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(LuaSubclass::StaticScriptName());
        def.AddMethod("GetX", &fuzzGetX<FuzzThing>);
        def.AddMethod("SetX", &fuzzSetX<FuzzThing>);
        def.SetConstructor(&LuaConstruct<FuzzThing>);
        def.Build(StaticScriptName());
    }
    int x = 0;
    static inline std::set<FuzzThing*> live;
};

// Script-owned objects: all gone once the state is closed.
class FuzzWeak : public LuaBaseClass
{
    TARN_RCLASS(FuzzWeak)
    TARN_LUA_CLASS("FuzzWeak")
public:
    FuzzWeak() { ++alive; }
    ~FuzzWeak() override { --alive; }
    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(LuaBaseClass::StaticScriptName());
        def.AddMethod("GetX", &fuzzGetX<FuzzWeak>);
        def.AddMethod("SetX", &fuzzSetX<FuzzWeak>);
        def.SetConstructor(&LuaConstruct<FuzzWeak>);
        def.Build(StaticScriptName());
    }
    int x = 0;
    static inline int alive = 0;
};

TARN_IMPLEMENT_RINSTANCECLASS(FuzzThing, LuaSubclass, RObjectFactory<FuzzThing>, L"FuzzThing", &FuzzThing::RegisterLua)
TARN_IMPLEMENT_RINSTANCECLASS(FuzzWeak, LuaBaseClass, RObjectFactory<FuzzWeak>, L"FuzzWeak", &FuzzWeak::RegisterLua)

} // namespace TarnEngine

namespace
{

using namespace TarnEngine;

// The bare strong class "LuaSubclass" is left out: its objects live until
// engine code deletes them, and nothing here knows them.
const char* const kNames[] = {"'T0'", "'T1'", "'T2'", "'FuzzThing'", "'FuzzWeak'", "'LuaBaseClass'",
                              "'_LOADED'", "'Nope'", "5", "{}"};
const char* const kValues[] = {"nil",    "true",      "false",   "0",          "-1",     "0/0",
                               "1/0",    "-1e300",    "2^31",    "3.5",        "'s'",    "' 0x10 '",
                               "{}",     "objs[1]",   "objs[2]", "objs[3]",    "io.stdout", "function() end",
                               "'\xC3\xBC'", "key0",  "fake",    "getmetatable(objs[1] or {})"};
const char* const kMethods[] = {"'GetX'",       "'SetX'", "'SetTimer'", "'RemoveTimer'", "'_Release'",
                                "'_IsValid'",   "'_GetField'", "'_CallMethod'", "'F'", "'OnTableConnect'"};
const char* const kFields[] = {
    "F = function(self, a, b) return a, b, self end",
    "F = function(self, a) return self:_CallMethod(a, 'F', a) end",
    "OnTableConnect = function(self) connected = (connected or 0) + 1 end",
    "OnTableDisconnect = function(self) self:_Release() end",
    "GetX = 7",
    "__type = 'Other'",
};

class Input
{
public:
    Input(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool More() const { return at < size; }
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    template <size_t N> const char* Pick(const char* const (&pool)[N]) { return pool[Byte() % N]; }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

std::string buildTypeScript(Input& in)
{
    std::string script = "BuildType{ _type = " + std::string(in.Pick(kNames));
    const uint8_t shape = in.Byte();
    if (shape & 1)
    {
        script += ", _parents = { ";
        for (int i = 0, n = in.Byte() % 4; i < n; ++i)
            script += std::string(in.Pick(kNames)) + ", ";
        script += "}";
    }
    else if (shape & 2)
        script += ", _parents = " + std::string(in.Pick(kValues));
    if (shape & 4)
    {
        script += ", _fields = { ";
        for (int i = 0, n = in.Byte() % 3; i < n; ++i)
            script += std::string(in.Pick(kFields)) + ", ";
        script += "}";
    }
    else if (shape & 8)
        script += ", _fields = " + std::string(in.Pick(kValues));
    return script + " }";
}

std::string callScript(Input& in)
{
    const int slot = 1 + in.Byte() % 3;
    std::string arguments;
    const bool selfFirst = in.Byte() & 1;
    for (int i = 0, n = in.Byte() % 6; i < n; ++i)
        arguments += std::string(i || selfFirst ? ", " : "") + in.Pick(kValues);
    return "local o = objs[" + std::to_string(slot) + "]; if type(o) == 'table' then local m = o[" +
           in.Pick(kMethods) + "]; if type(m) == 'function' then m(" + (selfFirst ? "o" : "") + arguments +
           ") end end";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzThing::StaticClass();
    FuzzWeak::StaticClass();
    Input in(data, size);
    {
        LuaMgr lua;
        lua.Init();
        lua_State* L = lua.GetState();
        luaL_dostring(L, "objs = {}; fake = setmetatable({}, debug.getregistry().FuzzThing)\n"
                         "local probe = Make('FuzzWeak')()\n"
                         "for k in pairs(probe) do if type(k) == 'userdata' then key0 = k end end\n"
                         "probe:_Release(); probe = nil");
        lua_settop(L, 0);
        for (int step = 0; step < 64 && in.More(); ++step)
        {
            std::string script;
            switch (in.Byte() % 8)
            {
            case 0:
                script = buildTypeScript(in);
                break;
            case 1:
                script = "local c = Make(" + std::string(in.Pick(kNames)) + "); if c then objs[" +
                         std::to_string(1 + in.Byte() % 3) + "] = c() end";
                break;
            case 2:
            case 3:
                script = callScript(in);
                break;
            case 4:
                script = "collectgarbage('collect')";
                break;
            case 5:
                script = "objs[" + std::to_string(1 + in.Byte() % 3) + "] = nil";
                break;
            case 6:
                if (!FuzzThing::live.empty())
                {
                    auto it = FuzzThing::live.begin();
                    std::advance(it, in.Byte() % FuzzThing::live.size());
                    delete *it;
                }
                break;
            default:
                script = std::string("fake[key0] = ") + in.Pick(kValues) + "; Make(" + in.Pick(kValues) +
                         "); BuildType(" + in.Pick(kValues) + ")";
                break;
            }
            if (!script.empty() && luaL_loadstring(L, script.c_str()) == 0)
                LuaPCall(L, 0, 0);
            lua_settop(L, 0);
        }
    }
    // Closing the state released every script-owned object.
    if (FuzzWeak::alive != 0)
        std::abort();
    while (!FuzzThing::live.empty())
        delete *FuzzThing::live.begin();
    return 0;
}
