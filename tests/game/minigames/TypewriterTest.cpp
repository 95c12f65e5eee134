// The typewriter: set-up from the level's strings, typing by characters from the user interface,
// homing and tumbling letters, missed words, the end with the closing text's scroll and fade, the
// buttons and boxes, and the pure parts (the aim, the status line, the closing view).
#include "tests/game/minigames/MiniGameFixture.h"

#include "engine/core/time/TimeManager.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "game/core/Core.h"
#include "game/minigames/TypeBoard.h"
#include "game/minigames/TypeLetter.h"
#include "game/minigames/TypeWord.h"

#include <cmath>
#include <cwctype>

using namespace TarnEngine;

namespace
{

using Words = std::vector<TypeBoard::ClosingWord>;

// ---- The pure parts.

TEST(TypewriterStatus, StatusLineShowsPrintedWordsAndScore)
{
    EXPECT_EQ(TypeBoard::StatusLine(2, 5), L"^000000\r\n\r\nPrinted Words: ^0099002^000000/5. Score: 6000.");
    EXPECT_EQ(TypeBoard::StatusLine(0, 1), L"^000000\r\n\r\nPrinted Words: ^0099000^000000/1. Score: 0.");
}

TEST(TypewriterClosingView, PrintedWordsShadeFromGreenAndMissedOnesFromRed)
{
    const Words words = {{L"cat", true}, {L"dog", false}};
    const std::wstring text = L"a cat, a dog";
    struct Case
    {
        int32_t fade;
        std::wstring coloured;
    };
    const Case cases[] = {
        {99, L"a ^009900cat^000000, a ^990000dog^000000"},
        {9, L"a ^000900cat^000000, a ^090000dog^000000"},
        {0, L"a ^000000cat^000000, a ^000000dog^000000"},
        {100, L"a cat, a dog"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.fade);
        EXPECT_EQ(TypeBoard::ColourClosingText(text, words, c.fade), c.coloured);
        EXPECT_EQ(TypeBoard::ClosingView(text, words, c.fade, 1),
                  c.coloured + TypeBoard::StatusLine(1, 2) + L"\r\n\r\n\r\n");
    }
}

TEST(TypewriterClosingView, AShorterWordInsideALongerOneGetsItsOwnColour)
{
    // "the" printed, "he" missed: the "he" of "the" is red, as replacing word after word gives.
    EXPECT_EQ(TypeBoard::ColourClosingText(L"the hen", {{L"the", true}, {L"he", false}}, 99),
              L"^009900t^990000he^000000 ^990000he^000000n");
    // The other order: "the" comes last and wins its whole occurrence.
    EXPECT_EQ(TypeBoard::ColourClosingText(L"the hen", {{L"he", false}, {L"the", true}}, 99),
              L"^009900the^000000 ^990000he^000000n");
}

// Every "^" is followed by six hexadecimal digits, and removing the codes gives back the text.
void expectWellFormed(const std::wstring& view, const std::wstring& text)
{
    std::wstring plain;
    for (size_t i = 0; i < view.size(); ++i)
    {
        if (view[i] != L'^')
        {
            plain += view[i];
            continue;
        }
        ASSERT_LE(i + 7, view.size()) << "a code cut short";
        for (size_t k = 1; k <= 6; ++k)
            ASSERT_TRUE(std::iswxdigit(view[i + k])) << "at " << i;
        i += 6;
    }
    EXPECT_EQ(plain, text);
}

TEST(TypewriterClosingView, WordsThatLookLikeColourCodesLeaveEveryCodeWellFormed)
{
    const std::wstring text = L"In 1990 there were 99 of 0 to 9";
    const Words cases[] = {
        {{L"0", true}},
        {{L"99", false}},
        {{L"0", true}, {L"99", false}, {L"9", true}},
        {{L"^0", true}, {L"0", false}},
        {{L"00", true}, {L"^", false}},
    };
    for (const Words& words : cases)
        for (int32_t fade : {99, 42, 9, 0})
            expectWellFormed(TypeBoard::ColourClosingText(text, words, fade), text);
}

// ---- The aim.

TEST(TypewriterAim, LettersHomeOnTheSlotOfAMovingWord)
{
    struct Case
    {
        float px, py, vx, vy;
    };
    const Case cases[] = {
        {700.0f, 20.0f, 0.0f, 1.0f},     // one second
        {300.0f, -280.0f, 1.0f, 1.0f},   // a second and a half
        {555.0f, 80.0f, 0.0f, 0.0f},     // straight up
        {900.0f, -1180.0f, -1.0f, 3.0f}, // two and a half seconds
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.py);
        TypeWord word;
        TypeLetter letter;
        letter.SetPosition(TypeBoard::LaunchX, TypeBoard::LaunchY);
        ASSERT_TRUE(letter.Aim(&word, c.px, c.py, c.vx, c.vy));
        const double t = (double(c.py) - TypeBoard::LaunchY) / (-540.0 - 60.0 * c.vy);
        const double u = (double(c.px) - TypeBoard::LaunchX) / t + 60.0 * c.vx;
        EXPECT_NEAR(letter.stepX, u / 60.0, 1e-4);
        EXPECT_FLOAT_EQ(letter.stepY, -9.0f);
        EXPECT_EQ(letter.frameCounter, uint32_t(t * 60.0));
        EXPECT_EQ(letter.state, TypeLetter::StateHoming);

        // Frame by frame, the word first: the letter arrives on the slot.
        float sx = c.px, sy = c.py;
        bool effect = false;
        int frames = 0;
        for (; frames < 1000; ++frames)
        {
            sx += c.vx;
            sy += c.vy;
            if (letter.HomingStep(effect))
                break;
        }
        EXPECT_EQ(frames + 1, int(std::lround(t * 60.0)));
        EXPECT_NEAR(letter.x, sx, 1.0);
        EXPECT_NEAR(letter.y, sy, 1.0);
    }
}

