// Screens opened through the screen manager from definition files (the dialog "w_dialog", 400 x 300
// with "okButton", "cancelButton" and a panel holding another "cancelButton", and the backdrop
// "blackback") and driven by the user interface's input entries while the frames step: the
// backdrop of a first and a stacked modal screen, fade frame counts, closing during the fade-in,
// Escape and Enter for the top modal screen only, placement, and plain screens.
#include "tests/scene/widgets/InputFixture.h"

#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/Panel.h"

namespace WidgetTest
{
namespace
{

class ScreenInput : public InputFixture
{
protected:
    Screen* Open(const std::wstring& name, bool modal)
    {
        auto* screen = RObjectCast<Screen>(screens->OpenScreen(L"w_dialog", name, true, modal).GetInstance());
        EXPECT_NE(screen, nullptr);
        if (screen)
        {
            SetGlobal("screen", screen);
            // Every button notes its screen's name and its own when it is clicked.
            EXPECT_TRUE(Run("for _, path in ipairs({'okButton', 'cancelButton', 'inner.cancelButton'}) do "
                            "local b = screen:GetChildByName(path) "
                            "local owner = screen:GetName() "
                            "function b:OnButtonClick() note(owner .. ' ' .. path) end end"));
        }
        return screen;
    }

    // Frames until the screen is in the state; how many, or -1 after 100.
    int FramesUntil(Screen* screen, int32_t state)
    {
        for (int frames = 1; frames <= 100; ++frames)
        {
            Frames(1);
            if (screen->GetScreenState() == state)
                return frames;
        }
        return -1;
    }

    Button* Behind()
    {
        Button* button = Create<Button>(root, L"w_button", L"behind", 10, 10);
        SetGlobal("behind", button);
        EXPECT_TRUE(Run("function behind:OnButtonClick() note('behind') end"));
        return button;
    }
};

TEST_F(ScreenInput, AFirstModalScreenDarkensTheWindowAndAStackedOneDoesNot)
{
    Behind();
    Screen* first = Open(L"first", true);
    ASSERT_NE(first, nullptr);
    auto* back = RObjectCast<Instance_Movie>(first->backdrop.GetInstance());
    ASSERT_NE(back, nullptr) << "made from the definition \"blackback\"";
    EXPECT_EQ(back->definitionName, L"blackback");
    EXPECT_EQ(back->name, L"__UIScreenBack");
    EXPECT_FLOAT_EQ(back->opacity, 0.5f);
    EXPECT_FLOAT_EQ(back->scaleX, 1025.0f / 64.0f);
    EXPECT_FLOAT_EQ(back->scaleY, 769.0f / 64.0f);
    EXPECT_TRUE(back->visible);
    EXPECT_FALSE(back->allowFiltering);
    EXPECT_EQ(first->drawOrder.front(), back) << "behind the dialog's own content";
    EXPECT_FLOAT_EQ(back->x, -312.0f) << "it covers the window from its top-left corner";
    EXPECT_FLOAT_EQ(back->y, -234.0f);
    ASSERT_EQ(FramesUntil(first, Screen::StateOpen), 12);

    // The backdrop takes the pointer away from what lies behind.
    Click(50, 30);
    EXPECT_EQ(Calls(), "");

    Screen* second = Open(L"second", true);
    ASSERT_NE(second, nullptr);
    EXPECT_FLOAT_EQ(second->backdrop.GetInstance()->opacity, 0.0f) << "stacked dialogs do not darken twice";
    EXPECT_EQ(screens->GetTopModalScreen(), second);
}

TEST_F(ScreenInput, APlainScreenLetsThePointerThroughAndGoesAtOnce)
{
    Behind();
    Screen* menu = Open(L"menu", false);
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->backdrop.IsValid());
    EXPECT_EQ(FramesUntil(menu, Screen::StateOpen), 2);
    EXPECT_FLOAT_EQ(menu->opacity, 1.0f);
    Click(50, 30);
    EXPECT_EQ(Calls(), "behind");

