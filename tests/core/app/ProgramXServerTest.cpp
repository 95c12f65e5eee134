// The pellwood program itself on an X server of its own (Xvfb), as the
// player starts it on the sample content: a second copy started while it runs
// ends with code 1 and the first raises its window; a close of the window
// through the window manager's protocol, or a close signal (SIGTERM, SIGINT,
// SIGHUP), ends the first with code 0 after it has written "System.prefs" and
// "Window.prefs" into the XDG config folder and removed its socket; settings
// that cannot be saved (a read-only folder) are reported on standard error;
// a start-up that fails says why there. The X server is reached through
// libX11, loaded at run time like the test keyboard of the window tests.
#include "tests/core/ReadOnlyFolder.h"
#include "tests/core/TempFolder.h"
#include "tests/platform/XServer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The program's run on its own X server with its own XDG folders.
class ProgramXServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
#ifndef PELLWOOD_PROGRAM
        GTEST_SKIP() << "the program is not built with the tests";
#else
        // Always a server of our own: on a desktop, a window manager would
        // frame and stack the windows in its own way, and the player's screen
        // is not the test's to cover.
        const std::string xvfb = XServerSupport::findProgram("Xvfb");
        if (xvfb.empty())
            GTEST_SKIP() << "no Xvfb";
        display = server.Start(xvfb);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";

        for (const char* folder : {"config", "data", "run"})
            std::filesystem::create_directories(temp.path / folder);
        // libdbus, which SDL's X11 driver opens, keeps a buffer past the end of the process.
        const std::filesystem::path suppressions = temp.path / "lsan.supp";
        std::ofstream(suppressions) << "leak:libdbus-1.so\n";
        environment = XServerSupport::currentEnvironment();
        XServerSupport::setVariable(environment, "DISPLAY", display);
        XServerSupport::setVariable(environment, "SDL_VIDEODRIVER", "x11");
        XServerSupport::setVariable(environment, "SDL_AUDIODRIVER", "dummy");
        XServerSupport::setVariable(environment, "XDG_CONFIG_HOME", (temp.path / "config").string());
        XServerSupport::setVariable(environment, "XDG_DATA_HOME", (temp.path / "data").string());
        XServerSupport::setVariable(environment, "XDG_RUNTIME_DIR", (temp.path / "run").string());
        XServerSupport::setVariable(environment, "LSAN_OPTIONS",
                                    "suppressions=" + suppressions.string() + ":print_suppressions=0");

        const std::string previousDisplay = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
        setenv("DISPLAY", display.c_str(), 1);
        x11 = std::make_unique<X11>();
        if (previousDisplay.empty())
            unsetenv("DISPLAY");
        else
            setenv("DISPLAY", previousDisplay.c_str(), 1);
        if (!x11->Available())
            GTEST_SKIP() << "libX11 cannot be loaded";
#endif
    }

    // Starts the program on the sample content with its standard error in a
    // file; a folder given as readOnly is read-only for the program alone.
    // The close signals start at their default, as from a desktop, whatever
    // the test runner ignores.
    pid_t Launch(std::vector<std::string> arguments = {}, const std::string& readOnly = std::string())
    {
#ifdef PELLWOOD_PROGRAM
        if (arguments.empty())
            // Without the sample's splash screen: a close during it ends the program before the
            // game ran, which these scenarios do not look at.
            arguments = {"-data", std::string(PELLWOOD_SOURCE_DIR) + "/sample", "-windowed", "-nosplash"};
        const std::string program = PELLWOOD_PROGRAM;
        const std::string errors = ErrorsFile().string();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        // Only system calls between fork and exec.
        const pid_t pid = fork();
        if (pid != 0)
            return pid;
        const int file = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (file >= 0)
            dup2(file, STDERR_FILENO);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
            signal(signalNumber, SIG_DFL);
        if (!readOnly.empty())
            if (const char* problem = ReadOnlyFolder::MakeReadOnlyHere(readOnly.c_str()))
            {
                const ssize_t written = write(STDERR_FILENO, problem, strlen(problem));
                (void)written;
                _exit(kCannotMakeReadOnly);
            }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
#else
        (void)arguments;
        (void)readOnly;
        return -1;
#endif
    }

    std::filesystem::path ErrorsFile() const { return temp.path / "stderr.txt"; }
    std::filesystem::path SettingsFolder() const { return temp.path / "config" / "Halcyra Games" / "Pellwood"; }
    std::filesystem::path SocketFile() const { return temp.path / "run" / "Halcyra_Pellwood_Singleton.sock"; }

    std::vector<X11::XWindow> WaitForWindows(pid_t pid)
    {
        std::vector<X11::XWindow> windows;
        for (auto deadline = Clock::now() + std::chrono::seconds(60); windows.empty() && Clock::now() < deadline;)
        {
            if (waitpid(pid, nullptr, WNOHANG) != 0)
                break; // ended before its window showed
            pause20ms();
            windows = x11->WindowsOf(pid);
        }
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
    bool WaitUntilRunning(pid_t pid)
    {
        if (WaitForWindows(pid).empty())
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
            for (auto deadline = Clock::now() + std::chrono::seconds(60); !taken && Clock::now() < deadline;)
            {
                char c = 0;
                const ssize_t n = recv(fd, &c, 1, 0);
                if (n == 0)
                    taken = true;
                else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                    break;
                else
                    pause20ms();
            }
        }
        if (fd >= 0)
            close(fd);
        return taken;
    }

    static constexpr int kCannotMakeReadOnly = 121;

    XServerSupport::XServer server;
    std::string display;
    TempFolder temp;
    std::vector<std::string> environment;
    std::unique_ptr<X11> x11;
};

