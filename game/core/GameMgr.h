// The game manager: the table of game modes and the level flow. It switches
// modes (the only way a mode changes: leave, stop the sounds, close the modal
// screens, unload the level's resources, shield, enter), ends levels, saves
// the player's progress, and asks before leaving for the menu or the
// desktop. The scripts drive it through the global table "GameManager"
// (also "svc.GameMgr") and answer its questions through optional methods of
// that table: "GetLevelType", "GetCurrentLevelName" and "IsGameFinished".
// A member of the game object; it holds the player state.
#pragma once

#include "engine/scene/script/LuaBaseSubclass.h"
#include "game/core/BaseGame.h"
#include "game/core/PlayerState.h"
#include "game/ui/UIMessageBoxListener.h"

#include <cstdint>
#include <memory>
#include <string>

class ProfileStore;

class GameMgr final : public TarnEngine::LuaSubclass, public UIMessageBoxListener
{
    TARN_RCLASS(GameMgr)
    TARN_LUA_CLASS("GameMgr")
public:
    // The index GetCurrentModeIndex gives without a current mode.
    static constexpr int32_t NoMode = kGameModeCount;

    explicit GameMgr(ProfileStore* profiles = nullptr);
    ~GameMgr() override;
    GameMgr(const GameMgr&) = delete;
    GameMgr& operator=(const GameMgr&) = delete;

    // Takes the registered modes, binds "GameManager" (adopting the script's own table when
    // "main.lua" made one), publishes "svc.GameMgr" and sets up the player state.
    void Setup();
    // Leaves the current mode and enters the one at the index; an index that names no registered
    // mode enters nothing and is logged.
    void SwitchMode(int64_t index);
    void Save();
    void EnterGame();
    void OnLevelEnd();
    void RequestQuit();
    void RequestQuitGame();
    // Saves when a mode other than the menu runs, then switches to the menu.
    void SaveAndReturnToMenu();
    void Shutdown();

    int32_t GetCurrentModeIndex() const;
    std::wstring GetCurrentLevelName() const;
    bool IsGameFinished() const;
    PlayerState& GetPlayerState() { return playerState; }
    BaseGame* GetMode(int32_t index) const;

    // UIMessageBoxListener: the answer to "back to the menu?".
    void HandleMsgBox(int32_t id, int32_t result) override;

    static void RegisterLua(lua_State* state);

private:
    void bindScriptTable();

    BaseGame* current = nullptr;
    std::unique_ptr<BaseGame> modes[kGameModeCount];
    PlayerState playerState;
    ProfileStore* profiles = nullptr;
};

// Enters the "GameMgr" class record (no factory: scripts cannot make one).
void RegisterGameMgrClass();
