// A crash in a click handler on a real X server (an Xvfb of the test's own).
// The window holds the pointer (its capture, with the button still down, and
// a confining grab) and the keyboard, to show that every grab goes.
// The crash hook releases them on SDL's own connection: first checked
// directly inside the click, then, after the crash, from outside: while the
// critical-error box is up, another program must be able to grab the pointer
// and the keyboard, or the box cannot be used and the desktop's pointer is
// dead. The crashing program runs in a child (this test program again, on the
// child scenario); the test is the other program. The X server is reached
// through libX11 and libXtst, loaded at run time; SDL draws its box with the
// server's core fonts (package xfonts-base).
#include "engine/core/diagnostics/CrashHandler.h"
#include "platform/window/WindowSystem.h"
#include "tests/platform/XServer.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr const char* childVariable = "PELLWOOD_CRASH_X_CHILD";
constexpr const char* boxCaption = "Critical Error";

void pauseBriefly()
{
    const timespec step{0, 10 * 1000 * 1000};
    nanosleep(&step, nullptr);
}

// The few Xlib and XTest calls the two sides need.
class X11
{
public:
    using XWindow = unsigned long;

    X11()
    {
        if (!libraries_.Opened())
            return;
        bool all = true;
        auto load = [&](void* library, auto& function, const char* name)
        {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            all = all && function != nullptr;
        };
        load(libraries_.x11, openDisplay_, "XOpenDisplay");
        load(libraries_.x11, closeDisplay_, "XCloseDisplay");
        load(libraries_.x11, defaultRoot_, "XDefaultRootWindow");
        load(libraries_.x11, queryTree_, "XQueryTree");
        load(libraries_.x11, fetchName_, "XFetchName");
        load(libraries_.x11, internAtom_, "XInternAtom");
        load(libraries_.x11, getProperty_, "XGetWindowProperty");
        load(libraries_.x11, free_, "XFree");
        load(libraries_.x11, grabPointer_, "XGrabPointer");
        load(libraries_.x11, ungrabPointer_, "XUngrabPointer");
        load(libraries_.x11, grabKeyboard_, "XGrabKeyboard");
        load(libraries_.x11, ungrabKeyboard_, "XUngrabKeyboard");
        load(libraries_.x11, sync_, "XSync");
        load(libraries_.x11, setInputFocus_, "XSetInputFocus");
        load(libraries_.xtst, fakeMotion_, "XTestFakeMotionEvent");
        load(libraries_.xtst, fakeButton_, "XTestFakeButtonEvent");
        if (all)
            display_ = openDisplay_(nullptr);
    }
    ~X11()
    {
        if (display_ != nullptr)
            closeDisplay_(display_);
    }
    bool Available() const { return display_ != nullptr; }

    // Whether a top-level window carries that title (WM_NAME or _NET_WM_NAME).
    bool HasWindowTitled(const char* title)
    {
        XWindow root = 0, parent = 0;
        XWindow* children = nullptr;
        unsigned int count = 0;
        bool found = false;
        if (queryTree_(display_, defaultRoot_(display_), &root, &parent, &children, &count) == 0)
            return false;
        for (unsigned int i = 0; i < count && !found; ++i)
            found = titleOf(children[i]) == title;
        if (children != nullptr)
            free_(children);
        return found;
    }

    // 0 (GrabSuccess) when this client got the pointer, else the refusal.
    int GrabPointer()
    {
        const unsigned int buttonPress = 1u << 2;
        const int asyncMode = 1;
        const int result = grabPointer_(display_, defaultRoot_(display_), 0, buttonPress, asyncMode, asyncMode, 0,
                                        0, 0);
        if (result == 0)
            ungrabPointer_(display_, 0);
        sync_(display_, 0);
        return result;
    }
    int GrabKeyboard()
    {
        const int asyncMode = 1;
        const int result = grabKeyboard_(display_, defaultRoot_(display_), 0, asyncMode, asyncMode, 0);
        if (result == 0)
            ungrabKeyboard_(display_, 0);
        sync_(display_, 0);
        return result;
    }

    // Takes the keyboard focus from every window.
    void FocusNothing()
    {
        setInputFocus_(display_, 0, 0, 0);
        sync_(display_, 0);
    }

