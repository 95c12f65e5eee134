// The pellwood program itself on an X server of its own (Xvfb), as the
// player starts it on the sample content: a second copy started while it runs
// ends with code 1 and the first raises its window; a close of the window
// through the window manager's protocol, or a close signal (SIGTERM, SIGINT,
// SIGHUP), ends the first with code 0 after it has written "System.prefs" and
// "Window.prefs" into the XDG config folder and removed its socket; settings
// that cannot be saved (a read-only folder) are reported on standard error;
// a start-up that fails says why there. The X server is reached through
// libX11, loaded at run time like the test keyboard of the window tests.
#include "tests/platform/ProgramLaunch.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace
{
using ProgramLaunch::Clock;
using ProgramLaunch::kPatience;
using ProgramLaunch::pause;
using ProgramLaunch::Process;
using ProgramLaunch::readFile;

// The few Xlib calls the test needs.
class X11
{
public:
    using XWindow = unsigned long;

    X11()
    {
        library_ = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (library_ == nullptr)
            return;
        bool all = true;
        auto load = [&](auto& function, const char* name)
        {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library_, name));
            all = all && function != nullptr;
        };
        load(openDisplay_, "XOpenDisplay");
        load(closeDisplay_, "XCloseDisplay");
        load(defaultRoot_, "XDefaultRootWindow");
        load(queryTree_, "XQueryTree");
        load(free_, "XFree");
        load(internAtom_, "XInternAtom");
        load(getProperty_, "XGetWindowProperty");
        load(sendEvent_, "XSendEvent");
        load(sync_, "XSync");
        load(createWindow_, "XCreateSimpleWindow");
        load(mapRaised_, "XMapRaised");
        load(raise_, "XRaiseWindow");
        load(setErrorHandler_, "XSetErrorHandler");
        if (all)
        {
            // The program may replace a window between our listing and our
            // message to it (SDL makes its window again for the renderer);
            // Xlib's own handler would end the test for that.
            setErrorHandler_(&ignoreError);
            display_ = openDisplay_(nullptr);
        }
    }
    ~X11()
    {
        if (display_ != nullptr)
            closeDisplay_(display_);
        if (library_ != nullptr)
            dlclose(library_);
    }
    bool Available() const { return display_ != nullptr; }

    // Top-level windows from the bottom of the stack to the top.
    std::vector<XWindow> Stack()
    {
        std::vector<XWindow> stack;
        XWindow root = 0, parent = 0;
        XWindow* children = nullptr;
        unsigned int count = 0;
        if (queryTree_(display_, defaultRoot_(display_), &root, &parent, &children, &count) != 0)
        {
            stack.assign(children, children + count);
            if (children != nullptr)
                free_(children);
        }
        return stack;
    }
    // The top-level windows that the process says are its own.
    std::vector<XWindow> WindowsOf(pid_t pid)
    {
        const unsigned long pidAtom = internAtom_(display_, "_NET_WM_PID", 0);
        std::vector<XWindow> found;
        for (XWindow window : Stack())
        {
            unsigned long type = 0, count = 0, after = 0;
            int format = 0;
            unsigned char* data = nullptr;
            const unsigned long cardinal = 6;
            if (getProperty_(display_, window, pidAtom, 0, 1, 0, cardinal, &type, &format, &count, &after,
                             &data) == 0 &&
                data != nullptr)
            {
                if (format == 32 && count == 1 && *reinterpret_cast<long*>(data) == pid)
                    found.push_back(window);
                free_(data);
            }
        }
        return found;
    }
    XWindow NewCoveringWindow()
    {
        const XWindow window = createWindow_(display_, defaultRoot_(display_), 0, 0, 1280, 1024, 0, 0, 0);
        mapRaised_(display_, window);
        sync_(display_, 0);
        return window;
    }
    void Raise(XWindow window)
    {
        raise_(display_, window);
        sync_(display_, 0);
    }
    // What a window manager sends when the player clicks the close button.
    void AskToClose(XWindow window)
    {
        struct ClientMessage
        {
            int type;
            unsigned long serial;
            int sendEvent;
            void* display;
            XWindow window;
            unsigned long messageType;
            int format;
            long data[5];
        };
        union Event
        {
            ClientMessage message;
            long pad[24];
        } event{};
        event.message.type = 33; // ClientMessage
        event.message.window = window;
        event.message.messageType = internAtom_(display_, "WM_PROTOCOLS", 0);
        event.message.format = 32;
        event.message.data[0] = static_cast<long>(internAtom_(display_, "WM_DELETE_WINDOW", 0));
        event.message.data[1] = 0; // CurrentTime
        sendEvent_(display_, window, 0, 0, &event);
        sync_(display_, 0);
    }

