// The SDL2 variant of the window system: real windows, displays, cursors and
// the SDL event queue. Keys held before any window has the keyboard focus are
// asked of the X server directly (libX11, loaded at run time), because SDL
// only learns the keyboard state from a focused window and start-up samples
// Shift and Ctrl before the window exists.
#include "platform/system/Utf8.h"
#include "platform/window/KeyMapping.h"
#include "platform/window/MessageBox.h"
#include "platform/window/RendererChoice.h"
#include "platform/window/VirtualKeys.h"
#include "platform/window/WindowSystem.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace Platform
{
namespace
{
void logFailure(const char* what)
{
    SDL_LogError(SDL_LOG_CATEGORY_VIDEO, "window: %s: %s", what, SDL_GetError());
}

// libX11, which SDL has loaded already: this only takes another reference, kept for the life of
// the process.
void* x11Library()
{
    static void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    return library;
}

// What ReleaseDisplayGrabs needs of SDL's X11 connection, taken when a
// window is made so that releasing loads and asks nothing.
struct X11Grabs
{
    using UngrabFn = int (*)(void*, unsigned long);
    using SyncFn = int (*)(void*, int);
    std::atomic<void*> display{nullptr};
    UngrabFn ungrabPointer = nullptr;
    UngrabFn ungrabKeyboard = nullptr;
    SyncFn sync = nullptr;
    // The thread that made the window and so drives SDL's connection.
    std::thread::id owner;
};

X11Grabs& x11Grabs()
{
    static X11Grabs grabs;
    return grabs;
}

void rememberX11Connection(SDL_Window* window)
{
    X11Grabs& grabs = x11Grabs();
    if (grabs.display.load() != nullptr)
        return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
        return;
    void* library = x11Library();
    if (library == nullptr)
        return;
    grabs.ungrabPointer = reinterpret_cast<X11Grabs::UngrabFn>(dlsym(library, "XUngrabPointer"));
    grabs.ungrabKeyboard = reinterpret_cast<X11Grabs::UngrabFn>(dlsym(library, "XUngrabKeyboard"));
    grabs.sync = reinterpret_cast<X11Grabs::SyncFn>(dlsym(library, "XSync"));
    if (grabs.ungrabPointer != nullptr && grabs.ungrabKeyboard != nullptr && grabs.sync != nullptr)
    {
        grabs.owner = std::this_thread::get_id();
        grabs.display.store(info.info.x11.display);
    }
}

// The modifier state of the X server's keyboard as SDL modifiers, asked
// through SDL's connection or one of our own. False when the video driver is not X11 or
// the server cannot be reached.
bool queryX11Modifiers(std::uint16_t& modifiers)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "x11") != 0)
        return false;
    using OpenDisplayFn = void* (*)(const char*);
    using RootWindowFn = unsigned long (*)(void*);
    using QueryPointerFn =
        int (*)(void*, unsigned long, unsigned long*, unsigned long*, int*, int*, int*, int*, unsigned int*);
    void* library = x11Library();
    if (library == nullptr)
        return false;
    auto openDisplay = reinterpret_cast<OpenDisplayFn>(dlsym(library, "XOpenDisplay"));
    auto rootWindow = reinterpret_cast<RootWindowFn>(dlsym(library, "XDefaultRootWindow"));
    auto queryPointer = reinterpret_cast<QueryPointerFn>(dlsym(library, "XQueryPointer"));
    if (openDisplay == nullptr || rootWindow == nullptr || queryPointer == nullptr)
        return false;
    // Once a window exists, SDL's own connection answers on the thread that drives it. Before that,
    // or on another thread, one connection of our own, made on the first question and kept: each
    // new connection costs a handshake with the server.
    static std::mutex guard;
    static void* own = nullptr;
    std::unique_lock<std::mutex> lock(guard, std::defer_lock);
    X11Grabs& grabs = x11Grabs();
    void* display = grabs.display.load();
    if (display == nullptr || std::this_thread::get_id() != grabs.owner)
    {
        lock.lock();
        if (own == nullptr)
            own = openDisplay(nullptr);
        display = own;
    }
    if (display == nullptr)
        return false;
    unsigned long root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    if (queryPointer(display, rootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask) == 0)
        return false;
    // Core protocol modifier bits: Shift, Lock, Control, Mod1 (Alt).
    modifiers = 0;
    if (mask & 0x1)
        modifiers |= KMOD_LSHIFT;
    if (mask & 0x2)
        modifiers |= KMOD_CAPS;
    if (mask & 0x4)
        modifiers |= KMOD_LCTRL;
    if (mask & 0x8)
        modifiers |= KMOD_LALT;
    return true;
}

