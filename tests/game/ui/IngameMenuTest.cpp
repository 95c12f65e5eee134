// The in-game menu on the sample's definition and the script-driven screen: the menu's buttons (the
// options and help screens over it, the question to leave, closing), Escape, a missing options
// definition; and the script methods of a LuaScreen (shown once, closed, game events as UTF-8,
// buttons, absent and failing methods).
#include "tests/game/ui/PlayerScreensFixture.h"

#include "game/ui/DlgHelp.h"
#include "game/ui/DlgIngameMenu.h"
#include "game/ui/LuaScreen.h"
#include "game/ui/UIOptions.h"

namespace PlayerScreensTest
{
namespace
{

class IngameMenuTest : public PlayerScreens
{
public:
    DlgIngameMenu* OpenMenu()
    {
        StartWith("Ann", "<PROFILE NAME=\"Ann\"/>");
        return Open<DlgIngameMenu>(L"dlg_ingamemenu");
    }
    Button* ButtonOf(Screen* screen, const wchar_t* name) { return Child<Button>(screen, name); }
};

TEST_F(IngameMenuTest, OptionsAndHelpOpenOverTheMenuWhichStays)
{
    DlgIngameMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    struct Case
    {
        const wchar_t* button;
        const wchar_t* screen;
        const wchar_t* close;
    };
    for (const Case& c : {Case{L"btn_options", L"dlg_options", L"cancelButton"},
                          Case{L"btn_help", L"dlg_help", L"cancelButton"}})
    {
        SCOPED_TRACE(c.button);
        Click(ButtonOf(menu, c.button));
        Screen* opened = Screens().GetTopModalScreen();
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->name, c.screen);
        FramesUntilOpen(opened);
        EXPECT_EQ(menu->GetScreenState(), Screen::StateOpen);
        Click(ButtonOf(opened, c.close));
        ASSERT_TRUE(FramesUntilGone(c.screen));
        EXPECT_EQ(Screens().GetTopModalScreen(), menu);
    }
}

TEST_F(IngameMenuTest, ExitAsksTheGameManagersQuestionAndClosesTheMenu)
{
    DlgIngameMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    boxes.clear();
    Click(ButtonOf(menu, L"btn_exit"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"|T|ExitGame");
    EXPECT_TRUE(FramesUntilGone(L"dlg_ingamemenu"));
}

TEST_F(IngameMenuTest, CancelAndEscapeCloseTheMenu)
{
    DlgIngameMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    Click(ButtonOf(menu, L"cancelButton"));
    EXPECT_TRUE(FramesUntilGone(L"dlg_ingamemenu"));
    menu = Open<DlgIngameMenu>(L"dlg_ingamemenu");
    ASSERT_NE(menu, nullptr);
    TypeKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    EXPECT_TRUE(FramesUntilGone(L"dlg_ingamemenu"));
}

TEST_F(IngameMenuTest, AnotherButtonDoesNothing)
{
    DlgIngameMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    Button* help = ButtonOf(menu, L"btn_help");
    help->name = L"btn_other";
    menu->HandleButtonPressed(help);
    menu->HandleButtonPressed(nullptr);
    help->name = L"btn_help";
    Frames(30);
    EXPECT_EQ(Screens().GetTopModalScreen(), menu);
    EXPECT_EQ(menu->GetScreenState(), Screen::StateOpen);
}

TEST_F(IngameMenuTest, WithoutAnOptionsDefinitionNothingOpensAndTheMenuStays)
{
    std::string screens = ReadText(SampleInput() / "definitions/screens.xml");
    screens = std::regex_replace(screens, std::regex("name=\"dlg_options\""), "name=\"dlg_options_gone\"");
    WriteContent("input/definitions/screens.xml", screens);
    DlgIngameMenu* menu = OpenMenu();
    ASSERT_NE(menu, nullptr);
    Click(ButtonOf(menu, L"btn_options"));
    Frames(30);
    EXPECT_EQ(Screens().GetTopModalScreen(), menu);
    EXPECT_FALSE(IsOpen(L"dlg_options"));
}

TEST_F(IngameMenuTest, EscapeInAGameModeOpensTheMenu)
{
    StartWith("Ann", "<PROFILE NAME=\"Ann\"/>");
    Game().GetGameMgr().SwitchMode(1);
    Frames(5);
    TypeKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    Frames(2);
    EXPECT_NE(RObjectCast<DlgIngameMenu>(Screens().GetTopModalScreen()), nullptr);
}

// ---- The script-driven screen.

class LuaScreenTest : public PlayerScreens
{
public:
    void StartPanel(const std::string& methods)
    {
        StartWith("Ann", "<PROFILE NAME=\"Ann\"/>");
        ASSERT_TRUE(BuildPanelClass(methods));
    }
    LuaScreen* OpenPanel()
    {
        const InstanceHandle made = Screens().OpenScreen(L"lua_panel", L"", true, true);
        return RObjectCast<LuaScreen>(made.GetInstance());
    }
};

const char* const kRecordingPanel =
    "{ Shown = function(self) table.insert(told, 'Shown ' .. tostring(self == panelTable)) end,"
    "  Closed = function(self) table.insert(told, 'Closed') end,"
    "  OnScreenEvent = function(self, name, value) table.insert(told, name .. '=' .. value) end,"
    "  HandleButtonPressed = function(self, button) table.insert(told, 'pressed ' .. button:GetName()) end }";

TEST_F(LuaScreenTest, ShownOnceAtTheFirstUpdateAndClosedAfterTheClose)
{
    // Without "OnScreenEvent": the pause that a modal screen brings is not told.
    StartPanel("{ Shown = function(self) table.insert(told, 'Shown ' .. tostring(self == panelTable)) end,"
               "  Closed = function(self) table.insert(told, 'Closed') end }");
    LuaScreen* panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(Lua("panelTable = g_ScreenMgr2:CreateScreen('lua_panel', 'lua_panel', true, true)"));
    EXPECT_EQ(Told(), "") << "not before its first update";
    Frame();
    EXPECT_EQ(Told(), "Shown true");
    // Opening the open instance again returns it without a second "Shown".
    EXPECT_EQ(Screens().OpenScreen(L"lua_panel", L"", true, true).GetInstance(), panel);
    FramesUntilOpen(panel);
    EXPECT_EQ(Told(), "Shown true");
    ASSERT_TRUE(Lua("g_ScreenMgr2:CloseScreen('lua_panel', false)"));
    EXPECT_EQ(Told(), "Shown true");
    EXPECT_TRUE(FramesUntilGone(L"lua_panel"));
    EXPECT_EQ(Told(), "Shown true | Closed");
}

TEST_F(LuaScreenTest, GameEventsAndButtonsReachTheScriptAndTheScreenStays)
{
    StartPanel(kRecordingPanel);
    LuaScreen* panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    FramesUntilOpen(panel);
    ASSERT_TRUE(Lua("told = {}"));
    Screens().NotifyScreens(L"PAUSE", L"1");
    Screens().NotifyScreens(L"SAVE", L"");
    Screens().NotifyScreens(L"SETTINGS", L"\u00e9t\u00e9 \u65e5");
    EXPECT_EQ(Told(), "PAUSE=1 | SAVE= | SETTINGS=\xc3\xa9t\xc3\xa9 \xe6\x97\xa5");
    ASSERT_TRUE(Lua("told = {}"));
    Click(Child<Button>(panel, L"btn_a"));
    TypeKey(SDLK_RETURN, SDL_SCANCODE_RETURN);
    EXPECT_EQ(Told(), "pressed btn_a");
    Frames(30);
    EXPECT_EQ(panel->GetScreenState(), Screen::StateOpen) << "a LuaScreen never closes by itself";
}

TEST_F(LuaScreenTest, AbsentMethodsAreSkippedAndFailingOnesReported)
{
    StartPanel("{ Shown = function(self) error('broken Shown') end,"
               "  OnScreenEvent = function(self, name) table.insert(told, name) error('broken event') end }");
    LuaScreen* panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    FramesUntilOpen(panel);
    ASSERT_TRUE(Lua("told = {}"));
    Screens().NotifyScreens(L"PAUSE", L"0");
    Screens().NotifyScreens(L"PAUSE", L"1");
    EXPECT_EQ(Told(), "PAUSE | PAUSE") << "the screen carries on after an error";
    // No "HandleButtonPressed": the button does nothing and the screen stays.
    Click(Child<Button>(panel, L"btn_a"));
    ASSERT_TRUE(Lua("g_ScreenMgr2:CloseScreen('lua_panel', false)"));
    EXPECT_TRUE(FramesUntilGone(L"lua_panel"));
    Frames(2);
    EXPECT_EQ(Told(), "PAUSE | PAUSE");
}

} // namespace
} // namespace PlayerScreensTest
