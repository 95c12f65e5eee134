// The hint pop-up shown through ShowHintPopup and its script function on a 1024 x 768 screen: where
// it goes and which way its balloon points, the pad kept inside the screen, closing on a click or
// at the time-out on the real-time clock, the "HintClosed" event, and a second show with the same
// title.
#include "game/ui/HintPopup.h"
#include "engine/scene/widgets/Button.h"
#include "tests/game/ui/DialogFixture.h"

namespace GameUiTest
{
namespace
{

class HintPopupTest : public DialogFixture
{
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        // "HintClosed" notes its id with the state of the pop-up at that moment.
        ASSERT_TRUE(Run("function __OnEvent(name, id) note(name .. ' ' .. id .. ' ' .. popupState()) end"));
        lua_pushlightuserdata(lua.GetState(), this);
        lua_pushcclosure(lua.GetState(), &popupState, 1);
        lua_setglobal(lua.GetState(), "popupState");
    }

    HintPopup* Popup(const std::wstring& title)
    {
        auto* dialogs = Dialogs();
        return dialogs ? RObjectCast<HintPopup>(dialogs->FindChildByPath(title).GetInstance()) : nullptr;
    }

    HintPopup* Show(const std::wstring& title, float x, float y, int32_t id = 1, float timeout = 0.0f,
                    const std::wstring& text = L"text")
    {
        ShowHintPopup(title, text, x, y, id, timeout);
        current = Popup(title);
        return current;
    }

    void UntilOpen(Screen* screen)
    {
        for (int i = 0; i < 100 && screen->GetScreenState() != Screen::StateOpen; ++i)
            Tick();
        ASSERT_EQ(screen->GetScreenState(), Screen::StateOpen);
    }

    static int popupState(lua_State* state)
    {
        auto* self = static_cast<HintPopupTest*>(lua_touserdata(state, lua_upvalueindex(1)));
        const bool fading = self->current && self->Listed(self->current) &&
                            self->current->GetScreenState() == Screen::StateFadingOut;
        lua_pushstring(state, fading ? "fading" : "other");
        return 1;
    }

    HintPopup* current = nullptr;
};

TEST_F(HintPopupTest, ThePointChoosesPlaceAndFrame)
{
    struct Case
    {
        float x, y;
        const wchar_t* label;
        float atX, atY;
    };
    const Case cases[] = {
        {63, 100, L"on_right", 63, 100},      {64, 100, L"on_bottom", 64, 100},
        {960, 500, L"on_top", 960, 500},      {961, 500, L"on_left", 961, 500},
        {500, 384, L"on_bottom", 500, 384},   {500, 385, L"on_top", 500, 385},
        {-1, 200, L"on_center", 512, 384},    {200, -5, L"on_center", 512, 384},
        {10.5f, 20.25f, L"on_right", 10, 20},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        HintPopup* popup = Show(L"place" + std::to_wstring(++n), c.x, c.y);
        ASSERT_NE(popup, nullptr);
        EXPECT_EQ(popup->GetCurrentLabel(), c.label);
        EXPECT_FLOAT_EQ(popup->x, c.atX);
        EXPECT_FLOAT_EQ(popup->y, c.atY);
        popup->PlaceAt(c.x, c.y); // placing again is the same
        EXPECT_EQ(popup->GetCurrentLabel(), c.label);
    }
}

TEST_F(HintPopupTest, AFrameTheDefinitionLacksKeepsTheFrame)
{
    LoadDialogs("<D><Definition type=\"movie\" name=\"dlg_help_popup\" length=\"2\" fps=\"30\">"
                "<Label name=\"on_bottom\" frame=\"1\"/></Definition></D>");
    HintPopup* popup = Show(L"few", 500, 100);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetCurrentLabel(), L"on_bottom");
    popup->PlaceAt(10, 600); // "on_right" is not there
    EXPECT_EQ(popup->GetCurrentLabel(), L"on_bottom");
    EXPECT_FLOAT_EQ(popup->x, 10.0f);
}

