// The render window on the scripted window system: placement stored and
// restored through "Window.prefs", centring and the monitor table, closing,
// the mouse (capture counting, Ctrl+left as a right click, leave), keys and
// characters, Alt+Enter and F10, activation, painting, the handle map and
// the cursor set.
#include "engine/core/app/Window.h"
#include "engine/core/app/IWindowInput.h"
#include "engine/core/app/IWindowOwner.h"
#include "engine/core/files/ProtectedXmlFile.h"
#include "engine/core/files/SettingsStore.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "platform/window/VirtualKeys.h"
#include "tests/core/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace TarnEngine;
using Platform::MessageKind;
using Platform::MonitorInfo;
using Platform::Rect;
using Platform::ScriptedWindowSystem;
using Platform::WindowMessage;

namespace
{

// The engine as the window sees it, with switches for its state and a log
// of what the window asked of it.
class FakeEngine : public IWindowOwner
{
public:
    void OnActivate() override { calls.push_back("activate"); }
    void OnDeactivate() override { calls.push_back("deactivate"); }
    void SetSuspended(bool on) override { calls.push_back(on ? "suspend" : "resume"); }
    bool IsFullscreen() const override { return fullscreen; }
    void SetFullscreen(bool full) override
    {
        calls.push_back(full ? "fullscreen" : "windowed");
        fullscreen = full;
        // As the engine switches: the window's style follows the mode.
        if (window != nullptr)
            window->ModifyStyle(full ? kWindowStyleFrame : kWindowStylePopup,
                                full ? kWindowStylePopup : kWindowStyleFrame);
    }
    bool IsStarted() const override { return started; }
    bool IsInSplash() const override { return inSplash; }
    bool CanClose() override
    {
        calls.push_back("canclose");
        return allowClose;
    }
    bool IsDeviceReady() const override { return deviceReady; }
    bool IsWindowed() const override { return !fullscreen; }
    void CheckMonitor() override { calls.push_back("checkmonitor"); }
    void PresentAgain() override { calls.push_back("present"); }

    bool fullscreen = false;
    bool started = true;
    bool inSplash = false;
    bool allowClose = true;
    bool deviceReady = true;
    Window* window = nullptr;
    std::vector<std::string> calls;
};

// The user interface's entry points, recorded as text.
class FakeInput : public IWindowInput
{
public:
    void OnKeyDown(uint32_t key) override { events.push_back("keydown " + std::to_string(key)); }
    void OnKeyUp(uint32_t key) override { events.push_back("keyup " + std::to_string(key)); }
    void OnChar(uint32_t character) override { events.push_back("char " + std::to_string(character)); }
    void OnMouseDown(int button, uint32_t keyFlags, int extra) override
    {
        events.push_back("down " + std::to_string(button) + " " + std::to_string(keyFlags) + " " +
                         std::to_string(extra));
    }
    void OnMouseUp(int button, uint32_t keyFlags, int extra) override
    {
        events.push_back("up " + std::to_string(button) + " " + std::to_string(keyFlags) + " " +
                         std::to_string(extra));
    }
    void OnMouseMove(int x, int y) override
    {
        events.push_back("move " + std::to_string(x) + " " + std::to_string(y));
    }
    void UpdateHitList(bool left) override { events.push_back(left ? "hits left" : "hits"); }
    void SetPointerInside(bool inside) override { pointerInside = inside; }
    void SetCursorCount(int count) override { cursorCounts.push_back(count); }

    std::vector<std::string> events;
    bool pointerInside = true;
    std::vector<int> cursorCounts;
};

// Scripted monitors and decoration: one 1920 x 1080 primary monitor whose
// work area leaves a 40-pixel panel, 4-pixel edges and a 30-pixel title bar.
// A 1024 x 768 client area is then centred at (448, 149).
constexpr int centredX = (1920 / 2 - 1032 / 2) + 4;
constexpr int centredY = (1040 / 2 - 802 / 2) + 30;

class WindowTest : public ::testing::Test
{
protected:
    WindowTest()
    {
        store = std::make_unique<SettingsStore>([this](bool) { return folder.EnginePath(); },
                                                [this](bool) { return folder.EnginePath(); });
    }

    // A new Window on a new window, as start-up makes it.
    std::unique_ptr<Window> open()
    {
        auto window = std::make_unique<Window>(system, engine, &input);
        engine.window = window.get();
        EXPECT_TRUE(window->Create(L"The Pellwood", Rect{0, 0, 1024, 768}));
        return window;
    }

    void close(std::unique_ptr<Window>& window)
    {
        window->Destroy();
        engine.window = nullptr;
        window.reset();
        pump(); // the Quit of the destruction
    }

    // Dispatches what is waiting; true when a Quit came.
    bool pump()
    {
        bool quit = false;
        WindowMessage message;
        for (int i = 0; i < 10000 && system.TakeMessage(message); ++i)
        {
            if (message.kind == MessageKind::Quit)
                quit = true;
            else
                system.Dispatch(message);
        }
        return quit;
    }

