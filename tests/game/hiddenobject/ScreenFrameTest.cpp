// The hidden-object screen's per-frame steps: hiding behind an open library screen, the cursor over
// the item list and under a modal dialog, and the tooltips the level script adds.
#include "tests/game/hiddenobject/ScreenFixture.h"

namespace BoardTest
{
namespace
{

class ScreenFrame : public OpenScreenFixture
{
};

TEST_F(ScreenFrame, HiddenWhileTheLibraryScreenIsOpen)
{
    EXPECT_TRUE(screen->visible);
    ASSERT_TRUE(screens->OpenScreen(L"dlg_endlevel", L"dlg_library", true, false).IsValid());
    Step(3);
    ASSERT_EQ(screens->FindScreen(L"dlg_library")->GetScreenState(), Screen::StateOpen);
    EXPECT_FALSE(screen->visible);
    screens->CloseScreen(L"dlg_library", false);
    Step(2);
    EXPECT_TRUE(screen->visible);
}

TEST_F(ScreenFrame, CursorOverTheListAndUnderAModalDialog)
{
    screen->SelectGroups(4);
    HUDList* list = screen->GetList();
    screen->OnHintPressed();
    ASSERT_TRUE(list->IsSelecting());
    HUDListEntry* offered = nullptr;
    for (HUDListEntry* entry : list->GetEntries())
        if (entry->IsOffered())
            offered = entry;
    ASSERT_NE(offered, nullptr);
    // The entry's parts are fitted to its measured name; give its background a size to point at.
    auto* back = Child<Instance_Base>(offered, L"bkg");
    back->SetScale(8.0f, 4.0f);
    float x = 0.0f, y = 0.0f;
    back->LocalToGlobal(x, y);
    MoveTo(int(x) + 2, int(y) + 2);
    Step(1);
    EXPECT_EQ(services.cursor, CF_CLICK);
    MoveTo(790, 750); // the list's corner, no entry
    Step(1);
    EXPECT_EQ(services.cursor, CF_DEFAULT);

    MoveTo(int(x) + 2, int(y) + 2);
    ASSERT_TRUE(screens->OpenScreen(L"dlg_endlevel", L"modal", true, true).IsValid());
    Step(1);
    EXPECT_EQ(services.cursor, CF_DEFAULT) << "a modal screen on top";
    services.busy = 3.0f;
    services.cursor = CF_FREEZE;
    Step(1);
    EXPECT_EQ(services.cursor, CF_FREEZE) << "not while the busy cursor shows";
}

TEST_F(ScreenFrame, ObjectHintsRegisterTheirControlsWithTheTooltipTracker)
{
    ASSERT_TRUE(Run("theScreen:SetObjectHint('btn_hint', 'Use a hint') theScreen:SetObjectHint('nothing', 'x') "
                    "theScreen:SetObjectHint('btn_guess')"));
    const auto& controls = screen->GetTooltips().GetControls();
    ASSERT_EQ(controls.size(), 1u);
    EXPECT_TRUE(controls[0].first == Button(screen, L"btn_hint")->handle);
    EXPECT_EQ(controls[0].second, L"Use a hint");
}

TEST_F(ScreenFrame, ScriptMethodsOfAGoneScreenDoNothing)
{
    ASSERT_TRUE(Run("gone = theScreen"));
    screens->CloseScreen(L"scr_ispy", true);
    Step(2);
    ASSERT_TRUE(Run("gone:SetMode(2) gone:OnHintReady() gone:FinishLevel() gone:EnableBlurer(true) "
                    "result = gone:IsHOCompleted() mode = gone:GetMode()"));
    EXPECT_EQ(Global("result"), "false");
}

} // namespace
} // namespace BoardTest
