// Two small bound classes, one per binding, for the binding's tests,
// benchmark and fuzzer: a number with a getter and a setter, and a count of
// live objects. Include in one source file per program.
#pragma once

#include "engine/scene/script/LuaBaseSubclass.h"

namespace TarnEngine
{

template <class T> int testGetX(lua_State* state)
{
    T* self = GetLuaSelf<T>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, self->x);
    return 1;
}

template <class T> int testSetX(lua_State* state)
{
    T* self = GetLuaSelf<T>(state);
    float x = 0.0f;
    if (self && LuaGetFloatArg(state, x, 2))
        self->x = x;
    return 0;
}

// Engine-owned: scripts may make them, engine code deletes them.
class TestThing : public LuaSubclass
{
    TARN_RCLASS(TestThing)
    TARN_LUA_CLASS("TestThing")
public:
    TestThing() { ++alive; }
    ~TestThing() override { --alive; }

    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(LuaSubclass::StaticScriptName());
        def.AddMethod("GetX", &testGetX<TestThing>);
        def.AddMethod("SetX", &testSetX<TestThing>);
        def.SetConstructor(&LuaConstruct<TestThing>);
        def.Build(StaticScriptName());
    }

    float x = 0.0f;
    static inline int alive = 0;
};

// Script-owned: goes with its table unless the engine counts a reference.
class WeakThing : public LuaBaseClass
{
    TARN_RCLASS(WeakThing)
    TARN_LUA_CLASS("WeakThing")
public:
    WeakThing() { ++alive; }
    ~WeakThing() override { --alive; }

    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(LuaBaseClass::StaticScriptName());
        def.AddMethod("GetX", &testGetX<WeakThing>);
        def.AddMethod("SetX", &testSetX<WeakThing>);
        def.SetConstructor(&LuaConstruct<WeakThing>);
        def.Build(StaticScriptName());
    }

    float x = 0.0f;
    static inline int alive = 0;
};

TARN_IMPLEMENT_RINSTANCECLASS(TestThing, LuaSubclass, RObjectFactory<TestThing>, L"TestThing", &TestThing::RegisterLua)
TARN_IMPLEMENT_RINSTANCECLASS(WeakThing, LuaBaseClass, RObjectFactory<WeakThing>, L"WeakThing", &WeakThing::RegisterLua)

} // namespace TarnEngine
