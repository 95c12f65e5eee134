// Input end to end on a real X server (Xvfb when there is no display; skipped without either): a
// pointer move and clicks made on the server through its test extension reach the render window,
// the user interface and a movie's script events. The scenario runs in a child process (this test
// program run again on one test) so that SDL's video state never mixes with the other tests.
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/app/Window.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaMgr.h"
#include "engine/scene/ui/UserInterface.h"
#include "platform/window/WindowSystem.h"
#include "tests/platform/XServer.h"

#include <SDL2/SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{
using namespace TarnEngine;

constexpr const char* childVariable = "PELLWOOD_INPUT_X_CHILD";

TEST(UserInterfaceXServer, PointerEventsOfTheServerReachAMoviesScriptEvents)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    XServerSupport::RunOnXServer(childVariable, "UserInterfaceXServerChild.*");
}

class Owner : public IWindowOwner
{
public:
    void OnActivate() override {}
    void OnDeactivate() override {}
    bool IsFullscreen() const override { return false; }
    void SetFullscreen(bool) override {}
    bool IsStarted() const override { return true; }
    bool IsInSplash() const override { return false; }
    void SetSuspended(bool) override {}
    bool CanClose() override { return true; }
    bool IsDeviceReady() const override { return false; }
    bool IsWindowed() const override { return true; }
    void CheckMonitor() override {}
    void PresentAgain() override {}
};

std::vector<std::string>* g_events = nullptr;

int note(lua_State* state)
{
    if (g_events && lua_isstring(state, 1))
        g_events->push_back(lua_tostring(state, 1));
    return 0;
}

// Dispatches what has arrived. The pointer query is a round trip on SDL's own connection, so every
// event the server made before it has been read by then.
void pump(Platform::WindowSystem& system)
{
    SDL_GetGlobalMouseState(nullptr, nullptr);
    Platform::WindowMessage message;
    for (int i = 0; i < 100000 && system.TakeMessage(message); ++i)
        system.Dispatch(message);
}

TEST(UserInterfaceXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by UserInterfaceXServer.PointerEventsOfTheServerReachAMoviesScriptEvents";
    XServerSupport::FakePointer pointer;
    if (!pointer.Available())
        GTEST_SKIP() << "the server has no test extension";
    std::unique_ptr<Platform::WindowSystem> system = Platform::WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");

    std::vector<std::string> events;
    g_events = &events;
    {
        LuaMgr lua;
        ASSERT_TRUE(lua.Init());
        UserInterface ui(nullptr, nullptr);
        ASSERT_TRUE(ui.Init());
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(ui.GetRoot(), L"", L"target", true, nullptr, &made);
        auto* target = RObjectCast<Instance_Movie>(made);
        ASSERT_NE(target, nullptr);
        target->SetPosition(50, 50);
        target->extentRect = {0, 0, 100, 100};
        target->useExtentRect = true;
        Instance_Base::InvalidateMatrix(target, false);
        lua_State* state = lua.GetState();
        lua_register(state, "note", &note);
        target->CreateLuaTable();
        target->PushTable();
        lua_setglobal(state, "target");
        ASSERT_TRUE(lua.DoString(
            L"for _, e in ipairs({'OnMouseEnter', 'OnMouseLeave', 'OnLeftMouseDown', 'OnLeftMouseUp', "
            L"'OnRightMouseDown', 'OnRightMouseUp'}) do target[e] = function(self) note(e) end end"));

        Owner owner;
        Window window(*system, owner, &ui);
        ASSERT_TRUE(window.Create(L"Input", Platform::Rect{0, 0, 400, 300}));
        ASSERT_TRUE(system->SetClientPosition(window.GetHandle(), 100, 80));
        pump(*system);
        ASSERT_EQ(SDL_SetWindowInputFocus(system->GetSdlWindow(window.GetHandle())), 0);
        pump(*system);
        ASSERT_TRUE(window.IsForeground());
        int left = 0, top = 0;
        ASSERT_TRUE(system->GetClientPosition(window.GetHandle(), left, top));

        // Each step waits for its events by round trips to the server, never by time.
        auto expectEvents = [&](const std::vector<std::string>& expected)
        {
            for (int trip = 0; trip < 50 && events.size() < expected.size(); ++trip)
                pump(*system);
            EXPECT_EQ(events, expected);
            events.clear();
        };

        pointer.MoveTo(left + 80, top + 90);
        expectEvents({"OnMouseEnter"});
        EXPECT_EQ(ui.mouseX, 80);
        EXPECT_EQ(ui.mouseY, 90);
        EXPECT_EQ(ui.GetHitList().size(), 2u) << "the target and the root";

        pointer.Button(1, true);
        pointer.Button(1, false);
        expectEvents({"OnLeftMouseDown", "OnLeftMouseUp"});

        // Control with the left button is the right button.
        XServerSupport::FakeKeyboard keyboard;
        if (keyboard.Available())
        {
            keyboard.Key(0xFFE3, true); // Control_L
            pointer.Button(1, true);
            pointer.Button(1, false);
            keyboard.Key(0xFFE3, false);
            expectEvents({"OnRightMouseDown", "OnRightMouseUp"});
        }

        pointer.MoveTo(left + 300, top + 250);
        expectEvents({"OnMouseLeave"});
        EXPECT_EQ(ui.mouseX, 300);
        EXPECT_FALSE(ui.buttonHeld[0] || ui.buttonHeld[1] || ui.buttonHeld[2]);

        window.Destroy();
        pump(*system);
    }
    g_events = nullptr;
    system.reset();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}
} // namespace