    std::intptr_t send(Platform::WindowHandle window, MessageKind kind, std::uint16_t key = 0)
    {
        WindowMessage message;
        message.kind = kind;
        message.window = window;
        message.key = key;
        return system.Dispatch(message);
    }

    void position(const Window& window, int& x, int& y)
    {
        ASSERT_TRUE(system.GetClientPosition(window.GetHandle(), x, y));
    }

    std::filesystem::path prefsPath() const { return folder.path / "Window.prefs"; }

    void storePlacement(const wchar_t* x, const wchar_t* y)
    {
        XmlNode root(L"Root");
        for (auto [name, value] : {std::pair{L"WindowX", x}, std::pair{L"WindowY", y}})
        {
            XmlNode* child = root.AddNewChild(name);
            child->text = value;
            child->empty = child->text.empty();
        }
        ASSERT_TRUE(SaveProtectedXml(root, *store, L"Window.prefs", SettingsStore::LocalData));
    }

    bool readPlacement(std::wstring& x, std::wstring& y)
    {
        std::unique_ptr<XmlNode> root = LoadProtectedXml(*store, L"Window.prefs", SettingsStore::LocalData);
        if (!root)
            return false;
        EXPECT_EQ(root->GetName(), L"Root");
        x = root->GetChildText(L"WindowX");
        y = root->GetChildText(L"WindowY");
        return true;
    }

