// The sample game played end to end as a player would, on the real program under an X server of
// its own: a whole game from a new profile to the game-finished box, and a level left half way by
// SIGTERM that comes back as it was, with the pause look and the in-game menu. The test reads the
// game's script traces from the program's standard error and checks the profile file afterwards.
#include "tests/game/e2e/GamePlayer.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>

#include <string>
#include <vector>

namespace
{

using namespace GamePlayer;

const std::vector<std::string> kSingles = {"Cup",  "Bell", "Book", "Clock", "Feather", "Hat", "Lamp",
                                           "Mask", "Pipe", "Ring", "Shell", "Spoon",   "Apple"};
const std::vector<std::string> kCandles = {"candle_1", "candle_2", "candle_3"};
constexpr unsigned long kReturn = 0xFF0D, kEscape = 0xFF1B;

class GameEndToEnd : public ::testing::Test
{
protected:
    // Starts the program and finds its window; false (with the test skipped or failed) when it
    // cannot be played.
    bool Launch()
    {
        if (!opened_)
        {
            if (!run.Open())
                return false;
            opened_ = true;
        }
        if (!run.Start())
            return false;
        hand = std::make_unique<Hand>(run.world.display);
        if (!hand->Available())
        {
            ADD_FAILURE() << "libX11 and libXtst are needed to play";
            return false;
        }
        bool found = false;
        for (const auto deadline = Clock::now() + std::chrono::seconds(20); Clock::now() < deadline && !found;
             pause(50))
            found = hand->FindWindow(640, 512);
        EXPECT_TRUE(found) << "no window under the middle of the desktop";
        if (found)
            hand->FocusGame();
        return found;
    }

    // Clicks until the program says it saw the click (a dialog takes input once it has faded in).
    bool ClickUntil(const std::string& point, const std::string& said, size_t times = 1, int attempts = 15)
    {
        for (int attempt = 0; attempt < attempts && run.program.Running(); ++attempt)
        {
            hand->Click(points[point]);
            if (run.WaitFor(said, times, std::chrono::seconds(2)))
                return true;
        }
        return false;
    }

    // A new profile: its name typed and Enter pressed, then the main menu.
    bool NewProfile(const std::string& name)
    {
        // Past the splash screens to the new-profile screen.
        for (const auto deadline = Clock::now() + std::chrono::seconds(40);
             Clock::now() < deadline && run.Count("asking for a new one") == 0 && run.program.Running();)
            pause(100);
        pause(1500); // its fade-in
        hand->Click(points["new_profile_field"]);
        hand->Type(name);
        hand->Key(kReturn);
        return run.WaitFor("menu: shown");
    }

    bool Find(const std::string& item, size_t times = 1)
    {
        return ClickUntil(item, "event ItemFound " + std::string(item == "candle_1" || item == "candle_2" ||
                                                                          item == "candle_3"
                                                                      ? "Candle "
                                                                      : "") +
                                    (item.rfind("candle_", 0) == 0 ? item.substr(7) : item),
                          times, 5);
    }

    GameRun run;
    Points points;
    std::unique_ptr<Hand> hand;

private:
    bool opened_ = false;
};

} // namespace