TEST_F(HintPopupTest, ThePadStaysInsideTheRightAndBottomEdges)
{
    struct Case
    {
        float x, y;
        float padX, padY;
    };
    // The pad is 300 x 100 at the pop-up's origin.
    const Case cases[] = {
        {900, 100, -176, 0}, // on_bottom, right edge 1200
        {724, 100, 0, 0},    // on_bottom, right edge exactly 1024
        {900, 700, -176, 0}, // on_top
        {30, 700, 0, -32},   // on_right, bottom edge 800
        {990, 700, 0, -32},  // on_left
        {30, 668, 0, 0},     // on_right, bottom edge exactly 768
    };
    int n = 0;
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        HintPopup* popup = Show(L"pad" + std::to_wstring(++n), c.x, c.y, 1, 0.0f, L"body");
        ASSERT_NE(popup, nullptr);
        Tick();
        auto* pad = RObjectCast<Instance_Movie>(popup->GetPad().GetInstance());
        ASSERT_NE(pad, nullptr);
        EXPECT_FLOAT_EQ(pad->x, c.padX);
        EXPECT_FLOAT_EQ(pad->y, c.padY);
        EXPECT_EQ(Child<Instance_Text>(pad, L"title")->text, L"pad" + std::to_wstring(n));
        EXPECT_EQ(Child<Instance_Text>(pad, L"text")->text, L"body");
    }
}

TEST_F(HintPopupTest, ATimedPopupIgnoresClicksAndClosesAtItsTimeOut)
{
    const uint32_t shownAt = time->GetClock(0).now;
    HintPopup* popup = Show(L"timed", 500, 300, 7, 1.0f);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->IsTimed());
    UntilOpen(popup);
    Click(10, 10);
    ClickOn(RObjectCast<Instance_Movie>(popup->GetPad().GetInstance()));
    EXPECT_EQ(popup->GetScreenState(), Screen::StateOpen);
    // 1.0 s of the real-time clock from the show, in 16 ms frames.
    for (int frames = 0; popup->GetScreenState() == Screen::StateOpen && frames < 200; ++frames)
        Tick();
    EXPECT_EQ(popup->GetScreenState(), Screen::StateFadingOut);
    const uint32_t elapsedMs = time->GetClock(0).now - shownAt;
    EXPECT_GE(elapsedMs, 1000u);
    EXPECT_LT(elapsedMs, 1016u);
    EXPECT_EQ(Calls(), "HintClosed 7 fading");
    EXPECT_GT(TickUntilGone(popup), 0);
    EXPECT_EQ(Calls(), "") << "raised once";
}

TEST_F(HintPopupTest, AnUntimedPopupClosesOnAClickBesideIt)
{
    HintPopup* popup = Show(L"plain", 500, 300, 3);
    ASSERT_NE(popup, nullptr);
    EXPECT_FALSE(popup->IsTimed());
    UntilOpen(popup);
    Tick(100);
    EXPECT_EQ(popup->GetScreenState(), Screen::StateOpen) << "no time-out";
    Click(10, 10);
    EXPECT_EQ(popup->GetScreenState(), Screen::StateFadingOut);
    EXPECT_EQ(Calls(), "HintClosed 3 fading");
    EXPECT_GT(TickUntilGone(popup), 0);
    EXPECT_EQ(Calls(), "");
}

TEST_F(HintPopupTest, AClickOnThePadClosesItToo)
{
    HintPopup* popup = Show(L"pad click", 500, 300, 4);
    UntilOpen(popup);
    ClickOn(RObjectCast<Instance_Movie>(popup->GetPad().GetInstance()));
    EXPECT_EQ(Calls(), "HintClosed 4 fading");
}

TEST_F(HintPopupTest, ShowingTheSameTitleAgainMovesAndReArmsButKeepsTheTexts)
{
    HintPopup* popup = Show(L"again", 500, 300, 1, 1.0f, L"first");
    UntilOpen(popup); // 12 frames of the second
    HintPopup* again = Show(L"again", 100, 600, 2, 1.0f, L"second");
    ASSERT_EQ(again, popup);
    EXPECT_EQ(popup->GetId(), 2);
    EXPECT_FLOAT_EQ(popup->x, 100.0f);
    EXPECT_EQ(popup->GetCurrentLabel(), L"on_top");
    auto* pad = RObjectCast<Instance_Movie>(popup->GetPad().GetInstance());
    EXPECT_EQ(Child<Instance_Text>(pad, L"text")->text, L"first");
    // The time-out runs from the second show: not over 1.0 s after the first.
    Tick(55);
    EXPECT_EQ(popup->GetScreenState(), Screen::StateOpen);
    Tick(10);
    EXPECT_EQ(Calls(), "HintClosed 2 fading");
}

