// The window layer on its scripted variant: message sequences for keys,
// characters, the mouse, capture and leave notices; dispatch and default
// handling; held keys; monitors; window placement and full screen; cursors.
#include "platform/window/MessageBox.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "platform/window/VirtualKeys.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace Platform
{
namespace
{
// A window procedure that records what it gets and leaves the rest to the
// default handling, as the engine's does.
class Recorder : public MessageHandler
{
public:
    explicit Recorder(WindowSystem& system) : system_(system) {}

    std::intptr_t OnMessage(const WindowMessage& message) override
    {
        received.push_back(message);
        if (message.kind == MessageKind::Destroy)
            system_.PostQuit(7);
        if (handleClose && message.kind == MessageKind::Close)
            return 1;
        return system_.DefaultHandling(message);
    }

    std::vector<WindowMessage> received;
    bool handleClose = false;

private:
    WindowSystem& system_;
};

class ScriptedWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = system.NewWindow(L"Test", 1024, 768, WindowStyle::Bordered);
        ASSERT_NE(window, 0u);
        system.SetHandler(window, &recorder);
    }

    // Takes every waiting message and dispatches it; answers them in order.
    std::vector<WindowMessage> pump()
    {
        std::vector<WindowMessage> taken;
        WindowMessage message;
        while (system.TakeMessage(message))
        {
            taken.push_back(message);
            if (message.kind != MessageKind::Quit)
                system.Dispatch(message);
        }
        return taken;
    }

    ScriptedWindowSystem system;
    Recorder recorder{system};
    WindowHandle window = 0;
};

struct Expected
{
    MessageKind kind;
    std::uint16_t key;
    char32_t character;
    bool altDown;
    bool repeat;
};

void expectKeyMessages(const std::vector<WindowMessage>& got, const std::vector<Expected>& want,
                       const char* name)
{
    ASSERT_EQ(got.size(), want.size()) << name;
    for (std::size_t i = 0; i < want.size(); ++i)
    {
        EXPECT_EQ(got[i].kind, want[i].kind) << name << " #" << i;
        if (want[i].kind == MessageKind::Char || want[i].kind == MessageKind::KeyMenu)
        {
            EXPECT_EQ(got[i].character, want[i].character) << name << " #" << i;
        }
        else
        {
            EXPECT_EQ(got[i].key, want[i].key) << name << " #" << i;
            EXPECT_EQ(got[i].altDown, want[i].altDown) << name << " #" << i;
            EXPECT_EQ(got[i].repeat, want[i].repeat) << name << " #" << i;
        }
    }
}

constexpr MessageKind KeyDown = MessageKind::KeyDown;
constexpr MessageKind KeyUp = MessageKind::KeyUp;
constexpr MessageKind SysDown = MessageKind::SystemKeyDown;
constexpr MessageKind SysUp = MessageKind::SystemKeyUp;
constexpr MessageKind Char = MessageKind::Char;
constexpr MessageKind KeyMenu = MessageKind::KeyMenu;

