// The graphics device over the software rasterizer: adapter choice, device creation with fixed
// present parameters, the scene of every frame, present, and recovery on its own when the device
// is lost, the driver fails or the window moves to another monitor. Recovery is driven by the
// state word: failures set it, the next BeginFrame resets or re-creates the device, tells the
// subscribers "lost" then "reset", and tells the recreate-finished listeners.
//
// What belongs to the rest of the engine (loading the device system, message boxes, the fatal
// exit, sleeping, the logical screen size, the reporting module's frame hook) comes in through
// DeviceServices, so tests run every path without a display and without waiting.
#pragma once

#include "engine/graphics/device/DeviceStateCache.h"
#include "engine/graphics/textures/IGIL.h"

#include "platform/raster/RasterTypes.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace Raster
{
class RasterSystem;
class RasterDevice;
class RasterTexture;
class RasterSurface;
} // namespace Raster

namespace TarnEngine
{

struct DeviceServices
{
    // Stands for loading the device library: null means there is none (Init fails silently).
    std::function<std::shared_ptr<Raster::RasterSystem>()> createSystem;
    // A message box that returns (no usable adapter).
    std::function<void(const std::wstring& caption, const std::wstring& text)> showMessage;
    // A message box, then the end of the process (video memory exhausted). Tests return from it.
    std::function<void(const std::wstring& caption, const std::wstring& text)> fatalExit;
    std::function<void(uint32_t milliseconds)> sleep;
    // The reporting module's per-frame hook; called after a successful present when set.
    std::function<void()> frameHook;
    // The desktop is locked or the console disconnected.
    std::function<bool()> isDesktopLocked;
    // Start stamp of the start-up timing, taken when a device was made.
    std::function<void()> markDeviceCreated;
    // The user interface's logical screen size (1024 x 768 for the game).
    std::function<void(uint32_t& width, uint32_t& height)> logicalScreenSize;
};

// The system's own texts of the device's messages.
extern const wchar_t* const DeviceCaptionCriticalError;    // 901
extern const wchar_t* const DeviceMessageNoAdapter;        // 902
extern const wchar_t* const DeviceMessageOutOfVideoMemory; // 904

class DirectXDevice : public IGIL
{
public:
    // State word: 0x1000 running, 0x100 not usable.
    enum : uint32_t
    {
        StateNone = 0,
        StateRunning = 0x1000,
        StateSuspended = 0x100,
        StateOutOfVideoMemory = 0x101,
        StateMonitorLeft = 0x102,
        StateLost = 0x104,
        StateDriverFailure = 0x110,
        StateResetFailure = 0x120,
    };

    explicit DirectXDevice(DeviceServices services = {});
    ~DirectXDevice() override;
    DirectXDevice(const DirectXDevice&) = delete;
    DirectXDevice& operator=(const DirectXDevice&) = delete;

    bool Init(IRenderWindow* window, bool fullScreen) override;
    void Shutdown() override;
    std::unique_ptr<IDynamicVertexBuffer> CreateDynamicVertexBuffer(IBufferFiller* filler, uint32_t count,
                                                                    uint32_t stride, uint32_t fvf,
                                                                    bool readable) override;
    std::unique_ptr<IDynamicIndexBuffer> CreateDynamicIndexBuffer(IBufferFiller* filler, uint32_t count,
                                                                  bool readable) override;
    RefPtr<IResourceTexture> CreateDynamicTexture(Recreater* recreater, uint32_t statsCounter) override;
    RefPtr<IResourceTexture> CreateTexture(const std::wstring& name, uint32_t statsCounter) override;
    RefPtr<IRenderTarget> CreateRenderTarget(IRenderTargetListener* listener, ImageSize size) override;
    void AddEventSubscriber(RenderEventSubscriber* subscriber) override;
    void RemoveEventSubscriber(RenderEventSubscriber* subscriber) override;
    void AddRecreateFinishListener(IRecreateFinishListener* listener) override;
    void RemoveRecreateFinishListener(IRecreateFinishListener* listener) override;
    bool BeginFrame() override;
    void EndFrame() override;
    void Present() override;
    void DrawIndexed(const DrawCall& call, IDynamicVertexBuffer* vertices,
                     IDynamicIndexBuffer* indices) override;
    void Invalidate() override { redrawMark = true; }
    bool Clear(bool colour, bool depth, uint32_t clearColour) override;
    bool Is16Bit() override { return presentParams.backBufferFormat == Raster::Format::R5G6B5; }
    bool IsRunning() override { return (state & StateRunning) != 0; }
    bool IsLost() override { return (state & StateSuspended) != 0; }
    bool IsWindowed() override { return presentParams.windowed; }
    bool IsChangingMode() override { return changingMode; }
    bool RequiresSquareTextures() override
    {
        return (caps.textureCaps & Raster::Value::TextureCapsSquareOnly) != 0;
    }
    bool IsCreated() override { return state != StateNone; }
    bool CanRender() override;
    void SetLost(bool recover) override;
    bool SetFullscreen(bool fullScreen) override;
    bool SetBackBufferSize(uint32_t width, uint32_t height) override;
    bool SetLockableBackBuffer(bool lockable) override;
    void SetClearParams(bool onBegin, uint32_t colour) override
    {
        clearOnBegin = onBegin;
        clearColour = colour;
    }
    void CheckMonitor() override;
    void SetTransforms(const Matrix4* world, const Matrix4* view, const Matrix4* projection) override;
    uint32_t GetAvailableTextureMemory() override;
    void GetBackBufferSize(uint32_t* width, uint32_t* height) override;
    void GetDesktopSize(uint32_t* width, uint32_t* height) override;
    void SetWidescreenMode(bool on) override;
    bool IsWidescreenMode() override { return widescreenMode; }
    int32_t GetViewOffsetX() override { return viewOffsetX; }
    int32_t GetViewOffsetY() override { return viewOffsetY; }
    float GetViewScale() override { return viewScale; }

