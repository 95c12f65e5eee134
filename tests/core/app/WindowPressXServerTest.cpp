// A press made without a move before it, on a real X server (Xvfb when there is no display): the
// render window tells its input where the press happened before the press itself, from the
// position the press carries. Moves over a window in the background are not passed on, so a
// click that first brings the window forward has had no move reported; without the press's own
// position the user interface would place it wherever it last heard of the pointer (the top-left
// corner at start).
#include "engine/core/app/IWindowInput.h"
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/app/Window.h"
#include "platform/window/WindowSystem.h"
#include "tests/platform/XServer.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{
constexpr const char* childVariable = "PELLWOOD_PRESS_X_CHILD";

TEST(WindowPressXServer, APressWithoutAMoveBeforeItLandsWhereItIs)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    XServerSupport::RunOnXServer(childVariable, "WindowPressXServerChild.*");
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

// What the window tells the user interface, in order: "move x y", "down b", "up b".
class Input : public IWindowInput
{
public:
    void OnKeyDown(uint32_t) override {}
    void OnKeyUp(uint32_t) override {}
    void OnChar(uint32_t) override {}
    void OnMouseDown(int button, uint32_t, int) override { heard.push_back("down " + std::to_string(button)); }
    void OnMouseUp(int button, uint32_t, int) override { heard.push_back("up " + std::to_string(button)); }
    void OnMouseMove(int x, int y) override
    {
        heard.push_back("move " + std::to_string(x) + " " + std::to_string(y));
    }
    void UpdateHitList(bool) override {}
    void SetPointerInside(bool) override {}
    void SetCursorCount(int) override {}

    std::vector<std::string> heard;
};

// Dispatches what has arrived. The pointer query is a round trip on SDL's own connection, so every
// event the server made before it has been read by then.
void pump(Platform::WindowSystem& system)
{
    SDL_GetGlobalMouseState(nullptr, nullptr);
    Platform::WindowMessage message;
    for (int i = 0; i < 100000 && system.TakeMessage(message); ++i)
        system.Dispatch(message);
}

// The last place heard before the first press.
std::string placeBeforePress(const std::vector<std::string>& heard)
{
    std::string place = "none";
    for (const std::string& item : heard)
    {
        if (item.rfind("down", 0) == 0)
            return place;
        if (item.rfind("move", 0) == 0)
            place = item;
    }
    return "no press";
}

TEST(WindowPressXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by WindowPressXServer.APressWithoutAMoveBeforeItLandsWhereItIs";
    std::unique_ptr<Platform::WindowSystem> system = Platform::WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    XServerSupport::FakePointer pointer;
    if (!pointer.Available())
        GTEST_SKIP() << "no XTest extension";
    Owner owner;
    Input input;
    {
        Window window(*system, owner, nullptr);
        window.SetInput(&input);
        ASSERT_TRUE(window.Create(L"press", Platform::Rect{0, 0, 320, 240}));
        ASSERT_TRUE(system->SetClientPosition(window.GetHandle(), 100, 60));
        pump(*system);
        int left = 0, top = 0;
        ASSERT_TRUE(system->GetClientPosition(window.GetHandle(), left, top));

        // Another window holds the focus, away from the one under test.
        SDL_Window* other = SDL_CreateWindow("other", 0, 0, 40, 40, SDL_WINDOW_SHOWN);
        ASSERT_NE(other, nullptr);
        pump(*system);
        ASSERT_EQ(SDL_SetWindowInputFocus(other), 0);
        pump(*system);
        // The pointer comes over the window while it is in the background: nothing is passed on.
        ASSERT_FALSE(window.IsForeground());
        pointer.MoveTo(left + 40, top + 30);
        pump(*system);
        pointer.MoveTo(left + 210, top + 170);
        pump(*system);
        // The window comes forward (as a click-to-focus desktop does first), then the press.
        ASSERT_EQ(SDL_SetWindowInputFocus(system->GetSdlWindow(window.GetHandle())), 0);
        pump(*system);
        ASSERT_TRUE(window.IsForeground());
        input.heard.clear();
        pointer.Button(1, true);
        pointer.Button(1, false);
        pump(*system);
        EXPECT_EQ(placeBeforePress(input.heard), "move 210 170");
        ASSERT_FALSE(input.heard.empty());
        EXPECT_EQ(input.heard.back(), "up 0");

        // A second click at the same place tells nothing new before it.
        input.heard.clear();
        pointer.Button(3, true);
        pointer.Button(3, false);
        pump(*system);
        EXPECT_EQ(input.heard, (std::vector<std::string>{"down 1", "up 1"}));
        window.Destroy();
        SDL_DestroyWindow(other);
        pump(*system);
    }
    system.reset();
}
} // namespace