TEST_F(GameEndToEnd, AWholeGame)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    if (!Launch())
        return;
    ASSERT_TRUE(NewProfile("Wren")) << run.Log();

    // Play; the prologue is skipped with a click.
    ASSERT_TRUE(ClickUntil("menu_btn_play", "prologue: shown")) << run.Log();
    ASSERT_TRUE(ClickUntil("prologue", "prologue: skipped")) << run.Log();
    ASSERT_TRUE(run.WaitFor("level: new Attic")) << run.Log();
    pause(1000);

    // Finds: each strikes its entry, and the reserve groups move in, the cup and then the candles.
    std::vector<std::string> left = kSingles;
    left.insert(left.end(), kCandles.begin(), kCandles.end());
    auto found = [&](const std::string& item)
    {
        left.erase(std::remove(left.begin(), left.end(), item), left.end());
    };
    for (const char* item : {"Bell", "Book", "Clock"})
    {
        ASSERT_TRUE(Find(item)) << item << "\n" << run.Log();
        EXPECT_TRUE(run.WaitFor(std::string("list: struck ") + item)) << run.Log();
        found(item);
    }
    EXPECT_TRUE(run.WaitFor("list: shows Cup")) << run.Log();
    EXPECT_TRUE(run.WaitFor("list: shows Candles (3)")) << run.Log();

    // Random clicks on the empty floor bring the penalty and the busy cursor.
    for (int i = 0; i < 6 && run.Count("event WrongClick") == 0; ++i)
        hand->Click(points["empty"]);
    ASSERT_TRUE(run.WaitFor("event WrongClick")) << run.Log();
    EXPECT_TRUE(run.WaitFor("penalty: cursor 7")) << run.Log();
    pause(5500); // the busy cursor's five seconds, in which the scene takes no clicks

    // A hint, spent on the first entry of the list, and the hinted item found.
    ASSERT_TRUE(ClickUntil("btn_hint", "event HintButtonPressed")) << run.Log();
    ASSERT_TRUE(ClickUntil("entry_0", "event HintUsed")) << run.Log();
    ASSERT_TRUE(run.WaitFor("hint: ")) << run.Log();
    const std::string log = run.Log();
    const size_t at = log.find("hint: ") + 6;
    const std::string hinted = log.substr(at, log.find('\n', at) - at);
    ASSERT_TRUE(Find(hinted)) << hinted << "\n" << run.Log();
    found(hinted);

    // A wrong guess (the gap left out), the box answered; then the word with its gap.
    auto guess = [&](const std::string& word, size_t times)
    {
        // The button takes clicks once it has recharged.
        EXPECT_TRUE(ClickUntil("btn_guess", "guess: open", times)) << run.Log();
        pause(1500); // the dialog fades in
        hand->Click(points["guess_field"]);
        hand->Type(word);
        hand->Key(kReturn);
    };
    guess("OWL", 1);
    pause(1500);
    hand->Click(points["msgbox_center"]);
    pause(1500);
    EXPECT_EQ(run.Count("event WordGuessed"), 0u);
    guess("OW L", 2);
    ASSERT_TRUE(run.WaitFor("event WordGuessed")) << run.Log();
    EXPECT_EQ(run.Count("event LetterFound"), 3u) << run.Log();
    EXPECT_TRUE(run.WaitFor("letters: all found")) << run.Log();

    // The rest of the items; the puzzle phase starts.
    for (const std::string& item : std::vector<std::string>(left))
    {
        ASSERT_TRUE(Find(item)) << item << "\n" << run.Log();
        found(item);
    }
    ASSERT_TRUE(run.WaitFor("event AllItemsFound")) << run.Log();
    ASSERT_TRUE(run.WaitFor("puzzle: started")) << run.Log();
    pause(1000);

    // The key dragged onto the chest, the lever used.
    for (int attempt = 0; attempt < 3 && run.Count("puzzle: key dropped on the chest") == 0; ++attempt)
    {
        hand->Drag(points["key"], points["chest"]);
        run.WaitFor("puzzle: key dropped", 1, std::chrono::seconds(2));
    }
    ASSERT_TRUE(run.WaitFor("puzzle: key dropped on the chest")) << run.Log();
    ASSERT_TRUE(ClickUntil("lever", "puzzle: lever used")) << run.Log();

    // The skip question answered with Cancel.
    pause(2500); // the skip button recharges
    hand->Click(points["btn_skip"]);
    pause(1500);

    // The treasure ends the level; from the end-of-level screen to the game-finished box and the
    // menu. The question takes clicks once it has faded in; a click on its place without it lands
    // on the bare floor, which in the puzzle phase does nothing.
    bool ended = false;
    for (int attempt = 0; attempt < 10 && !ended && run.program.Running(); ++attempt)
    {
        hand->Click(points["msgbox_right"]);
        pause(300);
        hand->Click(points["treasure"]);
        ended = run.WaitFor("endlevel: shown", 1, std::chrono::seconds(2));
    }
    ASSERT_TRUE(ended) << run.Log();
    EXPECT_EQ(run.Count("puzzle: skipped"), 0u);
    ASSERT_TRUE(ClickUntil("endlevel_continue", "level end: score")) << run.Log();
    ASSERT_TRUE(run.WaitFor("menu: shown", 2)) << run.Log();
    pause(1500);
    hand->Click(points["msgbox_center"]);
    pause(1000);
    EXPECT_TRUE(run.program.Running());

    // The recorded reports: entering, leaving with the level's number and name, the good and bad
    // actions and the power-ups, each carrying the level's number.
    const std::string reports = readFile(run.Reports());
    EXPECT_EQ(countOf(reports, "enter 0001 Attic\n"), 1u) << reports;
    EXPECT_EQ(countOf(reports, "exit 0001 Attic "), 1u) << reports;
    EXPECT_NE(reports.find(" completed"), std::string::npos) << reports;
    EXPECT_NE(reports.find("good found Bell (p0 -1) [num=0001]"), std::string::npos) << reports;
    EXPECT_NE(reports.find("good puzzle key"), std::string::npos) << reports;
    EXPECT_NE(reports.find("bad randomclick penalty"), std::string::npos) << reports;
    EXPECT_NE(reports.find("powerup hint used"), std::string::npos) << reports;
    EXPECT_NE(reports.find("powerup guess wrong"), std::string::npos) << reports;
    EXPECT_NE(reports.find("powerup guess correct"), std::string::npos) << reports;

    // The disk audio output carries what was heard: the music, the finds and the clicks are not
    // silence. (The output's format is the device's; any non-zero sample counts.)
    const std::string audio = readFile(run.Audio());
    const size_t sounding = audio.size() - size_t(std::count(audio.begin(), audio.end(), '\0'));
    EXPECT_GT(audio.size(), 0u);
    EXPECT_GT(sounding, audio.size() / 20) << "the output is nearly all silence";

    // The profile keeps the finished game: its settings, the game state and the level's state, and
    // the save before it as a backup.
    const std::string profile = ProfileText(run.Profile());
    for (const char* part : {"NAME=\"Wren\"", "SETTINGS_KEY", "GAME_STATE_ENTRY", "ISPY_STATE", "levelsDone"})
        EXPECT_NE(profile.find(part), std::string::npos) << part << "\n" << profile;
    EXPECT_TRUE(std::filesystem::exists(run.Profile().string() + ".bak"));
