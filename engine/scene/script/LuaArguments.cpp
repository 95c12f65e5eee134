// The argument readers and pushes of the Lua binding; see LuaBinding.h.
#include "engine/scene/script/LuaBinding.h"

#include <cmath>

#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{

// ---- Arguments

int LuaGetIntArg(lua_State* state, int& out, int index)
{
    if (!lua_isnumber(state, index))
        return 0;
    const double value = lua_tonumber(state, index);
    if (std::isnan(value))
        out = 0;
    else if (value >= 2147483647.0)
        out = 2147483647;
    else if (value <= -2147483648.0)
        out = -2147483647 - 1;
    else
        out = static_cast<int>(value);
    return 1;
}

int LuaGetFloatArg(lua_State* state, float& out, int index)
{
    if (!lua_isnumber(state, index))
        return 0;
    out = static_cast<float>(lua_tonumber(state, index));
    return 1;
}

int LuaGetBoolArg(lua_State* state, bool& out, int index)
{
    if (lua_type(state, index) != LUA_TBOOLEAN)
        return 0;
    out = lua_toboolean(state, index) != 0;
    return 1;
}

int LuaGetStringArg(lua_State* state, std::string& out, int index)
{
    if (!lua_isstring(state, index))
        return 0;
    size_t length = 0;
    const char* text = lua_tolstring(state, index, &length);
    out.assign(text, length);
    return 1;
}

int LuaGetCStringArg(lua_State* state, const char*& out, int index)
{
    if (lua_isnoneornil(state, index))
    {
        out = nullptr;
        return 1;
    }
    if (lua_type(state, index) != LUA_TSTRING)
        return 0;
    out = lua_tostring(state, index);
    return 1;
}

int LuaGetWStringArg(lua_State* state, std::wstring& out, int index)
{
    if (lua_isnoneornil(state, index))
    {
        out.clear();
        return 1;
    }
    if (lua_type(state, index) != LUA_TSTRING)
        return 0;
    size_t length = 0;
    const char* text = lua_tolstring(state, index, &length);
    out = Utf8ToWString(std::string_view(text, length));
    return 1;
}

// ---- Pushing

int LuaPushBool(lua_State* state, bool value)
{
    lua_pushboolean(state, value ? 1 : 0);
    return 1;
}

int PushWideString(lua_State* state, const wchar_t* text)
{
    if (!text)
    {
        lua_pushnil(state);
        return 1;
    }
    return PushWString(state, std::wstring(text));
}

int PushWString(lua_State* state, const std::wstring& text)
{
    const std::string utf8 = WStringToUtf8(text);
    lua_pushlstring(state, utf8.data(), utf8.size());
    return 1;
}

int PushNarrowString(lua_State* state, const char* text)
{
    if (text)
        lua_pushstring(state, text);
    else
        lua_pushnil(state);
    return 1;
}

} // namespace TarnEngine
