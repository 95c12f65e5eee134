// The pellwood program on the sample content with its extras, played on an X server of its own
// (Xvfb) with real pointer events from the server's test extension: the credits open from the menu,
// cycle past their trophy entry and close on a click (the music is heard again and the menu takes
// clicks again), and the Dudude
// puzzle is solved by clicks on its arrows, which the sample's script hears as "MinigameComplete";
// a typewriter level is played by typed keys to its end and left with "btn_done" (this one needs the
// sample's message box for the level's intro).
// The sample's scripts and the game's log say on standard error what happened; the board's log line
// tells where its rollers start, so the test knows which arrow brings each to its solution.
#include "tests/platform/ProgramHand.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace
{

using ProgramLaunch::Hand;
using ProgramLaunch::kOutputRate;
using ProgramLaunch::countOf;
using ProgramLaunch::kPatience;
using ProgramLaunch::Point;
using ProgramLaunch::ScreenClosed;
using ProgramLaunch::ScreenOpen;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;

// Where scripts/make-sample-minigames.py and script\extras.luc put what the test clicks (window
// coordinates): the menu's buttons, and the Dudude board's cells (arrows 40 by 20 above and below
// each roller).
constexpr Point kCreditsButton{895, 283};
constexpr Point kDududeButton{895, 403};
constexpr Point kTypewriterButton{895, 343};
// The message box (scripts/make-sample-dialogs.py): 480 by 260 in the middle of the window, its centre
// button 130 by 44 at (175, 190) of it. The typewriter's "btn_done" lies at (437, 700), 150 by 46.
constexpr Point kBoxCenterButton{272 + 175 + 65, 254 + 190 + 22};
constexpr Point kDoneButton{512, 723};
constexpr int kBoardLeft = 222, kBoardTop = 120;
int arrowX(int column)
{
    return kBoardLeft + 110 * column + 30;
}
int arrowY(int row, bool up)
{
    return kBoardTop + 130 * row + (up ? 10 : 90);
}

// The program on its own X server with the disk audio driver, ended when the test leaves.
class SampleRun
{
public:
    // False, the test skipped or failed as it says, when the program could not start.
    bool Start()
    {
        if (!world.Start())
            return false;
        world.Set("SDL_AUDIODRIVER", "disk");
        world.Set("SDL_DISKAUDIOFILE", Heard().string());
        world.Set("PELLWOOD_LOG", "debug");
        // A player exists already, so that no new-profile screen covers the menu at the start. The
        // player has the usual settings and has answered the slow-machine question already: during
        // a level the game asks it once frames have come slowly for a while, as a loaded machine's
        // do, and its box would cover the board.
        const std::filesystem::path saves = world.temp.path / "data" / "Halcyra Games" / "Pellwood";
        std::filesystem::create_directories(saves);
        std::ofstream(saves / "brq.xml")
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
               "<ROOT CURRENT_PROFILE_NAME=\"Robin\"><PROFILE NAME=\"Robin\"><SETTINGS_KEY "
               "SETTINGS_MUSIC_VOL=\"50\" SETTINGS_SOUND_VOL=\"75\" SETTINGS_VOICE_VOL=\"75\" "
               "SETTINGS_TUTORIALS_ON=\"1\" SETTINGS_FX_ON=\"1\" SETTINGS_CUSTCURSOR_ON=\"0\" "
               "SETTINGS_PORTRAITS_ON=\"1\" SETTINGS_SUBS_ON=\"1\" SETTINGS_VOICEOVERS_ON=\"1\" "
               "SLOW_DETECTION_ON=\"0\"/></PROFILE></ROOT>\n";
        program = Process(world.Launch(ProgramLaunch::SampleArguments(), Said()));
        EXPECT_TRUE(program.Started()) << "the program did not start";
        return program.Started();
    }

    std::filesystem::path Heard() const { return world.temp.path / "heard.raw"; }
    std::filesystem::path Said() const { return world.temp.path / "stderr.txt"; }

    // Waits for a line of standard error that contains the text; false when the program ended first
    // or the time ran out.
    bool WaitForLine(const std::string& text, std::chrono::seconds limit = kPatience)
    {
        return program.WaitFor([&] { return readFile(Said()).find(text) != std::string::npos; }, limit);
    }
    // Does the action and waits until the line has been said once more than before it.
    template <class Act> bool ActAndWait(Act act, const std::string& text)
    {
        const size_t before = countOf(readFile(Said()), text);
        act();
        return program.WaitFor([&] { return countOf(readFile(Said()), text) > before; });
    }
    // Does the action, which does nothing once it has been taken, until the line is said.
    template <class Act> bool RepeatUntilLine(Act act, const std::string& text)
    {
        return RepeatUntil(act, [&] { return readFile(Said()).find(text) != std::string::npos; });
    }
    template <class Act, class Done>
    bool RepeatUntil(Act act, Done done, std::chrono::milliseconds every = std::chrono::seconds(3))
    {
        return program.RepeatUntil(act, done, kPatience, every);
    }
    // The engine-clock seconds of the first trace line that contains the text, or -1.
    double TraceSeconds(const std::string& text)
    {
        std::istringstream lines(readFile(Said()));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("sample ", 0) == 0 && line.find(text) != std::string::npos)
                return std::stod(line.substr(7));
        return -1.0;
    }
    // Output frames written so far.
    size_t HeardFrames() const { return ProgramLaunch::HeardFrames(Heard()); }
    bool WaitForHeardFrames(size_t frames)
    {
        return program.WaitFor([&] { return HeardFrames() >= frames; });
    }
    bool Running() { return program.Running(); }

    ProgramLaunch::ProgramWorld world;

private:
    Process program;
};

