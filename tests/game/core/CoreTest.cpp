// The game object on the fixture: pause with focus and modal screens, the
// in-game menu on Escape, the busy cursor, the widescreen bars and the
// level libraries.
#include "tests/game/GameFixture.h"

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"

#include <algorithm>
#include <filesystem>

using namespace TarnEngine;

// A screen that records the game events it is told.
class RecordingScreen final : public Screen
{
    TARN_RCLASS(RecordingScreen)
    TARN_LUA_CLASS("RecordingScreen")
public:
    void OnGameEvent(const std::wstring& name, const std::wstring& value) override
    {
        events().push_back(name + L" " + value);
    }
    static std::vector<std::wstring>& events()
    {
        static std::vector<std::wstring> list;
        return list;
    }
    static void RegisterLua(lua_State* state)
    {
        LuaClassDef def(state);
        def.AddParent(Screen::StaticScriptName());
        def.Build(StaticScriptName());
    }
};

TARN_IMPLEMENT_RINSTANCECLASS(RecordingScreen, Screen, RObjectFactory<RecordingScreen>, L"RecordingScreen",
                              &RecordingScreen::RegisterLua)

namespace
{

class CoreTest : public GameFixture
{
public:
    void StartInMenu()
    {
        RecordingScreen::StaticClass();
        WriteProfileFile("Ann", "<PROFILE NAME=\"Ann\"/>");
        ASSERT_TRUE(Start());
        ASSERT_EQ(Game().GetGameMgr().GetCurrentModeIndex(), 0);
        ASSERT_TRUE(_ScreenMgr::Get()
                        ->ShowScreen(L"scr_prologue", L"RecordingScreen", L"recorder", true, false)
                        .IsValid());
        Frames(2);
        RecordingScreen::events().clear();
    }

    std::vector<std::wstring> PauseEvents()
    {
        std::vector<std::wstring> out;
        for (const std::wstring& e : RecordingScreen::events())
            if (e.rfind(L"PAUSE ", 0) == 0)
                out.push_back(e);
        return out;
    }

    Instance_Movie* PauseMovie() { return static_cast<Instance_Movie*>(Game().GetPauseMovie().GetInstance()); }

    bool InFront(Instance_Base* instance)
    {
        Instance_Movie* root = UserInterface::Get()->GetRoot();
        return instance && !root->drawOrder.empty() && root->drawOrder.back() == instance;
    }

