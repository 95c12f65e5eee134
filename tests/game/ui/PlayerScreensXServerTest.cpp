// The pellwood program on the sample content, played as a player would on an X server of its own
// (Xvfb) with real pointer and key events from the server's test extension. A first start has no
// profile: the new-profile screen comes first and takes a typed name. Then the help button's click
// is heard over the menu's music, the options screen's music slider dragged to the left silences
// the music on SDL's "disk" audio output, and OK keeps that across a restart of the program. On the
// profile screen a second player is added, the first one chosen again by a double click and the
// second one deleted through the question. The in-game menu (the sample has no game mode in which
// Escape opens it, so the menu's "Pause menu" button does) reaches the options and help screens.
// The program says what happened on standard error: the sample's traces ("sample <seconds>:
// <what>") and the game's log lines, which the test reads.
#include "tests/platform/ProgramHand.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
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


// Window coordinates (the screens are centred in the 1024 x 768 area; scripts/make-sample-menu.py,
// make-sample-dialogs.py and make-sample-screens.py place what is on them).
// The main menu.
// The game's main menu (scripts/make-sample-game.py).
constexpr Point kPlayButton{210, 276}, kPlayersButton{210, 346}, kOptionsButton{210, 416}, kHelpButton{210, 486};
// The help screen (560 x 400).
constexpr Point kHelpClose{512, 537};
// The new-profile screen (480 x 280 at 272, 244).
constexpr Point kNameField{512, 380}, kNewOk{417, 477};
// The options screen (560 x 470 at 232, 149): the music slider's track from x 180 to 500 of the
// screen, its knob 24 wide; OK and Cancel.
constexpr int kOptionsLeft = 232, kOptionsTop = 149;
constexpr Point kOptionsOk{kOptionsLeft + 165, kOptionsTop + 427},
    kOptionsCancel{kOptionsLeft + 395, kOptionsTop + 427};
// The profile screen (560 x 470 at 232, 149): slots of 320 x 44 from y 80, 56 apart.
constexpr Point kSlot0{512, 149 + 80 + 22}, kSlot1{512, 149 + 136 + 22};
constexpr Point kAddButton{232 + 115, 149 + 427}, kProfileOk{232 + 280, 149 + 427},
    kDeleteButton{232 + 445, 149 + 427};
// The message box (480 x 260 at 272, 254): its left button.
constexpr Point kBoxLeft{367, 466};
// The in-game menu (480 x 360 at 272, 204).
constexpr Point kMenuOptions{512, 310}, kMenuHelp{512, 376}, kMenuBack{512, 508};

// The music slider's knob centre for a volume, and a point left of its track (the knob stops at 0).
Point MusicKnob(float volume)
{
    return {kOptionsLeft + 180 + int(std::lround((320 - 24) * volume / 100.0f)) + 12, kOptionsTop + 84 + 18};
}
constexpr Point kMusicLeftEnd{kOptionsLeft + 120, kOptionsTop + 84 + 18};

