// The game fixture with content for the credits screen and the two mini-games: the definitions of
// the credits screen (group "credits"), the typewriter library and the octane library, keyed
// strings, and long sounds of the names the boards play, all written into the test's content
// copy before Start. Shared by the credits tests and the mini-games' tests.
#pragma once

#include "tests/game/GameFixture.h"

#include <map>
#include <string>
#include <vector>

namespace TarnEngine
{
class Instance_Movie;
class Screen;
} // namespace TarnEngine

class MiniGameFixture : public GameFixture
{
public:
    void SetUp() override;

    // Keyed strings (UTF-8), written as the content's translator file.
    void SetStrings(const std::map<std::string, std::string>& strings);
    // Which of "anim0".."anim3" the credits screen has; "credits.xml" text (empty: no file).
    void WriteCreditsContent(const std::vector<bool>& panels, const std::string& creditsXml);
    // The typewriter library; without one of "text", "paper" or "hud" when named.
    void WriteTypewriterContent(const std::string& leaveOut = "");
    // The octane library; cells or labels named in leaveOut are left out.
    void WriteOctaneContent(const std::vector<std::string>& leaveOut = {});

    // Start with a current profile, in the menu.
    bool StartInMenu();
    // A child of the screen manager's dialogs.
    TarnEngine::Instance_Movie* Dialog(const std::wstring& name);
    // Whether a sound of that name plays.
    bool Playing(const std::wstring& name);
    // Stops every sound, so that the next check sees only what comes after.
    void Silence();

private:
    std::map<std::string, std::string> strings;
    void writeStrings();
};
