// The script manager: owns the Lua state of the engine, runs script text in
// protected mode, and is the console's way into scripts (lines beginning with
// "/", script-registered console functions). One instance, created by engine
// start-up with no arguments and deleted by shutdown; it publishes itself.
// The engine's bound classes and script globals join it with the Lua binding.
#pragma once

#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/IConsoleHandler.h"

#include <string>
#include <vector>

struct lua_State;

namespace TarnEngine
{

// Runs the function below the arguments in protected mode with the engine's
// error handler; true on success. Errors are logged on the "lua" channel.
bool LuaPCall(lua_State* state, int argumentCount, int resultCount);

class LuaMgr : public IConsoleScripting, public IConsoleHandler
{
public:
    LuaMgr();
    ~LuaMgr() override;
    LuaMgr(const LuaMgr&) = delete;
    LuaMgr& operator=(const LuaMgr&) = delete;

    static LuaMgr* Get();

    // Creates the script state with the standard libraries; false when it
    // cannot be made.
    bool Init();
    // "lua.dofile", "lua.dostring" and "lua.collectgarbage", one argument each.
    void RegisterConsoleCommands();

    lua_State* GetState() const { return state; }

    // IConsoleScripting
    bool DoString(const std::wstring& text) override;
    void CallConsoleFunction(int scriptTable, const std::vector<std::string>& arguments) override;
    void ReleaseScriptTable(int scriptTable) override;

    // IConsoleHandler
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle& instance) override;

private:
    bool runChunk(const std::string& text, const std::string& chunkName);

    lua_State* state = nullptr;
};

} // namespace TarnEngine
