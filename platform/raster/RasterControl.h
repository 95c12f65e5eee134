// Test control of the software device: per-call fault injection (any call can be made to answer
// any result code, once, several times or always), call counters, and the video-memory budget
// that creation calls in the default pool charge. Managed textures live outside the budget, as the
// real runtime pages them in and out of video memory instead of failing; they are only counted.
// One control is shared by a system and every device it creates.
#pragma once

#include "platform/raster/RasterTypes.h"

#include <array>
#include <cstdint>
#include <deque>

namespace Raster
{

enum class Call : uint32_t
{
    GetAdapterCount,
    GetAdapterIdentifier,
    GetAdapterDisplayMode,
    GetDeviceCaps,
    CheckDeviceFormat,
    CreateDevice,
    TestCooperativeLevel,
    Reset,
    BeginScene,
    EndScene,
    Present,
    Clear,
    GetAvailableTextureMem,
    SetRenderState,
    SetSamplerState,
    SetTextureStageState,
    SetTexture,
    SetFVF,
    SetStreamSource,
    SetIndices,
    SetTransform,
    SetRenderTarget,
    GetRenderTarget,
    SetDepthStencilSurface,
    GetDepthStencilSurface,
    GetBackBuffer,
    DrawIndexedPrimitive,
    CreateTexture,
    CreateVertexBuffer,
    CreateIndexBuffer,
    CreateDepthStencilSurface,
    CreateOffscreenPlainSurface,
    GetSurfaceLevel,
    GetRenderTargetData,
    LockRect,
    UnlockRect,
    LockBuffer,
    UnlockBuffer,
    Count
};

class RasterControl
{
public:
    static constexpr uint64_t DefaultTextureBudget = 512ull * 1024 * 1024;

    // The next `times` calls of `call` answer `result` (0 times = every call until cleared).
    void Inject(Call call, Result result, uint32_t times = 1);
    void ClearInjections();

    // Counts the call and answers Ok or the injected result. Used by the device itself.
    Result Enter(Call call);

    uint64_t Count(Call call) const { return counts[static_cast<size_t>(call)]; }
    void ResetCounts() { counts.fill(0); }

    void SetTextureBudget(uint64_t bytes) { budget = bytes; }
    uint64_t TextureBudget() const { return budget; }
    uint64_t UsedMemory() const { return used; }
    uint64_t AvailableMemory() const { return used >= budget ? 0 : budget - used; }

    // Charges a resource against the budget; false (nothing charged) when it does not fit.
    bool Charge(uint64_t bytes);
    void Refund(uint64_t bytes) { used = bytes > used ? 0 : used - bytes; }

    // Managed storage: counted, never refused.
    void HoldManaged(uint64_t bytes) { managed += bytes; }
    void ReleaseManaged(uint64_t bytes) { managed = bytes > managed ? 0 : managed - bytes; }
    uint64_t ManagedMemory() const { return managed; }

private:
    struct Plan
    {
        Result result;
        uint32_t remaining; // 0: forever
    };
    std::array<std::deque<Plan>, static_cast<size_t>(Call::Count)> plans;
    std::array<uint64_t, static_cast<size_t>(Call::Count)> counts{};
    uint64_t budget = DefaultTextureBudget;
    uint64_t used = 0;
    uint64_t managed = 0;
};

} // namespace Raster
