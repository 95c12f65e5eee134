// Implementation of LuaBinding.h, LuaReference.h and LuaObject.h: installation, protected calls and
// errors, tables and globals, events, object tables. The argument readers and pushes are in
// LuaArguments.cpp, the type metatables and the class builder in LuaClassDef.cpp.
#include "engine/scene/script/LuaBinding.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "engine/core/base/WeakPtr.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/diagnostics/StartupProblem.h"
#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"
#include "engine/scene/script/LuaObject.h"
#include "engine/scene/script/LuaReference.h"

namespace TarnEngine
{

namespace
{

// What the hot paths do not need: the userdata metatable's registry
// reference and the weak table's free integer keys.
struct BindingState
{
    int userdataMetatable = LUA_NOREF;
    int nextWeakSlot = 1;
    std::vector<int> freeWeakSlots;
};
BindingState g_binding;

using ObjectPointer = LuaObjectPointer;

// Depth of __index chains followed by the no-call field read.
constexpr int kMaxIndexDepth = 32;

// Event names pushed as interned strings held by the registry, found by
// the address of the name (the engine raises events with literal names);
// the text is compared too, so a name whose buffer was reused is not taken
// for another. Pushing a string from its text hashes it on every call.
struct EventName
{
    const char* pointer = nullptr;
    std::string text;
    int reference = LUA_NOREF;
};
constexpr size_t kEventNameSlots = 64; // the top 6 bits of the address hash
EventName g_eventNames[kEventNameSlots];

void forgetEventNames()
{
    for (EventName& name : g_eventNames)
        name = EventName{};
}

void pushEventName(lua_State* state, const char* name)
{
    if (!name || state != LuaBinding::g_installation.state)
        return (void)lua_pushstring(state, name);
    EventName& slot = g_eventNames[(uintptr_t(name) * 0x9e3779b97f4a7c15ull) >> 58];
    if (slot.pointer == name && std::strcmp(slot.text.c_str(), name) == 0)
        return lua_rawgeti(state, LUA_REGISTRYINDEX, slot.reference);
    lua_pushstring(state, name);
    if (slot.reference != LUA_NOREF)
        luaL_unref(state, LUA_REGISTRYINDEX, slot.reference);
    lua_pushvalue(state, -1);
    slot.reference = luaL_ref(state, LUA_REGISTRYINDEX);
    slot.pointer = name;
    slot.text = name;
}


// The userdata release function: the collector freed an object table (or
// the state is closing). A live object drops its table and is released.
int userdataGc(lua_State* state)
{
    if (lua_type(state, 1) != LUA_TUSERDATA || lua_objlen(state, 1) != sizeof(ObjectPointer))
        return 0;
    ObjectPointer* bound = static_cast<ObjectPointer*>(lua_touserdata(state, 1));
    if (bound->tag != ObjectPointer::kTag)
        return 0;
    WeakPtr<LuaObjectBase>* pointer = &bound->pointer;
    if (LuaObjectBase* object = pointer->Get(); object && !object->IsLuaDying())
    {
        object->DisconnectTable();
        // The disconnect event may already have ended the object.
        if (LuaObjectBase* still = pointer->Get())
            still->OnLuaRelease();
    }
    pointer->Release(); // leaves it empty, so a second run does nothing
    return 0;
}

int luaRelease(lua_State* state)
{
    LuaObjectBase* object = LuaGetObjectBase(state, 1);
    lua_pushboolean(state, object ? object->OnLuaRelease() : true);
    return 1;
}

int luaIsValid(lua_State* state)
{
    lua_pushboolean(state, LuaGetObjectBase(state, 1) != nullptr);
    return 1;
}

// Pushes the parent class's field (raw reads throughout), or nil.
void pushParentField(lua_State* state)
{
    if (!lua_getmetatable(state, 1))
        return lua_pushnil(state);
    lua_pushliteral(state, "__parents");
    lua_rawget(state, -2);
    lua_remove(state, -2);
    if (!lua_istable(state, -1))
    {
        lua_pop(state, 1);
        return lua_pushnil(state);
    }
    lua_pushvalue(state, 2);
    lua_rawget(state, -2);
    lua_remove(state, -2);
    if (!lua_istable(state, -1))
    {
        lua_pop(state, 1);
        return lua_pushnil(state);
    }
    lua_pushliteral(state, "__index");
    lua_rawget(state, -2);
    lua_remove(state, -2);
    if (!lua_istable(state, -1))
    {
        lua_pop(state, 1);
        return lua_pushnil(state);
    }
    lua_pushvalue(state, 3);
    lua_rawget(state, -2);
    lua_remove(state, -2);
}

int luaGetField(lua_State* state)
{
    lua_settop(state, 3);
    pushParentField(state);
    return 1;
}

int luaCallMethod(lua_State* state)
{
    const int top = lua_gettop(state);
    const int argumentCount = top > 3 ? top - 3 : 0;
    if (top < 3)
        lua_settop(state, 3);
    if (!lua_checkstack(state, argumentCount + 4))
        return 0;
    pushParentField(state);
    if (!lua_isfunction(state, -1))
        return 0;
    const int function = lua_gettop(state);
    lua_pushvalue(state, 1); // self
    for (int i = 4; i <= top; ++i)
        lua_pushvalue(state, i);
    if (!LuaPCall(state, argumentCount + 1, LUA_MULTRET))
        return 0;
    return lua_gettop(state) - function + 1;
}

int luaDescribeStackValue(lua_State* state, int index, std::wstring& out)
{
    switch (lua_type(state, index))
    {
    case LUA_TSTRING:
        out += StringPrintf(L"%s\n", Utf8ToWString(lua_tostring(state, index)));
        break;
    case LUA_TNIL:
        out += L"nil\n";
        break;
    case LUA_TBOOLEAN:
        out += lua_toboolean(state, index) ? L"true\n" : L"false\n";
        break;
    default:
        out += StringPrintf(L"%s:%p\n", Utf8ToWString(lua_typename(state, lua_type(state, index))),
                            lua_topointer(state, index));
        break;
    }
    return 0;
}

} // namespace

void LogLuaLine(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogLua, __FILE__, __LINE__, L"%s", text);
}

