// Where the software device's frames go. The device is given one presenter at creation: the SDL
// presenter shows the back buffer in an SDL2 window through a streaming texture (letting SDL scale
// it in full screen); the null presenter keeps the last frame for tests and shows nothing.
//
// A presenter can lose what it shows with: SDL's renderer may be reset under it, and the display
// mode may change under a full-screen window. It then reports itself lost until the device is
// reset, which configures it again; that is how the device learns that it is lost.
#pragma once

#include "platform/raster/RasterTypes.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace Raster
{

class RasterPresenter
{
public:
    virtual ~RasterPresenter() = default;
    // Prepares for frames of this size; called at device creation and at every reset. With vsync,
    // presenting waits for the display's vertical retrace.
    virtual bool Configure(uint32_t width, uint32_t height, bool windowed, bool vsync) = 0;
    // Shows one frame of 32-bit ARGB pixels, rows packed from the top.
    virtual Result Show(const uint32_t* pixels, uint32_t width, uint32_t height) = 0;
    // The window frames are shown in, when there is one.
    virtual SDL_Window* Window() const { return nullptr; }
    // What it shows with is gone; true until the next Configure.
    virtual bool IsLost() { return false; }
};

class NullPresenter : public RasterPresenter
{
public:
    bool Configure(uint32_t width, uint32_t height, bool windowed, bool vsync) override;
    Result Show(const uint32_t* pixels, uint32_t width, uint32_t height) override;
    bool IsLost() override { return lost; }

    uint32_t FrameCount() const { return frames; }
    const std::vector<uint32_t>& LastFrame() const { return last; }
    uint32_t Width() const { return width; }
    uint32_t Height() const { return height; }
    bool IsWindowed() const { return windowed; }
    bool IsVsync() const { return vsync; }
    uint32_t ConfigureCount() const { return configures; }
    // Stands for what SDL reports under a real window: lost until configured again.
    void Lose() { lost = true; }

private:
    std::vector<uint32_t> last;
    uint32_t frames = 0;
    uint32_t configures = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    bool windowed = true;
    bool vsync = false;
    bool lost = false;
};

// Tells from what SDL reports whether the display mode changed under a full-screen window. SDL
// does not learn of every mode change on every X server, so the window is watched too: once it
// has covered the desktop mode it was made full screen on, a window that no longer does means the
// mode changed under it. Sizes it passes through on its way to full screen do not count.
class FullScreenModeWatch
{
public:
    struct Look
    {
        int modeWidth = 0;
        int modeHeight = 0;
        int refreshRate = 0;
        uint32_t format = 0;
        // The window's size in pixels.
        int windowWidth = 0;
        int windowHeight = 0;
    };

    // Full screen was configured while the display looked like this.
    void Start(const Look& look);
    // Windowed: mode changes are the desktop's business.
    void Stop() { active = false; }
    bool IsActive() const { return active; }
    // Another look; true when the mode changed since Start.
    bool Changed(const Look& look);

private:
    Look start;
    bool active = false;
    bool covered = false;
};

class SdlPresenter : public RasterPresenter
{
public:
    // Shows frames in `window`; without one, a window is made on the first Configure and owned.
    explicit SdlPresenter(SDL_Window* window = nullptr, const char* title = "");
    ~SdlPresenter() override;
    SdlPresenter(const SdlPresenter&) = delete;
    SdlPresenter& operator=(const SdlPresenter&) = delete;

    bool Configure(uint32_t width, uint32_t height, bool windowed, bool vsync) override;
    Result Show(const uint32_t* pixels, uint32_t width, uint32_t height) override;
    SDL_Window* Window() const override { return window; }
    bool IsLost() override;

    // What SDL reports that concerns the presenter: renderer resets, display changes and the
    // window's size changes. Watched on SDL's event queue; tests may hand events in directly.
    void OnEvent(const SDL_Event& event);

private:
    static int WatchEvent(void* presenter, SDL_Event* event);
    bool Prepare(uint32_t width, uint32_t height, bool windowed, bool vsync);
    bool PrepareRenderer(uint32_t width, uint32_t height, bool windowed, bool vsync);
    // Copies the frame into the window's own surface; false when that surface cannot take it as it is.
    bool ShowDirect(const uint32_t* pixels, uint32_t width, uint32_t height);
    void DropTexture();
    FullScreenModeWatch::Look LookAtDisplay() const;

    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    const char* title = "";
    uint32_t width = 0;
    uint32_t height = 0;
    bool vsync = false;
    bool ownsWindow = false;
    // Frames go into the window's surface without a renderer (windowed, no GPU).
    bool direct = false;
    // The window surface whose pages were last asked for (a new surface after a resize is asked again).
    const void* prefaulted = nullptr;
    bool videoStarted = false;
    bool watching = false;
    FullScreenModeWatch modeWatch;
    // Set from SDL's event watch, which runs on whichever thread adds an event.
    std::atomic<bool> lost{false};
    std::atomic<bool> rendererReset{false};
    std::atomic<bool> displayToCheck{false};
};

} // namespace Raster
