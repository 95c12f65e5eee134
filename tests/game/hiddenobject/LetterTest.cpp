// Letters of the word on the fixture board: each find, the last one, and the guessed word.
#include "tests/game/hiddenobject/BoardFixture.h"

namespace BoardTest
{

namespace
{

class LetterLog
{
public:
    void Letter(ISpyItem* letter)
    {
        log.push_back("letter " + std::string(letter->s_name.begin(), letter->s_name.end()));
    }
    void All() { log.push_back("all"); }
    std::vector<std::string> log;
};

class Letters : public BoardFixture
{
protected:
    void SetUp() override
    {
        BoardFixture::SetUp();
        board = MakeBoard();
        ASSERT_NE(board, nullptr);
        Calls();
        board->letterFoundEvent.Append(
            new MethodDelegate1<LetterLog, void, ISpyItem*>(&recorder, &LetterLog::Letter));
        board->allLettersFoundEvent.Append(new MethodDelegate0<LetterLog, void>(&recorder, &LetterLog::All));
    }

    ISpyBoard* board = nullptr;
    LetterLog recorder;
};

TEST_F(Letters, EachLetterThenTheLastRaiseTheirEventsBeforeTheDelegatesInOrder)
{
    for (const wchar_t* name : {L"letter_a", L"letter_b"})
        Child<ISpyItem>(board, name)->SetState(ITEM_ACTIVE);
    board->wrongClickCount = 2;
    EXPECT_FALSE(board->AreAllLettersFound());
    // The delegates note into the script's list too, so the order of both shows.
    ASSERT_TRUE(Run("eventHook = function(name) note('(' .. name .. ')') end"));
    Click(110, 610); // letter_a
    EXPECT_EQ(Calls(), "OnFound A hidden; LetterFound A; (LetterFound)");
    EXPECT_EQ(recorder.log, std::vector<std::string>({"letter A"}));
    EXPECT_EQ(board->wrongClickCount, 0u);
    Click(150, 610); // letter_b, the last active one
    EXPECT_EQ(Calls(), "OnFound B hidden; LetterFound B; (LetterFound); AllLettersFound; (AllLettersFound)");
    EXPECT_EQ(recorder.log, std::vector<std::string>({"letter A", "letter B", "all"}))
        << "the letter's delegates run before all letters are announced";
    EXPECT_TRUE(board->AreAllLettersFound());
}

TEST_F(Letters, AllLettersFoundIsAlsoTrueWithoutLetters)
{
    ASSERT_TRUE(Run("letters = {}"));
    Instance_Movie* second = RObjectCast<Instance_Movie>(
        Instance_Movie::CreateChild(root, L"level_board", L"other", nullptr).GetInstance());
    ASSERT_NE(second, nullptr);
    SetGlobal("other", second);
    ASSERT_TRUE(Run("InstallLevel(other)"));
    Frames(1);
    auto* other = RObjectCast<ISpyBoard>(second);
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->GetLetters().empty());
    EXPECT_TRUE(other->AreAllLettersFound());
}

TEST_F(Letters, AGuessedWordFindsOnlyTheActiveLettersAndIsRaisedOnce)
{
    ISpyItem* a = Child<ISpyItem>(board, L"letter_a");
    ISpyItem* b = Child<ISpyItem>(board, L"letter_b");
    ISpyItem* c = Child<ISpyItem>(board, L"letter_c");
    a->SetState(ITEM_ACTIVE);
    b->SetState(ITEM_HIDDEN);
    c->SetState(ITEM_ACTIVE);
    // The letters' own OnFound reports to the board as a click would.
    board->OnWordGuessed();
    EXPECT_EQ(a->GetState(), ITEM_HIDDEN);
    EXPECT_EQ(b->GetState(), ITEM_HIDDEN);
    EXPECT_EQ(c->GetState(), ITEM_HIDDEN);
    EXPECT_EQ(
        Calls(),
        "OnFound A hidden; LetterFound A; OnFound C hidden; LetterFound C; AllLettersFound; WordGuessed");
    EXPECT_EQ(recorder.log, std::vector<std::string>({"letter A", "letter C", "all"}));

    Child<ISpyItem>(board, L"key")->SetState(ITEM_ACTIVE);
    board->OnWordGuessed();
    EXPECT_EQ(Calls(), "WordGuessed") << "no letter active: only the event";
    EXPECT_EQ(Child<ISpyItem>(board, L"key")->GetState(), ITEM_ACTIVE) << "items are not letters";
}

} // namespace

} // namespace BoardTest
