// The Lua side of the object binding: the registry objects the binding relies
// on (error handler, weak-valued table, object-userdata metatable), the
// protected call, type metatables and the class-table builder, the script
// functions "BuildType" and "Make", and the small argument, push and call
// helpers every bound method uses. The script manager installs it on its
// state; everything here runs on the main thread against that one state.
//
// A class's Lua registration function (named in its record, see
// engine/scene/classes/RObject.h) fills a LuaClassDef and builds it:
//
//   void Foo::RegisterLua(lua_State* state)
//   {
//       LuaClassDef def(state);
//       def.AddParent(Bar::StaticScriptName());
//       def.AddMethod("GetX", &fooGetX);
//       def.SetConstructor(&LuaConstruct<Foo>);   // only for classes scripts may create
//       def.Build(Foo::StaticScriptName());
//   }
//
// and each method thunk starts with GetLuaSelf<Foo>(state) (LuaObject.h),
// returns 0 results when it gives null, reads its arguments with the
// LuaGet*Arg readers and pushes its results.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <lua.hpp>

namespace TarnEngine
{

class LuaObjectBase;

namespace LuaBinding
{
// Creates the registry objects in the state and the globals "BuildType" and
// "Make"; the state becomes the binding's state. Run once per state, after
// the standard libraries are open.
void Install(lua_State* state);
// After lua_close: objects still holding references to that state forget it.
void Uninstall(lua_State* state);

// What the hot paths (events, method thunks, references) read on every call,
// kept where header code reads it inline: registry integer references cost
// one array read, where a string key would be hashed on each lookup.
struct Installation
{
    lua_State* state = nullptr;
    uint32_t generation = 0;
    int errorHandler = LUA_NOREF;
    int weakTable = LUA_NOREF;
    int indexName = LUA_NOREF; // the string "__index", interned once
    const void* userdataMetatable = nullptr;
};
extern Installation g_installation;

// The installed state, or null.
inline lua_State* GetState()
{
    return g_installation.state;
}
// True while `state` is the installed state of that installation.
inline bool IsCurrent(lua_State* state, uint32_t generation)
{
    return state && state == g_installation.state && generation == g_installation.generation;
}
inline uint32_t GetGeneration()
{
    return g_installation.generation;
}
// Registry references made by Install (LUA_NOREF before).
inline int GetWeakTableRef()
{
    return g_installation.weakTable;
}
inline int GetErrorHandlerRef()
{
    return g_installation.errorHandler;
}
// The object-userdata metatable, as lua_topointer gives it.
inline const void* GetUserdataMetatable()
{
    return g_installation.userdataMetatable;
}
// The tables of engine-owned (strong) objects by address, so that a method
// call finds the object behind `self` with one inline probe instead of
// reading key 0 through the Lua API. A table is entered when a strong object
// connects it and removed before the object lets go of it; in between the
// registry keeps the table alive, so its address cannot be taken by another
// table while it is listed. Tables of weak objects are not listed: the
// collector may free such a table before its object hears of it. Linear
// probing in a power-of-two array, at most half full.
class BoundTables
{
public:
    struct Entry
    {
        const void* table;
        LuaObjectBase* object;
    };

    // The object bound to the table at that address, or null when none is listed.
    LuaObjectBase* Find(const void* table) const
    {
        for (size_t i = slotOf(table);; i = (i + 1) & mask)
        {
            if (slots[i].table == table)
                return slots[i].object;
            if (!slots[i].table)
                return nullptr;
        }
    }
    // Lists the table for that object (replacing any earlier object of it).
    void Add(const void* table, LuaObjectBase* object);
    // Unlists the table when it is listed for that object.
    void Remove(const void* table, const LuaObjectBase* object);
    void Clear();

private:
    size_t slotOf(const void* table) const
    {
        return size_t((uintptr_t(table) * 0x9e3779b97f4a7c15ull) >> shift) & mask;
    }
    void grow();

