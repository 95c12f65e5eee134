// The hidden-object screen while the game is paused (its clock stands, in the background or under a
// modal screen): clicks that reach the screen's controls through the user interface, past the
// pause movie and the blurred picture, use no hint, restart or recharge no button and move no
// puzzle item; once the game goes on, the same clicks act.
#include "game/hiddenobject/SceneBlur.h"
#include "tests/game/hiddenobject/ScreenFixture.h"

#include <algorithm>
#include <functional>

namespace BoardTest
{
namespace
{

class PausedScreen : public OpenScreenFixture
{
protected:
    void SetUp() override
    {
        OpenScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        // A stand-in for the game object's pause movie: in front of everything, input on, not
        // eating the pointer.
        pauseMovie = RObjectCast<Instance_Movie>(
            Instance_Movie::CreateChild(root, L"mov_white_blank", L"mov_pause", nullptr).GetInstance());
        ASSERT_NE(pauseMovie, nullptr);
        SceneBlur::FitSize(pauseMovie, 1024.0f, 768.0f);
        pauseMovie->SetVisible(false);
        for (const wchar_t* name : {L"btn_hint", L"btn_guess", L"btn_skip"})
            Button(screen, name)->SetTimeout(30.0f);
        Calls();
        Played();
    }

    // As the game object pauses and goes on: the game clock, the screens' "PAUSE" event (the
    // blurred picture over the board) and the pause movie in front.
    void Pause(bool on)
    {
        time->SetPaused(1, on);
        screens->NotifyScreens(L"PAUSE", on ? L"1" : L"0");
        pauseMovie->SetVisible(on);
        pauseMovie->MoveToFront();
    }

    void ClickOn(Instance_Base* instance, int button = 0)
    {
        ASSERT_NE(instance, nullptr);
        float left = 0, top = 0, right = 0, bottom = 0;
        instance->GetBounds(left, top, right, bottom, true);
        Click(int((left + right) / 2), int((top + bottom) / 2), button);
    }

    // The state a case looks at, as text.
    std::string ButtonState(const wchar_t* name)
    {
        RechargableButton* button = Button(screen, name);
        return std::string(button->enabled ? "enabled" : "disabled") + " " +
               std::to_string(int(button->remainingTime));
    }
    PuzzleItem* Lever() { return Child<PuzzleItem>(screen->GetBoard(), L"lever"); }
    std::string LeverState()
    {
        PuzzleItem* lever = Lever();
        return std::string(lever->IsDragging() ? "dragging" : "resting") + " at " +
               std::to_string(int(lever->x)) + "," + std::to_string(int(lever->y));
    }
    std::string OpenScreens()
    {
        std::string names;
        for (Screen* each : screens->GetOpenScreens())
            if (each != screen)
                names += Narrow(each->name) + (RObjectCast<UIMessageBox>(each) ? "(box) " : " ");
        return names;
    }
    // Only the entries showing these groups keep items, so that a hint offers a choice.
    void KeepGroups(std::initializer_list<int> kept)
    {
        screen->SelectGroups(4);
        std::vector<HUDListEntry*> all = screen->GetList()->GetEntries();
        for (size_t i = 0; i < all.size(); ++i)
            if (std::find(kept.begin(), kept.end(), int(i)) == kept.end())
            {
                for (ISpyItem* item : all[i]->GetItems())
                    item->SetState(ITEM_DISABLED);
                all[i]->SetGroup(-1);
                all[i]->Refresh();
            }
    }

