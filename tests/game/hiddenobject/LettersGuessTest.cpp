// The letter row and the word guess: building the word from the letters' script fields, the row's
// slots, refills and live finds, judging guesses, the dialog's buttons, its subscriptions, and the
// secret word handed to the script as a value.
#include "tests/game/hiddenobject/ScreenFixture.h"

#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/TextField.h"

namespace BoardTest
{
namespace
{

class LettersGuess : public ScreenFixture
{
protected:
    // A letter made for the word tests: its script fields set by the given Lua text (on `l`).
    ISpyItem* Letter(const std::string& fields)
    {
        const std::wstring name = L"w" + std::to_wstring(made++);
        auto* letter = RObjectCast<ISpyItem>(Instance_Movie::CreateChild(root, L"letter_a", name, nullptr).GetInstance());
        EXPECT_NE(letter, nullptr);
        SetGlobal("l", letter);
        EXPECT_TRUE(lua.DoString(Utf8ToWString("l.i_idx = nil l.s_name = nil " + fields)));
        return letter;
    }
    HOScreen* OpenWithGuess(DlgGuess** dialog)
    {
        HOScreen* screen = OpenScreen();
        if (!screen)
            return nullptr;
        RechargableButton* guess = Button(screen, L"btn_guess");
        Click(int(guess->GetX()) + 10, int(guess->GetY()) + 10);
        Step(2);
        *dialog = RObjectCast<DlgGuess>(screens->FindScreen(L"dlg_guess"));
        EXPECT_NE(*dialog, nullptr);
        return screen;
    }
    TextField* Field(DlgGuess* dialog) { return Child<TextField>(dialog, L"lbl_text"); }
    TarnEngine::Button* DialogButton(DlgGuess* dialog, const wchar_t* name) { return Child<TarnEngine::Button>(dialog, name); }

