// The registrations of the credits screen and the two mini-games: their classes (so that
// definitions and scripts create them by name) and the script function "EnterOctanePuzzle". One call
// in the game's registration list.
#pragma once

// The class records every time (an engine shutdown deletes them); the script function once.
void RegisterCreditsAndMiniGames();