TEST_F(ScriptedWindow, KeySequences)
{
    struct Case
    {
        const char* name;
        void (*script)(ScriptedWindowSystem&, WindowHandle);
        std::vector<Expected> expected; // as the handler receives them
    };
    const Case cases[] = {
        {"Enter types a carriage return after its key",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_RETURN, SDL_SCANCODE_RETURN);
             s.ReleaseKey(w, SDLK_RETURN, SDL_SCANCODE_RETURN);
         },
         {{KeyDown, 0x0D, 0, false, false}, {Char, 0, 13, false, false}, {KeyUp, 0x0D, 0, false, false}}},
        {"keypad Enter as well",
         [](ScriptedWindowSystem& s, WindowHandle w) { s.PressKey(w, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER); },
         {{KeyDown, 0x0D, 0, false, false}, {Char, 0, 13, false, false}}},
        {"Backspace, Tab and Escape type 8, 9, 27; repeats type again",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_BACKSPACE);
             s.PressKey(w, SDLK_BACKSPACE, SDL_SCANCODE_UNKNOWN, true);
             s.PressKey(w, SDLK_TAB);
             s.PressKey(w, SDLK_ESCAPE);
         },
         {{KeyDown, 0x08, 0, false, false},
          {Char, 0, 8, false, false},
          {KeyDown, 0x08, 0, false, true},
          {Char, 0, 8, false, false},
          {KeyDown, 0x09, 0, false, false},
          {Char, 0, 9, false, false},
          {KeyDown, 0x1B, 0, false, false},
          {Char, 0, 27, false, false}}},
        {"a letter key and its text",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_LSHIFT);
             s.PressKey(w, SDLK_q, SDL_SCANCODE_Q);
             s.TypeText(w, "Q");
             s.ReleaseKey(w, SDLK_q, SDL_SCANCODE_Q);
             s.ReleaseKey(w, SDLK_LSHIFT);
         },
         {{KeyDown, 0x10, 0, false, false},
          {KeyDown, 'Q', 0, false, false},
          {Char, 0, U'Q', false, false},
          {KeyUp, 'Q', 0, false, false},
          {KeyUp, 0x10, 0, false, false}}},
        {"text gives one character per code point",
         [](ScriptedWindowSystem& s, WindowHandle w) { s.TypeText(w, "\xC3\xA9\xF0\x9F\x98\x80"); },
         {{Char, 0, U'\u00E9', false, false}, {Char, 0, U'\U0001F600', false, false}}},
        {"Alt+Enter is a system key that asks for the menu with 13 and types nothing",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_LALT);
             s.PressKey(w, SDLK_RETURN);
             s.ReleaseKey(w, SDLK_RETURN);
             s.ReleaseKey(w, SDLK_LALT);
         },
         {{SysDown, 0x12, 0, true, false},
          {SysDown, 0x0D, 0, true, false},
          {KeyMenu, 0, 13, false, false},
          {SysUp, 0x0D, 0, true, false},
          {SysUp, 0x12, 0, true, false}}},
        {"a held Alt+Enter toggles once",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_RALT);
             s.PressKey(w, SDLK_RETURN);
             s.PressKey(w, SDLK_RETURN, SDL_SCANCODE_UNKNOWN, true);
         },
         {{SysDown, 0x12, 0, true, false},
          {SysDown, 0x0D, 0, true, false},
          {KeyMenu, 0, 13, false, false},
          {SysDown, 0x0D, 0, true, true}}},
        {"F10 alone is a system key and types nothing",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_F10);
             s.ReleaseKey(w, SDLK_F10);
         },
         {{SysDown, 0x79, 0, false, false}, {SysUp, 0x79, 0, false, false}}},
        {"text typed with left Alt held is not input",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_LALT);
             s.PressKey(w, SDLK_f, SDL_SCANCODE_F);
             s.TypeText(w, "f");
         },
         {{SysDown, 0x12, 0, true, false}, {SysDown, 'F', 0, true, false}}},
        {"Ctrl with right Alt (AltGr) gives ordinary keys and text",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_LCTRL);
             s.PressKey(w, SDLK_RALT);
             s.PressKey(w, SDLK_q, SDL_SCANCODE_Q);
             s.TypeText(w, "@");
         },
         {{KeyDown, 0x11, 0, false, false},
          {KeyDown, 0x12, 0, true, false},
          {KeyDown, 'Q', 0, true, false},
          {Char, 0, U'@', false, false}}},
        {"keys without a virtual key send nothing",
         [](ScriptedWindowSystem& s, WindowHandle w)
         {
             s.PressKey(w, SDLK_KP_EQUALS, SDL_SCANCODE_KP_EQUALS);
             s.ReleaseKey(w, SDLK_KP_EQUALS, SDL_SCANCODE_KP_EQUALS);
         },
         {}},
        {"events of windows that do not exist are dropped",
         [](ScriptedWindowSystem& s, WindowHandle)
         {
             s.PressKey(999, SDLK_a, SDL_SCANCODE_A);
             s.TypeText(999, "a");
         },
         {}},
    };
    for (const Case& c : cases)
    {
        system.SetHeldModifiers(0);
        recorder.received.clear();
        c.script(system, window);
        pump();
        expectKeyMessages(recorder.received, c.expected, c.name);
    }
}

