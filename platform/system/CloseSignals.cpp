#include "platform/system/CloseSignals.h"

#include "platform/system/Thread.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <mutex>
#include <semaphore.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform
{

namespace
{

constexpr int closeSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Written by the handler, so lock-free atomics and sem_post only.
std::atomic<int> pendingSignal{0};
std::atomic<int> firstSignal{0};
std::atomic<bool> finished{false};
std::atomic<bool> installed{false};
// The signals taken over; one ignored when the program started stays ignored.
bool caught[3] = {};
sem_t wake;
uint32_t deadlineMs = 0;

std::mutex removeLock;
std::string removePath;

void onCloseSignal(int signalNumber)
{
    const int savedErrno = errno;
    pendingSignal.store(signalNumber);
    int none = 0;
    if (firstSignal.compare_exchange_strong(none, signalNumber))
        sem_post(&wake);
    errno = savedErrno;
}

void setDisposition(void (*handler)(int))
{
    struct sigaction action
    {
    };
    action.sa_handler = handler;
    // The rest of the program (SDL, X11, the audio thread) must not see its
    // system calls cut short by a close request.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < 3; ++i)
        if (caught[i])
            sigaction(closeSignals[i], &action, nullptr);
}

[[noreturn]] void endBy(int signalNumber)
{
    static const char note[] = "The program did not close in time after a close signal; it ends now.\n";
    ssize_t written = write(STDERR_FILENO, note, sizeof note - 1);
    (void)written;
    {
        std::lock_guard<std::mutex> guard(removeLock);
        if (!removePath.empty())
            unlink(removePath.c_str());
    }
    struct sigaction standard
    {
    };
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signalNumber, &standard, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    // Not reached: the default action of the three signals ends the process.
    syscall(SYS_exit_group, 128 + signalNumber);
    for (;;)
        pause();
}

uint32_t watch()
{
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);

    while (sem_wait(&wake) != 0)
        if (errno != EINTR)
            return 0;
    if (finished.load())
        return 0;

    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += deadlineMs / 1000;
    deadline.tv_nsec += long(deadlineMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L)
    {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    for (;;)
    {
        if (finished.load())
            return 0;
        if (sem_clockwait(&wake, CLOCK_MONOTONIC, &deadline) == 0 || errno == EINTR)
            continue;
        if (errno == ETIMEDOUT)
            break;
        // The semaphore cannot be waited on: sleep the rest of the time out.
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR)
        {
        }
        break;
    }
    if (finished.load())
        return 0;
    endBy(firstSignal.load());
}

} // namespace

bool InstallCloseSignals(uint32_t deadlineMilliseconds)
{
    if (installed.exchange(true))
        return true;
    deadlineMs = deadlineMilliseconds;
    if (sem_init(&wake, 0, 0) != 0)
        return false;
    Thread watchdog;
    if (!watchdog.Start(&watch))
        return false;
    watchdog.Detach();
    // A program started with a signal ignored (nohup, a background job of a
    // shell) keeps it ignored, as its starter asked.
    for (size_t i = 0; i < 3; ++i)
    {
        struct sigaction current
        {
        };
        caught[i] = sigaction(closeSignals[i], nullptr, &current) == 0 && current.sa_handler != SIG_IGN;
    }
    setDisposition(&onCloseSignal);
    return true;
}

int TakeCloseSignal()
{
    return pendingSignal.exchange(0);
}

void SetRemoveOnForcedEnd(const std::string& path)
{
    std::lock_guard<std::mutex> guard(removeLock);
    removePath = path;
}

void CloseFinished()
{
    if (!installed.load() || finished.exchange(true))
        return;
    setDisposition(SIG_DFL);
    sem_post(&wake);
}

} // namespace Platform
