// Key tables of the window layer: SDL keys to virtual keys, the control
// characters of key presses, held modifiers, and the UTF-8 decoding of text.
#include "platform/system/Utf8.h"
#include "platform/window/KeyMapping.h"
#include "platform/window/VirtualKeys.h"

#include <gtest/gtest.h>

namespace Platform
{
namespace
{
struct KeyCase
{
    const char* name;
    SDL_Keycode key;
    SDL_Scancode scancode;
    std::uint16_t modifiers;
    std::uint16_t expected;
};

const KeyCase keyCases[] = {
    // The values the engine compares with.
    {"Enter", SDLK_RETURN, SDL_SCANCODE_RETURN, 0, 0x0D},
    {"Escape", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 0, 0x1B},
    {"Backspace", SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 0, 0x08},
    {"Tab", SDLK_TAB, SDL_SCANCODE_TAB, 0, 0x09},
    {"Space", SDLK_SPACE, SDL_SCANCODE_SPACE, 0, 0x20},
    {"Delete", SDLK_DELETE, SDL_SCANCODE_DELETE, 0, 46},
    {"Home", SDLK_HOME, SDL_SCANCODE_HOME, 0, 36},
    {"End", SDLK_END, SDL_SCANCODE_END, 0, 35},
    {"Left", SDLK_LEFT, SDL_SCANCODE_LEFT, 0, 37},
    {"Up", SDLK_UP, SDL_SCANCODE_UP, 0, 38},
    {"Right", SDLK_RIGHT, SDL_SCANCODE_RIGHT, 0, 39},
    {"Down", SDLK_DOWN, SDL_SCANCODE_DOWN, 0, 40},
    {"PageUp", SDLK_PAGEUP, SDL_SCANCODE_PAGEUP, 0, 0x21},
    {"PageDown", SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN, 0, 0x22},
    {"Insert", SDLK_INSERT, SDL_SCANCODE_INSERT, 0, 0x2D},
    {"F1", SDLK_F1, SDL_SCANCODE_F1, 0, 0x70},
    {"F10", SDLK_F10, SDL_SCANCODE_F10, 0, 0x79},
    {"F12", SDLK_F12, SDL_SCANCODE_F12, 0, 0x7B},
    {"F13", SDLK_F13, SDL_SCANCODE_F13, 0, 0x7C},
    {"F24", SDLK_F24, SDL_SCANCODE_F24, 0, 0x87},
    {"Pause", SDLK_PAUSE, SDL_SCANCODE_PAUSE, 0, 0x13},
    {"PrintScreen", SDLK_PRINTSCREEN, SDL_SCANCODE_PRINTSCREEN, 0, 0x2C},
    {"CapsLock", SDLK_CAPSLOCK, SDL_SCANCODE_CAPSLOCK, 0, 0x14},
    {"NumLock", SDLK_NUMLOCKCLEAR, SDL_SCANCODE_NUMLOCKCLEAR, 0, 0x90},
    {"ScrollLock", SDLK_SCROLLLOCK, SDL_SCANCODE_SCROLLLOCK, 0, 0x91},
    {"Application", SDLK_APPLICATION, SDL_SCANCODE_APPLICATION, 0, 0x5D},
    {"VolumeUp", SDLK_VOLUMEUP, SDL_SCANCODE_VOLUMEUP, 0, 0xAF},
    // Both sides of a modifier give the one generic key.
    {"Left Shift", SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, KMOD_LSHIFT, 0x10},
    {"Right Shift", SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, KMOD_RSHIFT, 0x10},
    {"Left Ctrl", SDLK_LCTRL, SDL_SCANCODE_LCTRL, KMOD_LCTRL, 0x11},
    {"Right Ctrl", SDLK_RCTRL, SDL_SCANCODE_RCTRL, KMOD_RCTRL, 0x11},
    {"Left Alt", SDLK_LALT, SDL_SCANCODE_LALT, KMOD_LALT, 0x12},
    {"Right Alt", SDLK_RALT, SDL_SCANCODE_RALT, KMOD_RALT, 0x12},
    {"Left system", SDLK_LGUI, SDL_SCANCODE_LGUI, 0, 0x5B},
    {"Right system", SDLK_RGUI, SDL_SCANCODE_RGUI, 0, 0x5C},
    // Letters are upper case whatever Shift and Caps Lock say, and follow the
    // layout (AZERTY's A key sits where QWERTY has Q).
    {"a", SDLK_a, SDL_SCANCODE_A, 0, 'A'},
    {"z", SDLK_z, SDL_SCANCODE_Z, 0, 'Z'},
    {"shifted m", SDLK_m, SDL_SCANCODE_M, KMOD_LSHIFT | KMOD_CAPS, 'M'},
    {"AZERTY a", SDLK_a, SDL_SCANCODE_Q, 0, 'A'},
    // Non-Latin letters take the US letter of their position.
    {"Cyrillic ef", 0x0444, SDL_SCANCODE_A, 0, 'A'},
    // Digit row by position, so AZERTY's '&' and 'e-acute' keys are digits.
    {"1", SDLK_1, SDL_SCANCODE_1, 0, '1'},
    {"0", SDLK_0, SDL_SCANCODE_0, 0, '0'},
    {"AZERTY 1", SDLK_AMPERSAND, SDL_SCANCODE_1, 0, '1'},
    {"AZERTY 2", 0x00E9, SDL_SCANCODE_2, 0, '2'},
    {"digit without position", SDLK_7, SDL_SCANCODE_UNKNOWN, 0, '7'},
    // Keypad with and without Num Lock.
    {"keypad 0 num", SDLK_KP_0, SDL_SCANCODE_KP_0, KMOD_NUM, 0x60},
    {"keypad 5 num", SDLK_KP_5, SDL_SCANCODE_KP_5, KMOD_NUM, 0x65},
    {"keypad 9 num", SDLK_KP_9, SDL_SCANCODE_KP_9, KMOD_NUM, 0x69},
    {"keypad point num", SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, KMOD_NUM, 0x6E},
    {"keypad 0 nav", SDLK_KP_0, SDL_SCANCODE_KP_0, 0, 0x2D},
    {"keypad 1 nav", SDLK_KP_1, SDL_SCANCODE_KP_1, 0, 0x23},
    {"keypad 5 nav", SDLK_KP_5, SDL_SCANCODE_KP_5, 0, 0x0C},
    {"keypad 8 nav", SDLK_KP_8, SDL_SCANCODE_KP_8, 0, 0x26},
    {"keypad 9 nav", SDLK_KP_9, SDL_SCANCODE_KP_9, 0, 0x21},
    {"keypad point nav", SDLK_KP_PERIOD, SDL_SCANCODE_KP_PERIOD, 0, 0x2E},
    {"keypad divide", SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE, 0, 0x6F},
    {"keypad multiply", SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, KMOD_NUM, 0x6A},
    {"keypad minus", SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, 0, 0x6D},
    {"keypad plus", SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, 0, 0x6B},
    {"keypad enter", SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 0, 0x0D},
    // Punctuation by the US character, else by position.
    {"semicolon", SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0, 0xBA},
    {"equals", SDLK_EQUALS, SDL_SCANCODE_EQUALS, 0, 0xBB},
    {"comma", SDLK_COMMA, SDL_SCANCODE_COMMA, 0, 0xBC},
    {"minus", SDLK_MINUS, SDL_SCANCODE_MINUS, 0, 0xBD},
    {"period", SDLK_PERIOD, SDL_SCANCODE_PERIOD, 0, 0xBE},
    {"slash", SDLK_SLASH, SDL_SCANCODE_SLASH, 0, 0xBF},
    {"grave", SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, 0, 0xC0},
    {"left bracket", SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, 0, 0xDB},
    {"backslash", SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH, 0, 0xDC},
    {"right bracket", SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, 0, 0xDD},
    {"apostrophe", SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, 0, 0xDE},
    {"German u-umlaut by position", 0x00FC, SDL_SCANCODE_LEFTBRACKET, 0, 0xDB},
    {"ISO extra key", SDLK_LESS, SDL_SCANCODE_NONUSBACKSLASH, 0, 0xE2},
    // No virtual key.
    {"unknown", SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN, 0, 0},
    {"keypad equals", SDLK_KP_EQUALS, SDL_SCANCODE_KP_EQUALS, 0, 0},
};

TEST(WindowKeys, SdlKeysMapToVirtualKeys)
{
    for (const KeyCase& c : keyCases)
        EXPECT_EQ(VirtualKeyFromSdl(c.key, c.scancode, c.modifiers), c.expected) << c.name;
}

TEST(WindowKeys, ControlCharactersOfKeys)
{
    const struct
    {
        std::uint16_t key;
        char32_t character;
    } cases[] = {
        {VirtualKey::Backspace, 8},   {VirtualKey::Tab, 9},       {VirtualKey::Return, 13},
        {VirtualKey::Escape, 27},     {VirtualKey::Delete, 0},    {VirtualKey::Space, 0},
        {VirtualKey::Letter('A'), 0}, {VirtualKey::Keypad(3), 0}, {VirtualKey::F10, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControlCharacterForKey(c.key), c.character) << "key " << c.key;
}

TEST(WindowKeys, ModifiersHoldKeys)
{
    const struct
    {
        std::uint16_t modifiers;
        bool shift, control, alt;
    } cases[] = {
        {0, false, false, false},
        {KMOD_LSHIFT, true, false, false},
        {KMOD_RSHIFT, true, false, false},
        {KMOD_LCTRL | KMOD_RSHIFT, true, true, false},
        {KMOD_RCTRL, false, true, false},
        {KMOD_LALT, false, false, true},
        {KMOD_RALT | KMOD_LCTRL, false, true, true},
        // Toggles and other keys are not held keys.
        {KMOD_CAPS | KMOD_NUM | KMOD_LGUI | KMOD_MODE, false, false, false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(ModifiersHoldKey(c.modifiers, VirtualKey::Shift), c.shift) << c.modifiers;
        EXPECT_EQ(ModifiersHoldKey(c.modifiers, VirtualKey::Control), c.control) << c.modifiers;
        EXPECT_EQ(ModifiersHoldKey(c.modifiers, VirtualKey::Alt), c.alt) << c.modifiers;
        EXPECT_FALSE(ModifiersHoldKey(c.modifiers, VirtualKey::Letter('A')));
    }
}

TEST(WindowKeys, Utf8TextDecodes)
{
    const struct
    {
        const char* name;
        const char* text;
        std::u32string expected;
    } cases[] = {
        {"ASCII", "aZ1", U"aZ1"},
        {"two bytes", "\xC3\xA9", U"\u00E9"},
        {"three bytes", "\xE2\x82\xAC", U"\u20AC"},
        {"outside the BMP", "\xF0\x9F\x98\x80x", U"\U0001F600x"},
        {"stray continuation",
         "a\x80"
         "b",
         U"ab"},
        {"truncated sequence", "\xE2\x82", U""},
        {"truncated then ASCII", "\xE2\x82z", U"z"},
        {"overlong slash", "\xC0\xAF/", U"/"},
        {"surrogate", "\xED\xA0\x80k", U"k"},
        {"above U+10FFFF", "\xF4\x90\x80\x80q", U"q"},
        {"invalid lead", "\xFF\xFEw", U"w"},
    };
    for (const auto& c : cases)
    {
        std::u32string out;
        AppendUtf8Characters(c.text, out);
        EXPECT_EQ(out, c.expected) << c.name;
    }
    std::u32string none;
    AppendUtf8Characters(nullptr, none);
    EXPECT_TRUE(none.empty());
}

TEST(WindowKeys, WideTextRoundTripsThroughUtf8)
{
    const std::wstring title = L"The Pellwood \u00E9\u20AC\U0001F600";
    std::u32string decoded;
    AppendUtf8Characters(Utf8FromWide(title).c_str(), decoded);
    ASSERT_EQ(decoded.size(), title.size());
    for (std::size_t i = 0; i < title.size(); ++i)
        EXPECT_EQ(decoded[i], static_cast<char32_t>(title[i]));
    EXPECT_EQ(WideFromUtf8(Utf8FromWide(title).c_str()), title);
    EXPECT_EQ(WideFromUtf8("a\xC0\xAF\xE2\x82"), L"a");
    EXPECT_EQ(WideFromUtf8(nullptr), L"");
    // Values that are no characters become the replacement character.
    EXPECT_EQ(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}
} // namespace
} // namespace Platform
