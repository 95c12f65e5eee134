// Script manager; see LuaMgr.h.
#include "engine/scene/script/LuaMgr.h"

#include <algorithm>
#include <charconv>

#include <lua.hpp>

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/diagnostics/StartupProblem.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/time/TimeManager.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaConsole.h"
#include "engine/scene/script/Preprocessor.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/UserInterface.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(LuaMgr, LuaSubclass, RNoFactory)

const char* const LuaMgr::ClassMacros =
    "#define _clType(x) local __type = {}; __type._type = #x; __type._parents = {}; __type._fields = {}; "
    "__type._fields.__type = #x\n"
    "#define _clParent(x) table.insert(__type._parents, #x)\n"
    "#define _clMember(#x) __type._fields\n"
    "#define _clEnd(#x) BuildType(__type); __type = nil\n";

namespace
{

LuaMgr* g_luaManager = nullptr;

// The manager behind a global function: its first upvalue.
LuaMgr* managerOf(lua_State* state)
{
    return static_cast<LuaMgr*>(lua_touserdata(state, lua_upvalueindex(1)));
}

// Runs `function` under lua_cpcall with `data` as its light userdata; a failure (only running out
// of memory, or an error of a collector function) is logged and popped.
bool runProtected(lua_State* state, lua_CFunction function, void* data, const wchar_t* what)
{
    if (!state)
        return false;
    if (lua_cpcall(state, function, data) == 0)
        return true;
    LogLuaLine(StringPrintf(L"%s failed: %s", what, Utf8ToWString(lua_tostring(state, -1))));
    lua_pop(state, 1);
    return false;
}

// ---- The engine's global script functions

// IncludeScript(name)
int luaIncludeScript(lua_State* state)
{
    std::string name;
    if (LuaGetStringArg(state, name, 1))
        managerOf(state)->IncludeScript(name);
    return 0;
}

// IncludeScriptFolder(folder)
int luaIncludeScriptFolder(lua_State* state)
{
    std::string folder;
    if (LuaGetStringArg(state, folder, 1))
        managerOf(state)->IncludeScriptFolder(folder);
    return 0;
}

// log(text): scripts may log; the text goes nowhere.
int luaLog(lua_State*)
{
    return 0;
}

// frand() -> [0, 1)
int luaFrand(lua_State* state)
{
    lua_pushnumber(state, PoolRandomFloat(1.0f));
    return 1;
}

// rand2(a, b) -> an integer in [a, b)
int luaRand2(lua_State* state)
{
    int a = 0;
    int b = 0;
    if (LuaGetIntArg(state, a, 1) + LuaGetIntArg(state, b, 2) != 2)
        return 0;
    lua_pushnumber(state, PoolRandomInt(a, b));
    return 1;
}

// frand2(a, b) -> a number in [a, b)
int luaFrand2(lua_State* state)
{
    float a = 0.0f;
    float b = 0.0f;
    if (LuaGetFloatArg(state, a, 1) + LuaGetFloatArg(state, b, 2) != 2)
        return 0;
    lua_pushnumber(state, PoolRandomRange(a, b));
    return 1;
}

// GetTime(clock) -> seconds the clock has run
int luaGetTime(lua_State* state)
{
    int clock = 0;
    TimeManager* time = TimeManager::Get();
    if (!time || !LuaGetIntArg(state, clock, 1))
        return 0;
    lua_pushnumber(state, time->GetClock(static_cast<uint32_t>(clock)).now / 1000.0);
    return 1;
}

// GetFrameTime(clock) -> the clock's last step in seconds
int luaGetFrameTime(lua_State* state)
{
    int clock = 0;
    TimeManager* time = TimeManager::Get();
    if (!time || !LuaGetIntArg(state, clock, 1))
        return 0;
    lua_pushnumber(state, time->GetClock(static_cast<uint32_t>(clock)).deltaSeconds);
    return 1;
}

// TranslateString(key) -> the key table's text (the key itself when it has none)
int luaTranslateString(lua_State* state)
{
    std::string key;
    if (!LuaGetStringArg(state, key, 1))
        return 0;
    const std::wstring wideKey = Utf8ToWString(key);
    const StringTable* table = StringTable::GetKeyed();
    return PushWString(state, table ? table->GetText(wideKey) : wideKey);
}

// ExecFile(name) -> every result of the file's chunk; nothing when it does not load or fails.
int luaExecFile(lua_State* state)
{
    std::string name;
    if (!LuaGetStringArg(state, name, 1))
        return 0;
    lua_settop(state, 1);
    if (!managerOf(state)->LoadScriptFile(name) || !LuaPCall(state, 0, LUA_MULTRET))
        return 0;
    return lua_gettop(state) - 1;
}

// ExecString(text) -> every result of the preprocessed text's chunk; nothing on failure.
int luaExecString(lua_State* state)
{
    std::string text;
    if (!LuaGetStringArg(state, text, 1))
        return 0;
    lua_settop(state, 1);
    if (!managerOf(state)->LoadScriptText(text) || !LuaPCall(state, 0, LUA_MULTRET))
        return 0;
    return lua_gettop(state) - 1;
}

void setManagerFunction(lua_State* state, LuaMgr* manager, const char* name, lua_CFunction function)
{
    lua_pushlightuserdata(state, manager);
    lua_pushcclosure(state, function, 1);
    lua_setglobal(state, name);
}

// The engine's enumerations reach scripts through the preprocessor's system macros.
void defineEngineSystemMacros()
{
    for (const SystemMacro& macro : GetSystemMacros())
    {
        int32_t value = 0;
        const char* end = macro.value.data() + macro.value.size();
        const auto [stop, error] = std::from_chars(macro.value.data(), end, value);
        if (error == std::errc() && stop == end)
            DefineSystemMacroInt(macro.name, value);
    }
}

// ---- Protected bodies for the console's calls

struct ConsoleCall
{
    int scriptTable;
    const std::vector<std::string>* arguments;
};

int callConsoleFunction(lua_State* state)
{
    const ConsoleCall& call = *static_cast<const ConsoleCall*>(lua_touserdata(state, 1));
    lua_rawgeti(state, LUA_REGISTRYINDEX, call.scriptTable);
    if (!lua_istable(state, -1))
        return 0;
    lua_getfield(state, -1, "HandleConsoleFunction");
    if (!lua_isfunction(state, -1))
        return 0;
    lua_pushvalue(state, -2); // self
    lua_createtable(state, static_cast<int>(call.arguments->size()), 0);
    for (size_t i = 0; i < call.arguments->size(); ++i)
    {
        const std::string& argument = (*call.arguments)[i];
        lua_pushlstring(state, argument.data(), argument.size());
        lua_rawseti(state, -2, static_cast<int>(i + 1));
    }
    LuaPCall(state, 2, 0);
    return 0;
}

int collectGarbage(lua_State* state)
{
    lua_gc(state, LUA_GCCOLLECT, 0);
    return 0;
}

int publishConsole(lua_State* state)
{
    LuaConsole* object = static_cast<LuaConsole*>(lua_touserdata(state, 1));
    if (!object->HasTable())
        object->CreateLuaTable();
    if (object->PushTable())
        lua_setglobal(state, "g_Console");
    return 0;
}

} // namespace

