// Render window of the engine; see EngineWindow.h.
#include "engine/core/EngineWindow.h"

#include "engine/core/EngineManager.h"
#include "engine/scene/UserInterface.h"

namespace TarnEngine
{

using Platform::MessageKind;

EngineWindow::EngineWindow(EngineManager* engine, Platform::WindowSystem& windows)
    : engine(engine), windows(windows)
{
}

EngineWindow::~EngineWindow()
{
    Destroy();
}

bool EngineWindow::Create(const std::wstring& title, int width, int height)
{
    handle = windows.NewWindow(title, width, height, Platform::WindowStyle::Bordered);
    if (!handle)
        return false;
    windows.SetHandler(handle, this);
    return true;
}

void EngineWindow::Destroy()
{
    if (!handle)
        return;
    const Platform::WindowHandle gone = handle;
    handle = 0;
    if (windows.IsWindow(gone))
    {
        windows.SetHandler(gone, nullptr);
        windows.DestroyWindow(gone);
    }
}

SDL_Window* EngineWindow::GetSdlWindow()
{
    return handle ? windows.GetSdlWindow(handle) : nullptr;
}

uintptr_t EngineWindow::GetMonitor()
{
    const int index = handle ? windows.GetWindowMonitor(handle) : -1;
    return index < 0 ? 1 : uintptr_t(index) + 1;
}

bool EngineWindow::GetMonitorRect(uintptr_t monitor, DeviceRect& rect)
{
    for (const Platform::MonitorInfo& info : windows.GetMonitors())
        if (uintptr_t(info.index) + 1 == monitor)
        {
            rect = {info.bounds.left, info.bounds.top, info.bounds.right, info.bounds.bottom};
            return true;
        }
    return false;
}

bool EngineWindow::GetWindowRect(DeviceRect& rect)
{
    Platform::Rect outer;
    if (!handle || !windows.GetOuterRect(handle, outer))
        return false;
    rect = {outer.left, outer.top, outer.right, outer.bottom};
    return true;
}

void EngineWindow::SetClientSize(uint32_t width, uint32_t height, bool)
{
    if (handle)
        windows.SetClientSize(handle, int(width), int(height));
}

std::intptr_t EngineWindow::OnMessage(const Platform::WindowMessage& message)
{
    UserInterface* ui = engine->GetUserInterface();
    switch (message.kind)
    {
    case MessageKind::Close:
        if (!engine->GetGame() || engine->GetGame()->CanClose())
            windows.PostQuit(0);
        return 0;
    case MessageKind::Destroy:
        handle = 0;
        return 0;
    case MessageKind::Activate:
        if (message.active && !message.minimised)
            engine->OnActivate();
        else
            engine->OnDeactivate();
        return 0;
    case MessageKind::KeyMenu:
        if (message.character == 13)
            engine->SetFullscreen(!engine->IsFullscreen());
        return 0;
    case MessageKind::MouseMove:
        if (ui)
            ui->OnMouseMove(message.x, message.y);
        return 0;
    case MessageKind::ButtonDown:
        if (ui)
            ui->OnMouseDown(message.button, message.keyFlags, 0);
        return 0;
    case MessageKind::ButtonUp:
        if (ui)
            ui->OnMouseUp(message.button, message.keyFlags, 0);
        return 0;
    case MessageKind::MouseLeave:
        if (ui)
            ui->UpdateHitList(true);
        return 0;
    case MessageKind::KeyDown:
        if (ui)
            ui->OnKeyDown(message.key);
        return 0;
    case MessageKind::KeyUp:
        if (ui)
            ui->OnKeyUp(message.key);
        return 0;
    case MessageKind::Char:
        if (ui)
            ui->OnChar(uint32_t(message.character));
        return 0;
    default:
        return windows.DefaultHandling(message);
    }
}

} // namespace TarnEngine