    // Its ok button sits at (312 + 40, 234 + 240): the screen is centred only when modal, so at
    // (0, 0) it sits at (40, 240).
    MoveTo(90, 260);
    TakeSounds();
    Press();
    Release();
    EXPECT_EQ(Calls(), "menu okButton");
    EXPECT_EQ(menu->GetScreenState(), Screen::StateClosed) << "no fade";
    EXPECT_EQ(TakeSounds(), (std::vector<std::wstring>{L"bttn_click", L"screen_close"}));
    const InstanceHandle handle = menu->handle;
    Frames(2);
    EXPECT_FALSE(handle.IsValid());
}

TEST_F(ScreenInput, FadesStepBySixTimesTheFrameTime)
{
    Screen* dialog = Open(L"dialog", true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FLOAT_EQ(dialog->opacity, 0.0f);
    EXPECT_FALSE(dialog->inputEnabled);
    // One frame to start the fade, ten of 6 x 1/60 to full opacity, one more to open.
    Frames(1);
    EXPECT_TRUE(dialog->visible);
    for (int frame = 1; frame <= 10; ++frame)
    {
        Frames(1);
        EXPECT_NEAR(dialog->opacity, 0.1f * float(frame), 1e-5f) << frame;
        EXPECT_FALSE(dialog->inputEnabled) << frame;
    }
    Frames(1);
    EXPECT_EQ(dialog->GetScreenState(), Screen::StateOpen);
    EXPECT_TRUE(dialog->inputEnabled);

    Key(KeyEnter);
    EXPECT_EQ(Calls(), "dialog okButton");
    EXPECT_EQ(dialog->GetScreenState(), Screen::StateFadingOut);
    EXPECT_FALSE(dialog->inputEnabled) << "at once";
    EXPECT_EQ(FramesUntil(dialog, Screen::StateClosed), 11);
    EXPECT_FLOAT_EQ(dialog->opacity, 0.0f);
    EXPECT_EQ(screens->GetClosingScreens(), std::vector<Screen*>{dialog});
}

TEST_F(ScreenInput, ClosingDuringTheFadeInFadesOutFromWhereItIs)
{
    Screen* dialog = Open(L"dialog", true);
    ASSERT_NE(dialog, nullptr);
    Frames(6);
    const float reached = dialog->opacity;
    EXPECT_NEAR(reached, 0.5f, 1e-5f);
    // The buttons do not take the pointer yet, but Escape reaches the cancel button.
    Click(312 + 40 + 50, 234 + 240 + 20);
    EXPECT_EQ(Calls(), "");
    Key(KeyEscape);
    EXPECT_EQ(Calls(), "dialog cancelButton");
    EXPECT_EQ(dialog->GetScreenState(), Screen::StateFadingOut);
    Frames(1);
    EXPECT_NEAR(dialog->opacity, reached - 0.1f, 1e-5f) << "not from full opacity";
    const int frames = FramesUntil(dialog, Screen::StateClosed);
    EXPECT_GE(frames, 5);
    EXPECT_LE(frames, 6);
}

TEST_F(ScreenInput, EscapeAndEnterReachOnlyTheTopModalScreensOwnButtons)
{
    Screen* first = Open(L"first", true);
    ASSERT_EQ(FramesUntil(first, Screen::StateOpen), 12);
    Screen* second = Open(L"second", true);
    ASSERT_EQ(FramesUntil(second, Screen::StateOpen), 12);

    // The first screen's cancel button is not on the top modal screen, and the second screen's
    // panel holds a cancel button that is not the screen's own.
    Key('A');
    Key(KeyEscape);
    EXPECT_EQ(Calls(), "second cancelButton");
    ASSERT_EQ(FramesUntil(second, Screen::StateClosed), 11);
    Frames(2);
    EXPECT_EQ(screens->GetTopModalScreen(), first);
    Key(KeyEnter);
    EXPECT_EQ(Calls(), "first okButton");
    EXPECT_EQ(first->GetScreenState(), Screen::StateFadingOut);

    // The inner cancel button still answers the pointer; it tells its panel, not the screen. The
    // new screen fades in at its pace while the first one's fade-out ends below it.
    Screen* third = Open(L"third", true);
    ASSERT_EQ(FramesUntil(third, Screen::StateOpen), 12);
    Click(312 + 140 + 10 + 50, 234 + 20 + 10 + 20);
    EXPECT_EQ(Calls(), "third inner.cancelButton");
    EXPECT_EQ(third->GetScreenState(), Screen::StateOpen);
}

// While a modal screen fades (its input still off) it must already stop the pointer: a quick
// second click on the menu behind, or a click behind a closing dialog, must not get through.
TEST_F(ScreenInput, AModalScreenStopsThePointerWhileItFadesInAndOut)
{
    Behind();
    ASSERT_TRUE(Run("function behind:OnMouseEnter() note('enter') end "
                    "function behind:OnMouseLeave() note('leave') end"));
    auto hitCount = [this]
    {
        EXPECT_TRUE(Run("hits = #g_UserInterface.t_HitList"));
        return Global("hits");
    };
    MoveTo(50, 30);
    EXPECT_EQ(Calls(), "enter");
    EXPECT_NE(hitCount(), "0");

    Screen* dialog = Open(L"dialog", true);
    ASSERT_NE(dialog, nullptr);
    Frames(1);
    ASSERT_EQ(dialog->GetScreenState(), Screen::StateFadingIn);
    ASSERT_FALSE(dialog->inputEnabled);
    // The dialog now covers the button: it is left, as it would be by an open modal screen.
    MoveTo(50, 31);
    EXPECT_EQ(Calls(), "leave");
    EXPECT_EQ(hitCount(), "0") << "neither the button behind nor the dialog's own widgets";
    Click(50, 30);
    Frames(3);
    Click(312 + 40 + 50, 234 + 240 + 20); // the dialog's ok button, input still off
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(dialog->GetScreenState(), Screen::StateFadingIn);

    ASSERT_GT(FramesUntil(dialog, Screen::StateOpen), 0);
    Click(50, 30);
    EXPECT_EQ(Calls(), "");
    Key(KeyEnter);
    EXPECT_EQ(Calls(), "dialog okButton");
    ASSERT_EQ(dialog->GetScreenState(), Screen::StateFadingOut);
    for (int frame = 0; frame < 10; ++frame)
    {
        Click(50, 30);
        Click(312 + 40 + 50, 234 + 240 + 20);
        EXPECT_EQ(Calls(), "") << "fade-out frame " << frame;
        Frames(1);
    }

    // Fully closed: the button behind takes the pointer again, before and after the screen goes.
    ASSERT_GE(FramesUntil(dialog, Screen::StateClosed), 1);
    const InstanceHandle handle = dialog->handle;
    Click(50, 30);
    EXPECT_EQ(Calls(), "enter; behind");
    Frames(2);
    EXPECT_FALSE(handle.IsValid());
    Click(50, 30);
    EXPECT_EQ(Calls(), "behind");
}

TEST_F(ScreenInput, AModalScreenStopsAClickRightAfterItOpens)
{
    Behind();
    MoveTo(50, 30);
    EXPECT_EQ(Calls(), "");
    // No frame between the opening and the click: the screen's state machine has not stepped yet.
    Screen* dialog = Open(L"dialog", true);
    ASSERT_NE(dialog, nullptr);
    ASSERT_FALSE(dialog->inputEnabled);
    Click(50, 30);
    EXPECT_EQ(Calls(), "") << "the button behind the dialog gets no click";
    Frames(1);
    Click(50, 30);
    EXPECT_EQ(Calls(), "");
}

TEST_F(ScreenInput, APlainOrUnopenedScreenLetsThePointerThroughWhileItsInputIsOff)
{
    Behind();
    // Created but not opened: hidden, so it stops nothing although a container takes the pointer.
    auto* unopened = RObjectCast<Screen>(screens->OpenScreen(L"w_dialog", L"unopened", false, false).GetInstance());
    ASSERT_NE(unopened, nullptr);
    ASSERT_TRUE(unopened->IsEatingMouse(unopened->handle));
    ASSERT_FALSE(unopened->visible);
    Dialogs()->MoveToFront();
    Frames(1);
    Click(50, 30);
    EXPECT_EQ(Calls(), "behind");

    Screen* menu = Open(L"menu", false);
    ASSERT_NE(menu, nullptr);
    Frames(1);
    ASSERT_TRUE(menu->visible);
    ASSERT_FALSE(menu->inputEnabled);
    Click(50, 30);
    EXPECT_EQ(Calls(), "behind");
    ASSERT_EQ(FramesUntil(menu, Screen::StateOpen), 1);
    menu->Close(false);
    Click(50, 30);
    EXPECT_EQ(Calls(), "behind");
}

TEST_F(ScreenInput, PlacementOnWholePixels)
{
    Screen* dialog = Open(L"dialog", true);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FLOAT_EQ(dialog->x, 312.0f) << "(1024 - 400) / 2";
    EXPECT_FLOAT_EQ(dialog->y, 234.0f) << "(768 - 300) / 2";
    dialog->Center(1.0f, 0.0f);
    EXPECT_FLOAT_EQ(dialog->x, 312.0f) << "312.5 floored";
    ASSERT_TRUE(Run("screen:MoveTo(10.2, 20.7)"));
    EXPECT_FLOAT_EQ(dialog->x, 11.0f);
    EXPECT_FLOAT_EQ(dialog->y, 21.0f);
    EXPECT_FLOAT_EQ(dialog->backdrop.GetInstance()->x, -11.0f);
    EXPECT_FLOAT_EQ(dialog->backdrop.GetInstance()->y, -21.0f);
    ASSERT_EQ(FramesUntil(dialog, Screen::StateOpen), 12);
    // The ok button went with it.
    Click(11 + 40 + 50, 21 + 240 + 20);
    EXPECT_EQ(Calls(), "dialog okButton");

    // A panel centres without taking whole pixels.
    Panel* panel = Create<Panel>(root, L"w_panel", L"panel");
    ASSERT_NE(panel, nullptr);
    panel->CenterInWindow();
    EXPECT_FLOAT_EQ(panel->x, 452.0f) << "(1024 - 120) / 2";
    EXPECT_FLOAT_EQ(panel->y, 354.0f) << "(768 - 60) / 2";
    panel->Center(1.0f, 0.0f);
    EXPECT_FLOAT_EQ(panel->x, 452.5f);
    panel->MoveTo(10.25f, 3.5f);
    EXPECT_FLOAT_EQ(panel->x, 10.25f);
    EXPECT_FLOAT_EQ(panel->y, 3.5f);
}

} // namespace
} // namespace WidgetTest
