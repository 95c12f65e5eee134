#include "engine/core/diagnostics/CrashHandler.h"

#include <atomic>
#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "engine/core/text/TextHelpers.h"
#include "platform/system/CrashSignals.h"
#include "platform/system/Event.h"
#include "platform/system/Thread.h"
#include "platform/window/MessageBox.h"

namespace TarnEngine
{

namespace
{

// The formatted message is cut to this many wide characters, terminator included.
constexpr size_t messageBufferSize = 1024;

constexpr uint32_t criticalErrorCaptionId = 901;
constexpr uint32_t crashMessageId = 906;

// Prepared at arming time; only read while crashing.
std::wstring boxTextWide;
std::wstring boxCaptionWide;
std::string plainReport; // "caption: text\n" for the terminal
std::atomic<CursorReleaseHook> cursorHook{nullptr};
bool useDisplay = false;
int requestPipe[2] = {-1, -1};
int donePipe[2] = {-1, -1};
std::atomic<bool> boxThreadReady{false};
std::atomic<bool> crashing{false};
pid_t armedProcess = 0; // a forked child has no box thread of its own
// Set once the box thread has its crash stack and waits for a request.
// Never destroyed: the detached box thread may still be inside Set while static destructors run
// at exit.
Platform::Event& boxThreadStarted()
{
    static Platform::Event* const started = new Platform::Event(false, false);
    return *started;
}

thread_local bool isBoxThread = false;
thread_local bool inCursorHook = false;
sigjmp_buf cursorHookEscape;

std::wstring formatMessage(const std::wstring& applicationName)
{
    std::wstring text;
    StringPrintfChecked(text, LoadResourceString(crashMessageId), applicationName);
    if (text.size() > messageBufferSize - 1)
        text.resize(messageBufferSize - 1);
    return text;
}

void writeAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

bool displayMayExist()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

void showBox()
{
    // Without a display the prepared text is written as it is: no allocation
    // and no stdio lock, either of which the crashed thread may hold.
    if (useDisplay)
        Platform::ShowSystemMessageBox(nullptr, boxCaptionWide, boxTextWide);
    else
        writeAll(STDERR_FILENO, plainReport.data(), plainReport.size());
}

uint32_t boxThreadMain()
{
    isBoxThread = true;
    Platform::GiveThreadCrashStack();
    boxThreadStarted().Set();
    char request = 0;
    ssize_t n;
    while ((n = read(requestPipe[0], &request, 1)) < 0 && errno == EINTR)
    {
    }
    if (n != 1)
        return 0;
    if (CursorReleaseHook hook = cursorHook.load())
    {
        inCursorHook = true;
        if (sigsetjmp(cursorHookEscape, 1) == 0)
            hook();
        inCursorHook = false;
    }
    showBox();
    writeAll(donePipe[1], "x", 1);
    return 0;
}

// Runs in signal context on the crashing thread: async-signal-safe calls only.
void crashFilter(int)
{
    if (isBoxThread)
    {
        if (inCursorHook)
            siglongjmp(cursorHookEscape, 1); // a failing hook is skipped
        // The box itself failed: say it on the terminal and let the signal end us.
        writeAll(STDERR_FILENO, plainReport.data(), plainReport.size());
        return;
    }
    if (crashing.exchange(true))
    {
        // Another thread is already showing the box; it ends the process.
        for (;;)
            pause();
    }
    if (!boxThreadReady.load() || getpid() != armedProcess)
    {
        writeAll(STDERR_FILENO, plainReport.data(), plainReport.size());
        return;
    }
    writeAll(requestPipe[1], "x", 1);
    char done = 0;
    while (read(donePipe[0], &done, 1) < 0 && errno == EINTR)
    {
    }
}

} // namespace

bool InstallCrashHandler(const std::wstring& applicationName, CursorReleaseHook cursorRelease)
{
    if (crashing.load())
        return false;
    boxTextWide = formatMessage(applicationName);
    boxCaptionWide = LoadResourceString(criticalErrorCaptionId);
    plainReport = WStringToUtf8(boxCaptionWide) + ": " + WStringToUtf8(boxTextWide) + "\n";
    cursorHook.store(cursorRelease);
    useDisplay = displayMayExist();

    // A forked child that arms again gets a box thread of its own.
    if (!boxThreadReady.load() || getpid() != armedProcess)
    {
        boxThreadReady.store(false);
        if (pipe2(requestPipe, O_CLOEXEC) != 0)
            return false;
        if (pipe2(donePipe, O_CLOEXEC) != 0)
        {
            close(requestPipe[0]);
            close(requestPipe[1]);
            return false;
        }
        Platform::Thread boxThread;
        if (boxThread.Start(&boxThreadMain))
        {
            // Armed means ready: no crash or fork finds the thread half started.
            boxThreadStarted().Wait();
            boxThread.Detach();
            armedProcess = getpid();
            boxThreadReady.store(true);
        }
    }
    return Platform::InstallCrashSignals(&crashFilter) && boxThreadReady.load();
}

} // namespace TarnEngine
