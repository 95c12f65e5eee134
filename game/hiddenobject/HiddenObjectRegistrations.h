// The hidden-object board's part of the game's registration list: its classes (creatable by
// name), the script function SetupHitType and the item-state and cursor constants. Run before the
// script manager starts.
#pragma once

void RegisterHiddenObjectBoardClasses();
