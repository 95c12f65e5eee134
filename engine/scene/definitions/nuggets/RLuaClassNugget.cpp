// The Lua-class nugget; see RLuaClassNugget.h.
#include "engine/scene/definitions/nuggets/RLuaClassNugget.h"

#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/display/node/Instance_Base.h"
#include "engine/scene/script/LuaMgr.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RLuaClassNugget, RNuggetBase, RObjectFactory<RLuaClassNugget>)

bool RLuaClassNugget::Load(const XmlNode& element)
{
    className = WStringToUtf8(element.GetChildText(L"LuaClassName"));
    parameters = WStringToUtf8(element.GetChildText(L"LuaClassParams"));
    scriptText = WStringToUtf8(element.GetChildText(L"LuaScriptText"));
    return true;
}

bool RLuaClassNugget::makeTable(lua_State* state, CompiledTable& compiled, const std::string& text,
                                LuaStrongTable& table)
{
    const uint32_t generation = LuaBinding::GetGeneration();
    if (compiled.state != state || compiled.generation != generation)
    {
        compiled = CompiledTable{};
        compiled.state = state;
        compiled.generation = generation;
        const std::string chunk = "return {" + text + "}";
        if (luaL_loadbuffer(state, chunk.data(), chunk.size(), chunk.c_str()) != 0)
        {
            // Text that does not compile is reported once, as a failing run would be: raised again
            // under the engine's error handler.
            lua_pushcfunction(state, &lua_error);
            lua_insert(state, -2);
            LuaPCall(state, 1, 0);
            compiled.failed = true;
            return false;
        }
        compiled.function = new ReferenceHolder<_LuaStrongRef>(state, -1);
        lua_pop(state, 1);
    }
    if (compiled.failed || !compiled.function || !compiled.function->IsLive())
        return false;
    compiled.function->Push();
    if (!LuaPCall(state, 0, 1))
        return false;
    const bool made = LuaTableRefFromStack(state, table, -1) != 0;
    lua_pop(state, 1);
    return made;
}

void RLuaClassNugget::Apply(Instance_Base* instance)
{
    LuaMgr* scripts = LuaMgr::Get();
    lua_State* state = scripts ? scripts->GetState() : nullptr;
    if (!instance || !state)
        return;
    const char* typeName = className.empty() ? nullptr : className.c_str();
    if (scriptText.empty())
        instance->CreateLuaTable(typeName);
    else
    {
        LuaStrongTable table;
        if (makeTable(state, compiledScript, scriptText, table))
            instance->AttachLuaTable(table, typeName);
    }
    if (parameters.empty())
        return;
    LuaStrongTable table;
    if (!makeTable(state, compiledParameters, parameters, table))
        return;
    if (!instance->GetLuaTable().GetMethod("OnLuaNuggetApply"))
        return;
    if (!table.PushTable())
    {
        lua_pop(state, 2);
        return;
    }
    LuaPCall(state, 2, 0);
}

} // namespace TarnEngine
