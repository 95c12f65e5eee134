// The game's registrations: the classes that definitions and scripts create
// by name, the game modes, the script constants (system macros) and the
// script functions. One explicit list, run by the program entry before the
// engine starts, the way the engine runs its own (EngineRegistrations): no
// static initialiser that a static library could drop.
//
// Each game source file that has something to register offers one
// registration function; a new one is one line in GameRegistrations.cpp.
#pragma once

// Runs the list. The class records and the game modes every time (engine shutdown deletes the
// records, and the game manager's set-up takes the modes); script constants and functions once.
void RegisterGameStatics();

// The class records alone. Engine shutdown deletes every record; a process that starts an engine
// again (the tests) or makes game objects after a shutdown runs this first.
void RegisterGameClasses();

// The "GS" script functions of the game object ("GS.Cursor.SetCursorIdx", "GS.Tooltips.Show",
// "GS.Tooltips.Remove").
void RegisterCoreScriptFunctions();
