// What the display tree and its widgets ask of the engine that runs them: besides the console's
// requests, whether the system's cursor is used and the window system that knows the keyboard.
// EngineManager implements it; it sits above the scene, which sees the engine only through this.
#pragma once

#include "engine/core/diagnostics/Console.h"

namespace Platform
{
class WindowSystem;
}

namespace TarnEngine
{

class IEngineHost : public IConsoleHost
{
public:
    virtual bool UsesSystemCursor() const = 0;
    virtual Platform::WindowSystem* GetWindowSystem() const = 0;
};

} // namespace TarnEngine
