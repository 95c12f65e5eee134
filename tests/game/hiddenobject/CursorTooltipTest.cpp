// The cursor the board chooses over its puzzle items, and the tooltips of puzzle items and persons.
#include "tests/game/hiddenobject/BoardFixture.h"

namespace BoardTest
{

namespace
{

class CursorAndTooltips : public BoardFixture
{
protected:
    void SetUp() override
    {
        BoardFixture::SetUp();
        board = MakeBoard();
        ASSERT_NE(board, nullptr);
        lever = Child<PuzzleItem>(board, L"lever");
        gear = Child<PuzzleItem>(board, L"gear");
        lever->SetState(ITEM_ACTIVE);
        gear->SetState(ITEM_ACTIVE);
        Calls();
    }

    const std::wstring* TooltipOf(Instance_Base* item)
    {
        for (const auto& [control, text] : board->tooltips.GetControls())
            if (control.Equals(item->handle))
                return &text;
        return nullptr;
    }

    ISpyBoard* board = nullptr;
    PuzzleItem* lever = nullptr;
    PuzzleItem* gear = nullptr;
};

TEST_F(CursorAndTooltips, TheCursorFollowsHoverGrabAndDrag)
{
    ASSERT_TRUE(Run("board:SetDefaultCursor(CF_CLOCK)"));
    const struct
    {
        const char* name;
        int x, y;
        bool leverDraggable;
        bool press; // and carry the lever to the place
        int32_t cursor;
    } cases[] = {
        {"nothing under the pointer: the default", 50, 700, true, false, CF_CLOCK},
        {"a draggable item", 620, 320, true, false, CF_DRAGGABLE},
        {"an item only to use", 620, 320, false, false, CF_CLICK},
        {"dragging over empty scene", 300, 700, true, true, CF_DRAGGED},
        {"dragging over another active item", 720, 330, true, true, CF_USE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        lever->EnableDrag(c.leverDraggable);
        if (c.press)
        {
            MoveTo(620, 320);
            Press();
            MoveTo(c.x, c.y);
            Frames(1);
        }
        else
            MoveTo(c.x, c.y);
        board->UpdateCursor();
        EXPECT_EQ(services.cursor, c.cursor);
        if (c.press)
        {
            lever->SetState(ITEM_DISABLED); // ends the drag
            lever->SetState(ITEM_ACTIVE);
            Release();
        }
    }
    gear->SetState(ITEM_HIDDEN);
    MoveTo(720, 330);
    board->UpdateCursor();
    EXPECT_EQ(services.cursor, CF_CLOCK) << "an item that is not active counts for nothing";

    services.busy = 1.0f;
    services.cursor = CF_FREEZE;
    MoveTo(620, 320);
    board->UpdateCursor();
    EXPECT_EQ(services.cursor, CF_FREEZE) << "nothing applies during the busy countdown";
    EXPECT_FALSE(board->inputEnabled);
}

TEST_F(CursorAndTooltips, TooltipKeysFollowTheNameAndTheScriptState)
{
    ASSERT_NE(TooltipOf(lever), nullptr) << "an active item gets its tooltip";
    EXPECT_EQ(*TooltipOf(lever), L"A lever");
    EXPECT_EQ(*TooltipOf(gear), L"A gear");
    ASSERT_TRUE(Run(
        "local lever = board:GetChildByName('lever') lever.s_state = 'stuck' lever:InternalStateChanded()"));
    ASSERT_NE(TooltipOf(lever), nullptr);
    EXPECT_EQ(*TooltipOf(lever), L"The lever is stuck");
    ASSERT_TRUE(Run(
        "local lever = board:GetChildByName('lever') lever.s_state = 'broken' lever:InternalStateChanded()"));
    EXPECT_EQ(TooltipOf(lever), nullptr) << "no text for the key: no tooltip, not the old one";
    ASSERT_TRUE(
        Run("local lever = board:GetChildByName('lever') lever.s_state = '' lever:InternalStateChanded()"));
    ASSERT_NE(TooltipOf(lever), nullptr);
    EXPECT_EQ(*TooltipOf(lever), L"A lever") << "an empty s_state adds nothing";
    lever->SetState(ITEM_HIDDEN);
    EXPECT_EQ(TooltipOf(lever), nullptr) << "a state change removes it";
    lever->SetState(ITEM_ACTIVE);
    EXPECT_NE(TooltipOf(lever), nullptr);

    // Picking removes it; a drop puts it back while the item is still active.
    MoveTo(620, 320);
    Press();
    EXPECT_EQ(TooltipOf(lever), nullptr);
    Release();
    EXPECT_NE(TooltipOf(lever), nullptr);
}

} // namespace

} // namespace BoardTest
