// The class records and script classes of the hidden-object screen and its parts (screen, item
// list, recharging button, letter row, guess dialog, saved state), together with the board's.
// Called from the game's registration list; calling it again changes nothing.
#pragma once

void RegisterHiddenObjectClasses();
