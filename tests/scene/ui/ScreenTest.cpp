// Screens and their state machine: transitions requested while stepping wait for the step, plain
// and modal lives with their fade frame counts, the delay, closing during the fade-in, the
// backdrop's darkness for a first and a stacked dialog, placement on whole pixels and centring.
#include "tests/scene/widgets/WidgetFixture.h"

#include "engine/scene/ui/StateMachine.h"
#include "tests/scene/definitions/DefinitionTestSupport.h"

namespace WidgetTest
{
namespace
{

// Records its hooks, and asks for the next state from inside its step.
class TracingMachine final : public StateMachine
{
public:
    std::vector<std::string> trace;

protected:
    void OnEnter(int32_t s) override { trace.push_back("enter " + std::to_string(s)); }
    void OnLeave(int32_t s) override { trace.push_back("leave " + std::to_string(s)); }
    void OnUpdate(int32_t s) override
    {
        trace.push_back("update " + std::to_string(s));
        SetState(s + 1);
        trace.push_back("asked");
    }
};

TEST(StateMachineTest, ATransitionAskedForWhileSteppingWaitsForTheStep)
{
    TracingMachine machine;
    machine.SetState(5);
    machine.Update();
    EXPECT_EQ(machine.trace,
              (std::vector<std::string>{"leave 0", "enter 5", "update 5", "asked", "leave 5", "enter 6"}));
    EXPECT_EQ(machine.GetState(), 6);
    EXPECT_EQ(machine.GetPreviousState(), 5);
}

class Screens : public WidgetFixture
{
protected:
    Instance_Movie* Dialogs() { return RObjectCast<Instance_Movie>(screens->GetDialogsHandle().GetInstance()); }

    // A screen of the given size under "_dialogs", loaded; with a backdrop movie ready when asked.
    Screen* MakeScreen(const std::wstring& name, float width = 300, float height = 200, bool backdrop = false)
    {
        Screen* screen = Make<Screen>(Dialogs(), name, L"screen");
        Leaf(screen, L"panel", INSTANCE_IMAGE, 0, 0, width, height);
        if (backdrop)
        {
            Instance_Movie* back = Movie(screen, L"__UIScreenBack");
            Extent(back, 64, 64);
            screen->backdrop = back->movieHandle;
        }
        Load(screen);
        return screen;
    }

