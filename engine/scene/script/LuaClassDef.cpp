// Type metatables and the class builder of the Lua binding: LuaClassDef, which engine classes fill
// to publish their method tables, and the script functions "BuildType" and "Make"; see LuaBinding.h.
#include "engine/scene/script/LuaBinding.h"

#include "engine/core/text/StringFormat.h"
#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{

namespace
{

// A type metatable: a table whose "__index" and "__parents" are tables.
bool isTypeMetatable(lua_State* state, int index)
{
    if (!lua_istable(state, index))
        return false;
    index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(state) + index + 1 : index;
    lua_pushliteral(state, "__index");
    lua_rawget(state, index);
    lua_pushliteral(state, "__parents");
    lua_rawget(state, index);
    const bool valid = lua_istable(state, -1) && lua_istable(state, -2);
    lua_pop(state, 2);
    return valid;
}

// Pushes the existing type metatable of that name; false (nothing pushed)
// when there is none or the registry holds something else there.
bool pushExistingTypeMetatable(lua_State* state, const char* name)
{
    lua_getfield(state, LUA_REGISTRYINDEX, name);
    if (isTypeMetatable(state, -1))
        return true;
    lua_pop(state, 1);
    return false;
}

// True when nothing but a type metatable, or nothing, is stored under the name.
bool nameFreeForType(lua_State* state, const char* name)
{
    lua_getfield(state, LUA_REGISTRYINDEX, name);
    const bool free = lua_isnil(state, -1) || isTypeMetatable(state, -1);
    lua_pop(state, 1);
    return free;
}

// Pushes the raw field of the table at `index` (made absolute first).
void rawField(lua_State* state, int index, const char* name)
{
    index = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(state) + index + 1 : index;
    lua_pushstring(state, name);
    lua_rawget(state, index);
}

} // namespace

bool LuaPushTypeMetatable(lua_State* state, const char* typeName, bool create)
{
    if (!typeName)
        return false;
    if (pushExistingTypeMetatable(state, typeName))
        return true;
    if (!create || !nameFreeForType(state, typeName))
        return false;
    LuaNewTypeMetatable(state, typeName);
    return true;
}

int LuaSetTypeMetatable(lua_State* state, const char* typeName)
{
    if (!lua_istable(state, -1) || !LuaPushTypeMetatable(state, typeName, true))
        return 0;
    lua_setmetatable(state, -2);
    return 1;
}

// ---- Class tables

LuaClassDef& LuaClassDef::AddParent(const char* scriptName)
{
    parents.push_back(scriptName);
    return *this;
}

LuaClassDef& LuaClassDef::AddMethod(const char* name, lua_CFunction function)
{
    methods.emplace_back(name, function);
    return *this;
}

LuaClassDef& LuaClassDef::SetConstructor(lua_CFunction function)
{
    constructor = function;
    return *this;
}

bool LuaClassDef::Build(const char* scriptName) const
{
    if (!state || !scriptName)
        return false;
    const int top = lua_gettop(state);
    // Every parent must already have its class table, and the name must not
    // be taken by anything else; nothing is made otherwise.
    for (const char* parent : parents)
    {
        if (!parent || !pushExistingTypeMetatable(state, parent))
        {
            LogLuaLine(StringPrintf(L"script class %s: parent %s has no class table", Utf8ToWString(scriptName),
                                Utf8ToWString(parent)));
            return false;
        }
        lua_pop(state, 1);
    }
    if (!LuaPushTypeMetatable(state, scriptName, true))
    {
        LogLuaLine(StringPrintf(L"script class %s: the name is taken", Utf8ToWString(scriptName)));
        return false;
    }
    const int type = lua_gettop(state);
    rawField(state, type, "__index");
    const int methodTable = lua_gettop(state);
    if (!parents.empty())
    {
        rawField(state, type, "__parents");
        const int parentTable = lua_gettop(state);
        for (const char* parent : parents)
        {
            pushExistingTypeMetatable(state, parent);
            rawField(state, -1, "__index");
            LuaCopyTable(state, methodTable, -1);
            lua_pop(state, 1);
            rawField(state, -1, "__parents");
            LuaCopyTable(state, parentTable, -1);
            lua_pop(state, 1);
            lua_pushstring(state, parent);
            lua_insert(state, -2);
            lua_rawset(state, parentTable);
        }
        // The copies brought the parents' "__type"; the class keeps its own.
        lua_pushliteral(state, "__type");
        lua_pushstring(state, scriptName);
        lua_rawset(state, methodTable);
    }
    for (const auto& [name, function] : methods)
    {
        lua_pushstring(state, name);
        lua_pushcfunction(state, function);
        lua_rawset(state, methodTable);
    }
    if (constructor)
    {
        lua_pushliteral(state, "__constructor");
        lua_pushcfunction(state, constructor);
        lua_rawset(state, type);
    }
    lua_settop(state, top);
    return true;
}