class SdlWindowSystem final : public WindowSystem
{
public:
    SdlWindowSystem() = default;
    ~SdlWindowSystem() override;

    bool Start();

    WindowHandle NewWindow(const std::wstring& title, int clientWidth, int clientHeight,
                           WindowStyle style) override;
    bool IsWindow(WindowHandle window) const override { return windows_.count(window) != 0; }
    std::vector<WindowHandle> Windows() const override;
    bool SetTitle(WindowHandle window, const std::wstring& title) override;
    bool SetIcon(WindowHandle window, const PictureView& picture) override;
    bool GetClientSize(WindowHandle window, int& width, int& height) const override;
    bool SetClientSize(WindowHandle window, int width, int height) override;
    bool GetClientPosition(WindowHandle window, int& x, int& y) const override;
    bool SetClientPosition(WindowHandle window, int x, int y) override;
    bool GetBorders(WindowHandle window, Borders& borders) const override;
    WindowStyle GetStyle(WindowHandle window) const override;
    bool SetStyle(WindowHandle window, WindowStyle style) override;
    bool Show(WindowHandle window) override;
    bool Hide(WindowHandle window) override;
    bool Raise(WindowHandle window) override;
    bool Minimise(WindowHandle window) override;
    bool Restore(WindowHandle window) override;
    bool IsShown(WindowHandle window) const override { return hasFlag(window, SDL_WINDOW_SHOWN); }
    bool IsMinimised(WindowHandle window) const override { return hasFlag(window, SDL_WINDOW_MINIMIZED); }
    bool HasFocus(WindowHandle window) const override { return hasFlag(window, SDL_WINDOW_INPUT_FOCUS); }
    SDL_Window* GetSdlWindow(WindowHandle window) const override;

    std::vector<MonitorInfo> GetMonitors() const override;
    int GetWindowMonitor(WindowHandle window) const override;
    bool GetDesktopMode(int monitor, DisplayMode& mode) const override;

    bool GetCursorClientPosition(WindowHandle window, int& x, int& y) const override;
    bool IsKeyHeld(std::uint16_t virtualKey) const override;
    bool IsCapsLockOn() const override;

    CursorHandle NewColourCursor(const PictureView& picture, int hotX, int hotY) override;
    void DestroyCursor(CursorHandle cursor) override;
    bool SetCursor(CursorHandle cursor) override;
    CursorHandle GetCursor() const override { return currentCursor_; }

