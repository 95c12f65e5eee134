// The scripts' saved game state: the field "t_data" of the table published
// as "svc.PlayerState", kept in the current profile's "GAME_STATE_ENTRY".
// Scripts cannot make one; the game makes the one object and sets it up once
// the script state exists. The scripts may define "OnBeforeLoad" and
// "OnAfterLoad" on the table, which run around a load.
#pragma once

#include <string>

#include "engine/scene/script/LuaBaseSubclass.h"

class ProfileStore;

class PlayerState final : public TarnEngine::LuaSubclass
{
    TARN_RCLASS(PlayerState)
    TARN_LUA_CLASS("PlayerState")
public:
    explicit PlayerState(ProfileStore* profiles = nullptr);
    ~PlayerState() override;
    PlayerState(const PlayerState&) = delete;
    PlayerState& operator=(const PlayerState&) = delete;

    void SetProfileStore(ProfileStore* profiles) { store = profiles; }

    // Binds the object's table when it has none yet and publishes it as
    // "svc.PlayerState".
    void Setup();
    // Reads the current profile's state into "t_data"; false (logged) when
    // the read failed part-way.
    bool Load();
    // Writes "t_data" into the current profile's "GAME_STATE_ENTRY", except
    // after a failed load of that profile: its stored state then stays.
    bool Save();

    static void RegisterLua(lua_State* state);

private:
    ProfileStore* store = nullptr;
    // The profile whose state was last loaded (or tried), so that a switch
    // to another one starts from an empty table.
    std::wstring loadedProfile;
    unsigned long loadedRemovals = 0;
    bool anyLoad = false;
    // Set while the loaded profile's state could not be read whole.
    bool loadFailed = false;
};

// Enters the class record, so that the script manager builds its class table.
void RegisterPlayerStateScriptClass();