TEST_F(HintPopupTest, APopupThatIsClosingIsNotReused)
{
    HintPopup* popup = Show(L"busy", 500, 300, 1);
    UntilOpen(popup);
    Click(10, 10);
    EXPECT_EQ(Calls(), "HintClosed 1 fading");
    HintPopup* next = Show(L"busy", 200, 200, 2);
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, popup);
    EXPECT_EQ(popup->GetId(), 1);
    EXPECT_GT(TickUntilGone(popup), 0);
    UntilOpen(next);
    Click(10, 10);
    EXPECT_EQ(Calls(), "HintClosed 2 fading");
}

TEST_F(HintPopupTest, TheScriptFunctionNeedsAllSixArguments)
{
    ASSERT_TRUE(Run("ShowHintPopup('five', 'text', 100, 100, 1)"));
    EXPECT_EQ(Popup(L"five"), nullptr);
    ASSERT_TRUE(Run("ShowHintPopup('bad', 'text', 'x', 100, 1, 0)"));
    EXPECT_EQ(Popup(L"bad"), nullptr);
    // UTF-8 texts ("Über", "naïve") and a nil text.
    ASSERT_TRUE(Run("ShowHintPopup('\\195\\156ber', 'na\\195\\175ve', 100, 200, 5, 2.5)"));
    HintPopup* popup = Popup(L"Über");
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->GetText(), L"naïve");
    EXPECT_EQ(popup->GetId(), 5);
    EXPECT_TRUE(popup->IsTimed());
    ASSERT_TRUE(Run("ShowHintPopup('nil text', nil, 100, 200, 6, 0)"));
    ASSERT_NE(Popup(L"nil text"), nullptr);
    EXPECT_EQ(Popup(L"nil text")->GetText(), L"");
    // A nil title is the empty one: the pop-up takes its definition's name.
    ASSERT_TRUE(Run("ShowHintPopup(nil, 'untitled', 100, 200, 7, 0)"));
    HintPopup* untitled = Popup(HintPopup::DefinitionName);
    ASSERT_NE(untitled, nullptr);
    EXPECT_EQ(untitled->GetTitle(), L"");
    EXPECT_EQ(untitled->GetText(), L"untitled");
    EXPECT_EQ(untitled->GetId(), 7);
}

TEST_F(HintPopupTest, TheBackdropDoesNotOutliveItsHandler)
{
    HintPopup* popup = Show(L"short", 500, 300, 1);
    UntilOpen(popup);
    auto* back = RObjectCast<Instance_Movie>(popup->backdrop.GetInstance());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetEventHandler(), static_cast<IInstanceEventHandler*>(popup));
    // Deleted by other code: a click afterwards reaches nothing that has gone.
    popup->Delete(true);
    Tick(2);
    Click(10, 10);
    Tick(2);
    EXPECT_EQ(Calls(), "");
}

} // namespace
} // namespace GameUiTest

namespace GameUiTest
{
namespace
{

TEST_F(HintPopupTest, WhatLiesBehindTakesClicksAgainOnceThePopupHasGone)
{
    Button* behind = Create<Button>(root, L"w_button", L"behind", 10, 10);
    SetGlobal("behind", behind);
    ASSERT_TRUE(Run("function behind:OnButtonClick() note('behind') end"));
    MoveTo(600, 700);
    HintPopup* popup = Show(L"blocking", 500, 300, 1, 0.5f);
    UntilOpen(popup);
    Click(50, 30);
    EXPECT_EQ(Calls(), "") << "the pop-up's backdrop takes the click";
    MoveTo(600, 700);
    EXPECT_GT(TickUntilGone(popup), 0);
    EXPECT_EQ(Calls(), "HintClosed 1 fading");
    Tick(5);
    MoveTo(50, 30);
    Tick(2);
    Press();
    Release();
    EXPECT_EQ(Calls(), "behind");
}

} // namespace
} // namespace GameUiTest