TEST(TypewriterAim, NoAimWhenTheLetterCannotReachTheSlot)
{
    struct Case
    {
        float py, vy;
    };
    // As fast as the letter climbs, below the launch point, less than a frame away.
    for (const Case& c : {Case{20.0f, -9.0f}, Case{700.0f, 1.0f}, Case{615.0f, 1.0f}, Case{620.0f, 0.0f}})
    {
        SCOPED_TRACE(c.py);
        TypeWord word;
        TypeLetter letter;
        letter.SetPosition(TypeBoard::LaunchX, TypeBoard::LaunchY);
        EXPECT_FALSE(letter.Aim(&word, 600.0f, c.py, 0.0f, c.vy));
        EXPECT_EQ(letter.frameCounter, 0u);
        EXPECT_EQ(letter.state, TypeLetter::StateNew);
    }
}

// ---- The board on the game.

class Typewriter : public MiniGameFixture
{
public:
    // The board of the writer mode with those words (null: no word list) and closing text.
    TypeBoard* Open(const char* words, const char* closing = "the cat and the dog",
                    const std::string& leaveOut = "")
    {
        WriteTypewriterContent(leaveOut);
        std::map<std::string, std::string> strings = {{"typewriter_Level1_voice", "voice_level1"}};
        if (words)
            strings["TypeWriterLevel1Words"] = words;
        if (closing)
            strings["TypeWriterLevel1Text"] = closing;
        SetStrings(strings);
        if (!StartInMenu())
            return nullptr;
        Lua("Fixture.levelEnds = 0\n"
            "function svc.PlayerState:OnEndLevel() Fixture.levelEnds = Fixture.levelEnds + 1 end");
        Game().GetGameMgr().SwitchMode(3);
        Frame();
        return RObjectCast<TypeBoard>(Dialog(L"typewriter_board"));
    }

    TypeBoard* Play(const char* words, const char* closing = "the cat and the dog")
    {
        TypeBoard* board = Open(words, closing);
        if (board)
            board->HandleMsgBox(TypeBoard::IntroBoxId, 1);
        return board;
    }

    static void Type(const wchar_t* text)
    {
        for (const wchar_t* c = text; *c; ++c)
            UserInterface::Get()->OnChar(uint32_t(*c));
    }

    static std::wstring TextOf(TypeWord* word) { return word ? word->GetText() : L"<none>"; }

