// Implementation of ScriptRegistry.h.
#include "engine/scene/script/ScriptRegistry.h"

#include "engine/scene/script/LuaBinding.h"

namespace TarnEngine
{

namespace
{

std::vector<ScriptFunction>& scriptFunctions()
{
    static std::vector<ScriptFunction> list;
    return list;
}

std::vector<SystemMacro>& systemMacros()
{
    static std::vector<SystemMacro> list;
    return list;
}

} // namespace

void RegisterScriptFunction(const char* name, lua_CFunction function)
{
    if (name && function)
        scriptFunctions().push_back({name, function});
}

const std::vector<ScriptFunction>& GetScriptFunctions()
{
    return scriptFunctions();
}

void PublishScriptFunctions(lua_State* state)
{
    for (const ScriptFunction& entry : scriptFunctions())
        LuaRegisterGlobalFunction(state, entry.name.c_str(), entry.function);
}

void RegisterSystemMacroInt(const char* name, int32_t value)
{
    if (!name)
        return;
    std::vector<SystemMacro>& list = systemMacros();
    for (SystemMacro& macro : list)
        if (macro.name == name)
        {
            macro.value = std::to_string(value);
            return;
        }
    list.push_back({name, std::to_string(value)});
}

const std::vector<SystemMacro>& GetSystemMacros()
{
    return systemMacros();
}

const std::string* FindSystemMacro(const std::string& name)
{
    for (const SystemMacro& macro : systemMacros())
        if (macro.name == name)
            return &macro.value;
    return nullptr;
}

} // namespace TarnEngine
