// The pellwood program on the sample content, played as a player would on an X server of its own
// (Xvfb), with real pointer and key events from the server's test extension: a click skips the
// splash screen, a click on "Options" opens the options dialog, its music slider dragged to the
// left silences the music, a name typed into its text field and OK show that name on the menu, and
// the menu's music and the click of a button reach SDL's "disk" audio output. The sample's scripts say what
// happened on standard error when a log is asked for ("sample <seconds>: <what>"), which is what the test
// reads; where the window sits is the X server's business, so pointer positions are taken relative to the
// window's client area.
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

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

using ProgramLaunch::Clock;
using ProgramLaunch::pause;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;

// What the audio layer asks the device for; the disk driver writes it as 32-bit floats.
constexpr double kOutputRate = 48000.0;
constexpr size_t kFrameBytes = 2 * sizeof(float);
// The splash screen of the sample fades in for 0.5 s, stays 2.5 s and fades out for 0.5 s.
constexpr double kSplashSeconds = 3.5;
// The menu's window coordinates of what the test clicks (scripts/make-sample-menu.py places them).
constexpr int kOptionsButton[2] = {216, 306};
constexpr int kHelpButton[2] = {216, 376};
// The close button of the help screen (560 by 400, centred; scripts/make-sample-dialogs.py).
constexpr int kHelpClose[2] = {512, 537};
// The options dialog (560 by 470) is centred in the 1024 by 768 client area.
constexpr int kDialogLeft = 232, kDialogTop = 149;
constexpr int kNameField[2] = {kDialogLeft + 160, kDialogTop + 350};
// The music slider's track runs from x 40 to 360 of the dialog; its knob (24 wide) starts at a tenth
// of it: the game object starts the music classes at 0.1 while no profile's settings apply.
constexpr int kSliderKnob[2] = {kDialogLeft + 40 + 32, kDialogTop + 242 + 18};
constexpr int kSliderLeftEnd[2] = {kDialogLeft + 40 + 4, kDialogTop + 242 + 18};
constexpr int kOkButton[2] = {kDialogLeft + 165, kDialogTop + 421};

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

// The loudest sample of the output frames [first, last).
float Peak(const std::vector<float>& samples, size_t first, size_t last)
{
    float peak = 0.0f;
    for (size_t i = 2 * first; i < std::min(2 * last, samples.size()); ++i)
        peak = std::max(peak, std::fabs(samples[i]));
    return peak;
}

} // namespace

TEST(SampleScene, APlayerSkipsTheSplashOpensTheOptionsAndNamesHimself)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    SampleRun run;
    if (!run.Start())
        return;
    Hands hands(run.world.display);
    ASSERT_TRUE(hands.Available()) << "libX11 and libXtst are needed to play";
    // The window exists once the graphics device does; the splash starts then.
    ASSERT_TRUE(run.WaitForLine("Graphics device")) << readFile(run.Said());

    // Whatever the server did with the window, it covers the middle of the desktop (1280 by 1024).
    unsigned long window = 0;
    int left = 0, top = 0;
    for (const auto deadline = Clock::now() + std::chrono::seconds(10); Clock::now() < deadline && !window; pause(50))
        if ((window = hands.WindowAt(640, 512)) != 0 && !hands.Origin(window, left, top))
            window = 0;
    ASSERT_NE(window, 0u) << "no window under the middle of the desktop";
    hands.Focus(window);

    // A click on the splash screen: a press in its first tenth of a second is ignored, so the player
    // clicks until the menu is there.
    for (const auto deadline = Clock::now() + std::chrono::seconds(30);
         Clock::now() < deadline && run.TraceSeconds("menu: shown") < 0.0 && run.Running();)
    {
        hands.Click(left + 512, top + 700);
        pause(250);
    }
    ASSERT_TRUE(run.WaitForLine("menu: shown")) << readFile(run.Said());
    EXPECT_LT(run.TraceSeconds("menu: shown"), kSplashSeconds) << "the splash screen ran its whole time";

    // The pop-up that points at "Options" at the start holds the menu until it has timed out.
    ASSERT_TRUE(run.WaitForLine("event HintClosed")) << readFile(run.Said());
    // The menu's music alone for a second, then a click on "Help", which plays the click and nothing else.
    pause(1000);
    const size_t beforeHelp = run.HeardFrames();
    // (Until the pop-up's fade-out has ended, its backdrop takes the click.)
    for (int attempt = 0; attempt < 20 && run.TraceSeconds("menu: clicked btn_help") < 0.0 && run.Running(); ++attempt)
    {
        hands.Click(left + kHelpButton[0], top + kHelpButton[1]);
        run.WaitForLine("menu: clicked btn_help", std::chrono::seconds(2));
    }
    ASSERT_TRUE(run.WaitForLine("menu: clicked btn_help")) << readFile(run.Said());
    const size_t atHelp = run.HeardFrames();
    // The help screen opens over the menu and is closed again. A dialog takes input once its fade
    // has ended, which takes frames (fewer a second on a loaded machine), so the player clicks
    // "Close" and "Options" again until the options dialog opens.
    ASSERT_TRUE(run.WaitForLine("help page 1 of 3")) << readFile(run.Said());
    for (int attempt = 0; attempt < 20 && run.TraceSeconds("options: opened") < 0.0 && run.Running(); ++attempt)
    {
        pause(300);
        hands.Click(left + kHelpClose[0], top + kHelpClose[1]);
        pause(700);
        hands.Click(left + kOptionsButton[0], top + kOptionsButton[1]);
        run.WaitForLine("options: opened", std::chrono::seconds(2));
    }
    // The dialog fades in; its widgets take input once it is open.
    ASSERT_TRUE(run.WaitForLine("options: ready")) << readFile(run.Said());
    // The music all the way down.
    hands.Drag(left + kSliderKnob[0], top + kSliderKnob[1], left + kSliderLeftEnd[0], top + kSliderLeftEnd[1]);
    pause(200);
    hands.Click(left + kNameField[0], top + kNameField[1]);
    pause(200);
    hands.Type("Robin");
    pause(200);
    hands.Click(left + kOkButton[0], top + kOkButton[1]);
    ASSERT_TRUE(run.WaitForLine("options: ok")) << readFile(run.Said());
    const size_t atOk = run.HeardFrames();
    EXPECT_TRUE(run.WaitForLine("menu: greeting Welcome, Robin.")) << readFile(run.Said());

    // The output up to a second after OK.
    ASSERT_TRUE(run.WaitForHeardFrames(atOk + size_t(kOutputRate))) << readFile(run.Said());
    const std::string bytes = readFile(run.Heard());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    const size_t second = size_t(kOutputRate);
    ASSERT_GT(beforeHelp, second);
    // Without a profile the game object starts the music classes at 0.1 and the sound effects at 0.4.
    const float music = Peak(samples, beforeHelp - second / 2, beforeHelp);
    EXPECT_GT(music, 0.004f) << "the menu's music is not heard";
    EXPECT_LT(music, 0.06f) << "something louder than the music plays before the click";
    const float click = Peak(samples, atHelp - std::min(atHelp, second / 4), atHelp + second / 2);
    EXPECT_GT(click, music + 0.08f) << "the click of the button is not heard over the music";
    // With the music's volume at nothing, the menu's music plays on unheard once OK's click is over.
    EXPECT_LT(Peak(samples, atOk + second * 4 / 10, atOk + second), 0.004f) << "the slider left the music on";
#endif
}
