// The message records that the window layer delivers to a window's handler:
// what the engine's window procedure reacts to (activation, size, paint,
// close, mouse, keys with virtual-key codes, characters), in one flat record.
// Session notices carry the session layer's change code.
#pragma once

#include "platform/system/Session.h"

#include <cstdint>

namespace Platform
{
// Identifies a window of a WindowSystem; 0 is no window. The SDL variant uses
// the SDL window id.
using WindowHandle = std::uint32_t;

enum class MessageKind : std::uint8_t
{
    None,
    Quit,          // exitCode; ends the message loop, has no window
    Destroy,       // the window is being destroyed (delivered before it goes)
    Activate,      // active, minimised
    Size,          // sizeKind, width, height (client)
    Paint,         // the client area needs drawing again
    Close,         // the user or the program asks the window to close
    DisplayChange, // displays were added, removed or changed
    MouseMove,     // x, y (client), keyFlags
    ButtonDown,    // button, x, y, keyFlags
    ButtonUp,      // button, x, y, keyFlags
    MouseWheel,    // wheelDelta (120 a notch, positive away from the user), x, y, keyFlags
    MouseLeave,    // the pointer left the window after a leave notice was requested
    SetCursor,     // the pointer moved over the client area while no window holds the mouse
    ExitSizeMove,  // the window has been moved (the move is told once it has happened)
    SessionChange, // sessionChange: the process's session was locked, unlocked, left or returned to
    KeyDown,       // key, repeat, altDown
    KeyUp,         // key, altDown
    SystemKeyDown, // key, repeat, altDown: a key with Alt held, F10, or Alt itself
    SystemKeyUp,   // key, altDown
    Char,          // character
    KeyMenu,       // character: Alt with a key asked for the window menu (Alt+Enter gives 13)
};

enum class SizeKind : std::uint8_t
{
    Restored = 0,
    Minimised = 1,
    Maximised = 2,
};

// Mouse buttons as the message's button field counts them.
constexpr int ButtonLeft = 0;
constexpr int ButtonRight = 1;
constexpr int ButtonMiddle = 2;

// Key flags of the mouse messages; the values are those of the Windows
// documentation so that callers can pass them on unchanged.
constexpr std::uint32_t MouseFlagLeft = 0x0001;
constexpr std::uint32_t MouseFlagRight = 0x0002;
constexpr std::uint32_t MouseFlagShift = 0x0004;
constexpr std::uint32_t MouseFlagControl = 0x0008;
constexpr std::uint32_t MouseFlagMiddle = 0x0010;

struct WindowMessage
{
    MessageKind kind = MessageKind::None;
    WindowHandle window = 0;

    bool active = false;    // Activate
    bool minimised = false; // Activate: the window is minimised

    SizeKind sizeKind = SizeKind::Restored; // Size
    int width = 0;                          // Size
    int height = 0;                         // Size

    int x = 0; // mouse messages: pointer in client coordinates
    int y = 0;
    int button = ButtonLeft;    // ButtonDown, ButtonUp
    std::uint32_t keyFlags = 0; // mouse messages: MouseFlag* after the event
    int wheelDelta = 0;         // MouseWheel

    std::uint16_t key = 0;  // key messages: virtual-key code
    bool repeat = false;    // KeyDown, SystemKeyDown: auto-repeat of a held key
    bool altDown = false;   // key messages: Alt was held
    char32_t character = 0; // Char, KeyMenu

    int exitCode = 0; // Quit

    SessionChange sessionChange = SessionChange::None; // SessionChange
};
} // namespace Platform