LuaMgr::LuaMgr() : preprocessor(std::make_unique<ScriptPreprocessor>())
{
    g_luaManager = this;
}

LuaMgr::~LuaMgr()
{
    // Consoles that outlive the manager stop running through it.
    while (!consoles.empty())
    {
        LuaConsole* last = consoles.back().get();
        if (Console* console = last->GetConsole())
            console->SetScripting(nullptr);
        if (!consoles.empty() && consoles.back().get() == last)
            consoles.pop_back();
    }
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

int LuaMgr::setUpState(lua_State* state)
{
    LuaMgr* self = static_cast<LuaMgr*>(lua_touserdata(state, 1));
    lua_settop(state, 0);
    // The libraries open under Lua's own panic function; from here on errors go through ours.
    luaL_openlibs(state);
    lua_atpanic(state, LuaPanic);
    // The error handler, the weak-valued table, the object-userdata metatable, "BuildType" and "Make".
    LuaBinding::Install(state);
    setManagerFunction(state, self, "ExecFile", &luaExecFile);
    setManagerFunction(state, self, "ExecString", &luaExecString);

    PublishScriptFunctions(state);
    // Parents' class tables before their children's.
    RInstanceClass::RegisterLuaClass(state);
    LuaClassDef(state).Build(StaticScriptName());

    setManagerFunction(state, self, "IncludeScript", &luaIncludeScript);
    setManagerFunction(state, self, "IncludeScriptFolder", &luaIncludeScriptFolder);
    setManagerFunction(state, self, "log", &luaLog);
    setManagerFunction(state, self, "frand", &luaFrand);
    setManagerFunction(state, self, "rand2", &luaRand2);
    setManagerFunction(state, self, "frand2", &luaFrand2);
    setManagerFunction(state, self, "GetTime", &luaGetTime);
    setManagerFunction(state, self, "GetFrameTime", &luaGetFrameTime);
    setManagerFunction(state, self, "TranslateString", &luaTranslateString);

    if (!self->HasTable())
        self->CreateLuaTable();
    if (!self->PushTable())
        return luaL_error(state, "the script manager has no object table");
    lua_setglobal(state, "LuaMgr");
    return 0;
}

bool LuaMgr::DefineScriptMacros()
{
    // Every class record, script function and system macro exists before the first script.
    RegisterEngineStatics();
    defineEngineSystemMacros();
    ScriptPreprocessor preprocessor;
    if (!preprocessor.DefineMacrosFromText(ClassMacros))
    {
        LogLuaLine(L"the class macros cannot be defined");
        return false;
    }
    return true;
}

bool LuaMgr::Init()
{
    if (state)
        return true;
    if (!DefineScriptMacros())
        return false;

    lua_State* created = luaL_newstate();
    if (!created)
    {
        LogLuaLine(L"no script state can be made");
        return false;
    }
    state = created;
    if (!runProtected(created, &setUpState, this, L"setting up the script state"))
    {
        state = nullptr;
        lua_close(created);
        LuaBinding::Uninstall(created);
        return false;
    }
    for (const std::unique_ptr<LuaConsole>& console : consoles)
        runProtected(state, &publishConsole, console.get(), L"publishing the console");
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
    console->RegisterFunction(L"lua.collectgarbage", this, 0);
}

std::wstring LuaMgr::ScriptFilePath(const std::string& name)
{
    if (!IsScriptNameInsideFolder(name))
        return {};
    std::wstring path = Utf8ToWString(name);
    ReplaceAll(path, L".lua", L".luc");
    ReplaceChar(path, L'/', L'\\');
    return L"script\\" + path;
}

bool LuaMgr::LoadScriptFile(const std::string& name)
{
    if (!state)
        return false;
    const std::wstring path = ScriptFilePath(name);
    if (path.empty())
    {
        LogLuaLine(StringPrintf(L"script name %s leaves the script folder", Utf8ToWString(name)));
        return false;
    }
    FileSystem* files = FileSystem::Get();
    RefPtr<StreamSourceCounted> source = files ? files->Open(path) : RefPtr<StreamSourceCounted>();
    if (!source || !source->IsValid())
    {
        LogLuaLine(StringPrintf(L"cannot open script %s", path));
        NoteProblem(path + L" cannot be opened");
        return false;
    }
    const uint32_t size = source->GetSize();
    if (size > MaxScriptSize)
    {
        LogLuaLine(StringPrintf(L"script %s is too large", path));
        NoteProblem(path + L" is too large");
        return false;
    }
    // The whole file: from its memory region when it has one, else read.
    const char* bytes = nullptr;
    std::string read;
    RefPtr<MemoryRegionCounted> region = source->GetMemoryRegion();
    if (region && region->GetData() && region->GetSize() >= size)
    {
        bytes = reinterpret_cast<const char*>(region->GetData());
    }
    else
    {
        read.resize(size);
        uint32_t count = 0;
        if (size && (!source->Read(0, reinterpret_cast<uint8_t*>(read.data()), size, &count) || count != size))
        {
            LogLuaLine(StringPrintf(L"cannot read script %s", path));
            NoteProblem(path + L" cannot be read");
            return false;
        }
        bytes = read.data();
    }
    // Text and compiled chunks load alike: Lua tells them apart by their signature.
    if (luaL_loadbuffer(state, size ? bytes : "", size, WStringToUtf8(path).c_str()) != 0)
    {
        LogLuaLine(StringPrintf(L"script %s does not load: %s", path, Utf8ToWString(lua_tostring(state, -1))));
        NoteProblem(path + L" does not load: " + Utf8ToWString(lua_tostring(state, -1)));
        lua_pop(state, 1);
        return false;
    }
    return true;
}

bool LuaMgr::LoadScriptText(const std::string& text)
{
    if (!state)
        return false;
    // The preprocessor logs why it failed.
    std::string output;
    if (!preprocessor->Run(text, output))
        return false;
    // Named after its text, as Lua names string chunks.
    if (luaL_loadbuffer(state, output.data(), output.size(), output.c_str()) != 0)
    {
        LogLuaLine(StringPrintf(L"script text does not load: %s", Utf8ToWString(lua_tostring(state, -1))));
        lua_pop(state, 1);
        return false;
    }
    return true;
}

bool LuaMgr::IncludeScript(const std::string& name)
{
    return LoadScriptFile(name) && LuaPCall(state, 0, 0);
}

bool LuaMgr::IncludeScriptFolder(const std::string& folder)
{
    FileSystem* files = FileSystem::Get();
    if (!state || !files)
        return false;
    if (!IsScriptNameInsideFolder(folder))
    {
        LogLuaLine(StringPrintf(L"script folder %s leaves the script folder", Utf8ToWString(folder)));
        return false;
    }
    std::wstring pattern = L"script\\" + Utf8ToWString(folder) + L"\\*.luc";
    ReplaceChar(pattern, L'/', L'\\');
    std::vector<std::wstring> names;
    files->FindFiles(pattern, &names);
    // Sources list their files in an order of their own: the order is made the same everywhere.
    std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
        const int order = CompareNoCase(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    // A file found in two sources runs once.
    names.erase(std::unique(names.begin(), names.end(),
                            [](const std::wstring& a, const std::wstring& b) { return EqualsNoCase(a, b); }),
                names.end());
    bool result = !names.empty();
    for (const std::wstring& name : names)
    {
        if (!IncludeScript(folder + "/" + WStringToUtf8(name)))
            result = false;
    }
    return result;
}

bool LuaMgr::DoString(const std::string& text)
{
    return LoadScriptText(text) && LuaPCall(state, 0, 0);
}

bool LuaMgr::DoString(const std::wstring& text)
{
    return DoString(WStringToUtf8(text));
}

void LuaMgr::CallConsoleFunction(int scriptTable, const std::vector<std::string>& arguments)
{
    if (!state || scriptTable <= 0)
        return;
    ConsoleCall call{scriptTable, &arguments};
    runProtected(state, &callConsoleFunction, &call, L"a script console function");
}

void LuaMgr::ReleaseScriptTable(int scriptTable)
{
    if (state && scriptTable > 0)
        luaL_unref(state, LUA_REGISTRYINDEX, scriptTable);
}

void LuaMgr::ConsoleCreated(Console& console)
{
    auto object = std::make_unique<LuaConsole>(&console);
    // Without a state yet, Init publishes it.
    if (state)
        runProtected(state, &publishConsole, object.get(), L"publishing the console");
    consoles.push_back(std::move(object));
}

void LuaMgr::ConsoleDestroyed(Console& console)
{
    auto found = std::find_if(consoles.begin(), consoles.end(),
                              [&console](const std::unique_ptr<LuaConsole>& object) {
                                  return object->GetConsole() == &console;
                              });
    if (found == consoles.end())
        return;
    // Taken out first: the object's disconnect event runs script.
    std::unique_ptr<LuaConsole> object = std::move(*found);
    consoles.erase(found);
}

void LuaMgr::ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&)
{
    if (arguments.empty())
        return;
    const std::wstring& name = arguments[0];
    const std::string parameter = arguments.size() > 1 ? WStringToUtf8(arguments[1]) : std::string();
    if (name == L"lua.dofile")
        IncludeScript(parameter);
    else if (name == L"lua.dostring")
        DoString(parameter);
    else if (name == L"lua.collectgarbage")
        runProtected(state, &collectGarbage, nullptr, L"collecting garbage");
}

} // namespace TarnEngine
