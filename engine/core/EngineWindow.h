// The render window as engine start-up makes it: one top-level window of the
// window system with the engine's message handling (activation, close, the
// full-screen key, mouse and keys to the user interface), and the window side
// that the graphics device asks of it. The complete main window with its
// placement file and session notices takes its place.
#pragma once

#include "engine/graphics/IGIL.h"

#include "platform/window/WindowSystem.h"

#include <string>

namespace TarnEngine
{

class EngineManager;

class EngineWindow final : public IRenderWindow, public Platform::MessageHandler
{
public:
    EngineWindow(EngineManager* engine, Platform::WindowSystem& windows);
    ~EngineWindow() override;
    EngineWindow(const EngineWindow&) = delete;
    EngineWindow& operator=(const EngineWindow&) = delete;

    bool Create(const std::wstring& title, int width, int height);
    void Destroy();
    Platform::WindowHandle GetHandle() const { return handle; }
    bool IsAlive() const { return handle != 0 && windows.IsWindow(handle); }

    // IRenderWindow
    SDL_Window* GetSdlWindow() override;
    uintptr_t GetMonitor() override;
    bool GetMonitorRect(uintptr_t monitor, DeviceRect& rect) override;
    bool GetWindowRect(DeviceRect& rect) override;
    void SetClientSize(uint32_t width, uint32_t height, bool redraw) override;
    void Invalidate() override {}

    // MessageHandler
    std::intptr_t OnMessage(const Platform::WindowMessage& message) override;

private:
    EngineManager* engine;
    Platform::WindowSystem& windows;
    Platform::WindowHandle handle = 0;
};

} // namespace TarnEngine