    static Entry empty[1];
    std::vector<Entry> storage;
    Entry* slots = empty; // never null: the empty array has one free slot
    size_t mask = 0;
    int shift = 63;
    size_t used = 0;
};
extern BoundTables g_boundTables;

// Integer keys of the weak-valued table, one per reference holder. They are
// handed out here rather than by luaL_ref: a collected value leaves a hole
// that luaL_ref would give to a second holder while the first still owns it.
int TakeWeakSlot();
void ReturnWeakSlot(int slot);
} // namespace LuaBinding

// The engine's panic function: writes the stack to the log; Lua then ends the process.
// A line on the Lua log channel.
void LogLuaLine(const std::wstring& text);

int LuaPanic(lua_State* state);
// The engine's error handler: logs "Lua: <message>" and the stack trace,
// returns the message unchanged.
int LuaErrorHandler(lua_State* state);
// Runs the function below the arguments in protected mode with the engine's
// error handler; false (with the error popped) when it failed.
bool LuaPCall(lua_State* state, int argumentCount, int resultCount);
// Pushes the engine's error handler: from its registry reference in the
// installed state, as a new C function in any other.
inline void LuaPushErrorHandler(lua_State* state)
{
    if (state == LuaBinding::g_installation.state)
        lua_rawgeti(state, LUA_REGISTRYINDEX, LuaBinding::g_installation.errorHandler);
    else
        lua_pushcfunction(state, LuaErrorHandler);
}
// The protected call of an event prepared by LuaFindEventHandler, whose
// result is `base`: the function and self lie on top of the stack with the
// other arguments pushed above them. Calls with no results and leaves the
// stack below `base`; false when the call failed.
inline bool LuaPCallEvent(lua_State* state, int base, int argumentCount)
{
    const int status = lua_pcall(state, argumentCount, 0, base + 1);
    lua_settop(state, base - 1);
    return status == 0;
}

// Pushes the object-userdata metatable.
void LuaPushGcMetatable(lua_State* state);

// ---- Arguments. Each gives 1 when it stored a value, else 0.
int LuaGetIntArg(lua_State* state, int& out, int index);   // NaN gives 0; beyond int range clamped
int LuaGetFloatArg(lua_State* state, float& out, int index);
int LuaGetBoolArg(lua_State* state, bool& out, int index); // real booleans only
int LuaGetStringArg(lua_State* state, std::string& out, int index);
int LuaGetCStringArg(lua_State* state, const char*& out, int index);  // nil or none: null
int LuaGetWStringArg(lua_State* state, std::wstring& out, int index); // nil or none: empty

// ---- Pushing. Each returns the number of values pushed.
int LuaPushBool(lua_State* state, bool value);
int PushWideString(lua_State* state, const wchar_t* text); // as UTF-8; null pushes nil
int PushWString(lua_State* state, const std::wstring& text);
int PushNarrowString(lua_State* state, const char* text);

// ---- Tables and globals.
// Stores the value on top of the stack under a dotted global name ("svc.GameMgr"),
// making missing intermediate tables. The value is popped either way; false
// (nothing stored) when an intermediate value exists and is not a table.
bool LuaSetGlobalPath(const char* name, lua_State* state);
bool LuaRegisterGlobalFunction(lua_State* state, const char* name, lua_CFunction function);
// Copies every pair of the source table into the destination table (raw).
void LuaCopyTable(lua_State* state, int destination, int source);
// Pushes the type metatable of that name and returns true; false with nothing
// pushed when the registry holds something else under the name. A missing
// one is made when `create` is set.
bool LuaPushTypeMetatable(lua_State* state, const char* typeName, bool create);
// Gives the table on top of the stack the type metatable of that name (made when missing).
int LuaSetTypeMetatable(lua_State* state, const char* typeName);
// Pushes the registry entry of that name: an existing table gives 0; otherwise
// a new type metatable is made and pushed, giving 1.
int LuaNewTypeMetatable(lua_State* state, const char* typeName);

// ---- Events and calls.
// Pushes table[name] as lua_getfield would, following __index tables (at
// most 32 deep) with raw reads and never running an __index function, so
// that looking up an event handler cannot raise an error outside a
// protected call. Anything that is not a table gives nil.
void LuaGetFieldNoCall(lua_State* state, int index, const char* name);
// The lookup of LuaTableBase::GetMethod: with a table and a value above it on
// top of the stack, replaces the table by its function `name` (read as
// LuaGetFieldNoCall does) and returns true; when there is no such function
// pops both and returns false.
bool LuaFindMethodNoCall(lua_State* state, const char* name);
// The same lookup for raising an event, with as few stack operations as it
// can: with an object table on top of the stack (at index `base`), finds its
// function `name` and pushes it, then self, with the error handler placed
// between `base` and the function; returns `base` for LuaPCallEvent. When
// there is no such function pops the table and returns 0.
int LuaFindEventHandler(lua_State* state, const char* name);
// With the function and self on the stack (LuaTableBase::GetMethod): calls
// with self alone, with self and a text, with self and a number. No results.
bool CallLuaFunction1(lua_State* state);
bool CallLuaWithString(lua_State* state, const std::wstring& text);
bool LuaCallWithNumber(lua_State* state, double number);
// Game-wide events: calls the global "__OnEvent" with the event name and the
// `argumentCount` values on top of the stack, which are popped in any case.
// False when there is no handler or it failed.
bool LuaRaiseGlobalEvent(lua_State* state, const char* eventName, int argumentCount);

// The description a class's Lua registration function hands to the
// class-table builder.
class LuaClassDef
{
public:
    explicit LuaClassDef(lua_State* state) : state(state) {}

    LuaClassDef& AddParent(const char* scriptName);
    LuaClassDef& AddMethod(const char* name, lua_CFunction function);
    LuaClassDef& SetConstructor(lua_CFunction function);

    // Builds (or extends) the class table of that script name: methods of the
    // parents first, then the class's own. False, with nothing made, when a
    // parent has no class table yet or the name is taken by something else.
    bool Build(const char* scriptName) const;

    lua_State* GetState() const { return state; }

private:
    lua_State* state;
    std::vector<const char*> parents;
    std::vector<std::pair<const char*, lua_CFunction>> methods;
    lua_CFunction constructor = nullptr;
};

// The global script functions (installed by LuaBinding::Install).
int LuaBuildType(lua_State* state);
int LuaMake(lua_State* state);

} // namespace TarnEngine
