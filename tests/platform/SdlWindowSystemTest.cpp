// The SDL window system on SDL's offscreen driver (what every test process
// gets from CTest): windows, placement, styles and the SDL event queue work
// without a display.
#include "platform/window/VirtualKeys.h"
#include "platform/window/WindowSystem.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace Platform
{
namespace
{
// Shift pressed, a letter, Shift let go, all waiting at once: while the letter is handled, Shift
// is still held, as it was when the letter was typed.
TEST(WindowOffscreen, KeysHeldAreThoseOfTheKeyBeingHandled)
{
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver == nullptr || std::strcmp(driver, "offscreen") != 0)
        GTEST_SKIP() << "needs SDL_VIDEODRIVER=offscreen, as CTest sets it";
    std::unique_ptr<WindowSystem> system = WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    const WindowHandle window = system->NewWindow(L"keys", 320, 200, WindowStyle::Bordered);
    ASSERT_NE(window, 0u);
    WindowMessage message;
    while (system->TakeMessage(message))
    {
    }

    const auto key = [window](Uint32 type, SDL_Keycode sym, SDL_Scancode code, Uint16 mod)
    {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = window;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = sym;
        event.key.keysym.scancode = code;
        event.key.keysym.mod = mod;
        SDL_PushEvent(&event);
    };
    key(SDL_KEYDOWN, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT);
    key(SDL_KEYDOWN, SDLK_r, SDL_SCANCODE_R, KMOD_LSHIFT);
    key(SDL_KEYUP, SDLK_r, SDL_SCANCODE_R, KMOD_LSHIFT);
    key(SDL_KEYUP, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_NONE);

    std::vector<std::pair<std::uint16_t, bool>> seen;
    while (system->TakeMessage(message))
        if (message.kind == MessageKind::KeyDown || message.kind == MessageKind::KeyUp)
            seen.emplace_back(message.key, system->IsKeyHeld(VirtualKey::Shift));
    EXPECT_EQ(seen, (std::vector<std::pair<std::uint16_t, bool>>{{VirtualKey::Shift, true},
                                                                 {std::uint16_t('R'), true},
                                                                 {std::uint16_t('R'), true},
                                                                 {VirtualKey::Shift, false}}));
    system->DestroyWindow(window);
}

TEST(WindowOffscreen, SdlWindowsWorkWithoutADisplay)
{
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver == nullptr || std::strcmp(driver, "offscreen") != 0)
        GTEST_SKIP() << "needs SDL_VIDEODRIVER=offscreen, as CTest sets it";
    std::unique_ptr<WindowSystem> system = WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);

    EXPECT_FALSE(system->IsKeyHeld(VirtualKey::Shift));
    const std::vector<MonitorInfo> monitors = system->GetMonitors();
    ASSERT_FALSE(monitors.empty());
    EXPECT_TRUE(monitors[0].primary);
    EXPECT_GT(monitors[0].bounds.Width(), 0);

    EXPECT_EQ(system->NewWindow(L"bad", 0, 768, WindowStyle::Bordered), 0u);
    const WindowHandle window = system->NewWindow(L"The Pellwood", 1024, 768, WindowStyle::Bordered);
    ASSERT_NE(window, 0u);
    ASSERT_NE(system->GetSdlWindow(window), nullptr);
    EXPECT_EQ(SDL_GetWindowID(system->GetSdlWindow(window)), window);
    EXPECT_EQ(system->Windows(), std::vector<WindowHandle>{window});

    ASSERT_TRUE(system->SetClientPosition(window, 40, 30));
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 30);
    ASSERT_TRUE(system->SetClientSize(window, 800, 600));
    ASSERT_TRUE(system->GetClientSize(window, width, height));
    EXPECT_EQ(width, 800);
    EXPECT_EQ(height, 600);

    // Size and place given in full screen are kept for the way back.
    ASSERT_TRUE(system->SetStyle(window, WindowStyle::FullScreen));
    EXPECT_EQ(system->GetStyle(window), WindowStyle::FullScreen);
    ASSERT_TRUE(system->SetClientSize(window, 1024, 768));
    ASSERT_TRUE(system->SetClientPosition(window, 50, 60));
    ASSERT_TRUE(system->SetStyle(window, WindowStyle::Bordered));
    ASSERT_TRUE(system->GetClientSize(window, width, height));
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_EQ(x, 50);
    EXPECT_EQ(y, 60);

    // Whether the driver can make colour cursors or not, a made one can be
    // set, a bad hot spot is refused, and the arrow is always there.
    const std::vector<std::uint8_t> pixels(16 * 16 * 4, 0xFF);
    EXPECT_EQ(system->NewColourCursor(PictureView{16, 16, pixels.data()}, 16, 0), 0u);
    const CursorHandle cursor = system->NewColourCursor(PictureView{16, 16, pixels.data()}, 3, 3);
    if (cursor != 0)
    {
        EXPECT_TRUE(system->SetCursor(cursor));
        system->DestroyCursor(cursor);
        EXPECT_EQ(system->GetCursor(), ArrowCursor);
    }
    EXPECT_TRUE(system->SetCursor(ArrowCursor));
    EXPECT_FALSE(system->SetCursor(99));
    EXPECT_EQ(system->ShowPointer(false), -1);
    EXPECT_EQ(system->ShowPointer(true), 0);

    // Events come from SDL's own queue.
    WindowMessage message;
    while (system->TakeMessage(message))
    {
    }
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = window;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    event = SDL_Event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = window;
    event.key.keysym.sym = SDLK_F10;
    event.key.keysym.scancode = SDL_SCANCODE_F10;
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    bool closed = false, f10 = false;
    while (system->TakeMessage(message))
    {
        closed = closed || (message.kind == MessageKind::Close && message.window == window);
        f10 = f10 || (message.kind == MessageKind::SystemKeyDown && message.key == VirtualKey::F10);
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(f10);

    system->DestroyWindow(window);
    EXPECT_FALSE(system->IsWindow(window));
    EXPECT_FALSE(system->SetClientPosition(window, 0, 0));
}

// With no display and no driver asked for, SDL would fall back to its offscreen
// driver and the game would run where nobody sees it: the window system refuses.
TEST(WindowOffscreen, NoDisplayAndNoDriverAskedForIsRefused)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        GTEST_SKIP() << "video already started in this process";
    struct Saved
    {
        const char* name;
        std::string value;
        bool set;
    } saved[] = {{"SDL_VIDEODRIVER", {}, false}, {"DISPLAY", {}, false}, {"WAYLAND_DISPLAY", {}, false}};
    for (Saved& variable : saved)
    {
        if (const char* value = std::getenv(variable.name))
        {
            variable.value = value;
            variable.set = true;
        }
        unsetenv(variable.name);
    }
    const std::unique_ptr<WindowSystem> system = WindowSystem::CreateSdl();
    const bool videoLeftStarted = SDL_WasInit(SDL_INIT_VIDEO) != 0;
    for (const Saved& variable : saved)
    {
        if (variable.set)
            setenv(variable.name, variable.value.c_str(), 1);
    }
    EXPECT_EQ(system, nullptr);
    EXPECT_FALSE(videoLeftStarted);
}
} // namespace
} // namespace Platform