    static std::wstring Status(TypeBoard* board)
    {
        auto* text = RObjectCast<Instance_Text>(board->FindChildByPath(L"text").GetInstance());
        return text ? text->text : L"<none>";
    }

    // Frames until the condition holds; false after `limit`.
    template <class F> bool RunUntil(F condition, int limit = 2000)
    {
        for (int i = 0; i < limit; ++i)
        {
            if (condition())
                return true;
            Frame();
        }
        return condition();
    }

    Button* HudButton(TypeBoard* board, const wchar_t* name)
    {
        Instance_Movie* hud = board->GetHud();
        return hud ? RObjectCast<Button>(hud->FindChildByPath(name).GetInstance()) : nullptr;
    }

    // Types every word as it comes, each when it is in the zone, until the board leaves state 1.
    void TypeAll(TypeBoard* board)
    {
        RunUntil(
            [&]
            {
                if (board->GetState() != TypeBoard::StatePlaying)
                    return true;
                const auto words = board->GetWords();
                const uint32_t i = board->GetCurrentWord();
                if (i < words.size() && words[i] && words[i]->y > 0.0f)
                    Type(words[i]->PlainWord().substr(board->GetCurrentLetter()).c_str());
                return false;
            });
    }
};

TEST_F(Typewriter, SetUpFromTheLevelsWordsShowsTheIntroBoxAndWaits)
{
    TypeBoard* board = Open("cat, dog ,bird");
    ASSERT_NE(board, nullptr);
    const auto words = board->GetWords();
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(TextOf(words[0]), L"^000000cat");
    EXPECT_EQ(words[1]->PlainWord(), L"dog");
    EXPECT_FLOAT_EQ(words[2]->y, -500.0f);
    for (TypeWord* word : words)
    {
        EXPECT_GE(word->x, 0.3f * 1024.0f);
        EXPECT_LT(word->x, 0.7f * 1024.0f);
        EXPECT_EQ(word->state, TypeWord::StateFalling);
    }
    EXPECT_EQ(board->timeChannel, 1);
    EXPECT_FLOAT_EQ(board->GetFailLine(), 0.7f * 768.0f);
    EXPECT_EQ(Status(board), TypeBoard::StatusLine(0, 3));
    EXPECT_TRUE(Playing(L"TypewriterLevel1Music"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].id, TypeBoard::IntroBoxId);
    EXPECT_EQ(boxes[0].caption, L"|T|HINT_Typewriter_TITLE");
    EXPECT_EQ(boxes[0].message, L"|T|HINT_Typewriter_INFO");
    EXPECT_EQ(boxes[0].center, std::optional<std::wstring>(L"|T|Ok"));
    EXPECT_FALSE(boxes[0].left || boxes[0].right);
    EXPECT_EQ(boxes[0].listener, static_cast<UIMessageBoxListener*>(board));

    // In the intro nothing moves and nothing is typed; other answers change nothing.
    Frames(30);
    EXPECT_FLOAT_EQ(words[0]->y, -100.0f);
    Type(L"c");
    EXPECT_TRUE(board->GetLetters().empty());
    board->HandleMsgBox(TypeBoard::IntroBoxId, 0);
    board->HandleMsgBox(TypeBoard::SkipBoxId, 1);
    EXPECT_EQ(board->GetState(), TypeBoard::StateIntro);
    board->HandleMsgBox(TypeBoard::IntroBoxId, 1);
    EXPECT_EQ(board->GetState(), TypeBoard::StatePlaying);
    Frame();
    EXPECT_FLOAT_EQ(words[0]->y, -99.0f);
}

TEST_F(Typewriter, AMissingOrEmptyWordListAndMissingChildren)
{
    {
        TypeBoard* board = Open(nullptr);
        ASSERT_NE(board, nullptr);
        ASSERT_EQ(board->GetWords().size(), 1u);
        EXPECT_EQ(board->GetWords()[0]->PlainWord(), L"TypeWriterLevel1Words");
        Stop();
    }
    for (const char* empty : {"", " , "})
    {
        TearDown();
        SetUp();
        TypeBoard* board = Open(empty);
        ASSERT_NE(board, nullptr);
        EXPECT_TRUE(board->GetWords().empty());
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(board->GetState(), TypeBoard::StateIntro);
        Stop();
    }
    for (const char* missing : {"text", "paper", "hud"})
    {
        SCOPED_TRACE(missing);
        TearDown();
        SetUp();
        TypeBoard* board = Open("cat", "the cat", missing);
        ASSERT_NE(board, nullptr);
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(board->GetState(), TypeBoard::StateIntro);
        Stop();
    }
}