TEST_F(ScriptedWindow, HeldKeysFollowTheKeyboard)
{
    // Held before the script starts, as at start-up.
    system.SetHeldModifiers(KMOD_LSHIFT);
    EXPECT_TRUE(system.IsKeyHeld(VirtualKey::Shift));
    EXPECT_FALSE(system.IsKeyHeld(VirtualKey::Control));
    EXPECT_FALSE(system.IsKeyHeld(VirtualKey::Alt));

    system.PressKey(window, SDLK_RCTRL);
    EXPECT_TRUE(system.IsKeyHeld(VirtualKey::Shift));
    EXPECT_TRUE(system.IsKeyHeld(VirtualKey::Control));
    system.ReleaseKey(window, SDLK_LSHIFT);
    EXPECT_FALSE(system.IsKeyHeld(VirtualKey::Shift));
    EXPECT_TRUE(system.IsKeyHeld(VirtualKey::Control));
    system.PressKey(window, SDLK_LALT);
    EXPECT_TRUE(system.IsKeyHeld(VirtualKey::Alt));

    // Caps Lock toggles on each press, not while held.
    EXPECT_FALSE(system.IsCapsLockOn());
    system.PressKey(window, SDLK_CAPSLOCK);
    EXPECT_TRUE(system.IsCapsLockOn());
    system.PressKey(window, SDLK_CAPSLOCK, SDL_SCANCODE_UNKNOWN, true);
    system.ReleaseKey(window, SDLK_CAPSLOCK);
    EXPECT_TRUE(system.IsCapsLockOn());
    system.PressKey(window, SDLK_CAPSLOCK);
    EXPECT_FALSE(system.IsCapsLockOn());
    EXPECT_FALSE(system.IsKeyHeld(VirtualKey::CapsLock));
}

TEST_F(ScriptedWindow, MouseMessagesCarryButtonsAndKeys)
{
    system.MovePointer(window, 10, 20);
    system.PressButton(window, SDL_BUTTON_LEFT);
    system.PressKey(window, SDLK_LCTRL);
    system.PressButton(window, SDL_BUTTON_RIGHT);
    system.MovePointer(window, 11, 21);
    system.ReleaseButton(window, SDL_BUTTON_LEFT);
    system.ReleaseKey(window, SDLK_LCTRL);
    system.PressKey(window, SDLK_RSHIFT);
    system.PressButton(window, SDL_BUTTON_MIDDLE);
    system.ReleaseButton(window, SDL_BUTTON_MIDDLE);
    system.ReleaseButton(window, SDL_BUTTON_RIGHT);
    system.PressButton(window, SDL_BUTTON_X1); // no message
    system.TurnWheel(window, -2);
    pump();

    const struct
    {
        MessageKind kind;
        int button;
        std::uint32_t flags;
        int x, y;
    } expected[] = {
        // Over the client area, and with nobody holding the mouse, the window
        // sets its cursor before each move.
        {MessageKind::SetCursor, 0, 0, 0, 0},
        {MessageKind::MouseMove, 0, 0, 10, 20},
        {MessageKind::ButtonDown, ButtonLeft, MouseFlagLeft, 10, 20},
        {MessageKind::ButtonDown, ButtonRight, MouseFlagLeft | MouseFlagRight | MouseFlagControl, 10, 20},
        {MessageKind::SetCursor, 0, 0, 0, 0},
        {MessageKind::MouseMove, 0, MouseFlagLeft | MouseFlagRight | MouseFlagControl, 11, 21},
        {MessageKind::ButtonUp, ButtonLeft, MouseFlagRight | MouseFlagControl, 11, 21},
        {MessageKind::ButtonDown, ButtonMiddle, MouseFlagRight | MouseFlagMiddle | MouseFlagShift, 11, 21},
        {MessageKind::ButtonUp, ButtonMiddle, MouseFlagRight | MouseFlagShift, 11, 21},
        {MessageKind::ButtonUp, ButtonRight, MouseFlagShift, 11, 21},
        {MessageKind::MouseWheel, 0, MouseFlagShift, 11, 21},
    };
    std::vector<WindowMessage> mouse;
    for (const WindowMessage& m : recorder.received)
    {
        if (m.kind != MessageKind::KeyDown && m.kind != MessageKind::KeyUp)
            mouse.push_back(m);
    }
    ASSERT_EQ(mouse.size(), std::size(expected));
    for (std::size_t i = 0; i < mouse.size(); ++i)
    {
        EXPECT_EQ(mouse[i].kind, expected[i].kind) << i;
        EXPECT_EQ(mouse[i].window, window) << i;
        if (expected[i].kind == MessageKind::ButtonDown || expected[i].kind == MessageKind::ButtonUp)
        {
            EXPECT_EQ(mouse[i].button, expected[i].button) << i;
        }
        EXPECT_EQ(mouse[i].keyFlags, expected[i].flags) << i;
        EXPECT_EQ(mouse[i].x, expected[i].x) << i;
        EXPECT_EQ(mouse[i].y, expected[i].y) << i;
    }
    EXPECT_EQ(mouse.back().wheelDelta, -240);

    int x = 0, y = 0;
    ASSERT_TRUE(system.GetCursorClientPosition(window, x, y));
    EXPECT_EQ(x, 11);
    EXPECT_EQ(y, 21);
}

