// The script manager: owns the Lua state of the engine, runs script text in
// protected mode, and is the console's way into scripts (lines beginning with
// "/", script-registered console functions). One instance, created by engine
// start-up with no arguments and deleted by shutdown; it publishes itself.
// The object binding (LuaBinding.h) is installed on its state at start.
#pragma once

#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/IConsoleHandler.h"

#include <string>
#include <vector>

#include "engine/scene/script/LuaBinding.h"

namespace TarnEngine
{

class LuaMgr : public IConsoleScripting, public IConsoleHandler
{
public:
    LuaMgr();
    ~LuaMgr() override;
    LuaMgr(const LuaMgr&) = delete;
    LuaMgr& operator=(const LuaMgr&) = delete;

    static LuaMgr* Get();

    // Runs the engine's registrations, creates the script state with the
    // standard libraries and the object binding, publishes the script
    // functions and builds the class tables; false when the state cannot be made.
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
