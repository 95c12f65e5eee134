// The render window: the one top-level window the engine draws into. It
// creates (or adopts) the window of the platform's window layer, places it
// where the player left it last time ("Window.prefs", a protected settings
// file) or centred on the best monitor, keeps the game's cursors, and runs the
// window procedure that turns the layer's messages into calls of the engine
// (IWindowOwner) and of the user interface (IWindowInput).
//
// Every message of a window goes through one procedure that finds the Window
// in a process-wide map from window handle to Window. Positions follow the
// window layer's convention, the client area's top-left corner, both when the
// placement is stored and when it is restored, so the window never drifts by
// the size of its decoration. Main thread only.
#pragma once

#include "engine/core/app/Cursors.h"
#include "platform/window/WindowSystem.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TarnEngine
{

class IWindowInput;
class IWindowOwner;

// Style words of ModifyStyle and GetStyle. A bordered window has the frame
// bits (caption, system menu, minimise box; no sizing border, no maximise
// box); the full-screen window has the pop-up bit instead.
inline constexpr uint32_t kWindowStyleFrame = 0x00CA0000;
inline constexpr uint32_t kWindowStyleOverlapped = 0x00CF0000; // any bit of a bordered window
inline constexpr uint32_t kWindowStylePopup = 0x80000000;

class Window
{
public:
    // The window system must outlive the Window; input may be null (and be
    // set later) while there is no user interface.
    Window(Platform::WindowSystem& system, IWindowOwner& engine, IWindowInput* input);
    // Gives an adopted window back, destroys a window it made, and leaves the
    // handle map.
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The Window entered for a window handle, or null.
    static Window* FromHandle(Platform::WindowHandle handle);

    // Makes the bordered window with the client size of the rectangle at the
    // rectangle's top-left, enters it in the handle map, then places and
    // shows it (LoadPlacement). False when the window cannot be made.
    bool Create(const std::wstring& title, const Platform::Rect& clientRect);
    // Destroys the window (its Destroy message still reaches this Window) and
    // leaves the handle map.
    void Destroy();
    // Takes over an existing window: its messages come here until
    // ReleaseAdopted gives them back to the handler it had.
    bool Adopt(Platform::WindowHandle handle);
    void ReleaseAdopted();

    // The outer size of a window of the current style with that client size.
    void GetOuterSizeForClient(int clientWidth, int clientHeight, int& width, int& height) const;
    // Resizes the client area in place; redraw asks for a paint afterwards.
    bool SetClientSize(int width, int height, bool redraw);
    // The outer rectangle in desktop coordinates.
    bool GetRect(Platform::Rect& rect) const;
    // The window layer keeps one icon: the big picture when given, else the
    // small one; null for both leaves the icon as it is.
    void SetIcons(const Platform::PictureView* smallIcon, const Platform::PictureView* bigIcon);
    // style := (style AND NOT remove) OR add; the pop-up bit makes the window
    // full screen, its absence bordered.
    bool ModifyStyle(uint32_t remove, uint32_t add);
    uint32_t GetStyle() const;
    // The window has the keyboard focus (the game pauses otherwise).
    bool IsForeground() const;

    // Start position: the stored one, or centred when there is none, when it
    // lies on no monitor any more, or when Shift is held; then shows the
    // window.
    void LoadPlacement();
    // The client position that centres the window on the work area of the
    // best monitor; false (x and y unchanged) when no monitor is usable.
    bool CenterOnBestMonitor(int& x, int& y) const;
    // The monitors a window may be centred on, best first: those under
    // 800 x 600 dropped, the primary one moved to the front.
    static std::vector<Platform::MonitorInfo> UsableMonitors(std::vector<Platform::MonitorInfo> monitors);

    // What a close that the game allowed does: the placement is saved when
    // the window is not full screen, and the quit message ends the loop. A
    // close the system insists on comes here without asking the game.
    void CloseWithoutAsking();

    // The window procedure of every window entered in the handle map.
    static std::intptr_t WindowProc(Platform::WindowSystem& system, const Platform::WindowMessage& message);

    void SetInput(IWindowInput* input) { input_ = input; }
    Platform::WindowHandle GetHandle() const { return handle_; }
    Platform::WindowSystem& GetSystem() const { return system_; }
    bool IsAdopted() const { return adopted_; }
    bool IsActive() const { return active_; }

    Cursors cursors;

private:
    // The handler the window layer calls; it only finds the Window.
    class Procedure final : public Platform::MessageHandler
    {
    public:
        explicit Procedure(Platform::WindowSystem& system) : system_(system) {}
        std::intptr_t OnMessage(const Platform::WindowMessage& message) override
        {
            return Window::WindowProc(system_, message);
        }

    private:
        Platform::WindowSystem& system_;
    };

    std::intptr_t handleMessage(const Platform::WindowMessage& message);
    void onSize(Platform::SizeKind kind);
    void onDeactivated();
    void onPaint();
    void onMoved();
    void onSessionChange(Platform::SessionChange change);
    void onDisplayChange();
    bool onClose();
    void savePlacement();
    void onMouseDown(int button, uint32_t keyFlags, int x, int y);
    void onMouseUp(int button, uint32_t keyFlags, int x, int y);
    void reportPointer(int x, int y);
    void onMouseMove();
    void onMouseLeave();
    void releaseCapture();
    bool liesOnAMonitor(int x, int y) const;
    void enter();
    void leave();

    Platform::WindowSystem& system_;
    IWindowOwner& engine_;
    IWindowInput* input_ = nullptr;
    Procedure procedure_;
    bool emulatedRightButton_ = false;
    uint32_t captureCount_ = 0;
    bool mouseTracked_ = false;
    // The last pointer place the input heard of, in client pixels; a press or
    // release elsewhere (no move came before it) reports its own place first.
    bool pointerReported_ = false;
    int reportedX_ = 0;
    int reportedY_ = 0;
    bool active_ = false;
    Platform::WindowHandle handle_ = 0;
    Platform::MessageHandler* previousHandler_ = nullptr;
    bool adopted_ = false;
};

} // namespace TarnEngine