private:
    static int ignoreError(void*, void*) { return 0; }

    void* library_ = nullptr;
    void* display_ = nullptr;
    void* (*openDisplay_)(const char*) = nullptr;
    int (*closeDisplay_)(void*) = nullptr;
    XWindow (*defaultRoot_)(void*) = nullptr;
    int (*queryTree_)(void*, XWindow, XWindow*, XWindow*, XWindow**, unsigned int*) = nullptr;
    int (*free_)(void*) = nullptr;
    unsigned long (*internAtom_)(void*, const char*, int) = nullptr;
    int (*getProperty_)(void*, XWindow, unsigned long, long, long, int, unsigned long, unsigned long*, int*,
                        unsigned long*, unsigned long*, unsigned char**) = nullptr;
    int (*sendEvent_)(void*, XWindow, int, long, void*) = nullptr;
    int (*sync_)(void*, int) = nullptr;
    XWindow (*createWindow_)(void*, XWindow, int, int, unsigned int, unsigned int, unsigned int,
                             unsigned long, unsigned long) = nullptr;
    int (*mapRaised_)(void*, XWindow) = nullptr;
    int (*raise_)(void*, XWindow) = nullptr;
    void* (*setErrorHandler_)(int (*)(void*, void*)) = nullptr;
};

// The program's run on its own X server with its own XDG folders.
class ProgramXServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
#ifndef PELLWOOD_PROGRAM
        GTEST_SKIP() << "the program is not built with the tests";
#else
        if (!world.Start())
            return;
        world.Set("SDL_AUDIODRIVER", "dummy");

        const std::string previousDisplay = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
        setenv("DISPLAY", world.display.c_str(), 1);
        x11 = std::make_unique<X11>();
        if (previousDisplay.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", previousDisplay.c_str(), 1);
        if (!x11->Available())
            GTEST_SKIP() << "libX11 cannot be loaded";
#endif
    }

    // The sample content without its splash screen: a close during it ends the program before the
    // game ran, which these scenarios do not look at.
    static std::vector<std::string> Arguments()
    {
        std::vector<std::string> arguments = ProgramLaunch::SampleArguments();
        arguments.push_back("-nosplash");
        return arguments;
    }

    // Starts the program (without arguments, on the sample content) with its standard error in a
    // file; a folder given as readOnly is read-only for the program alone.
    pid_t Launch(const std::vector<std::string>& arguments = {}, const std::string& readOnly = std::string())
    {
        return world.Launch(arguments.empty() ? Arguments() : arguments, ErrorsFile(), readOnly);
    }

    std::filesystem::path ErrorsFile() const
    {
        return world.temp.path / "stderr.txt";
    }
    std::filesystem::path SettingsFolder() const
    {
        return world.temp.path / "config" / "Halcyra Games" / "Pellwood";
    }
    std::filesystem::path SocketFile() const
    {
        return world.temp.path / "run" / "Halcyra_Pellwood_Singleton.sock";
    }

    // Empty when the program ended before its window showed.
    std::vector<X11::XWindow> WaitForWindows(Process& program)
    {
        std::vector<X11::XWindow> windows;
        program.WaitFor(
            [&]
            {
                windows = x11->WindowsOf(program.Id());
                return !windows.empty();
            });
        return windows;
    }

    // The program's window is above a window of ours.
    bool Above(pid_t pid, X11::XWindow cover)
    {
        const std::vector<X11::XWindow> stack = x11->Stack();
        const std::vector<X11::XWindow> own = x11->WindowsOf(pid);
        size_t coverAt = 0;
        size_t ownAt = 0;
        for (size_t i = 0; i < stack.size(); ++i)
        {
            if (stack[i] == cover)
                coverAt = i + 1;
            for (X11::XWindow window : own)
                if (stack[i] == window)
                    ownAt = i + 1;
        }
        return coverAt != 0 && ownAt > coverAt;
    }

    // Waits until the program's loop runs: the loop takes a raise request
    // from the socket, as a second copy of the program sends it, and closes
    // the connection, which this side sees as its end.
    bool WaitUntilRunning(Process& program)
    {
        if (WaitForWindows(program).empty())
            return false;
        const std::string socketPath = SocketFile().string();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (socketPath.size() >= sizeof address.sun_path)
            return false;
        std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        bool taken = fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                     send(fd, "raise\n", 6, MSG_NOSIGNAL) == 6;
        if (taken)
        {
            taken = false;
            for (auto deadline = Clock::now() + kPatience; !taken && Clock::now() < deadline;)
            {
                char c = 0;
                const ssize_t n = recv(fd, &c, 1, 0);
                if (n == 0)
                    taken = true;
                else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    break;
                else
                    pause(20);
            }
        }
        if (fd >= 0)
            close(fd);
        return taken;
    }

    ProgramLaunch::ProgramWorld world;
    std::unique_ptr<X11> x11;
};

