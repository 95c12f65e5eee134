// The class records of the player's own screens (options, speech settings, profile choice and
// creation, the in-game menu, script-driven screens), so that definitions and scripts can name
// them. One line in the game's registration list.
#pragma once

void RegisterPlayerScreenClasses();
