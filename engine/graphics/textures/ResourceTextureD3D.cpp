// Device textures: loading through the recreater, storage, binding, locking and loss.
#include "engine/graphics/textures/ResourceTextureD3D.h"

#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/textures/ITextureLoader.h"
#include "engine/graphics/device/RenderStats.h"
#include "engine/graphics/device/Surface.h"

#include "platform/raster/RasterDevice.h"

#include <algorithm>
#include <cstring>

namespace TarnEngine
{

using Raster::Result;

namespace
{
Recreater* fileTextureRecreater = nullptr;
}

Recreater* GetFileTextureRecreater()
{
    return fileTextureRecreater ? fileTextureRecreater : ITextureLoader::GetRecreater();
}

void SetFileTextureRecreater(Recreater* recreater)
{
    fileTextureRecreater = recreater;
}

uint32_t PowerOfTwoAtLeast(uint32_t value)
{
    if (value == 0)
        return 0;
    uint32_t side = 1;
    while (side < value && side < 0x80000000u)
        side <<= 1;
    return side;
}

bool CopySurface(Raster::RasterSurface& source, Raster::RasterSurface& destination)
{
    Raster::LockedRect from, to;
    if (source.LockRect(from, Raster::Value::LockReadOnly) != Result::Ok)
        return false;
    if (destination.LockRect(to, 0) != Result::Ok)
    {
        source.UnlockRect();
        return false;
    }
    const uint32_t width = std::min(source.Width(), destination.Width());
    const uint32_t height = std::min(source.Height(), destination.Height());
    const bool opaque = destination.GetFormat() == Raster::Format::X8R8G8B8;
    for (uint32_t y = 0; y < height; ++y)
    {
        const uint8_t* in = static_cast<const uint8_t*>(from.bits) + size_t(y) * from.pitch;
        uint8_t* out = static_cast<uint8_t*>(to.bits) + size_t(y) * to.pitch;
        if (opaque)
        {
            for (uint32_t x = 0; x < width; ++x)
            {
                std::memcpy(out + x * 4, in + x * 4, 3);
                out[x * 4 + 3] = 0xFF;
            }
        }
        else
            std::memcpy(out, in, size_t(width) * 4);
    }
    destination.UnlockRect();
    source.UnlockRect();
    return true;
}

ResourceTextureD3D::ResourceTextureD3D(DirectXDevice* ownerDevice, Recreater* textureRecreater,
                                       const std::wstring& name, uint32_t counter)
    : IResourceTexture(name), owner(ownerDevice), recreater(textureRecreater), statsCounter(counter)
{
    owner->AddEventSubscriber(this);
}

ResourceTextureD3D::~ResourceTextureD3D()
{
    if (owner)
        owner->RemoveEventSubscriber(this);
    ReleaseData();
}

bool ResourceTextureD3D::HasStorage() const
{
    return texture && owner && owner->GetRasterDevice();
}

bool ResourceTextureD3D::Load()
{
    if (!recreater)
        return false;
    // The fill starts from nothing, so the memory is counted once whatever was there before.
    ReleaseData();
    if (!recreater->Recreate(this))
    {
        // Storage made before the fill failed holds no picture: the texture stays unloaded, binds
        // as nothing and is tried again on its next use.
        texture.reset();
        return false;
    }
    RenderStats::Add(statsCounter, GetMemorySize());
    accounted = true;
    return true;
}

bool ResourceTextureD3D::EnsureLoaded()
{
    return HasStorage() || Load();
}

bool ResourceTextureD3D::ReleaseData()
{
    // Only memory that a load counted is taken off: storage the program made and filled itself
    // through Allocate was never added.
    if (texture && accounted)
        RenderStats::Subtract(statsCounter, GetMemorySize());
    accounted = false;
    texture.reset();
    return true;
}

bool ResourceTextureD3D::Allocate(ImageSize size)
{
    if (!owner)
        return false;
    if (HasStorage() && (size.width != width || size.height != height))
        ReleaseData();
    width = size.width;
    height = size.height;
    textureWidth = PowerOfTwoAtLeast(width);
    textureHeight = PowerOfTwoAtLeast(height);
    // Storage of the same size is let go before the new one is made, so the two never need room
    // at once.
    texture.reset();
    texture = owner->MakeTexture(textureWidth, textureHeight, false);
    return texture != nullptr;
}

void ResourceTextureD3D::Bind(uint32_t stage, bool force)
{
    if (!owner)
        return;
    // A texture that cannot be loaded binds as nothing rather than leaving the last one in place.
    if (!EnsureLoaded() || !texture)
    {
        owner->GetStateCache().SetTexture(stage, nullptr, force);
        return;
    }
    owner->GetStateCache().SetTexture(stage, texture, force);
}

bool ResourceTextureD3D::Lock(void** bits, int32_t* pitch, bool readOnly)
{
    if (bits)
        *bits = nullptr;
    if (!EnsureLoaded() || !texture)
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

void ResourceTextureD3D::Unlock()
{
    if (texture)
        texture->UnlockRect(0);
}

void ResourceTextureD3D::GetTextureSize(uint32_t* outWidth, uint32_t* outHeight)
{
    if (!EnsureLoaded())
        return;
    if (outWidth)
        *outWidth = textureWidth;
    if (outHeight)
        *outHeight = textureHeight;
}

void ResourceTextureD3D::GetImageSize(uint32_t* outWidth, uint32_t* outHeight)
{
    if (!EnsureLoaded())
        return;
    if (outWidth)
        *outWidth = width;
    if (outHeight)
        *outHeight = height;
}

RefPtr<ISurface> ResourceTextureD3D::GetSurface()
{
    if (!EnsureLoaded() || !texture)
        return nullptr;
    std::shared_ptr<Raster::RasterSurface> level;
    if (texture->GetSurfaceLevel(0, level) != Result::Ok)
        return nullptr;
    return RefPtr<ISurface>(new Surface(owner, std::move(level)));
}

void ResourceTextureD3D::OnDeviceLost()
{
    if (HasStorage())
        ReleaseData();
}

void ResourceTextureD3D::OnDeviceDestroyed()
{
    ReleaseData();
    owner = nullptr;
}

bool ResourceTextureD3D::OnDeviceReset()
{
    if (HasStorage())
        return true;
    return Load();
}

} // namespace TarnEngine