// ---- Installation

namespace LuaBinding
{

Installation g_installation;

void Install(lua_State* state)
{
    g_binding = BindingState{};
    g_installation = Installation{};
    g_boundTables.Clear();
    forgetEventNames();
    g_installation.state = state;
    static uint32_t generations = 0;
    g_installation.generation = ++generations;

    lua_pushcfunction(state, LuaErrorHandler);
    g_installation.errorHandler = luaL_ref(state, LUA_REGISTRYINDEX);

    // Held by the registry, so the string is never collected and re-interned.
    lua_pushliteral(state, "__index");
    g_installation.indexName = luaL_ref(state, LUA_REGISTRYINDEX);

    lua_newtable(state);
    lua_newtable(state);
    lua_pushliteral(state, "v");
    lua_setfield(state, -2, "__mode");
    lua_setmetatable(state, -2);
    g_installation.weakTable = luaL_ref(state, LUA_REGISTRYINDEX);

    lua_newtable(state);
    lua_pushcfunction(state, userdataGc);
    lua_setfield(state, -2, "__gc");
    // Scripts reach the userdata through pairs(); they must not reach its
    // release function.
    lua_pushboolean(state, 0);
    lua_setfield(state, -2, "__metatable");
    g_installation.userdataMetatable = lua_topointer(state, -1);
    g_binding.userdataMetatable = luaL_ref(state, LUA_REGISTRYINDEX);

    lua_pushcfunction(state, LuaBuildType);
    lua_setglobal(state, "BuildType");
    lua_pushcfunction(state, LuaMake);
    lua_setglobal(state, "Make");
}

void Uninstall(lua_State* state)
{
    if (g_installation.state == state)
    {
        g_installation = Installation{};
        g_binding = BindingState{};
        g_boundTables.Clear();
        forgetEventNames();
    }
}

BoundTables g_boundTables;
BoundTables::Entry BoundTables::empty[1] = {{nullptr, nullptr}};

void BoundTables::grow()
{
    std::vector<Entry> old = std::move(storage);
    const size_t capacity = old.empty() ? 16 : old.size() * 2;
    storage.assign(capacity, Entry{nullptr, nullptr});
    slots = storage.data();
    mask = capacity - 1;
    shift = 64;
    for (size_t size = capacity; size > 1; size >>= 1)
        --shift;
    for (const Entry& entry : old)
        if (entry.table)
        {
            size_t i = slotOf(entry.table);
            while (slots[i].table)
                i = (i + 1) & mask;
            slots[i] = entry;
        }
}

void BoundTables::Add(const void* table, LuaObjectBase* object)
{
    if (!table || !object)
        return;
    if ((used + 1) * 2 > mask + 1)
        grow();
    size_t i = slotOf(table);
    while (slots[i].table && slots[i].table != table)
        i = (i + 1) & mask;
    if (!slots[i].table)
        ++used;
    slots[i] = Entry{table, object};
}

void BoundTables::Remove(const void* table, const LuaObjectBase* object)
{
    if (!table)
        return;
    size_t hole = slotOf(table);
    while (slots[hole].table != table)
    {
        if (!slots[hole].table)
            return;
        hole = (hole + 1) & mask;
    }
    if (slots[hole].object != object)
        return;
    // Shift back the entries after the hole that may live there, so that no
    // probe stops early at it.
    for (size_t j = (hole + 1) & mask; slots[j].table; j = (j + 1) & mask)
    {
        const size_t home = slotOf(slots[j].table);
        if (((j - home) & mask) >= ((j - hole) & mask))
        {
            slots[hole] = slots[j];
            hole = j;
        }
    }
    slots[hole] = Entry{nullptr, nullptr};
    --used;
}

void BoundTables::Clear()
{
    storage.clear();
    storage.shrink_to_fit();
    slots = empty;
    mask = 0;
    shift = 63;
    used = 0;
}

int TakeWeakSlot()
{
    if (g_binding.freeWeakSlots.empty())
        return g_binding.nextWeakSlot++;
    const int slot = g_binding.freeWeakSlots.back();
    g_binding.freeWeakSlots.pop_back();
    return slot;
}

void ReturnWeakSlot(int slot)
{
    if (slot > 0 && slot < g_binding.nextWeakSlot)
        g_binding.freeWeakSlots.push_back(slot);
}

} // namespace LuaBinding