// A second window to tell where the pointer's messages go.
TEST_F(ScriptedWindow, CaptureRoutesThePointerAndDefersTheLeaveNotice)
{
    const WindowHandle other = system.NewWindow(L"Other", 200, 100, WindowStyle::Bordered);
    Recorder otherRecorder(system);
    system.SetHandler(other, &otherRecorder);
    system.SetClientPosition(window, 100, 100);
    system.SetClientPosition(other, 1300, 90);

    system.MovePointer(window, 5, 5);
    pump();
    system.RequestLeaveNotice(window);
    system.CaptureMouse(window);
    EXPECT_EQ(system.GetCapture(), window);
    EXPECT_TRUE(system.NativeCaptureOn());

    // While captured, the pointer over another window still talks to the
    // captor, and leaving does not end its stay.
    recorder.received.clear();
    system.PointerLeaves(window);
    system.MovePointer(other, 50, 60);
    system.ReleaseButton(other, SDL_BUTTON_LEFT);
    pump();
    ASSERT_EQ(recorder.received.size(), 2u);
    EXPECT_EQ(recorder.received[0].kind, MessageKind::MouseMove);
    EXPECT_EQ(recorder.received[1].kind, MessageKind::ButtonUp);
    for (const WindowMessage& m : recorder.received)
    {
        // In the captor's own client coordinates.
        EXPECT_EQ(m.x, 1250);
        EXPECT_EQ(m.y, 50);
    }
    EXPECT_TRUE(otherRecorder.received.empty());

    // The deferred leave arrives once the capture ends, and only once.
    system.ReleaseMouse();
    EXPECT_EQ(system.GetCapture(), 0u);
    EXPECT_FALSE(system.NativeCaptureOn());
    system.ReleaseMouse();
    recorder.received.clear();
    pump();
    ASSERT_EQ(recorder.received.size(), 1u);
    EXPECT_EQ(recorder.received[0].kind, MessageKind::MouseLeave);

    // After the notice the pointer must be tracked again for the next one.
    system.MovePointer(window, 1, 1);
    system.PointerLeaves(window);
    recorder.received.clear();
    pump();
    ASSERT_EQ(recorder.received.size(), 2u);
    EXPECT_EQ(recorder.received[0].kind, MessageKind::SetCursor);
    EXPECT_EQ(recorder.received[1].kind, MessageKind::MouseMove);
}

