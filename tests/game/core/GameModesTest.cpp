// Game modes and the game manager on the fixture: switching modes with
// checked indices, the level flow, the quit questions and saving on the
// way out.
#include "tests/game/GameFixture.h"

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/core/diagnostics/Console.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/GameModes.h"

#include <cmath>

using namespace TarnEngine;

namespace
{

const char* const kProfile = "<PROFILE NAME=\"Ann\"/>";

class GameModesTest : public GameFixture
{
public:
    // Starts with a current profile (so in the menu), counting the player state's OnLevelStart.
    void StartInMenu()
    {
        WriteProfileFile("Ann", kProfile);
        ASSERT_TRUE(Start());
        ASSERT_TRUE(Lua("function svc.PlayerState:OnLevelStart() Fixture.levelStarts = Fixture.levelStarts + 1 end\n"
                        "function svc.PlayerState:OnEndLevel() Fixture.levelEnds = Fixture.levelEnds + 1 end"));
        ASSERT_EQ(Mgr().GetCurrentModeIndex(), 0);
        Frames(2);
    }

    GameMgr& Mgr() { return Game().GetGameMgr(); }

    // The screen instance of that name under the screen manager's dialogs, or null.
    Screen* ScreenInstance(const std::wstring& name)
    {
        auto* dialogs = static_cast<Instance_Movie*>(_ScreenMgr::Get()->GetDialogsHandle().GetInstance());
        if (!dialogs)
            return nullptr;
        return RObjectCast<Screen>(dialogs->FindChildByPath(name).GetInstance());
    }

    int LevelStarts() { return int(LuaNumber("Fixture.levelStarts")); }

    // Lines of the game's log (as printed into the engine's console) that contain the text.
    size_t LoggedLines(const std::wstring& part)
    {
        size_t count = 0;
        for (const std::wstring& line : UserInterface::Get()->GetConsole()->GetLines())
            count += line.find(part) != std::wstring::npos;
        return count;
    }
};

struct SwitchCase
{
    int64_t index;
    const wchar_t* instance;   // null: nothing opens
    const wchar_t* definition;
    bool opened;               // the open flag
    int32_t modeAfter;
};

TEST_F(GameModesTest, SwitchModeOpensTheModesScreenOrNothing)
{
    const SwitchCase cases[] = {
        {0, L"scr_mainmenu", L"scr_mainmenu", true, 0},
        {1, L"scr_ispy", L"scr_ispy", false, 1},
        {2, L"mov_transition_hud", L"mov_transition_hud", true, 2},
        {3, L"typewriter_board", L"mov_typewriter_board", true, 3},
        {4, nullptr, nullptr, false, GameMgr::NoMode},
        {5, L"photowhille", L"level1", true, 5},
        {6, L"drquenby_que", L"drquenby_que", true, 6},
        {7, L"scr_prologue", L"scr_prologue", true, 7},
        {8, nullptr, nullptr, false, GameMgr::NoMode},
        {-1, nullptr, nullptr, false, GameMgr::NoMode},
        {int64_t(1) << 31, nullptr, nullptr, false, GameMgr::NoMode},
    };
    for (const SwitchCase& c : cases)
    {
        SCOPED_TRACE(c.index);
        TearDown();
        SetUp();
        StartInMenu();
        const int startsBefore = LevelStarts();
        Mgr().SwitchMode(c.index);
        EXPECT_EQ(Mgr().GetCurrentModeIndex(), c.modeAfter);
        EXPECT_EQ(LevelStarts(), startsBefore + (c.instance ? 1 : 0));
        // An index that names no mode is logged.
        EXPECT_EQ(LoggedLines(L"no game mode " + std::to_wstring(c.index) + L" to enter"), c.instance ? 0u : 1u);
        if (c.instance)
        {
            Screen* screen = ScreenInstance(c.instance);
            ASSERT_NE(screen, nullptr);
            EXPECT_EQ(screen->definitionName, c.definition);
            EXPECT_EQ(_ScreenMgr::Get()->FindScreen(c.instance) != nullptr, c.opened);
            EXPECT_FALSE(screen->eatsMouse && c.opened); // never modal
        }
        // The menu left before has closed its screen.
        if (c.index != 0)
            EXPECT_EQ(_ScreenMgr::Get()->FindScreen(L"scr_mainmenu"), nullptr);
        Stop();
    }
}

TEST_F(GameModesTest, ModeIndicesFromTheScriptAreChecked)
{
    struct LevelType
    {
        const char* value;
        int32_t modeAfter;
    };
    const LevelType cases[] = {
        {"2", 2},         {"0/0", GameMgr::NoMode}, {"math.huge", GameMgr::NoMode}, {"-math.huge", GameMgr::NoMode},
        {"1.5", GameMgr::NoMode}, {"4", GameMgr::NoMode}, {"2^31", GameMgr::NoMode}, {"-1", GameMgr::NoMode},
        {"'abc'", 0},     {"nil", 0},
    };
    for (const LevelType& c : cases)
    {
        SCOPED_TRACE(c.value);
        TearDown();
        SetUp();
        StartInMenu();
        ASSERT_TRUE(Lua(std::string("Fixture.levelType = ") + c.value));
        Mgr().SwitchMode(7);
        const int startsBefore = LevelStarts();
        const size_t loggedBefore = LoggedLines(L"no game mode");
        Mgr().EnterGame();
        EXPECT_EQ(Mgr().GetCurrentModeIndex(), c.modeAfter);
        EXPECT_EQ(LevelStarts(), startsBefore + (c.modeAfter == GameMgr::NoMode ? 0 : 1));
        // A number that names no mode is logged.
        EXPECT_EQ(LoggedLines(L"no game mode") > loggedBefore, c.modeAfter == GameMgr::NoMode);
        Stop();
    }
}

TEST_F(GameModesTest, AMissingGetLevelTypeGivesTheMenuAndAMissingIsGameFinishedCountsAsFinished)
{
    StartInMenu();
    Mgr().SwitchMode(7);
    ASSERT_TRUE(Lua("GameManager.GetLevelType = nil"));
    Mgr().EnterGame();
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 0);
    EXPECT_TRUE(boxes.empty());