    // Steps until the screen is in the state; the number of steps, or -1 after 100.
    int StepsUntil(Screen* screen, int32_t state)
    {
        for (int steps = 1; steps <= 100; ++steps)
        {
            screens->Update();
            if (screen->GetScreenState() == state)
                return steps;
        }
        return -1;
    }
};

TEST_F(Screens, APlainScreenShowsAtOnceAndGoesWithoutAFade)
{
    Screen* screen = MakeScreen(L"menu");
    EXPECT_FALSE(screen->visible);
    EXPECT_FALSE(screen->inputEnabled);
    screen->Open(false);
    EXPECT_EQ(TakeSounds(), std::vector<std::wstring>{L"screen_open"});
    EXPECT_FALSE(screen->eatsMouse);
    EXPECT_FLOAT_EQ(screen->width, 300.0f);
    EXPECT_EQ(screens->GetOpenScreens(), std::vector<Screen*>{screen});

    EXPECT_EQ(StepsUntil(screen, Screen::StateFadingIn), 1);
    EXPECT_TRUE(screen->visible);
    EXPECT_EQ(StepsUntil(screen, Screen::StateOpen), 1);
    EXPECT_TRUE(screen->inputEnabled);
    EXPECT_FLOAT_EQ(screen->opacity, 1.0f);

    screen->Close(false);
    EXPECT_EQ(screen->GetScreenState(), Screen::StateClosed) << "no fade";
    EXPECT_FALSE(screen->inputEnabled);
    EXPECT_EQ(TakeSounds(), std::vector<std::wstring>{L"screen_close"});
    EXPECT_TRUE(screens->GetOpenScreens().empty());
    EXPECT_EQ(screens->GetClosingScreens(), std::vector<Screen*>{screen});
    const InstanceHandle handle = screen->handle;
    screens->Update();
    EXPECT_FALSE(handle.IsValid()) << "removed by the next update";
    EXPECT_TRUE(screens->GetClosingScreens().empty());
    Dialogs()->DeletePending();
}

TEST_F(Screens, ModalFadesTakeASixthOfASecondPlusAFrame)
{
    Screen* screen = MakeScreen(L"dlg", 300, 200, true);
    screen->Open(true);
    EXPECT_FLOAT_EQ(screen->opacity, 0.0f);
    EXPECT_TRUE(screen->eatsMouse);
    // Idle to fading in, ten steps of 6 x 1/60 to full opacity, one more to open.
    EXPECT_EQ(StepsUntil(screen, Screen::StateFadingIn), 1);
    EXPECT_EQ(StepsUntil(screen, Screen::StateOpen), 11);
    EXPECT_FLOAT_EQ(screen->opacity, 1.0f);
    screen->Close(true);
    EXPECT_EQ(screen->GetScreenState(), Screen::StateFadingOut);
    EXPECT_EQ(StepsUntil(screen, Screen::StateClosed), 11);
    EXPECT_FLOAT_EQ(screen->opacity, 0.0f);
    EXPECT_EQ(screens->GetClosingScreens(), std::vector<Screen*>{screen});
}

// A run followed from outside (a test driving the program) acts on a screen only once the log
// says it takes input, and on what it covered only once the log says it has gone: neither is said
// while a fade still eats the pointer.
TEST_F(Screens, TheLogSaysWhenAScreenTakesInputAndWhenItHasGone)
{
    DefinitionTest::CapturingLogger log;
    Screen* screen = MakeScreen(L"dlg", 300, 200, true);
    screen->Open(true);
    const std::wstring open = L"screen \"dlg\" open", closed = L"screen \"dlg\" closed";
    EXPECT_EQ(StepsUntil(screen, Screen::StateFadingIn), 1);
    // Ten steps to full opacity, one more to open.
    for (int step = 0; step < 11; ++step)
    {
        EXPECT_EQ(log.Count(open), 0u) << step;
        screens->Update();
    }
    EXPECT_EQ(screen->GetScreenState(), Screen::StateOpen);
    EXPECT_TRUE(screen->inputEnabled);
    EXPECT_EQ(log.Count(open), 1u);
    screen->Close(true);
    EXPECT_EQ(StepsUntil(screen, Screen::StateClosed), 11);
    EXPECT_EQ(log.Count(closed), 1u);
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST_F(Screens, TheDelayHoldsTheFadeInAndClosingDuringItFadesFromWhereItIs)
{
    Screen* screen = MakeScreen(L"dlg", 300, 200, true);
    screen->SetDelayCounter(3);
    screen->Open(true);
    screens->Update(); // fading in
    for (int frame = 0; frame < 4; ++frame)
    {
        screens->Update();
        EXPECT_FLOAT_EQ(screen->opacity, 0.0f) << frame;
    }
    for (int frame = 0; frame < 4; ++frame)
        screens->Update();
    EXPECT_NEAR(screen->opacity, 0.4f, 1e-5f);
    screen->Close(false);
    EXPECT_EQ(StepsUntil(screen, Screen::StateClosed), 5);
    EXPECT_EQ(screen->delayCounter, -1) << "a delay counts down once";
}

TEST_F(Screens, AFirstModalDarkensTheWindowAndAStackedOneDoesNot)
{
    ui->screenWidth = 1023;
    ui->screenHeight = 767;
    Screen* first = MakeScreen(L"first", 300, 200, true);
    Screen* second = MakeScreen(L"second", 300, 200, true);
    first->Open(true);
    second->Open(true);
    Instance_Movie* back = RObjectCast<Instance_Movie>(first->backdrop.GetInstance());
    EXPECT_FLOAT_EQ(back->opacity, 0.5f);
    EXPECT_FLOAT_EQ(second->backdrop.GetInstance()->opacity, 0.0f);
    EXPECT_FLOAT_EQ(back->scaleX, 1024.0f / 64.0f);
    EXPECT_FLOAT_EQ(back->scaleY, 768.0f / 64.0f);
    EXPECT_TRUE(back->eatingMouse);
    EXPECT_FALSE(back->allowFiltering);
    EXPECT_EQ(first->drawOrder.front(), back) << "behind the screen's own content";
    EXPECT_EQ(screens->GetTopModalScreen(), second);
}

TEST_F(Screens, AModalScreenWithoutBackdropIsShownAtFullOpacity)
{
    Screen* screen = MakeScreen(L"dlg");
    screen->Open(true);
    EXPECT_FALSE(screen->backdrop.IsValid());
    EXPECT_FLOAT_EQ(screen->opacity, 1.0f) << "an invisible screen must not eat the input";
    EXPECT_TRUE(screen->eatsMouse);
    EXPECT_EQ(StepsUntil(screen, Screen::StateOpen), 2);
    screen->Close(false);
    EXPECT_EQ(StepsUntil(screen, Screen::StateClosed), 1);
}

TEST_F(Screens, PlacementOnWholePixels)
{
    Screen* screen = MakeScreen(L"dlg", 301, 200, true);
    screen->Open(true);
    EXPECT_FLOAT_EQ(screen->x, 361.0f) << "(1024 - 301) / 2, floored";
    EXPECT_FLOAT_EQ(screen->y, 284.0f);
    EXPECT_FLOAT_EQ(screen->backdrop.GetInstance()->x, -361.0f) << "the backdrop covers the window";
    screen->Center(100.0f, 0.0f);
    EXPECT_FLOAT_EQ(screen->x, 411.0f);
    screen->MoveTo(10.2f, 20.7f);
    EXPECT_FLOAT_EQ(screen->x, 11.0f);
    EXPECT_FLOAT_EQ(screen->y, 21.0f);
    EXPECT_FLOAT_EQ(screen->backdrop.GetInstance()->x, -11.0f);
    EXPECT_FLOAT_EQ(screen->backdrop.GetInstance()->y, -21.0f);
}

TEST_F(Screens, ScriptMethods)
{
    Screen* screen = MakeScreen(L"dlg", 300, 200, true);
    SetGlobal("s", screen);
    ASSERT_TRUE(Run("s:SetAlphaSpeed('fast') s:SetAlphaSpeed(3) s:MoveTo(5.5) s:MoveTo(4.5, 7.25) "
                    "s:SetDelayCounter(2) s:Close('yes')"));
    EXPECT_FLOAT_EQ(screen->alphaSpeed, 3.0f);
    EXPECT_FLOAT_EQ(screen->x, 5.0f);
    EXPECT_FLOAT_EQ(screen->y, 8.0f);
    EXPECT_EQ(screen->delayCounter, 2);
    EXPECT_EQ(screen->GetRequestedScreenState(), Screen::StateIdle);
    screen->Open(false);
    ASSERT_TRUE(Run("s:Close(true)"));
    EXPECT_EQ(screen->GetScreenState(), Screen::StateClosed);
}

} // namespace
} // namespace WidgetTest
