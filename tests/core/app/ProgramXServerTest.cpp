// The pellwood program itself on an X server of its own (Xvfb), as the
// player starts it on the sample content: a second copy started while it runs
// ends with code 1 and the first raises its window; a close of the window
// through the window manager's protocol ends the first with code 0 after it
// has written "System.prefs" and "Window.prefs" into the XDG config folder.
// The X server is reached through libX11, loaded at run time like the test
// keyboard of the window tests.
#include "tests/core/TempFolder.h"
#include "tests/platform/XServer.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

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
        if (all)
            display_ = openDisplay_(nullptr);
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
};

void pause20ms()
{
    timespec step{0, 20 * 1000 * 1000};
    nanosleep(&step, nullptr);
}

// Waits for a process with a deadline; -1 when it is still running then.
int waitForExit(pid_t pid, std::chrono::seconds limit, bool& bySignal)
{
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < deadline)
    {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
        {
            bySignal = WIFSIGNALED(status);
            return bySignal ? WTERMSIG(status) : WEXITSTATUS(status);
        }
        if (done < 0)
            return -1;
        pause20ms();
    }
    return -1;
}

// The program's process, ended when the test leaves early.
struct Program
{
    pid_t pid = -1;
    ~Program()
    {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
};

TEST(ProgramXServer, SecondCopyRaisesTheFirstAndAClosedWindowSavesThePreferences)
{
#ifndef PELLWOOD_PROGRAM
    GTEST_SKIP() << "the program is not built with the tests";
#else
    // Always a server of our own: on a desktop, a window manager would frame
    // and stack the windows in its own way, and the player's screen is not
    // the test's to cover.
    XServerSupport::XServer server;
    const std::string xvfb = XServerSupport::findProgram("Xvfb");
    if (xvfb.empty())
        GTEST_SKIP() << "no Xvfb";
    const std::string display = server.Start(xvfb);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";

    TempFolder temp;
    for (const char* folder : {"config", "data", "run"})
        std::filesystem::create_directories(temp.path / folder);
    // libdbus, which SDL's X11 driver opens, keeps a buffer past the end of the process.
    const std::filesystem::path suppressions = temp.path / "lsan.supp";
    {
        FILE* file = std::fopen(suppressions.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("leak:libdbus-1.so\n", file);
        std::fclose(file);
    }
    std::vector<std::string> environment = XServerSupport::currentEnvironment();
    XServerSupport::setVariable(environment, "DISPLAY", display);
    XServerSupport::setVariable(environment, "SDL_VIDEODRIVER", "x11");
    XServerSupport::setVariable(environment, "SDL_AUDIODRIVER", "dummy");
    XServerSupport::setVariable(environment, "XDG_CONFIG_HOME", (temp.path / "config").string());
    XServerSupport::setVariable(environment, "XDG_DATA_HOME", (temp.path / "data").string());
    XServerSupport::setVariable(environment, "XDG_RUNTIME_DIR", (temp.path / "run").string());
    XServerSupport::setVariable(environment, "LSAN_OPTIONS",
                                "suppressions=" + suppressions.string() + ":print_suppressions=0");
    const std::vector<std::string> arguments = {"-data", std::string(PELLWOOD_SOURCE_DIR) + "/sample",
                                                "-windowed"};

    const std::string previousDisplay = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", display.c_str(), 1);
    X11 x11;
    if (previousDisplay.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", previousDisplay.c_str(), 1);
    if (!x11.Available())
        GTEST_SKIP() << "libX11 cannot be loaded";

    Program first;
    first.pid = XServerSupport::spawn(PELLWOOD_PROGRAM, arguments, environment, nullptr);
    ASSERT_GT(first.pid, 0);
    std::vector<X11::XWindow> windows;
    for (auto deadline = Clock::now() + std::chrono::seconds(60); windows.empty() && Clock::now() < deadline;)
    {
        ASSERT_EQ(waitpid(first.pid, nullptr, WNOHANG), 0) << "the program ended before its window showed";
        pause20ms();
        windows = x11.WindowsOf(first.pid);
    }
    ASSERT_FALSE(windows.empty()) << "the program's window did not show";

    // A window of ours on top; each second copy must bring the first one's
    // window above it. The first round also waits out the rest of start-up.
    const X11::XWindow cover = x11.NewCoveringWindow();
    auto aboveCover = [&]
    {
        const std::vector<X11::XWindow> stack = x11.Stack();
        const std::vector<X11::XWindow> own = x11.WindowsOf(first.pid);
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
    };
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        x11.Raise(cover);
        Program second;
        second.pid = XServerSupport::spawn(PELLWOOD_PROGRAM, arguments, environment, nullptr);
        ASSERT_GT(second.pid, 0);
        bool bySignal = false;
        EXPECT_EQ(waitForExit(second.pid, std::chrono::seconds(60), bySignal), 1) << "the second copy's end";
        EXPECT_FALSE(bySignal);
        second.pid = -1;
        bool raised = false;
        for (auto deadline = Clock::now() + std::chrono::seconds(30); !raised && Clock::now() < deadline;)
        {
            pause20ms();
            raised = aboveCover();
        }
        EXPECT_TRUE(raised) << "the first copy's window did not come to the front";
    }

    for (X11::XWindow window : x11.WindowsOf(first.pid))
        x11.AskToClose(window);
    bool bySignal = false;
    EXPECT_EQ(waitForExit(first.pid, std::chrono::seconds(60), bySignal), 0)
        << "the program's end after a close";
    EXPECT_FALSE(bySignal);
    first.pid = -1;
    const std::filesystem::path settings = temp.path / "config" / "Halcyra Games" / "Pellwood";
    EXPECT_TRUE(std::filesystem::exists(settings / "System.prefs"));
    EXPECT_TRUE(std::filesystem::exists(settings / "Window.prefs"));
#endif
}
} // namespace
