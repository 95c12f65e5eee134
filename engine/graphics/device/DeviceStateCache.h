// The render-state cache inside the device: it remembers every state, texture, stream, index
// buffer, vertex format and transform last sent and drops calls that would change nothing, so
// consecutive sprites of one material cost no state calls. Also the default states applied after
// every creation and reset, and the fixed-function states of the seven materials, including the
// depth-buffer masking scheme (mask layers write depth 0.4; masked-in content passes GREATER, masked-
// out content LESS against it).
#pragma once

#include "engine/graphics/device/DrawCall.h"
#include "engine/graphics/device/RenderStats.h"

#include "platform/raster/RasterTypes.h"

#include <array>
#include <cstdint>
#include <memory>

namespace Raster
{
class RasterDevice;
class RasterTexture;
class RasterBuffer;
class RasterSurface;
} // namespace Raster

namespace TarnEngine
{

class DirectXDevice;

class DeviceStateCache
{
public:
    static constexpr uint32_t StageCount = 16;
    static constexpr uint32_t StreamCount = 16;

    explicit DeviceStateCache(DirectXDevice* owner);

    bool SetRenderState(Raster::RenderState state, uint32_t value, bool force);
    bool SetSamplerState(Raster::SamplerState type, uint32_t value, bool force);
    bool SetTexture(uint32_t stage, const std::shared_ptr<Raster::RasterTexture>& texture, bool force);
    bool SetTextureStageState(uint32_t stage, Raster::StageState type, uint32_t value, bool force);
    bool SetStreamSource(uint32_t stream, const std::shared_ptr<Raster::RasterBuffer>& buffer,
                         uint32_t stride, bool force);
    bool SetFVF(uint32_t fvf, bool force);
    bool SetIndices(const std::shared_ptr<Raster::RasterBuffer>& buffer, bool force);
    bool SetWorld(const Raster::Matrix4& matrix, bool force);
    bool SetView(const Raster::Matrix4& matrix, bool force);
    bool SetProjection(const Raster::Matrix4& matrix, bool force);
    // Render target 0 and the depth surface: always sent, never cached.
    bool SetRenderTarget(const std::shared_ptr<Raster::RasterSurface>& surface);
    bool SetDepthStencilSurface(const std::shared_ptr<Raster::RasterSurface>& surface);

    bool SetAlpha(bool alphaTest, bool alphaBlend, bool force);
    bool SetBlend(uint32_t source, uint32_t destination, bool force);
    bool SetDepth(bool enable, bool write, uint32_t function, bool force);
    bool SetFilter(uint32_t filter, bool force);
    bool SetStageOps(uint32_t colourOp, uint32_t colourArg1, uint32_t alphaOp, uint32_t alphaArg1,
                     bool force);

    void ApplyDefaults();
    void ApplyMaterial(const DrawCall& call);

    // Restarts the debug colours: hue 0 and the given step per draw call.
    void ResetDebugHue(float step)
    {
        debug.hue = 0.0f;
        debug.step = step;
    }
    const DebugHue& GetDebugHue() const { return debug; }

    // The texture last set on a stage (tests look at what is bound).
    const Raster::RasterTexture* GetTexture(uint32_t stage) const
    {
        return stage < StageCount ? textures[stage] : nullptr;
    }

private:
    struct Stream
    {
        const Raster::RasterBuffer* buffer = nullptr;
        uint32_t offset = 0;
        uint32_t stride = 0;
    };

    Raster::RasterDevice* Device() const;
    void ApplyMaskedMaterial(uint32_t index, uint32_t flags, bool filtering, bool textured);

    DirectXDevice* owner;
    uint32_t fvf = 0;
    const Raster::RasterBuffer* indexBuffer = nullptr;
    std::array<Stream, StreamCount> streams{};
    std::array<uint32_t, size_t(Raster::RenderState::Count)> renderStates{};
    std::array<uint32_t, size_t(Raster::SamplerState::Count)> samplerStates{};
    std::array<const Raster::RasterTexture*, StageCount> textures{};
    std::array<std::array<uint32_t, size_t(Raster::StageState::Count)>, StageCount> stageStates{};
    Raster::Matrix4 world{}, view{}, projection{};
    DebugHue debug;
};

} // namespace TarnEngine
