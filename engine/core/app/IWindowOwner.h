// What the render window asks of the engine that owns it: the engine's
// activation, suspension and display-mode switch, its start-up state, the game's consent
// to close, and the render device and renderer it reaches through the engine.
// EngineManager implements it; tests put a recording stand-in in its place.
#pragma once

namespace TarnEngine
{

class IWindowOwner
{
public:
    // The application became active or inactive (focus, minimise, restore).
    virtual void OnActivate() = 0;
    virtual void OnDeactivate() = 0;

    // The engine's current display mode and its switch (Alt+Enter).
    virtual bool IsFullscreen() const = 0;
    virtual void SetFullscreen(bool full) = 0;

    // Start-up is complete / the splash screens are running.
    virtual bool IsStarted() const = 0;
    virtual bool IsInSplash() const = 0;

    // While suspended (the session is locked or another one has the seat),
    // the main loop only idles.
    virtual void SetSuspended(bool suspended) = 0;

    // The game's answer whether the program may close now.
    virtual bool CanClose() = 0;

    // The render device: it runs and is not changing its mode (false while
    // there is no device or renderer); it shows its frames in a window rather
    // than full screen; it checks which monitor the window is on now.
    virtual bool IsDeviceReady() const = 0;
    virtual bool IsWindowed() const = 0;
    virtual void CheckMonitor() = 0;
    // The renderer shows the last frame again.
    virtual void PresentAgain() = 0;

protected:
    ~IWindowOwner() = default;
};

} // namespace TarnEngine