    TempFolder folder;
    std::unique_ptr<SettingsStore> store;
    ScriptedWindowSystem system;
    FakeEngine engine;
    FakeInput input;
};

TEST_F(WindowTest, FirstRunCentresThenAWindowedCloseStoresThePlaceTheNextRunRestores)
{
    std::unique_ptr<Window> window = open();
    const auto* state = system.State(window->GetHandle());
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(state->shown);
    EXPECT_EQ(state->width, 1024);
    EXPECT_EQ(state->height, 768);
    EXPECT_EQ(state->title, L"The Pellwood");
    EXPECT_EQ(state->x, centredX);
    EXPECT_EQ(state->y, centredY);
    EXPECT_EQ(Window::FromHandle(window->GetHandle()), window.get());

    // The player moves the window and closes it.
    ASSERT_TRUE(system.SetClientPosition(window->GetHandle(), 200, -12));
    system.SendWindowEvent(window->GetHandle(), SDL_WINDOWEVENT_CLOSE);
    EXPECT_TRUE(pump());
    EXPECT_TRUE(system.IsWindow(window->GetHandle())) << "a granted close ends the loop, the window stays";
    std::wstring x, y;
    ASSERT_TRUE(readPlacement(x, y));
    EXPECT_EQ(x, L"200");
    EXPECT_EQ(y, L"-12");
    const Platform::WindowHandle old = window->GetHandle();
    close(window);
    EXPECT_EQ(Window::FromHandle(old), nullptr);

    // Stored and restored as client positions: no drift over runs.
    for (int run = 0; run < 3; ++run)
    {
        window = open();
        int wx = 0, wy = 0;
        position(*window, wx, wy);
        EXPECT_EQ(wx, 200) << "run " << run;
        EXPECT_EQ(wy, -12) << "run " << run;
        send(window->GetHandle(), MessageKind::Close);
        close(window);
    }

    // Shift held at start centres again.
    system.SetHeldModifiers(KMOD_LSHIFT);
    window = open();
    int wx = 0, wy = 0;
    position(*window, wx, wy);
    EXPECT_EQ(wx, centredX);
    EXPECT_EQ(wy, centredY);
}

TEST_F(WindowTest, StartPositionFromTheStoredFile)
{
    struct Case
    {
        const char* what;
        const char* bytes; // raw file content; null: no file
        bool stored;       // store these values through the protected form instead
        const wchar_t* x;
        const wchar_t* y;
        std::uint16_t modifiers;
        int expectX;
        int expectY;
        bool noMonitors = false;
    } cases[] = {
        {"no file", nullptr, false, nullptr, nullptr, 0, centredX, centredY},
        {"stored", nullptr, true, L"300", L"250", 0, 300, 250},
        {"stored, hexadecimal", nullptr, true, L"0x20", L"010", 0, 32, 8},
        {"stored, Shift held", nullptr, true, L"300", L"250", KMOD_RSHIFT, centredX, centredY},
        {"stored, Ctrl held", nullptr, true, L"300", L"250", KMOD_LCTRL, 300, 250},
        {"missing value counts 0", nullptr, true, L"", L"75", 0, 0, 75},
        {"no number counts 0", nullptr, true, L"left", L"75", 0, 0, 75},
        {"damaged file", "\x01\x02\x03 not a settings file", false, nullptr, nullptr, 0, centredX, centredY},
        {"plain XML is read too", "<Root><WindowX>40</WindowX><WindowY>50</WindowY></Root>", false, nullptr,
         nullptr, 0, 40, 50},
        // A place that no monitor shows any more (a monitor was unplugged).
        {"off every monitor", nullptr, true, L"5000", L"100", 0, centredX, centredY},
        {"huge number", nullptr, true, L"99999999999", L"100", 0, centredX, centredY},
        {"huge number, no monitor to judge by", nullptr, true, L"99999999999", L"-99999999999", 0, 32767,
         -32768, true},
        {"partly on a monitor", nullptr, true, L"-1000", L"100", 0, -1000, 100},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(prefsPath());
        if (c.stored)
            storePlacement(c.x, c.y);
        else if (c.bytes != nullptr)
            std::ofstream(prefsPath(), std::ios::binary) << c.bytes;
        system.SetHeldModifiers(c.modifiers);
        const std::vector<MonitorInfo> monitors = system.GetMonitors();
        if (c.noMonitors)
            system.SetMonitors({});
        std::unique_ptr<Window> window = open();
        int x = 0, y = 0;
        position(*window, x, y);
        EXPECT_EQ(x, c.expectX);
        EXPECT_EQ(y, c.expectY);
        EXPECT_TRUE(system.IsShown(window->GetHandle()));
        close(window);
        system.SetMonitors(monitors);
    }
}

TEST_F(WindowTest, CloseAsksTheGameAndStoresThePlaceOnlyWhenWindowed)
{
    struct Case
    {
        const char* what;
        bool started;
        bool inSplash;
        bool allow;
        bool fullscreen;
        bool asked;     // the game was asked
        bool quit;      // the loop ends
        bool destroyed; // the window went
        bool written;   // "Window.prefs" holds the new place
    } cases[] = {
        {"windowed, allowed", true, false, true, false, true, true, false, true},
        {"during the splash screens", false, true, true, false, true, true, false, true},
        {"the game refuses", true, false, false, false, true, false, false, false},
        {"full screen", true, false, true, true, true, true, false, false},
        {"before start-up finished", false, false, true, false, false, true, true, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        storePlacement(L"7", L"8"); // an earlier run's place
        std::unique_ptr<Window> window = open();
        const Platform::WindowHandle handle = window->GetHandle();
        ASSERT_TRUE(system.SetClientPosition(handle, 123, 45));
        if (c.fullscreen)
            engine.SetFullscreen(true);
        engine.started = c.started;
        engine.inSplash = c.inSplash;
        engine.allowClose = c.allow;
        engine.calls.clear();

        system.SendWindowEvent(handle, SDL_WINDOWEVENT_CLOSE);
        EXPECT_EQ(pump(), c.quit);
        EXPECT_EQ(engine.calls == std::vector<std::string>{"canclose"}, c.asked);
        EXPECT_EQ(system.IsWindow(handle), !c.destroyed);
        std::wstring x, y;
        ASSERT_TRUE(readPlacement(x, y));
        EXPECT_EQ(x, c.written ? L"123" : L"7");
        EXPECT_EQ(y, c.written ? L"45" : L"8");

        if (c.fullscreen)
            engine.SetFullscreen(false);
        close(window);
        engine.started = true;
        engine.inSplash = false;
    }
}

TEST_F(WindowTest, NoSettingsFolderStillClosesAndCentres)
{
    store = std::make_unique<SettingsStore>([](bool) { return std::wstring(); },
                                            [](bool) { return std::wstring(); });
    std::unique_ptr<Window> window = open();
    int x = 0, y = 0;
    position(*window, x, y);
    EXPECT_EQ(x, centredX);
    send(window->GetHandle(), MessageKind::Close);
    EXPECT_TRUE(pump());
}

TEST(WindowMonitors, UsableMonitorsDropSmallOnesAndPutThePrimaryFirst)
{
    auto monitor = [](int index, int left, int width, int height, bool primary)
    {
        MonitorInfo m;
        m.index = index;
        m.bounds = {left, 0, left + width, height};
        m.workArea = m.bounds;
        m.primary = primary;
        return m;
    };
    struct Case
    {
        const char* what;
        std::vector<MonitorInfo> monitors;
        std::vector<int> expected; // indices, in order
    } cases[] = {
        {"none", {}, {}},
        {"one", {monitor(0, 0, 1024, 768, true)}, {0}},
        {"exactly 800 x 600", {monitor(0, 0, 800, 600, true)}, {0}},
        {"too narrow", {monitor(0, 0, 799, 600, true)}, {}},
        {"too low", {monitor(0, 0, 800, 599, true)}, {}},
        {"primary second", {monitor(0, 0, 1280, 1024, false), monitor(1, 1280, 1920, 1080, true)}, {1, 0}},
        {"small ones around the primary",
         {monitor(0, 0, 640, 480, false), monitor(1, 640, 1024, 768, false),
          monitor(2, 1664, 320, 240, false), monitor(3, 1984, 1920, 1200, true),
          monitor(4, 3904, 800, 600, false)},
         {3, 1, 4}},
        {"no primary keeps the order",
         {monitor(0, 0, 1024, 768, false), monitor(1, 1024, 1600, 900, false)},
         {0, 1}},
        {"a small primary is dropped",
         {monitor(0, 0, 1024, 768, false), monitor(1, 1024, 640, 480, true)},
         {0}},
    };
    for (const Case& c : cases)
    {
        std::vector<int> got;
        for (const MonitorInfo& m : Window::UsableMonitors(c.monitors))
            got.push_back(m.index);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST_F(WindowTest, CentresOnThePrimaryWorkAreaWhereverItLies)
{
    MonitorInfo left;
    left.index = 0;
    left.bounds = {0, 0, 1280, 1024};
    left.workArea = {0, 0, 1280, 1024};
    MonitorInfo primary;
    primary.index = 1;
    primary.bounds = {1280, 200, 2880, 1100};
    primary.workArea = {1330, 232, 2880, 1100}; // panels at the left and the top
    primary.primary = true;
    system.SetMonitors({left, primary});

    std::unique_ptr<Window> window = open();
    int x = 0, y = 0;
    position(*window, x, y);
    EXPECT_EQ(x, 1330 + (1550 / 2 - 1032 / 2) + 4);
    EXPECT_EQ(y, 232 + (868 / 2 - 802 / 2) + 30);
    close(window);

    // No monitor of 800 x 600: no centring, the stored place (or 0, 0) stays.
    MonitorInfo tiny = primary;
    tiny.bounds = {0, 0, 640, 480};
    tiny.workArea = tiny.bounds;
    system.SetMonitors({tiny});
    window = open();
    int outX = 9, outY = 9;
    EXPECT_FALSE(window->CenterOnBestMonitor(outX, outY));
    EXPECT_EQ(outX, 9);
    position(*window, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    close(window);
    storePlacement(L"20", L"30");
    window = open();
    position(*window, x, y);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 30);
}

TEST_F(WindowTest, ControlLeftIsARightClickOnPressAndRelease)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.MovePointer(handle, 10, 20);
    system.PressKey(handle, SDLK_LCTRL);
    system.PressButton(handle, SDL_BUTTON_LEFT);
    system.ReleaseKey(handle, SDLK_LCTRL); // let go before the button
    system.ReleaseButton(handle, SDL_BUTTON_LEFT);
    system.PressButton(handle, SDL_BUTTON_LEFT); // a plain click after it
    system.ReleaseButton(handle, SDL_BUTTON_LEFT);
    system.PressKey(handle, SDLK_RCTRL);
    system.PressButton(handle, SDL_BUTTON_RIGHT); // Ctrl with the right button is left alone
    system.ReleaseButton(handle, SDL_BUTTON_RIGHT);
    system.ReleaseKey(handle, SDLK_RCTRL);
    pump();
    std::vector<std::string> clicks;
    for (const std::string& e : input.events)
        if (e.rfind("down", 0) == 0 || e.rfind("up", 0) == 0)
            clicks.push_back(e);
    const std::vector<std::string> expected = {
        "down 1 1 0", // left held flag stays, Ctrl is removed
        "up 1 0 0",   "down 0 1 0", "up 0 0 0", "down 1 10 0", "up 1 8 0",
    };
    EXPECT_EQ(clicks, expected);
}

TEST_F(WindowTest, AnEmulatedRightPressCutOffByDeactivationDoesNotTurnTheNextLeftClickRight)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.MovePointer(handle, 10, 20);
    system.PressKey(handle, SDLK_LCTRL);
    system.PressButton(handle, SDL_BUTTON_LEFT);
    system.ReleaseKey(handle, SDLK_LCTRL);
    pump();
    // The window loses the focus; the release happens in another window.
    send(handle, MessageKind::Activate);
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    pump();
    input.events.clear();
    WindowMessage press;
    press.window = handle;
    press.kind = MessageKind::ButtonDown;
    press.button = Platform::ButtonLeft;
    press.keyFlags = Platform::MouseFlagLeft;
    // Where the pointer is: the input already knows that place.
    press.x = 10;
    press.y = 20;
    system.Dispatch(press);
    press.kind = MessageKind::ButtonUp;
    press.keyFlags = 0;
    system.Dispatch(press);
    EXPECT_EQ(input.events, (std::vector<std::string>{"down 0 1 0", "up 0 0 0"}));

    // Without the deactivation, a left release after a Ctrl press is still
    // the right button's.
    input.events.clear();
    press.kind = MessageKind::ButtonDown;
    press.keyFlags = Platform::MouseFlagLeft | Platform::MouseFlagControl;
    system.Dispatch(press);
    press.kind = MessageKind::ButtonUp;
    press.keyFlags = 0;
    system.Dispatch(press);
    EXPECT_EQ(input.events, (std::vector<std::string>{"down 1 1 0", "up 1 0 0"}));
}

TEST_F(WindowTest, CaptureIsReleasedOnlyWhenAllButtonsAreUp)
{
    struct Step
    {
        Uint8 button;
        bool press;
        bool capturedAfter;
    };
    const std::vector<std::vector<Step>> scripts = {
        {{SDL_BUTTON_LEFT, true, true}, {SDL_BUTTON_LEFT, false, false}},
        {{SDL_BUTTON_LEFT, true, true},
         {SDL_BUTTON_RIGHT, true, true},
         {SDL_BUTTON_LEFT, false, true},
         {SDL_BUTTON_RIGHT, false, false}},
        {{SDL_BUTTON_RIGHT, true, true},
         {SDL_BUTTON_MIDDLE, true, true},
         {SDL_BUTTON_RIGHT, false, true},
         {SDL_BUTTON_MIDDLE, false, false}},
        {{SDL_BUTTON_LEFT, true, true},
         {SDL_BUTTON_MIDDLE, true, true},
         {SDL_BUTTON_RIGHT, true, true},
         {SDL_BUTTON_MIDDLE, false, true},
         {SDL_BUTTON_RIGHT, false, true},
         {SDL_BUTTON_LEFT, false, false}},
        // A release with nothing pressed (the press came before a
        // deactivation) leaves the count at 0.
        {{SDL_BUTTON_LEFT, false, false}, {SDL_BUTTON_LEFT, true, true}, {SDL_BUTTON_LEFT, false, false}},
    };
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.MovePointer(handle, 100, 100);
    pump();
    for (size_t s = 0; s < scripts.size(); ++s)
    {
        for (size_t i = 0; i < scripts[s].size(); ++i)
        {
            const Step& step = scripts[s][i];
            if (step.press)
                system.PressButton(handle, step.button);
            else
                system.ReleaseButton(handle, step.button);
            pump();
            EXPECT_EQ(system.GetCapture() == handle, step.capturedAfter) << "script " << s << " step " << i;
            EXPECT_EQ(system.NativeCaptureOn(), step.capturedAfter) << "script " << s << " step " << i;
        }
    }

    // Losing the focus with buttons held releases the capture and starts the
    // count again.
    system.PressButton(handle, SDL_BUTTON_LEFT);
    system.PressButton(handle, SDL_BUTTON_RIGHT);
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_LOST);
    pump();
    EXPECT_EQ(system.GetCapture(), 0u);
    EXPECT_FALSE(window->IsActive());
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.ReleaseButton(handle, SDL_BUTTON_LEFT);
    system.ReleaseButton(handle, SDL_BUTTON_RIGHT);
    system.PressButton(handle, SDL_BUTTON_MIDDLE);
    pump();
    EXPECT_EQ(system.GetCapture(), handle);
    system.ReleaseButton(handle, SDL_BUTTON_MIDDLE);
    pump();
    EXPECT_EQ(system.GetCapture(), 0u);

    // Minimising does the same.
    system.PressButton(handle, SDL_BUTTON_LEFT);
    pump();
    EXPECT_EQ(system.GetCapture(), handle);
    system.Minimise(handle);
    pump();
    EXPECT_EQ(system.GetCapture(), 0u);
}

TEST_F(WindowTest, KeysAndCharactersReachTheUserInterface)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.PressKey(handle, SDLK_a, SDL_SCANCODE_A);
    system.TypeText(handle, "a");
    system.ReleaseKey(handle, SDLK_a, SDL_SCANCODE_A);
    system.PressKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
    system.ReleaseKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
    system.PressKey(handle, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    system.TypeText(handle, "\xC3\xA9\xF0\x9F\x99\x82"); // é and a character beyond 16 bits
    system.PressKey(handle, SDLK_F5, SDL_SCANCODE_F5);
    pump();
    const std::vector<std::string> expected = {
        "keydown 65", "char 97", "keyup 65", "keydown 13",  "char 13",     "keyup 13",
        "keydown 27", "char 27", "char 233", "char 128578", "keydown 116",
    };
    EXPECT_EQ(input.events, expected);
}

TEST_F(WindowTest, AltEnterTogglesFullScreenAndF10IsSwallowed)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    pump();
    engine.calls.clear();

