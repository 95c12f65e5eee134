// The pages through which the console is shown. An overlay draws into the canvas of a display
// instance and may take mouse presses and keys while it is the selected page; the console keeps a
// list of them and switches between them when its tab and arrow hit areas are clicked.
//
// The console lives in the core, the display tree above it: what the console and its overlays need
// of display instances reaches them through IConsoleDisplay, which the user interface implements.
// Canvases belong to the graphics layer, above the core too: the console's own drawing (the "Log"
// page, the bar of tabs, the hit test of its canvas) is an IConsoleDrawing that the engine's start-up
// installs.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/base/InstanceHandle.h"

namespace TarnEngine
{

class Console;
class IRenderCanvas;
struct DeviceRect;

// What the console and its overlays need of the user interface.
class IConsoleDisplay
{
public:
    virtual ~IConsoleDisplay() = default;
    virtual Console* GetConsole() const = 0;
    // The canvas of a display instance, made when it has none and `create` is set; null for a
    // handle that is no longer valid.
    virtual IRenderCanvas* GetInstanceCanvas(const InstanceHandle& instance, bool create) = 0;
    virtual bool IsInstanceVisible(const InstanceHandle& instance) const = 0;
    virtual void SetInstanceVisible(const InstanceHandle& instance, bool visible) = 0;
    // The pointer position the user interface keeps, in its own coordinates.
    virtual void GetPointerPosition(int32_t& x, int32_t& y) const = 0;
};

class IConsoleOverlay
{
public:
    virtual ~IConsoleOverlay() = default;
    // The page's title.
    virtual std::wstring GetName() const = 0;
    // Draws the page into the instance's canvas, within the rectangle.
    virtual void Print(IConsoleDisplay& display, const InstanceHandle& instance, const DeviceRect& rect) = 0;
    // A press while the page is selected and outside the console's own hit areas; true when used.
    virtual bool OnMousePress(IConsoleDisplay&, const InstanceHandle&, int /*button*/, uint32_t /*keyFlags*/,
                              int /*extra*/)
    {
        return false;
    }
    virtual bool OnKey(IConsoleDisplay&, const InstanceHandle&, uint32_t /*key*/) { return false; }
    // The page has become, or stopped being, the selected one.
    virtual void OnActivate(IConsoleDisplay&, const InstanceHandle&) {}
    virtual void OnDeactivate(IConsoleDisplay&, const InstanceHandle&) {}
};

// The console's drawing, installed from above the core (SetConsoleDrawing). Without it a console has
// no pages and draws nothing.
class IConsoleDrawing
{
public:
    virtual ~IConsoleDrawing() = default;
    // The built-in "Log" page: entry 1 of every console made while this is installed.
    virtual IConsoleOverlay* GetLogPage() = 0;
    // Console::PrintOverlay while the console is shown: the selected page and the bar of tabs and
    // arrows with their hit areas, into the console's instance.
    virtual void PrintOverlay(Console& console, IConsoleDisplay& display, const DeviceRect& area) = 0;
    // The hit area at (x, y) of the canvas of the console's instance (made when missing): its two tag
    // pairs, or false when there is none.
    virtual bool HitTest(IConsoleDisplay& display, const InstanceHandle& instance, int32_t x, int32_t y,
                         uint32_t area[2], uint32_t value[2]) = 0;
};

// Installs the console's drawing (not owned; null removes it).
void SetConsoleDrawing(IConsoleDrawing* drawing);
IConsoleDrawing* GetConsoleDrawing();

} // namespace TarnEngine