    // Moves the pointer to a screen position and presses the left button,
    // leaving it down.
    void PressAt(int x, int y)
    {
        fakeMotion_(display_, 0, x, y, 0);
        fakeButton_(display_, 1, 1, 0);
        sync_(display_, 0);
    }

private:
    std::string titleOf(XWindow window)
    {
        std::string title;
        char* name = nullptr;
        if (fetchName_(display_, window, &name) != 0 && name != nullptr)
        {
            title = name;
            free_(name);
            return title;
        }
        unsigned long type = 0, count = 0, after = 0;
        int format = 0;
        unsigned char* data = nullptr;
        const unsigned long utf8 = internAtom_(display_, "UTF8_STRING", 0);
        if (getProperty_(display_, window, internAtom_(display_, "_NET_WM_NAME", 0), 0, 256, 0, utf8, &type,
                         &format, &count, &after, &data) == 0 &&
            data != nullptr)
        {
            title.assign(reinterpret_cast<const char*>(data), count);
            free_(data);
        }
        return title;
    }

    XServerSupport::XLibraries libraries_;
    void* display_ = nullptr;
    void* (*openDisplay_)(const char*) = nullptr;
    int (*closeDisplay_)(void*) = nullptr;
    XWindow (*defaultRoot_)(void*) = nullptr;
    int (*queryTree_)(void*, XWindow, XWindow*, XWindow*, XWindow**, unsigned int*) = nullptr;
    int (*fetchName_)(void*, XWindow, char**) = nullptr;
    unsigned long (*internAtom_)(void*, const char*, int) = nullptr;
    int (*getProperty_)(void*, XWindow, unsigned long, long, long, int, unsigned long, unsigned long*, int*,
                        unsigned long*, unsigned long*, unsigned char**) = nullptr;
    int (*free_)(void*) = nullptr;
    int (*grabPointer_)(void*, XWindow, int, unsigned int, int, int, XWindow, unsigned long,
                        unsigned long) = nullptr;
    int (*ungrabPointer_)(void*, unsigned long) = nullptr;
    int (*grabKeyboard_)(void*, XWindow, int, int, int, unsigned long) = nullptr;
    int (*ungrabKeyboard_)(void*, unsigned long) = nullptr;
    int (*sync_)(void*, int) = nullptr;
    int (*setInputFocus_)(void*, XWindow, int, unsigned long) = nullptr;
    int (*fakeMotion_)(void*, int, int, int, unsigned long) = nullptr;
    int (*fakeButton_)(void*, unsigned int, int, unsigned long) = nullptr;
};

// The crashing program, ended when the test leaves.
struct Child
{
    pid_t pid = -1;
    ~Child()
    {
        if (pid > 0)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    // False (and the way it ended) once the child is gone.
    bool Running(std::string& how)
    {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) != pid)
            return true;
        pid = -1;
        how = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                  : "exited with " + std::to_string(WEXITSTATUS(status));
        return false;
    }
};

TEST(CrashXServer, TheCrashBoxLeavesThePointerFreeAfterACrashInAClick)
{
    if (std::getenv(childVariable) != nullptr)
        GTEST_SKIP() << "inside the child run";
    // Always an X server of our own: the scenario leaves a button held down.
    const std::string xvfb = XServerSupport::findProgram("Xvfb");
    ASSERT_FALSE(xvfb.empty()) << "Xvfb is missing (package xvfb)";
    XServerSupport::XServer server;
    const std::string display = server.Start(xvfb);
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";

    std::vector<std::string> environment = XServerSupport::currentEnvironment();
    XServerSupport::setVariable(environment, "DISPLAY", display);
    XServerSupport::setVariable(environment, "SDL_VIDEODRIVER", "x11");
    XServerSupport::setVariable(environment, childVariable, "1");
    Child child;
    child.pid = XServerSupport::spawn("/proc/self/exe", {"--gtest_filter=CrashXServerChild.*", "--gtest_brief=1"},
                                      environment, nullptr);
    ASSERT_GT(child.pid, 0);

    const char* previous = std::getenv("DISPLAY");
    const std::string previousDisplay = previous != nullptr ? previous : "";
    setenv("DISPLAY", display.c_str(), 1);
    X11 x11;
    if (previous != nullptr)
        setenv("DISPLAY", previousDisplay.c_str(), 1);
    else
        unsetenv("DISPLAY");
    ASSERT_TRUE(x11.Available()) << "libX11 or libXtst cannot be loaded, or the server not reached";

    // The box comes up once the child has crashed in its click handler.
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    std::string how;
    while (!x11.HasWindowTitled(boxCaption))
    {
        ASSERT_TRUE(child.Running(how)) << "the child ended before its box was up (without core fonts SDL "
                                           "shows none): "
                                        << how;
        ASSERT_LT(Clock::now(), deadline) << "no critical-error box appeared";
        pauseBriefly();
    }
    EXPECT_EQ(x11.GrabPointer(), 0) << "the crashed window still holds the pointer";
    EXPECT_EQ(x11.GrabKeyboard(), 0) << "the crashed window still holds the keyboard";
    EXPECT_TRUE(child.Running(how)) << "the box stays until it is closed: " << how;
}