    system.PressKey(handle, SDLK_LALT, SDL_SCANCODE_LALT);
    system.PressKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
    system.PressKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN, true); // held: no second switch
    system.ReleaseKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
    pump();
    EXPECT_EQ(engine.calls, std::vector<std::string>{"fullscreen"});
    EXPECT_EQ(window->GetStyle(), kWindowStylePopup);
    EXPECT_EQ(system.State(handle)->style, Platform::WindowStyle::FullScreen);

    system.PressKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
    system.ReleaseKey(handle, SDLK_RETURN, SDL_SCANCODE_RETURN);
    system.ReleaseKey(handle, SDLK_LALT, SDL_SCANCODE_LALT);
    pump();
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"fullscreen", "windowed"}));
    EXPECT_EQ(window->GetStyle(), kWindowStyleFrame);
    EXPECT_TRUE(input.events.empty()) << "menu keys are not input";

    // F10 and Alt+F10 are answered by the window, so no window menu opens;
    // other system keys go on to the default handling.
    WindowMessage f10;
    f10.kind = MessageKind::SystemKeyDown;
    f10.window = handle;
    f10.key = Platform::VirtualKey::F10;
    EXPECT_EQ(system.Dispatch(f10), 1);
    f10.altDown = true;
    EXPECT_EQ(system.Dispatch(f10), 1);
    f10.key = Platform::VirtualKey::Function(4);
    EXPECT_EQ(system.Dispatch(f10), 0);
    system.PressKey(handle, SDLK_F10, SDL_SCANCODE_F10);
    system.ReleaseKey(handle, SDLK_F10, SDL_SCANCODE_F10);
    pump();
    EXPECT_TRUE(input.events.empty());
    EXPECT_EQ(engine.calls.size(), 2u);

    // A menu key other than Enter is not a switch.
    WindowMessage menu;
    menu.kind = MessageKind::KeyMenu;
    menu.window = handle;
    menu.character = 'f';
    EXPECT_EQ(system.Dispatch(menu), 0);
    EXPECT_EQ(engine.calls.size(), 2u);
}