    int made = 0;
};

TEST_F(LettersGuess, BuildWord)
{
    struct Case
    {
        const char* what;
        std::vector<std::string> letters;
        bool built;
        std::wstring word;
    };
    std::vector<std::string> twelve;
    for (int i = 1; i <= 12; ++i)
        twelve.push_back("l.i_idx = " + std::to_string(i) + " l.s_name = '" + char('A' + i - 1) + "x'");
    const Case cases[] = {
        {"C A T at 1 2 4", {"l.i_idx = 1 l.s_name = 'C'", "l.i_idx = 2 l.s_name = 'A'", "l.i_idx = 4 l.s_name = 'T'"}, true, L"CA T"},
        {"twelve", twelve, true, L"ABCDEFGHIJKL"},
        {"i_idx 0", {"l.i_idx = 1 l.s_name = 'C'", "l.i_idx = 0 l.s_name = 'A'"}, false, L"unchanged"},
        {"i_idx 13", {"l.i_idx = 13 l.s_name = 'A'"}, false, L"unchanged"},
        {"no s_name", {"l.i_idx = 1"}, false, L"unchanged"},
        {"no i_idx", {"l.s_name = 'A'"}, false, L"unchanged"},
        {"e acute", {"l.i_idx = 1 l.s_name = '\xC3\xA9t\xC3\xA9'"}, true, L"\u00E9"},
        {"outside the BMP", {"l.i_idx = 2 l.s_name = '\xF0\x9D\x84\x9E'"}, true, std::wstring(L" ") + wchar_t(0x1D11E)},
        {"no letters", {}, true, L" "},
        {"empty name ends the word", {"l.i_idx = 1 l.s_name = 'C'", "l.i_idx = 2 l.s_name = ''", "l.i_idx = 3 l.s_name = 'T'"}, true, L"C"},
        {"numeric text", {"l.i_idx = '2' l.s_name = 7"}, true, L" 7"},
    };
    for (const Case& c : cases)
    {
        std::vector<ISpyItem*> letters;
        for (const std::string& fields : c.letters)
            letters.push_back(Letter(fields));
        std::wstring word = L"unchanged";
        EXPECT_EQ(HUDLetters::BuildWord(letters, word), c.built) << c.what;
        EXPECT_EQ(word, c.word) << c.what;
    }
}

TEST_F(LettersGuess, SameWordIgnoresCaseAndCountsSpaces)
{
    struct Case
    {
        const wchar_t* word;
        const wchar_t* typed;
        bool same;
    };
    for (const Case& c : {Case{L"CA T", L"ca t", true}, Case{L"CA T", L"cA T", true}, Case{L"CA T", L"CA T ", false},
                          Case{L"CA T", L"CAT", false}, Case{L"CA T", L"CA  T", false}, Case{L"ABC", L"ABD", false}})
        EXPECT_EQ(DlgGuess::IsSameWord(c.word, c.typed), c.same) << Narrow(c.word) << " / " << Narrow(c.typed);
}

TEST_F(LettersGuess, SecretWordReachesTheScriptExactly)
{
    ASSERT_TRUE(Run("levelHook = function(board) board:GetChildByName('letter_a').s_name = '\"' "
                    "board:GetChildByName('letter_b').s_name = '\\\\' "
                    "board:GetChildByName('letter_c').s_name = ') os.exit(3) --' end"));
    ASSERT_NE(OpenScreen(), nullptr);
    EXPECT_EQ(Global("secretWord"), "\"\\)");
    EXPECT_EQ(Global("#secretWord"), "3");
}

TEST_F(LettersGuess, RowSlotsRefillAndLiveFinds)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    auto* row = On<HUDLetters>(screen, L"letters");
    ASSERT_NE(row, nullptr);
    for (int i = 0; i < 12; ++i)
    {
        auto* slot = RObjectCast<Instance_Movie>(row->GetSlot(i).GetInstance());
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(Narrow(slot->name), "letter_" + std::to_string(i));
        EXPECT_FLOAT_EQ(slot->GetX(), float(i) * 20.0f) << "a fifteenth of 300";
        EXPECT_EQ(slot->visible, i < 3) << i;
    }
    auto* slotB = RObjectCast<Instance_Movie>(row->GetSlot(1).GetInstance());
    EXPECT_EQ(slotB->requestedFrame, 0u);
    EXPECT_FALSE(Child<Instance_Base>(slotB, L"letter")->visible);
    EXPECT_EQ(Narrow(Child<Instance_Text>(slotB, L"letter.letter")->text), "B");

    ISpyItem* b = Item(screen, L"letter_b");
    b->SetState(ITEM_HIDDEN);
    screen->GetBoard()->OnLetterFound(b);
    EXPECT_EQ(slotB->requestedFrame, 0u);
    EXPECT_TRUE(slotB->playing);
    EXPECT_TRUE(Child<Instance_Base>(slotB, L"letter")->visible);

