// The sample game played end to end as a player would, on the real program under an X server of
// its own: a whole game from a new profile to the game-finished box, and a level left half way by
// SIGTERM that comes back as it was, with the pause look and the in-game menu. The test reads the
// game's script traces and the engine's log lines from the program's standard error and waits for
// them, never for a time; it checks what the disk audio output carries against the output
// positions at which the program said what happened, the pause screen against a reference picture
// (tests/data/e2e), and the profile file and the recorded level reports afterwards.
#include "tests/game/e2e/GamePlayer.h"
#include "tests/platform/RasterImages.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

using namespace GamePlayer;
using ProgramLaunch::kKeyEscape;
using ProgramLaunch::kKeyReturn;

const std::vector<std::string> kSingles = {"Cup",  "Bell", "Book", "Clock", "Feather", "Hat", "Lamp",
                                           "Mask", "Pipe", "Ring", "Shell", "Spoon",   "Apple"};
const std::vector<std::string> kCandles = {"candle_1", "candle_2", "candle_3"};
// The game object's log lines when it pauses (in the background, or under a modal screen) and
// goes on.
const std::string kPaused = "the game pauses", kResumed = "the game goes on";

// The pause screen's reference: a region of the window, averaged in blocks of kBlock pixels, so
// that the picture stays small and a stray pixel of a particle does not count.
constexpr int kPauseLeft = 256, kPauseTop = 128, kPauseWidth = 512, kPauseHeight = 384, kBlock = 8;
const char* const kPauseReference = "pause_attic";
const char* const kWriteReferences = "PELLWOOD_WRITE_E2E_REFERENCES";

RasterTest::Picture blocks(const ProgramLaunch::ScreenRegion& region)
{
    RasterTest::Picture picture;
    if (region.pixels.empty())
        return picture;
    picture.width = uint32_t(region.width / kBlock);
    picture.height = uint32_t(region.height / kBlock);
    picture.pixels.resize(size_t(picture.width) * picture.height);
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
        {
            uint32_t sum[3] = {0, 0, 0};
            for (int dy = 0; dy < kBlock; ++dy)
                for (int dx = 0; dx < kBlock; ++dx)
                {
                    const uint32_t p = region.pixels[size_t(y * kBlock + dy) * region.width + x * kBlock + dx];
                    for (int c = 0; c < 3; ++c)
                        sum[c] += (p >> (16 - 8 * c)) & 0xFF;
                }
            uint32_t word = 0xFF000000u;
            for (int c = 0; c < 3; ++c)
                word |= (sum[c] / (kBlock * kBlock)) << (16 - 8 * c);
            picture.pixels[size_t(y) * picture.width + x] = word;
        }
    return picture;
}

// How much of two pictures of the same size differs: the share of blocks in which a channel is
// more than a tenth of its range apart (1 when their sizes differ). The blurred capture under the
// pause movie is of the scene as it was, whose candle glow and ambient pieces move; the software
// device is exact.
double differing(const RasterTest::Picture& a, const RasterTest::Picture& b)
{
    if (a.width != b.width || a.height != b.height || a.pixels.empty())
        return 1.0;
    size_t count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16})
            if (std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF)) > 25)
            {
                ++count;
                break;
            }
    return double(count) / double(a.pixels.size());
}
constexpr double kPauseTolerance = 0.03;

