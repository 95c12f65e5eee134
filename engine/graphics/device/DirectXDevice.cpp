// Adapter choice, creation, frames, present and recovery of the graphics device.
#include "engine/graphics/device/DirectXDevice.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/base/ResourceManager.h"
#include "engine/graphics/device/DynamicBuffers.h"
#include "engine/graphics/device/RenderStats.h"
#include "engine/graphics/device/RenderTarget.h"
#include "engine/graphics/textures/ResourceTextureD3D.h"

#include "platform/raster/RasterDevice.h"
#include "platform/raster/RasterSystem.h"
#include "platform/system/Clock.h"
#include "platform/window/MessageBox.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace TarnEngine
{

const wchar_t* const DeviceCaptionCriticalError = L"Critical Error";
const wchar_t* const DeviceMessageNoAdapter =
    L"We are unable to find a way to display the game adequately.\n\nThis may be due to other running "
    L"graphically intensive applications, or a computer that is below our minimum system requirements.";
const wchar_t* const DeviceMessageOutOfVideoMemory =
    L"Not enough available video memory. Please close any other graphically intensive applications that "
    L"are running to free up memory, and then try running this game again.";

using Raster::Result;

// A line on the rendering channel when there is a logger.
#define DEVICE_LOG(...)                                                                                      \
    do                                                                                                       \
    {                                                                                                        \
        if (ILogger* logger = ILogger::Get())                                                                \
            logger->Log(LogRendering, __FILE__, __LINE__, __VA_ARGS__);                                      \
    } while (0)

namespace
{

constexpr uint32_t MinimumTextureSide = 1024;
constexpr uint32_t LogicalWidth = 1024;
constexpr uint32_t LogicalHeight = 768;
// A fatal error never ends the process with 0.
constexpr int FatalExitCode = 1;

uint32_t typeRank(Raster::DeviceType type)
{
    switch (type)
    {
    case Raster::DeviceType::Hal:
        return 0;
    case Raster::DeviceType::Software:
        return 1;
    default:
        return 2;
    }
}

bool sameAdapter(const Raster::AdapterIdentifier& a, const Raster::AdapterIdentifier& b)
{
    return std::memcmp(a.deviceIdentifier, b.deviceIdentifier, sizeof a.deviceIdentifier) == 0 &&
           std::memcmp(&a, &b, sizeof a) == 0;
}

void fillDefaults(DeviceServices& s)
{
    if (!s.createSystem)
        s.createSystem = [] { return std::make_shared<Raster::RasterSystem>(); };
    if (!s.showMessage)
        s.showMessage = [](const std::wstring& caption, const std::wstring& text)
        { Platform::ShowSystemMessageBox(nullptr, caption, text); };
    if (!s.fatalExit)
        s.fatalExit = [](const std::wstring& caption, const std::wstring& text)
        {
            Platform::ShowSystemMessageBox(nullptr, caption, text);
            std::exit(FatalExitCode);
        };
    if (!s.sleep)
        s.sleep = [](uint32_t ms) { Platform::SleepMilliseconds(ms); };
    if (!s.isDesktopLocked)
        s.isDesktopLocked = [] { return false; };
    if (!s.logicalScreenSize)
        s.logicalScreenSize = [](uint32_t& w, uint32_t& h)
        {
            w = LogicalWidth;
            h = LogicalHeight;
        };
}

} // namespace

DirectXDevice::DirectXDevice(DeviceServices deviceServices)
    : stateCache(this), services(std::move(deviceServices))
{
    fillDefaults(services);
}

DirectXDevice::~DirectXDevice()
{
    // Resources still held elsewhere give their storage up and forget the device, so that they can
    // be used or deleted later without reaching it.
    NotifyLost();
    while (!subscribers.empty())
    {
        RenderEventSubscriber* subscriber = *subscribers.begin();
        subscribers.erase(subscribers.begin());
        subscriber->OnDeviceDestroyed();
    }
    Shutdown();
    system.reset();
    subscribers.clear();
    recreateFinishListeners.clear();
}

bool DirectXDevice::Init(IRenderWindow* renderWindow, bool fullScreen)
{
    window = renderWindow;
    system = services.createSystem();
    if (!system)
        return false;
    presentParams = Raster::PresentParams{};
    presentParams.backBufferCount = 1;
    presentParams.swapEffect = Raster::Value::SwapEffectCopy;
    presentParams.deviceWindow = window ? window->GetSdlWindow() : nullptr;
    presentParams.windowed = !fullScreen;
    presentParams.enableAutoDepthStencil = true;
    presentParams.autoDepthStencilFormat = Raster::Format::D16;
    presentParams.flags = 0;
    presentParams.fullScreenRefreshRate = 0;
    presentParams.presentationInterval = Raster::Value::PresentIntervalOne;
    if (!CreateDevice())
        return false;
    state = StateRunning;
    return true;
}

void DirectXDevice::Shutdown()
{
    state = StateNone;
    Invalidate();
    inScene = false;
    device.reset();
}

bool DirectXDevice::ChooseAdapter(const std::vector<Raster::AdapterIdentifier>& excluded)
{
    if (!system)
        return false;
    const uintptr_t target = window ? window->GetMonitor() : system->MonitorOfWindow(nullptr);
    std::vector<Raster::DeviceCaps> candidates;
    const uint32_t count = system->GetAdapterCount();
    for (uint32_t adapter = 0; adapter < count; ++adapter)
    {
        Raster::AdapterIdentifier identifier;
        system->GetAdapterIdentifier(adapter, 0, identifier);
        const bool isExcluded = std::any_of(excluded.begin(), excluded.end(),
                                            [&](const auto& e) { return sameAdapter(e, identifier); });
        if (isExcluded || system->GetAdapterMonitor(adapter) != target)
            continue;
        Raster::DeviceCaps found;
        if (system->GetDeviceCaps(adapter, Raster::DeviceType::Hal, found) != Result::Ok &&
            system->GetDeviceCaps(adapter, Raster::DeviceType::Reference, found) != Result::Ok)
            continue;
        found.adapterOrdinal = adapter;
        candidates.push_back(found);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Raster::DeviceCaps& a, const Raster::DeviceCaps& b)
                     {
                         if (typeRank(a.deviceType) != typeRank(b.deviceType))
                             return typeRank(a.deviceType) < typeRank(b.deviceType);
                         const bool tlA = a.devCaps & Raster::Value::DevCapsHwTransformAndLight;
                         const bool tlB = b.devCaps & Raster::Value::DevCapsHwTransformAndLight;
                         return tlA && !tlB;
                     });
    for (const auto& candidate : candidates)
    {
        if (candidate.maxTextureWidth >= MinimumTextureSide &&
            candidate.maxTextureHeight >= MinimumTextureSide)
        {
            caps = candidate;
            return true;
        }
    }
    return false;
}

