// Fuzz target: any bytes loaded as a profile document and read into a script
// table must neither crash nor end the process, and the table read must save
// through the profile file and read back as the same table.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <lua.hpp>

#include "engine/core/base/ByteBuffer.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaTableXml.h"

namespace
{

int abortOnPanic(lua_State* state)
{
    std::fprintf(stderr, "Lua panic: %s\n", lua_tostring(state, -1));
    std::abort();
}

bool sameValue(lua_State* state, int a, int b);

// The tables at the two absolute indices hold the same pairs.
bool sameTable(lua_State* state, int a, int b)
{
    if (!lua_checkstack(state, 4))
        return false;
    int count = 0;
    lua_pushnil(state);
    while (lua_next(state, a) != 0)
    {
        ++count;
        lua_pushvalue(state, -2);
        lua_rawget(state, b);
        const int top = lua_gettop(state);
        const bool same = sameValue(state, top - 1, top);
        lua_pop(state, 2);
        if (!same)
        {
            lua_pop(state, 1);
            return false;
        }
    }
    lua_pushnil(state);
    while (lua_next(state, b) != 0)
    {
        --count;
        lua_pop(state, 1);
    }
    return count == 0;
}

// Numbers by their bits (any NaN equals any NaN), tables by their pairs.
bool sameValue(lua_State* state, int a, int b)
{
    const int type = lua_type(state, a);
    if (type != lua_type(state, b))
        return false;
    if (type == LUA_TNUMBER)
    {
        const double x = lua_tonumber(state, a);
        const double y = lua_tonumber(state, b);
        return std::isnan(x) ? std::isnan(y) : std::memcmp(&x, &y, sizeof x) == 0;
    }
    if (type == LUA_TTABLE)
        return sameTable(state, a, b);
    return lua_rawequal(state, a, b) != 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace TarnEngine;
    std::unique_ptr<XmlNode> root = ParseXmlFileBytes(data, size, true);
    if (!root)
        return 0;
    lua_State* state = luaL_newstate();
    if (!state)
        return 0;
    lua_atpanic(state, abortOnPanic);

    // Read twice into the same table: the second read merges into the first.
    lua_pushnil(state);
    if (!DeserializeLuaTable(state, 1, L"t_data", *root) || !DeserializeLuaTable(state, 1, L"t_data", *root))
        std::abort();

    XmlNode saved(L"GAME_STATE_ENTRY");
    if (!SerializeLuaTable(state, 1, L"t_data", saved))
        std::abort();
    ByteBuffer file;
    if (!BuildProtectedXml(saved, file))
        std::abort();
    std::unique_ptr<XmlNode> back = ReadProtectedXml(file.GetData(), file.GetSize());
    if (!back)
        std::abort();
    lua_pushnil(state);
    if (!DeserializeLuaTable(state, 2, L"t_data", *back) || lua_gettop(state) != 2 || !sameValue(state, 1, 2))
        std::abort();
    lua_close(state);
    return 0;
}
