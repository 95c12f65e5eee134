// The window layer of the platform: top-level windows, the displays as
// monitors, the message pump that turns SDL events into WindowMessage records
// for each window's handler, mouse capture and leave notices, the keys held
// now, pointer cursors and message boxes.
//
// Two variants are chosen at creation: WindowSystem::CreateSdl drives real
// SDL2 windows; ScriptedWindowSystem (tests) keeps windows and monitors in
// memory and takes its input from SDL events that the test scripts. Both run
// the same translation from SDL events to messages, which lives here.
//
// Conventions: window positions are those of the client area's top-left
// corner in desktop coordinates, in both directions, so a stored position
// restores exactly whatever the decoration around the window. Windows are
// created hidden. Everything runs on the main thread, except ShowMessageBox
// (MessageBox.h), which any thread may call.
#pragma once

#include "platform/window/WindowMessage.h"

#include <SDL2/SDL_events.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;

namespace Platform
{
// A window's handler: the window procedure. It answers a result of its own
// choosing; for a message it does not handle it returns
// WindowSystem::DefaultHandling of the message.
class MessageHandler
{
public:
    virtual std::intptr_t OnMessage(const WindowMessage& message) = 0;

protected:
    ~MessageHandler() = default;
};

enum class WindowStyle : std::uint8_t
{
    Bordered,   // title bar with close and minimise, not resizable
    FullScreen, // no decoration, covering the display it is on
};

struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// Size of the decoration on each side of the client area.
struct Borders
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const Borders&) const = default;
};

struct MonitorInfo
{
    int index = 0; // display index; GetWindowMonitor answers it
    Rect bounds;   // the whole display in desktop coordinates
    Rect workArea; // the usable part (without panels and docks)
    bool primary = false;
    bool operator==(const MonitorInfo&) const = default;
};

struct DisplayMode
{
    int width = 0;
    int height = 0;
    int refreshRate = 0; // Hz, 0 when unknown
};

// A picture for icons and cursors: width x height pixels of 4 bytes, red,
// green, blue, alpha, rows from the top, no padding between rows.
struct PictureView
{
    int width = 0;
    int height = 0;
    const std::uint8_t* rgba = nullptr;
};

using CursorHandle = std::uint32_t;     // 0 is no cursor
constexpr CursorHandle ArrowCursor = 1; // the system arrow, always available

// Releases every pointer and keyboard grab that the program's windows hold
// on the display server: the mouse capture, SDL's window grabs (and SDL's
// record of them, so that nothing takes them again), and the grab that a
// held button gives the window it was pressed in. Other programs, and a box
// shown afterwards, then get the pointer. Meant for the crash handler: it
// touches no state of the window system, so it may run on another thread
// while the main thread is stopped. Nothing to do without an X11 window.
void ReleaseDisplayGrabs();

class WindowSystem
{
public:
    // The SDL variant: initialises SDL's video. Null (and a log line) when no
    // video driver can start.
    static std::unique_ptr<WindowSystem> CreateSdl();

    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;
    virtual ~WindowSystem();

    // Windows. NewWindow makes a hidden window with the given client size;
    // 0 on failure.
    virtual WindowHandle NewWindow(const std::wstring& title, int clientWidth, int clientHeight,
                                   WindowStyle style) = 0;
    // Delivers Destroy to the window's handler, then destroys the window and
    // drops its queued messages. Unknown handles are ignored.
    void DestroyWindow(WindowHandle window);
    virtual bool IsWindow(WindowHandle window) const = 0;
    virtual std::vector<WindowHandle> Windows() const = 0;
    // The handler receives the window's messages from Dispatch; null (or none
    // set) sends them to DefaultHandling.
    void SetHandler(WindowHandle window, MessageHandler* handler);
    MessageHandler* GetHandler(WindowHandle window) const;

    virtual bool SetTitle(WindowHandle window, const std::wstring& title) = 0;
    virtual bool SetIcon(WindowHandle window, const PictureView& picture) = 0;
    virtual bool GetClientSize(WindowHandle window, int& width, int& height) const = 0;
    virtual bool SetClientSize(WindowHandle window, int width, int height) = 0;
    virtual bool GetClientPosition(WindowHandle window, int& x, int& y) const = 0;
    virtual bool SetClientPosition(WindowHandle window, int x, int y) = 0;
    // Decoration that the window has now (all 0 in full screen). False when
    // the window is unknown; a window manager that does not tell gives 0.
    virtual bool GetBorders(WindowHandle window, Borders& borders) const = 0;
    // The window's outer rectangle: client rectangle grown by the borders.
    bool GetOuterRect(WindowHandle window, Rect& rect) const;
    virtual WindowStyle GetStyle(WindowHandle window) const = 0;
    // Full screen covers the window's display at the desktop mode; going back
    // restores the client size and position that the window had before. While
    // in full screen, SetClientSize and SetClientPosition change only what
    // going back will restore.
    virtual bool SetStyle(WindowHandle window, WindowStyle style) = 0;
    virtual bool Show(WindowHandle window) = 0;
    virtual bool Hide(WindowHandle window) = 0;
    virtual bool Raise(WindowHandle window) = 0; // to the front, with the keyboard focus
    virtual bool Minimise(WindowHandle window) = 0;
    virtual bool Restore(WindowHandle window) = 0;
    virtual bool IsShown(WindowHandle window) const = 0;
    virtual bool IsMinimised(WindowHandle window) const = 0;
    virtual bool HasFocus(WindowHandle window) const = 0; // the foreground window
    // The SDL window for the raster presenter; null in the scripted variant.
    virtual SDL_Window* GetSdlWindow(WindowHandle window) const = 0;

