// The script class "HOScreen": the level script's handle on its screen. A method whose object is
// gone, or whose argument has the wrong type, does nothing.
#include "engine/scene/script/LuaBinding.h"
#include "game/hiddenobject/HOScreen.h"

using namespace TarnEngine;

namespace
{

using Self = HOScreen;

template <void (Self::*Method)()> int plain(lua_State* state)
{
    if (Self* self = GetLuaSelf<Self>(state))
        (self->*Method)();
    return 0;
}

template <void (Self::*Method)(bool)> int withBool(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    bool on = false;
    if (self && LuaGetBoolArg(state, on, 2))
        (self->*Method)(on);
    return 0;
}

template <void (Self::*Method)(int32_t)> int withInt(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int value = 0;
    if (self && lua_type(state, 2) == LUA_TNUMBER && LuaGetIntArg(state, value, 2))
        (self->*Method)(value);
    return 0;
}

int isHOCompleted(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    return LuaPushBool(state, self && self->IsHOCompleted());
}

int getMode(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    lua_pushinteger(state, self ? self->GetMode() : 0);
    return 1;
}

int enableBlurer(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    bool on = false;
    if (self && LuaGetBoolArg(state, on, 2))
        self->SetBlurer(on);
    return 0;
}

int setObjectHint(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring path, text;
    if (!self || lua_type(state, 2) != LUA_TSTRING || lua_type(state, 3) != LUA_TSTRING ||
        LuaGetWStringArg(state, path, 2) + LuaGetWStringArg(state, text, 3) != 2)
        return 0;
    self->SetObjectHint(path, text);
    return 0;
}

} // namespace

void HOScreen::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.AddMethod("SelectGroups", &withInt<&Self::SelectGroups>);
    def.AddMethod("FinishLevel", &plain<&Self::FinishLevel>);
    def.AddMethod("IsHOCompleted", &isHOCompleted);
    def.AddMethod("GetMode", &getMode);
    def.AddMethod("SetMode", &withInt<&Self::SetMode>);
    def.AddMethod("EnableBlurer", &enableBlurer);
    def.AddMethod("OnHintReady", &plain<&Self::OnHintReady>);
    def.AddMethod("OnHintProcessed", &plain<&Self::OnHintProcessed>);
    def.AddMethod("RechargeHint", &plain<&Self::RechargeHint>);
    def.AddMethod("SetObjectHint", &setObjectHint);
    def.AddMethod("EnableHint", &withBool<&Self::EnableHint>);
    def.AddMethod("EnableGuess", &withBool<&Self::EnableGuess>);
    def.SetConstructor(&LuaConstruct<HOScreen>);
    def.Build(StaticScriptName());
}
