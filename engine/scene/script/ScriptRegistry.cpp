// Implementation of ScriptRegistry.h.
#include "engine/scene/script/ScriptRegistry.h"

#include "engine/core/text/TextConversion.h"
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

namespace
{

void defineMacro(const char* name, std::string body)
{
    if (!name)
        return;
    std::vector<SystemMacro>& list = systemMacros();
    for (SystemMacro& macro : list)
        if (macro.name == name)
        {
            macro.value = std::move(body);
            return;
        }
    list.push_back({name, std::move(body)});
}

} // namespace

void RegisterSystemMacroInt(const char* name, int32_t value)
{
    defineMacro(name, std::to_string(value));
}

void RegisterSystemMacroString(const char* name, const std::wstring& value)
{
    std::string body = "\"";
    for (const char c : WStringToUtf8(value))
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            body += '\\';
            body += c;
        }
        else if (u < 0x20 || u == 0x7F)
        {
            // Three digits, so that a digit after it is not read as part of the escape.
            const std::string digits = std::to_string(u);
            body += "\\" + std::string(3 - digits.size(), '0') + digits;
        }
        else
            body += c;
    }
    body += '"';
    defineMacro(name, std::move(body));
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
