// A find on the fixture board: the release of the left button over an active item, through the
// user interface, down to the board's subscribers.
#include "tests/game/hiddenobject/BoardFixture.h"

namespace BoardTest
{

namespace
{

// Notes each find with the board's wrong-click count at that moment.
class FindRecorder
{
public:
    void Found(ISpyItem* item)
    {
        log.push_back("delegate " + std::string(item->s_name.begin(), item->s_name.end()) + " count " +
                      std::to_string(board->wrongClickCount));
    }
    ISpyBoard* board = nullptr;
    std::vector<std::string> log;
};

class Find : public BoardFixture
{
};

TEST_F(Find, TheBoardLoadsAndTheLevelRegistersItsChildren)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(Calls(), "ISpyLoaded; OnAfterLoad level_board");
    EXPECT_EQ(board->GetItems().size(), 5u);
    EXPECT_EQ(board->GetLetters().size(), 3u);
    EXPECT_EQ(board->GetPuzzleItems().size(), 2u);
    EXPECT_EQ(board->timeChannel, 1);
    ASSERT_FALSE(board->descendants.empty());
    EXPECT_EQ(board->descendants.front().GetInstance()->name, L"background");
    ISpyItem* key = Child<ISpyItem>(board, L"key");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->s_name, L"key");
    EXPECT_EQ(key->s_category, L"tools");
    EXPECT_EQ(key->GetBoard(), board);
    auto* picture = Child<Instance_Image>(board, L"key.body.picture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->hitTestType, uint32_t(HTT_NonAlpha));
    EXPECT_EQ(Child(board, L"key.body")->GetEventHandler(), static_cast<IInstanceEventHandler*>(key))
        << "the item hears its sub-movies";
    auto* person = Child<Instance_Image>(board, L"innkeeper.body.picture");
    ASSERT_NE(person, nullptr);
    EXPECT_EQ(person->hitTestType, uint32_t(HTT_NonAlpha));
    ASSERT_EQ(board->tooltips.GetControls().size(), 1u);
    EXPECT_EQ(board->tooltips.GetControls()[0].second, L"The innkeeper");
}

TEST_F(Find, ALeftReleaseOnASubMovieOfAnActiveItemRunsTheWholeRoadOfAFind)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    Calls();
    ISpyItem* key = Child<ISpyItem>(board, L"key");
    key->SetState(ITEM_ACTIVE);
    board->hiddenObjectMode = true;
    board->wrongClickCount = 2;
    FindRecorder recorder;
    recorder.board = board;
    board->itemFoundEvent.Append(
        new MethodDelegate1<FindRecorder, void, ISpyItem*>(&recorder, &FindRecorder::Found));
    MoveTo(120, 120); // the middle of the key's disc
    ASSERT_FALSE(ui->GetHitList().empty());
    EXPECT_EQ(ui->GetHitList().front().GetInstance(), Child(board, L"key.body"))
        << "a sub-movie is hit first";
    Press();
    Release();
    EXPECT_EQ(key->GetState(), ITEM_HIDDEN);
    EXPECT_FALSE(key->visible);
    EXPECT_EQ(Calls(), "OnFound key hidden; ItemFound key")
        << "hidden before its own OnFound, which reports it";
    EXPECT_EQ(recorder.log, std::vector<std::string>{"delegate key count 2"}) << "delegates before the reset";
    EXPECT_EQ(board->wrongClickCount, 0u);
    EXPECT_TRUE(services.sounds.empty()) << "no empty click";
}

TEST_F(Find, TheRightButtonAnInactiveItemAndATransparentPixelFindNothing)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    ISpyItem* key = Child<ISpyItem>(board, L"key");
    ISpyItem* hammer = Child<ISpyItem>(board, L"hammer");
    key->SetState(ITEM_ACTIVE);
    Calls();
    Click(120, 120, 1);
    EXPECT_EQ(key->GetState(), ITEM_ACTIVE) << "right button";
    Click(220, 120);
    EXPECT_EQ(hammer->GetState(), ITEM_DISABLED) << "inactive item";
    Click(101, 101); // the key's corner: inside its box, alpha 0
    EXPECT_EQ(key->GetState(), ITEM_ACTIVE) << "transparent pixel";
    EXPECT_EQ(Calls(), "");

    // While the game is paused (its clock stands) a click on the item finds nothing; once it goes
    // on, the same click finds.
    time->SetPaused(1, true);
    Click(120, 120);
    EXPECT_EQ(key->GetState(), ITEM_ACTIVE) << "paused";
    EXPECT_EQ(Calls(), "");
    time->SetPaused(1, false);
    Click(120, 120);
    EXPECT_NE(key->GetState(), ITEM_ACTIVE) << "going on";
}

TEST_F(Find, IsMovingAsksTheBoardsScript)
{
    ISpyBoard* board = MakeBoard();
    ASSERT_NE(board, nullptr);
    EXPECT_FALSE(board->IsMoving());
    ASSERT_TRUE(Run("moving = true"));
    EXPECT_TRUE(board->IsMoving());
    ASSERT_TRUE(Run("board.IsMoving = function() error('broken') end"));
    EXPECT_FALSE(board->IsMoving()) << "a failing script counts as not moving";
    ASSERT_TRUE(Run("board.IsMoving = nil"));
    EXPECT_FALSE(board->IsMoving());
}

} // namespace

} // namespace BoardTest