bool DirectXDevice::CreateDevice()
{
    std::vector<Raster::AdapterIdentifier> excluded;
    // Every pass excludes one adapter, so the passes end; the bound guards against adapters whose
    // identity cannot be read.
    const uint32_t passes = (system ? system->GetAdapterCount() : 0) + 1;
    for (uint32_t pass = 0; pass < passes; ++pass)
    {
        if (!ChooseAdapter(excluded))
            break;
        const uint32_t adapter = caps.adapterOrdinal;
        auto exclude = [&]
        {
            Raster::AdapterIdentifier identifier;
            system->GetAdapterIdentifier(adapter, 0, identifier);
            excluded.push_back(identifier);
        };
        const bool hardwareTL = (caps.devCaps & Raster::Value::DevCapsHwTransformAndLight) &&
                                caps.deviceType == Raster::DeviceType::Hal;
        const uint32_t processing = hardwareTL ? Raster::Value::CreateHardwareVertexProcessing
                                               : Raster::Value::CreateSoftwareVertexProcessing;
        Raster::DisplayMode mode;
        if (system->GetAdapterDisplayMode(adapter, mode) != Result::Ok)
        {
            exclude();
            continue;
        }
        desktopFormat = mode.format;
        desktopWidth = mode.width;
        desktopHeight = mode.height;
        if (system->CheckDeviceFormat(adapter, caps.deviceType, Raster::Format::X8R8G8B8, 0,
                                      Raster::ResourceType::Texture, Raster::Format::A8R8G8B8) == Result::Ok)
            fullScreenFormat = Raster::Format::X8R8G8B8;
        else if (system->CheckDeviceFormat(adapter, caps.deviceType, Raster::Format::R5G6B5, 0,
                                           Raster::ResourceType::Texture,
                                           Raster::Format::R5G6B5) == Result::Ok)
            fullScreenFormat = Raster::Format::R5G6B5;
        else
        {
            exclude();
            continue;
        }
        presentParams.presentationInterval = Raster::Value::PresentIntervalOne;
        presentParams.backBufferFormat = presentParams.windowed ? desktopFormat : fullScreenFormat;
        ApplyBackBufferRule();
        SDL_Window* focus = window ? window->GetSdlWindow() : nullptr;
        if (system->CreateDevice(adapter, caps.deviceType, focus, processing, presentParams, device) !=
            Result::Ok)
        {
            device.reset();
            exclude();
            continue;
        }
        adapterMonitor = system->GetAdapterMonitor(adapter);
        DEVICE_LOG(L"Graphics device on adapter %u, back buffer %ux%u", adapter,
                   presentParams.backBufferWidth, presentParams.backBufferHeight);
        if (services.markDeviceCreated)
            services.markDeviceCreated();
        inScene = false;
        return Restore();
    }
    DEVICE_LOG(L"No graphics adapter can show the window");
    services.showMessage(DeviceCaptionCriticalError, DeviceMessageNoAdapter);
    return false;
}

