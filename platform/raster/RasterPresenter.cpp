// The null and SDL presenters of the software device.
#include "platform/raster/RasterPresenter.h"

#include "platform/system/PageStorage.h"
#include "platform/window/RendererChoice.h"

#include <SDL.h>

#include <cstring>

namespace Raster
{

namespace
{
// Whether the renderer draws through a GL that runs on the processor (no GPU).
bool glRunsInSoftware(SDL_Renderer* renderer)
{
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr ||
        std::strncmp(info.name, "opengl", 6) != 0)
        return false;
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int kGlRenderer = 0x1F01;
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = getString ? getString(kGlRenderer) : nullptr;
    if (name == nullptr)
        return false;
    const char* text = reinterpret_cast<const char*>(name);
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (std::strstr(text, software) != nullptr)
            return true;
    return false;
}

// The GPU's renderer when there is a GPU. Without one, SDL's own software
// renderer copying into the window's framebuffer shows the same pixels for a
// fraction of the work of a processor-run GL. A renderer the user chose
// (SDL_RENDER_DRIVER) is kept.
SDL_Renderer* createRendererWith(SDL_Window* window, Uint32 extraFlags)
{
    const bool userChose = SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr;
    if (!userChose && !Platform::HasGpuDevice())
    {
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        return SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | extraFlags);
    }
    SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, extraFlags);
    if (renderer && !userChose && glRunsInSoftware(renderer))
    {
        SDL_DestroyRenderer(renderer);
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer = nullptr;
    }
    if (!renderer)
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE | extraFlags);
    return renderer;
}

SDL_Renderer* createRenderer(SDL_Window* window, bool vsync)
{
    SDL_Renderer* renderer = createRendererWith(window, vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
    // Frames that may tear are better than none.
    if (!renderer && vsync)
        renderer = createRendererWith(window, 0);
    return renderer;
}
} // namespace

void FullScreenModeWatch::Start(const Look& look)
{
    start = look;
    active = true;
    covered = look.windowWidth == look.modeWidth && look.windowHeight == look.modeHeight;
}

bool FullScreenModeWatch::Changed(const Look& look)
{
    if (!active)
        return false;
    if (look.modeWidth != start.modeWidth || look.modeHeight != start.modeHeight ||
        look.refreshRate != start.refreshRate || look.format != start.format)
        return true;
    if (look.windowWidth == start.modeWidth && look.windowHeight == start.modeHeight)
    {
        covered = true;
        return false;
    }
    return covered;
}

bool NullPresenter::Configure(uint32_t w, uint32_t h, bool isWindowed, bool waitForRetrace)
{
    width = w;
    height = h;
    windowed = isWindowed;
    vsync = waitForRetrace;
    lost = false;
    ++configures;
    return true;
}

Result NullPresenter::Show(const uint32_t* pixels, uint32_t w, uint32_t h)
{
    last.assign(pixels, pixels + size_t(w) * h);
    width = w;
    height = h;
    ++frames;
    return Result::Ok;
}

SdlPresenter::SdlPresenter(SDL_Window* existing, const char* windowTitle)
    : window(existing), title(windowTitle ? windowTitle : "")
{
}

