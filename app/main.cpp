// Program entry of pellwood: runs the game's registration list, constructs
// the engine and then the game object, fills the start-up record, starts the
// engine with the game, runs the loop and ends with 0 when the engine ran and
// 1 when its start-up failed (the engine ends the process itself, with codes
// of its own, on a fatal error).
#include "engine/runtime/EngineManager.h"
#include "game/core/Core.h"
#include "game/core/GameRegistrations.h"
#include "game/core/StartupRecord.h"
#include "platform/system/PageStorage.h"

#include <unistd.h>

// A pure virtual call ends the program with its own exit code.
extern "C" void __cxa_pure_virtual()
{
    _exit(TarnEngine::ExitPureVirtualCall);
}

int main()
{
    using namespace TarnEngine;

    Platform::PageStorage::ReserveHeap(16u << 20);
    RegisterGameStatics();

    int exitCode = ExitStartupFailed;
    {
        EngineManager engine;
        Core game;
        const STarnGameInitParams params = MakeStartupRecord();

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
