// Entry point of the software device: the adapters (one per SDL display, or a list given by a
// test), their identifiers, monitors, caps, desktop modes and format checks, and device creation.
// The desktop mode reported for a display is scaled down, keeping its aspect ratio, to fit 1920x1080,
// so that the processor never draws more than a 1080p frame; SDL scales the back buffer to the
// real screen in full screen.
#pragma once

#include "platform/raster/RasterControl.h"
#include "platform/raster/RasterDevice.h"
#include "platform/raster/RasterTypes.h"

#include <functional>
#include <memory>
#include <vector>

namespace Raster
{

struct AdapterInfo
{
    AdapterIdentifier identifier;
    uintptr_t monitor = 1;
    DisplayMode desktop{1024, 768, 60, Format::X8R8G8B8};
    bool hasHal = true;
    bool hasReference = false;
    DeviceCaps caps;          // deviceType and adapterOrdinal are filled in per query
    bool argbTextures = true; // A8R8G8B8 textures on an X8R8G8B8 desktop
    bool rgb565Textures = true;
};

using PresenterFactory = std::function<std::unique_ptr<RasterPresenter>(SDL_Window* window)>;

struct SystemOptions
{
    // Empty: one adapter per SDL display.
    std::vector<AdapterInfo> adapters;
    // Null: an SDL presenter for devices with a window, a null presenter otherwise.
    PresenterFactory presenters;
};

class RasterSystem
{
public:
    static constexpr uint32_t DesktopWidthCap = 1920;
    static constexpr uint32_t DesktopHeightCap = 1080;

    // Scales a desktop size down to fit the cap with its aspect ratio kept (rounded to whole
    // pixels); a size within the cap is left as it is.
    static void CapDesktopSize(uint32_t& width, uint32_t& height);

    explicit RasterSystem(SystemOptions options = {});
    ~RasterSystem();
    RasterSystem(const RasterSystem&) = delete;
    RasterSystem& operator=(const RasterSystem&) = delete;

    uint32_t GetAdapterCount();
    Result GetAdapterIdentifier(uint32_t adapter, uint32_t flags, AdapterIdentifier& out);
    // Monitor handle of an adapter; 0 for an unknown adapter.
    uintptr_t GetAdapterMonitor(uint32_t adapter);
    Result GetAdapterDisplayMode(uint32_t adapter, DisplayMode& out);
    Result GetDeviceCaps(uint32_t adapter, DeviceType type, DeviceCaps& out);
    Result CheckDeviceFormat(uint32_t adapter, DeviceType type, Format adapterFormat, uint32_t usage,
                             ResourceType resource, Format format);
    Result CreateDevice(uint32_t adapter, DeviceType type, SDL_Window* focusWindow, uint32_t behaviourFlags,
                        PresentParams& params, std::unique_ptr<RasterDevice>& out);

    // The monitor handle of the display that shows most of `window` (the first when unknown).
    uintptr_t MonitorOfWindow(SDL_Window* window) const;

    std::shared_ptr<RasterControl> Control() const { return control; }

private:
    std::vector<AdapterInfo> adapters;
    PresenterFactory presenters;
    std::shared_ptr<RasterControl> control;
    bool fromDisplays = false;
    bool videoStarted = false;
};

} // namespace Raster
