// Script calls of the board; see BoardScript.h.
#include "game/hiddenobject/BoardScript.h"

#include "engine/scene/display/node/Instance_Base.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/core/GameScript.h"

#include <cmath>
#include <limits>

using namespace TarnEngine;

namespace BoardScript
{

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
        if (!BoardScript::PushInstanceTable(argument))
            lua_pushnil(state);
        count = 1;
    }
    LuaRaiseGlobalEvent(state, eventName, count);
}

float QueryGameSettingFloat(const char* name, float defaultValue)
{
    const double value = QueryGameSetting(name, double(defaultValue));
    return std::fabs(value) > double(std::numeric_limits<float>::max()) ? defaultValue : float(value);
}

int32_t QueryGameSettingInt(const char* name, int32_t defaultValue)
{
    // A fraction converts as the runtime converts it (toward zero); only numbers that cannot be
    // converted give the default.
    const double value = std::trunc(QueryGameSetting(name, double(defaultValue)));
    if (!(value >= double(std::numeric_limits<int32_t>::min()) &&
          value <= double(std::numeric_limits<int32_t>::max())))
        return defaultValue;
    return int32_t(value);
}

} // namespace BoardScript
