// Message boxes through SDL, with standard error as the fall-back when no
// display can show them (headless runs, tests, a broken X connection).
#include "platform/window/MessageBox.h"

#include "platform/system/Utf8.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Platform
{
namespace
{
bool isHeadlessDriver(const char* driver)
{
    return driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

bool displayExists()
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0)
        return !isHeadlessDriver(SDL_GetCurrentVideoDriver());
    if (isHeadlessDriver(std::getenv("SDL_VIDEODRIVER")))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x != nullptr && *x != 0) || (wayland != nullptr && *wayland != 0);
}
} // namespace

bool CanShowMessageBoxes()
{
    return displayExists();
}

void ShowSystemMessageBox(SDL_Window* owner, const std::wstring& caption, const std::wstring& text)
{
    const std::string title = Utf8FromWide(caption);
    const std::string message = Utf8FromWide(text);
    if (displayExists() && SDL_ShowSimpleMessageBox(0, title.c_str(), message.c_str(), owner) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    std::fflush(stderr);
}
} // namespace Platform