TEST_F(ScriptedWindow, LeaveNoticeCases)
{
    // Asked for while the pointer is outside: told at once.
    system.RequestLeaveNotice(window);
    auto taken = pump();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].kind, MessageKind::MouseLeave);

    // Asked twice during one stay: told once.
    system.MovePointer(window, 3, 3);
    pump();
    system.RequestLeaveNotice(window);
    system.RequestLeaveNotice(window);
    system.PointerLeaves(window);
    taken = pump();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].kind, MessageKind::MouseLeave);

    // Left and came back during the capture: no notice when it ends.
    system.MovePointer(window, 3, 3);
    pump();
    system.RequestLeaveNotice(window);
    system.CaptureMouse(window);
    system.PointerLeaves(window);
    system.MovePointer(window, 4, 4);
    pump();
    system.ReleaseMouse();
    taken = pump();
    EXPECT_TRUE(taken.empty());
    // The request still stands for the next leave.
    system.PointerLeaves(window);
    taken = pump();
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].kind, MessageKind::MouseLeave);
}

TEST_F(ScriptedWindow, WindowEventsBecomeMessages)
{
    system.SendWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_SIZE_CHANGED, 1024, 768);
    system.Minimise(window);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_SIZE_CHANGED, 0, 0); // ignored while minimised
    system.Restore(window);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_MAXIMIZED);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_MOVED, 5, 5); // told once it has happened
    system.DisplaysChanged();
    system.SendWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    recorder.handleClose = true;
    pump();

    const std::vector<WindowMessage>& got = recorder.received;
    ASSERT_EQ(got.size(), 10u);
    EXPECT_EQ(got[0].kind, MessageKind::Activate);
    EXPECT_TRUE(got[0].active);
    EXPECT_FALSE(got[0].minimised);
    EXPECT_EQ(got[1].kind, MessageKind::Paint);
    EXPECT_EQ(got[2].kind, MessageKind::Size);
    EXPECT_EQ(got[2].sizeKind, SizeKind::Restored);
    EXPECT_EQ(got[2].width, 1024);
    EXPECT_EQ(got[2].height, 768);
    EXPECT_EQ(got[3].kind, MessageKind::Size);
    EXPECT_EQ(got[3].sizeKind, SizeKind::Minimised);
    EXPECT_EQ(got[4].kind, MessageKind::Activate);
    EXPECT_FALSE(got[4].active);
    EXPECT_TRUE(got[4].minimised);
    EXPECT_EQ(got[5].kind, MessageKind::Size);
    EXPECT_EQ(got[5].sizeKind, SizeKind::Restored);
    EXPECT_EQ(got[5].width, 1024);
    EXPECT_EQ(got[6].kind, MessageKind::Size);
    EXPECT_EQ(got[6].sizeKind, SizeKind::Maximised);
    EXPECT_EQ(got[7].kind, MessageKind::ExitSizeMove);
    EXPECT_EQ(got[8].kind, MessageKind::DisplayChange);
    EXPECT_EQ(got[9].kind, MessageKind::Close);
    // The handler kept the window.
    EXPECT_TRUE(system.IsWindow(window));
}

TEST_F(ScriptedWindow, CloseLeftToDefaultDestroysTheWindowAndQuitComesLast)
{
    system.SendWindowEvent(window, SDL_WINDOWEVENT_CLOSE);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_EXPOSED); // dropped with the window
    const auto taken = pump();
    ASSERT_EQ(recorder.received.size(), 2u);
    EXPECT_EQ(recorder.received[0].kind, MessageKind::Close);
    EXPECT_EQ(recorder.received[1].kind, MessageKind::Destroy);
    EXPECT_FALSE(system.IsWindow(window));
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[1].kind, MessageKind::Quit);
    EXPECT_EQ(taken[1].exitCode, 7);
}