DirectXDevice::BackBufferLayout DirectXDevice::BackBufferRule(bool widescreen) const
{
    uint32_t width = LogicalWidth;
    uint32_t height = LogicalHeight;
    services.logicalScreenSize(width, height);
    BackBufferLayout layout;
    if (widescreen && !presentParams.windowed && height > 0 && desktopHeight > 0 && desktopWidth >= width &&
        desktopHeight >= height && float(desktopWidth) / float(desktopHeight) >= 1.5f)
    {
        layout.width = desktopWidth;
        layout.height = desktopHeight;
        layout.format = desktopFormat;
        layout.viewScale = float(desktopHeight) / float(height);
        const int32_t shown = int32_t(desktopHeight) * int32_t(width) / int32_t(height);
        layout.viewOffsetX = (int32_t(desktopWidth) - shown) / 2;
    }
    else
    {
        layout.width = width;
        layout.height = height;
        layout.format = presentParams.windowed ? desktopFormat : fullScreenFormat;
    }
    return layout;
}

void DirectXDevice::ApplyBackBufferRule()
{
    const BackBufferLayout layout = BackBufferRule(widescreenMode);
    presentParams.backBufferWidth = layout.width;
    presentParams.backBufferHeight = layout.height;
    presentParams.backBufferFormat = layout.format;
    viewScale = layout.viewScale;
    viewOffsetX = layout.viewOffsetX;
    viewOffsetY = layout.viewOffsetY;
    if (window)
        window->SetClientSize(presentParams.backBufferWidth, presentParams.backBufferHeight, true);
}

bool DirectXDevice::ResetDevice()
{
    const bool wasInScene = inScene;
    if (inScene && device)
        device->EndScene();
    inScene = false;
    ApplyBackBufferRule();
    const Result result = device ? device->Reset(presentParams) : Result::NotAvailable;
    if (result != Result::Ok)
    {
        switch (result)
        {
        case Result::OutOfVideoMemory:
            state = StateOutOfVideoMemory;
            break;
        case Result::DriverInternalError:
            state = StateDriverFailure;
            break;
        case Result::DeviceLost:
        case Result::NotAvailable:
            state = StateLost;
            break;
        default:
            state = StateResetFailure;
            break;
        }
        Invalidate();
        DEVICE_LOG(L"Device reset failed (%S), state 0x%x", Raster::ResultName(result), state);
        return false;
    }
    stateCache.ApplyDefaults();
    if (wasInScene && device->BeginScene() == Result::Ok)
        inScene = true;
    return true;
}

void DirectXDevice::NotifyLost()
{
    // Walked by key, so a subscriber that leaves during the walk does not upset it.
    for (auto it = subscribers.begin(); it != subscribers.end();)
    {
        RenderEventSubscriber* subscriber = *it;
        subscriber->OnDeviceLost();
        it = subscribers.upper_bound(subscriber);
    }
}

bool DirectXDevice::Restore()
{
    stateCache.ApplyDefaults();
    for (auto it = subscribers.begin(); it != subscribers.end();)
    {
        RenderEventSubscriber* subscriber = *it;
        subscriber->OnDeviceReset();
        it = subscribers.upper_bound(subscriber);
    }
    Clear(true, false, clearColour);
    return true;
}

void DirectXDevice::NotifyRecreateFinished()
{
    const auto listeners = recreateFinishListeners;
    for (IRecreateFinishListener* listener : listeners)
        listener->OnRecreateFinished();
}

