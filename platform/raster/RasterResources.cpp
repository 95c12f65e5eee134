// Storage, locking and budget accounting of the software device's resources.
#include "platform/raster/RasterResources.h"

#include <algorithm>

namespace Raster
{

std::shared_ptr<RasterSurface> RasterSurface::Make(std::shared_ptr<RasterControl> control, uint32_t width,
                                                   uint32_t height, Format format, Pool pool, uint32_t usage,
                                                   Accounting accounting)
{
    if (width == 0 || height == 0)
        return nullptr;
    const uint64_t bytes = uint64_t(width) * height * (format == Format::D16 ? 2 : 4);
    if (accounting == Accounting::Budgeted && !control->Charge(bytes))
        return nullptr;
    std::shared_ptr<RasterSurface> surface(new RasterSurface());
    // A colour surface is written whole as soon as it is made (a back buffer is cleared, a texture
    // filled from its image); 2D drawing never reads a depth surface, whose pages wait for a use.
    surface->storage = Platform::PageStorage(
        size_t(bytes), format == Format::D16 ? Platform::PageStorage::Use::Later : Platform::PageStorage::Use::AtOnce);
    if (accounting == Accounting::Managed)
        control->HoldManaged(bytes);
    surface->control = std::move(control);
    surface->desc = {format, pool, usage, width, height};
    surface->accounting = accounting;
    surface->accountedBytes = accounting == Accounting::None ? 0 : bytes;
    return surface;
}

RasterSurface::~RasterSurface()
{
    if (accounting == Accounting::Budgeted)
        control->Refund(accountedBytes);
    else if (accounting == Accounting::Managed)
        control->ReleaseManaged(accountedBytes);
}

Result RasterSurface::LockRect(LockedRect& out, uint32_t flags)
{
    (void)flags;
    out = {};
    const Result injected = control->Enter(Call::LockRect);
    if (injected != Result::Ok)
        return injected;
    if (locked)
        return Result::InvalidCall;
    locked = true;
    Settle();
    out.pitch = static_cast<int32_t>(PitchBytes());
    out.bits = storage.data();
    return Result::Ok;
}

void RasterSurface::FillPendingDepth() const
{
    depthPending = false;
    std::fill_n(reinterpret_cast<uint16_t*>(storage.data()), storage.size() / 2, pendingDepth);
}

Result RasterSurface::UnlockRect()
{
    const Result injected = control->Enter(Call::UnlockRect);
    if (injected != Result::Ok)
        return injected;
    if (!locked)
        return Result::InvalidCall;
    locked = false;
    return Result::Ok;
}

std::shared_ptr<RasterTexture> RasterTexture::Make(std::shared_ptr<RasterControl> control, uint32_t width,
                                                   uint32_t height, Pool pool, uint32_t usage)
{
    // Managed textures have a copy in system memory that the runtime pages in as needed: running
    // short of video memory never refuses them.
    const Accounting accounting = pool == Pool::Managed ? Accounting::Managed : Accounting::Budgeted;
    auto surface = RasterSurface::Make(control, width, height, Format::A8R8G8B8, pool, usage, accounting);
    if (!surface)
        return nullptr;
    auto texture = std::make_shared<RasterTexture>();
    texture->control = std::move(control);
    texture->surface = std::move(surface);
    return texture;
}

Result RasterTexture::GetLevelDesc(uint32_t level, SurfaceDesc& out) const
{
    if (level != 0)
        return Result::InvalidCall;
    out = surface->GetDesc();
    return Result::Ok;
}

Result RasterTexture::GetSurfaceLevel(uint32_t level, std::shared_ptr<RasterSurface>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::GetSurfaceLevel);
    if (injected != Result::Ok)
        return injected;
    if (level != 0)
        return Result::InvalidCall;
    out = surface;
    return Result::Ok;
}

Result RasterTexture::LockRect(uint32_t level, LockedRect& out, uint32_t flags)
{
    if (level != 0)
    {
        out = {};
        return Result::InvalidCall;
    }
    return surface->LockRect(out, flags);
}

Result RasterTexture::UnlockRect(uint32_t level)
{
    if (level != 0)
        return Result::InvalidCall;
    return surface->UnlockRect();
}

std::shared_ptr<RasterBuffer> RasterBuffer::Make(std::shared_ptr<RasterControl> control, uint32_t bytes,
                                                 uint32_t usage, uint32_t vertexFormat, Format indexFormat)
{
    (void)indexFormat;
    if (bytes == 0 || !control->Charge(bytes))
        return nullptr;
    std::shared_ptr<RasterBuffer> buffer(new RasterBuffer());
    buffer->control = std::move(control);
    buffer->storage = Platform::PageStorage(bytes, Platform::PageStorage::Use::Later);
    buffer->chargedBytes = bytes;
    buffer->usage = usage;
    buffer->vertexFormat = vertexFormat;
    return buffer;
}

RasterBuffer::~RasterBuffer()
{
    control->Refund(chargedBytes);
}

Result RasterBuffer::Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags)
{
    (void)flags;
    if (data)
        *data = nullptr;
    const Result injected = control->Enter(Call::LockBuffer);
    if (injected != Result::Ok)
        return injected;
    if (!data || locked || offset > storage.size())
        return Result::InvalidCall;
    if (size == 0)
        size = static_cast<uint32_t>(storage.size() - offset);
    if (uint64_t(offset) + size > storage.size())
        return Result::InvalidCall;
    locked = true;
    *data = storage.data() + offset;
    return Result::Ok;
}

Result RasterBuffer::Unlock()
{
    const Result injected = control->Enter(Call::UnlockBuffer);
    if (injected != Result::Ok)
        return injected;
    if (!locked)
        return Result::InvalidCall;
    locked = false;
    return Result::Ok;
}

} // namespace Raster