TEST_F(ScriptedWindow, PostedMessagesAndQuit)
{
    WindowMessage close;
    close.kind = MessageKind::Close;
    close.window = window;
    recorder.handleClose = true;
    system.PostQuit(3);
    system.Post(close);
    WindowMessage stray = close;
    stray.window = 999; // not a window: not queued
    system.Post(stray);
    system.SendWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);

    // Messages already waiting come before the quit; the scripted events
    // behind the quit wait for the next loop.
    WindowMessage m;
    ASSERT_TRUE(system.TakeMessage(m));
    EXPECT_EQ(m.kind, MessageKind::Close);
    ASSERT_TRUE(system.TakeMessage(m));
    EXPECT_EQ(m.kind, MessageKind::Quit);
    EXPECT_EQ(m.exitCode, 3);
    ASSERT_TRUE(system.TakeMessage(m));
    EXPECT_EQ(m.kind, MessageKind::Paint);
    EXPECT_FALSE(system.TakeMessage(m));

    // Without a handler a message gets the default handling.
    const WindowHandle bare = system.NewWindow(L"Bare", 10, 10, WindowStyle::Bordered);
    close.window = bare;
    EXPECT_EQ(system.Dispatch(close), 0);
    EXPECT_FALSE(system.IsWindow(bare));
}

TEST_F(ScriptedWindow, DestroyingTheCaptorReleasesTheCapture)
{
    system.CaptureMouse(window);
    system.DestroyWindow(window);
    EXPECT_EQ(system.GetCapture(), 0u);
    EXPECT_FALSE(system.NativeCaptureOn());
    ASSERT_EQ(recorder.received.size(), 1u);
    EXPECT_EQ(recorder.received[0].kind, MessageKind::Destroy);
    system.DestroyWindow(window); // already gone: nothing
    EXPECT_EQ(recorder.received.size(), 1u);
}

// A window procedure that destroys its window when told it is destroyed.
class Destroyer : public MessageHandler
{
public:
    explicit Destroyer(WindowSystem& system) : system_(system) {}
    std::intptr_t OnMessage(const WindowMessage& message) override
    {
        if (message.kind == MessageKind::Destroy)
        {
            ++destroys;
            system_.DestroyWindow(message.window);
        }
        return system_.DefaultHandling(message);
    }
    int destroys = 0;

private:
    WindowSystem& system_;
};

TEST_F(ScriptedWindow, DestroyingAgainFromTheDestroyMessageIsHarmless)
{
    Destroyer destroyer(system);
    system.SetHandler(window, &destroyer);
    system.DestroyWindow(window);
    EXPECT_EQ(destroyer.destroys, 1);
    EXPECT_FALSE(system.IsWindow(window));
}

TEST_F(ScriptedWindow, ClientPositionRoundTripsWhateverTheDecoration)
{
    system.SetDecoration({5, 31, 5, 5});
    ASSERT_TRUE(system.SetClientPosition(window, 300, 200));
    int x = 0, y = 0;
    ASSERT_TRUE(system.GetClientPosition(window, x, y));
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 200);
    // What was read back, stored and set again does not move the window.
    ASSERT_TRUE(system.SetClientPosition(window, x, y));
    ASSERT_TRUE(system.GetClientPosition(window, x, y));
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 200);
    Rect outer;
    ASSERT_TRUE(system.GetOuterRect(window, outer));
    EXPECT_EQ(outer, (Rect{295, 169, 1329, 973}));
}

