// The hidden-object mode in the running game: a level whose library cannot be loaded opens nothing.
#include "tests/game/GameFixture.h"

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/GameModes.h"

using namespace TarnEngine;

namespace
{

TEST_F(GameFixture, HiddenObjectModeWithoutItsLevelLibraryOpensNothing)
{
    WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
    ASSERT_TRUE(Start());
    Frames(2);
    ASSERT_TRUE(Lua("Fixture.levelName = 'NoSuchLevel'"));
    ISpyGame mode;
    EXPECT_FALSE(mode.Enter());
    auto* dialogs = static_cast<Instance_Movie*>(_ScreenMgr::Get()->GetDialogsHandle().GetInstance());
    ASSERT_NE(dialogs, nullptr);
    EXPECT_FALSE(dialogs->FindChildByPath(L"scr_ispy").IsValid());
    Stop();
}

} // namespace
