// Sets up the saved games that scripts/game-figures.sh measures with: the
// engine started on the sample with the game object (in SDL's offscreen
// driver), a profile "Bench" made current, with the prologue seen, so that a
// start goes to the main menu and Play to the level. The XDG folders are the
// caller's. Usage: game_start_make_profile <data-folder>
#include "engine/core/app/CommandLine.h"
#include "engine/runtime/EngineManager.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaMgr.h"
#include "game/core/Core.h"
#include "game/core/GameRegistrations.h"
#include "game/core/StartupRecord.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv)
{
    using namespace TarnEngine;
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: game_start_make_profile <data-folder>\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const CommandLine commandLine(L"pellwood -data " + std::filesystem::path(argv[1]).wstring() +
                                  L" -windowed -nosplash");
    EnginePlatform platform;
    platform.commandLine = &commandLine;
    platform.processHandlers = false;
    RegisterGameStatics();
    bool made = false;
    {
        EngineManager engine(platform);
        Core game;
        if (engine.Initialize(MakeStartupRecord(), &game))
        {
            ProfileStore& profiles = game.GetProfileStore();
            made = profiles.CreateProfile(L"Bench");
            profiles.SetCurrentProfile(L"Bench");
            if (LuaMgr* scripts = LuaMgr::Get();
                scripts && scripts->LoadScriptText("svc.PlayerState.t_data.prologueSeen = true"))
                LuaPCall(scripts->GetState(), 0, 0);
            game.GetGameMgr().Save();
            made = made && profiles.Save();
            engine.Exit();
        }
    }
    if (!made)
        std::fprintf(stderr, "game_start_make_profile: the profile was not saved\n");
    return made ? 0 : 1;
}
