// Program entry of pellwood: fills the start-up record, starts the engine
// with the game object, runs the loop and ends with the engine's exit code.
// The game itself is not here yet: the sample game object stands in for it and
// runs the sample's scripts.
#include "app/SampleGame.h"
#include "engine/runtime/EngineManager.h"

#include <unistd.h>

// A pure virtual call ends the program with its own exit code.
extern "C" void __cxa_pure_virtual()
{
    _exit(TarnEngine::ExitPureVirtualCall);
}

int main()
{
    using namespace TarnEngine;

    STarnGameInitParams params;
    params.applicationName = L"Pellwood";
    params.windowTitle = L"The Pellwood";
    params.iconId = 101;
    params.width = 1024;
    params.height = 768;
    params.backgroundColour = 0;
    params.fullscreenAllowed = 1;
    params.startFullscreen = 1;

    SampleGame::RegisterClasses();
    SampleGame game;
    int exitCode = ExitStartupFailed;
    {
        EngineManager engine;
        if (engine.Initialize(params, &game))
        {
            engine.Run();
            engine.Exit();
            exitCode = ExitNormal;
        }
        else if (engine.QuitDuringSplash())
            // The player closed the program during the splash screens; nothing failed.
            exitCode = ExitNormal;
    }
    return exitCode;
}