// ---- Protected calls

int LuaPanic(lua_State* state)
{
    std::wstring text = L"LuaPanic\n";
    for (int i = 1, top = lua_gettop(state); i <= top; ++i)
        luaDescribeStackValue(state, i, text);
    LogLuaLine(text);
    return 0;
}

int LuaErrorHandler(lua_State* state)
{
    const char* message = lua_tostring(state, 1);
    std::wstring text = StringPrintf(L"Lua: %s\n", Utf8ToWString(message ? message : "(error object is not a string)"));
    lua_Debug info;
    for (int level = 1; lua_getstack(state, level, &info); ++level)
    {
        if (!lua_getinfo(state, "lnS", &info))
        {
            text += L"[lua_getinfo error!]\n";
            break;
        }
        const std::wstring name = info.name ? Utf8ToWString(info.name) : L"<no name>";
        if (info.what && std::string_view(info.what) == "C")
            text += StringPrintf(L".  C    %s\n", name);
        else
            text += StringPrintf(L".  %-4s %s %s - %s:%d\n", Utf8ToWString(info.what), Utf8ToWString(info.namewhat), name,
                                 Utf8ToWString(info.short_src), info.currentline);
    }
    LogLuaLine(text);
    // A failing script names itself in its message ("main.lua:3: ..."); start-up reports it.
    NoteProblem(L"a script failed: " + Utf8ToWString(message ? message : "(error object is not a string)"));
    lua_settop(state, 1);
    return 1;
}

bool LuaPCall(lua_State* state, int argumentCount, int resultCount)
{
    if (!state)
        return false;
    const int base = lua_gettop(state) - argumentCount; // the function's slot
    LuaPushErrorHandler(state);
    lua_insert(state, base);
    const int status = lua_pcall(state, argumentCount, resultCount, base);
    if (status != 0)
    {
        lua_settop(state, base - 1); // the handler and the error
        return false;
    }
    lua_remove(state, base);
    return true;
}

void LuaPushGcMetatable(lua_State* state)
{
    lua_rawgeti(state, LUA_REGISTRYINDEX, g_binding.userdataMetatable);
}

// ---- Tables and globals

