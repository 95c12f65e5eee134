// Program entry of pellwood: fills the start-up record, starts the engine
// with the game object, runs the loop and ends with the engine's exit code.
// The game itself is not here yet: a minimal game object stands in for it and
// only lets the engine draw cleared frames.
#include "engine/core/EngineManager.h"
#include "engine/graphics/IGIL.h"

#include <unistd.h>

namespace
{

using namespace TarnEngine;

// Colour of the cleared frame (ARGB), so that a running window can be told from an empty one.
constexpr uint32_t kClearColour = 0xFF203048;

class MinimalGame final : public ITarnGame
{
public:
    bool Initialize() override
    {
        if (EngineManager* engine = EngineManager::Get())
            if (IGIL* device = engine->GetDevice())
                device->SetClearParams(true, kClearColour);
        return true;
    }
    bool CanClose() override { return true; }
    void OnActivate() override {}
    void OnDeactivate() override {}
    void Reserved(uintptr_t, uintptr_t) override {}
    void Shutdown() override {}
    void Update() override {}
};

} // namespace

// A pure virtual call ends the program with its own exit code.
extern "C" void __cxa_pure_virtual()
{
    _exit(ExitPureVirtualCall);
}

int main()
{
    STarnGameInitParams params;
    params.applicationName = L"Pellwood";
    params.windowTitle = L"The Pellwood";
    params.iconId = 101;
    params.width = 1024;
    params.height = 768;
    params.backgroundColour = 0;
    params.fullscreenAllowed = 1;
    params.startFullscreen = 1;

    MinimalGame game;
    int exitCode = ExitStartupFailed;
    {
        EngineManager engine;
        if (engine.Initialize(params, &game))
        {
            engine.Run();
            engine.Exit();
            exitCode = ExitNormal;
        }
    }
    return exitCode;
}
