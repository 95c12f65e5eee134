// The script manager: script files and folders through the file system, text through the
// preprocessor, errors with their stack trace, the engine's script functions, the console commands
// and the console as scripts see it ("g_Console").
#include "engine/scene/script/LuaMgr.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/UserInterface.h"
#include "platform/system/Clock.h"
#include "tests/core/FileTestSupport.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

using namespace TarnEngine;

// A loose folder that can list a folder's files in an order and spelling of its own, as another
// kind of source might.
class ListingSource : public FSLooseFiles
{
public:
    using FSLooseFiles::FSLooseFiles;
    uint32_t FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files,
                       std::vector<std::wstring>* folders) override
    {
        if (listing.empty() || !files)
            return FSLooseFiles::FindFiles(pattern, files, folders);
        files->insert(files->end(), listing.begin(), listing.end());
        return static_cast<uint32_t>(listing.size());
    }
    std::vector<std::wstring> listing;
};

int scriptFunctionA(lua_State* state)
{
    lua_pushliteral(state, "A");
    return 1;
}

int scriptFunctionB(lua_State* state)
{
    lua_pushliteral(state, "B");
    return 1;
}

class ScriptManager : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Published by every manager started after this; the list is process-wide.
        RegisterScriptFunction("lmtest.A", &scriptFunctionA);
        RegisterScriptFunction("lmtest.B", &scriptFunctionB);
    }

    void SetUp() override
    {
        auto source = std::make_unique<ListingSource>(folder.Engine("data/"), L"input");
        listing = source.get();
        ASSERT_TRUE(files.AddSource(std::move(source)));
        // The log prints into a console as it does in the running engine; the tests read it there.
        logger.SetPrintConsole(&logConsole);
        logRead = logConsole.GetLines().size();
        ASSERT_TRUE(lua.Init());
    }

    void Write(const std::string& name, const std::string& text) { folder.Write("data/script/" + name, text); }

    std::string Text(const char* name)
    {
        lua_State* state = lua.GetState();
        lua_getglobal(state, name);
        const std::string text = lua_isstring(state, -1) ? lua_tostring(state, -1) : "<none>";
        lua_pop(state, 1);
        return text;
    }

    // The log lines written since the last call.
    std::vector<std::wstring> TakeLog()
    {
        const std::vector<std::wstring>& lines = logConsole.GetLines();
        std::vector<std::wstring> taken(lines.begin() + static_cast<std::ptrdiff_t>(logRead), lines.end());
        logRead = lines.size();
        return taken;
    }

    FileTest::TempFolder folder;
    FileSystem files;
    ListingSource* listing = nullptr;
    Logger logger;
    Console logConsole;
    size_t logRead = 0;
    LuaMgr lua;
};

