// The engine's static registrations: the class records that data and scripts
// must be able to name, the script functions and the system macros. They
// are listed explicitly and run by the script manager's start (before the
// first script), not left to static initialisers, which the linker drops
// from static libraries when nothing else in their file is referenced.
//
// A new engine class, script function or constant is one line in the
// matching list of EngineRegistrations.cpp. The game keeps a list of its own
// and runs it before the engine starts.
#pragma once

namespace TarnEngine
{

// Runs the engine's lists: the class records whenever they are missing (shutdown deletes them),
// the script functions and macros once.
void RegisterEngineStatics();

} // namespace TarnEngine
