// The pellwood program on the sample content with its extras, played on an X server of its own
// (Xvfb) with real pointer events from the server's test extension: the credits open from the menu,
// cycle past their trophy entry and close on a click (the music is heard again and the menu takes
// clicks again), and the Dudude
// puzzle is solved by clicks on its arrows, which the sample's script hears as "MinigameComplete";
// a typewriter level is played by typed keys to its end and left with "btn_done" (this one needs the
// sample's message box for the level's intro).
// The sample's scripts and the game's log say on standard error what happened; the board's log line
// tells where its rollers start, so the test knows which arrow brings each to its solution.
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace
{

using ProgramLaunch::Clock;
using ProgramLaunch::pause;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;

// Where scripts/make-sample-minigames.py and script\extras.luc put what the test clicks (window
// coordinates): the menu's buttons, and the Dudude board's cells (arrows 40 by 20 above and below
// each roller).
constexpr double kOutputRate = 48000.0;           // what the audio layer asks the device for
constexpr size_t kFrameBytes = 2 * sizeof(float); // the disk audio output: two float channels
constexpr int kCreditsButton[2] = {895, 283};
constexpr int kDududeButton[2] = {895, 403};
constexpr int kTypewriterButton[2] = {895, 343};
// The message box (scripts/make-sample-dialogs.py): 480 by 260 in the middle of the window, its centre
// button 130 by 44 at (175, 190) of it. The typewriter's "btn_done" lies at (437, 700), 150 by 46.
constexpr int kBoxCenterButton[2] = {272 + 175 + 65, 254 + 190 + 22};
constexpr int kDoneButton[2] = {512, 723};
constexpr int kBoardLeft = 222, kBoardTop = 120;
int arrowX(int column)
{
    return kBoardLeft + 110 * column + 30;
}
int arrowY(int row, bool up)
{
    return kBoardTop + 130 * row + (up ? 10 : 90);
}

// The Xlib and XTest calls the player's hands need, on one display.
class Hands
{
public:
    explicit Hands(const std::string& display)
    {
        if (!libraries_.Opened())
            return;
        bool all = true;
        auto load = [&](void* library, auto& function, const char* name)
        {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all = all && function != nullptr;
        };
        load(libraries_.x11, open_, "XOpenDisplay");
        load(libraries_.x11, close_, "XCloseDisplay");
        load(libraries_.x11, root_, "XDefaultRootWindow");
        load(libraries_.x11, queryPointer_, "XQueryPointer");
        load(libraries_.x11, translate_, "XTranslateCoordinates");
        load(libraries_.x11, setFocus_, "XSetInputFocus");
        load(libraries_.x11, keycode_, "XKeysymToKeycode");
        load(libraries_.x11, sync_, "XSync");
        load(libraries_.x11, setErrorHandler_, "XSetErrorHandler");
        load(libraries_.xtst, motion_, "XTestFakeMotionEvent");
        load(libraries_.xtst, button_, "XTestFakeButtonEvent");
        load(libraries_.xtst, key_, "XTestFakeKeyEvent");
        if (!all)
            return;
        // The program may remake its window between our look and our request.
        setErrorHandler_([](void*, void*) { return 0; });
        display_ = open_(display.c_str());
    }
    ~Hands()
    {
        if (display_ != nullptr)
            close_(display_);
    }
    bool Available() const { return display_ != nullptr; }

    // The top-level window under the desktop point, or 0.
    unsigned long WindowAt(int x, int y)
    {
        Move(x, y);
        unsigned long root = 0, child = 0;
        int rootX = 0, rootY = 0, windowX = 0, windowY = 0;
        unsigned int mask = 0;
        queryPointer_(display_, root_(display_), &root, &child, &rootX, &rootY, &windowX, &windowY, &mask);
        return child;
    }
    // The desktop position of the window's client area; false when the window is gone.
    bool Origin(unsigned long window, int& x, int& y)
    {
        unsigned long child = 0;
        return translate_(display_, window, root_(display_), 0, 0, &x, &y, &child) != 0;
    }
    // What a window manager does when the player clicks a window: it gets the keyboard.
    void Focus(unsigned long window)
    {
        setFocus_(display_, window, 2 /* RevertToParent */, 0);
        sync_(display_, 0);
    }
    void Move(int x, int y)
    {
        motion_(display_, 0, x, y, 0);
        sync_(display_, 0);
    }
    void Click(int x, int y) { Drag(x, y, x, y); }
    // Presses at one point and releases at another, moving there in small steps.
    void Drag(int fromX, int fromY, int toX, int toY)
    {
        Move(fromX, fromY);
        pause(120); // the program sees the pointer arrive (over states) before the press
        button_(display_, 1, 1, 0);
        sync_(display_, 0);
        pause(80);
        for (int step = 1; step <= 8 && (toX != fromX || toY != fromY); ++step)
        {
            Move(fromX + (toX - fromX) * step / 8, fromY + (toY - fromY) * step / 8);
            pause(40);
        }
        button_(display_, 1, 0, 0);
        sync_(display_, 0);
    }
    // Key symbols: letters are their lower-case ASCII codes; Shift_L is 0xFFE1.
    void Key(unsigned long keysym, bool down)
    {
        key_(display_, keycode_(display_, keysym), down ? 1 : 0, 0);
        sync_(display_, 0);
    }
    // One key at a time, as fingers do: the program reads Shift as held or not when it handles a
    // letter, so a release must not reach it in the same batch as the letter it modified.
    void Type(const std::string& text)
    {
        for (char c : text)
        {
            const bool upper = c >= 'A' && c <= 'Z';
            const unsigned long letter = static_cast<unsigned long>(upper ? c - 'A' + 'a' : c);
            if (upper)
                Key(0xFFE1, true);
            for (bool down : {true, false})
            {
                pause(60);
                Key(letter, down);
            }
            pause(60);
            if (upper)
                Key(0xFFE1, false);
        }
    }

private:
    XServerSupport::XLibraries libraries_;
    void* display_ = nullptr;
    void* (*open_)(const char*) = nullptr;
    int (*close_)(void*) = nullptr;
    unsigned long (*root_)(void*) = nullptr;
    int (*queryPointer_)(void*, unsigned long, unsigned long*, unsigned long*, int*, int*, int*, int*,
                         unsigned int*) = nullptr;
    int (*translate_)(void*, unsigned long, unsigned long, int, int, int*, int*, unsigned long*) = nullptr;
    int (*setFocus_)(void*, unsigned long, int, unsigned long) = nullptr;
    unsigned char (*keycode_)(void*, unsigned long) = nullptr;
    int (*sync_)(void*, int) = nullptr;
    void* (*setErrorHandler_)(int (*)(void*, void*)) = nullptr;
    int (*motion_)(void*, int, int, int, unsigned long) = nullptr;
    int (*button_)(void*, unsigned int, int, unsigned long) = nullptr;
    int (*key_)(void*, unsigned int, int, unsigned long) = nullptr;
};

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
        // A player exists already, so that no new-profile screen covers the menu at the start.
        const std::filesystem::path saves = world.temp.path / "data" / "Halcyra Games" / "Pellwood";
        std::filesystem::create_directories(saves);
        std::ofstream(saves / "brq.xml") << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                            "<ROOT CURRENT_PROFILE_NAME=\"Robin\"><PROFILE NAME=\"Robin\"/></ROOT>\n";
        program = Process(world.Launch(ProgramLaunch::SampleArguments(), Said()));
        EXPECT_TRUE(program.Started()) << "the program did not start";
        return program.Started();
    }

    std::filesystem::path Heard() const { return world.temp.path / "heard.raw"; }
    std::filesystem::path Said() const { return world.temp.path / "stderr.txt"; }

    // Waits for a line of standard error that contains the text; false when the program ended first
    // or the time ran out.
    bool WaitForLine(const std::string& text, std::chrono::seconds limit = std::chrono::seconds(30))
    {
        return program.WaitFor([&] { return readFile(Said()).find(text) != std::string::npos; }, limit);
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
    size_t HeardFrames() const
    {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(Heard(), error);
        return error ? 0 : size_t(size / kFrameBytes);
    }
    bool WaitForHeardFrames(size_t frames)
    {
        return program.WaitFor([&] { return HeardFrames() >= frames; }, std::chrono::seconds(30));
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

// Starts the program, skips the splash and waits for the menu; the window's client origin.
bool startAtTheMenu(SampleRun& run, Hands& hands, int& left, int& top)
{
    if (!hands.Available())
    {
        ADD_FAILURE() << "libX11 and libXtst are needed to play";
        return false;
    }
    if (!run.WaitForLine("Graphics device"))
    {
        ADD_FAILURE() << readFile(run.Said());
        return false;
    }
    unsigned long window = 0;
    for (const auto deadline = Clock::now() + std::chrono::seconds(10); Clock::now() < deadline && !window;
         pause(50))
        if ((window = hands.WindowAt(640, 512)) != 0 && !hands.Origin(window, left, top))
            window = 0;
    if (window == 0)
    {
        ADD_FAILURE() << "no window under the middle of the desktop";
        return false;
    }
    hands.Focus(window);
    for (const auto deadline = Clock::now() + std::chrono::seconds(30);
         Clock::now() < deadline && run.TraceSeconds("menu: shown") < 0.0 && run.Running();)
    {
        hands.Click(left + 512, top + 700);
        pause(250);
    }
    if (!run.WaitForLine("menu: shown"))
    {
        ADD_FAILURE() << readFile(run.Said());
        return false;
    }
    // The menu's opening pop-up holds the menu until it has timed out.
    if (!run.WaitForLine("event HintClosed"))
    {
        ADD_FAILURE() << readFile(run.Said());
        return false;
    }
    return true;
}

// Clicks until the program says the line: a dialog's fade (the pop-up's, a screen's) keeps its
// backdrop in front for a few frames, and frames come slowly on a loaded machine.
bool clickUntil(SampleRun& run, Hands& hands, int x, int y, const std::string& line)
{
    for (int attempt = 0; attempt < 20 && run.TraceSeconds(line) < 0.0 && run.Running(); ++attempt)
    {
        hands.Click(x, y);
        run.WaitForLine(line, std::chrono::seconds(2));
    }
    return run.WaitForLine(line);
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
    Hands hands(run.world.display);
    int left = 0, top = 0;
    if (!startAtTheMenu(run, hands, left, top))
        return;
    ASSERT_TRUE(
        clickUntil(run, hands, left + kTypewriterButton[0], top + kTypewriterButton[1], "typewriter: start"))
        << readFile(run.Said());
    // "Ok" in the intro box starts the game, once the box has faded in.
    ASSERT_TRUE(clickUntil(run, hands, left + kBoxCenterButton[0], top + kBoxCenterButton[1],
                           "the typewriter starts with 6 words"))
        << readFile(run.Said());
    // Every word of the level in order ("quill, ink, paper, letter, don't, write"): a word may be
    // typed before it comes into view; its letters fly up to it.
    hands.Type("quillinkpaperletterdon'twrite");
    // Once every letter has landed, the closing text scrolls up and fades; then "btn_done" shows.
    for (const auto deadline = Clock::now() + std::chrono::seconds(90);
         Clock::now() < deadline && run.TraceSeconds("typewriter: score") < 0.0 && run.Running();)
    {
        pause(1000);
        hands.Click(left + kDoneButton[0], top + kDoneButton[1]);
    }
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
    Hands hands(run.world.display);
    int left = 0, top = 0;
    if (!startAtTheMenu(run, hands, left, top))
        return;

    // The credits: each panel's label starts the next entry, so the cycle reaches its trophy entry
    // (the third) after two labels; a click anywhere ends them.
    ASSERT_TRUE(clickUntil(run, hands, left + kCreditsButton[0], top + kCreditsButton[1], "credits: open"))
        << readFile(run.Said());
    ASSERT_TRUE(run.WaitForLine("credits: trophy")) << readFile(run.Said());
    hands.Click(left + 512, top + 400);
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
    ASSERT_TRUE(clickUntil(run, hands, left + kDududeButton[0], top + kDududeButton[1], "dudude: open true"))
        << readFile(run.Said());
    ASSERT_TRUE(run.WaitForLine("the Dudude board starts at ")) << readFile(run.Said());
    const std::string said = readFile(run.Said());
    const size_t at =
        said.find("the Dudude board starts at ") + std::string("the Dudude board starts at ").size();
    std::istringstream starts(said.substr(at, said.find('\n', at) - at));
    std::vector<int> start;
    for (std::string item; std::getline(starts, item, ',');)
        start.push_back(std::stoi(item));
    ASSERT_EQ(start.size(), 12u);
    pause(1500); // the screen fades in
    // Each rollable cell starts on its second or third number and is solved on its first: one click
    // up from the second, one down (wrapping) from the third.
    for (int cell = 0; cell < 12; ++cell)
    {
        if (start[cell] == 0)
            continue;
        const int row = cell / 4, column = cell % 4;
        hands.Click(left + arrowX(column), top + arrowY(row, start[cell] == 1));
        pause(900); // the roll ends
    }
    EXPECT_TRUE(run.WaitForLine("dudude: solved")) << readFile(run.Said());
#endif
}