TEST_F(WindowTest, ActivationMinimisePaintAndDisplayChange)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    engine.calls.clear();

    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    pump();
    EXPECT_TRUE(window->IsActive());
    EXPECT_TRUE(window->IsForeground());
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_EXPOSED);
    system.DisplaysChanged();
    pump();
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"activate", "present", "checkmonitor"}));

    // Minimised: deactivated, nothing presented.
    engine.calls.clear();
    system.Minimise(handle);
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_EXPOSED);
    pump();
    EXPECT_FALSE(window->IsActive());
    EXPECT_FALSE(window->IsForeground());
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"deactivate", "deactivate"}));
    engine.calls.clear();
    system.Restore(handle);
    pump();
    EXPECT_TRUE(window->IsActive());
    EXPECT_EQ(engine.calls, std::vector<std::string>{"activate"});

    // No ready device, or the splash screens: no present; no monitor check.
    struct Case
    {
        bool ready;
        bool splash;
        std::vector<std::string> calls;
    } cases[] = {
        {true, false, {"present", "checkmonitor"}},
        {false, false, {}},
        {true, true, {"checkmonitor"}},
    };
    for (const Case& c : cases)
    {
        engine.deviceReady = c.ready;
        engine.inSplash = c.splash;
        engine.calls.clear();
        EXPECT_EQ(send(handle, MessageKind::Paint), 1);
        EXPECT_EQ(send(handle, MessageKind::DisplayChange), 1);
        EXPECT_EQ(engine.calls, c.calls) << c.ready << c.splash;
    }
}

