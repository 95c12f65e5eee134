// Shared script conventions of the game; see GameScript.h.
#include "game/core/GameScript.h"

#include "engine/core/text/TextConversion.h"
#include "engine/scene/script/LuaBinding.h"

#include <cmath>

using namespace TarnEngine;

ScriptArg::ScriptArg(const std::wstring& text) : kind(Kind::String), text(WStringToUtf8(text)) {}

namespace
{

void pushArg(lua_State* state, const ScriptArg& arg)
{
    switch (arg.kind)
    {
    case ScriptArg::Kind::Number:
        lua_pushnumber(state, arg.number);
        break;
    case ScriptArg::Kind::Bool:
        lua_pushboolean(state, arg.flag ? 1 : 0);
        break;
    case ScriptArg::Kind::String:
        lua_pushlstring(state, arg.text.data(), arg.text.size());
        break;
    }
}

// Leaves the method and self on the stack; the state, or null with nothing pushed.
lua_State* pushMethod(const ILuaObject& object, const char* name)
{
    lua_State* state = LuaBinding::GetState();
    if (!state || !lua_checkstack(state, 8) || !object.PushTable())
        return nullptr;
    lua_pushvalue(state, -1);
    if (!LuaFindMethodNoCall(state, name))
        return nullptr;
    return state;
}

// Calls what pushMethod left, plus `extra` arguments above it, with one result; the result stays
// on the stack on success.
bool callForOneResult(lua_State* state, int extra)
{
    return LuaPCall(state, 1 + extra, 1);
}

} // namespace

bool RaiseScriptEvent(const char* name, std::initializer_list<ScriptArg> args)
{
    lua_State* state = LuaBinding::GetState();
    if (!state || !name || !lua_checkstack(state, int(args.size()) + 4))
        return false;
    for (const ScriptArg& arg : args)
        pushArg(state, arg);
    return LuaRaiseGlobalEvent(state, name, int(args.size()));
}

double QueryGameSetting(const char* name, double defaultValue)
{
    lua_State* state = LuaBinding::GetState();
    if (!state || !name || !lua_checkstack(state, 4))
        return defaultValue;
    lua_getglobal(state, "__QueryGameSetting");
    if (!lua_isfunction(state, -1))
    {
        lua_pop(state, 1);
        return defaultValue;
    }
    lua_pushstring(state, name);
    if (!LuaPCall(state, 1, 1))
        return defaultValue;
    double value = defaultValue;
    if (lua_type(state, -1) == LUA_TNUMBER)
    {
        const double number = lua_tonumber(state, -1);
        if (std::isfinite(number))
            value = number;
    }
    lua_pop(state, 1);
    return value;
}

std::optional<int64_t> CheckedInteger(double value, int64_t minValue, int64_t maxValue)
{
    // Comparing as doubles first keeps every conversion below in range.
    if (!std::isfinite(value) || value != std::floor(value) || value < double(minValue) || value > double(maxValue))
        return std::nullopt;
    if (std::fabs(value) > 9007199254740992.0) // beyond 2^53 the double is not one exact integer
        return std::nullopt;
    return int64_t(value);
}

int32_t QueryGameSettingInt(const char* name, int32_t defaultValue, int32_t minValue, int32_t maxValue)
{
    const double value = QueryGameSetting(name, double(defaultValue));
    const std::optional<int64_t> checked = CheckedInteger(value, minValue, maxValue);
    return checked ? int32_t(*checked) : defaultValue;
}

bool HasScriptMethod(const ILuaObject& object, const char* name)
{
    lua_State* state = pushMethod(object, name);
    if (!state)
        return false;
    lua_pop(state, 2);
    return true;
}

bool CallScriptMethod(const ILuaObject& object, const char* name)
{
    lua_State* state = pushMethod(object, name);
    return state && LuaPCall(state, 1, 0);
}

bool CallScriptMethodWithText(const ILuaObject& object, const char* name, const std::string& text)
{
    lua_State* state = pushMethod(object, name);
    if (!state)
        return false;
    lua_pushlstring(state, text.data(), text.size());
    return LuaPCall(state, 2, 0);
}

std::optional<double> CallScriptMethodNumber(const ILuaObject& object, const char* name)
{
    lua_State* state = pushMethod(object, name);
    if (!state || !callForOneResult(state, 0))
        return std::nullopt;
    std::optional<double> result;
    if (lua_type(state, -1) == LUA_TNUMBER)
        result = lua_tonumber(state, -1);
    lua_pop(state, 1);
    return result;
}

std::wstring CallScriptMethodString(const ILuaObject& object, const char* name, const std::wstring& defaultValue)
{
    lua_State* state = pushMethod(object, name);
    if (!state || !callForOneResult(state, 0))
        return defaultValue;
    std::wstring result = defaultValue;
    // Only a real string: a number would be converted in place by lua_tolstring.
    if (lua_type(state, -1) == LUA_TSTRING)
    {
        size_t length = 0;
        const char* text = lua_tolstring(state, -1, &length);
        result = Utf8ToWString(std::string_view(text, length));
    }
    lua_pop(state, 1);
    return result;
}

bool CallScriptMethodBool(const ILuaObject& object, const char* name, bool defaultValue)
{
    lua_State* state = pushMethod(object, name);
    if (!state || !callForOneResult(state, 0))
        return defaultValue;
    bool result = defaultValue;
    if (lua_type(state, -1) == LUA_TBOOLEAN)
        result = lua_toboolean(state, -1) != 0;
    lua_pop(state, 1);
    return result;
}