// Whether the sample has the message box that the typewriter's intro asks with.
bool sampleHasMessageBox()
{
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(std::string(PELLWOOD_SOURCE_DIR) + "/sample"))
        if (entry.path().extension() == ".xml" &&
            readFile(entry.path()).find("name=\"dlg_msgbox\"") != std::string::npos)
            return true;
    return false;
}

// Starts the program, skips the splash and waits for the menu.
bool startAtTheMenu(SampleRun& run, Hand& hand)
{
    if (!hand.Available())
    {
        ADD_FAILURE() << "libX11 and libXtst are needed to play";
        return false;
    }
    if (!run.WaitForLine("Graphics device"))
    {
        ADD_FAILURE() << readFile(run.Said());
        return false;
    }
    if (!hand.FindWindow())
    {
        ADD_FAILURE() << "no window under the middle of the desktop";
        return false;
    }
    // A click skips the splash screen once it shows.
    run.RepeatUntil([&] { hand.Click(Point{512, 700}); }, [&] { return run.TraceSeconds("menu: shown") >= 0.0; },
                    std::chrono::milliseconds(250));
    if (!run.WaitForLine("menu: shown"))
    {
        ADD_FAILURE() << readFile(run.Said());
        return false;
    }
    // The menu's opening pop-up holds the menu until it has timed out and faded out.
    if (!run.WaitForLine("event HintClosed") || !run.WaitForLine(ScreenClosed("__closing_hint_1")))
    {
        ADD_FAILURE() << readFile(run.Said());
        return false;
    }
    return true;
}

} // namespace

TEST(MiniGamesProgram, ATypewriterLevelIsPlayedByTypedKeysToTheEnd)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    if (!sampleHasMessageBox())
        GTEST_SKIP() << "the sample has no message box (\"dlg_msgbox\") for the typewriter's intro";
    SampleRun run;
    if (!run.Start())
        return;
    Hand hand(run.world.display);
    if (!startAtTheMenu(run, hand))
        return;
    hand.Click(kTypewriterButton);
    ASSERT_TRUE(run.WaitForLine("typewriter: start")) << readFile(run.Said());
    // "Ok" in the intro box (named by its caption) starts the game once the box has faded in; the
    // program says so once the box has faded out and gone, and the board takes keys from then on.
    ASSERT_TRUE(run.WaitForLine(ScreenOpen("|T|HINT_Typewriter_TITLE"))) << readFile(run.Said());
    ASSERT_TRUE(run.ActAndWait([&] { hand.Click(kBoxCenterButton); },
                               "the typewriter starts with 6 words"))
        << readFile(run.Said());
    // Every word of the level in order ("quill, ink, paper, letter, don't, write"): a word may be
    // typed before it comes into view; its letters fly up to it.
    hand.Type("quillinkpaperletterdon'twrite");
    // Once every letter has landed, the closing text scrolls up and fades, frame by frame; then
    // "btn_done" shows. The board says nothing meanwhile, so the player clicks on the button's
    // place until it answers: before it shows, a click there does nothing.
    EXPECT_TRUE(run.RepeatUntilLine([&] { hand.Click(kDoneButton); },
                                    "typewriter: score"))
        << readFile(run.Said());
    EXPECT_TRUE(run.WaitForLine("typewriter: score 18000")) << readFile(run.Said());
    EXPECT_TRUE(run.WaitForLine("typewriter: level ended")) << readFile(run.Said());
