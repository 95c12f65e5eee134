// The script manager as the console's way into scripts, and the user
// interface's input dispatch to its event listeners.
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"

#include <gtest/gtest.h>

#include <lua.hpp>

namespace
{

using namespace TarnEngine;

struct RecordingListener : IEventListener
{
    void OnEvent(const Event_Base& event) override
    {
        types.push_back(event.type);
        if (const auto* mouse = dynamic_cast<const Event_Mouse*>(&event))
            held.push_back(mouse->heldButtons);
        if (const auto* key = dynamic_cast<const Event_Key*>(&event))
            keys.push_back(key->key);
        if (removeOther)
            ui->RemoveEventListener(removeOther);
    }
    std::vector<uint32_t> types;
    std::vector<uint32_t> held;
    std::vector<uint16_t> keys;
    UserInterface* ui = nullptr;
    IEventListener* removeOther = nullptr;
};

class SceneServices : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lua.Init());
        ASSERT_TRUE(ui.Init());
        lua.RegisterConsoleCommands();
    }

    // A global number of the script state, or -1.
    double Global(const char* name)
    {
        lua_getglobal(lua.GetState(), name);
        const double value = lua_isnumber(lua.GetState(), -1) ? lua_tonumber(lua.GetState(), -1) : -1;
        lua_pop(lua.GetState(), 1);
        return value;
    }

    LuaMgr lua;
    UserInterface ui{nullptr, nullptr};
};

TEST_F(SceneServices, ConsoleLinesReachTheScriptState)
{
    Console* console = ui.GetConsole();
    ASSERT_NE(console, nullptr);
    console->HandleConsoleFunction(L"lua.dostring x = 6 * 7");
    EXPECT_EQ(Global("x"), 42);
    console->HandleConsoleFunction(L"/y = x + 1");
    EXPECT_EQ(Global("y"), 43);
    // Errors are reported and leave the state usable and its stack clean.
    const int top = lua_gettop(lua.GetState());
    EXPECT_FALSE(lua.DoString(L"error('boom')"));
    EXPECT_FALSE(lua.DoString(L"this is not lua"));
    EXPECT_EQ(lua_gettop(lua.GetState()), top);
    EXPECT_TRUE(lua.DoString(L"z = 1"));
    EXPECT_EQ(Global("z"), 1);
}

TEST_F(SceneServices, ScriptConsoleFunctionsGetTheirArguments)
{
    lua_State* state = lua.GetState();
    ASSERT_TRUE(lua.DoString(
        L"handler = { HandleConsoleFunction = function(self, args) got = args[1] .. '|' .. args[2] end }"));
    lua_getglobal(state, "handler");
    const int reference = luaL_ref(state, LUA_REGISTRYINDEX);
    ASSERT_TRUE(ui.GetConsole()->RegisterLuaFunction(L"test.fn", 1, reference));
    ui.GetConsole()->HandleConsoleFunction(L"test.fn hello world");
    lua_getglobal(state, "got");
    ASSERT_TRUE(lua_isstring(state, -1));
    EXPECT_STREQ(lua_tostring(state, -1), "test.fn|hello world");
    lua_pop(state, 1);
}

TEST_F(SceneServices, MouseAndKeyEventsReachEachListenerOnce)
{
    RecordingListener listener;
    ui.AddEventListener(&listener);
    ui.AddEventListener(&listener); // registered once only
    ui.OnMouseMove(10, 20);
    ui.OnMouseDown(0, 0, 0);
    ui.OnMouseDown(0, 0, 0); // a press of a button already held is ignored
    ui.OnMouseDown(2, 0, 0);
    ui.OnMouseUp(1, 0, 0); // never pressed: nothing
    ui.OnMouseUp(0, 0, 0);
    ui.OnKeyDown(0x10041);
    ui.OnKeyUp(0x41);
    EXPECT_EQ(listener.types, (std::vector<uint32_t>{0, 0, 1, 2, 3}));
    EXPECT_EQ(listener.held, (std::vector<uint32_t>{1, 5, 4}));
    EXPECT_EQ(listener.keys, (std::vector<uint16_t>{0x41, 0x41}));
    EXPECT_FALSE(ui.buttonHeld[0]);
    EXPECT_TRUE(ui.buttonHeld[2]);

    ui.RemoveEventListener(&listener);
    ui.OnKeyDown(0x42);
    EXPECT_EQ(listener.types.size(), 5u);
}

TEST_F(SceneServices, AListenerRemovedDuringDispatchIsNotCalled)
{
    RecordingListener first;
    RecordingListener second;
    first.ui = &ui;
    first.removeOther = &second;
    ui.AddEventListener(&first);
    ui.AddEventListener(&second);
    ui.OnKeyDown(0x20);
    EXPECT_EQ(first.types.size(), 1u);
    EXPECT_TRUE(second.types.empty());
}

} // namespace