    Mgr().SwitchMode(7);
    ASSERT_TRUE(Lua("GameManager.IsGameFinished = nil"));
    Mgr().EnterGame();
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"|T|GameAlreadyFinishedTitle");
    EXPECT_EQ(boxes[0].message, L"|T|GameAlreadyFinishedText");
    EXPECT_EQ(boxes[0].center, std::optional<std::wstring>(L"|T|Ok"));
    EXPECT_FALSE(boxes[0].left || boxes[0].right);
    EXPECT_EQ(boxes[0].id, 0);
    EXPECT_EQ(boxes[0].listener, nullptr);
}

TEST_F(GameModesTest, TheTransitionScreenIsToldTheLevel)
{
    StartInMenu();
    ASSERT_TRUE(Lua("Fixture.levelName = 'Level2'"));
    Mgr().SwitchMode(2);
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 2);
    EXPECT_EQ(LuaString("Fixture.transitionTo"), "Level2");
    // Leaving closes it through its own close operation.
    Mgr().SwitchMode(0);
    EXPECT_EQ(_ScreenMgr::Get()->FindScreen(L"mov_transition_hud"), nullptr);
}

TEST_F(GameModesTest, AMissingLevelLibraryEntersNoMode)
{
    StartInMenu();
    ASSERT_TRUE(Lua("Fixture.levelName = 'NoSuchLevel'"));
    const int startsBefore = LevelStarts();
    Mgr().SwitchMode(1);
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), GameMgr::NoMode);
    EXPECT_EQ(LevelStarts(), startsBefore);
    // A later switch recovers.
    Mgr().SwitchMode(0);
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 0);
}

TEST_F(GameModesTest, SwitchModeClosesModalScreensAndShowsTheShield)
{
    StartInMenu();
    _ScreenMgr::Get()->OpenScreen(L"dlg_ingamemenu", L"", true, true);
    ASSERT_NE(_ScreenMgr::Get()->GetTopModalScreen(), nullptr);
    Mgr().SwitchMode(7);
    Frames(60);
    EXPECT_EQ(_ScreenMgr::Get()->FindScreen(L"dlg_ingamemenu"), nullptr);
    auto* shield = static_cast<Instance_Movie*>(Game().GetLoadingMovie().GetInstance());
    ASSERT_NE(shield, nullptr);
    EXPECT_TRUE(shield->visible);
}

TEST_F(GameModesTest, LevelEndWhenFinishedSavesOnceAndShowsTheFinishedBox)
{
    StartInMenu();
    Mgr().SwitchMode(1);
    ASSERT_TRUE(Lua("Fixture.finished = true"));
    const int writesBefore = ProfileWrites();
    ClearScriptEvents();
    Mgr().OnLevelEnd();
    EXPECT_EQ(ProfileWrites(), writesBefore + 1);
    EXPECT_EQ(LuaNumber("Fixture.levelEnds"), 1);
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"|T|GameFinishedTitle");
    EXPECT_EQ(boxes[0].message, L"|T|GameFinishedText");
    EXPECT_EQ(boxes[0].center, std::optional<std::wstring>(L"|T|Ok"));
    EXPECT_EQ(boxes[0].id, 0);
    EXPECT_EQ(boxes[0].listener, nullptr);
    EXPECT_EQ(boxes[0].callback, nullptr);
}

