// The signals by which the system asks a program to close: SIGTERM (kill, a
// logout, a service manager), SIGINT (Ctrl+C in the terminal) and SIGHUP (the
// terminal went away); one that the program was started with ignored (nohup)
// stays ignored. The handler only records the request; the main loop
// takes it (TakeCloseSignal) and closes the way a close of the window does,
// so the settings are written and the single-instance socket removed.
//
// A watchdog thread makes sure the process ends in time even when the
// orderly close never gets there (a game that hangs): once the deadline after
// the first signal has passed without CloseFinished, it removes the file
// registered with SetRemoveOnForcedEnd (the single-instance socket) and ends
// the process by that signal, as if it had never been caught.
#pragma once

#include <cstdint>
#include <string>

namespace Platform
{

// Installs the handlers and starts the watchdog; later calls do nothing but
// answer true. False when a handler or the watchdog cannot be set up.
bool InstallCloseSignals(uint32_t deadlineMilliseconds);

// The close signal that arrived since the last call, 0 when none did.
int TakeCloseSignal();

// The file the watchdog removes when it ends the process; empty: none.
void SetRemoveOnForcedEnd(const std::string& path);

// The orderly close is done: the watchdog stands down and the signals get
// their default action back, so that a later one ends the process at once.
void CloseFinished();

} // namespace Platform
