// The anchor of the game's cold start (scripts/game-figures.sh): the program
// entry of pellwood with a game object that only loads the game's five start-up
// groups, in the game's order and with its flags, and then shows empty frames.
// Whatever the real game object adds between the groups and the main menu's
// first frame (its script, sound service, cursors, game manager, profile,
// menu screen) is what the ratio shows.
#include "engine/core/app/ITarnGame.h"
#include "engine/runtime/EngineManager.h"
#include "game/core/Core.h"
#include "game/core/GameRegistrations.h"
#include "game/core/StartupRecord.h"

namespace
{

class GroupsOnly final : public TarnEngine::ITarnGame
{
public:
    bool Initialize() override
    {
        TarnEngine::EngineManager* engine = TarnEngine::EngineManager::Get();
        if (!engine)
            return false;
        for (const auto& [group, folder] : Core::StartupGroups)
            if (!engine->LoadLibraries(group, folder, 1, false))
                return false;
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

int main()
{
    using namespace TarnEngine;
    // The definitions name the game's classes; their registrations are part of any game's start.
    RegisterGameStatics();
    int exitCode = ExitStartupFailed;
    {
        EngineManager engine;
        GroupsOnly game;
        if (engine.Initialize(MakeStartupRecord(), &game))
        {
            engine.Run();
            engine.Exit();
            exitCode = ExitNormal;
        }
    }
    return exitCode;
}
