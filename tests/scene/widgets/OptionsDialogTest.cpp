// The options dialog of tests/data/scene/widgets end to end: options.lua opens "options_dialog"
// (two check boxes, a radio group, a slider, a text field, OK and Cancel) as a modal screen through
// the screen manager, and the dialog is then used only through the user interface's input entries
// while the frames step. The script notes every call the widgets make into it; those notes, in
// order, are what the tests compare.
#include "tests/scene/widgets/InputFixture.h"

#include <SDL.h>

namespace WidgetTest
{
namespace
{

// The dialog is 400 x 300, centred at (312, 234); the points below are inside each widget.
constexpr int kMusic[] = {340, 262};
constexpr int kVoices[] = {340, 292};
constexpr int kNormal[] = {380, 332};
constexpr int kHard[] = {420, 332};
constexpr int kSliderY = 369;
constexpr int kSliderLeft = 332;
constexpr int kName[] = {400, 415};
constexpr int kOk[] = {400, 490};
constexpr int kCancel[] = {620, 490};

class OptionsDialog : public InputFixture
{
protected:
    void SetUp() override
    {
        InputFixture::SetUp();
        // A button of what the dialog opens over.
        Instance_Movie* behind = Create(root, L"w_button", L"behind", 10, 10);
        ASSERT_NE(behind, nullptr);
        SetGlobal("behind", behind);
        ASSERT_TRUE(Run("function behind:OnButtonClick() note('behind') end"));
        ASSERT_TRUE(Run(ReadTestFile("options.lua")));
        ASSERT_TRUE(Run("dialog = OpenOptions()"));
        dialog = screens->FindScreen(L"options");
        ASSERT_NE(dialog, nullptr);
        for (int frame = 0; frame < 20 && dialog->GetScreenState() != Screen::StateOpen; ++frame)
            Frames(1);
        ASSERT_EQ(dialog->GetScreenState(), Screen::StateOpen);
        ASSERT_FLOAT_EQ(dialog->x, 312.0f);
        ASSERT_FLOAT_EQ(dialog->y, 234.0f);
        TakeSounds();
    }

    void ClickAt(const int (&point)[2]) { Click(point[0], point[1]); }

    // Frames until the dialog is gone; false when it is still there after 30.
    bool FramesUntilGone()
    {
        const InstanceHandle handle = dialog->handle;
        for (int frame = 0; frame < 30; ++frame)
        {
            Frames(1);
            if (!handle.IsValid())
                return true;
        }
        return false;
    }

    std::string Setting(const char* name)
    {
        EXPECT_TRUE(Run(std::string("got = tostring(settings.") + name + ")"));
        return Global("got");
    }

    Screen* dialog = nullptr;
};

TEST_F(OptionsDialog, EveryWidgetReachesTheScriptAndOkClosesTheDialog)
{
    ClickAt(kMusic);
    ClickAt(kVoices);
    ClickAt(kVoices);
    ClickAt(kNormal);
    ClickAt(kHard);
    // The volume knob is dragged to the middle and then to the end of its track.
    MoveTo(kSliderLeft + 150, kSliderY);
    Press();
    Frames(1);
    MoveTo(kSliderLeft + 290, kSliderY);
    Frames(1);
    Release();
    // A name typed into the text field; Up types nothing.
    ClickAt(kName);
    Type("Ann");
    Key(38);
    EXPECT_EQ(Calls(), "check music true; check voices true; check voices false; radio normal after none; "
                       "radio hard after normal; slider volume released after 2 changes");
    EXPECT_EQ(TakeSounds(), (std::vector<std::wstring>{L"cb_over", L"cb_click", L"cb_over", L"cb_click", L"cb_click",
                                                       L"rb_click", L"rb_click", L"slider_click", L"slider_click",
                                                       L"tf_click", L"tf_click", L"tf_click"}));

    ClickAt(kOk);
    EXPECT_EQ(dialog->GetScreenState(), Screen::StateFadingOut);
    ASSERT_TRUE(FramesUntilGone());
    EXPECT_EQ(Calls(), "ok Ann; closed");
    EXPECT_EQ(Setting("music"), "true");
    EXPECT_EQ(Setting("voices"), "false");
    EXPECT_EQ(Setting("difficulty"), "hard");
    EXPECT_EQ(Setting("name"), "Ann");
    EXPECT_TRUE(screens->GetOpenScreens().empty());
    EXPECT_TRUE(screens->GetClosingScreens().empty());
}

TEST_F(OptionsDialog, NothingBehindTheDialogTakesThePointer)
{
    Click(50, 30);
    Click(900, 700);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(dialog->GetScreenState(), Screen::StateOpen);
}

TEST_F(OptionsDialog, EscapeCancelsAndEnterAcceptsWhileTheNameHasTheFocus)
{
    struct Case
    {
        uint32_t key;
        const char* calls;
    };
    const Case cases[] = {{KeyEscape, "cancel; closed"}, {KeyEnter, "ok b; closed"}};
    for (const Case& c : cases)
    {
        if (!dialog)
        {
            ASSERT_TRUE(Run("dialog = OpenOptions()"));
            dialog = screens->FindScreen(L"options");
            ASSERT_NE(dialog, nullptr);
            Frames(12);
            ASSERT_EQ(dialog->GetScreenState(), Screen::StateOpen);
        }
        ClickAt(kName);
        Type("b");
        Key(c.key);
        ASSERT_TRUE(FramesUntilGone());
        EXPECT_EQ(Calls(), c.calls) << c.key;
        dialog = nullptr;
    }
}

TEST_F(OptionsDialog, ClickingTheSelectedDifficultyOrCancelLeavesTheSettings)
{
    ClickAt(kNormal);
    ClickAt(kNormal);
    ClickAt(kMusic);
    ClickAt(kCancel);
    ASSERT_TRUE(FramesUntilGone());
    EXPECT_EQ(Calls(), "radio normal after none; check music true; cancel; closed");
    EXPECT_EQ(Setting("name"), "") << "only OK takes the name";
}

} // namespace
} // namespace WidgetTest
