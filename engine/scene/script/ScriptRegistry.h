// What the engine and the game publish to scripts besides their classes:
// script functions (global Lua functions, dotted names allowed, published by
// the script manager when it starts) and system macros (the enumerations
// scripts see through the preprocessor; the preprocessor takes them into
// its global macro table, where scripts can neither redefine nor undefine
// them). Both lists are function-local, so registering from any
// initialiser is safe; register before the script manager starts, normally
// from the explicit lists in engine/scene/classes/EngineRegistrations.cpp
// and the game's own:
//
//   RegisterScriptFunction("Set9Scale", &luaSet9Scale);
//   RegisterSystemMacroInt("INSTANCE_MOVIE", 0);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <lua.hpp>

namespace TarnEngine
{

struct ScriptFunction
{
    std::string name;
    lua_CFunction function;
};

struct SystemMacro
{
    std::string name;
    std::string value; // the body text: for integers, the decimal value
};

// Appends to the script-function list (registration order is kept).
void RegisterScriptFunction(const char* name, lua_CFunction function);
const std::vector<ScriptFunction>& GetScriptFunctions();
// Stores every listed function as a global of the state.
void PublishScriptFunctions(lua_State* state);

// Defines or replaces the system macro of that name, whose body is the value in decimal.
void RegisterSystemMacroInt(const char* name, int32_t value);
const std::vector<SystemMacro>& GetSystemMacros();
// The body of the system macro of that name, or null.
const std::string* FindSystemMacro(const std::string& name);

} // namespace TarnEngine