    Instance_Movie* pauseMovie = nullptr;
};

TEST_F(PausedScreen, ClicksWhileTheClockStandsDoNothingAndActOnceItRuns)
{
    struct Case
    {
        const char* name;
        std::function<void()> prepare; // before the pause
        std::function<void()> click;
        std::function<std::string()> observe;
    };
    auto buttonCase = [this](const char* name, const wchar_t* button, int32_t mode)
    {
        return Case{name,
                    [this, button, mode]
                    {
                        if (mode == HOScreen::MODE_PUZZLE)
                            screen->SetMode(HOScreen::MODE_PUZZLE);
                        Button(screen, button)->Complete(true);
                        for (const wchar_t* item : {L"lever", L"gear"})
                            Child<BaseItem>(screen->GetBoard(), item)->SetState(ITEM_ACTIVE);
                    },
                    [this, button] { ClickOn(Button(screen, button)); },
                    [this, button] { return ButtonState(button) + " | " + OpenScreens(); }};
    };
    auto hintSelection = [this]
    {
        KeepGroups({0, 1});
        ClickOn(Button(screen, L"btn_hint"));
    };
    auto hintState = [this]
    { return ButtonState(L"btn_hint") + (screen->GetList()->IsSelecting() ? " selecting" : ""); };
    const Case cases[] = {
        buttonCase("hint button, items", L"btn_hint", HOScreen::MODE_HO),
        buttonCase("hint button, puzzle", L"btn_hint", HOScreen::MODE_PUZZLE),
        buttonCase("guess button", L"btn_guess", HOScreen::MODE_HO),
        buttonCase("skip button", L"btn_skip", HOScreen::MODE_PUZZLE),
        {"puzzle item dragged", [this] { Lever()->SetState(ITEM_ACTIVE); },
         [this]
         {
             MoveTo(620, 320);
             Press();
             MoveTo(720, 330);
             Step(2);
         },
         [this] { return LeverState(); }},
        {"puzzle item used",
         [this]
         {
             Lever()->SetState(ITEM_ACTIVE);
             Lever()->EnableDrag(false);
         },
         [this] { Click(620, 320); }, [this] { return LeverState(); }},
        // In the fixture's layout the list, not its entry, is under the pointer, so the press goes
        // to the entry's handler directly, as the engine would call it.
        {"hint entry picked", hintSelection,
         [this]
         {
             HUDListEntry* entry = screen->GetList()->GetEntries()[1];
             entry->OnMouseDown(entry->handle, 0);
         },
         hintState},
        {"hint selection cancelled", hintSelection, [this] { Click(500, 300, 1); }, hintState},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        ASSERT_FALSE(HasFatalFailure());
        c.prepare();
        Step(2);
        Calls();
        const std::string before = c.observe();

        Pause(true);
        Step(2);
        Played();
        c.click();
        Release();
        Step(2);
        EXPECT_EQ(c.observe(), before) << "acted while paused";
        EXPECT_EQ(Calls(), "") << "the script heard of it while paused";
        EXPECT_TRUE(Played().empty()) << "a sound while paused";

        Pause(false);
        Step(2);
        c.click();
        Release();
        Step(2);
        const std::string after = c.observe() + " | " + Calls();
        EXPECT_NE(after, before + " | ") << "the click does not reach it at all";
    }
}

// A drag that the pause catches (the focus goes with the button held): the item stands still and
// the release puts it back without asking the script about a drop.
TEST_F(PausedScreen, AReleaseWhilePausedEndsACarriedPuzzleItemsDragAtHome)
{
    PuzzleItem* lever = Lever();
    lever->SetState(ITEM_ACTIVE);
    Step(2);
    MoveTo(620, 320);
    Press();
    MoveTo(720, 330);
    Step(2);
    ASSERT_EQ(LeverState(), "dragging at 700,310");
    Calls();
    Pause(true);
    MoveTo(760, 360);
    Step(2);
    EXPECT_EQ(LeverState(), "dragging at 700,310") << "it does not follow the pointer while paused";
    MoveTo(720, 330);
    Release();
    EXPECT_EQ(LeverState(), "resting at 600,300");
    EXPECT_EQ(Calls(), "");
}

// The same for a button pressed before the pause: the release lets the look go and is no click.
TEST_F(PausedScreen, AButtonPressedBeforeThePauseIsNotClickedByAReleaseDuringIt)
{
    RechargableButton* hint = Button(screen, L"btn_hint");
    float left = 0, top = 0, right = 0, bottom = 0;
    hint->GetBounds(left, top, right, bottom, true);
    MoveTo(int((left + right) / 2), int((top + bottom) / 2));
    Press();
    ASSERT_EQ(hint->state, 2);
    Pause(true);
    Release();
    EXPECT_EQ(hint->state, 1);
    EXPECT_EQ(ButtonState(L"btn_hint"), "enabled 0");
    EXPECT_EQ(Calls(), "");
    Pause(false);
    Press();
    Release();
    EXPECT_EQ(Calls(), "HintButtonPressed");
}

} // namespace
} // namespace BoardTest
