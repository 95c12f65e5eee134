// The credits' and mini-games' classes are known by their names to definitions and scripts, and
// "EnterOctanePuzzle" is a script function, once the game's registration list has run.
#include "tests/game/minigames/MiniGameFixture.h"

#include "engine/scene/classes/RObject.h"
#include "engine/scene/script/LuaBinding.h"

using namespace TarnEngine;

TEST_F(MiniGameFixture, CreditsAndMiniGameClassesAreRegisteredByName)
{
    ASSERT_TRUE(StartInMenu());
    for (const char* name : {"WarpedText", "CreditsPad", "DlgCredits", "TypeLetter", "TypeWord", "TypeBoard",
                             "OctaneAnimController", "OctaneBtnContainer", "OctaneBoard"})
    {
        SCOPED_TRACE(name);
        RClass* record = RClass::FindByName(name);
        ASSERT_NE(record, nullptr);
        EXPECT_NE(RObjectCast<RInstanceClass>(record), nullptr);
        // Its script class, which scripts construct and derive from.
        lua_State* state = LuaBinding::GetState();
        ASSERT_NE(state, nullptr);
        const bool found = LuaPushTypeMetatable(state, name, false);
        EXPECT_TRUE(found);
        if (found)
            lua_pop(state, 1);
    }
    EXPECT_EQ(LuaString("type(EnterOctanePuzzle)"), "function");
}