TEST_F(WindowTest, AMoveChecksTheMonitorAndReactivatesOnlyAWindowInFront)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    pump();
    engine.calls.clear();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_MOVED, 300, 200);
    pump();
    EXPECT_EQ(engine.calls, (std::vector<std::string>{"checkmonitor", "activate"}));

    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_LOST);
    pump();
    engine.calls.clear();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_MOVED, 0, 0);
    pump();
    EXPECT_EQ(engine.calls, std::vector<std::string>{"checkmonitor"});
}

TEST_F(WindowTest, SessionNoticesSuspendAndTheReturnRepaints)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    pump();
    struct Case
    {
        Platform::SessionChange change;
        std::vector<std::string> calls;
    } cases[] = {
        {Platform::SessionChange::SessionLock, {"suspend"}},
        {Platform::SessionChange::SessionUnlock, {"resume", "present"}},
        {Platform::SessionChange::ConsoleDisconnect, {"suspend"}},
        {Platform::SessionChange::ConsoleConnect, {"resume", "present"}},
        {Platform::SessionChange::None, {}},
    };
    for (const Case& c : cases)
    {
        engine.calls.clear();
        WindowMessage message;
        message.kind = MessageKind::SessionChange;
        message.window = handle;
        message.sessionChange = c.change;
        system.Dispatch(message);
        pump(); // the repaint asked for
        EXPECT_EQ(engine.calls, c.calls) << int(c.change);
    }
}