    void ShowMessageBox(WindowHandle owner, const std::wstring& caption, const std::wstring& text) override;

protected:
    bool PollEvent(SDL_Event& event) override { return SDL_PollEvent(&event) != 0; }
    void DestroyNativeWindow(WindowHandle window) override;
    void SetNativeCapture(WindowHandle window, bool on) override;
    void SetPointerVisible(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

private:
    struct WindowRecord
    {
        SDL_Window* window = nullptr;
        WindowStyle style = WindowStyle::Bordered;
        // Client rectangle to go back to when full screen ends.
        int windowedX = 0;
        int windowedY = 0;
        int windowedWidth = 0;
        int windowedHeight = 0;
    };

    SDL_Window* find(WindowHandle window) const;
    bool hasFlag(WindowHandle window, Uint32 flag) const;
    std::uint16_t currentModifiers() const;

    bool started_ = false;
    std::map<WindowHandle, WindowRecord> windows_;
    std::map<CursorHandle, SDL_Cursor*> cursors_;
    SDL_Cursor* arrow_ = nullptr;
    CursorHandle nextCursor_ = ArrowCursor + 1;
    CursorHandle currentCursor_ = ArrowCursor;
    bool cursorShown_ = false; // currentCursor_ has been given to SDL
};

SdlWindowSystem::~SdlWindowSystem()
{
    for (auto& [handle, record] : windows_)
        SDL_DestroyWindow(record.window);
    windows_.clear();
    for (auto& [handle, cursor] : cursors_)
        SDL_FreeCursor(cursor);
    if (arrow_ != nullptr)
        SDL_FreeCursor(arrow_);
    // SDL's connection closes with its video: a later crash has nothing to release.
    x11Grabs().display.store(nullptr);
    if (started_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlWindowSystem::Start()
{
    // Signals belong to the program's own crash handling, not to SDL.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // The click that activates the window is also a click in the game.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    {
        logFailure("video start");
        return false;
    }
    // Without a display SDL falls back to a driver that shows nothing: the game would run unseen.
    // Such a driver is taken only when asked for by name (the tests do).
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    const bool unseen =
        driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (unseen && (asked == nullptr || std::strcmp(asked, driver) != 0))
    {
        // Said on standard error whatever the log settings: no box can show it.
        std::fprintf(stderr,
                     "No display to open the window on: DISPLAY and WAYLAND_DISPLAY are not usable.\n");
        std::fflush(stderr);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    started_ = true;
    return true;
}

SDL_Window* SdlWindowSystem::find(WindowHandle window) const
{
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.window;
}

bool SdlWindowSystem::hasFlag(WindowHandle window, Uint32 flag) const
{
    SDL_Window* w = find(window);
    return w != nullptr && (SDL_GetWindowFlags(w) & flag) != 0;
}

WindowHandle SdlWindowSystem::NewWindow(const std::wstring& title, int clientWidth, int clientHeight,
                                        WindowStyle style)
{
    if (clientWidth <= 0 || clientHeight <= 0)
    {
        SDL_LogError(SDL_LOG_CATEGORY_VIDEO, "window: bad client size %dx%d", clientWidth, clientHeight);
        return 0;
    }
    Uint32 flags = SDL_WINDOW_HIDDEN;
    // Made for the renderer that will draw it, so that making that renderer
    // does not re-create (and show a second time) the window.
    if (WindowsWantGl())
        flags |= SDL_WINDOW_OPENGL;
    if (style == WindowStyle::FullScreen)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    SDL_Window* window = SDL_CreateWindow(Utf8FromWide(title).c_str(), SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, clientWidth, clientHeight, flags);
    // A GL that cannot be loaded leaves the software renderer, which needs no GL window.
    if (window == nullptr && (flags & SDL_WINDOW_OPENGL) != 0)
        window = SDL_CreateWindow(Utf8FromWide(title).c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                  clientWidth, clientHeight, flags & ~Uint32(SDL_WINDOW_OPENGL));
    if (window == nullptr)
    {
        logFailure("create");
        return 0;
    }
    const WindowHandle handle = SDL_GetWindowID(window);
    rememberX11Connection(window);
    WindowRecord record;
    record.window = window;
    record.style = style;
    SDL_GetWindowPosition(window, &record.windowedX, &record.windowedY);
    record.windowedWidth = clientWidth;
    record.windowedHeight = clientHeight;
    windows_[handle] = record;
    SDL_StartTextInput();
    return handle;
}

std::vector<WindowHandle> SdlWindowSystem::Windows() const
{
    std::vector<WindowHandle> list;
    for (const auto& [handle, record] : windows_)
        list.push_back(handle);
    return list;
}

void SdlWindowSystem::DestroyNativeWindow(WindowHandle window)
{
    auto it = windows_.find(window);
    if (it == windows_.end())
        return;
    SDL_DestroyWindow(it->second.window);
    windows_.erase(it);
}

bool SdlWindowSystem::SetTitle(WindowHandle window, const std::wstring& title)
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_SetWindowTitle(w, Utf8FromWide(title).c_str());
    return true;
}

bool SdlWindowSystem::SetIcon(WindowHandle window, const PictureView& picture)
{
    SDL_Window* w = find(window);
    if (w == nullptr || picture.width <= 0 || picture.height <= 0 || picture.rgba == nullptr)
        return false;
    // SDL reads the pixels only while making the icon; it does not write them.
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(picture.rgba), picture.width,
                                           picture.height, 32, picture.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr)
    {
        logFailure("icon");
        return false;
    }
    SDL_SetWindowIcon(w, surface);
    SDL_FreeSurface(surface);
    return true;
}

bool SdlWindowSystem::GetClientSize(WindowHandle window, int& width, int& height) const
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_GetWindowSize(w, &width, &height);
    return true;
}

bool SdlWindowSystem::SetClientSize(WindowHandle window, int width, int height)
{
    auto it = windows_.find(window);
    if (it == windows_.end() || width <= 0 || height <= 0)
        return false;
    WindowRecord& record = it->second;
    if (record.style == WindowStyle::FullScreen)
    {
        // Full screen keeps the display's size; the size is the one to go
        // back to.
        record.windowedWidth = width;
        record.windowedHeight = height;
        return true;
    }
    SDL_SetWindowSize(record.window, width, height);
    return true;
}

bool SdlWindowSystem::GetClientPosition(WindowHandle window, int& x, int& y) const
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_GetWindowPosition(w, &x, &y);
    return true;
}