void DirectXDevice::FatalVideoMemory()
{
    state = StateOutOfVideoMemory;
    Invalidate();
    if (fatalShown)
        return;
    fatalShown = true;
    DEVICE_LOG(L"Video memory exhausted");
    services.fatalExit(DeviceCaptionCriticalError, DeviceMessageOutOfVideoMemory);
}

void DirectXDevice::OnCreationFailure(Result result)
{
    if (result == Result::OutOfVideoMemory)
        FatalVideoMemory();
    else if (result == Result::DeviceLost)
    {
        state = StateLost;
        Invalidate();
    }
}

std::shared_ptr<Raster::RasterTexture> DirectXDevice::MakeTexture(uint32_t width, uint32_t height,
                                                                  bool renderTarget)
{
    std::shared_ptr<Raster::RasterTexture> texture;
    if (!IsCreated() || !device)
        return texture;
    const Result result = device->CreateTexture(
        width, height, 1, renderTarget ? Raster::Value::UsageRenderTarget : 0, Raster::Format::A8R8G8B8,
        renderTarget ? Raster::Pool::Default : Raster::Pool::Managed, texture);
    if (result != Result::Ok)
    {
        OnCreationFailure(result);
        texture.reset();
    }
    return texture;
}

std::shared_ptr<Raster::RasterSurface> DirectXDevice::MakeDepthSurface(uint32_t width, uint32_t height)
{
    std::shared_ptr<Raster::RasterSurface> surface;
    if (!IsCreated() || !device)
        return surface;
    const Result result =
        device->CreateDepthStencilSurface(width, height, Raster::Format::D16, true, surface);
    if (result != Result::Ok)
    {
        OnCreationFailure(result);
        surface.reset();
    }
    return surface;
}

std::shared_ptr<Raster::RasterSurface> DirectXDevice::MakeOffscreenSurface(uint32_t width, uint32_t height,
                                                                           bool alpha)
{
    std::shared_ptr<Raster::RasterSurface> surface;
    if (!IsCreated() || !device)
        return surface;
    const Result result = device->CreateOffscreenPlainSurface(
        width, height, alpha ? Raster::Format::A8R8G8B8 : Raster::Format::X8R8G8B8, Raster::Pool::SystemMem,
        surface);
    if (result != Result::Ok)
    {
        OnCreationFailure(result);
        surface.reset();
    }
    return surface;
}

std::unique_ptr<IDynamicVertexBuffer> DirectXDevice::CreateDynamicVertexBuffer(IBufferFiller* filler,
                                                                               uint32_t count,
                                                                               uint32_t stride, uint32_t fvf,
                                                                               bool readable)
{
    auto buffer = std::make_unique<DynamicVertexBuffer>(this, filler, count, stride, fvf, readable);
    if (!buffer->Create())
        return nullptr;
    return buffer;
}

std::unique_ptr<IDynamicIndexBuffer> DirectXDevice::CreateDynamicIndexBuffer(IBufferFiller* filler,
                                                                             uint32_t count, bool readable)
{
    auto buffer = std::make_unique<DynamicIndexBuffer>(this, filler, count, readable);
    if (!buffer->Create())
        return nullptr;
    return buffer;
}

RefPtr<IResourceTexture> DirectXDevice::CreateDynamicTexture(Recreater* recreater, uint32_t statsCounter)
{
    static uint32_t next = 0;
    const std::wstring name = L"dynamic_texture_" + std::to_wstring(next++);
    return RefPtr<IResourceTexture>(new ResourceTextureD3D(this, recreater, name, statsCounter));
}

RefPtr<IResourceTexture> DirectXDevice::CreateTexture(const std::wstring& name, uint32_t statsCounter)
{
    ResourceManager* manager = ResourceManager::Get();
    if (manager)
    {
        RefPtr<ResourceBaseCounted> found = manager->Find(name);
        if (auto* texture = dynamic_cast<IResourceTexture*>(found.Get()))
            return RefPtr<IResourceTexture>(texture);
    }
    RefPtr<IResourceTexture> texture(
        new ResourceTextureD3D(this, GetFileTextureRecreater(), name, statsCounter));
    if (manager)
        manager->Add(name, WeakPtr<ResourceBaseCounted>(texture.Get()));
    return texture;
}

RefPtr<IRenderTarget> DirectXDevice::CreateRenderTarget(IRenderTargetListener* listener, ImageSize size)
{
    static uint32_t next = 0;
    const std::wstring name = L"render_target_" + std::to_wstring(next++);
    RefPtr<IRenderTarget> target(new RenderTarget(this, listener, size, name));
    if (!target->Load())
        return nullptr;
    return target;
}

