// The graphics device interface through which all drawing of the engine goes, and the two kinds of
// observers of the device's life: objects that hold video memory (told before the device goes away
// and after it is back) and listeners told once a reset or re-creation has finished.
//
// Device loss is never returned to callers: it is kept in the device's state word, and the next
// BeginFrame recovers and answers false until drawing is possible again.
#pragma once

#include "engine/core/base/Matrix.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/graphics/textures/IResourceTexture.h"

#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

namespace TarnEngine
{

class IBufferFiller;
class IDynamicVertexBuffer;
class IDynamicIndexBuffer;

// Base of everything that holds device resources.
class RenderEventSubscriber
{
public:
    virtual ~RenderEventSubscriber() = default;
    virtual void OnDeviceLost() {}
    // The device ignores the result.
    virtual bool OnDeviceReset() { return true; }
    // The device is being deleted while this object still lives (after OnDeviceLost): the object
    // must never reach the device again.
    virtual void OnDeviceDestroyed() {}
};

class IRecreateFinishListener
{
public:
    virtual ~IRecreateFinishListener() = default;
    virtual void OnRecreateFinished() = 0;
};

struct DeviceRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// What the device needs of the render window. Monitor handles are those of the raster adapters
// (for adapters made from the displays: the display index + 1).
class IRenderWindow
{
public:
    virtual ~IRenderWindow() = default;
    // The SDL window frames are shown in; null shows them nowhere.
    virtual SDL_Window* GetSdlWindow() = 0;
    // The monitor nearest to the window.
    virtual uintptr_t GetMonitor() = 0;
    virtual bool GetMonitorRect(uintptr_t monitor, DeviceRect& rect) = 0;
    virtual bool GetWindowRect(DeviceRect& rect) = 0;
    virtual void SetClientSize(uint32_t width, uint32_t height, bool redraw) = 0;
    // Asks the window to paint again.
    virtual void Invalidate() = 0;
};

class IGIL
{
public:
    virtual ~IGIL() = default;
    virtual bool Init(IRenderWindow* window, bool fullScreen) = 0;
    virtual void Shutdown() = 0;
    // The caller owns the buffers; null when the storage could not be made.
    virtual std::unique_ptr<IDynamicVertexBuffer> CreateDynamicVertexBuffer(IBufferFiller* filler,
                                                                            uint32_t count, uint32_t stride,
                                                                            uint32_t fvf, bool readable) = 0;
    virtual std::unique_ptr<IDynamicIndexBuffer> CreateDynamicIndexBuffer(IBufferFiller* filler,
                                                                          uint32_t count, bool readable) = 0;
    virtual RefPtr<IResourceTexture> CreateDynamicTexture(Recreater* recreater, uint32_t statsCounter) = 0;
    virtual RefPtr<IResourceTexture> CreateTexture(const std::wstring& name, uint32_t statsCounter) = 0;
    virtual RefPtr<IRenderTarget> CreateRenderTarget(IRenderTargetListener* listener, ImageSize size) = 0;
    virtual void AddEventSubscriber(RenderEventSubscriber*) {}
    virtual void RemoveEventSubscriber(RenderEventSubscriber*) {}
    virtual void AddRecreateFinishListener(IRecreateFinishListener*) {}
    virtual void RemoveRecreateFinishListener(IRecreateFinishListener*) {}
    virtual bool BeginFrame() = 0;
    virtual void EndFrame() = 0;
    virtual void Present() = 0;
    virtual void DrawIndexed(const DrawCall& call, IDynamicVertexBuffer* vertices,
                             IDynamicIndexBuffer* indices) = 0;
    virtual void Invalidate() = 0;
    virtual bool Clear(bool colour, bool depth, uint32_t clearColour) = 0;
    virtual bool Is16Bit() = 0;
    virtual bool IsRunning() = 0;
    virtual bool IsLost() = 0;
    virtual bool IsWindowed() = 0;
    virtual bool IsChangingMode() = 0;
    virtual bool RequiresSquareTextures() = 0;
    virtual bool IsCreated() = 0;
    virtual bool CanRender() = 0;
    virtual void SetLost(bool recover) = 0;
    virtual bool SetFullscreen(bool fullScreen) = 0;
    virtual bool SetBackBufferSize(uint32_t width, uint32_t height) = 0;
    virtual bool SetLockableBackBuffer(bool lockable) = 0;
    virtual void SetClearParams(bool clearOnBegin, uint32_t colour) = 0;
    virtual void CheckMonitor() = 0;
    // Null stands for the identity.
    virtual void SetTransforms(const Matrix4* world, const Matrix4* view, const Matrix4* projection) = 0;
    virtual uint32_t GetAvailableTextureMemory() = 0;
    virtual void GetBackBufferSize(uint32_t* width, uint32_t* height) = 0;
    virtual void GetDesktopSize(uint32_t* width, uint32_t* height) = 0;
    virtual void SetWidescreenMode(bool on) = 0;
    virtual bool IsWidescreenMode() = 0;
    virtual int32_t GetViewOffsetX() = 0;
    virtual int32_t GetViewOffsetY() = 0;
    virtual float GetViewScale() = 0;
};

} // namespace TarnEngine