    slotB->SetPlaying(false);
    row->Refill(nullptr);
    EXPECT_EQ(slotB->requestedFrame, 4u) << "a found letter shows the last frame";
    EXPECT_FALSE(slotB->playing);
    EXPECT_TRUE(Child<Instance_Base>(slotB, L"letter")->visible);
    EXPECT_EQ(screen->GetBoard()->letterFoundEvent.Size(), 1u) << "subscribed once, however often refilled";
}

TEST_F(LettersGuess, CorrectGuessFindsTheLettersAndReportsIt)
{
    DlgGuess* dialog = nullptr;
    HOScreen* screen = OpenWithGuess(&dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->GetWord(), L"ABC");
    EXPECT_EQ(dialog->GetOwner(), screen);
    TextField* field = Field(dialog);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(Narrow(field->allowedCharacters), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ");
    Item(screen, L"letter_a")->SetState(ITEM_HIDDEN);
    Calls();
    field->text = L"aBc";
    dialog->HandleButtonPressed(DialogButton(dialog, L"okButton"));
    EXPECT_EQ(screenServices.reports, (std::vector<std::wstring>{L"guess=correct"}));
    for (const wchar_t* name : {L"letter_a", L"letter_b", L"letter_c"})
        EXPECT_EQ(Item(screen, name)->GetState(), ITEM_HIDDEN);
    const std::string calls = Calls();
    EXPECT_NE(calls.find("WordGuessed"), std::string::npos) << calls;
    EXPECT_EQ(calls.find("OnFound A"), std::string::npos) << "only the active letters: " << calls;
    EXPECT_TRUE(Boxes().empty());
    Step(2);
    EXPECT_EQ(screens->FindScreen(L"dlg_guess"), nullptr);
}

TEST_F(LettersGuess, WrongGuessesShowTheBoxAndChangeNoLetter)
{
    for (const wchar_t* typed : {L"ABC ", L"AB", L"", L"abd"})
    {
        DlgGuess* dialog = nullptr;
        HOScreen* screen = OpenWithGuess(&dialog);
        ASSERT_NE(dialog, nullptr);
        Field(dialog)->text = typed;
        dialog->HandleButtonPressed(DialogButton(dialog, L"okButton"));
        EXPECT_EQ(screenServices.reports.back(), L"guess=wrong") << Narrow(typed);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0]->GetId(), 0);
        EXPECT_EQ(Boxes()[0]->GetListener(), nullptr);
        EXPECT_EQ(Item(screen, L"letter_a")->GetState(), ITEM_ACTIVE);
        screens->CloseScreen(L"scr_ispy", true);
        for (UIMessageBox* box : Boxes())
            box->Close(false);
        Step(3);
    }
}

TEST_F(LettersGuess, AWordThatCouldNotBeBuiltIsNeverGuessed)
{
    ASSERT_TRUE(Run("letterIndex.letter_c = 13"));
    DlgGuess* dialog = nullptr;
    HOScreen* screen = OpenWithGuess(&dialog);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->HasWord());
    EXPECT_EQ(dialog->GetWord(), L"");
    EXPECT_EQ(Global("secretWord"), "") << "the script still gets the (empty) word";
    Field(dialog)->text = L"";
    EXPECT_FALSE(dialog->Judge());
    EXPECT_EQ(screenServices.reports, (std::vector<std::wstring>{L"guess=wrong"}));
    EXPECT_EQ(Item(screen, L"letter_a")->GetState(), ITEM_ACTIVE);
}

TEST_F(LettersGuess, CancelReArmsTheGuessButtonSilently)
{
    DlgGuess* dialog = nullptr;
    HOScreen* screen = OpenWithGuess(&dialog);
    ASSERT_NE(dialog, nullptr);
    RechargableButton* guess = Button(screen, L"btn_guess");
    EXPECT_FALSE(guess->enabled) << "the click started the recharge";
    Played();
    dialog->HandleButtonPressed(DialogButton(dialog, L"cancelButton"));
    EXPECT_TRUE(guess->enabled);
    EXPECT_TRUE(Played().empty());
    EXPECT_TRUE(screenServices.reports.empty());
}

TEST_F(LettersGuess, OpeningAndClosingTheDialogLeavesTheBoardsListsAsTheyWere)
{
    HOScreen* screen = OpenScreen();
    ASSERT_NE(screen, nullptr);
    ISpyBoard* board = screen->GetBoard();
    const size_t letters = board->letterFoundEvent.Size();
    const size_t loaded = board->boardLoadedEvent.Size();
    RechargableButton* guess = Button(screen, L"btn_guess");
    for (int i = 0; i < 10; ++i)
    {
        guess->Complete(true);
        Click(int(guess->GetX()) + 10, int(guess->GetY()) + 10);
        Step(2);
        auto* dialog = RObjectCast<DlgGuess>(screens->FindScreen(L"dlg_guess"));
        ASSERT_NE(dialog, nullptr) << i;
        EXPECT_EQ(board->letterFoundEvent.Size(), letters + 1) << i;
        dialog->HandleButtonPressed(DialogButton(dialog, L"cancelButton"));
        Step(3);
        EXPECT_EQ(board->letterFoundEvent.Size(), letters) << i;
        EXPECT_EQ(board->boardLoadedEvent.Size(), loaded) << i;
    }
}

} // namespace
} // namespace BoardTest
