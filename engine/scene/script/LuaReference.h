// Engine-side references to Lua values. A ReferenceHolder keeps one value in
// a container keyed by the holder's own address (a light userdata, so no
// string is interned and every holder has its own key): the registry for the
// strong policy, the binding's weak-valued table for the weak one. A
// LuaTableBase is a counted, copyable handle on a holder; the last copy
// clears the value. Holders outliving their state (the state was closed
// first) forget it instead of touching freed memory.
#pragma once

#include <cstdlib>

#include <lua.hpp>

#include "engine/core/base/Referenced.h"
#include "engine/scene/script/LuaBinding.h"

namespace TarnEngine
{

// The registry holds the value: it lives as long as the holder.
struct _LuaStrongRef
{
    static constexpr int Kind = 1;
    static void Push(lua_State* state, void* key)
    {
        lua_pushlightuserdata(state, key);
        lua_rawget(state, LUA_REGISTRYINDEX);
    }
    static void Store(lua_State* state, void* key, int index)
    {
        lua_pushlightuserdata(state, key);
        lua_pushvalue(state, index);
        lua_rawset(state, LUA_REGISTRYINDEX);
    }
    static void Clear(lua_State* state, void* key)
    {
        lua_pushlightuserdata(state, key);
        lua_pushnil(state);
        lua_rawset(state, LUA_REGISTRYINDEX);
    }
};

// The weak-valued table holds the value: it lives while scripts reach it.
struct _LuaWeakRef
{
    static constexpr int Kind = 2;
    static void Push(lua_State* state, void* key)
    {
        if (!pushContainer(state))
            return lua_pushnil(state);
        lua_pushlightuserdata(state, key);
        lua_rawget(state, -2);
        lua_remove(state, -2);
    }
    static void Store(lua_State* state, void* key, int index)
    {
        if (!pushContainer(state))
            return;
        lua_pushlightuserdata(state, key);
        lua_pushvalue(state, index);
        lua_rawset(state, -3);
        lua_pop(state, 1);
    }
    static void Clear(lua_State* state, void* key)
    {
        if (!pushContainer(state))
            return;
        lua_pushlightuserdata(state, key);
        lua_pushnil(state);
        lua_rawset(state, -3);
        lua_pop(state, 1);
    }

private:
    static bool pushContainer(lua_State* state)
    {
        lua_rawgeti(state, LUA_REGISTRYINDEX, LuaBinding::GetWeakTableRef());
        if (lua_istable(state, -1))
            return true;
        lua_pop(state, 1);
        return false;
    }
};

template <class Policy> class ReferenceHolder final : public Referenced
{
public:
    ReferenceHolder(lua_State* state, int index) : state(state), generation(LuaBinding::GetGeneration())
    {
        if (index < 0 && index > LUA_REGISTRYINDEX)
            index = lua_gettop(state) + index + 1;
        Policy::Store(state, this, index);
    }
    ~ReferenceHolder() override
    {
        if (IsLive())
            Policy::Clear(state, this);
    }
    ReferenceHolder(const ReferenceHolder&) = delete;
    ReferenceHolder& operator=(const ReferenceHolder&) = delete;

    bool IsLive() const { return LuaBinding::IsCurrent(state, generation); }
    // Pushes the value (nil once the state is gone).
    void Push() const
    {
        if (IsLive())
            Policy::Push(state, const_cast<ReferenceHolder*>(this));
    }
    lua_State* GetState() const { return IsLive() ? state : nullptr; }

private:
    lua_State* state;
    uint32_t generation;
};

template <class Policy> class LuaTableBase
{
public:
    static constexpr int Kind = Policy::Kind;

    LuaTableBase() = default;
    LuaTableBase(const LuaTableBase& other) : holder(other.holder)
    {
        if (holder)
            holder->AddRef();
    }
    LuaTableBase& operator=(const LuaTableBase& other)
    {
        if (other.holder)
            other.holder->AddRef();
        release();
        holder = other.holder;
        return *this;
    }
    ~LuaTableBase() { release(); }

    // Refers to the value at that stack index from now on.
    void SetReference(lua_State* state, int index)
    {
        ReferenceHolder<Policy>* fresh = new ReferenceHolder<Policy>(state, index);
        fresh->AddRef();
        release();
        holder = fresh;
    }
    // Lets go of the value.
    void Reset() { release(); }

    bool IsSet() const { return holder != nullptr; }
    lua_State* GetState() const { return holder ? holder->GetState() : nullptr; }

    // Pushes the value and gives true when it is a table; anything else is
    // popped again (nothing is pushed without a live state).
    bool PushTable() const
    {
        lua_State* state = GetState();
        if (!state)
            return false;
        holder->Push();
        if (lua_istable(state, -1))
            return true;
        lua_pop(state, 1);
        return false;
    }
    // Leaves the function of that name and the table (as self) on the stack
    // and gives true, or leaves nothing and gives false.
    bool GetMethod(const char* name) const
    {
        if (!PushTable())
            return false;
        lua_State* state = holder->GetState();
        LuaGetFieldNoCall(state, -1, name);
        if (lua_isfunction(state, -1))
        {
            lua_insert(state, -2);
            return true;
        }
        lua_pop(state, 2);
        return false;
    }

private:
    void release()
    {
        if (ReferenceHolder<Policy>* old = holder)
        {
            holder = nullptr;
            old->DecRef();
            old->ReleaseCheck();
        }
    }

    ReferenceHolder<Policy>* holder = nullptr;
};

using LuaStrongTable = LuaTableBase<_LuaStrongRef>;
using LuaWeakTable = LuaTableBase<_LuaWeakRef>;

// Makes an empty table and a strong reference to it (nothing stays pushed).
LuaStrongTable NewLuaTable(lua_State* state);

// The reference takes the table at that index; 1, or 0 for anything else.
template <class Policy> int LuaTableRefFromStack(lua_State* state, LuaTableBase<Policy>& reference, int index)
{
    if (!lua_istable(state, index))
        return 0;
    reference.SetReference(state, index);
    return 1;
}

} // namespace TarnEngine
