// What the hidden-object board and its items need of the rest of the game: the game object's
// busy-cursor countdown and cursor choice, the sound service's panned sounds and the current
// profile's element. The board asks through this one small interface so that it can be driven
// without the whole game (tests install a recording one). Without an installed one the default
// asks the running game object (Core); with no game object either, it keeps the countdown itself,
// plays through the engine's sound manager and knows no profile.
#pragma once

#include <cstdint>
#include <string>

namespace TarnEngine
{
class XmlNode;
}

// The game's cursor indices, in the order the game object registers its cursors.
enum GameCursor : int32_t
{
    CF_DEFAULT = 0,
    CF_DRAGGABLE = 1,
    CF_DRAGGED = 2,
    CF_USE = 3,
    CF_NOUSE = 4,
    CF_CLICK = 5,
    CF_CLOCK = 6,
    CF_FREEZE = 7,
    CF_MAXID = 8,
};

class BoardServices
{
public:
    virtual ~BoardServices() = default;

    // Seconds left of the busy cursor; above 0 while it shows.
    virtual float GetBusyCountdown() = 0;
    // Sets the countdown and shows the busy cursor (CF_FREEZE).
    virtual void StartBusyCursor(float seconds) = 0;
    // Shows that cursor unless the busy countdown runs.
    virtual void SetCursorIdx(int32_t index) = 0;
    // Plays the named sound once with that pan (-1 left to 1 right).
    virtual void PlaySound(const std::wstring& soundName, float pan) = 0;
    // The current player's profile element, or null when there is none.
    virtual const TarnEngine::XmlNode* GetCurrentProfile() = 0;

    // The installed services, or the default.
    static BoardServices& Get();
    // Installs services (not owned; null goes back to the default). Returns the previous ones.
    static BoardServices* Install(BoardServices* services);
};