TEST_F(ProgramXServer, SecondCopyRaisesTheFirstAndAClosedWindowSavesThePreferences)
{
    Program first;
    first.pid = Launch();
    ASSERT_GT(first.pid, 0);
    ASSERT_FALSE(WaitForWindows(first.pid).empty()) << "the program's window did not show";

    // A window of ours on top; each second copy must bring the first one's
    // window above it. The first round also waits out the rest of start-up.
    const X11::XWindow cover = x11->NewCoveringWindow();
    const std::vector<std::string> arguments = {"-data", std::string(PELLWOOD_SOURCE_DIR) + "/sample",
                                                "-windowed", "-nosplash"};
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        x11->Raise(cover);
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
            raised = Above(first.pid, cover);
        }
        EXPECT_TRUE(raised) << "the first copy's window did not come to the front";
    }

    for (X11::XWindow window : x11->WindowsOf(first.pid))
        x11->AskToClose(window);
    bool bySignal = false;
    EXPECT_EQ(waitForExit(first.pid, std::chrono::seconds(60), bySignal), 0)
        << "the program's end after a close";
    EXPECT_FALSE(bySignal);
    first.pid = -1;
    EXPECT_TRUE(std::filesystem::exists(SettingsFolder() / "System.prefs"));
    EXPECT_TRUE(std::filesystem::exists(SettingsFolder() / "Window.prefs"));
}

// A logout, kill or Ctrl+C in the terminal: the program closes as its window
// does, settings written and socket removed, within 2 seconds. Its exit code
// 0 also shows that the watchdog, which would have ended it by the signal
// 1.8 s after it, found the close finished; the sanitizers' leak check after
// that is not the program's time.
TEST_F(ProgramXServer, EachCloseSignalSavesTheSettingsRemovesTheSocketAndEndsWithinTwoSeconds)
{
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP})
    {
        SCOPED_TRACE(strsignal(signalNumber));
        std::filesystem::remove_all(SettingsFolder());
        Program program;
        program.pid = Launch();
        ASSERT_GT(program.pid, 0);
        ASSERT_TRUE(WaitUntilRunning(program.pid)) << "the program's loop did not start\n"
                                                   << readText(ErrorsFile());
        ASSERT_TRUE(std::filesystem::exists(SocketFile()));

        const auto sent = Clock::now();
        ASSERT_EQ(kill(program.pid, signalNumber), 0);
        while (std::filesystem::exists(SocketFile()) && Clock::now() - sent < std::chrono::seconds(30))
            pause20ms();
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent);
        bool bySignal = false;
        const int code = waitForExit(program.pid, std::chrono::seconds(60), bySignal);
        program.pid = -1;
        EXPECT_EQ(code, 0) << (bySignal ? "killed by signal " : "exit code ") << code << "\n"
                           << readText(ErrorsFile());
        EXPECT_FALSE(bySignal);
        EXPECT_LT(took.count(), 2000) << "the close was not done within 2 seconds";
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
    Program program;
    program.pid = Launch({}, SettingsFolder().string());
    ASSERT_GT(program.pid, 0);
    const bool running = WaitUntilRunning(program.pid);
    int status = 0;
    if (!running && waitpid(program.pid, &status, WNOHANG) == program.pid)
    {
        program.pid = -1;
        ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kCannotMakeReadOnly)
            << "the settings folder cannot be made read-only here, so nothing was tried: "
            << readText(ErrorsFile());
    }
    ASSERT_TRUE(running) << "the program's loop did not start\n" << readText(ErrorsFile());

    for (X11::XWindow window : x11->WindowsOf(program.pid))
        x11->AskToClose(window);
    bool bySignal = false;
    EXPECT_EQ(waitForExit(program.pid, std::chrono::seconds(60), bySignal), 0);
    EXPECT_FALSE(bySignal);
    program.pid = -1;
    const std::string said = readText(ErrorsFile());
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
    std::filesystem::create_directories(temp.path / "broken" / "input");
    std::ofstream(temp.path / "broken" / "input" / "StringTable.xml") << "<T><Entry><Text>x</Text></Entry></T>";
    XServerSupport::setVariable(environment, "DISPLAY", "");
    XServerSupport::setVariable(environment, "SDL_VIDEODRIVER", "offscreen");
    XServerSupport::setVariable(environment, "PELLWOOD_LOG", "");
    Program program;
    program.pid = Launch({"-data", (temp.path / "broken").string(), "-windowed"});
    ASSERT_GT(program.pid, 0);
    bool bySignal = false;
    EXPECT_EQ(waitForExit(program.pid, std::chrono::seconds(60), bySignal), 1);
    EXPECT_FALSE(bySignal);
    program.pid = -1;
    const std::string said = readText(ErrorsFile());
    EXPECT_NE(said.find("pellwood: start-up failed: StringTable.xml has a broken entry"), std::string::npos)
        << said;
}
} // namespace
