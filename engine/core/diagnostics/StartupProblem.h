// The first problem that the engine's loaders met since it was last cleared: which file, and what the
// reader or the script engine found wrong in it. The loaders of XML documents, definition files,
// library lists and scripts note their failures here as they log them; start-up clears it before the
// game's start-up slot and, when that fails, names the noted problem in its message, so a player
// learns what is broken instead of only that the game did not start.
//
// Main thread only, like the loaders that write it.
#pragma once

#include <string>

namespace TarnEngine
{

// Keeps `text` unless a problem is noted already: the first failure is the cause, later ones are
// usually its consequences.
void NoteProblem(const std::wstring& text);
// The problem noted since the last clear; empty when none.
const std::wstring& NotedProblem();
void ClearNotedProblem();

} // namespace TarnEngine