SdlPresenter::~SdlPresenter()
{
    if (watching)
        SDL_DelEventWatch(&SdlPresenter::WatchEvent, this);
    DropTexture();
    if (renderer)
        SDL_DestroyRenderer(renderer);
    if (ownsWindow && window)
        SDL_DestroyWindow(window);
    if (videoStarted)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void SdlPresenter::DropTexture()
{
    if (texture)
        SDL_DestroyTexture(texture);
    texture = nullptr;
}

int SdlPresenter::WatchEvent(void* presenter, SDL_Event* event)
{
    static_cast<SdlPresenter*>(presenter)->OnEvent(*event);
    return 1;
}

void SdlPresenter::OnEvent(const SDL_Event& event)
{
    switch (event.type)
    {
    case SDL_RENDER_DEVICE_RESET:
        // Every texture of the renderer is gone; the renderer is made again at the reset.
        rendererReset = true;
        lost = true;
        break;
    case SDL_RENDER_TARGETS_RESET:
        lost = true;
        break;
    case SDL_DISPLAYEVENT:
        displayToCheck = true;
        break;
    case SDL_WINDOWEVENT:
        if (window && event.window.windowID == SDL_GetWindowID(window) &&
            event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
            displayToCheck = true;
        break;
    default:
        break;
    }
}

FullScreenModeWatch::Look SdlPresenter::LookAtDisplay() const
{
    FullScreenModeWatch::Look look;
    if (!window)
        return look;
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_DisplayMode mode{};
    if (display >= 0 && SDL_GetDesktopDisplayMode(display, &mode) == 0)
    {
        look.modeWidth = mode.w;
        look.modeHeight = mode.h;
        look.refreshRate = mode.refresh_rate;
        look.format = mode.format;
    }
    SDL_GetWindowSizeInPixels(window, &look.windowWidth, &look.windowHeight);
    return look;
}

bool SdlPresenter::IsLost()
{
    // Only looked at when SDL said something changed, so frames cost no display queries.
    if (displayToCheck.exchange(false) && modeWatch.IsActive() && modeWatch.Changed(LookAtDisplay()))
        lost = true;
    return lost;
}

bool SdlPresenter::Configure(uint32_t w, uint32_t h, bool windowed, bool waitForRetrace)
{
    // Until it is configured again the device stays lost, so that its reset is tried again.
    const bool configured = Prepare(w, h, windowed, waitForRetrace);
    lost = !configured;
    return configured;
}

bool SdlPresenter::Prepare(uint32_t w, uint32_t h, bool windowed, bool waitForRetrace)
{
    if (w == 0 || h == 0)
        return false;
    if (!videoStarted)
    {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            return false;
        videoStarted = true;
    }
    // The watch lives as long as the video subsystem this presenter holds.
    if (!watching)
    {
        SDL_AddEventWatch(&SdlPresenter::WatchEvent, this);
        watching = true;
    }
    displayToCheck = false;
    if (rendererReset.exchange(false) && renderer)
    {
        DropTexture();
        SDL_DestroyRenderer(renderer);
        renderer = nullptr;
    }
    if (!window)
    {
        const Uint32 flags = Platform::WindowsWantGl() ? SDL_WINDOW_OPENGL : 0;
        window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, int(w), int(h), flags);
        // Without a loadable GL the software renderer draws it, on a plain window.
        if (!window && flags != 0)
            window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, int(w), int(h), 0);
        if (!window)
            return false;
        ownsWindow = true;
    }
    // Full screen keeps the desktop mode and lets SDL scale the back buffer into it.
    SDL_SetWindowFullscreen(window, windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (windowed && ownsWindow)
        SDL_SetWindowSize(window, int(w), int(h));
    width = w;
    height = h;
    // Without a GPU a window of the frame's size takes the frame straight into its
    // surface: a renderer would first copy it into a texture (megabytes of fresh,
    // cleared memory) and then copy that into the same surface.
    direct = windowed && SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr && !Platform::HasGpuDevice();
    if (direct)
    {
        DropTexture();
        if (renderer)
            SDL_DestroyRenderer(renderer);
        renderer = nullptr;
        vsync = waitForRetrace;
        modeWatch.Stop();
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        return true;
    }
    return PrepareRenderer(w, h, windowed, waitForRetrace);
}

bool SdlPresenter::PrepareRenderer(uint32_t w, uint32_t h, bool windowed, bool waitForRetrace)
{
    if (!renderer)
    {
        // A GL renderer makes SDL re-create the window, which puts it back
        // where it was first made; it keeps the place it has now.
        int x = 0;
        int y = 0;
        SDL_GetWindowPosition(window, &x, &y);
        renderer = createRenderer(window, waitForRetrace);
        if (!renderer)
            return false;
        if (windowed)
            SDL_SetWindowPosition(window, x, y);
    }
    else if (waitForRetrace != vsync)
        SDL_RenderSetVSync(renderer, waitForRetrace ? 1 : 0);
    vsync = waitForRetrace;
    if (windowed)
        modeWatch.Stop();
    else
        modeWatch.Start(LookAtDisplay());
    // A reset to the same size keeps the texture: making it again clears
    // megabytes that the next frame overwrites anyway (the game's start-up
    // resets the device it has just made).
    int textureWidth = 0;
    int textureHeight = 0;
    if (texture)
        SDL_QueryTexture(texture, nullptr, nullptr, &textureWidth, &textureHeight);
    if (!texture || int(w) != textureWidth || int(h) != textureHeight)
    {
        DropTexture();
        texture =
            SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, int(w), int(h));
        if (!texture)
            return false;
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
    }
    SDL_RenderSetLogicalSize(renderer, int(w), int(h));
    return true;
}

bool SdlPresenter::ShowDirect(const uint32_t* pixels, uint32_t w, uint32_t h)
{
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (!surface || surface->w != int(w) || surface->h != int(h) ||
        (surface->format->format != SDL_PIXELFORMAT_RGB888 && surface->format->format != SDL_PIXELFORMAT_ARGB8888))
        return false;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return false;
    // The window's surface is fresh shared memory that the copy below writes whole: its pages are
    // asked for in one call rather than one trap each.
    if (surface->pixels != prefaulted)
    {
        Platform::PageStorage::Prefault(surface->pixels, size_t(surface->pitch) * h);
        prefaulted = surface->pixels;
    }
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(surface->pixels) + size_t(y) * surface->pitch, pixels + size_t(y) * w,
                    size_t(w) * 4);
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    return SDL_UpdateWindowSurface(window) == 0;
}

Result SdlPresenter::Show(const uint32_t* pixels, uint32_t w, uint32_t h)
{
    if (IsLost())
        return Result::DeviceLost;
    if ((!direct && !texture) || w != width || h != height)
    {
        if (!Configure(w, h, !(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN), vsync))
            return Result::DeviceLost;
    }
    if (direct)
    {
        if (ShowDirect(pixels, w, h))
            return Result::Ok;
        // A window of another size (or an unusual surface) is scaled by a renderer.
        direct = false;
        if (!PrepareRenderer(w, h, true, vsync))
        {
            lost = true;
            return Result::DeviceLost;
        }
    }
    void* bits = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture, nullptr, &bits, &pitch) != 0)
        return Result::DeviceLost;
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(bits) + size_t(y) * pitch, pixels + size_t(y) * w, size_t(w) * 4);
    SDL_UnlockTexture(texture);
    SDL_RenderClear(renderer);
    if (SDL_RenderCopy(renderer, texture, nullptr, nullptr) != 0)
    {
        DropTexture();
        return Result::DeviceLost;
    }
    SDL_RenderPresent(renderer);
    return Result::Ok;
}

} // namespace Raster
