// The recharging button: the mask frames of a running countdown, completion with and without sound,
// SetTimeout, a held countdown and a paused game clock, clicks, and arguments that are no good.
#include "tests/game/hiddenobject/ScreenFixture.h"

#include <limits>

namespace BoardTest
{
namespace
{

class RechargeButton : public OpenScreenFixture
{
protected:
    void SetUp() override
    {
        OpenScreenFixture::SetUp();
        if (HasFatalFailure())
            return;
        button = Button(screen, L"btn_hint");
        ASSERT_NE(button, nullptr);
        mask = Child<Instance_Movie>(button, L"disable_mask");
        ASSERT_NE(mask, nullptr);
        ASSERT_EQ(mask->GetNumFrames(), 10u);
        SetGlobal("button", button);
        Played();
    }

    RechargableButton* button = nullptr;
    Instance_Movie* mask = nullptr;
};

TEST_F(RechargeButton, MaskFramesFollowTheElapsedPartAndZeroEnablesOnce)
{
    button->Restart(60.0f);
    EXPECT_FALSE(button->enabled);
    EXPECT_TRUE(mask->visible);
    EXPECT_EQ(mask->requestedFrame, 0u);
    button->OnFrameUpdate(30.0f);
    EXPECT_EQ(mask->requestedFrame, 5u);
    button->OnFrameUpdate(29.99f);
    EXPECT_EQ(mask->requestedFrame, 9u);
    EXPECT_FALSE(button->enabled);
    EXPECT_TRUE(Played().empty());
    button->OnFrameUpdate(0.02f);
    EXPECT_TRUE(button->enabled);
    EXPECT_FALSE(mask->visible);
    EXPECT_EQ(button->remainingTime, 0.0f);
    EXPECT_EQ(Played(), (std::vector<std::wstring>{L"recharged"}));
    button->OnFrameUpdate(1.0f);
    EXPECT_TRUE(Played().empty()) << "once";
}

TEST_F(RechargeButton, LabelShowsTheRechargingTextWhileTheCountdownRuns)
{
    ASSERT_TRUE(Run("button:SetTextR('wait') button:SetTextF('ready')"));
    auto* label = Child<Instance_Text>(button, L"lbl_label");
    EXPECT_EQ(Narrow(label->text), "ready");
    ASSERT_TRUE(Run("button:Waste(10)"));
    EXPECT_EQ(Narrow(label->text), "wait");
    button->timerRunning = false;
    button->RefreshLabel();
    EXPECT_EQ(Narrow(label->text), "ready") << "held";
}

TEST_F(RechargeButton, RechargeTrueIsSilentAndFalseIsNot)
{
    ASSERT_TRUE(Run("button:Waste(10) button:Recharge(true)"));
    EXPECT_TRUE(button->enabled);
    EXPECT_TRUE(Played().empty());
    ASSERT_TRUE(Run("button:Waste(10) button:Recharge(false)"));
    EXPECT_TRUE(button->enabled);
    EXPECT_EQ(Played(), (std::vector<std::wstring>{L"recharged"}));
}

TEST_F(RechargeButton, SetTimeoutChangesOnlyTheFrameArithmetic)
{
    button->Restart(60.0f);
    button->OnFrameUpdate(10.0f); // 50 s left
    ASSERT_TRUE(Run("button:SetTimeout(100)"));
    EXPECT_FLOAT_EQ(button->remainingTime, 50.0f);
    button->OnFrameUpdate(10.0f); // 40 of 100 left: 10 x 60 / 100
    EXPECT_EQ(mask->requestedFrame, 6u);
    EXPECT_FLOAT_EQ(button->totalTime, 100.0f);
}

TEST_F(RechargeButton, HeldCountdownAndPausedGameClockStandStill)
{
    button->Restart(60.0f);
    button->timerRunning = false;
    button->OnFrameUpdate(30.0f);
    EXPECT_FLOAT_EQ(button->remainingTime, 60.0f);
    EXPECT_EQ(mask->requestedFrame, 0u);
    button->timerRunning = true;

    time->SetPaused(1, true);
    Step(60);
    EXPECT_FLOAT_EQ(button->remainingTime, 60.0f) << "game time paused";
    time->SetPaused(1, false);
    Step(60);
    EXPECT_LT(button->remainingTime, 60.0f);
    EXPECT_GT(button->remainingTime, 58.0f);
}

TEST_F(RechargeButton, ClickRestartsWithTheTotalUnlessItIsZero)
{
    SetGlobal("skip", Button(screen, L"btn_skip"));
    ASSERT_TRUE(Run("button:SetTimeout(20)"));
    ASSERT_TRUE(screen->GetMode() == HOScreen::MODE_HO);
    // A plain click on the guess button: it opens the dialog and starts recharging.
    RechargableButton* guess = Button(screen, L"btn_guess");
    guess->SetTimeout(20.0f);
    Click(int(guess->GetX()) + 10, int(guess->GetY()) + 10);
    EXPECT_FALSE(guess->enabled);
    EXPECT_FLOAT_EQ(guess->remainingTime, 20.0f);
    Step(2);
    screens->CloseScreen(L"dlg_guess", false);
    Step(30);

    guess->Complete(true);
    guess->SetTimeout(0.0f);
    Click(int(guess->GetX()) + 10, int(guess->GetY()) + 10);
    EXPECT_TRUE(guess->enabled) << "no timeout: usable at once";
}

TEST_F(RechargeButton, BadArgumentsChangeNothing)
{
    button->Restart(60.0f);
    button->OnFrameUpdate(30.0f);
    for (const char* call : {"button:Waste('x')", "button:Waste()", "button:Recharge(1)", "button:Recharge('true')",
                             "button:Waste(0/0)", "button:SetTimeout(0/0)", "button:SetTimeout(1/0)",
                             "button.Waste({}, 5)", "button:SetTextR(5)"})
    {
        ASSERT_TRUE(Run(call)) << call;
        EXPECT_FALSE(button->enabled) << call;
        EXPECT_FLOAT_EQ(button->remainingTime, 30.0f) << call;
        EXPECT_FLOAT_EQ(button->totalTime, 60.0f) << call;
    }
    // A timeout of 0 or below while recharging: the countdown counts as done, the frame stays valid.
    for (const char* call : {"button:SetTimeout(0)", "button:SetTimeout(-5)"})
    {
        button->Restart(60.0f);
        ASSERT_TRUE(Run(call));
        button->OnFrameUpdate(1.0f);
        EXPECT_TRUE(button->enabled) << call;
        EXPECT_LT(mask->requestedFrame, 10u) << call;
    }
    // A total below the remaining time would give a negative frame: clamped.
    button->Restart(60.0f);
    button->SetTimeout(10.0f);
    button->OnFrameUpdate(1.0f);
    EXPECT_EQ(mask->requestedFrame, 0u);
    // Not finite directly.
    button->Restart(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FLOAT_EQ(button->totalTime, 10.0f);
    button->Restart(-3.0f);
    EXPECT_TRUE(button->enabled) << "nothing to wait for";
}

TEST_F(RechargeButton, WithoutMaskOrLabelItStillCounts)
{
    mask->Delete(false);
    Child<Instance_Base>(button, L"lbl_label")->Delete(false);
    Step(1);
    button->Restart(2.0f);
    button->OnFrameUpdate(1.0f);
    button->OnFrameUpdate(1.5f);
    EXPECT_TRUE(button->enabled);
}

} // namespace
} // namespace BoardTest
