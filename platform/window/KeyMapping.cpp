// SDL key to virtual-key table; the rules are listed in KeyMapping.h.
#include "platform/window/KeyMapping.h"

#include "platform/window/VirtualKeys.h"

namespace Platform
{
namespace
{
struct KeyPair
{
    int sdl;
    std::uint16_t virtualKey;
};

constexpr KeyPair namedKeys[] = {
    {SDLK_RETURN, VirtualKey::Return},
    {SDLK_RETURN2, VirtualKey::Return},
    {SDLK_ESCAPE, VirtualKey::Escape},
    {SDLK_BACKSPACE, VirtualKey::Backspace},
    {SDLK_TAB, VirtualKey::Tab},
    {SDLK_SPACE, VirtualKey::Space},
    {SDLK_INSERT, VirtualKey::Insert},
    {SDLK_DELETE, VirtualKey::Delete},
    {SDLK_HOME, VirtualKey::Home},
    {SDLK_END, VirtualKey::End},
    {SDLK_PAGEUP, VirtualKey::PageUp},
    {SDLK_PAGEDOWN, VirtualKey::PageDown},
    {SDLK_LEFT, VirtualKey::Left},
    {SDLK_RIGHT, VirtualKey::Right},
    {SDLK_UP, VirtualKey::Up},
    {SDLK_DOWN, VirtualKey::Down},
    {SDLK_PAUSE, VirtualKey::Pause},
    {SDLK_PRINTSCREEN, VirtualKey::PrintScreen},
    {SDLK_APPLICATION, VirtualKey::Application},
    {SDLK_MENU, VirtualKey::Application},
    {SDLK_SELECT, VirtualKey::Select},
    {SDLK_EXECUTE, VirtualKey::Execute},
    {SDLK_HELP, VirtualKey::Help},
    {SDLK_SLEEP, VirtualKey::Sleep},
    {SDLK_CLEAR, VirtualKey::Clear},
    {SDLK_CAPSLOCK, VirtualKey::CapsLock},
    {SDLK_NUMLOCKCLEAR, VirtualKey::NumLock},
    {SDLK_SCROLLLOCK, VirtualKey::ScrollLock},
    {SDLK_LSHIFT, VirtualKey::Shift},
    {SDLK_RSHIFT, VirtualKey::Shift},
    {SDLK_LCTRL, VirtualKey::Control},
    {SDLK_RCTRL, VirtualKey::Control},
    {SDLK_LALT, VirtualKey::Alt},
    {SDLK_RALT, VirtualKey::Alt},
    {SDLK_LGUI, VirtualKey::LeftSystem},
    {SDLK_RGUI, VirtualKey::RightSystem},
    {SDLK_MUTE, VirtualKey::VolumeMute},
    {SDLK_AUDIOMUTE, VirtualKey::VolumeMute},
    {SDLK_VOLUMEDOWN, VirtualKey::VolumeDown},
    {SDLK_VOLUMEUP, VirtualKey::VolumeUp},
    {SDLK_AUDIONEXT, VirtualKey::MediaNext},
    {SDLK_AUDIOPREV, VirtualKey::MediaPrevious},
    {SDLK_AUDIOSTOP, VirtualKey::MediaStop},
    {SDLK_AUDIOPLAY, VirtualKey::MediaPlayPause},
};

constexpr KeyPair punctuationKeys[] = {
    {';', VirtualKey::Semicolon},    {'=', VirtualKey::Equals},      {',', VirtualKey::Comma},
    {'-', VirtualKey::Minus},        {'.', VirtualKey::Period},      {'/', VirtualKey::Slash},
    {'`', VirtualKey::Grave},        {'[', VirtualKey::LeftBracket}, {'\\', VirtualKey::Backslash},
    {']', VirtualKey::RightBracket}, {'\'', VirtualKey::Apostrophe},
};

constexpr KeyPair punctuationPositions[] = {
    {SDL_SCANCODE_SEMICOLON, VirtualKey::Semicolon},
    {SDL_SCANCODE_EQUALS, VirtualKey::Equals},
    {SDL_SCANCODE_COMMA, VirtualKey::Comma},
    {SDL_SCANCODE_MINUS, VirtualKey::Minus},
    {SDL_SCANCODE_PERIOD, VirtualKey::Period},
    {SDL_SCANCODE_SLASH, VirtualKey::Slash},
    {SDL_SCANCODE_GRAVE, VirtualKey::Grave},
    {SDL_SCANCODE_LEFTBRACKET, VirtualKey::LeftBracket},
    {SDL_SCANCODE_BACKSLASH, VirtualKey::Backslash},
    {SDL_SCANCODE_RIGHTBRACKET, VirtualKey::RightBracket},
    {SDL_SCANCODE_APOSTROPHE, VirtualKey::Apostrophe},
    {SDL_SCANCODE_NONUSBACKSLASH, VirtualKey::NonUsBackslash},
    {SDL_SCANCODE_NONUSHASH, VirtualKey::Backslash},
};

template <std::size_t N> std::uint16_t lookUp(const KeyPair (&table)[N], int value)
{
    for (const KeyPair& pair : table)
    {
        if (pair.sdl == value)
            return pair.virtualKey;
    }
    return VirtualKey::None;
}

std::uint16_t keypadKey(SDL_Scancode scancode, bool numLock)
{
    // Without Num Lock the digit keys are the navigation keys printed on them.
    static constexpr std::uint16_t navigation[10] = {
        VirtualKey::Insert, VirtualKey::End,   VirtualKey::Down, VirtualKey::PageDown, VirtualKey::Left,
        VirtualKey::Clear,  VirtualKey::Right, VirtualKey::Home, VirtualKey::Up,       VirtualKey::PageUp,
    };
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_0)
    {
        const int digit = scancode == SDL_SCANCODE_KP_0 ? 0 : scancode - SDL_SCANCODE_KP_1 + 1;
        return numLock ? VirtualKey::Keypad(digit) : navigation[digit];
    }
    switch (scancode)
    {
    case SDL_SCANCODE_KP_PERIOD:
        return numLock ? VirtualKey::KeypadDecimal : VirtualKey::Delete;
    case SDL_SCANCODE_KP_DIVIDE:
        return VirtualKey::KeypadDivide;
    case SDL_SCANCODE_KP_MULTIPLY:
        return VirtualKey::KeypadMultiply;
    case SDL_SCANCODE_KP_MINUS:
        return VirtualKey::KeypadSubtract;
    case SDL_SCANCODE_KP_PLUS:
        return VirtualKey::KeypadAdd;
    case SDL_SCANCODE_KP_ENTER:
        return VirtualKey::Return;
    case SDL_SCANCODE_KP_COMMA:
        return VirtualKey::KeypadSeparator;
    default:
        return VirtualKey::None;
    }
}
} // namespace