bool SdlWindowSystem::SetClientPosition(WindowHandle window, int x, int y)
{
    auto it = windows_.find(window);
    if (it == windows_.end())
        return false;
    WindowRecord& record = it->second;
    if (record.style == WindowStyle::FullScreen)
    {
        record.windowedX = x;
        record.windowedY = y;
        return true;
    }
    SDL_SetWindowPosition(record.window, x, y);
    return true;
}

bool SdlWindowSystem::GetBorders(WindowHandle window, Borders& borders) const
{
    auto it = windows_.find(window);
    if (it == windows_.end())
        return false;
    borders = {};
    if (it->second.style == WindowStyle::FullScreen)
        return true;
    int top = 0, left = 0, bottom = 0, right = 0;
    // Without a window manager, or before one has framed the window, there
    // is no decoration to tell.
    if (SDL_GetWindowBordersSize(it->second.window, &top, &left, &bottom, &right) == 0)
        borders = {left, top, right, bottom};
    return true;
}

WindowStyle SdlWindowSystem::GetStyle(WindowHandle window) const
{
    auto it = windows_.find(window);
    return it == windows_.end() ? WindowStyle::Bordered : it->second.style;
}

bool SdlWindowSystem::SetStyle(WindowHandle window, WindowStyle style)
{
    auto it = windows_.find(window);
    if (it == windows_.end())
        return false;
    WindowRecord& record = it->second;
    if (record.style == style)
        return true;
    if (style == WindowStyle::FullScreen)
    {
        SDL_GetWindowPosition(record.window, &record.windowedX, &record.windowedY);
        SDL_GetWindowSize(record.window, &record.windowedWidth, &record.windowedHeight);
        if (SDL_SetWindowFullscreen(record.window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
        {
            logFailure("full screen");
            return false;
        }
        record.style = style;
        return true;
    }
    if (SDL_SetWindowFullscreen(record.window, 0) != 0)
    {
        logFailure("leave full screen");
        return false;
    }
    record.style = style;
    SDL_SetWindowSize(record.window, record.windowedWidth, record.windowedHeight);
    SDL_SetWindowPosition(record.window, record.windowedX, record.windowedY);
    return true;
}

bool SdlWindowSystem::Show(WindowHandle window)
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_ShowWindow(w);
    return true;
}

bool SdlWindowSystem::Hide(WindowHandle window)
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_HideWindow(w);
    return true;
}

bool SdlWindowSystem::Raise(WindowHandle window)
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_RaiseWindow(w);
    return true;
}

bool SdlWindowSystem::Minimise(WindowHandle window)
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_MinimizeWindow(w);
    return true;
}

bool SdlWindowSystem::Restore(WindowHandle window)
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    SDL_RestoreWindow(w);
    return true;
}

SDL_Window* SdlWindowSystem::GetSdlWindow(WindowHandle window) const
{
    return find(window);
}

std::vector<MonitorInfo> SdlWindowSystem::GetMonitors() const
{
    std::vector<MonitorInfo> monitors;
    const int count = SDL_GetNumVideoDisplays();
    for (int i = 0; i < count; ++i)
    {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(i, &bounds) != 0)
            continue;
        SDL_Rect usable = bounds;
        if (SDL_GetDisplayUsableBounds(i, &usable) != 0)
            usable = bounds;
        MonitorInfo info;
        info.index = i;
        info.bounds = {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
        info.workArea = {usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
        // SDL lists the primary display first.
        info.primary = i == 0;
        monitors.push_back(info);
    }
    return monitors;
}

int SdlWindowSystem::GetWindowMonitor(WindowHandle window) const
{
    SDL_Window* w = find(window);
    return w == nullptr ? -1 : SDL_GetWindowDisplayIndex(w);
}

bool SdlWindowSystem::GetDesktopMode(int monitor, DisplayMode& mode) const
{
    SDL_DisplayMode desktop;
    if (SDL_GetDesktopDisplayMode(monitor, &desktop) != 0)
        return false;
    mode = {desktop.w, desktop.h, desktop.refresh_rate};
    return true;
}

bool SdlWindowSystem::GetCursorClientPosition(WindowHandle window, int& x, int& y) const
{
    SDL_Window* w = find(window);
    if (w == nullptr)
        return false;
    // Over our window the position of the newest pointer event is exact; the global query can
    // lag behind pointer moves that arrive without raw input events (synthesised input, some
    // remote displays).
    if (SDL_GetMouseFocus() == w)
    {
        SDL_GetMouseState(&x, &y);
        return true;
    }
    int globalX = 0, globalY = 0, left = 0, top = 0;
    SDL_GetGlobalMouseState(&globalX, &globalY);
    SDL_GetWindowPosition(w, &left, &top);
    x = globalX - left;
    y = globalY - top;
    return true;
}

std::uint16_t SdlWindowSystem::currentModifiers() const
{
    if (SDL_GetKeyboardFocus() == nullptr)
    {
        std::uint16_t modifiers = 0;
        if (queryX11Modifiers(modifiers))
            return modifiers;
    }
    // Key messages are handled one at a time, and the state asked for is the one of the key being
    // handled: that of the newest key event taken so far. SDL's own state already counts keys still
    // waiting in its queue, so a Shift let go quickly after a letter would make the letter small.
    return TrackedModifiers();
}

bool SdlWindowSystem::IsKeyHeld(std::uint16_t virtualKey) const
{
    return ModifiersHoldKey(currentModifiers(), virtualKey);
}

bool SdlWindowSystem::IsCapsLockOn() const
{
    return (currentModifiers() & KMOD_CAPS) != 0;
}

CursorHandle SdlWindowSystem::NewColourCursor(const PictureView& picture, int hotX, int hotY)
{
    if (picture.width <= 0 || picture.height <= 0 || picture.rgba == nullptr || hotX < 0 || hotY < 0 ||
        hotX >= picture.width || hotY >= picture.height)
    {
        SDL_LogError(SDL_LOG_CATEGORY_VIDEO, "window: bad cursor picture");
        return 0;
    }
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint8_t*>(picture.rgba), picture.width,
                                           picture.height, 32, picture.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface == nullptr)
    {
        logFailure("cursor picture");
        return 0;
    }
    SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hotX, hotY);
    SDL_FreeSurface(surface);
    if (cursor == nullptr)
    {
        logFailure("cursor");
        return 0;
    }
    const CursorHandle handle = nextCursor_++;
    cursors_[handle] = cursor;
    return handle;
}