#endif
}

TEST_F(GameEndToEnd, ALevelLeftHalfWayComesBackAsItWas)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    if (!Launch())
        return;
    ASSERT_TRUE(NewProfile("Robin")) << run.Log();
    ASSERT_TRUE(ClickUntil("menu_btn_play", "prologue: shown")) << run.Log();
    ASSERT_TRUE(ClickUntil("prologue", "prologue: skipped")) << run.Log();
    ASSERT_TRUE(run.WaitFor("level: new Attic")) << run.Log();
    pause(1000);
    for (const char* item : {"Bell", "Book", "Clock"})
        ASSERT_TRUE(Find(item)) << item << "\n" << run.Log();
    ASSERT_TRUE(run.WaitFor("list: shows Candles (3)")) << run.Log();

    // SIGTERM: the program saves the level on its way out.
    kill(run.program.Id(), SIGTERM);
    bool bySignal = false;
    EXPECT_EQ(run.program.WaitForExit(std::chrono::seconds(30), bySignal), 0) << run.Log();
    const std::string first = run.Log();
    const size_t savedAt = first.rfind("level: saved, ");
    ASSERT_NE(savedAt, std::string::npos) << first;
    const std::string saved = first.substr(savedAt + 14, first.find('\n', savedAt) - savedAt - 14);
    EXPECT_NE(saved.find("found Bell,Book,Clock;"), std::string::npos) << saved;
    std::string profile = ProfileText(run.Profile());
    for (const char* part : {"NAME=\"Robin\"", "SETTINGS_KEY", "GAME_STATE_ENTRY", "prologueSeen", "ISPY_STATE",
                             "m_board"})
        EXPECT_NE(profile.find(part), std::string::npos) << part << "\n" << profile;
    EXPECT_TRUE(std::filesystem::exists(run.Profile().string() + ".bak"));

    // Started again: the profile is current, so the menu comes at once; Play goes straight to the
    // level (the prologue was seen), which comes back as it was left.
    if (!Launch())
        return;
    ASSERT_TRUE(run.WaitFor("menu: shown", 1, std::chrono::seconds(60))) << run.Log();
    EXPECT_EQ(run.Count("asking for a new one"), 0u);
    ASSERT_TRUE(ClickUntil("menu_btn_play", "level: OnLoadLevel Attic")) << run.Log();
    EXPECT_EQ(run.Count("prologue: shown"), 0u);
    EXPECT_TRUE(run.WaitFor("level: restored, " + saved)) << "saved: " << saved << "\n" << run.Log();
    pause(1000);
    // The found items stay found: a click where one was finds nothing.
    hand->Click(points["Bell"]);
    // The buttons are ready.
    EXPECT_TRUE(ClickUntil("btn_hint", "event HintButtonPressed")) << run.Log();
    EXPECT_EQ(run.Count("event ItemFound Bell"), 0u);
    hand->Click(points["entry_0"]);
    ASSERT_TRUE(run.WaitFor("event HintUsed")) << run.Log();

    // In the background the game pauses: the pause movie comes over the blurred scene, which the
    // screen shows darker than the scene in play; back in front, the scene is as it was.
    pause(1500);
    const double playing = hand->Brightness(200, 150, 400, 200);
    ASSERT_GT(playing, 0.0) << "the screen cannot be read";
    hand->FocusDesktop();
    pause(1500);
    const double paused = hand->Brightness(200, 150, 400, 200);
    EXPECT_LT(paused, playing * 0.75) << "playing " << playing << ", paused " << paused;
    hand->FocusGame();
    pause(1500);
    const double back = hand->Brightness(200, 150, 400, 200);
    EXPECT_NEAR(back, playing, playing * 0.1) << "playing " << playing << ", back " << back;

    // Escape opens the in-game menu, which is modal and pauses the game; Escape again leaves it.
    const size_t pauses = run.Count("game: PAUSE 1"), resumes = run.Count("game: PAUSE 0");
    hand->Key(kEscape);
    EXPECT_TRUE(run.WaitFor("game: PAUSE 1", pauses + 1)) << run.Log();
    pause(1500);
    hand->Key(kEscape);
    EXPECT_TRUE(run.WaitFor("game: PAUSE 0", resumes + 1)) << run.Log();

    kill(run.program.Id(), SIGTERM);
    EXPECT_EQ(run.program.WaitForExit(std::chrono::seconds(30), bySignal), 0) << run.Log();
    profile = ProfileText(run.Profile());
    EXPECT_NE(profile.find("ISPY_STATE"), std::string::npos) << profile;
#endif
}