TEST_F(Typewriter, CharactersThatAreIgnored)
{
    TypeBoard* board = Play("cat");
    ASSERT_NE(board, nullptr);
    Silence();
    // Digits, blanks, other letters and code points beyond the allowed set.
    for (uint32_t c : {uint32_t('1'), uint32_t(' '), uint32_t(0xE9), uint32_t(0x10061), uint32_t(0)})
        UserInterface::Get()->OnChar(c);
    EXPECT_TRUE(board->GetLetters().empty());
    EXPECT_FALSE(Playing(L"bell_fail"));
    // A modal screen open: nothing either.
    _ScreenMgr::Get()->OpenScreen(L"dlg_ingamemenu", L"", true, true);
    ASSERT_NE(_ScreenMgr::Get()->GetTopModalScreen(), nullptr);
    Type(L"c");
    EXPECT_TRUE(board->GetLetters().empty());
    EXPECT_EQ(board->GetCurrentLetter(), 0u);
}

TEST_F(Typewriter, AWrongLetterTumblesAwayAndTheTypingPositionStays)
{
    TypeBoard* board = Play("cat");
    ASSERT_NE(board, nullptr);
    Silence();
    Type(L"C");
    const auto letters = board->GetLetters();
    ASSERT_EQ(letters.size(), 1u);
    EXPECT_EQ(letters[0]->state, TypeLetter::StateFlyingOff);
    EXPECT_EQ(letters[0]->character, L'C');
    EXPECT_TRUE(Playing(L"bell_fail"));
    EXPECT_FALSE(Playing(L"Typewriter_key"));
    EXPECT_EQ(board->GetCurrentLetter(), 0u);
    // It falls off the screen and is removed.
    EXPECT_TRUE(RunUntil([&] { return board->GetLetters().empty(); }, 600));
}

TEST_F(Typewriter, CorrectLettersLandOneByOneAndFinishTheWord)
{
    TypeBoard* board = Play("cat, dog");
    ASSERT_NE(board, nullptr);
    TypeWord* cat = board->GetWords()[0];
    const wchar_t* expected[] = {L"^009900c^000000at", L"^009900ca^000000t", L"^009900cat"};
    const wchar_t keys[] = {L'c', L'a', L't'};
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        Silence();
        const std::wstring before = TextOf(cat);
        UserInterface::Get()->OnChar(keys[i]);
        EXPECT_TRUE(Playing(L"Typewriter_key"));
        EXPECT_EQ(board->GetLetters().back()->state, TypeLetter::StateHoming);
        ASSERT_TRUE(RunUntil([&] { return TextOf(cat) != before; }, 300));
        EXPECT_EQ(TextOf(cat), expected[i]);
    }
    EXPECT_TRUE(Playing(L"success_bell"));
    EXPECT_FALSE(cat->visible);
    EXPECT_EQ(cat->state, TypeWord::StateFinished);
    EXPECT_TRUE(cat->completed);
    EXPECT_EQ(board->GetPrinted(), 1u);
    EXPECT_EQ(board->GetCurrentWord(), 1u);
    EXPECT_EQ(Status(board), TypeBoard::StatusLine(1, 2));
}

TEST_F(Typewriter, TheApostropheIsTypeableAndCaseMatters)
{
    TypeBoard* board = Play("Don't");
    ASSERT_NE(board, nullptr);
    Type(L"d");
    EXPECT_EQ(board->GetCurrentLetter(), 0u);
    Type(L"Don't");
    EXPECT_EQ(board->GetPrinted(), 1u);
    EXPECT_TRUE(board->GetWords()[0]->completed);
}