int LuaNewTypeMetatable(lua_State* state, const char* typeName)
{
    lua_getfield(state, LUA_REGISTRYINDEX, typeName);
    if (lua_istable(state, -1))
        return 0;
    lua_pop(state, 1);
    luaL_newmetatable(state, typeName);
    lua_pushliteral(state, "__parents");
    lua_newtable(state);
    lua_rawset(state, -3);
    lua_pushliteral(state, "__index");
    lua_newtable(state);
    lua_pushliteral(state, "_Release");
    lua_pushcfunction(state, luaRelease);
    lua_rawset(state, -3);
    lua_pushliteral(state, "_IsValid");
    lua_pushcfunction(state, luaIsValid);
    lua_rawset(state, -3);
    lua_pushliteral(state, "_GetField");
    lua_pushcfunction(state, luaGetField);
    lua_rawset(state, -3);
    lua_pushliteral(state, "_CallMethod");
    lua_pushcfunction(state, luaCallMethod);
    lua_rawset(state, -3);
    lua_pushliteral(state, "__type");
    lua_pushstring(state, typeName);
    lua_rawset(state, -3);
    lua_rawset(state, -3);
    return 1;
}


bool LuaSetGlobalPath(const char* name, lua_State* state)
{
    if (!name || !*name)
    {
        lua_pop(state, 1);
        return false;
    }
    const int value = lua_gettop(state);
    lua_pushvalue(state, LUA_GLOBALSINDEX);
    const std::string_view path(name);
    size_t start = 0;
    for (;;)
    {
        const size_t dot = path.find('.', start);
        const std::string segment(path.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (dot == std::string_view::npos)
        {
            lua_pushlstring(state, segment.data(), segment.size());
            lua_pushvalue(state, value);
            lua_rawset(state, -3);
            lua_settop(state, value - 1);
            return true;
        }
        lua_pushlstring(state, segment.data(), segment.size());
        lua_rawget(state, -2);
        if (lua_isnil(state, -1))
        {
            lua_pop(state, 1);
            lua_newtable(state);
            lua_pushlstring(state, segment.data(), segment.size());
            lua_pushvalue(state, -2);
            lua_rawset(state, -4);
        }
        else if (!lua_istable(state, -1))
        {
            lua_settop(state, value - 1);
            return false;
        }
        lua_remove(state, -2);
        start = dot + 1;
    }
}

bool LuaRegisterGlobalFunction(lua_State* state, const char* name, lua_CFunction function)
{
    lua_pushcfunction(state, function);
    return LuaSetGlobalPath(name, state);
}

void LuaCopyTable(lua_State* state, int destination, int source)
{
    const int top = lua_gettop(state);
    if (destination < 0 && destination > LUA_REGISTRYINDEX)
        destination = top + destination + 1;
    if (source < 0 && source > LUA_REGISTRYINDEX)
        source = top + source + 1;
    lua_pushnil(state);
    while (lua_next(state, source))
    {
        lua_pushvalue(state, -2);
        lua_insert(state, -2);
        lua_rawset(state, destination);
    }
}

namespace
{

void pushIndexName(lua_State* state)
{
    if (state == LuaBinding::g_installation.state)
        lua_rawgeti(state, LUA_REGISTRYINDEX, LuaBinding::g_installation.indexName);
    else
        lua_pushliteral(state, "__index");
}

// With the key on top of the stack and a table at `current` (absolute), reads
// the key as lua_gettable would but with raw reads only, following __index
// tables: each one found replaces the table at `current`. Pushes the value
// (nil when the chain ends or is too deep) and returns its type.
int rawChainLookup(lua_State* state, int current)
{
    for (int depth = 0; depth < kMaxIndexDepth; ++depth)
    {
        lua_pushvalue(state, -1);
        lua_rawget(state, current);
        const int type = lua_type(state, -1);
        if (type != LUA_TNIL)
            return type;
        lua_settop(state, -2);
        if (!lua_getmetatable(state, current))
            break;
        pushIndexName(state);
        lua_rawget(state, -2);
        if (lua_type(state, -1) != LUA_TTABLE)
        {
            lua_settop(state, -3);
            break;
        }
        lua_replace(state, current);
        lua_settop(state, -2);
    }
    lua_pushnil(state);
    return LUA_TNIL;
}

} // namespace

void LuaGetFieldNoCall(lua_State* state, int index, const char* name)
{
    if (lua_type(state, index) != LUA_TTABLE)
        return lua_pushnil(state);
    lua_pushvalue(state, index);
    const int current = lua_gettop(state);
    lua_pushstring(state, name);
    rawChainLookup(state, current);
    lua_replace(state, current);
    lua_settop(state, current);
}

bool LuaFindMethodNoCall(lua_State* state, const char* name)
{
    const int current = lua_gettop(state) - 1;
    pushEventName(state, name);
    if (rawChainLookup(state, current) != LUA_TFUNCTION)
    {
        lua_settop(state, current - 1);
        return false;
    }
    lua_replace(state, current);
    lua_settop(state, current + 1);
    return true;
}

int LuaFindEventHandler(lua_State* state, const char* name)
{
    const int table = lua_gettop(state);
    const int key = table + 1;
    pushEventName(state, name);
    // The table itself first, then each __index table, kept at key + 3 with
    // its metatable below it: [table key value metatable index].
    int current = table;
    for (int depth = 0; depth < kMaxIndexDepth; ++depth)
    {
        lua_pushvalue(state, key);
        lua_rawget(state, current);
        const int type = lua_type(state, -1);
        if (type == LUA_TFUNCTION)
        {
            if (depth)
            {
                lua_replace(state, key + 1);
                lua_settop(state, key + 1);
            }
            // The key's slot takes the error handler: what lies between it
            // and the function goes with the call.
            lua_pushvalue(state, table);
            LuaPushErrorHandler(state);
            lua_replace(state, key);
            return table;
        }
        if (type != LUA_TNIL || !lua_getmetatable(state, current))
            break;
        // Deeper chains step past the room the first two levels take.
        if (depth && !lua_checkstack(state, 2))
            break;
        pushIndexName(state);
        lua_rawget(state, -2);
        if (lua_type(state, -1) != LUA_TTABLE)
            break;
        if (depth)
        {
            lua_replace(state, key + 3);
            lua_settop(state, key + 3);
        }
        current = key + 3;
    }
    lua_settop(state, table - 1);
    return 0;
}

// ---- Events and calls

bool CallLuaFunction1(lua_State* state)
{
    return LuaPCall(state, 1, 0);
}

bool CallLuaWithString(lua_State* state, const std::wstring& text)
{
    PushWString(state, text);
    return LuaPCall(state, 2, 0);
}

bool LuaCallWithNumber(lua_State* state, double number)
{
    lua_pushnumber(state, number);
    return LuaPCall(state, 2, 0);
}

bool LuaRaiseGlobalEvent(lua_State* state, const char* eventName, int argumentCount)
{
    lua_getfield(state, LUA_GLOBALSINDEX, "__OnEvent");
    if (!lua_isfunction(state, -1))
    {
        lua_pop(state, 1 + argumentCount);
        return false;
    }
    lua_insert(state, -1 - argumentCount);
    lua_pushstring(state, eventName);
    lua_insert(state, -1 - argumentCount);
    return LuaPCall(state, 1 + argumentCount, 0);
}

// ---- Object tables

LuaStrongTable NewLuaTable(lua_State* state)
{
    LuaStrongTable table;
    lua_newtable(state);
    table.SetReference(state, -1);
    lua_pop(state, 1);
    return table;
}

bool LuaBindObjectTable(lua_State* state, int index, LuaObjectBase& object, const char* typeName)
{
    if (!state || !lua_istable(state, index) || object.HasTable())
        return false;
    index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(state) + index + 1 : index;
    if (!LuaPushTypeMetatable(state, typeName, true))
    {
        LogLuaLine(StringPrintf(L"no script class %s for an object table", Utf8ToWString(typeName)));
        return false;
    }
    lua_pushlightuserdata(state, nullptr);
    void* memory = lua_newuserdata(state, sizeof(ObjectPointer));
    new (memory) ObjectPointer(&object);
    LuaPushGcMetatable(state);
    lua_setmetatable(state, -2);
    lua_rawset(state, index);
    lua_setmetatable(state, index);
    object.ConnectTable(state, index);
    return true;
}

} // namespace TarnEngine
