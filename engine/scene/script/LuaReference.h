// Engine-side references to Lua values. A ReferenceHolder keeps one value in
// a container under an integer key of its own: the registry for the strong
// policy (a luaL_ref), the binding's weak-valued table for the weak one (a
// slot the binding hands out). An integer key is read from the container's
// array part, the cheapest lookup Lua has, with no string interned; events
// fetch the object's table this way on every call. A
// LuaTableBase is a counted, copyable handle on a holder; the last copy
// clears the value. Holders outliving their state (the state was closed
// first) forget it instead of touching freed memory.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <lua.hpp>

#include "engine/core/base/Referenced.h"
#include "engine/core/text/TextConversion.h"
#include "engine/scene/script/LuaBinding.h"

namespace TarnEngine
{

// The registry holds the value: it lives as long as the holder.
struct _LuaStrongRef
{
    static constexpr int Kind = 1;
    static void Push(lua_State* state, int slot) { lua_rawgeti(state, LUA_REGISTRYINDEX, slot); }
    // `index` is absolute. A nil value gets LUA_REFNIL, which pushes nil.
    static int Store(lua_State* state, int index)
    {
        lua_pushvalue(state, index);
        return luaL_ref(state, LUA_REGISTRYINDEX);
    }
    static void Clear(lua_State* state, int slot) { luaL_unref(state, LUA_REGISTRYINDEX, slot); }
};

// The weak-valued table holds the value: it lives while scripts reach it.
struct _LuaWeakRef
{
    static constexpr int Kind = 2;
    static void Push(lua_State* state, int slot)
    {
        if (!pushContainer(state))
            return lua_pushnil(state);
        lua_rawgeti(state, -1, slot);
        lua_replace(state, -2);
    }
    static int Store(lua_State* state, int index)
    {
        if (!pushContainer(state))
            return LUA_NOREF;
        const int slot = LuaBinding::TakeWeakSlot();
        lua_pushvalue(state, index);
        lua_rawseti(state, -2, slot);
        lua_pop(state, 1);
        return slot;
    }
    static void Clear(lua_State* state, int slot)
    {
        if (slot == LUA_NOREF)
            return;
        if (pushContainer(state))
        {
            lua_pushnil(state);
            lua_rawseti(state, -2, slot);
            lua_pop(state, 1);
        }
        LuaBinding::ReturnWeakSlot(slot);
    }

private:
    static bool pushContainer(lua_State* state)
    {
        lua_rawgeti(state, LUA_REGISTRYINDEX, LuaBinding::GetWeakTableRef());
        if (lua_type(state, -1) == LUA_TTABLE)
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
        slotKey = Policy::Store(state, index);
    }
    ~ReferenceHolder() override
    {
        if (IsLive())
            Policy::Clear(state, slotKey);
    }
    ReferenceHolder(const ReferenceHolder&) = delete;
    ReferenceHolder& operator=(const ReferenceHolder&) = delete;

    bool IsLive() const { return LuaBinding::IsCurrent(state, generation); }
    // Pushes the value (nil once the state is gone).
    void Push() const
    {
        if (IsLive())
            Policy::Push(state, slotKey);
    }
    lua_State* GetState() const { return IsLive() ? state : nullptr; }
    int GetSlot() const { return slotKey; }

private:
    lua_State* state;
    uint32_t generation;
    int slotKey = LUA_NOREF;
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
        Policy::Push(state, holder->GetSlot());
        if (lua_type(state, -1) == LUA_TTABLE)
            return true;
        lua_pop(state, 1);
        return false;
    }
    // The field of that name when it holds a whole number in the 32-bit range (as a number or a
    // numeric string), or a text (a string, or a number as Lua writes it). False, with the output
    // unchanged, when the table has no such field or it holds anything else. Read without running
    // a metamethod, so that no script error can come of it.
    bool GetFieldValue(const char* name, int32_t& out) const
    {
        lua_State* state = GetState();
        if (!state || !name || !PushTable())
            return false;
        LuaGetFieldNoCall(state, -1, name);
        bool found = false;
        if (lua_type(state, -1) == LUA_TNUMBER || lua_type(state, -1) == LUA_TSTRING)
        {
            const int converts = lua_isnumber(state, -1);
            const lua_Number number = converts ? lua_tonumber(state, -1) : 0;
            // Comparisons are false for NaN, so it fails the range test too.
            if (converts && number >= -2147483648.0 && number <= 2147483647.0 && number == lua_Number(int64_t(number)))
            {
                out = int32_t(number);
                found = true;
            }
        }
        lua_pop(state, 2);
        return found;
    }
    bool GetFieldValue(const char* name, std::wstring& out) const
    {
        lua_State* state = GetState();
        if (!state || !name || !PushTable())
            return false;
        LuaGetFieldNoCall(state, -1, name);
        bool found = false;
        const int type = lua_type(state, -1);
        if (type == LUA_TSTRING || type == LUA_TNUMBER)
        {
            // On a copy: lua_tolstring turns a number into a string in place.
            lua_pushvalue(state, -1);
            size_t length = 0;
            const char* text = lua_tolstring(state, -1, &length);
            out = Utf8ToWString(std::string_view(text, length));
            lua_pop(state, 1);
            found = true;
        }
        lua_pop(state, 2);
        return found;
    }
    // Leaves the function of that name and the table (as self) on the stack
    // and gives true, or leaves nothing and gives false.
    bool GetMethod(const char* name) const
    {
        if (!PushTable())
            return false;
        lua_State* state = holder->GetState();
        lua_pushvalue(state, -1);
        return LuaFindMethodNoCall(state, name);
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