TEST_F(WindowTest, TheGamesCursorIsSetWhileThePointerIsOverTheClientArea)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    ASSERT_TRUE(window->cursors.Load({106, 108}));
    system.SetCursor(Platform::ArrowCursor);

    window->cursors.current = 1;
    system.MovePointer(handle, 10, 10);
    pump();
    EXPECT_EQ(system.GetCursor(), window->cursors.At(1));

    // An index outside the set leaves the pointer to the window's default, the arrow.
    window->cursors.current = 5;
    system.MovePointer(handle, 11, 10);
    pump();
    EXPECT_EQ(system.GetCursor(), Platform::ArrowCursor);

    // While a press holds the mouse the shape stays as it is, also outside.
    window->cursors.current = 0;
    system.PressButton(handle, SDL_BUTTON_LEFT);
    system.MovePointer(handle, 12, 10);
    system.MovePointer(handle, -40, 10);
    pump();
    EXPECT_EQ(system.GetCursor(), Platform::ArrowCursor);
    system.ReleaseButton(handle, SDL_BUTTON_LEFT);
    system.MovePointer(handle, 13, 10);
    pump();
    EXPECT_EQ(system.GetCursor(), window->cursors.At(0));
}

TEST_F(WindowTest, PointerFollowedWhenActiveOrFullScreenAndLeaveShowsTheSystemPointer)
{
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();

    // Inactive and bordered: the pointer passing over is ignored, but a leave
    // notice is asked for.
    system.MovePointer(handle, 5, 6);
    pump();
    EXPECT_TRUE(input.events.empty());
    // A press there is still a press at that place: the position comes first.
    system.PressButton(handle, SDL_BUTTON_LEFT);
    system.ReleaseButton(handle, SDL_BUTTON_LEFT);
    pump();
    EXPECT_EQ(input.events, (std::vector<std::string>{"move 5 6", "down 0 1 0", "up 0 0 0"}));
    input.events.clear();
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_GAINED);
    system.MovePointer(handle, 7, 8);
    pump(); // the position is read when the message is handled
    system.MovePointer(handle, 9, 10);
    pump();
    EXPECT_EQ(input.events, (std::vector<std::string>{"move 7 8", "move 9 10"}));

    // The custom cursor has hidden the system pointer twice over; leaving
    // shows it again and keeps each count.
    system.ShowPointer(false);
    system.ShowPointer(false);
    input.events.clear();
    system.PointerLeaves(handle);
    pump();
    EXPECT_EQ(input.events, std::vector<std::string>{"hits left"});
    EXPECT_FALSE(input.pointerInside);
    EXPECT_EQ(input.cursorCounts, (std::vector<int>{-1, 0}));
    EXPECT_TRUE(system.PointerVisible());

    // One leave per stay: coming back asks for a new notice.
    input.events.clear();
    system.MovePointer(handle, 1, 2);
    system.PointerLeaves(handle);
    system.PointerLeaves(handle);
    pump();
    EXPECT_EQ(input.events, (std::vector<std::string>{"move 1 2", "hits left"}));

    // Full screen follows the pointer even while inactive.
    engine.SetFullscreen(true);
    system.SendWindowEvent(handle, SDL_WINDOWEVENT_FOCUS_LOST);
    input.events.clear();
    system.MovePointer(handle, 30, 40);
    pump();
    EXPECT_EQ(input.events, std::vector<std::string>{"move 30 40"});
}

TEST_F(WindowTest, ClientSizeArithmeticStyleAndIcons)
{
    std::unique_ptr<Window> window = open();
    int width = 0, height = 0;
    window->GetOuterSizeForClient(1024, 768, width, height);
    EXPECT_EQ(width, 1032);
    EXPECT_EQ(height, 802);
    Rect rect;
    ASSERT_TRUE(window->GetRect(rect));
    EXPECT_EQ(rect, (Rect{centredX - 4, centredY - 30, centredX + 1028, centredY + 772}));

    EXPECT_TRUE(window->SetClientSize(800, 600, false));
    EXPECT_FALSE(pump()) << "nothing to paint";
    EXPECT_TRUE(window->SetClientSize(1024, 768, true));
    engine.calls.clear();
    pump();
    EXPECT_EQ(engine.calls, std::vector<std::string>{"present"});

    EXPECT_EQ(window->GetStyle(), kWindowStyleFrame);
    EXPECT_TRUE(window->ModifyStyle(kWindowStyleFrame, kWindowStylePopup));
    EXPECT_EQ(window->GetStyle(), kWindowStylePopup);
    window->GetOuterSizeForClient(1024, 768, width, height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);
    EXPECT_TRUE(window->ModifyStyle(0, 0x00010000)); // other bits keep the mode
    EXPECT_EQ(window->GetStyle(), kWindowStylePopup);
    EXPECT_TRUE(window->ModifyStyle(kWindowStylePopup, kWindowStyleFrame));
    EXPECT_EQ(window->GetStyle(), kWindowStyleFrame);
    int x = 0, y = 0;
    position(*window, x, y);
    EXPECT_EQ(x, centredX) << "back from full screen at the same place";

    const std::vector<std::uint8_t> small(16 * 16 * 4, 0x80), big(32 * 32 * 4, 0x80);
    const Platform::PictureView smallIcon{16, 16, small.data()}, bigIcon{32, 32, big.data()};
    window->SetIcons(&smallIcon, nullptr);
    EXPECT_EQ(system.State(window->GetHandle())->iconWidth, 16);
    window->SetIcons(&smallIcon, &bigIcon);
    EXPECT_EQ(system.State(window->GetHandle())->iconWidth, 32);
    window->SetIcons(nullptr, nullptr);
    EXPECT_EQ(system.State(window->GetHandle())->iconWidth, 32);
}