// Output positions of an action of the player: the output written before it was taken, and when
// the program said it had happened. The sound it started lies between, give or take a mixing
// buffer; the stretch before it is the same output without it.
struct Stretch
{
    size_t before = 0, said = 0;
};

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
        const bool found = hand->FindWindow();
        EXPECT_TRUE(found) << "no window under the middle of the desktop";
        return found;
    }

    // Clicks once and waits until the program says the text once more than before.
    bool ClickAndWait(const std::string& point, const std::string& said)
    {
        const size_t before = run.Count(said);
        hand->Click(points[point]);
        return run.WaitFor(said, before + 1);
    }
    // Clicks until the program says the text once more than before: for what takes clicks only
    // once it is ready and says nothing when it becomes so (a button that recharges, a scene under
    // the busy cursor). Only for a click that does nothing until it is taken.
    bool ClickUntil(const std::string& point, const std::string& said)
    {
        const size_t before = run.Count(said);
        return run.program.RepeatUntil([&] { hand->Click(points[point]); },
                                       [&] { return run.Count(said) > before; });
    }

    // The menu, once its opening tip has timed out and gone (it holds the clicks until then).
    bool AtTheMenu(size_t times = 1)
    {
        return run.WaitFor("menu: shown", times) && run.WaitFor("event HintClosed", times) &&
               run.WaitFor(ScreenClosed("__closing_hint_1"), times);
    }

    // A new profile: its name typed into the new-profile screen once it has faded in, and Enter.
    bool NewProfile(const std::string& name)
    {
        if (!run.WaitFor("asking for a new one") || !run.WaitFor(ScreenOpen("dlg_new_profile")))
            return false;
        hand->Click(points["new_profile_field"]);
        hand->Type(name);
        hand->Press(kKeyReturn);
        return run.WaitFor(ScreenClosed("dlg_new_profile")) && AtTheMenu();
    }

    // Play from the menu; the prologue (on a first game) skipped with a click. True once the level
    // takes clicks.
    bool Play(bool prologue)
    {
        if (prologue)
        {
            if (!ClickAndWait("menu_btn_play", "prologue: shown") || !run.WaitFor(ScreenOpen("scr_prologue")) ||
                !ClickAndWait("prologue", "prologue: skipped"))
                return false;
        }
        else if (!ClickAndWait("menu_btn_play", "level: OnLoadLevel Attic"))
            return false;
        return run.WaitFor(ScreenOpen("scr_ispy"));
    }

    static std::string FoundLine(const std::string& item)
    {
        return item.rfind("candle_", 0) == 0 ? "event ItemFound Candle " + item.substr(7)
                                             : "event ItemFound " + item;
    }
    // Clicks on the item and waits for the find; where the find's sound lies in the output.
    Stretch Find(const std::string& item)
    {
        Stretch heard;
        heard.before = run.HeardFrames();
        EXPECT_TRUE(ClickAndWait(item, FoundLine(item))) << item << "\n" << run.Log();
        heard.said = run.HeardFrames();
        return heard;
    }

    // Whether the tones sound in the output where the action put them: within the action's
    // stretch (and `length` frames after what the program said) louder than in the same stretch
    // before it, by a factor of `over`. Waits for that much output first.
    ::testing::AssertionResult Sounds(const std::vector<double>& tones, const Stretch& at, double length,
                                      size_t block = 2048, double over = 3.0)
    {
        const size_t last = at.said + size_t(length * kOutputRate);
        if (!run.WaitForHeardFrames(last))
            return ::testing::AssertionFailure() << "the output stopped";
        const Output output(run.Audio());
        const size_t span = last - at.before;
        const size_t from = at.before > span ? at.before - span : 0;
        const double before = output.Loudest(tones, from, at.before, block);
        const double during = output.Loudest(tones, at.before, last, block);
        if (during > over * before && during > 0.01)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "frames " << at.before << " to " << last << ": " << during
                                             << ", before them " << before;
    }

    // Message boxes that have opened: named by their captions, or by their definition when they
    // have none.
    size_t BoxesOpen() const { return run.Count("screen \"|T|") + run.Count(ScreenOpen("dlg_msgbox")); }

    // The pause screen's region as blocks.
    RasterTest::Picture PauseBlocks()
    {
        return blocks(hand->Capture(kPauseLeft, kPauseTop, kPauseWidth, kPauseHeight));
    }

    // The pause screen's region once it has stopped changing (the same as it was a third of a
    // second of output before) and differs from the paused look: the level shows its loading
    // shield, then fades in.
    RasterTest::Picture Settled(const RasterTest::Picture& paused)
    {
        RasterTest::Picture earlier = PauseBlocks(), now;
        size_t at = run.HeardFrames();
        run.program.WaitFor(
            [&]
            {
                if (run.HeardFrames() < at + size_t(kOutputRate / 3))
                    return false;
                now = PauseBlocks();
                if (differing(now, earlier) <= kPauseTolerance / 3 && differing(now, paused) > 0.2)
                    return true;
                earlier = now;
                at = run.HeardFrames();
                return false;
            });
        return now;
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
    ASSERT_TRUE(Play(true)) << run.Log();
    ASSERT_TRUE(run.WaitFor("level: new Attic")) << run.Log();
    // The level's music, by the drone under its tune, two seconds into the level.
    const size_t levelStart = run.HeardFrames();

    // Finds: each strikes its entry, and the reserve groups move in, the cup and then the candles.
    std::vector<std::string> left = kSingles;
    left.insert(left.end(), kCandles.begin(), kCandles.end());
    auto found = [&](const std::string& item) { left.erase(std::remove(left.begin(), left.end(), item), left.end()); };
    std::vector<Stretch> finds;
    for (const char* item : {"Bell", "Book", "Clock"})
    {
        finds.push_back(Find(item));
        EXPECT_TRUE(run.WaitFor(std::string("list: struck ") + item)) << run.Log();
        found(item);
    }
    EXPECT_TRUE(run.WaitFor("list: shows Cup")) << run.Log();
    EXPECT_TRUE(run.WaitFor("list: shows Candles (3)")) << run.Log();

    // Random clicks on the empty floor, each with its sound, bring the penalty and the busy cursor.
    // (The board says nothing of a click until the penalty, which the busy cursor's clicks do not
    // bring again.)
    Stretch emptyClick;
    emptyClick.before = run.HeardFrames();
    for (int i = 0; i < 6 && run.Count("event WrongClick") == 0; ++i)
        hand->Click(points["empty"]);
    ASSERT_TRUE(run.WaitFor("event WrongClick")) << run.Log();
    emptyClick.said = run.HeardFrames();
    EXPECT_TRUE(run.WaitFor("penalty: cursor 7")) << run.Log();

    // A hint, spent on the first entry of the list, and the hinted item found once the busy cursor
    // has gone (the scene takes no clicks under it). The hint button clicks.
    Stretch buttonClick;
    buttonClick.before = run.HeardFrames();
    ASSERT_TRUE(ClickUntil("btn_hint", "event HintButtonPressed")) << run.Log();
    buttonClick.said = run.HeardFrames();
    ASSERT_TRUE(ClickAndWait("entry_0", "event HintUsed")) << run.Log();
    ASSERT_TRUE(run.WaitFor("hint: ")) << run.Log();
    const std::string hinted = run.Last("hint: ");
    ASSERT_TRUE(ClickUntil(hinted, FoundLine(hinted))) << hinted << "\n" << run.Log();
    found(hinted);

    // A wrong guess (the gap left out), the box answered; then the word with its gap.
    auto guess = [&](const std::string& word)
    {
        // The button takes clicks once it has recharged; the dialog takes keys once it has faded in.
        const size_t opened = run.Count(ScreenOpen("dlg_guess"));
        EXPECT_TRUE(ClickUntil("btn_guess", "guess: open")) << run.Log();
        EXPECT_TRUE(run.WaitFor(ScreenOpen("dlg_guess"), opened + 1)) << run.Log();
        hand->Click(points["guess_field"]);
        hand->Type(word);
        hand->Press(kKeyReturn);
        EXPECT_TRUE(run.WaitFor(ScreenClosed("dlg_guess"), opened + 1)) << run.Log();
    };
    const std::string boxGone = "screen \"__closing_msgbox_";
    guess("OWL");
    ASSERT_TRUE(run.program.WaitFor([&] { return BoxesOpen() >= 1; })) << run.Log();
    // The box is open (it takes keys once faded in): Enter answers it with its one button.
    hand->Press(kKeyReturn);
    ASSERT_TRUE(run.WaitFor(boxGone)) << run.Log();
    EXPECT_EQ(run.Count("event WordGuessed"), 0u);
    guess("OW L");
    ASSERT_TRUE(run.WaitFor("event WordGuessed")) << run.Log();
    EXPECT_EQ(run.Count("event LetterFound"), 3u) << run.Log();
    EXPECT_TRUE(run.WaitFor("letters: all found")) << run.Log();

    // In the background the game pauses and its sounds go quiet: from a little after the pause
    // was said (the output position is read after it), neither a find nor an empty click is heard.
    // Clicks there are not taken: an item clicked in the background stays to be found.
    const std::string untouched = left.back();
    {
        const size_t pauses = run.Count(kPaused), resumes = run.Count(kResumed);
        hand->FocusAway();
        ASSERT_TRUE(run.WaitFor(kPaused, pauses + 1)) << run.Log();
        hand->Click(points[untouched]);
        hand->Click(points["empty"]);
        const size_t away = run.HeardFrames();
        ASSERT_TRUE(run.WaitForHeardFrames(away + size_t(1.5 * kOutputRate))) << run.Log();
        const size_t inFront = run.HeardFrames();
        hand->FocusWindow();
        ASSERT_TRUE(run.WaitFor(kResumed, resumes + 1)) << run.Log();
        const Output output(run.Audio());
        const size_t quiet = away + size_t(kOutputRate / 2);
        EXPECT_LT(output.Loudest(kFindTones, quiet, inFront), 0.01)
            << "by tenths of a second from the pause: " << output.Levels(kFindTones, away, inFront);
        EXPECT_LT(output.Loudest(kEmptyClickTones, quiet, inFront, 8192), 0.01)
            << "by tenths of a second from the pause: " << output.Levels(kEmptyClickTones, away, inFront, 8192);
    }
    // A find after the pause: by then the click in the background would have been told.
    ASSERT_NE(left.front(), untouched);
    const std::string next = left.front();
    Find(next);
    found(next);
    EXPECT_EQ(run.Count(FoundLine(untouched)), 0u) << "a click in the background found " << untouched;

    // The rest of the items; the puzzle phase starts.
    for (const std::string& item : std::vector<std::string>(left))
    {
        Find(item);
        found(item);
    }
    ASSERT_TRUE(run.WaitFor("event AllItemsFound")) << run.Log();
    ASSERT_TRUE(run.WaitFor("puzzle: started")) << run.Log();

    // The key dragged onto the chest (button down, motion in steps, button up), the lever used.
    ASSERT_TRUE(run.program.RepeatUntil([&] { hand->Drag(points["key"], points["chest"], 12); },
                                        [&] { return run.Count("puzzle: key dropped") > 0; }))
        << run.Log();
    ASSERT_TRUE(run.WaitFor("puzzle: key dropped on the chest")) << run.Log();
    ASSERT_TRUE(ClickAndWait("lever", "puzzle: lever used")) << run.Log();

    // The skip question, once the skip button has recharged, answered with Cancel.
    ASSERT_TRUE(ClickUntil("btn_skip", "button: btn_skip")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenOpen("dlg_msgbox"))) << run.Log();
    ASSERT_TRUE(ClickAndWait("msgbox_right", boxGone)) << run.Log();

    // The treasure ends the level; from the end-of-level screen to the game-finished box and the
    // menu.
    ASSERT_TRUE(ClickAndWait("treasure", "endlevel: shown")) << run.Log();
    EXPECT_EQ(run.Count("puzzle: skipped"), 0u);
    ASSERT_TRUE(run.WaitFor("screen \"dlg_endlevel")) << run.Log();
    ASSERT_TRUE(ClickAndWait("endlevel_continue", "level end: score")) << run.Log();
    ASSERT_TRUE(run.WaitFor("menu: shown", 2)) << run.Log();
    ASSERT_TRUE(run.program.WaitFor([&] { return BoxesOpen() >= 3; })) << run.Log();
    ASSERT_TRUE(ClickAndWait("msgbox_center", boxGone)) << run.Log();
    EXPECT_EQ(run.Count(boxGone), 3u) << run.Log();
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

    // What was heard: the level's music, each find, the empty click and the button's click, in
    // the stretches of output in which the program said they happened.
    {
        ASSERT_TRUE(run.WaitForHeardFrames(levelStart + size_t(3 * kOutputRate)));
        const Output output(run.Audio());
        const double music = output.Loudest(kMusicTones, levelStart + size_t(kOutputRate),
                                            levelStart + size_t(3 * kOutputRate), 16384);
        EXPECT_GT(music, 0.01) << "the level's music is not heard";
    }
    // The finds come one right after the other: the first against the music before it, the others
    // by their loudness.
    EXPECT_TRUE(Sounds(kFindTones, finds.front(), 0.5)) << "the first find";
    for (const Stretch& find : finds)
    {
        const Output output(run.Audio());
        EXPECT_GT(output.Loudest(kFindTones, find.before, find.said + size_t(kOutputRate / 2)), 0.1)
            << "a find is not heard: " << output.Levels(kFindTones, find.before, find.said + size_t(kOutputRate / 2));
    }
    EXPECT_TRUE(Sounds(kEmptyClickTones, emptyClick, 0.3, 8192, 1.8)) << "the empty click";
    EXPECT_TRUE(Sounds(kButtonTones, buttonClick, 0.3)) << "the hint button's click";

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
    ASSERT_TRUE(Play(true)) << run.Log();
    ASSERT_TRUE(run.WaitFor("level: new Attic")) << run.Log();
    for (const char* item : {"Bell", "Book", "Clock"})
        Find(item);
    ASSERT_TRUE(run.WaitFor("list: shows Candles (3)")) << run.Log();

    // SIGTERM: the program saves the level on its way out.
    kill(run.program.Id(), SIGTERM);
    bool bySignal = false;
    EXPECT_EQ(run.program.WaitForExit(kPatience, bySignal), 0) << run.Log();
    const std::string saved = run.Last("level: saved, ");
    ASSERT_FALSE(saved.empty()) << run.Log();
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
    ASSERT_TRUE(AtTheMenu()) << run.Log();
    EXPECT_EQ(run.Count("asking for a new one"), 0u);
    ASSERT_TRUE(Play(false)) << run.Log();
    EXPECT_EQ(run.Count("prologue: shown"), 0u);
    EXPECT_TRUE(run.WaitFor("level: restored, " + saved)) << "saved: " << saved << "\n" << run.Log();

    // In the background the game pauses: the pause movie comes over the blurred scene, as the
    // reference picture shows it; back in front, the scene is as it was.
    RasterTest::Picture reference;
    const std::string referencePath =
        std::string(PELLWOOD_SOURCE_DIR) + "/tests/data/e2e/" + kPauseReference + ".png";
    ASSERT_TRUE(RasterTest::ReadPng(referencePath, reference)) << referencePath;
    const RasterTest::Picture playing = Settled(reference);
    ASSERT_FALSE(playing.pixels.empty()) << "the screen cannot be read";
    EXPECT_GT(differing(playing, reference), 0.2) << "the scene in play looks paused";
    const size_t pauses = run.Count(kPaused), resumes = run.Count(kResumed);
    hand->FocusAway();
    ASSERT_TRUE(run.WaitFor(kPaused, pauses + 1)) << run.Log();
    if (const char* write = std::getenv(kWriteReferences); write != nullptr && std::string(write) == "1")
    {
        // Two seconds of the game in the background by the output's clock, and the screen as it
        // stands then.
        ASSERT_TRUE(run.WaitForHeardFrames(run.HeardFrames() + size_t(2 * kOutputRate)));
        reference = PauseBlocks();
        std::filesystem::create_directories(std::filesystem::path(referencePath).parent_path());
        ASSERT_TRUE(RasterTest::WritePng(referencePath, reference)) << referencePath;
    }
    ASSERT_TRUE(RasterTest::ReadPng(referencePath, reference)) << referencePath;
    // The paused frame comes once the program has drawn it.
    RasterTest::Picture paused;
    run.program.WaitFor([&] { return differing(paused = PauseBlocks(), reference) <= kPauseTolerance; });
    EXPECT_LE(differing(paused, reference), kPauseTolerance) << "the pause screen is not the reference's";
    hand->FocusWindow();
    ASSERT_TRUE(run.WaitFor(kResumed, resumes + 1)) << run.Log();
    const RasterTest::Picture back = Settled(reference);
    EXPECT_LE(differing(back, playing), kPauseTolerance) << "the scene did not come back";

    // The found items stay found: a click where one was finds nothing. The buttons are ready.
    hand->Click(points["Bell"]);
    ASSERT_TRUE(ClickAndWait("btn_hint", "event HintButtonPressed")) << run.Log();
    EXPECT_EQ(run.Count("event ItemFound Bell"), 0u);
    ASSERT_TRUE(ClickAndWait("entry_0", "event HintUsed")) << run.Log();

    // Escape opens the in-game menu, which is modal and pauses the game; Escape again leaves it.
    hand->Press(kKeyEscape);
    EXPECT_TRUE(run.WaitFor(kPaused, pauses + 2)) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenOpen("dlg_ingamemenu"))) << run.Log();
    hand->Press(kKeyEscape);
    EXPECT_TRUE(run.WaitFor(kResumed, resumes + 2)) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("dlg_ingamemenu"))) << run.Log();

    kill(run.program.Id(), SIGTERM);
    EXPECT_EQ(run.program.WaitForExit(kPatience, bySignal), 0) << run.Log();
    profile = ProfileText(run.Profile());
    EXPECT_NE(profile.find("ISPY_STATE"), std::string::npos) << profile;
#endif
}