    uint32_t Cursor() { return Engine().GetWindow()->cursors.current; }
};

TEST_F(CoreTest, FocusAndModalScreensPauseTheGameFrameByFrame)
{
    StartInMenu();
    struct Step
    {
        bool foreground;
        bool modal;
        const wchar_t* pauseEvent; // null: none this frame
        bool paused;
        bool pauseMovieVisible;
    };
    const Step steps[] = {
        {true, false, nullptr, false, false},       {false, false, L"PAUSE 1", true, true},
        {false, false, nullptr, true, true},        {true, false, L"PAUSE 0", false, false},
        {true, true, L"PAUSE 1", true, false},      {true, true, nullptr, true, false},
        {false, true, nullptr, true, true},         {true, true, nullptr, true, false},
        {true, false, L"PAUSE 0", false, false},    {true, false, nullptr, false, false},
    };
    bool modalOpen = false;
    int index = 0;
    for (const Step& step : steps)
    {
        SCOPED_TRACE(index++);
        if (step.modal && !modalOpen)
            _ScreenMgr::Get()->OpenScreen(L"dlg_ingamemenu", L"", true, true);
        if (!step.modal && modalOpen)
        {
            // A modal screen counts until its fade-out has ended; the game stays paused meanwhile.
            _ScreenMgr::Get()->CloseScreen(L"dlg_ingamemenu", false);
            for (int i = 0; i < 120 && _ScreenMgr::Get()->GetTopModalScreen(); ++i)
            {
                RecordingScreen::events().clear();
                Frame();
                EXPECT_TRUE(PauseEvents().empty());
                EXPECT_TRUE(Game().IsPaused());
            }
            ASSERT_EQ(_ScreenMgr::Get()->GetTopModalScreen(), nullptr);
        }
        modalOpen = step.modal;
        foreground = step.foreground;
        RecordingScreen::events().clear();
        Frame();
        const std::vector<std::wstring> expected =
            step.pauseEvent ? std::vector<std::wstring>{step.pauseEvent} : std::vector<std::wstring>{};
        EXPECT_EQ(PauseEvents(), expected);
        EXPECT_EQ(Game().IsPaused(), step.paused);
        EXPECT_EQ(TimeManager::Get()->GetClock(1).paused, step.paused);
        ASSERT_NE(PauseMovie(), nullptr);
        EXPECT_EQ(PauseMovie()->visible, step.pauseMovieVisible);
        EXPECT_TRUE(InFront(PauseMovie()));
    }
}

TEST_F(CoreTest, DeactivationAlwaysPauses)
{
    StartInMenu();
    foreground = false;
    Frame();
    RecordingScreen::events().clear();
    Game().OnDeactivate();
    Game().OnDeactivate();
    EXPECT_EQ(PauseEvents(), (std::vector<std::wstring>{L"PAUSE 1", L"PAUSE 1"}));
}

TEST_F(CoreTest, PausingStopsTheGameClockAndVoiceAndEffectsButNotMusic)
{
    StartInMenu();
    ISoundManager* sounds = ISoundManager::Get();
    ASSERT_NE(sounds, nullptr);
    WeakPtr<ISound> voice = sounds->PlaySoundWithParams(L"tone_voice", true, false);
    WeakPtr<ISound> effects = sounds->PlaySoundWithParams(L"tone_effects", true, false);
    WeakPtr<ISound> music = sounds->PlaySoundWithParams(L"tone_music", true, false);
    ASSERT_TRUE(voice.Get() && effects.Get() && music.Get());
    Game().SetPaused(true);
    EXPECT_TRUE(TimeManager::Get()->GetClock(1).paused);
    EXPECT_FALSE(TimeManager::Get()->GetClock(0).paused);
    EXPECT_TRUE(voice.Get()->GetPaused());
    EXPECT_TRUE(effects.Get()->GetPaused());
    EXPECT_FALSE(music.Get()->GetPaused());
    Game().SetPaused(false);
    EXPECT_FALSE(TimeManager::Get()->GetClock(1).paused);
    EXPECT_FALSE(voice.Get()->GetPaused());
    EXPECT_FALSE(effects.Get()->GetPaused());
    EXPECT_EQ(PauseEvents(), (std::vector<std::wstring>{L"PAUSE 1", L"PAUSE 0"}));
}

TEST_F(CoreTest, EscapeOpensTheInGameMenuOnReleaseOutsideTheMenuMode)
{
    StartInMenu();
    struct Case
    {
        int64_t mode;
        bool opens;
    };
    for (const Case& c : {Case{0, false}, Case{1, true}, Case{4, true}})
    {
        SCOPED_TRACE(c.mode);
        Game().GetGameMgr().SwitchMode(c.mode);
        Frames(30);
        ASSERT_EQ(_ScreenMgr::Get()->GetTopModalScreen(), nullptr);
        PressKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
        EXPECT_EQ(_ScreenMgr::Get()->FindScreen(L"dlg_ingamemenu"), nullptr) << "a key press alone";
        ReleaseKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
        Screen* menu = _ScreenMgr::Get()->FindScreen(L"dlg_ingamemenu");
        EXPECT_EQ(menu != nullptr, c.opens);
        if (menu)
        {
            EXPECT_TRUE(menu->eatsMouse); // modal
            // Under the menu, Escape opens nothing more.
            const size_t open = _ScreenMgr::Get()->GetOpenScreens().size();
            TypeKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
            EXPECT_EQ(_ScreenMgr::Get()->GetOpenScreens().size(), open);
        }
    }
}

TEST_F(CoreTest, TheBusyCursorBlocksCursorRequestsAndWaitsWhileTheGameClockIsPaused)
{
    StartInMenu();
    Game().SetCursorIdx(3);
    EXPECT_EQ(Cursor(), 3u);
    Game().StartBusyCursor(1.0f);
    EXPECT_EQ(Cursor(), 7u);
    Game().SetCursorIdx(2);
    ASSERT_TRUE(Lua("GS.Cursor.SetCursorIdx(2)"));
    EXPECT_EQ(Cursor(), 7u);
    Frames(10);
    EXPECT_EQ(Cursor(), 7u);
    EXPECT_LT(Game().GetBusyCountdown(), 1.0f);
    // In the background the game clock stops: the countdown waits and the cursor is the default.
    foreground = false;
    Frame();
    const float left = Game().GetBusyCountdown();
    Frames(100);
    EXPECT_EQ(Game().GetBusyCountdown(), left);
    EXPECT_EQ(Cursor(), 0u);
    Game().SetCursorIdx(2);
    EXPECT_EQ(Cursor(), 0u);
    foreground = true;
    for (int i = 0; i < 200 && Game().GetBusyCountdown() > 0.0f; ++i)
        Frame(33);
    EXPECT_EQ(Cursor(), 0u);
    ASSERT_TRUE(Lua("GS.Cursor.SetCursorIdx(5)"));
    EXPECT_EQ(Cursor(), 5u);
    // A missing argument does nothing.
    ASSERT_TRUE(Lua("GS.Cursor.SetCursorIdx()"));
    EXPECT_EQ(Cursor(), 5u);
}

TEST_F(CoreTest, WidescreenBarsOnlyInFullScreenWithTheBorderModeOn)
{
    // In a window: none.
    StartInMenu();
    Frames(2);
    EXPECT_FALSE(Game().GetLeftBar().IsValid());
    TearDown();
    SetUp();
    // Full screen on the scripted 1920 x 1080 monitor: the 1024 x 768 picture between side borders.
    startFullscreen = true;
    fullscreen = true;
    StartInMenu();
    IGIL* device = Engine().GetDevice();
    ASSERT_GT(device->GetViewOffsetX(), 0);
    ASSERT_TRUE(Game().GetLeftBar().IsValid());
    // With the border mode off, bars that are gone are not made again.
    device->SetWidescreenMode(false);
    Game().GetLeftBar().GetInstance()->Delete(true);
    Game().GetRightBar().GetInstance()->Delete(true);
    Frames(2);
    EXPECT_FALSE(Game().GetLeftBar().IsValid());
    EXPECT_FALSE(Game().GetRightBar().IsValid());
    device->SetWidescreenMode(true);
    Frames(2);
    ASSERT_GT(device->GetViewOffsetX(), 0);
    ASSERT_TRUE(Game().GetLeftBar().IsValid());
    ASSERT_TRUE(Game().GetRightBar().IsValid());
    const InstanceHandle left = Game().GetLeftBar();
    const InstanceHandle right = Game().GetRightBar();
    Frames(3);
    EXPECT_TRUE(Game().GetLeftBar().Equals(left));
    EXPECT_TRUE(Game().GetRightBar().Equals(right));
    Instance_Base* rightBar = right.GetInstance();
    EXPECT_EQ(rightBar->x, 1024.0f);
    EXPECT_EQ(left.GetInstance()->x, 0.0f);
    // In front, the left one and then the right one; only the playing loading shield and the pause
    // movie go after them.
    const std::vector<Instance_Base*>& order = UserInterface::Get()->GetRoot()->drawOrder;
    const auto leftAt = std::find(order.begin(), order.end(), left.GetInstance());
    const auto rightAt = std::find(order.begin(), order.end(), rightBar);
    ASSERT_TRUE(leftAt != order.end() && rightAt != order.end());
    EXPECT_EQ(rightAt - leftAt, 1);
    for (auto after = rightAt + 1; after != order.end(); ++after)
        EXPECT_TRUE(*after == Game().GetLoadingMovie().GetInstance() || *after == Game().GetPauseMovie().GetInstance());
    // The width of a border in the game's units: 240 pixels at a scale of 1080 / 768.
    const float expectedWidth = float(device->GetViewOffsetX()) / device->GetViewScale();
    EXPECT_NEAR(expectedWidth, 240.0f / (1080.0f / 768.0f), 0.01f);
    EXPECT_NEAR(rightBar->ComputeWidth(false), expectedWidth, 0.01f);
    EXPECT_NEAR(left.GetInstance()->ComputeWidth(false), expectedWidth, 0.01f);
    // A bar that is gone is made again.
    left.GetInstance()->Delete(true);
    Frame();
    EXPECT_TRUE(Game().GetLeftBar().IsValid());
    EXPECT_FALSE(Game().GetLeftBar().Equals(left));
}

TEST_F(CoreTest, LevelLibrariesLoadOnceAndAFailedLoadChangesNothing)
{
    StartInMenu();
    EXPECT_TRUE(Game().EnsureLibraryLoaded(L"Level2"));
    EXPECT_EQ(Game().GetLoadedLibraries().count(L"Level2"), 1u);
    // Loaded once: the group's list is not read again.
    std::filesystem::remove(Content("Level2/libraries.xml"));
    EXPECT_TRUE(Game().EnsureLibraryLoaded(L"Level2"));
    const std::set<std::wstring> before = Game().GetLoadedLibraries();
    for (const wchar_t* name : {L"NoSuchLevel", L"", L"..\\input", L"Level1/../input"})
    {
        EXPECT_FALSE(Game().EnsureLibraryLoaded(name));
        EXPECT_EQ(Game().GetLoadedLibraries(), before);
    }
    WriteContent("NoSuchLevel/libraries.xml", "<libraries></libraries>");
    EXPECT_TRUE(Game().EnsureLibraryLoaded(L"NoSuchLevel"));
}

TEST_F(CoreTest, TooltipsGoThroughTheHintManager)
{
    StartInMenu();
    EXPECT_EQ(LuaNumber("select('#', GS.Tooltips.Show())"), 0);
    EXPECT_EQ(LuaNumber("select('#', GS.Tooltips.Show({}))"), 0);
    const double id = LuaNumber("GS.Tooltips.Show('hello')");
    EXPECT_GE(id, 0);
    ASSERT_TRUE(Lua("GS.Tooltips.Remove(" + std::to_string(int(id)) + ")"));
    ASSERT_TRUE(Lua("GS.Tooltips.Remove()"));
    ASSERT_TRUE(Lua("GS.Tooltips.Remove(-1)"));
}

TEST_F(CoreTest, TheLoadingShieldComesBackInFrontAndHidesWhenItsTimelineStops)
{
    StartInMenu();
    Game().ShowLoadingShield();
    auto* shield = static_cast<Instance_Movie*>(Game().GetLoadingMovie().GetInstance());
    ASSERT_NE(shield, nullptr);
    EXPECT_TRUE(shield->visible);
    EXPECT_TRUE(shield->inputEnabled);
    EXPECT_TRUE(InFront(shield));
    // The one-frame fixture movie plays out at once.
    shield->GetEventHandler()->OnTimelineStop(Game().GetLoadingMovie());
    EXPECT_FALSE(shield->visible);
    EXPECT_FALSE(shield->inputEnabled);
    EXPECT_EQ(UserInterface::Get()->GetRoot()->drawOrder.front(), shield);
}

} // namespace