std::uint16_t VirtualKeyFromSdl(SDL_Keycode key, SDL_Scancode scancode, std::uint16_t modifiers)
{
    if (std::uint16_t keypad = keypadKey(scancode, (modifiers & KMOD_NUM) != 0))
        return keypad;
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_0)
        return VirtualKey::Digit(scancode == SDL_SCANCODE_0 ? 0 : scancode - SDL_SCANCODE_1 + 1);
    if (std::uint16_t named = lookUp(namedKeys, key))
        return named;
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return VirtualKey::Function(key - SDLK_F1 + 1);
    if (key >= SDLK_F13 && key <= SDLK_F24)
        return VirtualKey::Function(key - SDLK_F13 + 13);
    if (key >= SDLK_a && key <= SDLK_z)
        return VirtualKey::Letter(static_cast<char>('A' + (key - SDLK_a)));
    if (key >= SDLK_0 && key <= SDLK_9)
        return VirtualKey::Digit(key - SDLK_0);
    if (std::uint16_t punctuation = lookUp(punctuationKeys, key))
        return punctuation;
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return VirtualKey::Letter(static_cast<char>('A' + (scancode - SDL_SCANCODE_A)));
    return lookUp(punctuationPositions, scancode);
}

char32_t ControlCharacterForKey(std::uint16_t virtualKey)
{
    switch (virtualKey)
    {
    case VirtualKey::Backspace:
        return 8;
    case VirtualKey::Tab:
        return 9;
    case VirtualKey::Return:
        return 13;
    case VirtualKey::Escape:
        return 27;
    default:
        return 0;
    }
}

bool ModifiersHoldKey(std::uint16_t modifiers, std::uint16_t virtualKey)
{
    switch (virtualKey)
    {
    case VirtualKey::Shift:
        return (modifiers & KMOD_SHIFT) != 0;
    case VirtualKey::Control:
        return (modifiers & KMOD_CTRL) != 0;
    case VirtualKey::Alt:
        return (modifiers & KMOD_ALT) != 0;
    default:
        return false;
    }
}

} // namespace Platform
