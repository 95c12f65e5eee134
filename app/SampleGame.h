// The game object that stands in for the game until it exists. It does the
// least the game's start-up does: it registers the game's cursor set, loads
// the base content group (its definition libraries and its sound
// definitions, "Audio\Audio.xml"), sets up the sound service the scripts
// reach as "svc.Sound", and runs "main.lua" through the script manager.
// Everything on screen then comes from the scripts and the definitions they
// instantiate in the display tree. Each frame it keeps the user interface's
// cursor effect where the pointer is, as the game's cursor handling does.
#pragma once

#include "app/SampleSound.h"
#include "game/ui/HintManager.h"
#include "engine/core/app/ITarnGame.h"

#include <cstdint>

class SampleGame final : public TarnEngine::ITarnGame
{
public:
    SampleGame();
    ~SampleGame();
    SampleGame(const SampleGame&) = delete;
    SampleGame& operator=(const SampleGame&) = delete;

    // The class records that definitions and scripts name; before the engine starts its scripts.
    static void RegisterClasses();

    bool Initialize() override;
    bool CanClose() override { return true; }
    void OnActivate() override {}
    void OnDeactivate() override {}
    void Reserved(uintptr_t, uintptr_t) override {}
    void Shutdown() override;
    void Update() override;

private:
    SampleSound sound;
    HintManager hints; // tooltips and timed hints, as the game object owns them
};
