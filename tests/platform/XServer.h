// Running a test scenario on a real X server: the display of the environment,
// else an Xvfb of our own on a free display number. The scenario runs in a
// child process (the test program run again on the scenario's tests, with a
// marker variable set) so that SDL's video state never mixes with the other
// tests, which run on SDL's offscreen driver. FakeKeyboard presses keys on
// the server through its test extension when libXtst is installed.
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace XServerSupport
{
inline std::string findProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size())
    {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

// Texts as exec takes them: the first (when given), pointers into the strings, which must outlive
// the list, and a null.
inline std::vector<char*> execList(const std::vector<std::string>& texts, const char* first = nullptr)
{
    std::vector<char*> list;
    if (first != nullptr)
        list.push_back(const_cast<char*>(first));
    for (const std::string& text : texts)
        list.push_back(const_cast<char*>(text.c_str()));
    list.push_back(nullptr);
    return list;
}

inline pid_t spawn(const std::string& program, const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment, posix_spawn_file_actions_t* actions)
{
    std::vector<char*> argv = execList(arguments, program.c_str());
    std::vector<char*> envp = execList(environment);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), actions, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

inline std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> list;
    for (char** e = environ; *e != nullptr; ++e)
        list.emplace_back(*e);
    return list;
}

inline void setVariable(std::vector<std::string>& environment, const std::string& name,
                        const std::string& value)
{
    for (std::string& e : environment)
    {
        if (e.compare(0, name.size() + 1, name + "=") == 0)
        {
            e = name + "=" + value;
            return;
        }
    }
    environment.push_back(name + "=" + value);
}

// ":<number>". Built by appending: gcc 12 misreads `":" + std::string` as an
// overlapping copy (-Wrestrict).
inline std::string displayName(int number)
{
    std::string name = ":";
    name += std::to_string(number);
    return name;
}

