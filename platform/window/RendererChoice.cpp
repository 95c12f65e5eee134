// Renderer choice without a renderer; see RendererChoice.h.
#include "platform/window/RendererChoice.h"

#include <SDL.h>

#include <cstring>
#include <filesystem>

namespace Platform
{

bool HasGpuDevice()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/dri", error))
    {
        (void)entry;
        return true;
    }
    return false;
}

bool WindowsWantGl()
{
    const char* chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
    if (chosen != nullptr && *chosen != '\0')
        return std::strncmp(chosen, "opengl", 6) == 0;
    return HasGpuDevice();
}

} // namespace Platform
