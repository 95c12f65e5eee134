// Registration and dispatch of console functions.
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

#include "engine/core/diagnostics/Console.h"

namespace
{

using namespace TarnEngine;

// Remembers every call it gets.
class RecordingHandler : public IConsoleHandler
{
public:
    void ExecuteCommand(const std::vector<std::wstring>& arguments, const InstanceHandle&) override
    {
        calls.push_back(arguments);
    }
    std::vector<std::vector<std::wstring>> calls;
};

class FakeScripting : public IConsoleScripting
{
public:
    bool DoString(const std::wstring& text) override
    {
        chunks.push_back(text);
        return true;
    }
    void CallConsoleFunction(int table, const std::vector<std::string>& arguments) override
    {
        calls.emplace_back(table, arguments);
    }
    void ReleaseScriptTable(int table) override { released.push_back(table); }

    std::vector<std::wstring> chunks;
    std::vector<std::pair<int, std::vector<std::string>>> calls;
    std::vector<int> released;
};

class FakeHost : public IConsoleHost
{
public:
    void RequestClose() override { ++closeRequests; }
    void InvalidateDevice() override { ++invalidations; }
    int closeRequests = 0;
    int invalidations = 0;
};

class ConsoleTest : public ::testing::Test
{
protected:
    // The lines printed since the console's greeting.
    std::vector<std::wstring> printed() const
    {
        const auto& lines = console.GetLines();
        return std::vector<std::wstring>(lines.begin() + 1, lines.end());
    }

