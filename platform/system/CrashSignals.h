// Plumbing for the crash handler: the fatal signals (SEGV, BUS, ILL, FPE,
// ABRT) are caught on an alternate stack, and std::terminate is routed the same
// way. The callback runs on the crashing thread in signal context, so it may
// only do async-signal-safe work. When it returns, the signal's default action
// is restored and the signal raised again: the process always dies by it.
#pragma once

namespace Platform
{

using CrashCallback = void (*)(int signalNumber);

// Installs the handlers once; later calls only replace the callback. The
// alternate stack is given to the calling thread.
bool InstallCrashSignals(CrashCallback callback);

// Gives the calling thread an alternate signal stack of its own, so that a
// stack overflow on it still reaches the handler.
bool GiveThreadCrashStack();

} // namespace Platform
