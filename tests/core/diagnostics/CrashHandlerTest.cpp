// The critical-error message of a crashing process. Each case runs in a child
// process that arms the handler, crashes, and must die by the signal; alarm(5)
// turns a hang into a different signal, so a hang fails the test. The alarm's
// default action is restored and the signal unblocked first: a process started
// directly from a shell or runner may inherit either one changed.
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/core/diagnostics/CrashHandler.h"

namespace
{

using TarnEngine::InstallCrashHandler;

const char* const expectedReport =
    "Critical Error: We're sorry, but Pellwood has encountered a critical error and must be shut down\\. If "
    "this persists, please contact technical support\\. We apologize for the inconvenience this has "
    "caused\\.\n";

void setAlarmAction(void (*action)(int))
{
    struct sigaction alarmAction
    {
    };
    alarmAction.sa_handler = action;
    sigemptyset(&alarmAction.sa_mask);
    sigaction(SIGALRM, &alarmAction, nullptr);
}

void setAlarmBlocked(bool blocked)
{
    sigset_t alarmOnly;
    sigemptyset(&alarmOnly);
    sigaddset(&alarmOnly, SIGALRM);
    sigprocmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &alarmOnly, nullptr);
}

void armHeadless(TarnEngine::CursorReleaseHook hook = nullptr, const std::wstring& name = L"Pellwood")
{
    setAlarmAction(SIG_DFL);
    setAlarmBlocked(false);
    alarm(5);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (!InstallCrashHandler(name, hook))
        _exit(3);
}

void writeToUnmappedPage()
{
    void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    *static_cast<volatile int*>(page) = 1;
}

[[noreturn]] void throwUncaught()
{
    throw std::runtime_error("nobody catches this");
}

// The test framework catches exceptions of the statement itself; one that
// leaves a noexcept function goes to std::terminate as in the program.
void throwThroughNoexcept() noexcept
{
    throwUncaught();
}

int recurseForever(volatile int* depth)
{
    volatile char frame[1024];
    frame[0] = static_cast<char>(*depth);
    *depth = *depth + 1;
    if (*depth < 0) // never: keeps the compiler from proving the recursion endless
        return 0;
    return recurseForever(depth) + frame[0];
}

void overflowStack()
{
    volatile int depth = 0;
    recurseForever(&depth);
}

void cursorHook()
{
    const char text[] = "cursor released\n";
    (void)!write(STDERR_FILENO, text, sizeof text - 1);
}

void faultingCursorHook()
{
    writeToUnmappedPage();
}

// A forked child that never gets as far as its own alarm (stuck inside fork,
// say) would keep the test's output pipe open for ever: the parent's alarm
// takes it down first.
volatile sig_atomic_t forkedChild = 0;

void killForkedChildAndDie(int)
{
    if (forkedChild > 0)
        kill(forkedChild, SIGKILL);
    setAlarmAction(SIG_DFL);
    raise(SIGALRM);
}

class CrashHandlerDeathTest : public ::testing::Test
{
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(CrashHandlerDeathTest, FatalSignalsShowTheMessageAndDieByTheSignal)
{
    struct Case
    {
        const char* what;
        void (*crash)();
        int signal;
    };
    const Case cases[] = {
        {"segmentation fault", &writeToUnmappedPage, SIGSEGV},
        {"uncaught exception", &throwThroughNoexcept, SIGABRT},
        {"abort", [] { std::abort(); }, SIGABRT},
        {"illegal instruction", [] { __builtin_trap(); }, SIGILL},
        {"bus error", [] { raise(SIGBUS); }, SIGBUS},
        {"arithmetic error", [] { raise(SIGFPE); }, SIGFPE},
        {"stack overflow", &overflowStack, SIGSEGV},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EXIT(
            {
                armHeadless();
                c.crash();
            },
            testing::KilledBySignal(c.signal), expectedReport);
    }
}

TEST_F(CrashHandlerDeathTest, CursorIsReleasedBeforeTheMessage)
{
    EXPECT_EXIT(
        {
            armHeadless(&cursorHook);
            writeToUnmappedPage();
        },
        testing::KilledBySignal(SIGSEGV), "cursor released\nCritical Error: We're sorry");
}

TEST_F(CrashHandlerDeathTest, FaultInTheCursorHookIsSkipped)
{
    EXPECT_EXIT(
        {
            armHeadless(&faultingCursorHook);
            throwThroughNoexcept();
        },
        testing::KilledBySignal(SIGABRT), expectedReport);
}

TEST_F(CrashHandlerDeathTest, LongApplicationNameIsCutAtTheBuffer)
{
    // 17 characters of "We're sorry, but " leave 1006 of the 1023 for the name.
    EXPECT_EXIT(
        {
            armHeadless(nullptr, std::wstring(3000, L'x'));
            writeToUnmappedPage();
        },
        testing::KilledBySignal(SIGSEGV), "Critical Error: We're sorry, but x{1006}\n");
}

TEST_F(CrashHandlerDeathTest, CrashOnAnotherThreadStillShowsTheMessage)
{
    EXPECT_EXIT(
        {
            armHeadless();
            pthread_t thread;
            pthread_create(
                &thread, nullptr,
                [](void*) -> void*
                {
                    writeToUnmappedPage();
                    return nullptr;
                },
                nullptr);
            pthread_join(thread, nullptr);
        },
        testing::KilledBySignal(SIGSEGV), expectedReport);
}

TEST_F(CrashHandlerDeathTest, CrashOfAForkedChildLeavesTheParentsBoxAlone)
{
    // The child shares the parent's pipes but not its box thread: it must not
    // take the parent's box, which the parent needs for its own crash.
    EXPECT_EXIT(
        {
            armHeadless();
            setAlarmAction(&killForkedChildAndDie);
            setAlarmBlocked(true); // until the child's id is known
            const pid_t child = fork();
            if (child == 0)
            {
                setAlarmAction(SIG_DFL);
                setAlarmBlocked(false);
                alarm(5); // a timer is not inherited
                writeToUnmappedPage();
            }
            forkedChild = child;
            setAlarmBlocked(false);
            int status = 0;
            const bool reaped = child > 0 && waitpid(child, &status, 0) == child;
            forkedChild = 0; // its id may be reused from here on
            if (!reaped || !WIFSIGNALED(status) || WTERMSIG(status) != SIGSEGV)
                _exit(1);
            writeToUnmappedPage();
        },
        testing::KilledBySignal(SIGSEGV), std::string(expectedReport) + expectedReport);
}

} // namespace
