// State filtering, default states and the material table of the device.
#include "engine/graphics/device/DeviceStateCache.h"

#include "engine/graphics/device/DirectXDevice.h"

#include "platform/raster/RasterDevice.h"

#include <cstring>

namespace TarnEngine
{

using Raster::RenderState;
using Raster::SamplerState;
using Raster::StageState;
namespace V = Raster::Value;

namespace
{
bool ok(Raster::Result result)
{
    return result == Raster::Result::Ok;
}
} // namespace

DeviceStateCache::DeviceStateCache(DirectXDevice* ownerDevice) : owner(ownerDevice)
{
    std::memset(world.m, 0, sizeof world.m);
    std::memset(view.m, 0, sizeof view.m);
    std::memset(projection.m, 0, sizeof projection.m);
}

Raster::RasterDevice* DeviceStateCache::Device() const
{
    return owner ? owner->GetRasterDevice() : nullptr;
}

bool DeviceStateCache::SetRenderState(RenderState state, uint32_t value, bool force)
{
    const size_t index = size_t(state);
    if (index >= renderStates.size())
        return false;
    if (!force && renderStates[index] == value)
        return true;
    renderStates[index] = value;
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetRenderState(state, value));
}

bool DeviceStateCache::SetSamplerState(SamplerState type, uint32_t value, bool force)
{
    const size_t index = size_t(type);
    if (index >= samplerStates.size())
        return false;
    if (!force && samplerStates[index] == value)
        return true;
    samplerStates[index] = value;
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetSamplerState(0, type, value));
}

bool DeviceStateCache::SetTexture(uint32_t stage, const std::shared_ptr<Raster::RasterTexture>& texture,
                                  bool force)
{
    if (stage >= StageCount)
        return false;
    if (!force && textures[stage] == texture.get())
        return true;
    textures[stage] = texture.get();
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetTexture(stage, texture));
}

bool DeviceStateCache::SetTextureStageState(uint32_t stage, StageState type, uint32_t value, bool force)
{
    if (stage >= StageCount || size_t(type) >= stageStates[0].size())
        return false;
    uint32_t& cached = stageStates[stage][size_t(type)];
    if (!force && cached == value)
        return true;
    cached = value;
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetTextureStageState(stage, type, value));
}

bool DeviceStateCache::SetStreamSource(uint32_t stream, const std::shared_ptr<Raster::RasterBuffer>& buffer,
                                       uint32_t stride, bool force)
{
    if (stream >= StreamCount)
        return false;
    Stream& cached = streams[stream];
    if (!force && cached.buffer == buffer.get() && cached.offset == 0 && cached.stride == stride)
        return true;
    cached = {buffer.get(), 0, stride};
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetStreamSource(stream, buffer, 0, stride));
}

bool DeviceStateCache::SetFVF(uint32_t value, bool force)
{
    if (!force && fvf == value)
        return true;
    fvf = value;
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetFVF(value));
}

bool DeviceStateCache::SetIndices(const std::shared_ptr<Raster::RasterBuffer>& buffer, bool force)
{
    if (!force && indexBuffer == buffer.get())
        return true;
    indexBuffer = buffer.get();
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetIndices(buffer));
}

namespace
{
bool setTransform(Raster::RasterDevice* device, Raster::Matrix4& cached, const Raster::Matrix4& matrix,
                  Raster::TransformKind kind, bool force)
{
    if (!force && std::memcmp(cached.m, matrix.m, sizeof cached.m) == 0)
        return true;
    cached = matrix;
    return device && ok(device->SetTransform(kind, matrix));
}
} // namespace

bool DeviceStateCache::SetWorld(const Raster::Matrix4& matrix, bool force)
{
    return setTransform(Device(), world, matrix, Raster::TransformKind::World, force);
}

bool DeviceStateCache::SetView(const Raster::Matrix4& matrix, bool force)
{
    return setTransform(Device(), view, matrix, Raster::TransformKind::View, force);
}

bool DeviceStateCache::SetProjection(const Raster::Matrix4& matrix, bool force)
{
    return setTransform(Device(), projection, matrix, Raster::TransformKind::Projection, force);
}

bool DeviceStateCache::SetRenderTarget(const std::shared_ptr<Raster::RasterSurface>& surface)
{
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetRenderTarget(0, surface));
}