    // Displays, in the order the system reports them.
    virtual std::vector<MonitorInfo> GetMonitors() const = 0;
    // The display holding most of the window (the nearest one when it is on
    // none); -1 when the window is unknown.
    virtual int GetWindowMonitor(WindowHandle window) const = 0;
    virtual bool GetDesktopMode(int monitor, DisplayMode& mode) const = 0;

    // The message pump. TakeMessage removes the next message and answers true,
    // or answers false at once when there is none. Quit comes after the
    // messages already queued.
    bool TakeMessage(WindowMessage& message);
    // Hands the message to its window's handler (or DefaultHandling).
    std::intptr_t Dispatch(const WindowMessage& message);
    // What a window does with a message its handler leaves alone: Close
    // destroys the window; SetCursor shows the system arrow; Alt+Enter
    // (SystemKeyDown of Return with Alt, not a repeat) delivers KeyMenu with
    // character 13. Everything else is ignored, F10 included: there is no
    // window menu to open. Answers 0.
    std::intptr_t DefaultHandling(const WindowMessage& message);
    // Queues a message (e.g. Close) behind those already waiting.
    void Post(const WindowMessage& message);
    void PostQuit(int exitCode);

    // Mouse capture: while a window holds it, the pointer's events go to it
    // even outside, and its leave notice waits until the capture ends. The
    // caller counts presses; the capture does not nest.
    void CaptureMouse(WindowHandle window);
    void ReleaseMouse();
    WindowHandle GetCapture() const { return capture_; }
    // Asks for one MouseLeave when the pointer next leaves the window (at once
    // when it is outside already).
    void RequestLeaveNotice(WindowHandle window);
    // The pointer position relative to the window's client area.
    virtual bool GetCursorClientPosition(WindowHandle window, int& x, int& y) const = 0;

    // Keys held now: Shift, Control or Alt (VirtualKey). Works before any
    // window exists, as start-up needs it.
    virtual bool IsKeyHeld(std::uint16_t virtualKey) const = 0;
    virtual bool IsCapsLockOn() const = 0;

    // Cursors: colour cursors from pictures (hot spot inside the picture),
    // owned by the window system until DestroyCursor or its end.
    virtual CursorHandle NewColourCursor(const PictureView& picture, int hotX, int hotY) = 0;
    virtual void DestroyCursor(CursorHandle cursor) = 0;
    virtual bool SetCursor(CursorHandle cursor) = 0;
    virtual CursorHandle GetCursor() const = 0;
    // The pointer's display counter: show adds 1, hide takes 1, the pointer
    // is visible while the counter is 0 or more. Answers the new counter.
    int ShowPointer(bool show);

    // A box with one OK button, owned by the window (0: none); blocks until
    // it is closed. Falls back to standard error when there is no display.
    virtual void ShowMessageBox(WindowHandle owner, const std::wstring& caption,
                                const std::wstring& text) = 0;

protected:
    WindowSystem() = default;

    // Next raw event of the variant; false when there is none now.
    virtual bool PollEvent(SDL_Event& event) = 0;
    virtual void DestroyNativeWindow(WindowHandle window) = 0;
    virtual void SetNativeCapture(WindowHandle window, bool on) = 0;
    virtual void SetPointerVisible(bool visible) = 0;

    // Turns one SDL event into messages at the back of the queue; the
    // keyboard modifiers and mouse buttons it has seen are kept.
    void TranslateEvent(const SDL_Event& event);
    std::uint16_t TrackedModifiers() const { return modifiers_; }
    void SetTrackedModifiers(std::uint16_t modifiers) { modifiers_ = modifiers; }

private:
    std::uint32_t mouseKeyFlags() const;
    WindowHandle pointerTarget(WindowHandle from, int x, int y, int& targetX, int& targetY) const;
    void translateWindowEvent(const SDL_WindowEvent& event);
    void translateKey(const SDL_KeyboardEvent& event);
    void pointerLeft(WindowHandle window);

    std::deque<WindowMessage> queue_;
    std::map<WindowHandle, MessageHandler*> handlers_;
    bool quitPosted_ = false;
    int quitCode_ = 0;
    std::uint16_t modifiers_ = 0;
    std::uint32_t buttons_ = 0; // MouseFlagLeft / Right / Middle held
    WindowHandle capture_ = 0;
    WindowHandle pointerInside_ = 0; // window the pointer is over, 0 none
    std::vector<WindowHandle> leaveRequests_;
    std::vector<WindowHandle> leavesAfterCapture_;
    std::vector<WindowHandle> destroying_;
    int pointerCounter_ = 0;
};
} // namespace Platform