TEST_F(Typewriter, ACurrentWordAtTheFailLineIsMissedAndItsLettersTumble)
{
    TypeBoard* board = Play("cat, dog");
    ASSERT_NE(board, nullptr);
    TypeWord* cat = board->GetWords()[0];
    // Typed just before the line: the letter cannot land in time.
    ASSERT_TRUE(RunUntil([&] { return cat->y >= board->GetFailLine() - 3.0f; }));
    Type(L"c");
    TypeLetter* letter = board->GetLetters().back();
    ASSERT_EQ(letter->state, TypeLetter::StateHoming);
    Silence();
    ASSERT_TRUE(RunUntil([&] { return cat->state == TypeWord::StateFinished; }, 10));
    EXPECT_FALSE(cat->visible);
    EXPECT_TRUE(Playing(L"letter_fail"));
    EXPECT_EQ(board->GetCurrentWord(), 1u);
    EXPECT_EQ(board->GetCurrentLetter(), 0u);
    Frame();
    EXPECT_EQ(letter->state, TypeLetter::StateFlyingOff);
    // Typing goes on with the next word.
    Type(L"d");
    EXPECT_EQ(board->GetCurrentLetter(), 1u);
    EXPECT_FALSE(cat->completed);
}

TEST_F(Typewriter, AWordTypedCompletelyButMissedBeforeItsLettersLandCountsAsPrinted)
{
    TypeBoard* board = Play("cat", "a cat");
    ASSERT_NE(board, nullptr);
    TypeWord* cat = board->GetWords()[0];
    ASSERT_TRUE(RunUntil([&] { return cat->y >= board->GetFailLine() - 3.0f; }));
    Type(L"cat");
    EXPECT_TRUE(cat->completed);
    EXPECT_EQ(board->GetPrinted(), 1u);
    ASSERT_TRUE(RunUntil([&] { return board->GetState() == TypeBoard::StateScrolling; }, 1000));
    EXPECT_FALSE(cat->visible);
    EXPECT_NE(Status(board).find(L"a ^009900cat^000000"), std::wstring::npos);
}

TEST_F(Typewriter, ACorrectLetterThatCannotBeAimedArrivesAtOnce)
{
    TypeBoard* board = Play("ox", "an ox");
    ASSERT_NE(board, nullptr);
    TypeWord* ox = board->GetWords()[0];
    ox->velocityY = -9.0f; // climbing as fast as a letter: no aim exists
    Type(L"o");
    EXPECT_EQ(TextOf(ox), L"^009900o^000000x");
    EXPECT_EQ(board->GetLetters().back()->state, TypeLetter::StateFinished);
    Type(L"x");
    EXPECT_EQ(ox->state, TypeWord::StateFinished);
    ASSERT_TRUE(RunUntil([&] { return board->GetState() != TypeBoard::StatePlaying; }, 5));
    EXPECT_EQ(board->GetState(), TypeBoard::StateScrolling);
}

TEST_F(Typewriter, TheEndScrollsTheClosingTextAndFadesItInThirtyFourViews)
{
    TypeBoard* board = Play("cat, dog");
    ASSERT_NE(board, nullptr);
    TypeAll(board);
    ASSERT_EQ(board->GetState(), TypeBoard::StateScrolling);
    EXPECT_EQ(board->GetClosingText(), L"the cat and the dog");
    EXPECT_TRUE(Playing(L"voice_level1"));
    EXPECT_EQ(board->GetHud()->requestedFrame, 1u);
    std::vector<TypeBoard::ClosingWord> words;
    for (TypeWord* word : board->GetWords())
        words.push_back({word->PlainWord(), word->completed});
    EXPECT_EQ(Status(board), TypeBoard::ClosingView(L"the cat and the dog", words, 99, board->GetPrinted()));

    // Scrolling two pixels a frame until the text passes the stop line.
    auto* text = board->FindChildByPath(L"text").GetInstance();
    const float startY = text->y;
    Frame();
    EXPECT_FLOAT_EQ(text->y, startY - 2.0f);
    ASSERT_TRUE(RunUntil([&] { return board->GetState() == TypeBoard::StateFading; }, 1000));
    EXPECT_LT(text->y, board->GetScrollStopLine());

    std::vector<int32_t> fades = {board->GetFade()};
    while (board->GetState() == TypeBoard::StateFading && fades.size() < 100)
    {
        Frame();
        fades.push_back(board->GetFade());
        EXPECT_EQ(Status(board), TypeBoard::ClosingView(L"the cat and the dog", words, board->GetFade(),
                                                        board->GetPrinted()));
    }
    EXPECT_EQ(fades.size(), 34u);
    EXPECT_EQ(fades.back(), 0);
    EXPECT_EQ(board->GetState(), TypeBoard::StateDone);
    EXPECT_EQ(HudButton(board, L"btn_done")->listener, static_cast<ButtonListener*>(board));
}