bool DeviceStateCache::SetDepthStencilSurface(const std::shared_ptr<Raster::RasterSurface>& surface)
{
    Raster::RasterDevice* device = Device();
    return device && ok(device->SetDepthStencilSurface(surface));
}

bool DeviceStateCache::SetAlpha(bool alphaTest, bool alphaBlend, bool force)
{
    const bool a = SetRenderState(RenderState::AlphaTestEnable, alphaTest ? 1 : 0, force);
    const bool b = SetRenderState(RenderState::AlphaBlendEnable, alphaBlend ? 1 : 0, force);
    return a && b;
}

bool DeviceStateCache::SetBlend(uint32_t source, uint32_t destination, bool force)
{
    const bool a = SetRenderState(RenderState::SrcBlend, source, force);
    const bool b = SetRenderState(RenderState::DestBlend, destination, force);
    return a && b;
}

bool DeviceStateCache::SetDepth(bool enable, bool write, uint32_t function, bool force)
{
    const bool a = SetRenderState(RenderState::ZEnable, enable ? 1 : 0, force);
    const bool b = SetRenderState(RenderState::ZWriteEnable, write ? 1 : 0, force);
    const bool c = SetRenderState(RenderState::ZFunc, function, force);
    return a && b && c;
}

bool DeviceStateCache::SetFilter(uint32_t filter, bool force)
{
    const bool a = SetSamplerState(SamplerState::MagFilter, filter, force);
    const bool b = SetSamplerState(SamplerState::MinFilter, filter, force);
    const bool c = SetSamplerState(SamplerState::MipFilter, filter, force);
    return a && b && c;
}

bool DeviceStateCache::SetStageOps(uint32_t colourOp, uint32_t colourArg1, uint32_t alphaOp,
                                   uint32_t alphaArg1, bool force)
{
    bool all = SetTextureStageState(0, StageState::ColorOp, colourOp, force);
    all = SetTextureStageState(0, StageState::ColorArg1, colourArg1, force) && all;
    all = SetTextureStageState(0, StageState::ColorArg2, V::ArgDiffuse, force) && all;
    all = SetTextureStageState(0, StageState::AlphaOp, alphaOp, force) && all;
    all = SetTextureStageState(0, StageState::AlphaArg1, alphaArg1, force) && all;
    all = SetTextureStageState(0, StageState::AlphaArg2, V::ArgDiffuse, force) && all;
    return all;
}

void DeviceStateCache::ApplyDefaults()
{
    // A reset or a new device forgets what was bound; so does the cache (nothing is sent).
    textures.fill(nullptr);
    streams.fill(Stream{});
    indexBuffer = nullptr;
    fvf = 0;
    debug = DebugHue{};

    SetRenderState(RenderState::AlphaTestEnable, 1, true);
    SetRenderState(RenderState::AlphaBlendEnable, 1, true);
    SetRenderState(RenderState::AlphaRef, 1, true);
    SetRenderState(RenderState::AlphaFunc, V::CmpGreaterEqual, true);
    SetRenderState(RenderState::SrcBlend, V::BlendSrcAlpha, true);
    SetRenderState(RenderState::DestBlend, V::BlendInvSrcAlpha, true);
    SetRenderState(RenderState::ZEnable, 0, true);
    SetRenderState(RenderState::ZWriteEnable, 0, true);
    SetRenderState(RenderState::ZFunc, V::CmpGreater, true);
    SetRenderState(RenderState::TextureFactor, 0x20FFFFFF, true);
    SetRenderState(RenderState::CullMode, V::CullNone, true);
    SetRenderState(RenderState::Lighting, 0, true);

    SetTextureStageState(0, StageState::ColorOp, V::OpModulate, true);
    SetTextureStageState(0, StageState::ColorArg1, V::ArgTexture, true);
    SetTextureStageState(0, StageState::ColorArg2, V::ArgDiffuse, true);
    SetTextureStageState(0, StageState::AlphaOp, V::OpModulate, true);
    SetTextureStageState(0, StageState::AlphaArg1, V::ArgTexture, true);
    SetTextureStageState(0, StageState::AlphaArg2, V::ArgDiffuse, true);

    SetSamplerState(SamplerState::MagFilter, V::FilterPoint, true);
    SetSamplerState(SamplerState::MinFilter, V::FilterPoint, true);
    SetSamplerState(SamplerState::MipFilter, V::FilterPoint, true);
    SetSamplerState(SamplerState::AddressU, V::AddressClamp, true);
    SetSamplerState(SamplerState::AddressV, V::AddressClamp, true);

    SetTextureStageState(1, StageState::ColorOp, V::OpDisable, true);
    SetTextureStageState(1, StageState::AlphaOp, V::OpDisable, true);

    const Raster::Matrix4 identity;
    SetWorld(identity, true);
    SetView(identity, true);
    SetProjection(identity, true);
}