void DirectXDevice::AddEventSubscriber(RenderEventSubscriber* subscriber)
{
    if (subscriber)
        subscribers.insert(subscriber);
}

void DirectXDevice::RemoveEventSubscriber(RenderEventSubscriber* subscriber)
{
    subscribers.erase(subscriber);
}

void DirectXDevice::AddRecreateFinishListener(IRecreateFinishListener* listener)
{
    if (listener)
        recreateFinishListeners.push_back(listener);
}

void DirectXDevice::RemoveRecreateFinishListener(IRecreateFinishListener* listener)
{
    auto it = std::find(recreateFinishListeners.begin(), recreateFinishListeners.end(), listener);
    if (it != recreateFinishListeners.end())
        recreateFinishListeners.erase(it);
}

bool DirectXDevice::BeginFrame()
{
    if (state == StateNone)
        return false;
    if (state & StateSuspended)
    {
        switch (state)
        {
        case StateOutOfVideoMemory:
            FatalVideoMemory();
            return false;
        case StateLost:
            if (device)
            {
                const Result level = device->TestCooperativeLevel();
                if (level == Result::DeviceNotReset || level == Result::Ok)
                {
                    NotifyLost();
                    if (level == Result::DeviceNotReset && !ResetDevice())
                        return false;
                    Restore();
                    state = StateRunning;
                    Invalidate();
                    NotifyRecreateFinished();
                    return false;
                }
                services.sleep(100);
                return false;
            }
            // A lost device that is gone altogether can only be made again.
            [[fallthrough]];
        case StateMonitorLeft:
        case StateDriverFailure:
        case StateResetFailure:
            NotifyLost();
            inScene = false;
            device.reset();
            if (CreateDevice())
            {
                state = StateRunning;
                Invalidate();
                NotifyRecreateFinished();
            }
            else
            {
                DEVICE_LOG(L"Device re-creation failed, state 0x%x", state);
                services.sleep(1000);
            }
            break;
        default:
            break;
        }
    }
    if (!IsRunning() || !redrawMark || !device)
        return false;
    if (device->BeginScene() != Result::Ok)
        return false;
    inScene = true;
    stateCache.SetRenderState(Raster::RenderState::CullMode, Raster::Value::CullNone, false);
    const bool debugDraw = RenderStats::Get().IsDebugDraw();
    if (clearOnBegin)
        return Clear(true, true, debugDraw ? 0 : clearColour);
    return debugDraw ? Clear(true, true, 0) : Clear(false, true, 0);
}

void DirectXDevice::EndFrame()
{
    if (device)
        device->EndScene();
    inScene = false;
}

void DirectXDevice::Present()
{
    if (!IsRunning() || !device)
        return;
    const Result result = device->Present();
    if (result == Result::DeviceLost)
    {
        DEVICE_LOG(L"Device lost at present");
        services.sleep(100);
        state = StateLost;
        Invalidate();
        if (!services.isDesktopLocked())
        {
            services.sleep(100);
            if (window)
                window->Invalidate();
        }
        return;
    }
    if (result != Result::Ok)
        return;
    if (services.frameHook)
        services.frameHook();
    RenderStats& stats = RenderStats::Get();
    stateCache.ResetDebugHue(stats.drawCalls ? 360.0f / float(stats.drawCalls) : 1.0f);
    stats.drawCalls = 0;
}

void DirectXDevice::DrawIndexed(const DrawCall& call, IDynamicVertexBuffer* vertices,
                                IDynamicIndexBuffer* indices)
{
    if (!device || !vertices || !indices)
        return;
    vertices->Bind(0, false);
    indices->Bind(false);
    stateCache.ApplyMaterial(call);
    device->DrawIndexedPrimitive(call.primitiveType, 0, call.minVertexIndex, call.vertexCount,
                                 call.startIndex, call.primitiveCount);
    if (call.material & eMaterialMaskClear)
        Clear(false, true, 0);
    ++RenderStats::Get().drawCalls;
}

bool DirectXDevice::Clear(bool colour, bool depth, uint32_t clearColourValue)
{
    if (!device)
        return false;
    const uint32_t flags =
        (colour ? Raster::Value::ClearTarget : 0u) | (depth ? Raster::Value::ClearZBuffer : 0u);
    return device->Clear(flags, clearColourValue, 1.0f) == Result::Ok;
}

