// The console's drawing; see ConsoleDrawing.h.
#include "engine/runtime/ConsoleDrawing.h"

#include <algorithm>
#include <vector>

#include "engine/core/diagnostics/Console.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/runtime/ConsoleOverlayPrintBuffer.h"

namespace TarnEngine
{

ConsoleDrawing& ConsoleDrawing::Get()
{
    static ConsoleDrawing drawing;
    return drawing;
}

IConsoleOverlay* ConsoleDrawing::GetLogPage()
{
    return &ConsoleOverlayPrintBuffer::Get();
}

void ConsoleDrawing::PrintOverlay(Console& console, IConsoleDisplay& display, const DeviceRect& area)
{
    const InstanceHandle overlayInstance = console.GetOverlayInstance();
    IRenderCanvas* canvas = display.GetInstanceCanvas(overlayInstance, true);
    if (!canvas)
        return;
    // The hit areas must outlive the frame: presses come between frames.
    canvas->SetClearOnRender(false);
    canvas->Clear();
    DeviceRect page = area;
    page.top = std::min(area.bottom, area.top + Console::TabBarHeight);
    const uint32_t selected = console.GetSelectedOverlay();
    if (selected >= 1 && selected <= console.GetOverlays().size())
    {
        // Copied: the page may add pages while it draws. A page without an instance of its own (the
        // "Log" page) draws into the console's.
        const Console::OverlayEntry entry = console.GetOverlays()[selected - 1];
        entry.overlay->Print(display, entry.instance.IsValid() ? entry.instance : overlayInstance, page);
    }
    // Asked again: the page may have taken the instance away.
    if (IRenderCanvas* bar = display.GetInstanceCanvas(overlayInstance, false))
        drawTabBar(console, *bar, area);
}

void ConsoleDrawing::drawTabBar(const Console& console, IRenderCanvas& canvas, const DeviceRect& area)
{
    const float top = static_cast<float>(area.top);
    const float bottom = static_cast<float>(area.top + Console::TabBarHeight);
    const float middle = (top + bottom) * 0.5f;
    float x = static_cast<float>(area.left + Console::TabGap);
    const auto arrow = [&](bool forward)
    {
        const float left = x;
        const float right = x + static_cast<float>(Console::ArrowWidth);
        canvas.DrawRect(SpritePoint{left, top}, SpritePoint{right, bottom}, Console::TabColour, true);
        const float tip = forward ? right - 4.0f : left + 4.0f;
        const float back = forward ? left + 4.0f : right - 4.0f;
        canvas.DrawTriangle(SpritePoint{back, top + 3.0f}, SpritePoint{tip, middle},
                            SpritePoint{back, bottom - 3.0f}, Console::TabTextColour, true);
        HitTag tag;
        tag.words[0] = Console::ArrowArea;
        tag.words[2] = forward ? 1 : 0;
        canvas.AddHitRect(SpritePoint{left, top}, SpritePoint{right, bottom}, tag);
        x = right + static_cast<float>(Console::TabGap);
    };
    arrow(false);
    const std::vector<Console::OverlayEntry> pages = console.GetOverlays();
    for (size_t i = 0; i < pages.size(); ++i)
    {
        const std::wstring name = pages[i].overlay->GetName();
        // Without a font the width is guessed from the length, so the tab can still be clicked.
        int32_t width = static_cast<int32_t>(std::min<size_t>(name.size(), 64)) * 6;
        int32_t height = 0;
        canvas.MeasurePlainTextLine(width, height, Console::TabTextSize, name);
        width = std::clamp(width, 0, 512);
        const float left = x;
        const float right = x + static_cast<float>(width + 2 * Console::TabPadding);
        const bool selected = console.GetSelectedOverlay() == i + 1;
        canvas.DrawRect(SpritePoint{left, top}, SpritePoint{right, bottom},
                        selected ? Console::SelectedTabColour : Console::TabColour, true);
        canvas.DrawPlainTextLine(SpritePoint{left + static_cast<float>(Console::TabPadding), top + 2.0f},
                                 Console::TabTextSize, Console::TabTextColour, name);
        HitTag tag;
        tag.words[0] = Console::TabArea;
        tag.words[2] = static_cast<uint32_t>(i + 1);
        canvas.AddHitRect(SpritePoint{left, top}, SpritePoint{right, bottom}, tag);
        x = right + static_cast<float>(Console::TabGap);
    }
    arrow(true);
}

bool ConsoleDrawing::HitTest(IConsoleDisplay& display, const InstanceHandle& instance, int32_t x, int32_t y,
                             uint32_t area[2], uint32_t value[2])
{
    IRenderCanvas* canvas = display.GetInstanceCanvas(instance, true);
    return canvas && canvas->HitTest(SpritePoint{static_cast<float>(x), static_cast<float>(y)}, area, value);
}

void InstallConsoleDrawing()
{
    SetConsoleDrawing(&ConsoleDrawing::Get());
}

} // namespace TarnEngine
