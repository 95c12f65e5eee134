// The script manager: owns the one Lua state of the engine. It sets the state up (the standard
// libraries, the panic function, the object binding of LuaBinding.h), publishes the engine's and
// the game's script functions and class tables, defines the class macros of script classes, loads
// script files, runs script text through the preprocessor, and is the console's way into scripts
// ("lua.dofile", "lua.dostring", "lua.collectgarbage", lines beginning with "/", console functions
// written in script, the global "g_Console"). One instance, created by engine start-up with no
// arguments and deleted by shutdown; it publishes itself, and to scripts as the global "LuaMgr".
//
// Scripts are named by a relative path ending in ".lua" ("main.lua", "menus/main.lua"); the file read
// is "script\" + the name with ".lua" made ".luc" and '/' made '\' (script\menus\main.luc), through
// the file system. A ".luc" file holds Lua text or a compiled Lua 5.1 chunk and is never
// preprocessed. Names that leave the script folder ("..", absolute paths) are refused.
//
// Nothing reaches the state unprotected from here: its set-up, the console's calls and garbage
// collection run under protected calls, so an error ends as a false result and a log line on the
// "lua" channel, never as a panic.
#pragma once

#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/IConsoleHandler.h"

#include <memory>
#include <string>
#include <vector>

#include "engine/scene/script/LuaBaseSubclass.h"
#include "engine/scene/script/LuaBinding.h"

namespace TarnEngine
{

class LuaConsole;
class ScriptPreprocessor;

class LuaMgr final : public LuaSubclass, public IConsoleScripting, public IConsoleHandler
{
    TARN_RCLASS(LuaMgr)
    TARN_LUA_CLASS("LuaMgr")
public:
    // Defined through the preprocessor as system macros when the manager starts. A script class is
    // _clType(Name), one _clParent(Parent) per parent, members as fields of _clMember(), and
    // _clEnd(), which builds the class with "BuildType".
    static const char* const ClassMacros;
    // Larger script files are refused rather than read whole.
    static constexpr uint32_t MaxScriptSize = 16u << 20;

    LuaMgr();
    ~LuaMgr() override;
    LuaMgr(const LuaMgr&) = delete;
    LuaMgr& operator=(const LuaMgr&) = delete;

    static LuaMgr* Get();

    // The macros every preprocessed text sees: the engine's system macros (after its static
    // registrations) copied into the preprocessor, and the class macros. Init runs it; false when
    // the class macros cannot be defined.
    static bool DefineScriptMacros();

    // Defines the script macros, then creates and sets up the script state: libraries, panic function, binding, script functions,
    // class tables and globals. False, with no state, when any of it fails.
    bool Init();
    // "lua.dofile" and "lua.dostring" with one parameter, "lua.collectgarbage" with none.
    void RegisterConsoleCommands();

    lua_State* GetState() const { return state; }

    // The file a script name is read from, or empty for a name that leaves the script folder.
    static std::wstring ScriptFilePath(const std::string& name);

    // Loads the script file and runs it; true when both succeed.
    bool IncludeScript(const std::string& name);
    // Runs every ".luc" file of the folder under "script\", in name order ignoring case, each as
    // IncludeScript does; a failure does not stop the others. True when at least one file was
    // found and every one ran.
    bool IncludeScriptFolder(const std::string& folder);
    // Preprocesses the text, loads it and runs it; false when any of the three fails.
    bool DoString(const std::string& text);

    // IConsoleScripting
    bool DoString(const std::wstring& text) override;
    void CallConsoleFunction(int scriptTable, const std::vector<std::string>& arguments) override;
    void ReleaseScriptTable(int scriptTable) override;
    void ConsoleCreated(Console& console) override;
    void ConsoleDestroyed(Console& console) override;

    // IConsoleHandler
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle& instance) override;

    // The loaders: each pushes the loaded chunk and returns true, or leaves the stack as it was
    // and returns false.
    bool LoadScriptFile(const std::string& name);
    bool LoadScriptText(const std::string& text);

private:
    static int setUpState(lua_State* state);

    lua_State* state = nullptr;
    std::unique_ptr<ScriptPreprocessor> preprocessor;
    // The script objects of the consoles that run through this manager.
    std::vector<std::unique_ptr<LuaConsole>> consoles;
};

} // namespace TarnEngine