    // For the device resources.
    Raster::RasterDevice* GetRasterDevice() const { return device.get(); }
    DeviceStateCache& GetStateCache() { return stateCache; }
    // A creation call of a resource failed: video memory exhausted ends the program, a lost device
    // is recorded for the next BeginFrame.
    void OnCreationFailure(Raster::Result result);
    // Video-memory objects of the resources; null without a created device or when refused.
    std::shared_ptr<Raster::RasterTexture> MakeTexture(uint32_t width, uint32_t height, bool renderTarget);
    std::shared_ptr<Raster::RasterSurface> MakeDepthSurface(uint32_t width, uint32_t height);
    std::shared_ptr<Raster::RasterSurface> MakeOffscreenSurface(uint32_t width, uint32_t height, bool alpha);

    uint32_t GetState() const { return state; }
    const Raster::PresentParams& GetPresentParams() const { return presentParams; }
    const Raster::DeviceCaps& GetCaps() const { return caps; }
    Raster::RasterSystem* GetSystem() const { return system.get(); }

private:
    bool CreateDevice();
    bool ChooseAdapter(const std::vector<Raster::AdapterIdentifier>& excluded);
    // The back buffer and view the size rule gives for a widescreen setting.
    struct BackBufferLayout
    {
        uint32_t width = 0;
        uint32_t height = 0;
        Raster::Format format = Raster::Format::X8R8G8B8;
        float viewScale = 1.0f;
        int32_t viewOffsetX = 0;
        int32_t viewOffsetY = 0;
    };
    BackBufferLayout BackBufferRule(bool widescreen) const;
    void ApplyBackBufferRule();
    bool ResetDevice();
    void NotifyLost();
    bool Restore();
    void NotifyRecreateFinished();
    void FatalVideoMemory();

    std::unique_ptr<Raster::RasterDevice> device;
    DeviceStateCache stateCache;
    IRenderWindow* window = nullptr;
    std::set<RenderEventSubscriber*> subscribers;
    uint32_t clearColour = 0;
    bool clearOnBegin = true;
    Raster::DeviceCaps caps;
    Raster::PresentParams presentParams;
    Raster::Format desktopFormat = Raster::Format::X8R8G8B8;
    Raster::Format fullScreenFormat = Raster::Format::X8R8G8B8;
    uintptr_t adapterMonitor = 0;
    std::shared_ptr<Raster::RasterSystem> system;
    bool inScene = false;
    bool redrawMark = true;
    bool changingMode = false;
    uint32_t state = StateNone;
    uint32_t desktopWidth = 0;
    uint32_t desktopHeight = 0;
    float viewScale = 1.0f;
    bool widescreenMode = false;
    int32_t viewOffsetX = 0;
    int32_t viewOffsetY = 0;
    std::vector<IRecreateFinishListener*> recreateFinishListeners;
    DeviceServices services;
    bool fatalShown = false;
};

} // namespace TarnEngine
