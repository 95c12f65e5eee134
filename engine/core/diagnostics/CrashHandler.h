// The critical-error message shown when the program crashes: a fatal signal
// or an exception that reaches std::terminate. Everything the message needs is
// prepared when the handler is armed, because a crashing process may not be
// able to allocate or load anything. The box is shown by a thread of its own
// (the crashed thread's state cannot be trusted), after the cursor-release
// hook has freed the mouse; then the process dies by the signal. No crash file
// is written and the process is not kept alive.
#pragma once

#include <string>

namespace TarnEngine
{

using CursorReleaseHook = void (*)();

// Arms the handler once; a later call only refreshes the message and hook.
// The application name fills message 906. A fault inside the hook is ignored.
bool InstallCrashHandler(const std::wstring& applicationName, CursorReleaseHook cursorRelease);

} // namespace TarnEngine
