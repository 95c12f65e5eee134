// The script class "Instance_Effect": target point, particle selection, the live count and the
// colour of a template. A gone instance, or arguments that cannot be read, make a method do
// nothing and return nothing.
#include "engine/scene/effects/Instance_Effect.h"

#include "engine/scene/script/LuaBinding.h"

#include <cmath>

namespace TarnEngine
{

namespace
{

using Self = Instance_Effect;

// A template name: a string, as nil would name no template.
bool getName(lua_State* state, std::wstring& out, int index)
{
    return lua_type(state, index) == LUA_TSTRING && LuaGetWStringArg(state, out, index);
}

int setTargetPosition(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float x = 0.0f, y = 0.0f;
    if (self && LuaGetFloatArg(state, x, 2) + LuaGetFloatArg(state, y, 3) == 2)
        self->SetEffectTarget(x, y);
    return 0;
}

template <bool Y> int setTarget(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float value = 0.0f;
    if (self && LuaGetFloatArg(state, value, 2))
        self->SetEffectTarget(Y ? self->GetEffectTargetX() : value, Y ? value : self->GetEffectTargetY());
    return 0;
}

template <bool Y> int getTarget(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, Y ? self->GetEffectTargetY() : self->GetEffectTargetX());
    return 1;
}

int selectRootParticle(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    return self ? LuaPushBool(state, self->SelectRootParticle()) : 0;
}

int selectAutoEmitParticle(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring templateName;
    if (!self || !getName(state, templateName, 2))
        return 0;
    return LuaPushBool(state, self->SelectAutoEmitParticle(templateName));
}

int setSelectedParticlePosition(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float x = 0.0f, y = 0.0f;
    bool parentSpace = false;
    if (self &&
        LuaGetFloatArg(state, x, 2) + LuaGetFloatArg(state, y, 3) + LuaGetBoolArg(state, parentSpace, 4) == 3)
        self->SetSelectedParticlePosition(x, y, parentSpace);
    return 0;
}

int setSelectedParticleVelocity(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    float vx = 0.0f, vy = 0.0f;
    if (self && LuaGetFloatArg(state, vx, 2) + LuaGetFloatArg(state, vy, 3) == 2)
        self->SetSelectedParticleVelocity(vx, vy);
    return 0;
}

int getLiveParticleCount(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, self->GetLiveParticleCount());
    return 1;
}

// Colours are 0xRRGGBB numbers; anything that is not a finite number is not a colour.
int setParticleColor(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring templateName;
    if (!self || !getName(state, templateName, 2) || !lua_isnumber(state, 3))
        return 0;
    const double value = std::trunc(lua_tonumber(state, 3));
    if (!std::isfinite(value))
        return 0;
    double wrapped = std::fmod(value, 4294967296.0);
    if (wrapped < 0)
        wrapped += 4294967296.0;
    self->SetParticleColor(templateName, uint32_t(wrapped));
    return 0;
}

} // namespace

void Instance_Effect::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Base::StaticScriptName());
    def.AddMethod("SetTargetPosition", &setTargetPosition);
    def.AddMethod("SetTargetX", &setTarget<false>);
    def.AddMethod("SetTargetY", &setTarget<true>);
    def.AddMethod("GetTargetX", &getTarget<false>);
    def.AddMethod("GetTargetY", &getTarget<true>);
    def.AddMethod("SelectRootParticle", &selectRootParticle);
    def.AddMethod("SelectAutoEmitParticle", &selectAutoEmitParticle);
    def.AddMethod("SetSelectedParticlePosition", &setSelectedParticlePosition);
    def.AddMethod("SetSelectedParticleVelocity", &setSelectedParticleVelocity);
    def.AddMethod("GetLiveParticleCount", &getLiveParticleCount);
    def.AddMethod("SetParticleColor", &setParticleColor);
    def.SetConstructor(&LuaConstruct<Instance_Effect>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