bool contains(const std::vector<std::wstring>& lines, const std::wstring& text)
{
    return std::any_of(lines.begin(), lines.end(),
                       [&text](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
}

// The line that holds `text` and every line after it.
std::vector<std::wstring> from(const std::vector<std::wstring>& lines, const std::wstring& text)
{
    auto found = std::find_if(lines.begin(), lines.end(),
                              [&text](const std::wstring& line) { return line.find(text) != std::wstring::npos; });
    return std::vector<std::wstring>(found, lines.end());
}

TEST_F(ScriptManager, ScriptNamesMapToLucFilesUnderTheScriptFolder)
{
    const struct
    {
        const char* name;
        const wchar_t* path; // empty: refused
    } cases[] = {
        {"main.lua", L"script\\main.luc"},
        {"menus/main.lua", L"script\\menus\\main.luc"},
        {"menus\\options.lua", L"script\\menus\\options.luc"},
        {"levels/intro", L"script\\levels\\intro"},   // without ".lua": used as it stands
        {"a.lua/b.lua", L"script\\a.luc\\b.luc"},     // every ".lua" is replaced
        {"../secret.lua", L""},
        {"menus/../../secret.lua", L""},
        {"menus\\..\\..\\secret.lua", L""},
        {"/etc/secret.lua", L""},
        {"\\secret.lua", L""},
        {"c:/secret.lua", L""},
        {"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LuaMgr::ScriptFilePath(c.name), c.path) << c.name;

    Write("menus/main.luc", "ran = 'menus'\n");
    EXPECT_TRUE(lua.IncludeScript("menus/main.lua"));
    EXPECT_EQ(Text("ran"), "menus");
    EXPECT_FALSE(lua.IncludeScript("menus/missing.lua"));

    // Files outside the script folder exist but are never reached.
    folder.Write("data/secret.luc", "ran = 'outside'\n");
    folder.Write("abs.luc", "ran = 'absolute'\n");
    EXPECT_FALSE(lua.IncludeScript("../secret.lua"));
    EXPECT_FALSE(lua.IncludeScript(folder.Os("abs.lua")));
    EXPECT_FALSE(lua.IncludeScriptFolder(".."));
    EXPECT_EQ(Text("ran"), "menus");
}

TEST_F(ScriptManager, FolderScriptsRunInNameOrderIgnoringCase)
{
    Write("order/Beta.luc", "order = (order or '') .. 'B'\n");
    Write("order/alpha.luc", "order = (order or '') .. 'a'\n");
    Write("order/Gamma.luc", "order = (order or '') .. 'G'\n");
    listing->listing = {L"Gamma.luc", L"alpha.luc", L"Beta.luc", L"ALPHA.LUC"};
    EXPECT_TRUE(lua.IncludeScriptFolder("order"));
    // A name listed twice runs once.
    EXPECT_EQ(Text("order"), "aBG");
}

TEST_F(ScriptManager, AFailingFolderScriptDoesNotStopTheOthers)
{
    const char* failures[] = {"error('the second fails')\n", "this is not lua\n"};
    for (const char* failure : failures)
    {
        SCOPED_TRACE(failure);
        ASSERT_TRUE(lua.DoString("order = ''"));
        Write("three/a.luc", "order = order .. 'a'\n");
        Write("three/b.luc", failure);
        Write("three/c.luc", "order = order .. 'c'\n");
        EXPECT_FALSE(lua.IncludeScriptFolder("three"));
        EXPECT_EQ(Text("order"), "ac");
    }

    // No scripts at all is a failure too.
    Write("empty/readme.txt", "order = 'wrong'\n");
    EXPECT_FALSE(lua.IncludeScriptFolder("empty"));
    EXPECT_FALSE(lua.IncludeScriptFolder("missing"));
    EXPECT_EQ(Text("order"), "ac");
}

TEST_F(ScriptManager, RuntimeErrorsAreTracedAndLeaveTheStateUsable)
{
    Write("boom.luc", "local function explode(what)\n"
                      "    error('boom: ' .. what)\n"
                      "end\n"
                      "explode('now')\n");
    lua_State* state = lua.GetState();
    const int top = lua_gettop(state);
    TakeLog();
    EXPECT_FALSE(lua.IncludeScript("boom.lua"));
    const std::vector<std::wstring> trace = from(TakeLog(), L"Lua: ");
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_NE(trace[0].find(L"Lua: [string \"script\\boom.luc\"]:2: boom: now"), std::wstring::npos) << trace[0];
    EXPECT_EQ(trace[1], L".  C    error");
    EXPECT_EQ(trace[2], L".  Lua  local explode - [string \"script\\boom.luc\"]:2");
    EXPECT_EQ(trace[3], L".  main  <no name> - [string \"script\\boom.luc\"]:4");
    EXPECT_EQ(lua_gettop(state), top);

    EXPECT_FALSE(lua.DoString("local t = nil\nreturn t.field"));
    EXPECT_TRUE(contains(TakeLog(), L"attempt to index local 't'"));
    EXPECT_EQ(lua_gettop(state), top);
    EXPECT_TRUE(lua.DoString("after = 'still running'"));
    EXPECT_EQ(Text("after"), "still running");
}

TEST_F(ScriptManager, CompiledAndTextChunksBehaveAlike)
{
    if (std::system("command -v luac5.1 > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "luac5.1 is not installed (Debian package lua5.1): compiled chunks are not tested";
    const std::string good = "local squares = {}\n"
                             "for i = 1, 3 do squares[#squares + 1] = i * i end\n"
                             "return table.concat(squares, ','), #squares\n";
    const std::string bad = "local x = 1\n"
                            "local y = x + 1\n"
                            "error('broken at ' .. y)\n";
    folder.Write("src/good.lua", good);
    folder.Write("src/bad.lua", bad);
    Write("good.luc", good);
    Write("bad.luc", bad);
    folder.Write("data/script/compiled/.keep", "");
    for (const char* name : {"good", "bad"})
    {
        const std::string command = "luac5.1 -o '" + folder.Os("data/script/compiled/") + name + ".luc' '" +
                                    folder.Os("src/") + name + ".lua'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // The compiled file really is a compiled chunk.
    EXPECT_EQ(folder.Read("data/script/compiled/good.luc").substr(0, 4), "\x1bLua");

    ASSERT_TRUE(lua.DoString("t1, n1 = ExecFile('good.lua')\nt2, n2 = ExecFile('compiled/good.lua')"));
    EXPECT_EQ(Text("t1"), "1,4,9");
    EXPECT_EQ(Text("t2"), Text("t1"));
    EXPECT_EQ(Text("n2"), Text("n1"));

    for (const char* name : {"bad.lua", "compiled/bad.lua"})
    {
        TakeLog();
        EXPECT_FALSE(lua.IncludeScript(name)) << name;
        EXPECT_TRUE(contains(TakeLog(), L":3: broken at 2")) << name;
    }
}

TEST_F(ScriptManager, TextGoesThroughThePreprocessor)
{
    // The engine's constants and the class macros reach console text and "ExecString".
    ASSERT_TRUE(lua.DoString("_clType(LmLamp)\n"
                             "_clParent(LuaBaseClass)\n"
                             "_clMember().kind = INSTANCE_TEXT\n"
                             "function _clMember().Describe(self) return 'lamp ' .. self.kind end\n"
                             "_clEnd()\n"
                             "lamp = Make('LmLamp')()\n"
                             "described = lamp:Describe()\n"
                             "a, b = ExecString('return eMaterialMaskedIn + eMaterialAlpha, __LINE__')\n"
                             "failed = select('#', ExecString('error(\"no\")'))\n"));
    EXPECT_EQ(Text("described"), "lamp 2");
    EXPECT_EQ(Text("a"), "65537");
    EXPECT_EQ(Text("b"), "1");
    EXPECT_EQ(Text("failed"), "0");

    // A failure of the preprocessor runs nothing and is a failure.
    TakeLog();
    EXPECT_FALSE(lua.DoString("early = 'ran'\n#error \"stop here\"\n"));
    EXPECT_EQ(Text("early"), "<none>");
    EXPECT_TRUE(contains(TakeLog(), L"stop here"));
    EXPECT_FALSE(lua.DoString("x = F(1)\n#define F(a) a\n"));

    // Script files are never preprocessed: the macros are plain (and here wrong) Lua.
    Write("classes.luc", "_clType(LmLamp2)\nfunction _clMember().OnLoad(self) end\n_clEnd()\n");
    EXPECT_FALSE(lua.IncludeScript("classes.lua"));
}

TEST_F(ScriptManager, EngineScriptFunctions)
{
    Platform::FakeCounter counter(1000);
    TimeManager time(counter);
    time.GetClock(1).now = 2500;
    time.GetClock(1).deltaSeconds = 0.25f;
    XmlDocumentCache documents;
    StringTable keyed(StringTable::Keyed);
    folder.Write("data/translator_lm.xml", "<T><R KEY=\"Greeting\" VALUE=\"Gr\xC3\xBC\xC3\x9F dich\"/></T>");
    ASSERT_TRUE(keyed.LoadTranslator(L"lm"));
    Write("values.luc", "return 'from file', 2\n");

    ASSERT_TRUE(lua.DoString(
        "local ints, inRange, units = true, true, true\n"
        "for i = 1, 2000 do\n"
        "    local r = rand2(0, 10)\n"
        "    if r ~= math.floor(r) then ints = false end\n"
        "    if r < 0 or r > 9 then inRange = false end\n"
        "    local f = frand()\n"
        "    if f < 0 or f >= 1 then units = false end\n"
        "end\n"
        "draws = tostring(ints) .. tostring(inRange) .. tostring(units)\n"
        "same = frand2(5, 5)\n"
        "noResult = select('#', rand2(1)) + select('#', frand2()) + select('#', GetTime()) + select('#', log('x'))\n"
        "gameTime, frameTime = GetTime(GAME_TIME), GetFrameTime(GAME_TIME)\n"
        "greeting, missing = TranslateString('greeting'), TranslateString('No_Such_Key')\n"
        "fileText, fileNumber = ExecFile('values.lua')\n"
        "nothing = select('#', ExecFile('missing.lua'))\n"
        "IncludeScript()\n"
        "dotted = lmtest.A() .. lmtest.B()\n"
        "managerType = LuaMgr.__type\n"
        "managerValid = tostring(LuaMgr:_IsValid())\n"));
    EXPECT_EQ(Text("draws"), "truetruetrue");
    EXPECT_EQ(Text("same"), "5");
    EXPECT_EQ(Text("noResult"), "0");
    EXPECT_EQ(Text("gameTime"), "2.5");
    EXPECT_EQ(Text("frameTime"), "0.25");
    EXPECT_EQ(Text("greeting"), "Gr\xC3\xBC\xC3\x9F dich");
    EXPECT_EQ(Text("missing"), "No_Such_Key");
    EXPECT_EQ(Text("fileText"), "from file");
    EXPECT_EQ(Text("fileNumber"), "2");
    EXPECT_EQ(Text("nothing"), "0");
    EXPECT_EQ(Text("dotted"), "AB");
    EXPECT_EQ(Text("managerType"), "LuaMgr");
    EXPECT_EQ(Text("managerValid"), "true");
}

TEST_F(ScriptManager, ConsoleCommands)
{
    UserInterface ui{nullptr, nullptr};
    ASSERT_TRUE(ui.Init());
    lua.RegisterConsoleCommands();
    Console& console = *ui.GetConsole();
    Write("menus/main.luc", "ran = 'dofile'\n");

    console.HandleConsoleFunction(L"lua.dofile menus/main.lua");
    EXPECT_EQ(Text("ran"), "dofile");
    // The console's text goes through the preprocessor; the whole rest of the line is the text.
    console.HandleConsoleFunction(L"lua.dostring _clType(LmDesk) _clParent(LuaBaseClass) "
                                  L"_clMember().legs = INSTANCE_TEXT + 2 _clEnd() desk = Make('LmDesk')()");
    ASSERT_TRUE(lua.DoString("legs = desk.legs"));
    EXPECT_EQ(Text("legs"), "4");

    // A collector function that fails ends in the log, not in a panic.
    ASSERT_TRUE(lua.DoString("weak = setmetatable({ {} }, { __mode = 'v' })\n"
                             "local p = newproxy(true)\n"
                             "getmetatable(p).__gc = function() error('collector fails') end\n"));
    console.HandleConsoleFunction(L"lua.collectgarbage");
    ASSERT_TRUE(lua.DoString("collected = tostring(weak[1] == nil)"));
    EXPECT_EQ(Text("collected"), "true");

    console.HandleConsoleFunction(L"?");
    const std::vector<std::wstring>& lines = console.GetLines();
    for (const wchar_t* listed : {L"lua.collectgarbage ( 0 arg(s) )", L"lua.dofile ( 1 arg(s) )",
                                  L"lua.dostring ( 1 arg(s) )"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), listed), lines.end()) << listed;
}

TEST_F(ScriptManager, ScriptsRegisterConsoleFunctionsThroughGConsole)
{
    UserInterface ui{nullptr, nullptr};
    ASSERT_TRUE(ui.Init());
    Console& console = *ui.GetConsole();
    ASSERT_TRUE(lua.DoString(
        "handler = { HandleConsoleFunction = function(self, args) seen = table.concat(args, '|') end }\n"
        "first = tostring(g_Console:RegisterConsoleFunction('lmtest.hello', handler, 1))\n"
        "again = tostring(g_Console:RegisterConsoleFunction('lmtest.hello', handler, 1))\n"
        "notTable = select('#', g_Console:RegisterConsoleFunction('lmtest.other', 'text', 1))\n"
        "tooFew = select('#', g_Console:RegisterConsoleFunction('lmtest.other', handler))\n"
        "notConsole = select('#', g_Console.RegisterConsoleFunction({}, 'lmtest.other', handler, 1))\n"
        "className = g_Console.__type\n"));
    EXPECT_EQ(Text("first"), "true");
    EXPECT_EQ(Text("again"), "false");
    EXPECT_EQ(Text("notTable"), "0");
    EXPECT_EQ(Text("tooFew"), "0");
    EXPECT_EQ(Text("notConsole"), "0");
    EXPECT_EQ(Text("className"), "Console");

    console.HandleConsoleFunction(L"lmtest.hello big world");
    EXPECT_EQ(Text("seen"), "lmtest.hello|big world");
    console.HandleConsoleFunction(L"lmtest.other x");
    EXPECT_EQ(console.GetLines().back(), L"Function \"lmtest.other\" wasn't found");

    ASSERT_TRUE(lua.DoString("g_Console:UnregisterConsoleFunction('lmtest.hello')"));
    console.HandleConsoleFunction(L"lmtest.hello again");
    EXPECT_EQ(Text("seen"), "lmtest.hello|big world");
    EXPECT_EQ(console.GetLines().back(), L"Function \"lmtest.hello\" wasn't found");
}

TEST_F(ScriptManager, GConsoleOutlivedByItsTableDoesNothing)
{
    {
        Console console(nullptr, &lua, nullptr);
        ASSERT_TRUE(lua.DoString("kept = g_Console\n"
                                 "handler = { HandleConsoleFunction = function() end }\n"
                                 "registered = tostring(kept:RegisterConsoleFunction('lmtest.kept', handler, 0))"));
        EXPECT_EQ(Text("registered"), "true");
    }
    ASSERT_TRUE(lua.DoString("valid = tostring(kept:_IsValid())\n"
                             "results = select('#', kept:RegisterConsoleFunction('lmtest.late', handler, 0))\n"
                             "kept:UnregisterConsoleFunction('lmtest.kept')"));
    EXPECT_EQ(Text("valid"), "false");
    EXPECT_EQ(Text("results"), "0");
}

TEST(ScriptManagerLifetime, AConsoleMadeBeforeTheStateIsPublishedWithIt)
{
    LuaMgr manager;
    Console console(nullptr, &manager, nullptr);
    ASSERT_TRUE(manager.Init());
    ASSERT_TRUE(manager.DoString("handler = { HandleConsoleFunction = function() ran = 'yes' end }\n"
                                 "g_Console:RegisterConsoleFunction('lmtest.early', handler, 0)"));
    console.HandleConsoleFunction(L"lmtest.early");
    lua_getglobal(manager.GetState(), "ran");
    EXPECT_STREQ(lua_tostring(manager.GetState(), -1), "yes");
    lua_pop(manager.GetState(), 1);
}

TEST(ScriptManagerLifetime, AConsoleThatOutlivesTheManagerStopsUsingIt)
{
    auto manager = std::make_unique<LuaMgr>();
    ASSERT_TRUE(manager->Init());
    Console console(nullptr, manager.get(), nullptr);
    ASSERT_TRUE(manager->DoString("handler = { HandleConsoleFunction = function() end }\n"
                                  "g_Console:RegisterConsoleFunction('lmtest.script', handler, 0)"));
    manager.reset();
    console.HandleConsoleFunction(L"/x = 1");
    console.HandleConsoleFunction(L"lmtest.script");
}

} // namespace
