// Engine objects with a Lua object table. The table holds, under the key
// light userdata 0, a full userdata with a WeakPtr to the object; its
// metatable is the type metatable of the object's script class. A method
// called on the table finds the object through that userdata (an
// engine-owned object first through the index of bound tables, by the
// table's address), so a table whose object is gone makes every method a
// no-op. LuaObjectBaseImpl ties the
// object to its table through the strong (registry) or the weak policy.
#pragma once

#include <cstdint>
#include <utility>

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

// The full userdata under key 0: a tag only the binding writes, then the weak
// pointer. The userdata scripts can reach otherwise are of other sizes (the io
// library's files, newproxy's empty ones), and the tag tells apart any other of
// this size; reading the size and the tag costs less than the metatable check.
struct LuaObjectPointer
{
    static constexpr uint64_t kTag = 0x6f626a2d62696e64ull;
    uint64_t tag = kTag;
    WeakPtr<LuaObjectBase> pointer;

    explicit LuaObjectPointer(LuaObjectBase* object) : pointer(object) {}
};

// Puts the object's userdata at key 0 of the table at `index`, gives the table
// the type metatable of `typeName` and connects it (running "OnTableConnect").
// False when the type name is taken by something other than a type metatable.
bool LuaBindObjectTable(lua_State* state, int index, LuaObjectBase& object, const char* typeName);

// The live object of the table at that index; null for anything else,
// including a table whose key 0 holds a userdata the binding did not make.
// Every method call runs it, so it stays inline and makes no call but the
// Lua API's own.
inline LuaObjectBase* LuaGetObjectBase(lua_State* state, int index)
{
    if (lua_type(state, index) != LUA_TTABLE)
        return nullptr;
    // An engine-owned object's table is listed from its connection on.
    if (LuaObjectBase* listed = LuaBinding::g_boundTables.Find(lua_topointer(state, index)))
        return listed->IsLuaDying() ? nullptr : listed;
    lua_pushlightuserdata(state, nullptr);
    lua_rawget(state, index < 0 && index > LUA_REGISTRYINDEX ? index - 1 : index);
    LuaObjectBase* object = nullptr;
    if (lua_type(state, -1) == LUA_TUSERDATA && lua_objlen(state, -1) == sizeof(LuaObjectPointer))
    {
        const auto* bound = static_cast<const LuaObjectPointer*>(lua_touserdata(state, -1));
        if (bound->tag == LuaObjectPointer::kTag)
        {
            object = bound->pointer.Get();
            if (object && object->IsLuaDying())
                object = nullptr;
        }
    }
    lua_settop(state, -2);
    return object;
}

// The live object of class T (or derived) of the table at that index.
template <class T> T* LuaGetObjectArg(lua_State* state, int index)
{
    LuaObjectBase* object = LuaGetObjectBase(state, index);
    if (!object)
        return nullptr;
    // The exact class first: the usual case, without walking the parents.
    RObject* checked = object->GetRObject();
    const RClass* wanted = T::StaticClass();
    return checked->GetClass() == wanted || checked->IsKindOf(wanted) ? static_cast<T*>(checked) : nullptr;
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
    const int base = LuaFindEventHandler(state, name);
    if (!base)
        return false;
    const int count = pushArguments(state);
    return LuaPCallEvent(state, base, 1 + count);
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
    ~LuaObjectBaseImpl() override
    {
        unlistTable();
        luaTable.Reset();
    }

    // Shares the given reference, then runs "OnTableConnect".
    void ConnectTable(const TableType& table)
    {
        unlistTable();
        luaTable = table;
        listTable();
        callEvent("OnTableConnect");
    }
    void ConnectTable(lua_State* state, int index) override
    {
        unlistTable();
        luaTable.SetReference(state, index);
        listTable();
        callEvent("OnTableConnect");
    }
    void DisconnectTable() override
    {
        if (!luaTable.IsSet())
            return;
        // Unlisted first: from here on the table may outlive the object.
        unlistTable();
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
    void callEvent(const char* name) { LuaRaiseEvent(*this, luaTable.GetState(), name, [](lua_State*) { return 0; }); }

    TableType luaTable;

private:
    // Only the registry keeps a table alive for as long as it is listed.
    void listTable()
    {
        if constexpr (TableType::Kind == _LuaStrongRef::Kind)
        {
            lua_State* state = luaTable.GetState();
            if (!state || !luaTable.PushTable())
                return;
            listedTable = lua_topointer(state, -1);
            lua_pop(state, 1);
            LuaBinding::g_boundTables.Add(listedTable, this);
        }
    }
    void unlistTable()
    {
        if (listedTable)
            LuaBinding::g_boundTables.Remove(std::exchange(listedTable, nullptr), this);
    }

    const void* listedTable = nullptr;
};

} // namespace TarnEngine
