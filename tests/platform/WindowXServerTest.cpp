// The SDL window system on a real X server. Without a display the test starts
// its own Xvfb on a free display number; without either it is skipped. The
// windows are opened in a child process (this test program run again on one
// test) so that SDL's video state never mixes with the other tests, which run
// on SDL's offscreen driver.
#include "platform/window/VirtualKeys.h"
#include "platform/window/WindowSystem.h"
#include "tests/platform/XServer.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace Platform
{
namespace
{
constexpr const char* childVariable = "PELLWOOD_WINDOW_X_CHILD";

TEST(WindowXServer, RealWindowOpensPlacesSwitchesAndCloses)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    XServerSupport::RunOnXServer(childVariable, "WindowXServerChild.*");
}

using XServerSupport::FakeKeyboard;

class Recorder : public MessageHandler
{
public:
    explicit Recorder(WindowSystem& system) : system_(system) {}
    std::intptr_t OnMessage(const WindowMessage& message) override
    {
        kinds.push_back(message.kind);
        if (message.kind == MessageKind::Destroy)
            system_.PostQuit(0);
        return system_.DefaultHandling(message);
    }
    std::vector<MessageKind> kinds;

private:
    WindowSystem& system_;
};

// Takes and dispatches what is waiting; true when Quit came.
bool pump(WindowSystem& system)
{
    WindowMessage message;
    // Bounded: a server that keeps sending must not hang the test.
    for (int i = 0; i < 100000 && system.TakeMessage(message); ++i)
    {
        if (message.kind == MessageKind::Quit)
            return true;
        system.Dispatch(message);
    }
    return false;
}

TEST(WindowXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by WindowXServer.RealWindowOpensPlacesSwitchesAndCloses";
    std::unique_ptr<WindowSystem> system = WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "x11");

    // Before any window: nothing is held on a fresh server, and asking works.
    EXPECT_FALSE(system->IsKeyHeld(VirtualKey::Shift));
    EXPECT_FALSE(system->IsKeyHeld(VirtualKey::Control));
    EXPECT_FALSE(system->IsKeyHeld(VirtualKey::Alt));
    FakeKeyboard keyboard;
    // Each modifier alone, pressed and let go on the server's keyboard.
    const auto checkHeldKeys = [&](const char* when)
    {
        if (!keyboard.Available())
            return;
        const struct
        {
            unsigned long keysym;
            std::uint16_t key;
        } keys[] = {{0xFFE1, VirtualKey::Shift}, {0xFFE3, VirtualKey::Control}, {0xFFE9, VirtualKey::Alt}};
        for (const auto& k : keys)
        {
            keyboard.Key(k.keysym, true);
            for (const auto& other : keys)
                EXPECT_EQ(system->IsKeyHeld(other.key), other.key == k.key)
                    << when << ": " << k.key << " held, asking " << other.key;
            keyboard.Key(k.keysym, false);
            EXPECT_FALSE(system->IsKeyHeld(k.key)) << when << ": " << k.key;
        }
    };
    checkHeldKeys("before any window");

    const std::vector<MonitorInfo> monitors = system->GetMonitors();
    ASSERT_FALSE(monitors.empty());
    EXPECT_TRUE(monitors[0].primary);
    EXPECT_EQ(monitors[0].bounds, (Rect{0, 0, 1280, 1024}));
    EXPECT_GE(monitors[0].workArea.left, monitors[0].bounds.left);
    EXPECT_LE(monitors[0].workArea.right, monitors[0].bounds.right);
    DisplayMode mode;
    ASSERT_TRUE(system->GetDesktopMode(0, mode));
    EXPECT_EQ(mode.width, 1280);
    EXPECT_EQ(mode.height, 1024);

    WindowHandle window = system->NewWindow(L"The Pellwood \u00E9", 1024, 768, WindowStyle::Bordered);
    ASSERT_NE(window, 0u);
    SDL_Window* sdlWindow = system->GetSdlWindow(window);
    ASSERT_NE(sdlWindow, nullptr);
    EXPECT_EQ(SDL_GetWindowID(sdlWindow), window);
    EXPECT_FALSE(system->IsShown(window));
    // A window without the keyboard: asked through SDL's own connection now.
    checkHeldKeys("with a window");
    Recorder recorder(*system);
    system->SetHandler(window, &recorder);

    ASSERT_TRUE(system->SetClientPosition(window, 100, 80));
    ASSERT_TRUE(system->Show(window));
    EXPECT_FALSE(pump(*system));
    EXPECT_TRUE(system->IsShown(window));
    int width = 0, height = 0, x = 0, y = 0;
    ASSERT_TRUE(system->GetClientSize(window, width, height));
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 80);
    EXPECT_EQ(system->GetWindowMonitor(window), 0);
    Rect outer;
    ASSERT_TRUE(system->GetOuterRect(window, outer));
    EXPECT_LE(outer.left, 100);
    EXPECT_LE(outer.top, 80);

    // Moved, read back and set again: it stays where it is.
    ASSERT_TRUE(system->SetClientPosition(window, 150, 120));
    EXPECT_FALSE(pump(*system));
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    ASSERT_TRUE(system->SetClientPosition(window, x, y));
    EXPECT_FALSE(pump(*system));
    int again_x = 0, again_y = 0;
    ASSERT_TRUE(system->GetClientPosition(window, again_x, again_y));
    EXPECT_EQ(again_x, 150);
    EXPECT_EQ(again_y, 120);

    const std::vector<std::uint8_t> pixels(32 * 32 * 4, 0xC0);
    EXPECT_TRUE(system->SetIcon(window, PictureView{32, 32, pixels.data()}));
    const CursorHandle cursor = system->NewColourCursor(PictureView{32, 32, pixels.data()}, 3, 4);
    EXPECT_NE(cursor, 0u);
    EXPECT_TRUE(system->SetCursor(cursor));
    EXPECT_EQ(system->ShowPointer(false), -1);
    EXPECT_EQ(system->ShowPointer(true), 0);
    EXPECT_TRUE(system->SetCursor(ArrowCursor));

    // Full screen and back to the same client size and place.
    ASSERT_TRUE(system->SetStyle(window, WindowStyle::FullScreen));
    EXPECT_FALSE(pump(*system));
    EXPECT_EQ(system->GetStyle(window), WindowStyle::FullScreen);
    EXPECT_NE(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    Borders borders{1, 1, 1, 1};
    ASSERT_TRUE(system->GetBorders(window, borders));
    EXPECT_EQ(borders, Borders{});
    ASSERT_TRUE(system->SetStyle(window, WindowStyle::Bordered));
    EXPECT_FALSE(pump(*system));
    EXPECT_EQ(SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_FULLSCREEN_DESKTOP, 0u);
    ASSERT_TRUE(system->GetClientSize(window, width, height));
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    EXPECT_EQ(x, 150);
    EXPECT_EQ(y, 120);

    // A close left to the default handling destroys the window; the handler
    // sees Destroy and ends the loop.
    WindowMessage close;
    close.kind = MessageKind::Close;
    close.window = window;
    system->Post(close);
    EXPECT_TRUE(pump(*system));
    EXPECT_FALSE(system->IsWindow(window));
    ASSERT_GE(recorder.kinds.size(), 2u);
    EXPECT_EQ(recorder.kinds[recorder.kinds.size() - 2], MessageKind::Close);
    EXPECT_EQ(recorder.kinds.back(), MessageKind::Destroy);

    // The next window opens where the last one was.
    window = system->NewWindow(L"The Pellwood", 1024, 768, WindowStyle::Bordered);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(system->SetClientPosition(window, again_x, again_y));
    ASSERT_TRUE(system->Show(window));
    EXPECT_FALSE(pump(*system));
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    EXPECT_EQ(x, 150);
    EXPECT_EQ(y, 120);
    system->DestroyWindow(window);
    EXPECT_FALSE(system->IsWindow(window));
    system.reset();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}
} // namespace
} // namespace Platform
