// The game's start-up record; see StartupRecord.h.
#include "game/core/StartupRecord.h"

TarnEngine::STarnGameInitParams MakeStartupRecord()
{
    TarnEngine::STarnGameInitParams params;
    params.applicationName = L"Pellwood";
    params.windowTitle = L"The Pellwood";
    params.iconId = 101;
    params.width = 1024;
    params.height = 768;
    params.backgroundColour = 0; // the word after the height
    params.fullscreenAllowed = 1;
    params.startFullscreen = 1;
    return params;
}
