// Puzzle items of the fixture board dragged and dropped through the user interface: the position,
// the frame of the first child, the drawing order and the order of the script calls.
#include "tests/game/hiddenobject/BoardFixture.h"

#include <algorithm>

namespace BoardTest
{

namespace
{

class Drags : public BoardFixture
{
protected:
    void SetUp() override
    {
        BoardFixture::SetUp();
        board = MakeBoard();
        ASSERT_NE(board, nullptr);
        lever = Child<PuzzleItem>(board, L"lever");
        gear = Child<PuzzleItem>(board, L"gear");
        ASSERT_NE(lever, nullptr);
        ASSERT_NE(gear, nullptr);
        lever->SetState(ITEM_ACTIVE);
        gear->SetState(ITEM_ACTIVE);
        homeIndex = DrawIndex(lever);
        Calls();
    }

    size_t DrawIndex(Instance_Base* item)
    {
        return size_t(std::find(board->drawOrder.begin(), board->drawOrder.end(), item) -
                      board->drawOrder.begin());
    }
    static uint32_t Frame(PuzzleItem* item)
    {
        return RObjectCast<Instance_Movie>(item->children.front())->requestedFrame;
    }

    // Picks the lever up at (620, 320), 20 pixels into it, and carries it over the gear.
    void PickAndCarry()
    {
        MoveTo(620, 320);
        Frames(1);
        EXPECT_EQ(Frame(lever), 1u) << "hover";
        Press();
        EXPECT_TRUE(lever->IsDragging());
        EXPECT_EQ(Frame(lever), 2u);
        EXPECT_EQ(board->drawOrder.back(), lever) << "to the front";
        MoveTo(720, 330);
        Frames(2);
        EXPECT_FLOAT_EQ(lever->x, 700.0f) << "the grabbed point stays under the pointer";
        EXPECT_FLOAT_EQ(lever->y, 310.0f);
    }

