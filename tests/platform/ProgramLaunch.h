// Starting the pellwood program from a test, as the player's desktop would: on an X server of its
// own (Xvfb), with XDG folders of its own in a temporary folder, and watched until it ends. Used by
// the suites that are built with PELLWOOD_PROGRAM, the path of the program.
#pragma once

#include "tests/core/ReadOnlyFolder.h"
#include "tests/core/TempFolder.h"
#include "tests/platform/XServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ProgramLaunch
{

using Clock = std::chrono::steady_clock;

inline void pause(int milliseconds)
{
    timespec step{milliseconds / 1000, (milliseconds % 1000) * 1000 * 1000L};
    nanosleep(&step, nullptr);
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// How long a test waits for the program to say that something happened: far more than any step
// takes on an idle machine, so that one under full load (every test at once, the program under
// the sanitizers, other builds beside) still gets there. Every wait ends as soon as the line is said.
constexpr std::chrono::seconds kPatience{150};

// How often the part occurs in the text.
inline size_t countOf(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// What the audio layer asks the device for; SDL's "disk" audio driver writes it to its file as it
// comes, two 32-bit float channels a frame, at the pace of a sound card: the count of frames in the
// file is the program's clock of what has been heard.
constexpr double kOutputRate = 48000.0;
constexpr size_t kFrameBytes = 2 * sizeof(float);

// Output frames in the disk driver's file so far.
inline size_t HeardFrames(const std::filesystem::path& file)
{
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size_t(size / kFrameBytes);
}

// The engine's log lines (with PELLWOOD_LOG) for a screen that has faded in and takes input, and
// for one that has faded out and gone, so that what lies behind it takes the pointer again. A test
// clicks or types on a screen only after the first, and on what it covered only after the second:
// a fade takes frames, which come slowly on a loaded machine, and input before its end is eaten.
inline std::string ScreenOpen(const std::string& name)
{
    return "screen \"" + name + "\" open";
}
inline std::string ScreenClosed(const std::string& name)
{
    return "screen \"" + name + "\" closed";
}

// The sample content in a window.
inline std::vector<std::string> SampleArguments()
{
    return {"-data", std::string(PELLWOOD_SOURCE_DIR) + "/sample", "-windowed"};
}

// A child process, killed when the object goes while it still runs. Its end is reaped once and
// kept, so a later question about how it ended still has the answer.
class Process
{
public:
    explicit Process(pid_t pid = -1) : pid_(pid) {}
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    Process& operator=(Process&& other) noexcept
    {
        end();
        pid_ = std::exchange(other.pid_, -1);
        ended_ = other.ended_;
        exited_ = other.exited_;
        status_ = other.status_;
        return *this;
    }
    ~Process() { end(); }

    pid_t Id() const { return pid_; }
    bool Started() const { return pid_ > 0; }

    bool Running()
    {
        if (pid_ <= 0 || ended_)
            return false;
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == 0)
            return true;
        ended_ = true;
        exited_ = done == pid_;
        status_ = status;
        return false;
    }

    // Polls until done() holds; false when the process ended first or the time ran out.
    template <class Done> bool WaitFor(Done done, std::chrono::milliseconds limit = kPatience)
    {
        for (const auto deadline = Clock::now() + limit; Clock::now() < deadline; pause(20))
        {
            if (done())
                return true;
            if (!Running())
                return false;
        }
        return false;
    }

    // Does the action again until done() holds, waiting a while for it after each time: only for
    // an action that does nothing once it has been taken (a click on a button that the program
    // enables a frame after what makes it usable, which a loaded machine may draw after the click
    // came; a click that skips a splash screen, which takes no clicks before it shows). False when
    // the process ended first or the time ran out.
    template <class Act, class Done>
    bool RepeatUntil(Act act, Done done, std::chrono::milliseconds limit = kPatience,
                     std::chrono::milliseconds every = std::chrono::seconds(3))
    {
        for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;)
        {
            act();
            if (WaitFor(done, every))
                return true;
            if (!Running())
                return false;
        }
        return done();
    }

    // Waits for the end: the exit code, or the signal's number with bySignal set; -1 when it is
    // still running when the time is up.
    int WaitForExit(std::chrono::seconds limit, bool& bySignal)
    {
        for (const auto deadline = Clock::now() + limit; Running() && Clock::now() < deadline;)
            pause(20);
        if (!exited_)
            return -1;
        bySignal = WIFSIGNALED(status_);
        return bySignal ? WTERMSIG(status_) : WEXITSTATUS(status_);
    }

    bool ExitedWith(int code) const { return exited_ && WIFEXITED(status_) && WEXITSTATUS(status_) == code; }

private:
    void end()
    {
        if (Running())
        {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid_ = -1;
    bool ended_ = false;
    bool exited_ = false; // reaped here, so status_ says how
    int status_ = 0;
};

// The program's world: an Xvfb of its own, its XDG folders and the environment that points it
// at them. Always a server of our own: on a desktop, a window manager would frame and stack the
// windows in its own way, and the player's screen is not the test's to cover.
// At most two programs run under these tests at once, whichever test executables start them: each
// is a sanitized program on an X server of its own, and more of them side by side (CTest runs the
// suites in parallel) slow every one down until the programs' own waits no longer hold. A slot is an
// exclusive lock on one of two files, given back when its holder goes (or its process ends).
class ProgramSlot
{
public:
    ProgramSlot() = default;
    ProgramSlot(const ProgramSlot&) = delete;
    ProgramSlot& operator=(const ProgramSlot&) = delete;
    ~ProgramSlot()
    {
        if (fd_ >= 0)
            close(fd_);
    }

    void Take()
    {
        for (;;)
        {
            for (int slot = 0; slot < 2; ++slot)
            {
                const std::string path = "/tmp/pellwood-program-slot-" + std::to_string(slot) + ".lock";
                const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
                if (fd < 0)
                    return; // no lock to be had: run without one
                if (flock(fd, LOCK_EX | LOCK_NB) == 0)
                {
                    fd_ = fd;
                    return;
                }
                close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }

private:
    int fd_ = -1;
};

class ProgramWorld
{
public:
    // What a program started here ends with when the folder it was to see read-only cannot be
    // made so (it says why on its standard error).
    static constexpr int kCannotMakeReadOnly = 121;

    // False, with the test skipped (no Xvfb) or failed (Xvfb did not start), when there is no
    // server to run on.
    bool Start()
    {
        slot_.Take();
        const std::string xvfb = XServerSupport::findProgram("Xvfb");
        if (xvfb.empty())
        {
            [] { GTEST_SKIP() << "no Xvfb"; }();
            return false;
        }
        display = server_.Start(xvfb);
        if (display.empty())
        {
            [] { FAIL() << "Xvfb did not start"; }();
            return false;
        }
        for (const char* folder : {"config", "data", "run"})
            std::filesystem::create_directories(temp.path / folder);
        // libdbus, which SDL's X11 driver opens, keeps a buffer past the end of the process.
        const std::filesystem::path suppressions = temp.path / "lsan.supp";
        std::ofstream(suppressions) << "leak:libdbus-1.so\n";
        environment = XServerSupport::currentEnvironment();
        Set("DISPLAY", display);
        Set("SDL_VIDEODRIVER", "x11");
        Set("XDG_CONFIG_HOME", (temp.path / "config").string());
        Set("XDG_DATA_HOME", (temp.path / "data").string());
        Set("XDG_RUNTIME_DIR", (temp.path / "run").string());
        Set("LSAN_OPTIONS", "suppressions=" + suppressions.string() + ":print_suppressions=0");
        return true;
    }

    void Set(const std::string& name, const std::string& value)
    {
        XServerSupport::setVariable(environment, name, value);
    }

    // Starts the program with standard input and output on /dev/null, so that a program left
    // behind never holds the test's output open, and standard error into the file. The close
    // signals start at their default, as from a desktop, whatever the test runner ignores. A
    // folder given as readOnly is read-only for the program alone. -1 when it could not start.
    pid_t Launch(const std::vector<std::string>& arguments, const std::filesystem::path& errors,
                 const std::string& readOnly = std::string()) const
    {
#ifdef PELLWOOD_PROGRAM
        const std::string program = PELLWOOD_PROGRAM;
        const std::string errorsFile = errors.string();
        std::vector<char*> argv = XServerSupport::execList(arguments, program.c_str());
        std::vector<char*> envp = XServerSupport::execList(environment);
        // Only system calls between fork and exec.
        const pid_t pid = fork();
        if (pid != 0)
            return pid;
        const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
        if (nothing >= 0)
        {
            dup2(nothing, STDIN_FILENO);
            dup2(nothing, STDOUT_FILENO);
        }
        const int file = open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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
        (void)errors;
        (void)readOnly;
        return -1;
#endif
    }

    TempFolder temp;
    std::string display;
    std::vector<std::string> environment;

private:
    ProgramSlot slot_; // taken before the server starts, given back after it has gone
    XServerSupport::XServer server_;
};

} // namespace ProgramLaunch
