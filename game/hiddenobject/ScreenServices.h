// What the hidden-object screen and its dialogs need of the rest of the game: the current profile
// to save the level into, the current level's name, the ambient sound scene and the level-event
// report of a word guess. Asked through this small interface so that the screen can be driven
// without the whole game (tests install a recording one); the default asks the running game
// object (Core) and does nothing without one.
#pragma once

#include <string>

namespace TarnEngine
{
class XmlNode;
}

class ScreenServices
{
public:
    virtual ~ScreenServices() = default;

    // The current player's profile element (written on the next profile save), or null.
    virtual TarnEngine::XmlNode* GetCurrentProfile() = 0;
    // The name of the level being played; empty when none.
    virtual std::wstring GetCurrentLevelName() = 0;
    // Loads the ambient sound scene file and plays it.
    virtual void PlayAmbientScene(const std::wstring& fileName) = 0;
    // The level-event report of a power-up ("guess" with "correct" or "wrong").
    virtual void ReportPowerUpUsed(const std::wstring& name, const std::wstring& value) = 0;

    // The installed services, or the default.
    static ScreenServices& Get();
    // Installs services (not owned; null goes back to the default). Returns the previous ones.
    static ScreenServices* Install(ScreenServices* services);
};
