// Engine objects with a Lua object table. The table holds, under the key
// light userdata 0, a full userdata with a WeakPtr to the object; its
// metatable is the type metatable of the object's script class. A method
// called on the table finds the object through that userdata, so a table
// whose object is gone makes every method a no-op. LuaObjectBaseImpl ties the
// object to its table through the strong (registry) or the weak policy.
#pragma once

#include <lua.hpp>

#include "engine/core/base/Referenced.h"
#include "engine/core/base/WeakPtr.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaReference.h"

namespace TarnEngine
{

class ILuaObject
{
public:
    virtual ~ILuaObject() = default;
    // Refers to the table at that index and runs its "OnTableConnect".
    virtual void ConnectTable(lua_State* state, int index) = 0;
    // Runs "OnTableDisconnect" and lets go of the table.
    virtual void DisconnectTable() = 0;
    virtual bool HasTable() const = 0;
    virtual bool PushTable() const = 0;
    // Lua let go of the table: a weak object is deleted when the engine holds
    // no count on it (true then); a strong one stays (false).
    virtual bool OnLuaRelease() = 0;
    // The run-time class side of the object, for checked casts of `self`.
    virtual RObject* GetRObject() = 0;
};

class LuaObjectBase : public ILuaObject, public Referenced
{
public:
    // Set while the object is being destroyed: scripts reached from its
    // "OnTableDisconnect" see it as gone and cannot delete it a second time.
    bool IsLuaDying() const { return luaDying; }

protected:
    bool luaDying = false;
};

// Puts the object's userdata at key 0 of the table at `index`, gives the table
// the type metatable of `typeName` and connects it (running "OnTableConnect").
// False when the type name is taken by something other than a type metatable.
bool LuaBindObjectTable(lua_State* state, int index, LuaObjectBase& object, const char* typeName);

// The live object of the table at that index; null for anything else,
// including a table whose key 0 holds a userdata the binding did not make.
LuaObjectBase* LuaGetObjectBase(lua_State* state, int index);

// The live object of class T (or derived) of the table at that index.
template <class T> T* LuaGetObjectArg(lua_State* state, int index)
{
    LuaObjectBase* object = LuaGetObjectBase(state, index);
    return object ? RObjectCast<T>(object->GetRObject()) : nullptr;
}
// Every method thunk starts with it: the object behind `self`, or null.
template <class T> T* GetLuaSelf(lua_State* state)
{
    return LuaGetObjectArg<T>(state, 1);
}

// Raises an event on an object's table: "name"(self, ...). The arguments
// are pushed by `pushArguments(state)`, which returns how many it pushed.
// Skipped quietly when the table has no such function.
template <class PushFn> bool LuaRaiseEvent(const ILuaObject& object, lua_State* state, const char* name,
                                           PushFn pushArguments)
{
    if (!state || !object.PushTable())
        return false;
    LuaGetFieldNoCall(state, -1, name);
    if (!lua_isfunction(state, -1))
    {
        lua_pop(state, 2);
        return false;
    }
    lua_insert(state, -2);
    const int count = pushArguments(state);
    return LuaPCall(state, 1 + count, 0);
}

template <class Policy> class LuaObjectBaseImpl : public LuaObjectBase
{
public:
    using TableType = LuaTableBase<Policy>;

    LuaObjectBaseImpl() = default;
    LuaObjectBaseImpl(const LuaObjectBaseImpl&) = delete;
    LuaObjectBaseImpl& operator=(const LuaObjectBaseImpl&) = delete;
    // The most derived bound class disconnects (with its script event) while
    // it is still whole; what is left here goes without one.
    ~LuaObjectBaseImpl() override { luaTable.Reset(); }

    // Shares the given reference, then runs "OnTableConnect".
    void ConnectTable(const TableType& table)
    {
        luaTable = table;
        callEvent("OnTableConnect");
    }
    void ConnectTable(lua_State* state, int index) override
    {
        luaTable.SetReference(state, index);
        callEvent("OnTableConnect");
    }
    void DisconnectTable() override
    {
        if (!luaTable.IsSet())
            return;
        // The handler may end the object (a weak one through "_Release").
        const WeakPtr<LuaObjectBase> alive(this);
        callEvent("OnTableDisconnect");
        if (alive.IsAlive())
            luaTable.Reset();
    }
    bool HasTable() const override { return luaTable.IsSet(); }
    bool PushTable() const override { return luaTable.PushTable(); }
    bool OnLuaRelease() override
    {
        if (TableType::Kind == _LuaStrongRef::Kind || luaDying)
            return false;
        return ReleaseCheck();
    }

    const TableType& GetLuaTable() const { return luaTable; }

protected:
    void callEvent(const char* name)
    {
        if (luaTable.GetMethod(name))
            CallLuaFunction1(luaTable.GetState());
    }

    TableType luaTable;
};

} // namespace TarnEngine
