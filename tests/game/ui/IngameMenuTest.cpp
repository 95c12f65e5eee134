// The in-game menu on the sample's definition and the script-driven screen: the menu's buttons (the
// options and help screens over it, the question to leave, closing), Escape, a missing options
// definition; and the script methods of a LuaScreen (shown once, closed, game events as UTF-8,
// buttons, absent and failing methods).
#include "tests/game/ui/PlayerScreensFixture.h"

#include "game/ui/DlgHelp.h"
#include "game/ui/DlgIngameMenu.h"
#include "game/ui/LuaScreen.h"
#include "game/ui/UIMessageBox.h"
#include "game/ui/UIOptions.h"

#include <algorithm>

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

// One Escape press answers the modal screen on top and nothing else: its key-down answers the box (or
// leaves the menu), and its key-up must not open the menu once that screen has gone, however long
// the key was held (a box without a backdrop is gone at the next frame). A later press still opens
// the menu.
class EscapeOnceTest : public IngameMenuTest, public UIMessageBoxListener
{
public:
    void HandleMsgBox(int32_t, int32_t result) override { answers.push_back(result); }
    DlgIngameMenu* TopMenu() { return RObjectCast<DlgIngameMenu>(Screens().GetTopModalScreen()); }
    // Frames until the screen is no longer listed, open or closing (at most 200); by the object,
    // since an answered box gives up its name.
    bool FramesUntilDeleted(const Screen* screen)
    {
        auto listed = [&]
        {
            for (const auto* list : {&Screens().GetOpenScreens(), &Screens().GetClosingScreens()})
                if (std::find(list->begin(), list->end(), screen) != list->end())
                    return true;
            return false;
        };
        for (int i = 0; i < 200 && listed(); ++i)
            Frame();
        return !listed();
    }
    std::vector<int32_t> answers;
};

TEST_F(EscapeOnceTest, TheKeyUpOfAnEscapeThatAnsweredAModalScreenOpensNoMenu)
{
    enum Opened
    {
        FadingBox,
        PlainBox,
        Menu
    };
    struct Case
    {
        const char* name;
        Opened opened;
        bool repeats;   // the key auto-repeats while held
        bool focusLost; // the window loses its focus while the key is held; its release is lost
    };
    for (const Case& c : {Case{"box that fades", FadingBox, false, false},
                          Case{"box without a backdrop", PlainBox, false, false},
                          Case{"box, key repeating", PlainBox, true, false},
                          Case{"in-game menu", Menu, false, false},
                          Case{"box, release lost with the focus", PlainBox, false, true}})
    {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.opened == PlainBox)
        {
            // No "blackback" definition: a modal screen has no backdrop and closes without a fade.
            std::string menus = ReadText(Content("input/definitions/menu.xml"));
            menus = std::regex_replace(menus, std::regex("name=\"blackback\""), "name=\"blackback_gone\"");
            WriteContent("input/definitions/menu.xml", menus);
        }
        StartWith("Ann", "<PROFILE NAME=\"Ann\"/>");
        Game().GetGameMgr().SwitchMode(1);
        Frames(5);
        answers.clear();
        Screen* top = nullptr;
        if (c.opened == Menu)
            top = Open<DlgIngameMenu>(L"dlg_ingamemenu");
        else
        {
            top = ShowMessageBox(nullptr, this, 7, L"Skip?", L"m", L"|T|Yes", nullptr, L"|T|No");
            if (top)
                FramesUntilOpen(top);
        }
        ASSERT_NE(top, nullptr);
        ASSERT_EQ(top->GetScreenState(), Screen::StateOpen);

        PressKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
        ASSERT_TRUE(FramesUntilDeleted(top));
        if (c.repeats)
            for (int i = 0; i < 3; ++i)
            {
                windows.PressKey(Engine().GetWindow()->GetHandle(), SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, true);
                Pump();
                Frame();
            }
        if (c.focusLost)
        {
            windows.SendWindowEvent(Engine().GetWindow()->GetHandle(), SDL_WINDOWEVENT_FOCUS_LOST);
            Pump();
            Frame();
            windows.SendWindowEvent(Engine().GetWindow()->GetHandle(), SDL_WINDOWEVENT_FOCUS_GAINED);
            Pump();
            Frames(2);
        }
        else
        {
            ReleaseKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
            Frames(2);
            EXPECT_EQ(Screens().GetTopModalScreen(), nullptr) << "the release opened a screen";
        }
        if (c.opened != Menu)
            EXPECT_EQ(answers, std::vector<int32_t>{UIMessageBox::ResultRight});

        // The next press is a command of its own again.
        TypeKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
        Frames(2);
        EXPECT_NE(TopMenu(), nullptr) << "a later Escape opens the menu";
    }
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
