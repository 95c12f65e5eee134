// Script manager; see LuaMgr.h.
#include "engine/scene/script/LuaMgr.h"

#include "engine/core/files/FileSystem.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/UserInterface.h"

#include <lua.hpp>

namespace TarnEngine
{

namespace
{
LuaMgr* g_luaManager = nullptr;

// Script files are small; a larger one is refused rather than read whole.
constexpr uint32_t kMaxScriptSize = 16 * 1024 * 1024;

void logLua(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogLua, __FILE__, __LINE__, L"%s", text);
}

} // namespace

LuaMgr::LuaMgr()
{
    g_luaManager = this;
}

LuaMgr::~LuaMgr()
{
    if (state)
    {
        // Closing runs the release of every object table still alive.
        lua_close(state);
        LuaBinding::Uninstall(state);
    }
    state = nullptr;
    if (g_luaManager == this)
        g_luaManager = nullptr;
}

LuaMgr* LuaMgr::Get()
{
    return g_luaManager;
}

bool LuaMgr::Init()
{
    if (state)
        return true;
    // Every class record, script function and system macro exists before the first script.
    RegisterEngineStatics();
    state = luaL_newstate();
    if (!state)
        return false;
    luaL_openlibs(state);
    lua_atpanic(state, LuaPanic);
    LuaBinding::Install(state);
    PublishScriptFunctions(state);
    // Parents' class tables before their children's.
    RInstanceClass::RegisterLuaClass(state);
    return true;
}

void LuaMgr::RegisterConsoleCommands()
{
    UserInterface* ui = UserInterface::Get();
    Console* console = ui ? ui->GetConsole() : nullptr;
    if (!console)
        return;
    console->RegisterFunction(L"lua.dofile", this, 1);
    console->RegisterFunction(L"lua.dostring", this, 1);
    console->RegisterFunction(L"lua.collectgarbage", this, 1);
}

bool LuaMgr::runChunk(const std::string& text, const std::string& chunkName)
{
    if (!state)
        return false;
    if (luaL_loadbuffer(state, text.data(), text.size(), chunkName.c_str()) != 0)
    {
        const char* message = lua_tostring(state, -1);
        logLua(L"script load error: " + Utf8ToWString(message ? message : "?"));
        lua_pop(state, 1);
        return false;
    }
    return LuaPCall(state, 0, 0);
}

bool LuaMgr::DoString(const std::wstring& text)
{
    return runChunk(WStringToUtf8(text), "console");
}

void LuaMgr::CallConsoleFunction(int scriptTable, const std::vector<std::string>& arguments)
{
    if (!state || scriptTable <= 0)
        return;
    lua_rawgeti(state, LUA_REGISTRYINDEX, scriptTable);
    if (!lua_istable(state, -1))
    {
        lua_pop(state, 1);
        return;
    }
    lua_getfield(state, -1, "HandleConsoleFunction");
    if (!lua_isfunction(state, -1))
    {
        lua_pop(state, 2);
        return;
    }
    lua_pushvalue(state, -2); // self
    lua_createtable(state, static_cast<int>(arguments.size()), 0);
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        lua_pushlstring(state, arguments[i].data(), arguments[i].size());
        lua_rawseti(state, -2, static_cast<int>(i + 1));
    }
    LuaPCall(state, 2, 0);
    lua_pop(state, 1); // the table
}

void LuaMgr::ReleaseScriptTable(int scriptTable)
{
    if (state && scriptTable > 0)
        luaL_unref(state, LUA_REGISTRYINDEX, scriptTable);
}

void LuaMgr::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.empty())
        return;
    const std::wstring& name = arguments[0];
    const std::wstring argument = arguments.size() > 1 ? arguments[1] : std::wstring();
    if (name == L"lua.dostring")
        DoString(argument);
    else if (name == L"lua.collectgarbage")
    {
        if (state)
            lua_gc(state, LUA_GCCOLLECT, 0);
    }
    else if (name == L"lua.dofile")
    {
        FileSystem* files = FileSystem::Get();
        if (!files)
            return;
        Stream stream = files->OpenStream(argument);
        const uint32_t size = stream.IsValid() ? stream.GetSize() : 0;
        if (!stream.IsValid() || size > kMaxScriptSize)
        {
            logLua(L"cannot run script file " + argument);
            return;
        }
        std::string text(size, '\0');
        uint32_t read = 0;
        if (size && (!stream.Read(reinterpret_cast<uint8_t*>(text.data()), size, &read) || read != size))
            return;
        runChunk(text, WStringToUtf8(argument));
    }
}

} // namespace TarnEngine
