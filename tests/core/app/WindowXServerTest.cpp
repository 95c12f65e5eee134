// The render window on a real X server (Xvfb when there is no display): it
// opens with a 1024 x 768 client area where the first run centres it, Alt+Enter
// typed on the server's keyboard switches it to full screen and back, a
// windowed close stores its place and the next window opens there.
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/files/SettingsStore.h"
#include "engine/core/app/Window.h"
#include "platform/window/WindowSystem.h"
#include "tests/core/TempFolder.h"
#include "tests/platform/XServer.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{
constexpr const char* childVariable = "PELLWOOD_RENDER_WINDOW_X_CHILD";

TEST(WindowXServer, OpensSwitchesWithAltEnterClosesAndReopensInPlace)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    XServerSupport::RunOnXServer(childVariable, "WindowXServerChild.*");
}

// The engine's side: switching the display mode changes the window's style.
class Engine : public IWindowOwner
{
public:
    void OnActivate() override {}
    void OnDeactivate() override {}
    void SetSuspended(bool) override {}
    bool IsFullscreen() const override { return fullscreen; }
    void SetFullscreen(bool full) override
    {
        switches.push_back(full);
        fullscreen = full;
        if (window != nullptr)
            window->ModifyStyle(full ? kWindowStyleFrame : kWindowStylePopup,
                                full ? kWindowStylePopup : kWindowStyleFrame);
    }
    bool IsStarted() const override { return true; }
    bool IsInSplash() const override { return false; }
    bool CanClose() override { return true; }
    bool IsDeviceReady() const override { return false; }
    bool IsWindowed() const override { return !fullscreen; }
    void CheckMonitor() override {}
    void PresentAgain() override {}

    bool fullscreen = false;
    Window* window = nullptr;
    std::vector<bool> switches;
};

// Dispatches what has arrived; true when Quit came. The pointer query is a
// round trip on SDL's own connection, so every event the server sent before
// it is read by then.
bool pump(Platform::WindowSystem& system)
{
    SDL_GetGlobalMouseState(nullptr, nullptr);
    Platform::WindowMessage message;
    for (int i = 0; i < 100000 && system.TakeMessage(message); ++i)
    {
        if (message.kind == Platform::MessageKind::Quit)
            return true;
        system.Dispatch(message);
    }
    return false;
}

void expectClient(Platform::WindowSystem& system, const Window& window, int x, int y, int width, int height)
{
    int gotX = 0, gotY = 0, gotWidth = 0, gotHeight = 0;
    ASSERT_TRUE(system.GetClientPosition(window.GetHandle(), gotX, gotY));
    ASSERT_TRUE(system.GetClientSize(window.GetHandle(), gotWidth, gotHeight));
    EXPECT_EQ(gotX, x);
    EXPECT_EQ(gotY, y);
    EXPECT_EQ(gotWidth, width);
    EXPECT_EQ(gotHeight, height);
}

TEST(WindowXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by WindowXServer.OpensSwitchesWithAltEnterClosesAndReopensInPlace";
    TempFolder folder;
    SettingsStore store([&](bool) { return folder.EnginePath(); }, [&](bool) { return folder.EnginePath(); });
    std::unique_ptr<Platform::WindowSystem> system = Platform::WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    Engine engine;

    {
        Window window(*system, engine, nullptr);
        engine.window = &window;
        ASSERT_TRUE(window.Create(L"The Pellwood", Platform::Rect{0, 0, 1024, 768}));
        EXPECT_FALSE(pump(*system));
        EXPECT_TRUE(system->IsShown(window.GetHandle()));
        int centreX = 0, centreY = 0;
        ASSERT_TRUE(window.CenterOnBestMonitor(centreX, centreY));
        expectClient(*system, window, centreX, centreY, 1024, 768);

        ASSERT_TRUE(system->SetClientPosition(window.GetHandle(), 150, 120));
        EXPECT_FALSE(pump(*system));

        XServerSupport::FakeKeyboard keyboard;
        if (keyboard.Available())
        {
            SDL_Window* sdlWindow = system->GetSdlWindow(window.GetHandle());
            ASSERT_EQ(SDL_SetWindowInputFocus(sdlWindow), 0);
            EXPECT_FALSE(pump(*system));
            ASSERT_TRUE(window.IsForeground());
            // Key symbols: Alt_L 0xFFE9, Return 0xFF0D.
            for (bool expectFull : {true, false})
            {
                keyboard.Key(0xFFE9, true);
                keyboard.Key(0xFF0D, true);
                keyboard.Key(0xFF0D, false);
                keyboard.Key(0xFFE9, false);
                EXPECT_FALSE(pump(*system));
                EXPECT_EQ(window.GetStyle(), expectFull ? kWindowStylePopup : kWindowStyleFrame);
                EXPECT_EQ((SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0, expectFull);
            }
            EXPECT_EQ(engine.switches, (std::vector<bool>{true, false}));
            expectClient(*system, window, 150, 120, 1024, 768);
        }

        Platform::WindowMessage close;
        close.kind = Platform::MessageKind::Close;
        close.window = window.GetHandle();
        system->Post(close);
        EXPECT_TRUE(pump(*system));
        EXPECT_TRUE(std::filesystem::exists(folder.path / "Window.prefs"));
        window.Destroy();
        engine.window = nullptr;
        pump(*system);
    }

    {
        Window window(*system, engine, nullptr);
        ASSERT_TRUE(window.Create(L"The Pellwood", Platform::Rect{0, 0, 1024, 768}));
        EXPECT_FALSE(pump(*system));
        expectClient(*system, window, 150, 120, 1024, 768);
        window.Destroy();
        EXPECT_TRUE(pump(*system)) << "the destroyed window ends the loop";
    }
    system.reset();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}
} // namespace
