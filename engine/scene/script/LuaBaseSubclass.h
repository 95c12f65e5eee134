// The template base of every script-bound class: a run-time class (RObject)
// with a Lua object table (LuaObjectBaseImpl) and a set of script timers.
// LuaSubclass (strong policy: the engine owns the object, nearly every class)
// and LuaBaseClass (weak policy: Lua owns it, the object goes when the
// collector frees its table and no engine count holds it) are the script
// classes at the root of every bound class; both offer "SetTimer" and
// "RemoveTimer", and their constructors make bare objects.
//
// A bound class:
//
//   class Foo : public LuaBaseSubclass<_LuaStrongRef>
//   {
//       TARN_RCLASS(Foo)
//       TARN_LUA_CLASS("Foo")               // its script class name
//   public:
//       static void RegisterLua(lua_State* state);   // see LuaBinding.h
//   };
//   TARN_IMPLEMENT_RINSTANCECLASS(Foo, LuaSubclass, RObjectFactory<Foo>, L"Foo", &Foo::RegisterLua)
#pragma once

#include <lua.hpp>

#include "engine/core/time/Timer2.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaObject.h"

namespace TarnEngine
{

// A bound object's timers: a timer that falls due calls "OnTimer"(self, id).
class LuaTimer final : public Timer2
{
public:
    explicit LuaTimer(LuaObjectBase& owner) : owner(owner) {}
    void OnTimer(uint32_t id) override;

private:
    LuaObjectBase& owner;
};

template <class Policy> class LuaBaseSubclass : public RObject, public LuaObjectBaseImpl<Policy>
{
public:
    using TableType = LuaTableBase<Policy>;

    LuaBaseSubclass() : timer(*this) {}
    ~LuaBaseSubclass() override
    {
        this->luaDying = true;
        this->DisconnectTable();
    }

    static RClass* StaticClass();
    RClass* GetClass() const override { return StaticClass(); }
    // Both policies carry the same script-facing names.
    static const char* StaticScriptName();
    virtual const char* GetScriptClassName() const { return StaticScriptName(); }

    RObject* GetRObject() override { return this; }

    // Makes the object's table (of the given script class, by default the
    // object's own) unless it has one; false without a script state.
    virtual bool CreateLuaTable(const char* typeName = nullptr)
    {
        lua_State* state = LuaBinding::GetState();
        if (this->HasTable() || !state)
            return false;
        lua_newtable(state);
        const bool bound = LuaBindObjectTable(state, -1, *this, typeName ? typeName : GetScriptClassName());
        lua_pop(state, 1);
        return bound;
    }
    // Takes a table made elsewhere (by a script) as the object's table.
    virtual bool AttachLuaTable(const TableType& table, const char* typeName = nullptr)
    {
        lua_State* state = table.GetState();
        if (!state || !table.PushTable())
            return false;
        const bool bound = LuaBindObjectTable(state, -1, *this, typeName ? typeName : GetScriptClassName());
        lua_pop(state, 1);
        return bound;
    }

    LuaTimer& GetTimer() { return timer; }

    // Builds "LuaSubclass" or "LuaBaseClass".
    static void RegisterLua(lua_State* state);

private:
    LuaTimer timer;
};

using LuaSubclass = LuaBaseSubclass<_LuaStrongRef>;
using LuaBaseClass = LuaBaseSubclass<_LuaWeakRef>;

template <> const char* LuaBaseSubclass<_LuaStrongRef>::StaticScriptName();
template <> const char* LuaBaseSubclass<_LuaWeakRef>::StaticScriptName();
template <> RClass* LuaBaseSubclass<_LuaStrongRef>::StaticClass();
template <> RClass* LuaBaseSubclass<_LuaWeakRef>::StaticClass();
template <> void LuaBaseSubclass<_LuaStrongRef>::RegisterLua(lua_State* state);
template <> void LuaBaseSubclass<_LuaWeakRef>::RegisterLua(lua_State* state);

// The native constructor of a bound class: makes the object with its default
// constructor and returns its new table, of the script class named by the
// closure's upvalue ("Make" hands out such closures) or of the class's own.
template <class T> int LuaConstruct(lua_State* state)
{
    const char* typeName = lua_type(state, lua_upvalueindex(1)) == LUA_TSTRING
                               ? lua_tostring(state, lua_upvalueindex(1))
                               : nullptr;
    T* object = new T;
    lua_newtable(state);
    if (!LuaBindObjectTable(state, -1, *object, typeName ? typeName : object->GetScriptClassName()))
    {
        lua_pop(state, 1);
        delete object;
        return 0;
    }
    return 1;
}

} // namespace TarnEngine

// Inside a bound class's body: its script class name, used by its Lua
// registration and as the default type of its tables.
#define TARN_LUA_CLASS(ScriptName)                                                                                     \
public:                                                                                                                \
    static const char* StaticScriptName() { return ScriptName; }                                                       \
    const char* GetScriptClassName() const override { return ScriptName; }