int LuaBuildType(lua_State* state)
{
    if (!lua_istable(state, 1))
    {
        lua_pushboolean(state, 0);
        return 1;
    }
    lua_settop(state, 1);
    // Check the whole definition before anything is made.
    rawField(state, 1, "_type"); // 2
    rawField(state, 1, "_parents"); // 3
    rawField(state, 1, "_fields"); // 4
    bool valid = lua_type(state, 2) == LUA_TSTRING && (lua_isnil(state, 3) || lua_istable(state, 3)) &&
                 (lua_isnil(state, 4) || lua_istable(state, 4));
    const char* name = valid ? lua_tostring(state, 2) : nullptr;
    const int parentCount = valid && lua_istable(state, 3) ? int(lua_objlen(state, 3)) : 0;
    for (int i = 1; valid && i <= parentCount; ++i)
    {
        lua_rawgeti(state, 3, i);
        valid = lua_type(state, -1) == LUA_TSTRING && pushExistingTypeMetatable(state, lua_tostring(state, -1));
        lua_pop(state, valid ? 2 : 1);
    }
    if (valid)
        valid = LuaPushTypeMetatable(state, name, true); // 5
    if (!valid)
    {
        lua_pushboolean(state, 0);
        return 1;
    }
    rawField(state, 5, "__index");   // 6
    rawField(state, 5, "__parents"); // 7
    for (int i = 1; i <= parentCount; ++i)
    {
        lua_rawgeti(state, 3, i);                                // parent name
        pushExistingTypeMetatable(state, lua_tostring(state, -1)); // parent metatable
        rawField(state, -1, "__index");
        LuaCopyTable(state, 6, -1);
        lua_pop(state, 1);
        rawField(state, -1, "__parents");
        LuaCopyTable(state, 7, -1);
        lua_pop(state, 1);
        // A later parent's constructor replaces an earlier one's.
        rawField(state, -1, "__constructor");
        if (lua_iscfunction(state, -1))
        {
            lua_CFunction constructor = lua_tocfunction(state, -1);
            lua_pushliteral(state, "__constructor");
            lua_pushvalue(state, 2);
            lua_pushcclosure(state, constructor, 1);
            lua_rawset(state, 5);
        }
        lua_pop(state, 1);
        lua_rawset(state, 7); // __parents[parent name] = parent metatable
    }
    // The parents' copies brought their "__type"; the definition's own fields may set it again.
    lua_pushliteral(state, "__type");
    lua_pushvalue(state, 2);
    lua_rawset(state, 6);
    if (lua_istable(state, 4))
        LuaCopyTable(state, 6, 4);
    lua_settop(state, 1);
    lua_pushboolean(state, 1);
    return 1;
}

int LuaMake(lua_State* state)
{
    // Looked up only: a class without a table has no constructor either, and
    // scripts cannot fill the registry with empty classes through it.
    if (lua_type(state, 1) != LUA_TSTRING || !LuaPushTypeMetatable(state, lua_tostring(state, 1), false))
        return 0;
    lua_pushliteral(state, "__constructor");
    lua_rawget(state, -2);
    return lua_iscfunction(state, -1) ? 1 : 0;
}

} // namespace TarnEngine