bool DirectXDevice::CanRender()
{
    return IsCreated() && IsRunning() && !changingMode && device &&
           device->TestCooperativeLevel() == Result::Ok;
}

void DirectXDevice::SetLost(bool recover)
{
    state = recover ? StateLost : StateSuspended;
    Invalidate();
}

bool DirectXDevice::SetFullscreen(bool fullScreen)
{
    if (presentParams.windowed && !fullScreen)
        return false;
    changingMode = true;
    presentParams.windowed = !fullScreen;
    NotifyLost();
    if (!ResetDevice())
    {
        state = StateLost;
        Invalidate();
        changingMode = false;
        return false;
    }
    Restore();
    changingMode = false;
    NotifyRecreateFinished();
    Invalidate();
    return true;
}

bool DirectXDevice::SetBackBufferSize(uint32_t width, uint32_t height)
{
    if (width == presentParams.backBufferWidth && height == presentParams.backBufferHeight)
        return true;
    presentParams.backBufferWidth = width;
    presentParams.backBufferHeight = height;
    NotifyLost();
    if (!ResetDevice())
        return false;
    Restore();
    Invalidate();
    NotifyRecreateFinished();
    return true;
}

bool DirectXDevice::SetLockableBackBuffer(bool lockable)
{
    if (inScene)
        return false;
    if (lockable)
    {
        NotifyLost();
        if (!device)
            return false;
        Raster::PresentParams copy = presentParams;
        copy.flags = Raster::Value::PresentFlagLockableBackBuffer;
        if (device->Reset(copy) == Result::Ok)
            return true;
        // Everyone gave their resources up: the next frame must restore them, as after a loss.
        state = StateLost;
        Invalidate();
        return false;
    }
    if (ResetDevice())
    {
        Restore();
        NotifyRecreateFinished();
    }
    return true;
}

void DirectXDevice::CheckMonitor()
{
    if (!window)
        return;
    if (window->GetMonitor() == adapterMonitor)
        return;
    DeviceRect monitorRect, windowRect;
    bool overlap = false;
    if (window->GetMonitorRect(adapterMonitor, monitorRect) && window->GetWindowRect(windowRect))
    {
        overlap =
            std::max(monitorRect.left, windowRect.left) < std::min(monitorRect.right, windowRect.right) &&
            std::max(monitorRect.top, windowRect.top) < std::min(monitorRect.bottom, windowRect.bottom);
    }
    if (!overlap)
    {
        state = StateMonitorLeft;
        Invalidate();
    }
}

void DirectXDevice::SetTransforms(const Matrix4* world, const Matrix4* view, const Matrix4* projection)
{
    auto convert = [](const Matrix4* m)
    {
        Raster::Matrix4 out;
        if (m)
            std::memcpy(out.m, m->m, sizeof out.m);
        return out;
    };
    stateCache.SetWorld(convert(world), false);
    stateCache.SetView(convert(view), false);
    stateCache.SetProjection(convert(projection), false);
}

uint32_t DirectXDevice::GetAvailableTextureMemory()
{
    return device ? device->GetAvailableTextureMem() : 0;
}

void DirectXDevice::GetBackBufferSize(uint32_t* width, uint32_t* height)
{
    if (width)
        *width = presentParams.backBufferWidth;
    if (height)
        *height = presentParams.backBufferHeight;
}

void DirectXDevice::GetDesktopSize(uint32_t* width, uint32_t* height)
{
    if (width)
        *width = desktopWidth;
    if (height)
        *height = desktopHeight;
}

void DirectXDevice::SetWidescreenMode(bool on)
{
    if (on == widescreenMode)
        return;
    // A window, or a desktop too narrow for borders, shows the same back buffer either way: the
    // reset would only throw away and make again everything the device holds (at start-up, when
    // the game turns the borders on, that is a whole back buffer and the presenter's texture).
    const BackBufferLayout next = BackBufferRule(on);
    const bool same = device && next.width == presentParams.backBufferWidth &&
                      next.height == presentParams.backBufferHeight && next.format == presentParams.backBufferFormat &&
                      next.viewScale == viewScale && next.viewOffsetX == viewOffsetX && next.viewOffsetY == viewOffsetY;
    widescreenMode = on;
    if (same)
        return;
    NotifyLost();
    if (ResetDevice())
    {
        Restore();
        NotifyRecreateFinished();
    }
    else
    {
        state = StateLost;
        Invalidate();
    }
}

} // namespace TarnEngine