// The child: a window whose click handler takes the pointer and the keyboard
// and then crashes. A check that fails ends the child with a code of its own.
class CrashingClickHandler final : public Platform::MessageHandler
{
public:
    explicit CrashingClickHandler(Platform::WindowSystem& system) : system_(system) {}
    std::intptr_t OnMessage(const Platform::WindowMessage& message) override
    {
        if (message.kind == Platform::MessageKind::ButtonDown)
            click(message.window);
        if (message.kind == Platform::MessageKind::Paint)
            exposed = true;
        if (message.kind == Platform::MessageKind::Activate)
            focused = message.active;
        return system_.DefaultHandling(message);
    }
    bool exposed = false;
    bool focused = false;

private:
    static void check(bool ok, const char* what, int code)
    {
        if (ok)
            return;
        std::fprintf(stderr, "%s\n", what);
        std::fflush(stderr);
        _exit(code);
    }

    // The capture of a press, and grabs that surely hold on any server: SDL
    // captures through XInput2 where it can, which another client may not
    // see as a grab, while confining the pointer and taking the keyboard are
    // grabs of SDL's connection that only it can end.
    void hold(Platform::WindowHandle window)
    {
        system_.ReleaseMouse();
        system_.CaptureMouse(window);
        SDL_Window* sdlWindow = system_.GetSdlWindow(window);
        SDL_SetWindowMouseGrab(sdlWindow, SDL_FALSE);
        SDL_SetWindowKeyboardGrab(sdlWindow, SDL_FALSE);
        SDL_SetWindowMouseGrab(sdlWindow, SDL_TRUE);
        SDL_SetWindowKeyboardGrab(sdlWindow, SDL_TRUE);
        X11 other;
        const int alreadyGrabbed = 1;
        check(other.GrabPointer() == alreadyGrabbed, "the window does not hold the pointer", 3);
        check(other.GrabKeyboard() == alreadyGrabbed, "the window does not hold the keyboard", 4);
    }

    void click(Platform::WindowHandle window)
    {
        hold(window);
        Platform::ReleaseDisplayGrabs();
        {
            X11 other;
            check(other.GrabPointer() == 0, "the pointer is still held after the release", 5);
            check(other.GrabKeyboard() == 0, "the keyboard is still held after the release", 6);
        }
        // Held again for the crash.
        hold(window);
        void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        *static_cast<volatile int*>(page) = 1;
    }

    Platform::WindowSystem& system_;
};

TEST(CrashXServerChild, Scenario)
{
    if (std::getenv(childVariable) == nullptr)
        GTEST_SKIP() << "run by CrashXServer.TheCrashBoxLeavesThePointerFreeAfterACrashInAClick";
    // A hang ends the child and fails the test above.
    alarm(60);
    std::unique_ptr<Platform::WindowSystem> system = Platform::WindowSystem::CreateSdl();
    ASSERT_NE(system, nullptr);
    const Platform::WindowHandle window =
        system->NewWindow(L"Crash in a click", 320, 240, Platform::WindowStyle::Bordered);
    ASSERT_NE(window, 0u);
    CrashingClickHandler handler(*system);
    system->SetHandler(window, &handler);
    ASSERT_TRUE(system->SetClientPosition(window, 100, 100));
    ASSERT_TRUE(system->Show(window));
    // The engine's crash hook.
    ASSERT_TRUE(TarnEngine::InstallCrashHandler(L"Pellwood", &Platform::ReleaseDisplayGrabs));

    Platform::WindowMessage message;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    // Without a window manager SDL gives its new window the focus itself;
    // SDL captures the mouse only for a window with the focus.
    while (!(handler.exposed && handler.focused) && Clock::now() < deadline)
    {
        if (system->TakeMessage(message))
            system->Dispatch(message);
        else
            pauseBriefly();
    }
    ASSERT_TRUE(handler.exposed && handler.focused) << "the window never showed";

    X11 x11;
    ASSERT_TRUE(x11.Available());
    int x = 0, y = 0;
    ASSERT_TRUE(system->GetClientPosition(window, x, y));
    x11.PressAt(x + 160, y + 120);
    // The press reaches the handler, which crashes; the loop never ends here.
    while (Clock::now() < deadline)
    {
        if (system->TakeMessage(message))
            system->Dispatch(message);
        else
            pauseBriefly();
    }
    FAIL() << "the click never arrived";
}

} // namespace
