// The console's drawing: the selected page and the bar of tabs and arrows in the console's canvas,
// and the hit test of that canvas. The console sits in the core, below the canvases; the engine's
// start-up installs this drawing into it (InstallConsoleDrawing), and with it the "Log" page.
#pragma once

#include "engine/core/diagnostics/IConsoleOverlay.h"

namespace TarnEngine
{

class IRenderCanvas;

class ConsoleDrawing final : public IConsoleDrawing
{
public:
    static ConsoleDrawing& Get();

    IConsoleOverlay* GetLogPage() override;
    void PrintOverlay(Console& console, IConsoleDisplay& display, const DeviceRect& area) override;
    bool HitTest(IConsoleDisplay& display, const InstanceHandle& instance, int32_t x, int32_t y,
                 uint32_t area[2], uint32_t value[2]) override;

private:
    static void drawTabBar(const Console& console, IRenderCanvas& canvas, const DeviceRect& area);
};

// Makes the console's drawing the one every console uses from now on; consoles made after it start
// with the "Log" page.
void InstallConsoleDrawing();

} // namespace TarnEngine