// The loudest sample of the output frames [first, last).
float Peak(const std::vector<float>& samples, size_t first, size_t last)
{
    float peak = 0.0f;
    for (size_t i = 2 * first; i < std::min(2 * last, samples.size()); ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

// The program on its own X server with the disk audio driver; a run is one start of the program
// in the same world (its saved-games folder stays from run to run).
class PlayerRun
{
public:
    bool StartWorld()
    {
        if (!world.Start())
            return false;
        world.Set("PELLWOOD_LOG", "debug");
        // Besides libdbus, Mesa's GL driver keeps a buffer past the end of the process.
        const std::filesystem::path suppressions = world.temp.path / "lsan-players.supp";
        std::ofstream(suppressions) << "leak:libdbus-1.so\nleak:libGLX_mesa.so\n";
        world.Set("LSAN_OPTIONS",
                  "suppressions=" + suppressions.string() + ":print_suppressions=0:fast_unwind_on_malloc=0");
        return true;
    }
    bool Launch()
    {
        ++run;
        world.Set("SDL_AUDIODRIVER", "disk");
        world.Set("SDL_DISKAUDIOFILE", Heard().string());
        program = Process(world.Launch(ProgramLaunch::SampleArguments(), Said()));
        EXPECT_TRUE(program.Started()) << "the program did not start";
        return program.Started();
    }
    // Ends the program as a close signal from the desktop does; its exit code.
    int End()
    {
        kill(program.Id(), SIGTERM);
        bool bySignal = false;
        return program.WaitForExit(kPatience, bySignal);
    }

    std::filesystem::path Heard() const { return world.temp.path / ("heard" + std::to_string(run) + ".raw"); }
    std::filesystem::path Said() const { return world.temp.path / ("said" + std::to_string(run) + ".txt"); }
    std::string Log() const { return readFile(Said()); }

    // Waits until the text has been said `times` times; false when the program ended first or the
    // time ran out.
    bool WaitFor(const std::string& text, size_t times = 1, std::chrono::seconds limit = kPatience)
    {
        return program.WaitFor([&] { return countOf(Log(), text) >= times; }, limit);
    }
    // Clicks once and waits until the program has said the line once more than before the click.
    bool ClickAndWait(Hand& hands, Point at, const std::string& text)
    {
        const size_t before = countOf(Log(), text);
        hands.Click(at);
        return WaitFor(text, before + 1);
    }
    // Clicks on the menu's "Players" until the profile screen has opened once more. The screen that
    // closed last keeps its name until the manager deletes it in its next step, and showing a name
    // that exists opens nothing; so a click in that frame, which on a loaded machine is a long one,
    // does nothing, and the player clicks again. The button lies beside the screen, on its
    // backdrop, which eats a click that comes once the screen is there.
    bool ClickPlayersUntilOpen(Hand& hands)
    {
        const size_t before = countOf(Log(), ScreenOpen("dlg_profile"));
        return program.RepeatUntil([&] { hands.Click(kPlayersButton); },
                                   [&] { return countOf(Log(), ScreenOpen("dlg_profile")) > before; });
    }
    // Clicks on a screen's OK button until the line is said: the screen enables the button in its
    // step after the typed text, which on a loaded machine can come after the click; a click on a
    // disabled button, or on the screen once it is going, does nothing.
    bool ClickOkUntil(Hand& hands, Point at, const std::string& text)
    {
        return program.RepeatUntil([&] { hands.Click(at); }, [&] { return countOf(Log(), text) >= 1; });
    }
    size_t HeardFrames() const { return ProgramLaunch::HeardFrames(Heard()); }
    bool WaitForHeardFrames(size_t frames)
    {
        return program.WaitFor([&] { return HeardFrames() >= frames; });
    }
    std::vector<float> Samples() const
    {
        const std::string bytes = readFile(Heard());
        std::vector<float> samples(bytes.size() / sizeof(float));
        std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
        return samples;
    }
    bool Running() { return program.Running(); }
    // The engine-clock seconds of the first trace line that contains the text, or -1.
    double TraceSeconds(const std::string& text) const
    {
        std::istringstream lines(Log());
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("sample ", 0) == 0 && line.find(text) != std::string::npos)
                return std::stod(line.substr(7));
        return -1.0;
    }

    // Clicks away from the buttons until the game has started (a click skips the splash screen).
    bool PastTheSplash(Hand& hands)
    {
        return program.RepeatUntil([&] { hands.Click(Point{900, 700}); },
                                   [&] { return countOf(Log(), "game: started") != 0; }, kPatience,
                                   std::chrono::milliseconds(250));
    }

    ProgramLaunch::ProgramWorld world;
    Process program;
    int run = 0;
};

} // namespace