TEST_F(ProgramXServer, SecondCopyRaisesTheFirstAndAClosedWindowSavesThePreferences)
{
    Process first(Launch());
    ASSERT_TRUE(first.Started());
    ASSERT_FALSE(WaitForWindows(first).empty()) << "the program's window did not show";

    // A window of ours on top; each second copy must bring the first one's
    // window above it. The first round also waits out the rest of start-up.
    const X11::XWindow cover = x11->NewCoveringWindow();
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        x11->Raise(cover);
        Process second(XServerSupport::spawn(PELLWOOD_PROGRAM, Arguments(), world.environment, nullptr));
        ASSERT_TRUE(second.Started());
        bool bySignal = false;
        EXPECT_EQ(second.WaitForExit(kPatience, bySignal), 1) << "the second copy's end";
        EXPECT_FALSE(bySignal);
        bool raised = false;
        for (auto deadline = Clock::now() + kPatience; !raised && Clock::now() < deadline;)
        {
            pause(20);
            raised = Above(first.Id(), cover);
        }
        EXPECT_TRUE(raised) << "the first copy's window did not come to the front";
    }

    for (X11::XWindow window : x11->WindowsOf(first.Id()))
        x11->AskToClose(window);
    bool bySignal = false;
    EXPECT_EQ(first.WaitForExit(kPatience, bySignal), 0) << "the program's end after a close";
    EXPECT_FALSE(bySignal);
    EXPECT_TRUE(std::filesystem::exists(SettingsFolder() / "System.prefs"));
    EXPECT_TRUE(std::filesystem::exists(SettingsFolder() / "Window.prefs"));
}

// A logout, kill or Ctrl+C in the terminal: the program closes as its window
// does, settings written and socket removed, within 2 seconds. The time is the
// program's own: its exit code 0 shows that the watchdog, which would have
// ended it by the signal 1.8 s after it, found the close finished. The test's
// clock would add its own delays on a loaded machine; the sanitizers' leak
// check after the close is not the program's time either.
TEST_F(ProgramXServer, EachCloseSignalSavesTheSettingsRemovesTheSocketAndEndsWithinTwoSeconds)
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
    {
        SCOPED_TRACE(strsignal(signalNumber));
        std::filesystem::remove_all(SettingsFolder());
        Process program(Launch());
        ASSERT_TRUE(program.Started());
        ASSERT_TRUE(WaitUntilRunning(program)) << "the program's loop did not start\n"
                                               << readFile(ErrorsFile());
        ASSERT_TRUE(std::filesystem::exists(SocketFile()));

        ASSERT_EQ(kill(program.Id(), signalNumber), 0);
        bool bySignal = false;
        const int code = program.WaitForExit(kPatience, bySignal);
        EXPECT_EQ(code, 0) << (bySignal ? "killed by signal " : "exit code ") << code
                           << " (the watchdog ends a close that takes longer than 1.8 s by the signal)\n"
                           << readFile(ErrorsFile());
        EXPECT_FALSE(bySignal);
        EXPECT_TRUE(std::filesystem::exists(SettingsFolder() / "System.prefs"));
        EXPECT_TRUE(std::filesystem::exists(SettingsFolder() / "Window.prefs"));
        EXPECT_FALSE(std::filesystem::exists(SocketFile()));
    }
}

