// The hidden-object screen's skip question, end of level and console functions, and what happens
// when the screen goes while its guess dialog is open or without being closed.
#include "tests/game/hiddenobject/ScreenFixture.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/TextField.h"

namespace BoardTest
{
namespace
{

// Stands in for a console function's handler.
struct Probe final : IConsoleHandler
{
    void ExecuteCommand(const std::vector<std::wstring>&, const InstanceHandle&) override { ++calls; }
    int calls = 0;
};

class ScreenLifetime : public ScreenFixture
{
protected:
    Console& TheConsole() { return *ui->GetConsole(); }
    // Whether a console function of that name is registered: a registration of our own succeeds
    // only when it is not.
    bool Registered(const wchar_t* name)
    {
        Probe probe;
        if (!TheConsole().RegisterFunction(name, &probe, 0))
            return true;
        TheConsole().UnregisterFunction(name);
        return false;
    }
    DlgGuess* OpenGuess(HOScreen* screen)
    {
        RechargableButton* guess = Button(screen, L"btn_guess");
        Click(int(guess->GetX()) + 10, int(guess->GetY()) + 10);
        Step(2);
        return RObjectCast<DlgGuess>(screens->FindScreen(L"dlg_guess"));
    }
    // The hidden-object mode's Leave: close, then one step of the screen manager.
    void Leave()
    {
        screens->CloseScreen(L"scr_ispy", true);
        screens->Update();
    }
};

TEST_F(ScreenLifetime, SkipAsksAndCancelLeavesTheButtonUsable)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(Run("theScreen:SetMode(2)"));
    RechargableButton* skip = Button(screen, L"btn_skip");
    skip->Complete(true);
    ASSERT_TRUE(skip->visible);
    Calls();
    Click(int(skip->GetX()) + 10, int(skip->GetY()) + 10);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0]->GetId(), HOScreen::SkipQuestionId);
    EXPECT_EQ(Boxes()[0]->GetListener(), static_cast<UIMessageBoxListener*>(screen));
    EXPECT_FALSE(skip->enabled);
    screen->HandleMsgBox(HOScreen::SkipQuestionId, UIMessageBox::ResultRight);
    EXPECT_TRUE(skip->enabled) << "usable at once";
    EXPECT_EQ(Calls(), "");
    screen->HandleMsgBox(HOScreen::NothingToHintId, UIMessageBox::ResultLeft);
    EXPECT_EQ(Calls(), "") << "another id";
    screen->HandleMsgBox(HOScreen::SkipQuestionId, UIMessageBox::ResultLeft);
    EXPECT_EQ(Calls(), "OnSkipQuest");
}

TEST_F(ScreenLifetime, EndsOfLevelOpenNumberedDialogs)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    const int32_t first = HOScreen::GetNextEndLevelNumber();
    ASSERT_TRUE(Run("theScreen:FinishLevel()"));
    TheConsole().HandleConsoleFunction(L"ispywin");
    Step(1);
    for (int32_t n : {first, first + 1})
    {
        const std::wstring name = L"dlg_endlevel_" + std::to_wstring(n);
        Screen* dialog = screens->FindScreen(name);
        ASSERT_NE(dialog, nullptr) << Narrow(name);
        EXPECT_EQ(dialog->definitionName, L"dlg_endlevel");
        EXPECT_TRUE(dialog->eatsMouse) << "modal";
    }
    EXPECT_FALSE(screen->IsHintEnabled());
    EXPECT_FALSE(screen->IsGuessEnabled());
    EXPECT_FALSE(screen->GetBoard()->inputEnabled);
    EXPECT_FALSE(Button(screen, L"btn_hint")->enabled);
    EXPECT_FALSE(Button(screen, L"btn_guess")->enabled);
}

TEST_F(ScreenLifetime, ConsoleFunctionsLiveWhileTheScreenIsOpen)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_TRUE(Registered(L"findall"));
    EXPECT_TRUE(Registered(L"ispywin"));
    screen->SelectGroups(4);
    Calls();
    TheConsole().HandleConsoleFunction(L"findall");
    for (const wchar_t* name : {L"key", L"hammer", L"cup", L"coin", L"bell"})
        EXPECT_EQ(Item(screen, name)->GetState(), ITEM_HIDDEN) << Narrow(name);
    const std::string calls = Calls();
    EXPECT_NE(calls.find("OnFound bell hidden"), std::string::npos) << calls;
    EXPECT_NE(calls.find("AllItemsFound"), std::string::npos) << calls;
    EXPECT_EQ(Item(screen, L"letter_a")->GetState(), ITEM_ACTIVE) << "letters are not items";
    EXPECT_TRUE(screen->IsHOCompleted());

    Leave();
    Step(2);
    EXPECT_FALSE(Registered(L"findall"));
    EXPECT_FALSE(Registered(L"ispywin"));
    TheConsole().HandleConsoleFunction(L"findall");
}

