// Render targets: storage, switching the device's target and depth surface, copying out.
#include "engine/graphics/device/RenderTarget.h"

#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/RenderStats.h"
#include "engine/graphics/textures/ResourceTextureD3D.h"

#include "platform/raster/RasterDevice.h"

namespace TarnEngine
{

using Raster::Result;

RenderTarget::RenderTarget(DirectXDevice* ownerDevice, IRenderTargetListener* listener, ImageSize size,
                           const std::wstring& name)
    : IRenderTarget(name), width(size.width), height(size.height), owner(ownerDevice),
      restoreListener(listener)
{
    owner->AddEventSubscriber(this);
}

RenderTarget::~RenderTarget()
{
    if (owner)
        owner->RemoveEventSubscriber(this);
    ReleaseAll();
}

bool RenderTarget::Load()
{
    if (width == 0 || height == 0 || !owner)
        return false;
    ReleaseAll();
    const uint32_t w = PowerOfTwoAtLeast(width);
    const uint32_t h = PowerOfTwoAtLeast(height);
    depthSurface = owner->MakeDepthSurface(w, h);
    if (!depthSurface)
        return false;
    texture = owner->MakeTexture(w, h, true);
    if (texture)
        readbackSurface = owner->MakeOffscreenSurface(w, h, true);
    if (!texture || !readbackSurface)
    {
        ReleaseAll();
        return false;
    }
    textureWidth = w;
    textureHeight = h;
    RenderStats::Add(RenderStats::CounterRenderTargets, GetMemorySize());
    accounted = true;
    return true;
}

void RenderTarget::ReleaseAll()
{
    if (accounted)
        RenderStats::Subtract(RenderStats::CounterRenderTargets, GetMemorySize());
    accounted = false;
    readbackSurface.reset();
    depthSurface.reset();
    texture.reset();
    savedRenderTarget.reset();
    savedDepthSurface.reset();
    targetSurface.reset();
}

void RenderTarget::Bind(uint32_t stage, bool force)
{
    if (owner)
        owner->GetStateCache().SetTexture(stage, texture, force);
}

bool RenderTarget::Lock(void** bits, int32_t* pitch, bool readOnly)
{
    if (bits)
        *bits = nullptr;
    if (!texture)
        return false;
    Raster::LockedRect rect;
    if (texture->LockRect(0, rect, readOnly ? Raster::Value::LockReadOnly : 0) != Result::Ok)
        return false;
    if (bits)
        *bits = rect.bits;
    if (pitch)
        *pitch = rect.pitch;
    return true;
}

void RenderTarget::Unlock()
{
    if (texture)
        texture->UnlockRect(0);
}

void RenderTarget::GetTextureSize(uint32_t* outWidth, uint32_t* outHeight)
{
    if (outWidth)
        *outWidth = textureWidth;
    if (outHeight)
        *outHeight = textureHeight;
}

void RenderTarget::GetImageSize(uint32_t* outWidth, uint32_t* outHeight)
{
    if (outWidth)
        *outWidth = width;
    if (outHeight)
        *outHeight = height;
}

bool RenderTarget::BeginRender()
{
    Raster::RasterDevice* device = owner ? owner->GetRasterDevice() : nullptr;
    if (!device || !texture)
        return false;
    device->GetRenderTarget(0, savedRenderTarget);
    device->GetDepthStencilSurface(savedDepthSurface);
    if (texture->GetSurfaceLevel(0, targetSurface) != Result::Ok ||
        !owner->GetStateCache().SetRenderTarget(targetSurface))
        return false;
    owner->GetStateCache().SetDepthStencilSurface(depthSurface);
    return true;
}

void RenderTarget::EndRender()
{
    if (!owner)
        return;
    if (savedRenderTarget)
        owner->GetStateCache().SetRenderTarget(savedRenderTarget);
    if (savedRenderTarget || savedDepthSurface)
        owner->GetStateCache().SetDepthStencilSurface(savedDepthSurface);
    savedRenderTarget.reset();
    savedDepthSurface.reset();
    targetSurface.reset();
}

bool RenderTarget::CopyToTexture(IResourceTexture* destination)
{
    auto* target = dynamic_cast<ResourceTextureD3D*>(destination);
    Raster::RasterDevice* device = owner ? owner->GetRasterDevice() : nullptr;
    if (!target || !device || !texture || !readbackSurface)
        return false;
    target->GetTextureSize(nullptr, nullptr);
    const auto& destinationTexture = target->GetRasterTexture();
    if (!destinationTexture)
        return false;
    std::shared_ptr<Raster::RasterSurface> own, other;
    if (texture->GetSurfaceLevel(0, own) != Result::Ok ||
        destinationTexture->GetSurfaceLevel(0, other) != Result::Ok)
        return false;
    if (device->GetRenderTargetData(own, readbackSurface) != Result::Ok)
        return false;
    return CopySurface(*readbackSurface, *other);
}

void RenderTarget::OnDeviceDestroyed()
{
    ReleaseAll();
    owner = nullptr;
}

bool RenderTarget::OnDeviceReset()
{
    if (!Load())
        return false;
    if (restoreListener)
        restoreListener->OnRenderTargetRestored(this);
    return true;
}

} // namespace TarnEngine