TEST_F(ScriptedWindow, FullScreenAndBack)
{
    ASSERT_TRUE(system.SetClientPosition(window, 100, 50));
    ASSERT_TRUE(system.SetStyle(window, WindowStyle::FullScreen));
    EXPECT_EQ(system.GetStyle(window), WindowStyle::FullScreen);
    int w = 0, h = 0, x = -1, y = -1;
    system.GetClientSize(window, w, h);
    system.GetClientPosition(window, x, y);
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    Borders borders{1, 1, 1, 1};
    ASSERT_TRUE(system.GetBorders(window, borders));
    EXPECT_EQ(borders, Borders{});

    // A size and position given in full screen are the ones to go back to.
    ASSERT_TRUE(system.SetClientSize(window, 800, 600));
    ASSERT_TRUE(system.SetClientPosition(window, 120, 70));
    system.GetClientSize(window, w, h);
    EXPECT_EQ(w, 1920);

    ASSERT_TRUE(system.SetStyle(window, WindowStyle::Bordered));
    system.GetClientSize(window, w, h);
    system.GetClientPosition(window, x, y);
    EXPECT_EQ(w, 800);
    EXPECT_EQ(h, 600);
    EXPECT_EQ(x, 120);
    EXPECT_EQ(y, 70);
    ASSERT_TRUE(system.GetBorders(window, borders));
    EXPECT_EQ(borders, (Borders{4, 30, 4, 4}));
}