    ISpyBoard* board = nullptr;
    PuzzleItem* lever = nullptr;
    PuzzleItem* gear = nullptr;
    size_t homeIndex = 0;
};

TEST_F(Drags, AnAcceptedDropStaysWhereItFell)
{
    PickAndCarry();
    Release();
    EXPECT_EQ(Calls(), "OnPicked lever []; OnDropped lever [gear]");
    EXPECT_FALSE(lever->IsDragging());
    EXPECT_FLOAT_EQ(lever->x, 700.0f);
    EXPECT_FLOAT_EQ(lever->y, 310.0f);
    EXPECT_EQ(Frame(lever), 1u) << "the pointer is over it";
    EXPECT_EQ(board->drawOrder.back(), lever);
}

TEST_F(Drags, ARejectedDropOrOneWithoutOnDroppedGoesHome)
{
    for (const char* script : {"acceptDrop = false", "board.OnDropped = nil"})
    {
        SCOPED_TRACE(script);
        ASSERT_TRUE(Run(script));
        PickAndCarry();
        Release();
        const std::string calls = Calls();
        EXPECT_EQ(calls.rfind("OnPicked lever []", 0), 0u) << calls;
        EXPECT_FALSE(lever->IsDragging());
        EXPECT_FLOAT_EQ(lever->x, 600.0f);
        EXPECT_FLOAT_EQ(lever->y, 300.0f);
        EXPECT_EQ(Frame(lever), 0u) << "the pointer is no longer over it";
        EXPECT_EQ(DrawIndex(lever), homeIndex) << "back in its drawing order";
    }
}

TEST_F(Drags, AReleaseOutsideGoesHomeBeforeTheScriptHearsOfIt)
{
    ASSERT_TRUE(Run("board.OnItemDragRejected = function(self, item) "
                    "note('rejected at ' .. item:GetX() .. ',' .. item:GetY()) end"));
    MoveTo(620, 320);
    Press();
    MoveTo(300, 700); // the pointer leaves the lever with the button held
    Release();
    EXPECT_EQ(Calls(), "OnPicked lever []; rejected at 600,300");
    EXPECT_FALSE(lever->IsDragging());
    EXPECT_EQ(DrawIndex(lever), homeIndex);
    EXPECT_EQ(Frame(lever), 0u);
}

TEST_F(Drags, ANewStateDuringADragSendsTheItemHome)
{
    PickAndCarry();
    lever->SetState(ITEM_HIDDEN);
    EXPECT_FALSE(lever->IsDragging());
    EXPECT_FLOAT_EQ(lever->x, 600.0f);
    EXPECT_FALSE(lever->visible);
    EXPECT_EQ(DrawIndex(lever), homeIndex);
    Release();
    EXPECT_EQ(Calls(), "OnPicked lever []") << "no drop after the drag ended";
}

TEST_F(Drags, ANonDraggableItemIsUsedAndAnInactiveOneIgnored)
{
    ASSERT_TRUE(Run("local lever = board:GetChildByName('lever') lever:EnableDrag(false) "
                    "dragEnabled = lever:IsDragEnabled()"));
    EXPECT_EQ(Global("dragEnabled"), "false");
    Click(620, 320);
    EXPECT_EQ(Calls(), "OnItemUsed lever");
    EXPECT_FALSE(lever->IsDragging());
    lever->EnableDrag(true);
    lever->SetState(ITEM_DISABLED);
    Click(620, 320);
    EXPECT_FALSE(lever->IsDragging());
    EXPECT_EQ(Calls(), "");
}

TEST_F(Drags, RestoringTheOriginalPositionBeforeAnyDragKeepsTheItemInPlace)
{
    ASSERT_TRUE(Run("board:GetChildByName('lever'):RestoreOriginalPosition()"));
    EXPECT_FLOAT_EQ(lever->x, 600.0f);
    EXPECT_FLOAT_EQ(lever->y, 300.0f);
    PickAndCarry();
    Release();
    lever->RestoreOriginalPosition();
    EXPECT_FLOAT_EQ(lever->x, 600.0f) << "home is where the last drag started";
    EXPECT_EQ(DrawIndex(lever), homeIndex);
}

TEST_F(Drags, WithoutABoardEveryDropIsRejected)
{
    Instance_Base* made = nullptr;
    Instance_Movie::CreateInstanceCore(root, L"", L"loose", true, PuzzleItem::StaticClass(), &made);
    auto* loose = RObjectCast<PuzzleItem>(made);
    ASSERT_NE(loose, nullptr);
    Instance_Movie::CreateChild(loose, L"ho_look", L"look", nullptr);
    loose->SetPosition(100, 400);
    Frames(1);
    loose->SetState(ITEM_ACTIVE);
    MoveTo(120, 420);
    Press();
    EXPECT_TRUE(loose->IsDragging());
    MoveTo(160, 450);
    Frames(1);
    EXPECT_FLOAT_EQ(loose->x, 140.0f);
    Release();
    EXPECT_FALSE(loose->IsDragging());
    EXPECT_FLOAT_EQ(loose->x, 100.0f);
    EXPECT_FLOAT_EQ(loose->y, 400.0f);
    loose->EnableDrag(false);
    Click(120, 420);
    EXPECT_EQ(Calls(), "") << "no board: a press on a non-draggable item does nothing";
}

TEST_F(Drags, AFirstChildThatIsNoMovieOrHasTooFewFramesKeepsItsFrame)
{
    for (const wchar_t* firstChild : {L"ho_piece", L"ho_disc_body"})
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(board, L"", std::wstring(L"odd_") + firstChild, true,
                                           PuzzleItem::StaticClass(), &made);
        auto* odd = RObjectCast<PuzzleItem>(made);
        ASSERT_NE(odd, nullptr);
        Instance_Movie::CreateChild(odd, firstChild, L"first", nullptr);
        Instance_Movie::CreateChild(odd, L"ho_look", L"second", nullptr);
        odd->SetPosition(300, 400);
        board->AddPuzzleItem(odd);
        Frames(1);
        odd->SetState(ITEM_ACTIVE);
        MoveTo(320, 420);
        Frames(1);
        Press();
        EXPECT_TRUE(odd->IsDragging());
        Release();
        auto* second = Child(odd, L"second");
        EXPECT_EQ(second->requestedFrame, 0u) << "only the first child shows the state";
        if (auto* first = Child(odd, L"first"))
            EXPECT_EQ(first->requestedFrame, 0u);
        odd->Delete(false);
        Frames(1);
    }
}

TEST_F(Drags, LabelHitsAndTimelineStopsOfSubMoviesReachTheItemsScript)
{
    ASSERT_TRUE(Run("local lever = board:GetChildByName('lever') "
                    "lever.OnLabelHit = function(self, label) note('label ' .. label) end "
                    "lever.OnTimeLineStop = function(self) note('stop') end"));
    Instance_Movie* look = Child(lever, L"look");
    ASSERT_EQ(look->GetEventHandler(), static_cast<IInstanceEventHandler*>(lever));
    lever->OnLabelHit(look->movieHandle, L"open");
    lever->OnTimelineStop(look->movieHandle);
    lever->OnLabelHit(lever->movieHandle, L"own");
    lever->OnTimelineStop(lever->movieHandle);
    EXPECT_EQ(Calls(), "label open; stop") << "the item's own events are not passed on";
}

} // namespace

} // namespace BoardTest
