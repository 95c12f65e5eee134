// Turns SDL keyboard input into what the engine's window procedure expects:
// virtual-key codes and the control characters that Backspace, Tab, Enter and
// Escape type (typed text is decoded by platform/system/Utf8.h).
//
// SDL key to virtual key, first rule that applies:
//   1. Keypad keys, by scan code: with Num Lock on the digits give Keypad0..9
//      and the point KeypadDecimal; with Num Lock off they give the keys
//      printed beside them (0 Insert, 1 End, 2 Down, 3 PageDown, 4 Left,
//      5 Clear, 6 Right, 7 Home, 8 Up, 9 PageUp, point Delete). The operator
//      keys give KeypadDivide, KeypadMultiply, KeypadSubtract, KeypadAdd,
//      Enter gives Return, the keypad comma KeypadSeparator.
//   2. The number row, by scan code: Digit0..9 whatever the layout prints on
//      it (so AZERTY's '&' key is Digit 1).
//   3. Named keys by key code: Enter, Escape, Backspace, Tab, Space, the
//      editing and arrow keys, F1..F24, Pause, PrintScreen, Application/Menu,
//      Select, Execute, Help, Sleep, Clear, the lock keys, the volume and
//      media keys; both Shift keys give Shift, both Ctrl keys Control, both
//      Alt keys Alt, the system keys LeftSystem and RightSystem.
//   4. Letters by key code: 'a'..'z' give 'A'..'Z' (layout-aware, as the
//      letter printed on the key).
//   5. US punctuation by key code: ; = , - . / ` [ \ ] ' give Semicolon,
//      Equals, Comma, Minus, Period, Slash, Grave, LeftBracket, Backslash,
//      RightBracket, Apostrophe.
//   6. Keys whose key code is none of the above (a layout printing 'é' or a
//      Cyrillic letter), by the scan code's US position: the letter or the
//      punctuation key of rules 4 and 5, or NonUsBackslash.
//   7. Anything else has no virtual key (None) and sends no key message.
#pragma once

#include <SDL2/SDL_keyboard.h>

#include <cstdint>

namespace Platform
{
std::uint16_t VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, std::uint16_t modifiers);

// The character that a key press types as a control character: 8, 9, 13 or
// 27 for Backspace, Tab, Return and Escape; 0 for every other key.
char32_t ControlCharacterForKey(std::uint16_t virtualKey);

// Whether the SDL modifier state holds Shift, Control or Alt (either side).
// Any other virtual key answers false.
bool ModifiersHoldKey(std::uint16_t modifiers, std::uint16_t virtualKey);
} // namespace Platform
