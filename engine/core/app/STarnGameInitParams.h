// The start-up record that the program entry fills and hands to
// EngineManager::Initialize: names, window size and colour, the full-screen
// defaults and the class of the display tree's root.
#pragma once

#include <cstdint>
#include <string>

namespace TarnEngine
{

class RClass;

struct STarnGameInitParams
{
    std::wstring applicationName; // mutex, window class and crash-message name
    std::wstring windowTitle;
    uint32_t iconId = 0; // 0: no icon
    std::wstring reservedText;
    void* instance = nullptr;    // the program's module handle; unused here
    uint32_t externalWindow = 0; // 0: the engine makes its own window
    uint32_t width = 0;          // client size in pixels
    uint32_t height = 0;
    uint32_t backgroundColour = 0;           // 0x00BBGGRR as the window background, the device's clear colour
    uint8_t fullscreenAllowed = 0;           // 0 forces windowed mode
    uint8_t startFullscreen = 1;             // the Fullscreen preference when no preferences file is usable
    RClass* rootClass = nullptr; // null, or a class that is not a movie: Instance_Movie
    std::wstring reservedText2;
};

} // namespace TarnEngine