TEST_F(Typewriter, DoneAddsTheScoreAndEndsTheLevel)
{
    for (bool withAddScore : {true, false})
    {
        SCOPED_TRACE(withAddScore);
        TearDown();
        SetUp();
        TypeBoard* board = Play("cat, dog");
        ASSERT_NE(board, nullptr);
        Lua("Fixture.score = -1");
        if (withAddScore)
            Lua("function svc.PlayerState:AddScore(n) Fixture.score = n end");
        // Before the end the button does nothing.
        board->HandleButtonPressed(HudButton(board, L"btn_done"));
        EXPECT_EQ(LuaNumber("Fixture.levelEnds"), 0);
        TypeAll(board);
        ASSERT_TRUE(RunUntil([&] { return board->GetState() == TypeBoard::StateDone; }, 2000));
        board->HandleButtonPressed(HudButton(board, L"btn_done"));
        EXPECT_EQ(LuaNumber("Fixture.score"), withAddScore ? 6000 : -1);
        EXPECT_EQ(LuaNumber("Fixture.levelEnds"), 1);
        Stop();
    }
}

TEST_F(Typewriter, SkipAsksAndEndsTheLevelOnYesAndMenuOpensTheInGameMenu)
{
    TypeBoard* board = Play("cat");
    ASSERT_NE(board, nullptr);
    Lua("Fixture.score = -1\nfunction svc.PlayerState:AddScore(n) Fixture.score = n end");
    boxes.clear();
    board->HandleButtonPressed(HudButton(board, L"btn_skip"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].id, TypeBoard::SkipBoxId);
    EXPECT_EQ(boxes[0].caption, L"|T|TypeWriter Skip Header");
    EXPECT_EQ(boxes[0].message, L"|T|TypeWriter Skip Text");
    EXPECT_EQ(boxes[0].left, std::optional<std::wstring>(L"|T|Yes"));
    EXPECT_EQ(boxes[0].right, std::optional<std::wstring>(L"|T|No"));
    EXPECT_FALSE(boxes[0].center);
    board->HandleMsgBox(TypeBoard::SkipBoxId, 2);
    EXPECT_EQ(LuaNumber("Fixture.levelEnds"), 0);

    board->HandleButtonPressed(HudButton(board, L"btn_menu"));
    EXPECT_NE(_ScreenMgr::Get()->FindScreen(L"dlg_ingamemenu"), nullptr);

    board->HandleMsgBox(TypeBoard::SkipBoxId, 0);
    EXPECT_EQ(LuaNumber("Fixture.levelEnds"), 1);
    EXPECT_EQ(LuaNumber("Fixture.score"), -1);
}

TEST_F(Typewriter, NothingMovesWhileTheGameClockIsPaused)
{
    TypeBoard* board = Play("cat");
    ASSERT_NE(board, nullptr);
    TypeWord* cat = board->GetWords()[0];
    Type(L"x");
    TypeLetter* letter = board->GetLetters().back();
    Frame();
    const float wordY = cat->y, letterY = letter->y;
    TimeManager::Get()->SetPaused(1, true);
    Frames(20);
    EXPECT_FLOAT_EQ(cat->y, wordY);
    EXPECT_FLOAT_EQ(letter->y, letterY);
    TimeManager::Get()->SetPaused(1, false);
    Frame();
    EXPECT_FLOAT_EQ(cat->y, wordY + 1.0f);
}

} // namespace
