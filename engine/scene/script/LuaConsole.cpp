// The console's script class; see LuaConsole.h.
#include "engine/scene/script/LuaConsole.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{

// The record carries the console's own name, which data and scripts know it by.
RClass* LuaConsole::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record
                  : RInstanceClass::Obtain(record, "Console", &LuaSubclass::StaticClass, RNoFactory,
                                           &typeid(LuaConsole), L"Console", &LuaConsole::RegisterLua);
}

namespace
{

// self:RegisterConsoleFunction(name, table, parameter count) -> registered
int registerConsoleFunction(lua_State* state)
{
    LuaConsole* self = GetLuaSelf<LuaConsole>(state);
    if (!self || !self->GetConsole())
        return 0;
    std::string name;
    int parameterCount = 0;
    if (!LuaGetStringArg(state, name, 2) || !lua_istable(state, 3) || !LuaGetIntArg(state, parameterCount, 4))
        return 0;
    lua_pushvalue(state, 3);
    const int table = luaL_ref(state, LUA_REGISTRYINDEX);
    const bool registered = self->GetConsole()->RegisterLuaFunction(Utf8ToWString(name), parameterCount, table);
    // The console keeps the reference only when it took the function.
    if (!registered)
        luaL_unref(state, LUA_REGISTRYINDEX, table);
    lua_pushboolean(state, registered ? 1 : 0);
    return 1;
}

// self:UnregisterConsoleFunction(name)
int unregisterConsoleFunction(lua_State* state)
{
    LuaConsole* self = GetLuaSelf<LuaConsole>(state);
    std::string name;
    if (self && self->GetConsole() && LuaGetStringArg(state, name, 2))
        self->GetConsole()->UnregisterFunction(Utf8ToWString(name));
    return 0;
}

} // namespace

void LuaConsole::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("RegisterConsoleFunction", &registerConsoleFunction);
    def.AddMethod("UnregisterConsoleFunction", &unregisterConsoleFunction);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