TEST_F(GameModesTest, LevelEndWhenNotFinishedEntersTheNextLevel)
{
    StartInMenu();
    Mgr().SwitchMode(1);
    ASSERT_TRUE(Lua("Fixture.levelType = 5"));
    Mgr().OnLevelEnd();
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 5);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(GameModesTest, RequestQuitAsksWithTheModesTextAndTheRightButtonChangesNothing)
{
    StartInMenu();
    struct Case
    {
        int64_t mode;
        const wchar_t* text;
    };
    for (const Case& c : {Case{1, L"|T|AreYouSureMenuReqSaved"}, Case{0, L"|T|AreYouSureMenuReq"},
                          Case{5, L"|T|AreYouSureMenuReq"}, Case{4, L"|T|AreYouSureMenuReq"}})
    {
        SCOPED_TRACE(c.mode);
        Mgr().SwitchMode(c.mode);
        const int32_t mode = Mgr().GetCurrentModeIndex();
        boxes.clear();
        ASSERT_TRUE(Lua("GameManager:RequestQuit()"));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"|T|ExitGame");
        EXPECT_EQ(boxes[0].message, c.text);
        EXPECT_EQ(boxes[0].left, std::optional<std::wstring>(L"|T|Yes"));
        EXPECT_EQ(boxes[0].right, std::optional<std::wstring>(L"|T|No"));
        EXPECT_EQ(boxes[0].id, 1);
        EXPECT_EQ(boxes[0].listener, static_cast<UIMessageBoxListener*>(&Mgr()));
        const int writes = ProfileWrites();
        boxes[0].listener->HandleMsgBox(1, 2);
        EXPECT_EQ(Mgr().GetCurrentModeIndex(), mode);
        EXPECT_EQ(ProfileWrites(), writes);
    }
    // Yes from a level saves and goes to the menu.
    Mgr().SwitchMode(1);
    const int writes = ProfileWrites();
    Mgr().HandleMsgBox(1, 0);
    EXPECT_EQ(Mgr().GetCurrentModeIndex(), 0);
    EXPECT_EQ(ProfileWrites(), writes + 1);
}

TEST_F(GameModesTest, QuittingFromALevelSavesItsStateAndFromTheMenuSavesNothing)
{
    for (const int64_t mode : {int64_t(1), int64_t(0)})
    {
        SCOPED_TRACE(mode);
        TearDown();
        SetUp();
        StartInMenu();
        Mgr().SwitchMode(mode);
        ASSERT_TRUE(Lua("svc.PlayerState.t_data = { progress = 'chapter two' }"));
        ClearScriptEvents();
        boxes.clear();
        ASSERT_TRUE(Lua("GameManager:RequestQuitGame()"));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].message, L"|T|AreYouSureGameReq");
        EXPECT_EQ(boxes[0].listener, static_cast<UIMessageBoxListener*>(&Game()));
        EXPECT_EQ(boxes[0].id, 1);
        const std::wstring before = ProfileFileText();
        boxes[0].listener->HandleMsgBox(1, 0);
        // The close request runs the loop to its end, as the close button does.
        Engine().Run();
        Stop();
        const std::wstring after = ProfileFileText();
        if (mode == 1)
            EXPECT_NE(after.find(L"chapter two"), std::wstring::npos);
        else
            EXPECT_EQ(after, before);
    }
}

TEST_F(GameModesTest, LeftGameIsRaisedBeforeTheSave)
{
    StartInMenu();
    Mgr().SwitchMode(1);
    ASSERT_TRUE(Lua("function __OnEvent(name) if name == 'LeftGame' then svc.PlayerState.t_data = "
                    "{ seen = 'left first' } end end"));
    Stop();
    EXPECT_NE(ProfileFileText().find(L"left first"), std::wstring::npos);
}

TEST_F(GameModesTest, SetupAdoptsTheScriptsGameManagerTable)
{
    StartInMenu();
    EXPECT_TRUE(LuaBool("GameManager == svc.GameMgr"));
    EXPECT_TRUE(LuaBool("type(GameManager.GetLevelType) == 'function'"));
    EXPECT_TRUE(LuaBool("type(GameManager.Save) == 'function'"));
}

TEST_F(GameModesTest, WithoutAScriptTableSetupMakesOne)
{
    WriteContent("input/script/main.luc", "Fixture = { events = {}, settings = {}, levelStarts = 0 }");
    WriteProfileFile("Ann", kProfile);
    ASSERT_TRUE(Start());
    EXPECT_TRUE(LuaBool("type(GameManager) == 'table' and GameManager == svc.GameMgr"));
    EXPECT_EQ(LuaString("GameManager:GetPlayerName()"), "Ann");
}

TEST_F(GameModesTest, TwoRegistrationsForOneIndexTheLaterWins)
{
    struct Fake final : BaseGame
    {
        bool Enter() override { return true; }
        void Leave() override {}
    };
    WriteProfileFile("Ann", kProfile);
    // Start runs the registration list, which registers the prologue at 7 after this one.
    RegisterGameMode(7, new Fake);
    ASSERT_TRUE(Start());
    EXPECT_NE(dynamic_cast<PrologueGame*>(Mgr().GetMode(7)), nullptr);
}

} // namespace
