// Resources of the software device: surfaces (colour, depth, system memory), textures with their
// one level, and vertex and index buffers. Each keeps its memory in zeroed page storage, knows
// whether it is locked, charges the device's memory budget (or, for managed textures, is counted
// outside it) and gives the charge back when freed.
#pragma once

#include "platform/raster/RasterControl.h"
#include "platform/raster/RasterTypes.h"
#include "platform/system/PageStorage.h"

#include <memory>

namespace Raster
{

// How a resource's storage is accounted in the control.
enum class Accounting
{
    None,     // back buffers and system memory
    Budgeted, // the default pool: refused when the budget is spent
    Managed,  // the managed pool: counted, never refused
};

class RasterSurface
{
public:
    // Makes a surface accounted in `control`; null when a budgeted surface does not fit.
    static std::shared_ptr<RasterSurface> Make(std::shared_ptr<RasterControl> control, uint32_t width,
                                               uint32_t height, Format format, Pool pool, uint32_t usage,
                                               Accounting accounting);
    ~RasterSurface();
    RasterSurface(const RasterSurface&) = delete;
    RasterSurface& operator=(const RasterSurface&) = delete;

    // Locks the whole surface; a second lock before Unlock is refused.
    Result LockRect(LockedRect& out, uint32_t flags);
    Result UnlockRect();
    SurfaceDesc GetDesc() const { return desc; }

    bool IsLocked() const { return locked; }
    uint32_t Width() const { return desc.width; }
    uint32_t Height() const { return desc.height; }
    Format GetFormat() const { return desc.format; }
    uint32_t BytesPerPixel() const { return desc.format == Format::D16 ? 2u : 4u; }
    size_t PitchBytes() const { return static_cast<size_t>(desc.width) * BytesPerPixel(); }

    // Direct access for the rasterizer (32-bit colour or 16-bit depth, rows packed).
    uint32_t* Pixels()
    {
        Settle();
        return reinterpret_cast<uint32_t*>(storage.data());
    }
    const uint32_t* Pixels() const
    {
        Settle();
        return reinterpret_cast<const uint32_t*>(storage.data());
    }
    uint16_t* Depths()
    {
        Settle();
        return reinterpret_cast<uint16_t*>(storage.data());
    }

    // Sets every depth of a D16 surface to `value`, written when the depths are next looked at
    // (direct access or a lock): 2D drawing clears the depth of every render target and never tests
    // it, and the fill then costs nothing.
    void FillDepthLater(uint16_t value)
    {
        pendingDepth = value;
        depthPending = true;
    }

private:
    RasterSurface() = default;
    void Settle() const
    {
        if (depthPending)
            FillPendingDepth();
    }
    void FillPendingDepth() const;
    std::shared_ptr<RasterControl> control;
    SurfaceDesc desc;
    // Zeroed from the start: a surface of several megabytes costs no pass over its memory to clear it.
    mutable Platform::PageStorage storage;
    mutable bool depthPending = false;
    uint16_t pendingDepth = 0;
    uint64_t accountedBytes = 0;
    Accounting accounting = Accounting::None;
    bool locked = false;
};

class RasterTexture
{
public:
    static std::shared_ptr<RasterTexture> Make(std::shared_ptr<RasterControl> control, uint32_t width,
                                               uint32_t height, Pool pool, uint32_t usage);

    uint32_t GetLevelCount() const { return 1; }
    Result GetLevelDesc(uint32_t level, SurfaceDesc& out) const;
    Result GetSurfaceLevel(uint32_t level, std::shared_ptr<RasterSurface>& out);
    Result LockRect(uint32_t level, LockedRect& out, uint32_t flags);
    Result UnlockRect(uint32_t level);

    RasterSurface& Level0() { return *surface; }
    const RasterSurface& Level0() const { return *surface; }

private:
    std::shared_ptr<RasterControl> control;
    std::shared_ptr<RasterSurface> surface;
};

// Vertex and index buffers share one shape: bytes, usage, lock state.
class RasterBuffer
{
public:
    static std::shared_ptr<RasterBuffer> Make(std::shared_ptr<RasterControl> control, uint32_t bytes,
                                              uint32_t usage, uint32_t vertexFormat, Format indexFormat);
    ~RasterBuffer();
    RasterBuffer(const RasterBuffer&) = delete;
    RasterBuffer& operator=(const RasterBuffer&) = delete;

    // Size 0 locks from the offset to the end. Out-of-range ranges and nested locks are refused.
    Result Lock(uint32_t offset, uint32_t size, void** data, uint32_t flags);
    Result Unlock();

    bool IsLocked() const { return locked; }
    uint32_t Size() const { return static_cast<uint32_t>(storage.size()); }
    uint32_t Usage() const { return usage; }
    uint32_t VertexFormat() const { return vertexFormat; }
    const uint8_t* Data() const { return storage.data(); }

private:
    RasterBuffer() = default;
    std::shared_ptr<RasterControl> control;
    Platform::PageStorage storage;
    uint64_t chargedBytes = 0;
    uint32_t usage = 0;
    uint32_t vertexFormat = 0;
    bool locked = false;
};

using RasterVertexBuffer = RasterBuffer;
using RasterIndexBuffer = RasterBuffer;

} // namespace Raster