// The settings folder is read-only for the program (a read-only mount of its
// own, which stops the superuser too): the close still ends with code 0, the
// game having ended normally, and standard error says what was not saved.
TEST_F(ProgramXServer, SettingsThatCannotBeSavedAtTheEndAreReported)
{
    std::filesystem::create_directories(SettingsFolder());
    Process program(Launch({}, SettingsFolder().string()));
    ASSERT_TRUE(program.Started());
    const bool running = WaitUntilRunning(program);
    if (!running && !program.Running())
    {
        ASSERT_FALSE(program.ExitedWith(ProgramLaunch::ProgramWorld::kCannotMakeReadOnly))
            << "the settings folder cannot be made read-only here, so nothing was tried: "
            << readFile(ErrorsFile());
    }
    ASSERT_TRUE(running) << "the program's loop did not start\n" << readFile(ErrorsFile());

    for (X11::XWindow window : x11->WindowsOf(program.Id()))
        x11->AskToClose(window);
    bool bySignal = false;
    EXPECT_EQ(program.WaitForExit(kPatience, bySignal), 0);
    EXPECT_FALSE(bySignal);
    const std::string said = readFile(ErrorsFile());
    const std::string folder = SettingsFolder().string();
    EXPECT_NE(said.find("pellwood: System.prefs cannot be saved in " + folder), std::string::npos) << said;
    EXPECT_NE(said.find("pellwood: Window.prefs cannot be saved in " + folder), std::string::npos) << said;
    EXPECT_TRUE(std::filesystem::is_empty(SettingsFolder()));
}

// A start-up that fails (a broken string table) ends with code 1 and says
// why on standard error, without any log output asked for. Run without a
// display, so that no box waits for a click.
TEST_F(ProgramXServer, AStartUpThatFailsSaysWhyOnStandardError)
{
    std::filesystem::create_directories(world.temp.path / "broken" / "input");
    std::ofstream(world.temp.path / "broken" / "input" / "StringTable.xml")
        << "<T><Entry><Text>x</Text></Entry></T>";
    world.Set("DISPLAY", "");
    world.Set("SDL_VIDEODRIVER", "offscreen");
    world.Set("PELLWOOD_LOG", "");
    Process program(Launch({"-data", (world.temp.path / "broken").string(), "-windowed"}));
    ASSERT_TRUE(program.Started());
    bool bySignal = false;
    EXPECT_EQ(program.WaitForExit(kPatience, bySignal), 1);
    EXPECT_FALSE(bySignal);
    const std::string said = readFile(ErrorsFile());
    EXPECT_NE(said.find("pellwood: start-up failed: StringTable.xml has a broken entry"), std::string::npos)
        << said;
}
// A data folder whose path merely contains the letters of the script option ("-lua") is taken
// whole: the game starts on it.
TEST_F(ProgramXServer, ADataFolderWhosePathContainsDashLuaStartsTheGame)
{
    const std::filesystem::path folder = world.temp.path / "ana-luana" / "game";
    std::filesystem::create_directories(folder.parent_path());
    std::filesystem::create_directory_symlink(std::filesystem::path(PELLWOOD_SOURCE_DIR) / "sample", folder);
    world.Set("PELLWOOD_LOG", "debug");
    Process program(Launch({"-data", folder.string(), "-windowed", "-nosplash"}));
    ASSERT_TRUE(program.Started());
    // The game's scripts say they have run ("game: started"); a first start then asks for a player.
    EXPECT_TRUE(program.WaitFor([&] { return readFile(ErrorsFile()).find("game: started") != std::string::npos; }))
        << readFile(ErrorsFile());
}
} // namespace
