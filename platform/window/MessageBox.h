// Message boxes for fatal errors: a box with a caption, a text and one OK
// button, shown through SDL when there is a display, else written to standard
// error. Usable before any window exists and from any thread (the crash
// handler shows its box from a thread of its own).
#pragma once

#include <string>

struct SDL_Window;

namespace Platform
{
// Whether a box can be shown on a display; without one boxes go to standard error.
bool CanShowMessageBoxes();

// Blocks until the box is closed. The owner may be null.
void ShowSystemMessageBox(SDL_Window* owner, const std::wstring& caption, const std::wstring& text);
} // namespace Platform