TEST_F(ScriptedWindow, MonitorTableAndTheWindowsMonitor)
{
    const std::vector<MonitorInfo> monitors = {
        {0, {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, true},
        {1, {1920, 0, 3200, 1024}, {1920, 24, 3200, 1024}, false},
        {2, {-800, 0, 0, 600}, {-800, 0, 0, 600}, false},
    };
    system.SetMonitors(monitors);
    EXPECT_EQ(system.GetMonitors(), monitors);

    const struct
    {
        int x, y;
        int monitor;
    } placements[] = {
        {100, 100, 0},   // wholly on the primary
        {1800, 100, 1},  // mostly on the second
        {1000, 100, 0},  // mostly on the primary
        {-700, 40, 2},   // mostly on the one at the left
        {5000, 5000, 1}, // on none: the nearest
        {-3000, 300, 2}, // on none: the nearest
    };
    for (const auto& p : placements)
    {
        system.SetClientPosition(window, p.x, p.y);
        EXPECT_EQ(system.GetWindowMonitor(window), p.monitor) << p.x << "," << p.y;
    }
    DisplayMode mode;
    ASSERT_TRUE(system.GetDesktopMode(1, mode));
    EXPECT_EQ(mode.width, 1280);
    EXPECT_EQ(mode.height, 1024);
    EXPECT_FALSE(system.GetDesktopMode(7, mode));
    EXPECT_EQ(system.GetWindowMonitor(999), -1);

    system.SetMonitors({});
    EXPECT_EQ(system.GetWindowMonitor(window), -1);
    EXPECT_FALSE(system.SetStyle(window, WindowStyle::FullScreen));
}

TEST_F(ScriptedWindow, PointerCounterAndCursors)
{
    // Hidden below 0, as the platform's counter: two hides need two shows.
    const struct
    {
        bool show;
        int counter;
        bool visible;
    } steps[] = {
        {false, -1, false}, {false, -2, false}, {true, -1, false},
        {true, 0, true},    {true, 1, true},    {false, 0, true},
    };
    for (const auto& s : steps)
    {
        EXPECT_EQ(system.ShowPointer(s.show), s.counter);
        EXPECT_EQ(system.PointerVisible(), s.visible) << s.counter;
    }

    const std::vector<std::uint8_t> pixels(32 * 32 * 4, 0xFF);
    const PictureView picture{32, 32, pixels.data()};
    EXPECT_EQ(system.GetCursor(), ArrowCursor);
    const CursorHandle hand = system.NewColourCursor(picture, 5, 31);
    ASSERT_NE(hand, 0u);
    ASSERT_NE(hand, ArrowCursor);
    ASSERT_NE(system.Cursor(hand), nullptr);
    EXPECT_EQ(system.Cursor(hand)->hotY, 31);
    EXPECT_EQ(system.NewColourCursor(picture, 32, 0), 0u); // hot spot outside
    EXPECT_EQ(system.NewColourCursor(picture, -1, 0), 0u);
    EXPECT_EQ(system.NewColourCursor(PictureView{0, 32, pixels.data()}, 0, 0), 0u);
    EXPECT_EQ(system.NewColourCursor(PictureView{32, 32, nullptr}, 0, 0), 0u);
    EXPECT_TRUE(system.SetCursor(hand));
    EXPECT_EQ(system.GetCursor(), hand);
    EXPECT_FALSE(system.SetCursor(12345));
    EXPECT_EQ(system.GetCursor(), hand);
    // Destroying the cursor in use falls back to the arrow.
    system.DestroyCursor(hand);
    EXPECT_EQ(system.GetCursor(), ArrowCursor);
    EXPECT_FALSE(system.SetCursor(hand));
    EXPECT_TRUE(system.SetCursor(ArrowCursor));
}

TEST_F(ScriptedWindow, WindowAttributes)
{
    const ScriptedWindowSystem::WindowState* state = system.State(window);
    ASSERT_NE(state, nullptr);
    EXPECT_FALSE(state->shown); // created hidden
    EXPECT_TRUE(system.Show(window));
    EXPECT_TRUE(system.IsShown(window));
    EXPECT_TRUE(system.SetTitle(window, L"The Pellwood"));
    EXPECT_EQ(state->title, L"The Pellwood");
    const std::vector<std::uint8_t> pixels(16 * 16 * 4, 0x80);
    EXPECT_TRUE(system.SetIcon(window, PictureView{16, 16, pixels.data()}));
    EXPECT_EQ(state->iconWidth, 16);
    EXPECT_FALSE(system.SetIcon(window, PictureView{16, 16, nullptr}));
    EXPECT_FALSE(system.SetClientSize(window, 0, 768));
    EXPECT_EQ(system.GetSdlWindow(window), nullptr);

    system.ShowMessageBox(window, L"Critical Error", L"Something failed.");
    ASSERT_EQ(system.MessageBoxes().size(), 1u);
    EXPECT_EQ(system.MessageBoxes()[0].caption, L"Critical Error");
    EXPECT_EQ(system.MessageBoxes()[0].owner, window);

    system.SetCreationFails(true);
    EXPECT_EQ(system.NewWindow(L"x", 10, 10, WindowStyle::Bordered), 0u);
    system.SetCreationFails(false);
    EXPECT_EQ(system.NewWindow(L"x", 0, 10, WindowStyle::Bordered), 0u);
    const WindowHandle full = system.NewWindow(L"x", 640, 480, WindowStyle::FullScreen);
    ASSERT_NE(full, 0u);
    EXPECT_EQ(system.GetStyle(full), WindowStyle::FullScreen);
    ASSERT_TRUE(system.SetStyle(full, WindowStyle::Bordered));
    int w = 0, h = 0;
    system.GetClientSize(full, w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);

    // Focus moves between windows with activation messages.
    system.Raise(window);
    system.Raise(full);
    auto taken = pump();
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_TRUE(taken[0].active);
    EXPECT_EQ(taken[0].window, window);
    EXPECT_FALSE(taken[1].active);
    EXPECT_EQ(taken[1].window, window);
    EXPECT_TRUE(taken[2].active);
    EXPECT_EQ(taken[2].window, full);
    EXPECT_TRUE(system.HasFocus(full));
    EXPECT_FALSE(system.HasFocus(window));
}
} // namespace
} // namespace Platform

namespace Platform
{
namespace
{
TEST(WindowMessageBox, WithoutADisplayTheBoxGoesToStandardError)
{
    // Keep a developer's real display out of it: a box there would wait.
    const char* previous = std::getenv("SDL_VIDEODRIVER");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    testing::internal::CaptureStderr();
    ShowSystemMessageBox(nullptr, L"Critical Error", L"Not enough \u00E9 memory.");
    const std::string written = testing::internal::GetCapturedStderr();
    if (previous != nullptr)
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(written, "Critical Error: Not enough \xC3\xA9 memory.\n");
}
} // namespace
} // namespace Platform
