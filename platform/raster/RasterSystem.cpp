// Adapters, caps, format checks and device creation of the software device.
#include "platform/raster/RasterSystem.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

namespace Raster
{
namespace
{

AdapterInfo AdapterOfDisplay(int display)
{
    AdapterInfo info;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(display, &mode) == 0 && mode.w > 0 && mode.h > 0)
    {
        info.desktop.width = uint32_t(mode.w);
        info.desktop.height = uint32_t(mode.h);
        RasterSystem::CapDesktopSize(info.desktop.width, info.desktop.height);
        info.desktop.refreshRate = uint32_t(std::max(mode.refresh_rate, 0));
    }
    info.monitor = uintptr_t(display) + 1;
    std::snprintf(info.identifier.driver, sizeof info.identifier.driver, "software");
    const char* name = SDL_GetDisplayName(display);
    std::snprintf(info.identifier.description, sizeof info.identifier.description,
                  "Software rasterizer on %s", name ? name : "display");
    info.identifier.deviceIdentifier[0] = uint8_t(display + 1);
    info.caps.devCaps = Value::DevCapsHwTransformAndLight;
    return info;
}

} // namespace

void RasterSystem::CapDesktopSize(uint32_t& width, uint32_t& height)
{
    if (width == 0 || height == 0 || (width <= DesktopWidthCap && height <= DesktopHeightCap))
        return;
    // Capping each side on its own would turn a 4:3 or 16:10 desktop into a widescreen one.
    const uint64_t w = width;
    const uint64_t h = height;
    if (w * DesktopHeightCap <= h * DesktopWidthCap)
    {
        width = uint32_t(std::max<uint64_t>(1, (w * DesktopHeightCap + h / 2) / h));
        height = DesktopHeightCap;
    }
    else
    {
        height = uint32_t(std::max<uint64_t>(1, (h * DesktopWidthCap + w / 2) / w));
        width = DesktopWidthCap;
    }
}

RasterSystem::RasterSystem(SystemOptions options)
    : adapters(std::move(options.adapters)), presenters(std::move(options.presenters)),
      control(std::make_shared<RasterControl>())
{
    if (!adapters.empty())
        return;
    fromDisplays = true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
    {
        videoStarted = true;
        const int displays = SDL_GetNumVideoDisplays();
        for (int d = 0; d < displays; ++d)
            adapters.push_back(AdapterOfDisplay(d));
    }
    if (adapters.empty())
        adapters.push_back(AdapterOfDisplay(-1));
}

RasterSystem::~RasterSystem()
{
    if (videoStarted)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

uint32_t RasterSystem::GetAdapterCount()
{
    control->Enter(Call::GetAdapterCount);
    return uint32_t(adapters.size());
}

Result RasterSystem::GetAdapterIdentifier(uint32_t adapter, uint32_t flags, AdapterIdentifier& out)
{
    (void)flags;
    const Result injected = control->Enter(Call::GetAdapterIdentifier);
    if (injected != Result::Ok)
        return injected;
    if (adapter >= adapters.size())
        return Result::InvalidCall;
    out = adapters[adapter].identifier;
    return Result::Ok;
}

uintptr_t RasterSystem::GetAdapterMonitor(uint32_t adapter)
{
    return adapter < adapters.size() ? adapters[adapter].monitor : 0;
}

Result RasterSystem::GetAdapterDisplayMode(uint32_t adapter, DisplayMode& out)
{
    const Result injected = control->Enter(Call::GetAdapterDisplayMode);
    if (injected != Result::Ok)
        return injected;
    if (adapter >= adapters.size())
        return Result::InvalidCall;
    out = adapters[adapter].desktop;
    return Result::Ok;
}

Result RasterSystem::GetDeviceCaps(uint32_t adapter, DeviceType type, DeviceCaps& out)
{
    const Result injected = control->Enter(Call::GetDeviceCaps);
    if (injected != Result::Ok)
        return injected;
    if (adapter >= adapters.size())
        return Result::InvalidCall;
    const AdapterInfo& info = adapters[adapter];
    const bool offered =
        (type == DeviceType::Hal && info.hasHal) || (type == DeviceType::Reference && info.hasReference);
    if (!offered)
        return Result::NotAvailable;
    out = info.caps;
    out.deviceType = type;
    out.adapterOrdinal = adapter;
    return Result::Ok;
}

Result RasterSystem::CheckDeviceFormat(uint32_t adapter, DeviceType type, Format adapterFormat,
                                       uint32_t usage, ResourceType resource, Format format)
{
    (void)usage;
    const Result injected = control->Enter(Call::CheckDeviceFormat);
    if (injected != Result::Ok)
        return injected;
    if (adapter >= adapters.size())
        return Result::InvalidCall;
    const AdapterInfo& info = adapters[adapter];
    if (!((type == DeviceType::Hal && info.hasHal) || (type == DeviceType::Reference && info.hasReference)))
        return Result::NotAvailable;
    if (resource != ResourceType::Texture)
        return Result::NotAvailable;
    if (adapterFormat == Format::X8R8G8B8 && format == Format::A8R8G8B8 && info.argbTextures)
        return Result::Ok;
    if (adapterFormat == Format::R5G6B5 && format == Format::R5G6B5 && info.rgb565Textures)
        return Result::Ok;
    return Result::NotAvailable;
}

Result RasterSystem::CreateDevice(uint32_t adapter, DeviceType type, SDL_Window* focusWindow,
                                  uint32_t behaviourFlags, PresentParams& params,
                                  std::unique_ptr<RasterDevice>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::CreateDevice);
    if (injected != Result::Ok)
        return injected;
    const uint32_t processing =
        behaviourFlags & (Value::CreateSoftwareVertexProcessing | Value::CreateHardwareVertexProcessing);
    if (processing != Value::CreateSoftwareVertexProcessing &&
        processing != Value::CreateHardwareVertexProcessing)
        return Result::InvalidCall;
    DeviceCaps caps;
    const Result capsResult = GetDeviceCaps(adapter, type, caps);
    if (capsResult != Result::Ok)
        return capsResult == Result::NotAvailable ? Result::NotAvailable : Result::InvalidCall;
    SDL_Window* window = params.deviceWindow ? params.deviceWindow : focusWindow;
    std::unique_ptr<RasterPresenter> presenter;
    if (presenters)
        presenter = presenters(window);
    else if (window)
        presenter = std::make_unique<SdlPresenter>(window);
    auto device = std::make_unique<RasterDevice>(control, caps, std::move(presenter));
    const Result started = device->Start(params);
    if (started != Result::Ok)
        return started;
    out = std::move(device);
    return Result::Ok;
}

uintptr_t RasterSystem::MonitorOfWindow(SDL_Window* window) const
{
    if (!window || !fromDisplays)
        return adapters.empty() ? 0 : adapters.front().monitor;
    const int display = SDL_GetWindowDisplayIndex(window);
    return display < 0 ? adapters.front().monitor : uintptr_t(display) + 1;
}

} // namespace Raster
