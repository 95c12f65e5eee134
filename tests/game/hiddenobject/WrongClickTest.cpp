// Empty clicks on the fixture board: the wave and the panned sound of every counted click, and the
// penalty for too many of them within the window.
#include "tests/game/hiddenobject/BoardFixture.h"

#include <sstream>

namespace BoardTest
{

namespace
{

class WrongClicks : public BoardFixture
{
protected:
    void SetUp() override
    {
        BoardFixture::SetUp();
        board = MakeBoard();
        ASSERT_NE(board, nullptr);
        Child<ISpyItem>(board, L"key")->SetState(ITEM_ACTIVE);
        board->hiddenObjectMode = true;
        Calls();
    }

    // Steps: "click" (left, on empty scene), "right", "middle", "wait <ms>", "find" (the key is
    // found), "busy" (the busy countdown runs), "idle" (it has run out). The board's cursor pass
    // runs before every click, as the screen runs it every frame.
    void Play(const std::string& steps)
    {
        std::istringstream words(steps);
        std::string word;
        while (words >> word)
        {
            if (word == "wait")
            {
                uint32_t ms = 0;
                words >> ms;
                Advance(ms);
            }
            else if (word == "find")
            {
                ISpyItem* key = Child<ISpyItem>(board, L"key");
                key->SetState(ITEM_ACTIVE);
                Click(120, 120);
                Child<ISpyItem>(board, L"hammer")->SetState(ITEM_ACTIVE); // the board stays incomplete
            }
            else if (word == "busy")
                services.busy = 3.0f;
            else if (word == "idle")
                services.busy = 0.0f;
            else
            {
                board->UpdateCursor();
                Click(50, 700, word == "right" ? 1 : word == "middle" ? 2 : 0);
            }
        }
    }

    static int Count(const std::string& text, const std::string& part)
    {
        int count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++count;
        return count;
    }