// An Xvfb of our own, stopped when the object goes.
class XServer
{
public:
    ~XServer()
    {
        if (pid_ > 0)
        {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Starts on the first free display from :97; answers its name or empty.
    std::string Start(const std::string& program)
    {
        for (int number = 97; number < 113; ++number)
        {
            const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
            struct stat info;
            if (stat(lock.c_str(), &info) == 0 || stat(socket.c_str(), &info) == 0)
                continue;
            if (tryStart(program, number))
                return displayName(number);
        }
        return {};
    }

private:
    bool tryStart(const std::string& program, int number)
    {
        int ready[2];
        if (pipe(ready) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, ready[0]);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // Xvfb writes its display number to the descriptor once it accepts
        // connections, so no waiting by time is needed. Without -noreset it
        // resets when its last client leaves, and a client connecting then is
        // refused ("x11 not available"), as a desktop's server never does.
        const pid_t pid = spawn(program,
                                {displayName(number), "-nolisten", "tcp", "-noreset", "-screen", "0",
                                 "1280x1024x24", "-displayfd", std::to_string(ready[1])},
                                currentEnvironment(), &actions);
        posix_spawn_file_actions_destroy(&actions);
        close(ready[1]);
        std::string answer;
        char c = 0;
        while (pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n')
            answer.push_back(c);
        close(ready[0]);
        if (pid <= 0)
            return false;
        if (answer != std::to_string(number))
        {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            return false;
        }
        pid_ = pid;
        return true;
    }

    pid_t pid_ = -1;
};

// Runs the tests that childFilter selects in a child on an X server, with
// childVariable set there; skips when there is neither a display nor Xvfb.
inline void RunOnXServer(const char* childVariable, const std::string& childFilter)
{
    XServer server;
    const char* current = std::getenv("DISPLAY");
    std::string display = current != nullptr ? current : "";
    if (display.empty())
    {
        const std::string xvfb = findProgram("Xvfb");
        if (xvfb.empty())
            GTEST_SKIP() << "no display and no Xvfb";
        display = server.Start(xvfb);
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
    }

    // libdbus, which SDL's X11 driver opens, keeps a buffer past the end of
    // the process; that is not ours to fix.
    char suppressions[] = "/tmp/pellwood-window-lsan-XXXXXX";
    const int file = mkstemp(suppressions);
    ASSERT_GE(file, 0);
    const std::string rule = "leak:libdbus-1.so\n";
    ASSERT_EQ(write(file, rule.data(), rule.size()), static_cast<ssize_t>(rule.size()));
    close(file);
    const char* lsan = std::getenv("LSAN_OPTIONS");
    std::string lsanOptions = lsan != nullptr && *lsan != 0 ? std::string(lsan) + ":" : std::string();
    lsanOptions += std::string("suppressions=") + suppressions + ":print_suppressions=0";

    std::vector<std::string> environment = currentEnvironment();
    setVariable(environment, "LSAN_OPTIONS", lsanOptions);
    setVariable(environment, "DISPLAY", display);
    setVariable(environment, "SDL_VIDEODRIVER", "x11");
    setVariable(environment, childVariable, "1");
    const pid_t child =
        spawn("/proc/self/exe", {"--gtest_filter=" + childFilter, "--gtest_brief=1"}, environment, nullptr);
    ASSERT_GT(child, 0);
    int status = 0;
    const pid_t waited = waitpid(child, &status, 0);
    unlink(suppressions);
    ASSERT_EQ(waited, child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the scenario on the X server failed; its output is above";
}

// libX11 and libXtst, open while the object lives (the tests load them at run time, so that
// they build where the X libraries' headers are missing).
class XLibraries
{
public:
    XLibraries()
        : x11(dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL)), xtst(dlopen("libXtst.so.6", RTLD_LAZY | RTLD_LOCAL))
    {
    }
    ~XLibraries()
    {
        if (xtst != nullptr)
            dlclose(xtst);
        if (x11 != nullptr)
            dlclose(x11);
    }
    XLibraries(const XLibraries&) = delete;
    XLibraries& operator=(const XLibraries&) = delete;
    bool Opened() const { return x11 != nullptr && xtst != nullptr; }

    void* const x11;
    void* const xtst;
};

// Presses keys on the X server through its test extension, when libXtst is
// installed; Available() is false otherwise.
class FakeKeyboard
{
public:
    FakeKeyboard()
    {
        if (!libraries_.Opened())
            return;
        openDisplay_ = reinterpret_cast<OpenDisplayFn>(dlsym(libraries_.x11, "XOpenDisplay"));
        closeDisplay_ = reinterpret_cast<CloseDisplayFn>(dlsym(libraries_.x11, "XCloseDisplay"));
        keycode_ = reinterpret_cast<KeycodeFn>(dlsym(libraries_.x11, "XKeysymToKeycode"));
        sync_ = reinterpret_cast<SyncFn>(dlsym(libraries_.x11, "XSync"));
        fake_ = reinterpret_cast<FakeKeyFn>(dlsym(libraries_.xtst, "XTestFakeKeyEvent"));
        displayKeycodes_ = reinterpret_cast<DisplayKeycodesFn>(dlsym(libraries_.x11, "XDisplayKeycodes"));
        getMapping_ = reinterpret_cast<GetMappingFn>(dlsym(libraries_.x11, "XGetKeyboardMapping"));
        changeMapping_ = reinterpret_cast<ChangeMappingFn>(dlsym(libraries_.x11, "XChangeKeyboardMapping"));
        free_ = reinterpret_cast<FreeFn>(dlsym(libraries_.x11, "XFree"));
        if (openDisplay_ && closeDisplay_ && keycode_ && sync_ && fake_)
            display_ = openDisplay_(nullptr);
    }
    ~FakeKeyboard()
    {
        if (display_ != nullptr)
            closeDisplay_(display_);
    }
    bool Available() const { return display_ != nullptr; }
    // Key symbols: Shift_L 0xFFE1, Control_L 0xFFE3, Alt_L 0xFFE9.
    void Key(unsigned long keysym, bool down)
    {
        fake_(display_, keycode_(display_, keysym), down ? 1 : 0, 0);
        sync_(display_, 0); // the server has the key once it has answered
    }

    // Gives a key symbol that the server's keymap lacks (a letter of another layout, a dead key)
    // a key of its own: the first key code without symbols gets it, alone. False when no key is
    // free or the mapping calls are missing; true at once when the symbol has a key already.
    bool Bind(unsigned long keysym)
    {
        if (keycode_(display_, keysym) != 0)
            return true;
        if (!displayKeycodes_ || !getMapping_ || !changeMapping_ || !free_)
            return false;
        int low = 0, high = 0;
        displayKeycodes_(display_, &low, &high);
        int perCode = 0;
        unsigned long* map = getMapping_(display_, static_cast<unsigned char>(low), high - low + 1, &perCode);
        if (map == nullptr)
            return false;
        int spare = 0;
        for (int code = high; code >= low && spare == 0; --code)
        {
            bool empty = true;
            for (int k = 0; k < perCode; ++k)
                empty = empty && map[(code - low) * perCode + k] == 0;
            if (empty)
                spare = code;
        }
        free_(map);
        if (spare == 0)
            return false;
        unsigned long symbols[2] = {keysym, keysym};
        changeMapping_(display_, spare, 2, symbols, 1);
        sync_(display_, 0);
        return keycode_(display_, keysym) != 0;
    }

private:
    using OpenDisplayFn = void* (*)(const char*);
    using CloseDisplayFn = int (*)(void*);
    using KeycodeFn = unsigned char (*)(void*, unsigned long);
    using SyncFn = int (*)(void*, int);
    using FakeKeyFn = int (*)(void*, unsigned int, int, unsigned long);
    using DisplayKeycodesFn = int (*)(void*, int*, int*);
    using GetMappingFn = unsigned long* (*)(void*, unsigned char, int, int*);
    using ChangeMappingFn = int (*)(void*, int, int, unsigned long*, int);
    using FreeFn = int (*)(void*);
    DisplayKeycodesFn displayKeycodes_ = nullptr;
    GetMappingFn getMapping_ = nullptr;
    ChangeMappingFn changeMapping_ = nullptr;
    FreeFn free_ = nullptr;
    XLibraries libraries_;
    void* display_ = nullptr;
    OpenDisplayFn openDisplay_ = nullptr;
    CloseDisplayFn closeDisplay_ = nullptr;
    KeycodeFn keycode_ = nullptr;
    SyncFn sync_ = nullptr;
    FakeKeyFn fake_ = nullptr;
};

// Moves the pointer and presses buttons on the server through its test extension.
class FakePointer
{
public:
    FakePointer()
    {
        if (!libraries_.Opened())
            return;
        openDisplay_ = reinterpret_cast<OpenDisplayFn>(dlsym(libraries_.x11, "XOpenDisplay"));
        closeDisplay_ = reinterpret_cast<CloseDisplayFn>(dlsym(libraries_.x11, "XCloseDisplay"));
        sync_ = reinterpret_cast<SyncFn>(dlsym(libraries_.x11, "XSync"));
        motion_ = reinterpret_cast<MotionFn>(dlsym(libraries_.xtst, "XTestFakeMotionEvent"));
        button_ = reinterpret_cast<ButtonFn>(dlsym(libraries_.xtst, "XTestFakeButtonEvent"));
        if (openDisplay_ && closeDisplay_ && sync_ && motion_ && button_)
            display_ = openDisplay_(nullptr);
    }
    ~FakePointer()
    {
        if (display_ != nullptr)
            closeDisplay_(display_);
    }
    bool Available() const { return display_ != nullptr; }
    // Desktop coordinates of screen 0.
    void MoveTo(int x, int y)
    {
        motion_(display_, 0, x, y, 0);
        sync_(display_, 0);
    }
    // Button 1 left, 2 middle, 3 right.
    void Button(unsigned button, bool down)
    {
        button_(display_, button, down ? 1 : 0, 0);
        sync_(display_, 0);
    }

private:
    using OpenDisplayFn = void* (*)(const char*);
    using CloseDisplayFn = int (*)(void*);
    using SyncFn = int (*)(void*, int);
    using MotionFn = int (*)(void*, int, int, int, unsigned long);
    using ButtonFn = int (*)(void*, unsigned int, int, unsigned long);
    XLibraries libraries_;
    void* display_ = nullptr;
    OpenDisplayFn openDisplay_ = nullptr;
    CloseDisplayFn closeDisplay_ = nullptr;
    SyncFn sync_ = nullptr;
    MotionFn motion_ = nullptr;
    ButtonFn button_ = nullptr;
};

} // namespace XServerSupport
