#include "platform/system/CrashSignals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace Platform
{

namespace
{

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
// Sanitizer-instrumented handlers need far more than MINSIGSTKSZ.
constexpr size_t crashStackSize = 256 * 1024;

std::atomic<CrashCallback> crashCallback{nullptr};
std::atomic<bool> installed{false};

// Deliberately not declared noreturn: sanitizers put a stack-unpoisoning call,
// which may allocate, before every call of a noreturn function, and a crashed
// process may hold the allocator's lock.
void dieBy(int signalNumber)
{
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
    // A signal whose default action did not end us (it cannot happen for
    // these five): still never return into the faulting code.
    syscall(SYS_exit_group, 128 + signalNumber);
}

void onSignal(int signalNumber, siginfo_t*, void*)
{
    const CrashCallback callback = crashCallback.load();
    if (callback)
        callback(signalNumber);
    dieBy(signalNumber);
}

void onTerminate()
{
    const CrashCallback callback = crashCallback.load();
    if (callback)
        callback(SIGABRT);
    dieBy(SIGABRT);
    std::abort(); // not reached
}

} // namespace

bool GiveThreadCrashStack()
{
    void* memory = mmap(nullptr, crashStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = crashStackSize;
    if (sigaltstack(&stack, nullptr) != 0)
    {
        munmap(memory, crashStackSize);
        return false;
    }
    // The stack stays mapped for the life of the thread's process.
    return true;
}

bool InstallCrashSignals(CrashCallback callback)
{
    crashCallback.store(callback);
    if (installed.exchange(true))
        return true;
    bool ok = GiveThreadCrashStack();
    struct sigaction action
    {
    };
    action.sa_sigaction = &onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : fatalSignals)
        sigaddset(&action.sa_mask, signalNumber);
    for (int signalNumber : fatalSignals)
        ok = (sigaction(signalNumber, &action, nullptr) == 0) && ok;
    std::set_terminate(&onTerminate);
    return ok;
}

} // namespace Platform
