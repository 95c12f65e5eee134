// Where the software device's frames go. The device is given one presenter at creation: the SDL
// presenter shows the back buffer in an SDL2 window through a streaming texture (letting SDL scale
// it in full screen); the null presenter keeps the last frame for tests and shows nothing.
#pragma once

#include "platform/raster/RasterTypes.h"

#include <cstdint>
#include <vector>

struct SDL_Renderer;
struct SDL_Texture;

namespace Raster
{

class RasterPresenter
{
public:
    virtual ~RasterPresenter() = default;
    // Prepares for frames of this size; called at device creation and at every reset.
    virtual bool Configure(uint32_t width, uint32_t height, bool windowed) = 0;
    // Shows one frame of 32-bit ARGB pixels, rows packed from the top.
    virtual Result Show(const uint32_t* pixels, uint32_t width, uint32_t height) = 0;
    // The window frames are shown in, when there is one.
    virtual SDL_Window* Window() const { return nullptr; }
};

class NullPresenter : public RasterPresenter
{
public:
    bool Configure(uint32_t width, uint32_t height, bool windowed) override;
    Result Show(const uint32_t* pixels, uint32_t width, uint32_t height) override;

    uint32_t FrameCount() const { return frames; }
    const std::vector<uint32_t>& LastFrame() const { return last; }
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    bool IsWindowed() const { return windowed; }

private:
    std::vector<uint32_t> last;
    uint32_t frames = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool windowed = true;
};

class SdlPresenter : public RasterPresenter
{
public:
    // Shows frames in `window`; without one, a window is made on the first Configure and owned.
    explicit SdlPresenter(SDL_Window* window = nullptr, const char* title = "");
    ~SdlPresenter() override;
    SdlPresenter(const SdlPresenter&) = delete;
    SdlPresenter& operator=(const SdlPresenter&) = delete;

    bool Configure(uint32_t width, uint32_t height, bool windowed) override;
    Result Show(const uint32_t* pixels, uint32_t width, uint32_t height) override;
    SDL_Window* Window() const override { return window; }

private:
    void DropTexture();

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    const char* title = "";
    uint32_t width = 0;
    uint32_t height = 0;
    bool ownsWindow = false;
    bool videoStarted = false;
};

} // namespace Raster
