// Records and script classes of the two LuaBaseSubclass bindings; see LuaBaseSubclass.h.
#include "engine/scene/script/LuaBaseSubclass.h"

#include "engine/core/time/TimeManager.h"

namespace TarnEngine
{

void LuaTimer::OnTimer(uint32_t id)
{
    lua_State* state = LuaBinding::GetState();
    // Ids travel as the script's integers.
    LuaRaiseEvent(owner, state, "OnTimer", [id](lua_State* s) {
        lua_pushnumber(s, static_cast<int32_t>(id));
        return 1;
    });
}

namespace
{

// self:SetTimer(id, seconds, repeat, clock): all four required; the clock
// must be one that exists.
template <class Policy> int setTimer(lua_State* state)
{
    LuaBaseSubclass<Policy>* self = GetLuaSelf<LuaBaseSubclass<Policy>>(state);
    if (!self)
        return 0;
    int id = 0;
    float seconds = 0.0f;
    bool repeat = false;
    int clock = 0;
    if (LuaGetIntArg(state, id, 2) + LuaGetFloatArg(state, seconds, 3) + LuaGetBoolArg(state, repeat, 4) +
            LuaGetIntArg(state, clock, 5) !=
        4)
        return 0;
    if (clock < 0 || clock >= int(TimeManager::ClockCount))
        return 0;
    self->GetTimer().SetTimer(static_cast<uint32_t>(id), seconds, repeat, static_cast<uint32_t>(clock));
    return 0;
}

template <class Policy> int removeTimer(lua_State* state)
{
    LuaBaseSubclass<Policy>* self = GetLuaSelf<LuaBaseSubclass<Policy>>(state);
    int id = 0;
    if (self && LuaGetIntArg(state, id, 2))
        self->GetTimer().RemoveTimer(static_cast<uint32_t>(id));
    return 0;
}

template <class Policy> void registerBase(lua_State* state)
{
    LuaClassDef def(state);
    def.AddMethod("SetTimer", &setTimer<Policy>);
    def.AddMethod("RemoveTimer", &removeTimer<Policy>);
    def.SetConstructor(&LuaConstruct<LuaBaseSubclass<Policy>>);
    def.Build(LuaBaseSubclass<Policy>::StaticScriptName());
}

} // namespace

template <> const char* LuaBaseSubclass<_LuaStrongRef>::StaticScriptName()
{
    return "LuaSubclass";
}
template <> const char* LuaBaseSubclass<_LuaWeakRef>::StaticScriptName()
{
    return "LuaBaseClass";
}

// Both records carry one name, so the name map holds whichever came last.
template <> RClass* LuaBaseSubclass<_LuaStrongRef>::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record
                  : RInstanceClass::Obtain(record, "LuaBaseSubclass<LuaObjectType>", &RObject::StaticClass,
                                           RNoFactory, &typeid(LuaBaseSubclass<_LuaStrongRef>), L"LuaBaseSubclass",
                                           &LuaBaseSubclass<_LuaStrongRef>::RegisterLua);
}
template <> RClass* LuaBaseSubclass<_LuaWeakRef>::StaticClass()
{
    static RClass* record = nullptr;
    return record ? record
                  : RInstanceClass::Obtain(record, "LuaBaseSubclass<LuaObjectType>", &RObject::StaticClass,
                                           RNoFactory, &typeid(LuaBaseSubclass<_LuaWeakRef>), L"LuaBaseSubclass",
                                           &LuaBaseSubclass<_LuaWeakRef>::RegisterLua);
}

template <> void LuaBaseSubclass<_LuaStrongRef>::RegisterLua(lua_State* state)
{
    registerBase<_LuaStrongRef>(state);
}
template <> void LuaBaseSubclass<_LuaWeakRef>::RegisterLua(lua_State* state)
{
    registerBase<_LuaWeakRef>(state);
}

} // namespace TarnEngine