TEST(PlayerScreens, FirstProfileOptionsAcrossARestartProfilesAndTheInGameMenu)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    PlayerRun run;
    if (!run.StartWorld() || !run.Launch())
        return;
    Hand hands(run.world.display);
    ASSERT_TRUE(hands.Available()) << "libX11 and libXtst are needed to play";
    ASSERT_TRUE(run.WaitFor("Graphics device")) << run.Log();
    ASSERT_TRUE(hands.FindWindow()) << "no window under the middle of the desktop";
    ASSERT_TRUE(run.PastTheSplash(hands)) << run.Log();
    // The splash screen fades in for 0.5 s, stays 2.5 s and fades out for 0.5 s; a click skips it.
    EXPECT_LT(run.TraceSeconds("game: started"), 3.5) << "the splash screen ran its whole time";

    // No profile yet: the new-profile screen, for the first one, takes the typed name once it has
    // faded in.
    ASSERT_TRUE(run.WaitFor("new-profile screen shown for the first profile")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenOpen("dlg_new_profile"))) << run.Log();
    hands.Click(kNameField);
    hands.Type("Robin");
    ASSERT_TRUE(run.ClickOkUntil(hands, kNewOk, "profile \"Robin\" created")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("dlg_new_profile"))) << run.Log();
    // The menu's music starts with the game's clock, which stood while the screen was open, and
    // fades in for a second: a second and a half of output after it started.
    ASSERT_TRUE(run.WaitFor("menu: music started")) << run.Log();
    // The menu's timed tip holds the clicks until it has gone.
    ASSERT_TRUE(run.WaitFor("event HintClosed")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("__closing_hint_1"))) << run.Log();
    ASSERT_TRUE(run.WaitForHeardFrames(run.HeardFrames() + size_t(1.5 * kOutputRate))) << run.Log();
    // The menu's music alone, then a click on "Help", which plays the click: it is heard between
    // the press and a while after the help screen has come.
    const size_t beforeHelp = run.HeardFrames();
    ASSERT_TRUE(run.ClickAndWait(hands, kHelpButton, ScreenOpen("dlg_help"))) << run.Log();
    EXPECT_TRUE(run.WaitFor("help page 1 of 3")) << run.Log();
    const size_t atHelp = run.HeardFrames();
    ASSERT_TRUE(run.ClickAndWait(hands, kHelpClose, ScreenClosed("dlg_help"))) << run.Log();

    // The options: the music all the way down, and OK.
    ASSERT_TRUE(run.ClickAndWait(hands, kOptionsButton, ScreenOpen("dlg_options"))) << run.Log();
    ASSERT_TRUE(run.WaitFor("options shown: music 50.000000")) << run.Log();
    hands.Drag(MusicKnob(50.0f), kMusicLeftEnd);
    ASSERT_TRUE(run.ClickAndWait(hands, kOptionsOk, "options stored: music 0.000000")) << run.Log();
    const size_t atOk = run.HeardFrames();
    ASSERT_TRUE(run.WaitForHeardFrames(atOk + size_t(kOutputRate))) << run.Log();
    {
        const std::vector<float> samples = run.Samples();
        const size_t second = size_t(kOutputRate);
        ASSERT_GT(beforeHelp, second);
        const float music = Peak(samples, beforeHelp - second / 2, beforeHelp);
        std::string levels;
        for (size_t at = 0; at + second / 2 <= samples.size() / 2; at += second / 2)
            levels += std::to_string(Peak(samples, at, at + second / 2)) + " ";
        EXPECT_GT(music, 0.02f) << "the menu's music is not heard\n"
                                << "before help " << beforeHelp << ", at help " << atHelp << ", at OK "
                                << atOk << "; peaks by half seconds: " << levels;
        EXPECT_LT(music, 0.3f) << "something louder than the music plays before the click";
        const float click = Peak(samples, beforeHelp, atHelp + second / 2);
        EXPECT_GT(click, music + 0.2f) << "the click of the button is not heard over the music";
        EXPECT_LT(Peak(samples, atOk + second * 4 / 10, atOk + second), 0.02f)
            << "the slider left the music on";
    }
    EXPECT_EQ(run.End(), 0) << run.Log();

    // A restart: Robin is current, the music stays silent and the options show it.
    ASSERT_TRUE(run.Launch());
    ASSERT_TRUE(run.WaitFor("Graphics device")) << run.Log();
    ASSERT_TRUE(hands.FindWindow());
    ASSERT_TRUE(run.PastTheSplash(hands)) << run.Log();
    ASSERT_TRUE(run.WaitFor("event HintClosed")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("__closing_hint_1"))) << run.Log();
    EXPECT_EQ(countOf(run.Log(), "new-profile screen shown"), 0u) << run.Log();
    const size_t quietFrom = run.HeardFrames();
    ASSERT_TRUE(run.WaitForHeardFrames(quietFrom + size_t(kOutputRate / 2))) << run.Log();
    EXPECT_LT(Peak(run.Samples(), quietFrom, quietFrom + size_t(kOutputRate / 2)), 0.02f)
        << "the music is heard after the restart";
    ASSERT_TRUE(run.ClickAndWait(hands, kOptionsButton, ScreenOpen("dlg_options"))) << run.Log();
    ASSERT_TRUE(run.WaitFor("options shown: music 0.000000")) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kOptionsCancel, ScreenClosed("dlg_options"))) << run.Log();

    // A second player: added on the profile screen (and made current), then Robin chosen again by
    // a double click, then the second player deleted.
    ASSERT_TRUE(run.ClickPlayersUntilOpen(hands)) << run.Log();
    ASSERT_TRUE(run.WaitFor("profile screen shown: 1 profiles")) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kAddButton, ScreenOpen("dlg_new_profile"))) << run.Log();
    ASSERT_TRUE(run.WaitFor("new-profile screen shown")) << run.Log();
    hands.Click(kNameField);
    hands.Type("Sam");
    ASSERT_TRUE(run.ClickOkUntil(hands, kNewOk, "profile \"Sam\" created")) << run.Log();
    // The new profile closes the profile screen under it too.
    ASSERT_TRUE(run.WaitFor(ScreenClosed("dlg_new_profile"))) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("dlg_profile"))) << run.Log();
    ASSERT_TRUE(run.ClickPlayersUntilOpen(hands)) << run.Log();
    ASSERT_TRUE(run.WaitFor("profile screen shown: 2 profiles")) << run.Log();
    hands.DoubleClick(kSlot0);
    ASSERT_TRUE(run.WaitFor("profile \"Robin\" chosen")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("dlg_profile"), 2)) << run.Log();
    ASSERT_TRUE(run.ClickPlayersUntilOpen(hands)) << run.Log();
    ASSERT_TRUE(run.WaitFor("profile screen shown: 2 profiles", 2)) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kSlot1, "profile \"Sam\" selected")) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kDeleteButton, ScreenOpen("dlg_msgbox"))) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kBoxLeft, "profile \"Sam\" deleted")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ScreenClosed("__closing_msgbox_1"))) << run.Log();
    // The list shows Robin alone, selected; OK chooses Robin and closes the screen.
    ASSERT_TRUE(run.ClickAndWait(hands, kProfileOk, ScreenClosed("dlg_profile"))) << run.Log();
    EXPECT_EQ(countOf(run.Log(), "profile \"Robin\" chosen"), 2u) << run.Log();

    // The in-game menu, opened with Escape in the game (past the prologue, in the level), and from
    // it the options and help screens over it.
    ASSERT_TRUE(run.ClickAndWait(hands, kPlayButton, "prologue: shown")) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, Point{512, 300}, "level: new Attic")) << run.Log();
    // Escape is taken once the level's loading is over; another Escape only while the menu has not
    // come (a second one would close it).
    for (int attempt = 0; attempt < 10 && countOf(run.Log(), "in-game menu shown") == 0; ++attempt)
    {
        hands.Press(ProgramLaunch::kKeyEscape);
        run.WaitFor("in-game menu shown", 1, std::chrono::seconds(15));
    }
    ASSERT_TRUE(run.WaitFor(ScreenOpen("dlg_ingamemenu"))) << run.Log();
    ASSERT_TRUE(run.WaitFor("in-game menu shown")) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kMenuOptions, ScreenOpen("dlg_options"))) << run.Log();
    ASSERT_TRUE(run.WaitFor("options shown", 2)) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kOptionsCancel, ScreenClosed("dlg_options"))) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kMenuHelp, ScreenOpen("dlg_help"))) << run.Log();
    ASSERT_TRUE(run.WaitFor("help page 1 of 3")) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kHelpClose, ScreenClosed("dlg_help"))) << run.Log();
    ASSERT_TRUE(run.ClickAndWait(hands, kMenuBack, ScreenClosed("dlg_ingamemenu"))) << run.Log();
    EXPECT_TRUE(run.Running());
    EXPECT_EQ(run.End(), 0) << run.Log();
#endif
}