void SdlWindowSystem::DestroyCursor(CursorHandle cursor)
{
    auto it = cursors_.find(cursor);
    if (it == cursors_.end())
        return;
    if (currentCursor_ == cursor)
        SetCursor(ArrowCursor);
    SDL_FreeCursor(it->second);
    cursors_.erase(it);
}

bool SdlWindowSystem::SetCursor(CursorHandle cursor)
{
    // The window sets its cursor at every move of the pointer; only a change
    // goes to the display server.
    if (cursor == currentCursor_ && cursorShown_)
        return true;
    SDL_Cursor* sdlCursor = nullptr;
    if (cursor == ArrowCursor)
    {
        if (arrow_ == nullptr)
            arrow_ = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
        sdlCursor = arrow_ != nullptr ? arrow_ : SDL_GetDefaultCursor();
    }
    else
    {
        auto it = cursors_.find(cursor);
        if (it == cursors_.end())
            return false;
        sdlCursor = it->second;
    }
    if (sdlCursor != nullptr)
        SDL_SetCursor(sdlCursor);
    currentCursor_ = cursor;
    cursorShown_ = sdlCursor != nullptr;
    return true;
}

void SdlWindowSystem::SetNativeCapture(WindowHandle, bool on)
{
    // SDL captures for the focused window only; without the focus the capture
    // is kept as state and the pointer is simply not held.
    SDL_CaptureMouse(on ? SDL_TRUE : SDL_FALSE);
}

void SdlWindowSystem::ShowMessageBox(WindowHandle owner, const std::wstring& caption,
                                     const std::wstring& text)
{
    ShowSystemMessageBox(find(owner), caption, text);
}
} // namespace

void ReleaseDisplayGrabs()
{
    X11Grabs& grabs = x11Grabs();
    void* display = grabs.display.load();
    if (display == nullptr)
        return;
    // SDL's own record of what it holds goes first: a message box shown
    // through SDL afterwards gives back whatever SDL believes it holds.
    if (SDL_Window* grabbed = SDL_GetGrabbedWindow())
    {
        SDL_SetWindowMouseGrab(grabbed, SDL_FALSE);
        SDL_SetWindowKeyboardGrab(grabbed, SDL_FALSE);
    }
    SDL_CaptureMouse(SDL_FALSE);
    // Grabs belong to the connection that made them, so they are released on
    // SDL's own; the round trip makes sure the server has done it before
    // anything else is shown.
    const unsigned long currentTime = 0;
    grabs.ungrabPointer(display, currentTime);
    grabs.ungrabKeyboard(display, currentTime);
    grabs.sync(display, 0);
}

std::unique_ptr<WindowSystem> WindowSystem::CreateSdl()
{
    auto system = std::make_unique<SdlWindowSystem>();
    if (!system->Start())
        return nullptr;
    return system;
}
} // namespace Platform
