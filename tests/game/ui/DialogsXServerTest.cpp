// The pellwood program on the sample content on an X server of its own (Xvfb), played with real
// pointer events from the server's test extension: the timed pop-up that points at "Options" at
// the start, a tooltip after resting on a menu button, the help screen paged through its three
// entries, and the "Quit" question answered No (the program stays) and then Yes (it ends with
// code 0). The program says what happened on standard error when a log is asked for: the sample's
// script traces ("sample <seconds>: <what>") and the game's log lines, which the test reads.
#include "tests/platform/ProgramHand.h"
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace
{

using ProgramLaunch::countOf;
using ProgramLaunch::Hand;
using ProgramLaunch::kPatience;
using ProgramLaunch::Point;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;

// Window coordinates of what the test points at (scripts/make-sample-game.py and
// scripts/make-sample-dialogs.py place them; the dialogs are centred in the 1024 x 768 area).
constexpr Point kOptionsButton{210, 416};
constexpr Point kHelpButton{210, 486};
constexpr Point kQuitButton{210, 556};
constexpr Point kHelpBack{332, 537}, kHelpClose{512, 537}, kHelpNext{692, 537};
constexpr Point kBoxYes{367, 466}, kBoxNo{657, 466};
// Where the pointer rests when it should be over nothing.
constexpr Point kNowhere{600, 300};

class DialogsRun
{
public:
    bool Start()
    {
        if (!world.Start())
            return false;
        world.Set("SDL_AUDIODRIVER", "dummy");
        world.Set("PELLWOOD_LOG", "debug");
        // The end is read from the exit code: besides libdbus, Mesa's GL driver (which SDL's renderer
        // loads and unloads) keeps a buffer past the end of the process; only the full stack of the
        // allocation names it, as the driver is gone by then.
        const std::filesystem::path suppressions = world.temp.path / "lsan-dialogs.supp";
        std::ofstream(suppressions) << "leak:libdbus-1.so\nleak:libGLX_mesa.so\n";
        world.Set("LSAN_OPTIONS", "suppressions=" + suppressions.string() + ":print_suppressions=0:fast_unwind_on_malloc=0");
        // A player exists already, so that no new-profile screen covers the menu at the start.
        const std::filesystem::path saves = world.temp.path / "data" / "Halcyra Games" / "Pellwood";
        std::filesystem::create_directories(saves);
        std::ofstream(saves / "brq.xml") << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                            "<ROOT CURRENT_PROFILE_NAME=\"Robin\"><PROFILE NAME=\"Robin\"/></ROOT>\n";
        program = Process(world.Launch(ProgramLaunch::SampleArguments(), Said()));
        EXPECT_TRUE(program.Started()) << "the program did not start";
        return program.Started();
    }
    std::filesystem::path Said() const { return world.temp.path / "stderr.txt"; }
    std::string Log() const { return readFile(Said()); }
    // Waits until the text has been said `times` times; false when the program ended first or the
    // time ran out.
    bool WaitFor(const std::string& text, size_t times = 1, std::chrono::seconds limit = kPatience)
    {
        return program.WaitFor([&] { return countOf(Log(), text) >= times; }, limit);
    }
    double TraceSeconds(const std::string& text)
    {
        std::istringstream lines(Log());
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("sample ", 0) == 0 && line.find(text) != std::string::npos)
                return std::stod(line.substr(7));
        return -1.0;
    }

    ProgramLaunch::ProgramWorld world;
    Process program;
};

} // namespace

TEST(SampleDialogs, PopupTooltipHelpAndTheQuitQuestion)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    DialogsRun run;
    if (!run.Start())
        return;
    Hand hand(run.world.display);
    ASSERT_TRUE(hand.Available()) << "libX11 and libXtst are needed to play";
    ASSERT_TRUE(run.WaitFor("Graphics device")) << run.Log();
    ASSERT_TRUE(hand.FindWindow()) << "no window under the middle of the desktop";

    // Past the splash screen to the menu, with the pointer away from the buttons.
    ASSERT_TRUE(run.program.RepeatUntil([&] { hand.Click(Point{kNowhere.x, 700}); },
                                        [&] { return run.TraceSeconds("menu: shown") >= 0.0; }))
        << run.Log();

    // The timed pop-up closes by itself after its 3 seconds of real time, whatever the player does.
    hand.Click(kNowhere);
    ASSERT_TRUE(run.WaitFor("event HintClosed 1")) << run.Log();
    const double shown = run.TraceSeconds("menu: shown");
    const double closed = run.TraceSeconds("event HintClosed 1");
    EXPECT_GE(closed - shown, 2.9) << "a click closed the timed pop-up";
    EXPECT_LT(closed - shown, 10.0);
    // Its fade-out: the menu takes the pointer once the pop-up has gone.
    ASSERT_TRUE(run.WaitFor(ProgramLaunch::ScreenClosed("__closing_hint_1"))) << run.Log();

    // Resting on "Options" shows its tooltip.
    hand.Move(kOptionsButton);
    EXPECT_TRUE(run.WaitFor("shown: Music, sound and voice volumes and more")) << run.Log();
    hand.Move(kNowhere);

    // A dialog takes input once its fade-in has ended and what it covered takes it again once its
    // fade-out has: each click waits for the engine to say so (a loaded machine draws few frames a
    // second), then for the program to say what the click did, each said once more than before.
    auto clickAndWait = [&](Point at, const std::string& said)
    {
        const size_t before = countOf(run.Log(), said);
        hand.Click(at);
        return run.WaitFor(said, before + 1);
    };
    const std::string helpOpen = ProgramLaunch::ScreenOpen("dlg_help");
    // The question's box is named by its caption.
    const std::string boxOpen = ProgramLaunch::ScreenOpen("|T|ExitGame");

    // The help screen pages through its three entries.
    ASSERT_TRUE(clickAndWait(kHelpButton, helpOpen)) << run.Log();
    EXPECT_TRUE(run.WaitFor("help page 1 of 3")) << run.Log();
    EXPECT_TRUE(clickAndWait(kHelpNext, "help page 2 of 3")) << run.Log();
    EXPECT_TRUE(clickAndWait(kHelpNext, "help page 3 of 3")) << run.Log();
    EXPECT_TRUE(clickAndWait(kHelpBack, "help page 2 of 3")) << run.Log();
    ASSERT_TRUE(clickAndWait(kHelpClose, ProgramLaunch::ScreenClosed("dlg_help"))) << run.Log();

    // "Quit": No keeps the program running.
    // The question is modal: the game pauses while it is open and resumes when it closes, which
    // the menu says.
    ASSERT_TRUE(clickAndWait(kQuitButton, boxOpen)) << run.Log();
    EXPECT_EQ(countOf(run.Log(), "menu: clicked btn_quit"), 1u) << run.Log();
    // The answer comes once the box has faded out and gone.
    ASSERT_TRUE(clickAndWait(kBoxNo, "menu: screen event PAUSE 0")) << run.Log();
    ASSERT_TRUE(run.WaitFor(ProgramLaunch::ScreenClosed("__closing_msgbox_1"))) << run.Log();
    EXPECT_TRUE(run.program.Running());

    // "Quit" again: Yes ends it with code 0.
    ASSERT_TRUE(clickAndWait(kQuitButton, boxOpen)) << run.Log();
    hand.Click(kBoxYes);
    bool bySignal = false;
    const int code = run.program.WaitForExit(kPatience, bySignal);
    EXPECT_FALSE(bySignal);
    EXPECT_EQ(code, 0) << run.Log();
#endif
}
