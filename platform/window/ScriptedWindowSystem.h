// The test variant of the window system: windows, monitors, the keyboard and
// the pointer live in memory, and the input is a script of SDL events that a
// test queues (directly, or through the helpers that build them the way SDL
// would). The events run through the same translation to messages as the SDL
// variant. No display is needed.
#pragma once

#include "platform/window/WindowSystem.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace Platform
{
class ScriptedWindowSystem final : public WindowSystem
{
public:
    // One primary monitor of 1920 x 1080 whose work area leaves a 40-pixel
    // panel at the bottom; bordered windows have a 30-pixel title bar and
    // 4-pixel edges.
    ScriptedWindowSystem();
    ~ScriptedWindowSystem() override;

    // What a window looks like from outside.
    struct WindowState
    {
        std::wstring title;
        int x = 0; // client position
        int y = 0;
        int width = 0; // client size
        int height = 0;
        WindowStyle style = WindowStyle::Bordered;
        bool shown = false;
        bool minimised = false;
        bool focused = false;
        int iconWidth = 0; // 0 while the window has no icon
        int iconHeight = 0;
        Rect windowedClient; // the client rectangle that full screen will give back
    };

    struct MessageBoxRecord
    {
        WindowHandle owner = 0;
        std::wstring caption;
        std::wstring text;
    };

    struct CursorRecord
    {
        int width = 0;
        int height = 0;
        int hotX = 0;
        int hotY = 0;
    };

    // The environment.
    void SetMonitors(std::vector<MonitorInfo> monitors) { monitors_ = std::move(monitors); }
    void SetDecoration(const Borders& borders) { decoration_ = borders; }
    // Sets the keyboard's modifier state (SDL KMOD_* bits) at once, as if the
    // keys had been held before the script started.
    void SetHeldModifiers(std::uint16_t modifiers);
    std::uint16_t HeldModifiers() const { return held_; }
    // Whether a window creation fails, as with no video driver.
    void SetCreationFails(bool fails) { creationFails_ = fails; }

    // Scripted input, queued for TakeMessage. The key helpers keep the
    // modifier state as SDL does: a modifier key sets its bit when pressed
    // and clears it when released, Caps Lock and Num Lock toggle when pressed;
    // the event carries the state after the change.
    void Inject(const SDL_Event& event) { script_.push_back(event); }
    void PressKey(WindowHandle window, SDL_Keycode key, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN,
                  bool repeat = false);
    void ReleaseKey(WindowHandle window, SDL_Keycode key, SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN);
    void TypeText(WindowHandle window, const char* utf8);
    // Moves the pointer to a client position; entering the window first when
    // the pointer was not over it.
    void MovePointer(WindowHandle window, int x, int y);
    void PointerLeaves(WindowHandle window);
    void PressButton(WindowHandle window, Uint8 sdlButton);
    void ReleaseButton(WindowHandle window, Uint8 sdlButton);
    void TurnWheel(WindowHandle window, int notches);
    // A window event as SDL sends it; focus, minimise, restore, show and hide
    // also change the window's state when the event is read.
    void SendWindowEvent(WindowHandle window, SDL_WindowEventID id, int data1 = 0, int data2 = 0);
    void DisplaysChanged();

    // Observation.
    const WindowState* State(WindowHandle window) const;
    bool NativeCaptureOn() const { return nativeCapture_ != 0; }
    bool PointerVisible() const { return pointerVisible_; }
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }
    const CursorRecord* Cursor(CursorHandle cursor) const;

    // WindowSystem.
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
    bool IsShown(WindowHandle window) const override;
    bool IsMinimised(WindowHandle window) const override;
    bool HasFocus(WindowHandle window) const override;
    SDL_Window* GetSdlWindow(WindowHandle) const override { return nullptr; }

    std::vector<MonitorInfo> GetMonitors() const override { return monitors_; }
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
    bool PollEvent(SDL_Event& event) override;
    void DestroyNativeWindow(WindowHandle window) override;
    void SetNativeCapture(WindowHandle window, bool on) override { nativeCapture_ = on ? window : 0; }
    void SetPointerVisible(bool visible) override { pointerVisible_ = visible; }

private:
    WindowState* find(WindowHandle window);
    const WindowState* find(WindowHandle window) const;
    void setFocus(WindowHandle window);
    void applyWindowEvent(const SDL_WindowEvent& event);
    void keyEvent(WindowHandle window, Uint32 type, SDL_Keycode key, SDL_Scancode scancode, bool repeat);
    void buttonEvent(WindowHandle window, Uint32 type, Uint8 sdlButton);

    std::map<WindowHandle, WindowState> windows_;
    WindowHandle nextWindow_ = 1;
    std::vector<MonitorInfo> monitors_;
    Borders decoration_{4, 30, 4, 4};
    std::deque<SDL_Event> script_;
    std::uint16_t held_ = 0;
    Uint32 buttonsHeld_ = 0;         // SDL button mask
    WindowHandle pointerOver_ = 0;   // window the pointer is over in the script
    WindowHandle scriptedFocus_ = 0; // window the script has given the focus to
    int pointerX_ = 0;               // desktop position of the pointer
    int pointerY_ = 0;
    bool creationFails_ = false;
    WindowHandle nativeCapture_ = 0;
    bool pointerVisible_ = true;
    std::vector<MessageBoxRecord> boxes_;
    std::map<CursorHandle, CursorRecord> cursors_;
    CursorHandle nextCursor_ = ArrowCursor + 1;
    CursorHandle currentCursor_ = ArrowCursor;
};
} // namespace Platform
