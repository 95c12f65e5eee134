// The game as the engine drives it: start-up, the close question, activation,
// shutdown and the per-frame update. The game object lives on the program
// entry's stack; the engine never deletes it.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class ITarnGame
{
public:
    // Last step of the engine's start-up; false makes start-up fail.
    virtual bool Initialize() = 0;
    // Asked when the window is to be closed.
    virtual bool CanClose() = 0;
    virtual void OnActivate() = 0;
    virtual void OnDeactivate() = 0;
    // Never called by the engine.
    virtual void Reserved(uintptr_t first, uintptr_t second) = 0;
    // From EngineManager::Exit, before the services go.
    virtual void Shutdown() = 0;
    // Once per due frame of a full tick.
    virtual void Update() = 0;

protected:
    ~ITarnGame() = default;
};

} // namespace TarnEngine
