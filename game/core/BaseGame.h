// A game mode: the small object that opens (Enter) and closes (Leave) the
// screen of one kind of level, and the list through which the modes are made
// known before the game manager sets itself up. The list is filled by the
// game's registration list (GameRegistrations.cpp) and consumed by
// GameMgr::Setup, which then owns the mode objects.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class BaseGame
{
public:
    // Virtual, unlike a bare interface, so that the manager can own the modes through this base.
    virtual ~BaseGame() = default;
    // True when the mode's screen is up.
    virtual bool Enter() = 0;
    virtual void Leave() = 0;
};

// The number of entries of the mode table (indices 0 to 7).
inline constexpr int32_t kGameModeCount = 8;

// Appends (index, mode) to the registration list; the list owns the mode until it is taken.
void RegisterGameMode(int32_t index, BaseGame* game);
// Hands the registration list over and empties it.
std::vector<std::pair<int32_t, std::unique_ptr<BaseGame>>> TakeGameModeRegistrations();