TEST_F(ScreenLifetime, AScreenDeletedWithoutClosingTakesItsConsoleFunctions)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    screen->Delete(false);
    Step(1);
    EXPECT_FALSE(Registered(L"findall"));
    TheConsole().HandleConsoleFunction(L"findall");
    TheConsole().HandleConsoleFunction(L"ispywin");
}

TEST_F(ScreenLifetime, LeavingWithTheGuessDialogOpen)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    DlgGuess* dialog = OpenGuess(screen);
    ASSERT_NE(dialog, nullptr);
    Leave();
    Step(2);
    ASSERT_EQ(screens->FindScreen(L"scr_ispy"), nullptr);
    ASSERT_EQ(screens->FindScreen(L"dlg_guess"), dialog) << "the modal dialog is still open";
    EXPECT_EQ(dialog->GetOwner(), nullptr);
    // A guess now is wrong, and cancelling reaches no screen.
    Child<TextField>(dialog, L"lbl_text")->text = L"ABC";
    EXPECT_FALSE(dialog->Judge());
    dialog->HandleButtonPressed(Child<TarnEngine::Button>(dialog, L"cancelButton"));
    Step(3);
    EXPECT_EQ(screens->FindScreen(L"dlg_guess"), nullptr);
}

TEST_F(ScreenLifetime, SwitchingModeWithTheGuessDialogOpenAndAnotherLevelAfter)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    DlgGuess* dialog = OpenGuess(screen);
    ASSERT_NE(dialog, nullptr);
    Leave();
    // The next mode's screen comes while the dialog is still there; the dialog closes later.
    HOScreen* next = OpenScreen();
    ASSERT_NE(next, nullptr);
    dialog->Close(false);
    Step(3);
    EXPECT_EQ(next->GetBoard()->letterFoundEvent.Size(), 1u) << "only the new screen's row";
    Leave();
    Step(2);
}

TEST_F(ScreenLifetime, QuittingWithTheGuessDialogOpen)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(OpenGuess(screen), nullptr);
    // The whole tree goes at once, in whatever order the engine deletes it.
    screens.reset();
    ui.reset();
}

TEST_F(ScreenLifetime, BoardReadyStepsSetUpTheScreen)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    auto* shield = RObjectCast<Instance_Movie>(screen->GetShield().GetInstance());
    ASSERT_NE(shield, nullptr);
    EXPECT_EQ(Narrow(shield->name), "shield");
    EXPECT_FALSE(shield->visible);
    EXPECT_FLOAT_EQ(shield->opacity, 0.5f);
    EXPECT_FALSE(shield->eatingMouse);
    EXPECT_EQ(shield->GetEventHandler(), static_cast<IInstanceEventHandler*>(screen));
    EXPECT_FLOAT_EQ(shield->ComputeWidth(false), 1024.0f);
    EXPECT_FLOAT_EQ(shield->ComputeHeight(false), 768.0f);
    EXPECT_EQ(screen->GetList()->GetShield(), screen->GetShield());
    // Drawing order, back to front: the board, the shield, the blurred copy, then the HUD.
    const std::vector<Instance_Base*>& order = screen->drawOrder;
    auto at = [&](Instance_Base* instance) { return std::find(order.begin(), order.end(), instance) - order.begin(); };
    EXPECT_EQ(at(screen->GetBoard()), 0);
    EXPECT_EQ(at(screen->GetBlurImage()), 1);
    EXPECT_EQ(at(shield), 2);
    EXPECT_LT(at(shield), at(screen->GetList()));
    EXPECT_TRUE(On<Instance_Movie>(screen, L"bg")->eatingMouse);
    EXPECT_TRUE(screen->GetList()->eatingMouse);
    EXPECT_TRUE(std::find(screens->GetOpenScreens().begin(), screens->GetOpenScreens().end(), screen) !=
                screens->GetOpenScreens().end())
        << "open, so that it hears the game's events";
}

TEST_F(ScreenLifetime, AmbientSceneLoadsWhenItsFileExists)
{
    ASSERT_NE(OpenScreen(), nullptr);
    EXPECT_EQ(screenServices.ambient, (std::vector<std::wstring>{L"audio\\ambient\\ho_level.xml"}));
    Leave();
    Step(2);
    screenServices.ambient.clear();
    screenServices.levelName = L"ho_level_quiet";
    HOScreen* quiet = OpenScreen();
    ASSERT_NE(quiet, nullptr);
    EXPECT_EQ(quiet->GetBoard()->name, L"ho_level_quiet");
    EXPECT_TRUE(screenServices.ambient.empty());
}

} // namespace
} // namespace BoardTest