void DeviceStateCache::ApplyMaskedMaterial(uint32_t index, uint32_t flags, bool filtering, bool textured)
{
    const bool masked = (flags & (eMaterialMaskedIn | eMaterialMaskedOut)) != 0;
    const uint32_t maskFunction = (flags & eMaterialMaskedOut) ? V::CmpLess : V::CmpGreater;
    const uint32_t byFlag = filtering ? V::FilterLinear : V::FilterPoint;
    // With a texture the stage modulates it with the vertex colour; without, the vertex colour alone.
    const uint32_t stageOp = textured ? V::OpModulate : V::OpSelectArg2;
    switch (index)
    {
    case eMaterialNoBlend:
        SetAlpha(false, false, false);
        SetDepth(masked, false, maskFunction, false);
        if (textured)
            SetFilter(byFlag, false);
        SetStageOps(stageOp, V::ArgTexture, stageOp, V::ArgTexture, false);
        break;
    case eMaterialAlpha:
    case eMaterialAdditive:
        SetAlpha(true, true, false);
        SetBlend(V::BlendSrcAlpha, index == eMaterialAdditive ? V::BlendOne : V::BlendInvSrcAlpha, false);
        SetDepth(masked, false, maskFunction, false);
        if (textured)
            SetFilter(byFlag, false);
        SetStageOps(stageOp, V::ArgTexture, stageOp, V::ArgTexture, false);
        break;
    case eMaterialNoTexture:
        SetAlpha(true, true, false);
        SetBlend(V::BlendSrcAlpha, V::BlendInvSrcAlpha, false);
        SetDepth(masked, false, maskFunction, false);
        SetStageOps(V::OpSelectArg2, V::ArgTexture, V::OpSelectArg2, V::ArgTexture, false);
        break;
    case eMaterialMaskLayer:
        SetAlpha(true, true, false);
        SetBlend(V::BlendZero, V::BlendOne, false);
        SetDepth(true, true, V::CmpAlways, false);
        if (textured)
            SetFilter(V::FilterPoint, false);
        SetStageOps(stageOp, V::ArgTexture, stageOp, V::ArgTexture, false);
        break;
    case eMaterialDebug:
        SetAlpha(false, true, false);
        SetBlend(V::BlendSrcAlpha, V::BlendInvSrcAlpha, false);
        SetDepth(false, false, maskFunction, false);
        SetFilter(byFlag, false);
        SetStageOps(V::OpSelectArg1, V::ArgTextureFactor, V::OpSelectArg1, V::ArgTextureFactor, false);
        break;
    case eMaterialDepthAlpha:
        SetAlpha(true, true, false);
        SetBlend(V::BlendSrcAlpha, V::BlendInvSrcAlpha, false);
        SetDepth(true, true, V::CmpLess, false);
        if (textured)
            SetFilter(byFlag, false);
        SetStageOps(stageOp, V::ArgTexture, stageOp, V::ArgTexture, false);
        break;
    default:
        // Indices past the table are not defined; such a draw keeps the states it finds.
        break;
    }
}

void DeviceStateCache::ApplyMaterial(const DrawCall& call)
{
    const bool debugDraw = RenderStats::Get().IsDebugDraw();
    const uint32_t word = debugDraw ? uint32_t(eMaterialDebug) : call.material;
    const bool textured = call.texture.Get() != nullptr;
    if (textured)
        call.texture->Bind(0, false);
    else
        SetTexture(0, nullptr, false);
    ApplyMaskedMaterial(word & MaterialIndexMask, word & MaterialFlagsMask, call.filtering, textured);
    if (debugDraw)
    {
        if (Raster::RasterDevice* device = Device())
            device->SetRenderState(RenderState::TextureFactor, NextDebugColor(debug));
    }
}

} // namespace TarnEngine
