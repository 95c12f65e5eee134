// The console's built-in page "Log": the newest printed lines over a dimmed rectangle, newest at the
// bottom. One instance serves every console of the process.
#pragma once

#include "engine/core/diagnostics/IConsoleOverlay.h"

namespace TarnEngine
{

class ConsoleOverlayPrintBuffer final : public IConsoleOverlay
{
public:
    static constexpr size_t ShownLines = 60;
    static constexpr uint32_t BackgroundColour = 0x80000000; // black at half opacity
    static constexpr uint32_t TextColour = 0xFFFFFFFF;
    static constexpr uint32_t TextSize = 10;
    static constexpr int32_t FirstLineAbove = 21; // from the bottom edge to the newest line
    static constexpr int32_t LineStep = 11;

    static ConsoleOverlayPrintBuffer& Get();

    std::wstring GetName() const override { return L"Log"; }
    void Print(IConsoleDisplay& display, const InstanceHandle& instance, const DeviceRect& rect) override;
};

} // namespace TarnEngine