TEST_F(WindowTest, HandleMapAdoptionAndTheWindowsEnd)
{
    // A window made by someone else keeps its own handler until adopted, and
    // gets it back when released.
    struct Counter : Platform::MessageHandler
    {
        std::intptr_t OnMessage(const WindowMessage&) override { return ++count; }
        int count = 0;
    } previous;
    const Platform::WindowHandle foreign =
        system.NewWindow(L"Host", 640, 480, Platform::WindowStyle::Bordered);
    system.SetHandler(foreign, &previous);
    {
        Window window(system, engine, &input);
        EXPECT_FALSE(window.Adopt(foreign + 100));
        ASSERT_TRUE(window.Adopt(foreign));
        EXPECT_TRUE(window.IsAdopted());
        EXPECT_EQ(Window::FromHandle(foreign), &window);
        EXPECT_EQ(send(foreign, MessageKind::KeyDown, 'Q'), 1);
        EXPECT_EQ(input.events, std::vector<std::string>{"keydown 81"});
        EXPECT_EQ(previous.count, 0);
        window.ReleaseAdopted();
        EXPECT_EQ(window.GetHandle(), 0u);
        EXPECT_EQ(Window::FromHandle(foreign), nullptr);
        send(foreign, MessageKind::KeyDown, 'Q');
        EXPECT_EQ(previous.count, 1);
        // Deleting an adopting Window gives the window back too.
        ASSERT_TRUE(window.Adopt(foreign));
    }
    EXPECT_TRUE(system.IsWindow(foreign));
    EXPECT_EQ(Window::FromHandle(foreign), nullptr);
    send(foreign, MessageKind::KeyDown, 'Q');
    EXPECT_EQ(previous.count, 2);

    // A Window deleted while its window is full screen (which the engine's
    // shutdown does not destroy) takes the window and its map entry along.
    std::unique_ptr<Window> window = open();
    const Platform::WindowHandle handle = window->GetHandle();
    engine.SetFullscreen(true);
    engine.window = nullptr;
    window.reset();
    EXPECT_FALSE(system.IsWindow(handle));
    EXPECT_EQ(Window::FromHandle(handle), nullptr);

    // Creation failing leaves no trace.
    system.SetCreationFails(true);
    Window failed(system, engine, &input);
    EXPECT_FALSE(failed.Create(L"x", Rect{0, 0, 1024, 768}));
    EXPECT_EQ(failed.GetHandle(), 0u);
}

TEST_F(WindowTest, CursorsFromResourceIdsWithTheArrowInPlaceOfMissingOnes)
{
    std::unique_ptr<Window> window = open();
    // Only the low 16 bits of an id name the resource.
    const std::vector<uint32_t> ids = {106, 999, (2u << 16) | 108u, 102};
    EXPECT_TRUE(window->cursors.Load(ids));
    ASSERT_EQ(window->cursors.Count(), 4u);
    EXPECT_NE(window->cursors.At(0), Platform::ArrowCursor);
    EXPECT_EQ(window->cursors.At(1), Platform::ArrowCursor);
    ASSERT_NE(system.Cursor(window->cursors.At(2)), nullptr);
    EXPECT_EQ(system.Cursor(window->cursors.At(2))->hotX, 12) << "the pointing hand's fingertip";
    EXPECT_EQ(system.Cursor(window->cursors.At(2))->hotY, 1);
    ASSERT_NE(system.Cursor(window->cursors.At(3)), nullptr);
    EXPECT_EQ(system.Cursor(window->cursors.At(3))->hotX, 16);

    struct Case
    {
        uint32_t current;
        bool applied;
        Platform::CursorHandle shown;
    } cases[] = {
        {0, true, window->cursors.At(0)},
        {1, true, Platform::ArrowCursor},
        {3, true, window->cursors.At(3)},
        {4, false, window->cursors.At(3)}, // outside: the pointer stays
        {0xFFFFFFFF, false, window->cursors.At(3)},
    };
    for (const Case& c : cases)
    {
        window->cursors.current = c.current;
        EXPECT_EQ(window->cursors.Apply(), c.applied) << c.current;
        EXPECT_EQ(system.GetCursor(), c.shown) << c.current;
    }

    // Loading again frees the cursors made before.
    const Platform::CursorHandle old = window->cursors.At(0);
    EXPECT_TRUE(window->cursors.Load({102}));
    EXPECT_EQ(system.Cursor(old), nullptr);
    EXPECT_EQ(window->cursors.Count(), 1u);
    const Platform::CursorHandle last = window->cursors.At(0);
    window.reset();
    EXPECT_EQ(system.Cursor(last), nullptr) << "the set is freed with the window";
}

} // namespace
