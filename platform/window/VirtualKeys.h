// Virtual-key codes of the keyboard messages. The engine, its scripts and the
// game compare key codes with these numbers (Enter is 13, F10 is 0x79, letters
// are their capital ASCII codes), so the values are the ones the Windows
// documentation gives for its virtual keys; the names are our own.
#pragma once

#include <cstdint>

namespace Platform::VirtualKey
{
constexpr std::uint16_t None = 0x00;
constexpr std::uint16_t Backspace = 0x08;
constexpr std::uint16_t Tab = 0x09;
constexpr std::uint16_t Clear = 0x0C;
constexpr std::uint16_t Return = 0x0D;
constexpr std::uint16_t Shift = 0x10;
constexpr std::uint16_t Control = 0x11;
constexpr std::uint16_t Alt = 0x12;
constexpr std::uint16_t Pause = 0x13;
constexpr std::uint16_t CapsLock = 0x14;
constexpr std::uint16_t Escape = 0x1B;
constexpr std::uint16_t Space = 0x20;
constexpr std::uint16_t PageUp = 0x21;
constexpr std::uint16_t PageDown = 0x22;
constexpr std::uint16_t End = 0x23;
constexpr std::uint16_t Home = 0x24;
constexpr std::uint16_t Left = 0x25;
constexpr std::uint16_t Up = 0x26;
constexpr std::uint16_t Right = 0x27;
constexpr std::uint16_t Down = 0x28;
constexpr std::uint16_t Select = 0x29;
constexpr std::uint16_t Execute = 0x2B;
constexpr std::uint16_t PrintScreen = 0x2C;
constexpr std::uint16_t Insert = 0x2D;
constexpr std::uint16_t Delete = 0x2E;
constexpr std::uint16_t Help = 0x2F;
constexpr std::uint16_t Digit0 = 0x30;  // '0' to '9' follow in order
constexpr std::uint16_t LetterA = 0x41; // 'A' to 'Z' follow in order
constexpr std::uint16_t LeftSystem = 0x5B;
constexpr std::uint16_t RightSystem = 0x5C;
constexpr std::uint16_t Application = 0x5D;
constexpr std::uint16_t Sleep = 0x5F;
constexpr std::uint16_t Keypad0 = 0x60; // keypad '0' to '9' follow in order
constexpr std::uint16_t KeypadMultiply = 0x6A;
constexpr std::uint16_t KeypadAdd = 0x6B;
constexpr std::uint16_t KeypadSeparator = 0x6C;
constexpr std::uint16_t KeypadSubtract = 0x6D;
constexpr std::uint16_t KeypadDecimal = 0x6E;
constexpr std::uint16_t KeypadDivide = 0x6F;
constexpr std::uint16_t F1 = 0x70; // F1 to F24 follow in order
constexpr std::uint16_t F10 = 0x79;
constexpr std::uint16_t F24 = 0x87;
constexpr std::uint16_t NumLock = 0x90;
constexpr std::uint16_t ScrollLock = 0x91;
constexpr std::uint16_t VolumeMute = 0xAD;
constexpr std::uint16_t VolumeDown = 0xAE;
constexpr std::uint16_t VolumeUp = 0xAF;
constexpr std::uint16_t MediaNext = 0xB0;
constexpr std::uint16_t MediaPrevious = 0xB1;
constexpr std::uint16_t MediaStop = 0xB2;
constexpr std::uint16_t MediaPlayPause = 0xB3;
// Punctuation keys, named after the US layout's unshifted character.
constexpr std::uint16_t Semicolon = 0xBA;
constexpr std::uint16_t Equals = 0xBB;
constexpr std::uint16_t Comma = 0xBC;
constexpr std::uint16_t Minus = 0xBD;
constexpr std::uint16_t Period = 0xBE;
constexpr std::uint16_t Slash = 0xBF;
constexpr std::uint16_t Grave = 0xC0;
constexpr std::uint16_t LeftBracket = 0xDB;
constexpr std::uint16_t Backslash = 0xDC;
constexpr std::uint16_t RightBracket = 0xDD;
constexpr std::uint16_t Apostrophe = 0xDE;
constexpr std::uint16_t NonUsBackslash = 0xE2; // the extra key beside left Shift on ISO keyboards

constexpr std::uint16_t Digit(int n)
{
    return static_cast<std::uint16_t>(Digit0 + n);
}
constexpr std::uint16_t Letter(char upper)
{
    return static_cast<std::uint16_t>(upper);
}
constexpr std::uint16_t Keypad(int n)
{
    return static_cast<std::uint16_t>(Keypad0 + n);
}
constexpr std::uint16_t Function(int n)
{
    return static_cast<std::uint16_t>(F1 + n - 1);
}
} // namespace Platform::VirtualKey
