// The start-up record the program entry hands to the engine: the game's
// names, icon, window size and full-screen flags. Kept here rather than in
// the entry itself so that its values are checked by the game's tests.
#pragma once

#include "engine/core/app/STarnGameInitParams.h"

// The record as the game fills it; every field not set keeps the record's own default.
TarnEngine::STarnGameInitParams MakeStartupRecord();
