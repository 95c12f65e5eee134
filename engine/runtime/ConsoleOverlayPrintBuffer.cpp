// The console's "Log" page; see ConsoleOverlayPrintBuffer.h.
#include "engine/runtime/ConsoleOverlayPrintBuffer.h"

#include <algorithm>

#include "engine/core/diagnostics/Console.h"
#include "engine/graphics/canvas/IRenderCanvas.h"

namespace TarnEngine
{

ConsoleOverlayPrintBuffer& ConsoleOverlayPrintBuffer::Get()
{
    static ConsoleOverlayPrintBuffer printBuffer;
    return printBuffer;
}

void ConsoleOverlayPrintBuffer::Print(IConsoleDisplay& display, const InstanceHandle& instance,
                                      const DeviceRect& rect)
{
    Console* console = display.GetConsole();
    IRenderCanvas* canvas = display.GetInstanceCanvas(instance, true);
    if (!console || !canvas)
        return;
    canvas->Clear();
    const float left = static_cast<float>(rect.left);
    const float bottom = static_cast<float>(rect.bottom);
    canvas->DrawRect(SpritePoint{left, static_cast<float>(rect.top)}, SpritePoint{static_cast<float>(rect.right), bottom},
                     BackgroundColour, true);
    // Taken out first: drawing may log, and the log prints into these same lines.
    const std::vector<std::wstring>& lines = console->GetLines();
    const size_t shown = std::min(lines.size(), ShownLines);
    const std::vector<std::wstring> newest(lines.end() - static_cast<std::ptrdiff_t>(shown), lines.end());
    for (size_t i = 0; i < shown; ++i)
    {
        // Printed text is shown as it is, never read as a format.
        const float y = bottom - static_cast<float>(FirstLineAbove + LineStep * static_cast<int32_t>(i));
        canvas->DrawPlainTextLine(SpritePoint{left, y}, TextSize, TextColour, newest[shown - 1 - i]);
    }
}

} // namespace TarnEngine
