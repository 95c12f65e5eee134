// Script calls of the board; see BoardScript.h.
#include "game/hiddenobject/BoardScript.h"

#include "engine/scene/display/Instance_Base.h"
#include "engine/scene/script/LuaBinding.h"

#include <cmath>
#include <limits>

using namespace TarnEngine;

namespace BoardScript
{

namespace
{

// The number "__QueryGameSetting"(name) gave, or false.
bool querySetting(const char* name, double& out)
{
    lua_State* state = LuaBinding::GetState();
    if (!state)
        return false;
    const int top = lua_gettop(state);
    lua_getglobal(state, "__QueryGameSetting");
    if (lua_type(state, -1) != LUA_TFUNCTION)
    {
        lua_settop(state, top);
        return false;
    }
    lua_pushstring(state, name);
    if (!LuaPCall(state, 1, 1))
    {
        lua_settop(state, top);
        return false;
    }
    const bool isNumber = lua_isnumber(state, -1) != 0;
    out = isNumber ? double(lua_tonumber(state, -1)) : 0.0;
    lua_settop(state, top);
    return isNumber && std::isfinite(out);
}

} // namespace

bool PushInstanceTable(Instance_Base* instance)
{
    if (!instance || !LuaBinding::GetState())
        return false;
    if (!instance->HasTable())
        instance->CreateLuaTable();
    return instance->PushTable();
}

void RaiseGameEvent(const char* eventName, Instance_Base* argument)
{
    lua_State* state = LuaBinding::GetState();
    if (!state)
        return;
    int count = 0;
    if (argument)
    {
        if (!PushInstanceTable(argument))
            lua_pushnil(state);
        count = 1;
    }
    LuaRaiseGlobalEvent(state, eventName, count);
}

float QueryGameSettingFloat(const char* name, float defaultValue)
{
    double value = 0.0;
    if (!querySetting(name, value) || std::fabs(value) > double(std::numeric_limits<float>::max()))
        return defaultValue;
    return float(value);
}

int32_t QueryGameSettingInt(const char* name, int32_t defaultValue)
{
    double value = 0.0;
    if (!querySetting(name, value) || value < double(std::numeric_limits<int32_t>::min()) ||
        value >= double(std::numeric_limits<int32_t>::max()) + 1.0)
        return defaultValue;
    return int32_t(value);
}

} // namespace BoardScript
