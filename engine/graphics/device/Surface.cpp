// Surface locking and the drawing-context copy.
#include "engine/graphics/device/Surface.h"

#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/textures/ResourceTextureD3D.h"

#include "platform/raster/RasterResources.h"

#include <algorithm>
#include <cstring>

namespace TarnEngine
{

using Raster::Result;

Surface::Surface(DirectXDevice* ownerDevice, std::shared_ptr<Raster::RasterSurface> levelSurface)
    : owner(ownerDevice), surface(std::move(levelSurface))
{
    if (owner)
        owner->AddEventSubscriber(this);
}

Surface::~Surface()
{
    if (owner)
        owner->RemoveEventSubscriber(this);
    if (dcOut && gdiCopy)
        gdiCopy->UnlockRect();
    gdiCopy.reset();
    surface.reset();
}

bool Surface::Lock(void** bits, int32_t* pitch, bool readOnly)
{
    if (bits)
        *bits = nullptr;
    if (!surface)
        return false;
    Raster::LockedRect rect;
    if (surface->LockRect(rect, readOnly ? Raster::Value::LockReadOnly : 0) != Result::Ok)
        return false;
    if (bits)
        *bits = rect.bits;
    if (pitch)
        *pitch = rect.pitch;
    return true;
}

void Surface::Unlock()
{
    if (surface)
        surface->UnlockRect();
}

void Surface::GetSize(uint32_t* width, uint32_t* height)
{
    if (!surface)
        return;
    if (width)
        *width = surface->Width();
    if (height)
        *height = surface->Height();
}

SurfaceDC* Surface::GetDC()
{
    if (dcOut)
        return &dc;
    if (!surface)
        return nullptr;
    if (!gdiCopy && !owner)
        return nullptr;
    if (!gdiCopy)
    {
        auto copy = owner->MakeOffscreenSurface(surface->Width(), surface->Height(), false);
        if (!copy || !CopySurface(*surface, *copy))
            return nullptr;
        gdiCopy = std::move(copy);
    }
    Raster::LockedRect rect;
    if (gdiCopy->LockRect(rect, 0) != Result::Ok)
        return nullptr;
    dc = {static_cast<uint8_t*>(rect.bits), rect.pitch, gdiCopy->Width(), gdiCopy->Height()};
    dcOut = true;
    return &dc;
}

void Surface::ReleaseDC()
{
    if (!dcOut || !gdiCopy)
        return;
    gdiCopy->UnlockRect();
    dcOut = false;
    dc = {};
    // Plain row copy back into the surface.
    Raster::LockedRect from, to;
    if (gdiCopy->LockRect(from, Raster::Value::LockReadOnly) != Result::Ok)
        return;
    if (surface->LockRect(to, 0) == Result::Ok)
    {
        const uint32_t width = std::min(surface->Width(), gdiCopy->Width());
        const uint32_t height = std::min(surface->Height(), gdiCopy->Height());
        for (uint32_t y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t*>(to.bits) + size_t(y) * to.pitch,
                        static_cast<const uint8_t*>(from.bits) + size_t(y) * from.pitch, size_t(width) * 4);
        surface->UnlockRect();
    }
    gdiCopy->UnlockRect();
}

} // namespace TarnEngine