    ISpyBoard* board = nullptr;
};

TEST_F(WrongClicks, PenaltiesFollowTheLimitTheWindowFindsButtonsAndTheBusyCursor)
{
    const struct
    {
        const char* name;
        const char* settings; // script run first
        const char* steps;
        int penalties;
        int busyStarts;
        int sounds;
        uint32_t countAfter;
    } cases[] = {
        {"no setting function: every click", "__QueryGameSetting = nil", "click idle click", 2, 2, 2, 0},
        {"three within the window", "settings = {RandomClicksCount = 3, RandomClicksTime = 2.0}",
         "click wait 500 click wait 500 click", 1, 1, 3, 0},
        {"three, too slow, then no more until a find",
         "settings = {RandomClicksCount = 3, RandomClicksTime = 2.0}",
         "click wait 1500 click wait 1000 click click", 0, 0, 4, 4},
        {"a find in between resets the count", "settings = {RandomClicksCount = 3, RandomClicksTime = 2.0}",
         "click click find click", 0, 0, 3, 1},
        {"a letter found resets it too", "settings = {RandomClicksCount = 2, RandomClicksTime = 2.0}",
         "click", 0, 0, 2, 1},
        {"window 0 with both clicks at once", "settings = {RandomClicksCount = 2}", "click click", 1, 1, 2,
         0},
        {"right and middle buttons count nothing", "settings = {RandomClicksCount = 1}", "right middle right",
         0, 0, 0, 0},
        {"busy: no input at all", "settings = {RandomClicksCount = 1}", "busy click click", 0, 0, 0, 0},
        {"busy ran out: counting starts again", "settings = {RandomClicksCount = 1}", "busy click idle click",
         1, 1, 1, 0},
        {"not a number: defaults", "settings = {RandomClicksCount = 0/0, RandomClicksTime = 0/0}", "click", 1,
         1, 1, 0},
        {"beyond the integer range: defaults",
         "settings = {RandomClicksCount = 1e300, RandomClickPenalty = -1e300}", "click", 1, 1, 1, 0},
        {"a fraction converts toward zero", "settings = {RandomClicksCount = 2.7}", "click click", 1, 1, 2,
         0},
        {"infinite window: default 0", "settings = {RandomClicksCount = 2, RandomClicksTime = math.huge}",
         "click wait 1 click", 0, 0, 2, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        board->wrongClickCount = 0;
        services = RecordingServices();
        ASSERT_TRUE(Run("settings = {} function __QueryGameSetting(name) return settings[name] end"));
        ASSERT_TRUE(Run(c.settings));
        Play(c.steps);
        if (std::string(c.name) == "a letter found resets it too")
        {
            Child<ISpyItem>(board, L"letter_a")->SetState(ITEM_ACTIVE);
            Click(110, 610);
            EXPECT_EQ(board->wrongClickCount, 0u);
            Play("click");
        }
        const std::string calls = Calls();
        EXPECT_EQ(Count(calls, "WrongClick"), c.penalties) << calls;
        EXPECT_EQ(Count(calls, "PenaltyScore"), c.penalties) << calls;
        EXPECT_EQ(services.busyStarts, c.busyStarts);
        EXPECT_EQ(int(services.sounds.size()), c.sounds);
        EXPECT_EQ(board->wrongClickCount, c.countAfter);
        if (c.penalties)
            EXPECT_EQ(services.cursor, CF_FREEZE);
    }
}

TEST_F(WrongClicks, APenaltyStartsTheBusyCursorForFiveSecondsAndPassesThePenaltyScore)
{
    ASSERT_TRUE(Run("settings = {RandomClicksCount = 2, RandomClicksTime = 1.5, RandomClickPenalty = 25}"));
    Play("click wait 1400 click");
    EXPECT_EQ(Calls(), "PenaltyScore 25; WrongClick");
    EXPECT_FLOAT_EQ(services.busy, ISpyBoard::PenaltyBusySeconds);
    EXPECT_EQ(services.cursor, CF_FREEZE);
    board->UpdateCursor();
    EXPECT_FALSE(board->inputEnabled) << "no input while the busy cursor shows";
    EXPECT_EQ(services.cursor, CF_FREEZE) << "no other cursor applies meanwhile";
    services.busy = 0.0f;
    board->UpdateCursor();
    EXPECT_TRUE(board->inputEnabled);

    // A penalty while the countdown still runs (in the same frame) leaves the countdown alone.
    services.busy = 2.0f;
    services.busyStarts = 0;
    board->OnMouseUp(board->movieHandle, 0);
    board->OnMouseUp(board->movieHandle, 0);
    EXPECT_EQ(Calls(), "PenaltyScore 25; WrongClick");
    EXPECT_EQ(services.busyStarts, 0);
    EXPECT_FLOAT_EQ(services.busy, 2.0f);
}

TEST_F(WrongClicks, TheSoundIsPannedByThePlaceOnTheBoard)
{
    ASSERT_TRUE(Run("settings = {RandomClicksCount = 100}"));
    for (const auto& [x, pan] : {std::pair{0, -0.5f}, std::pair{512, 0.0f}, std::pair{768, 0.25f}})
    {
        services.sounds.clear();
        Click(x, 700);
        ASSERT_EQ(services.sounds.size(), 1u) << x;
        EXPECT_EQ(services.sounds[0].first, L"empty_click");
        EXPECT_FLOAT_EQ(services.sounds[0].second, pan) << x;
    }
    // A board without width: pan 0, not a division by zero.
    board->extentRect = {0, 0, 0, 768};
    board->useExtentRect = true;
    Instance_Base::InvalidateMatrix(board, false);
    services.sounds.clear();
    board->OnMouseUp(board->movieHandle, 0);
    ASSERT_EQ(services.sounds.size(), 1u);
    EXPECT_EQ(services.sounds[0].second, 0.0f);
}

TEST_F(WrongClicks, ACompleteBoardOneOutsideTheHiddenObjectModeOrAPausedGameIgnoresEmptyClicks)
{
    ASSERT_TRUE(Run("__QueryGameSetting = nil"));
    Child<ISpyItem>(board, L"key")->SetState(ITEM_HIDDEN);
    ASSERT_TRUE(board->IsComplete());
    Play("click click");
    EXPECT_EQ(Calls(), "");
    EXPECT_TRUE(services.sounds.empty());
    EXPECT_EQ(board->wrongClickCount, 0u);

    Child<ISpyItem>(board, L"key")->SetState(ITEM_ACTIVE);
    board->hiddenObjectMode = false;
    Play("click");
    EXPECT_TRUE(services.sounds.empty());

    // Nor does a paused game (in the background, or under a modal screen) take them.
    board->hiddenObjectMode = true;
    time->SetPaused(1, true);
    Play("click click");
    EXPECT_EQ(Calls(), "");
    EXPECT_TRUE(services.sounds.empty());
    EXPECT_EQ(board->wrongClickCount, 0u);
    time->SetPaused(1, false);
    Play("click");
    EXPECT_EQ(services.sounds.size(), 1u);
}

} // namespace

} // namespace BoardTest