#endif
}

TEST(MiniGamesProgram, CreditsCycleAndCloseAndTheDududePuzzleIsSolvedByClicks)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    SampleRun run;
    if (!run.Start())
        return;
    Hand hand(run.world.display);
    if (!startAtTheMenu(run, hand))
        return;

    // The credits: each panel's label starts the next entry, so the cycle reaches its trophy entry
    // (the third) after two labels; a click anywhere ends them.
    hand.Click(kCreditsButton);
    ASSERT_TRUE(run.WaitForLine("credits: open")) << readFile(run.Said());
    ASSERT_TRUE(run.WaitForLine(ScreenOpen("scr_credits"))) << readFile(run.Said());
    ASSERT_TRUE(run.WaitForLine("credits: trophy")) << readFile(run.Said());
    ASSERT_TRUE(run.ActAndWait([&] { hand.Click(Point{512, 400}); }, ScreenClosed("scr_credits")))
        << readFile(run.Said());
    // Counted from the output written once the credits have gone (the program's time, not ours).
    const size_t atClose = run.HeardFrames();
    // The music fades back in over two seconds once the credits have gone.
    ASSERT_TRUE(run.WaitForHeardFrames(atClose + size_t(3.5 * kOutputRate))) << readFile(run.Said());
    const std::string bytes = readFile(run.Heard());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    float peak = 0.0f;
    for (size_t i = 2 * (atClose + size_t(2.5 * kOutputRate));
         i < std::min(samples.size(), 2 * (atClose + size_t(3.5 * kOutputRate))); ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    EXPECT_GT(peak, 0.004f) << "the music is not back after the credits";

    // The menu is back in front: its Dudude button opens the puzzle.
    hand.Click(kDududeButton);
    ASSERT_TRUE(run.WaitForLine("dudude: open true")) << readFile(run.Said());
    ASSERT_TRUE(run.WaitForLine("the Dudude board starts at ")) << readFile(run.Said());
    const std::string said = readFile(run.Said());
    const size_t at =
        said.find("the Dudude board starts at ") + std::string("the Dudude board starts at ").size();
    std::istringstream starts(said.substr(at, said.find('\n', at) - at));
    std::vector<int> start;
    for (std::string item; std::getline(starts, item, ',');)
        start.push_back(std::stoi(item));
    ASSERT_EQ(start.size(), 12u);
    // The board takes clicks once its screen has faded in. Each rollable cell starts on its second
    // or third number and is solved on its first: one click up from the second, one down
    // (wrapping) from the third. A roll takes frames, which come slowly on a loaded machine; the
    // next click waits until the board says the cell has stopped, as a player watches it stop.
    ASSERT_TRUE(run.WaitForLine(ScreenOpen("scr_dudude"))) << readFile(run.Said());
    for (int cell = 0; cell < 12; ++cell)
    {
        if (start[cell] == 0)
            continue;
        const int row = cell / 4, column = cell % 4;
        const std::string stopped =
            "the Dudude cell " + std::to_string(row) + "," + std::to_string(column) + " has stopped at ";
        ASSERT_TRUE(run.ActAndWait([&] { hand.Click(Point{arrowX(column), arrowY(row, start[cell] == 1)}); },
                                   stopped))
            << readFile(run.Said());
    }
    EXPECT_TRUE(run.WaitForLine("dudude: solved")) << readFile(run.Said());
#endif
}