    FakeHost host;
    FakeScripting scripting;
    Console console{&host, &scripting};
    RecordingHandler handler;
    RecordingHandler other;
};

TEST_F(ConsoleTest, GreetsOnConstruction)
{
    ASSERT_EQ(console.GetLines().size(), 1u);
    EXPECT_EQ(console.GetLines()[0], L"Use \"?\" to print a list of registered functions");
}

TEST_F(ConsoleTest, RegistrationRules)
{
    struct Case
    {
        const wchar_t* name;
        bool registered;
    };
    const Case cases[] = {
        {L"audio.playsound", true},
        {L"audio.playsound", false}, // a second registration keeps the first
        {L"a..b", false},
        {L"a.", false},
        {L"", false},
        {L" ", false},
        {L".lead", true}, // the empty part before the dot is dropped
        {L"deep.er.name", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(console.RegisterFunction(c.name, &handler, 1), c.registered)
            << "name: " << testing::PrintToString(std::wstring(c.name));
    EXPECT_FALSE(console.RegisterFunction(L"audio.none", nullptr, 1));

    EXPECT_FALSE(console.RegisterFunction(L"audio.playsound", &other, 1));
    console.HandleConsoleFunction(L"audio.playsound click");
    EXPECT_EQ(handler.calls.size(), 1u);
    EXPECT_TRUE(other.calls.empty());

    console.HandleConsoleFunction(L"lead x");
    console.HandleConsoleFunction(L"deep.er.name y");
    ASSERT_EQ(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls[1], (std::vector<std::wstring>{L"lead", L"x"}));
    EXPECT_EQ(handler.calls[2], (std::vector<std::wstring>{L"deep.er.name", L"y"}));
}

TEST_F(ConsoleTest, DispatchMessages)
{
    console.RegisterFunction(L"audio.playsound", &handler, 1);
    struct Case
    {
        const wchar_t* line;
        const wchar_t* message; // null: nothing printed
    };
    const Case cases[] = {
        {L"echo hello   world", L"hello   world"}, // the last parameter takes the rest of the line
        {L"audio.playsound", L"Invalid Param Count - Function \"audio.playsound\" uses 1 parameters"},
        {L"video.play intro", L"Couldn't find namespace for function video.play"},
        {L"audio.stopsound x", L"Function \"audio.stopsound\" wasn't found"},
        {L"Echo hi", L"Function \"Echo\" wasn't found"}, // names differ by case
        {L"Audio.playsound x", L"Couldn't find namespace for function Audio.playsound"},
        {L"echo 100%s %d %n", L"100%s %d %n"}, // user text is never a format
        {L"%s%s%n x", L"Function \"%s%s%n\" wasn't found"},
        {L"? now", nullptr}, // a 0-parameter function gets the whole line as element 0
        {L"   ", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases)
    {
        const size_t before = console.GetLines().size();
        console.HandleConsoleFunction(c.line);
        const auto& lines = console.GetLines();
        if (c.message)
        {
            ASSERT_EQ(lines.size(), before + 1) << testing::PrintToString(std::wstring(c.line));
            EXPECT_EQ(lines.back(), c.message);
        }
        else
        {
            EXPECT_EQ(lines.size(), before) << testing::PrintToString(std::wstring(c.line));
        }
    }
    EXPECT_TRUE(handler.calls.empty());
}

TEST_F(ConsoleTest, HandlerGetsTheSplitLine)
{
    console.RegisterFunction(L"audio.SetGroupVolume", &handler, 2);
    console.RegisterFunction(L"game.negative", &handler, -3); // counts as 0
    console.RegisterFunction(L"game.huge", &handler, std::numeric_limits<int32_t>::max());
    console.HandleConsoleFunction(L"  audio.SetGroupVolume   music  0.5 and the rest  ");
    console.HandleConsoleFunction(L"game.negative");
    console.HandleConsoleFunction(L"game.huge a b c"); // a count no line can meet
    EXPECT_EQ(console.GetLines().back(),
              L"Invalid Param Count - Function \"game.huge\" uses 2147483647 parameters");
    ASSERT_EQ(handler.calls.size(), 2u);
    EXPECT_EQ(handler.calls[0],
              (std::vector<std::wstring>{L"audio.SetGroupVolume", L"music", L"0.5 and the rest"}));
    EXPECT_EQ(handler.calls[1], (std::vector<std::wstring>{L"game.negative"}));
}

TEST_F(ConsoleTest, ScriptLinesRunAsScriptOnly)
{
    console.RegisterFunction(L"print", &handler, 1);
    console.HandleConsoleFunction(L"/print('hi') -- and more");
    EXPECT_EQ(scripting.chunks, std::vector<std::wstring>{L"print('hi') -- and more"});
    EXPECT_TRUE(handler.calls.empty());
    EXPECT_EQ(host.invalidations, 0);
    EXPECT_EQ(console.GetLines().size(), 1u);
}

TEST_F(ConsoleTest, ScriptFunctionsGetTheirArgumentsAsUtf8)
{
    EXPECT_FALSE(console.RegisterLuaFunction(L"ui.show", 1, 0)); // no script table
    ASSERT_TRUE(console.RegisterLuaFunction(L"ui.show", 1, 42));
    EXPECT_FALSE(console.RegisterLuaFunction(L"ui.show", 1, 43));
    EXPECT_FALSE(console.RegisterFunction(L"ui.show", &handler, 1));
    console.HandleConsoleFunction(L"ui.show Caf\u00e9 \U0001D11E");
    ASSERT_EQ(scripting.calls.size(), 1u);
    EXPECT_EQ(scripting.calls[0].first, 42);
    EXPECT_EQ(scripting.calls[0].second,
              (std::vector<std::string>{"ui.show", "Caf\xC3\xA9 \xF0\x9D\x84\x9E"}));

    console.UnregisterFunction(L"ui.show");
    EXPECT_EQ(scripting.released, std::vector<int>{42});
    console.HandleConsoleFunction(L"ui.show x");
    EXPECT_EQ(console.GetLines().back(), L"Function \"ui.show\" wasn't found");
}

TEST_F(ConsoleTest, DestructionReleasesScriptTables)
{
    FakeScripting scripts;
    {
        Console temporary(nullptr, &scripts);
        temporary.RegisterLuaFunction(L"a", 0, 7);
        temporary.RegisterLuaFunction(L"b.c", 0, 8);
    }
    EXPECT_EQ(scripts.released.size(), 2u);
}

TEST_F(ConsoleTest, UnregisterIgnoresMalformedAndMissingNames)
{
    console.RegisterFunction(L"audio.playsound", &handler, 1);
    for (const wchar_t* name : {L"", L"audio..playsound", L"audio.", L"video.playsound", L"audio.missing"})
        console.UnregisterFunction(name);
    console.HandleConsoleFunction(L"audio.playsound x");
    EXPECT_EQ(handler.calls.size(), 1u);
    console.UnregisterFunction(L"audio.playsound");
    console.HandleConsoleFunction(L"audio.playsound x");
    EXPECT_EQ(handler.calls.size(), 1u);
}

TEST_F(ConsoleTest, DeviceIsInvalidatedAfterEveryLookedUpCommand)
{
    console.RegisterFunction(L"audio.playsound", &handler, 1);
    const struct
    {
        const wchar_t* line;
        int invalidations;
    } cases[] = {
        {L"audio.playsound x", 1},
        {L"audio.playsound", 1}, // parameter count message
        {L"audio.missing", 1},   // not-found message
        {L"video.play x", 0},    // no namespace: stops before
        {L"/x = 1", 0},
    };
    for (const auto& c : cases)
    {
        const int before = host.invalidations;
        console.HandleConsoleFunction(c.line);
        EXPECT_EQ(host.invalidations - before, c.invalidations)
            << testing::PrintToString(std::wstring(c.line));
    }
}

TEST_F(ConsoleTest, ExitAsksTheEngineToClose)
{
    console.HandleConsoleFunction(L"exit now");
    EXPECT_EQ(host.closeRequests, 0);
    console.HandleConsoleFunction(L"exit");
    EXPECT_EQ(host.closeRequests, 1);
}

TEST_F(ConsoleTest, FunctionListing)
{
    console.RegisterFunction(L"log.enable", &handler, 1);
    console.RegisterFunction(L"log.disableall", &handler, 0);
    console.RegisterFunction(L"audio.SetGroupVolume", &handler, 2);
    console.RegisterFunction(L"audio.playsound", &handler, 1);
    console.RegisterFunction(L"lua.dofile", &handler, 1);
    console.RegisterFunction(L"deep.er.hidden", &handler, 1); // deeper namespaces are not listed
    console.HandleConsoleFunction(L"?");
    const std::vector<std::wstring> expected = {
        L"Console functions:",
        L"-----------------------------------",
        L"? ( 0 arg(s) )",
        L"echo ( 1 arg(s) )",
        L"exit ( 0 arg(s) )",
        L"audio.SetGroupVolume ( 2 arg(s) )",
        L"audio.playsound ( 1 arg(s) )",
        L"log.disableall ( 0 arg(s) )",
        L"log.enable ( 1 arg(s) )",
        L"lua.dofile ( 1 arg(s) )",
        L"",
    };
    EXPECT_EQ(printed(), expected);
}

} // namespace
