// State, resources and draw calls of the software device.
#include "platform/raster/RasterDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Raster
{
namespace
{

bool IsBackBufferFormat(Format format)
{
    return format == Format::X8R8G8B8 || format == Format::A8R8G8B8 || format == Format::R5G6B5;
}

bool IsCompare(uint32_t value)
{
    return value == Value::CmpLess || value == Value::CmpGreater || value == Value::CmpGreaterEqual ||
           value == Value::CmpAlways;
}

bool IsBlendFactor(uint32_t value)
{
    return value == Value::BlendZero || value == Value::BlendOne || value == Value::BlendSrcAlpha ||
           value == Value::BlendInvSrcAlpha;
}

bool IsStageOp(uint32_t value)
{
    return value >= Value::OpDisable && value <= Value::OpModulate;
}

bool IsStageArg(uint32_t value)
{
    return value == Value::ArgDiffuse || value == Value::ArgTexture || value == Value::ArgTextureFactor;
}

// Every interval but "immediate" waits for the vertical retrace; the default one does too.
bool WaitsForRetrace(uint32_t interval)
{
    return interval != Value::PresentIntervalImmediate;
}

} // namespace

RasterDevice::RasterDevice(std::shared_ptr<RasterControl> sharedControl, const DeviceCaps& deviceCaps,
                           std::unique_ptr<RasterPresenter> framePresenter)
    : control(std::move(sharedControl)), caps(deviceCaps), presenter(std::move(framePresenter))
{
    if (!presenter)
        presenter = std::make_unique<NullPresenter>();
    ApplyDeviceDefaults();
}

RasterDevice::~RasterDevice() = default;

void RasterDevice::ApplyDeviceDefaults()
{
    renderStates.fill(0);
    renderStates[size_t(RenderState::ZEnable)] = params.enableAutoDepthStencil ? 1 : 0;
    renderStates[size_t(RenderState::ZWriteEnable)] = 1;
    renderStates[size_t(RenderState::ZFunc)] = Value::CmpLess;
    renderStates[size_t(RenderState::AlphaFunc)] = Value::CmpAlways;
    renderStates[size_t(RenderState::SrcBlend)] = Value::BlendOne;
    renderStates[size_t(RenderState::DestBlend)] = Value::BlendZero;
    renderStates[size_t(RenderState::TextureFactor)] = 0xFFFFFFFF;
    renderStates[size_t(RenderState::CullMode)] = Value::CullNone;
    samplerStates[size_t(SamplerState::MagFilter)] = Value::FilterPoint;
    samplerStates[size_t(SamplerState::MinFilter)] = Value::FilterPoint;
    samplerStates[size_t(SamplerState::MipFilter)] = Value::FilterNone;
    samplerStates[size_t(SamplerState::AddressU)] = Value::AddressClamp;
    samplerStates[size_t(SamplerState::AddressV)] = Value::AddressClamp;
    for (uint32_t stage = 0; stage < StageCount; ++stage)
    {
        auto& s = stageStates[stage];
        s[size_t(StageState::ColorOp)] = stage == 0 ? Value::OpModulate : Value::OpDisable;
        s[size_t(StageState::ColorArg1)] = Value::ArgTexture;
        s[size_t(StageState::ColorArg2)] = Value::ArgDiffuse;
        s[size_t(StageState::AlphaOp)] = stage == 0 ? Value::OpSelectArg1 : Value::OpDisable;
        s[size_t(StageState::AlphaArg1)] = Value::ArgTexture;
        s[size_t(StageState::AlphaArg2)] = Value::ArgDiffuse;
    }
    textures = {};
    stream.reset();
    indices.reset();
    streamOffset = streamStride = 0;
    vertexFormat = 0;
    world = view = projection = Matrix4();
}

Result RasterDevice::CheckParams(PresentParams& p) const
{
    if (p.backBufferWidth == 0 || p.backBufferHeight == 0)
    {
        // Like a windowed device without a size: the window's client size.
        SDL_Window* window = p.deviceWindow ? p.deviceWindow : presenter->Window();
        if (!window)
            return Result::InvalidCall;
        int w = 0, h = 0;
        SDL_GetWindowSize(window, &w, &h);
        if (w <= 0 || h <= 0)
            return Result::InvalidCall;
        p.backBufferWidth = uint32_t(w);
        p.backBufferHeight = uint32_t(h);
    }
    if (p.backBufferWidth > MaxBackBufferSide || p.backBufferHeight > MaxBackBufferSide ||
        !IsBackBufferFormat(p.backBufferFormat) || p.backBufferCount > 1)
        return Result::InvalidCall;
    if (p.enableAutoDepthStencil && p.autoDepthStencilFormat != Format::D16)
        return Result::InvalidCall;
    return Result::Ok;
}

Result RasterDevice::MakeBuffers(PresentParams& p)
{
    // A reset to the same size keeps a buffer that nothing outside the device
    // holds (its contents are undefined after a reset either way): making it
    // again only gives fresh memory to fault in when it is first cleared, and
    // the game's start-up resets the device it has just made.
    auto keep = [&p](const std::shared_ptr<RasterSurface>& buffer, const std::shared_ptr<RasterSurface>& bound,
                     Format format) -> std::shared_ptr<RasterSurface>
    {
        const long held = 1 + (bound == buffer ? 1 : 0);
        if (buffer && buffer.use_count() == held && !buffer->IsLocked() && buffer->Width() == p.backBufferWidth &&
            buffer->Height() == p.backBufferHeight && buffer->GetDesc().format == format)
            return buffer;
        return nullptr;
    };
    auto colour = keep(backBuffer, renderTarget, p.backBufferFormat);
    if (!colour)
        colour = RasterSurface::Make(control, p.backBufferWidth, p.backBufferHeight, p.backBufferFormat,
                                     Pool::Default, Value::UsageRenderTarget, Accounting::None);
    std::shared_ptr<RasterSurface> depth;
    if (p.enableAutoDepthStencil)
    {
        depth = keep(autoDepth, depthSurface, Format::D16);
        if (!depth)
            depth = RasterSurface::Make(control, p.backBufferWidth, p.backBufferHeight, Format::D16,
                                        Pool::Default, 0, Accounting::None);
    }
    if (!colour || (p.enableAutoDepthStencil && !depth))
        return Result::OutOfVideoMemory;
    if (!presenter->Configure(p.backBufferWidth, p.backBufferHeight, p.windowed,
                              WaitsForRetrace(p.presentationInterval)))
        return Result::NotAvailable;
    params = p;
    backBuffer = colour;
    autoDepth = depth;
    renderTarget = backBuffer;
    depthSurface = autoDepth;
    ApplyDeviceDefaults();
    return Result::Ok;
}

Result RasterDevice::Start(PresentParams& p)
{
    const Result checked = CheckParams(p);
    if (checked != Result::Ok)
        return checked;
    return MakeBuffers(p);
}

Result RasterDevice::TestCooperativeLevel()
{
    const Result injected = control->Enter(Call::TestCooperativeLevel);
    if (injected != Result::Ok)
        return injected;
    // What the presenter showed with went away; a reset makes it again at once.
    return presenter->IsLost() ? Result::DeviceNotReset : Result::Ok;
}

Result RasterDevice::Reset(PresentParams& p)
{
    const Result injected = control->Enter(Call::Reset);
    if (injected != Result::Ok)
        return injected;
    PresentParams copy = p;
    const Result checked = CheckParams(copy);
    if (checked != Result::Ok)
        return checked;
    const Result made = MakeBuffers(copy);
    if (made != Result::Ok)
        return made;
    p = copy;
    inScene = false;
    return Result::Ok;
}

Result RasterDevice::BeginScene()
{
    const Result injected = control->Enter(Call::BeginScene);
    if (injected != Result::Ok)
        return injected;
    if (inScene)
        return Result::InvalidCall;
    inScene = true;
    return Result::Ok;
}

Result RasterDevice::EndScene()
{
    const Result injected = control->Enter(Call::EndScene);
    if (injected != Result::Ok)
        return injected;
    if (!inScene)
        return Result::InvalidCall;
    inScene = false;
    return Result::Ok;
}

Result RasterDevice::Present()
{
    const Result injected = control->Enter(Call::Present);
    if (injected != Result::Ok)
        return injected;
    if (!backBuffer || backBuffer->IsLocked())
        return Result::InvalidCall;
    if (presenter->IsLost())
        return Result::DeviceLost;
    return presenter->Show(backBuffer->Pixels(), backBuffer->Width(), backBuffer->Height());
}

Result RasterDevice::Clear(uint32_t flags, uint32_t colour, float z)
{
    const Result injected = control->Enter(Call::Clear);
    if (injected != Result::Ok)
        return injected;
    const bool clearTarget = flags & Value::ClearTarget;
    const bool clearDepth = flags & Value::ClearZBuffer;
    if ((flags & ~(Value::ClearTarget | Value::ClearZBuffer)) != 0 || !renderTarget ||
        renderTarget->IsLocked())
        return Result::InvalidCall;
    if (clearDepth && (!depthSurface || depthSurface->IsLocked() || std::isnan(z) || z < 0.0f || z > 1.0f))
        return Result::InvalidCall;
    const uint32_t width = renderTarget->Width();
    const uint32_t height = renderTarget->Height();
    if (clearTarget)
        std::fill_n(renderTarget->Pixels(), size_t(width) * height, colour);
    if (clearDepth)
    {
        const uint16_t value = uint16_t(std::nearbyint(double(z) * 65535.0));
        const uint32_t w = std::min(width, depthSurface->Width());
        const uint32_t h = std::min(height, depthSurface->Height());
        if (w == depthSurface->Width() && h == depthSurface->Height())
            depthSurface->FillDepthLater(value);
        else
            for (uint32_t y = 0; y < h; ++y)
                std::fill_n(depthSurface->Depths() + size_t(y) * depthSurface->Width(), w, value);
    }
    return Result::Ok;
}

uint32_t RasterDevice::GetAvailableTextureMem()
{
    if (control->Enter(Call::GetAvailableTextureMem) != Result::Ok)
        return 0;
    return uint32_t(std::min<uint64_t>(control->AvailableMemory(), 0xFFFFFFFFu));
}

Result RasterDevice::SetRenderState(RenderState state, uint32_t value)
{
    const Result injected = control->Enter(Call::SetRenderState);
    if (injected != Result::Ok)
        return injected;
    bool valid = true;
    switch (state)
    {
    case RenderState::ZFunc:
    case RenderState::AlphaFunc:
        valid = IsCompare(value);
        break;
    case RenderState::SrcBlend:
    case RenderState::DestBlend:
        valid = IsBlendFactor(value);
        break;
    case RenderState::AlphaRef:
        valid = value <= 255;
        break;
    case RenderState::CullMode:
        valid = value == Value::CullNone;
        break;
    case RenderState::Count:
        valid = false;
        break;
    default:
        break;
    }
    if (!valid)
        return Result::InvalidCall;
    renderStates[size_t(state)] = value;
    return Result::Ok;
}

uint32_t RasterDevice::GetRenderState(RenderState state) const
{
    return state < RenderState::Count ? renderStates[size_t(state)] : 0;
}

Result RasterDevice::SetSamplerState(uint32_t sampler, SamplerState state, uint32_t value)
{
    const Result injected = control->Enter(Call::SetSamplerState);
    if (injected != Result::Ok)
        return injected;
    if (sampler != 0 || state >= SamplerState::Count)
        return Result::InvalidCall;
    bool valid = true;
    switch (state)
    {
    case SamplerState::MagFilter:
    case SamplerState::MinFilter:
        valid = value == Value::FilterPoint || value == Value::FilterLinear;
        break;
    case SamplerState::MipFilter:
        valid = value <= Value::FilterLinear;
        break;
    default:
        valid = value == Value::AddressClamp;
        break;
    }
    if (!valid)
        return Result::InvalidCall;
    samplerStates[size_t(state)] = value;
    return Result::Ok;
}

uint32_t RasterDevice::GetSamplerState(SamplerState state) const
{
    return state < SamplerState::Count ? samplerStates[size_t(state)] : 0;
}

uint32_t RasterDevice::GetTextureStageState(uint32_t stage, StageState state) const
{
    return stage < StageCount && state < StageState::Count ? stageStates[stage][size_t(state)] : 0;
}

Result RasterDevice::SetTextureStageState(uint32_t stage, StageState state, uint32_t value)
{
    const Result injected = control->Enter(Call::SetTextureStageState);
    if (injected != Result::Ok)
        return injected;
    if (stage >= StageCount || state >= StageState::Count)
        return Result::InvalidCall;
    const bool isOp = state == StageState::ColorOp || state == StageState::AlphaOp;
    // Only stage 0 draws; the later stages stay disabled.
    const bool valid = isOp ? (stage == 0 ? IsStageOp(value) : value == Value::OpDisable) : IsStageArg(value);
    if (!valid)
        return Result::InvalidCall;
    stageStates[stage][size_t(state)] = value;
    return Result::Ok;
}

Result RasterDevice::SetTexture(uint32_t stage, std::shared_ptr<RasterTexture> texture)
{
    const Result injected = control->Enter(Call::SetTexture);
    if (injected != Result::Ok)
        return injected;
    if (stage >= StageCount)
        return Result::InvalidCall;
    textures[stage] = std::move(texture);
    return Result::Ok;
}

Result RasterDevice::SetFVF(uint32_t format)
{
    const Result injected = control->Enter(Call::SetFVF);
    if (injected != Result::Ok)
        return injected;
    if (format != Value::VertexFormatSprite)
        return Result::InvalidCall;
    vertexFormat = format;
    return Result::Ok;
}

Result RasterDevice::SetStreamSource(uint32_t index, std::shared_ptr<RasterBuffer> buffer, uint32_t offset,
                                     uint32_t stride)
{
    const Result injected = control->Enter(Call::SetStreamSource);
    if (injected != Result::Ok)
        return injected;
    if (index != 0 || (buffer && (stride < Value::VertexSizeSprite || offset > buffer->Size())))
        return Result::InvalidCall;
    stream = std::move(buffer);
    streamOffset = offset;
    streamStride = stride;
    return Result::Ok;
}

Result RasterDevice::SetIndices(std::shared_ptr<RasterBuffer> buffer)
{
    const Result injected = control->Enter(Call::SetIndices);
    if (injected != Result::Ok)
        return injected;
    indices = std::move(buffer);
    return Result::Ok;
}

Result RasterDevice::SetTransform(TransformKind kind, const Matrix4& matrix)
{
    const Result injected = control->Enter(Call::SetTransform);
    if (injected != Result::Ok)
        return injected;
    switch (kind)
    {
    case TransformKind::World:
        world = matrix;
        return Result::Ok;
    case TransformKind::View:
        view = matrix;
        return Result::Ok;
    case TransformKind::Projection:
        projection = matrix;
        return Result::Ok;
    }
    return Result::InvalidCall;
}

Result RasterDevice::GetTransform(TransformKind kind, Matrix4& out) const
{
    switch (kind)
    {
    case TransformKind::World:
        out = world;
        return Result::Ok;
    case TransformKind::View:
        out = view;
        return Result::Ok;
    case TransformKind::Projection:
        out = projection;
        return Result::Ok;
    }
    return Result::InvalidCall;
}

Result RasterDevice::SetRenderTarget(uint32_t index, std::shared_ptr<RasterSurface> surface)
{
    const Result injected = control->Enter(Call::SetRenderTarget);
    if (injected != Result::Ok)
        return injected;
    if (index != 0 || !surface || !(surface->GetDesc().usage & Value::UsageRenderTarget) ||
        surface->GetFormat() == Format::D16)
        return Result::InvalidCall;
    renderTarget = std::move(surface);
    return Result::Ok;
}

Result RasterDevice::GetRenderTarget(uint32_t index, std::shared_ptr<RasterSurface>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::GetRenderTarget);
    if (injected != Result::Ok)
        return injected;
    if (index != 0 || !renderTarget)
        return Result::InvalidCall;
    out = renderTarget;
    return Result::Ok;
}

Result RasterDevice::SetDepthStencilSurface(std::shared_ptr<RasterSurface> surface)
{
    const Result injected = control->Enter(Call::SetDepthStencilSurface);
    if (injected != Result::Ok)
        return injected;
    if (surface && surface->GetFormat() != Format::D16)
        return Result::InvalidCall;
    depthSurface = std::move(surface);
    return Result::Ok;
}

Result RasterDevice::GetDepthStencilSurface(std::shared_ptr<RasterSurface>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::GetDepthStencilSurface);
    if (injected != Result::Ok)
        return injected;
    if (!depthSurface)
        return Result::NotAvailable;
    out = depthSurface;
    return Result::Ok;
}

Result RasterDevice::GetBackBuffer(uint32_t index, std::shared_ptr<RasterSurface>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::GetBackBuffer);
    if (injected != Result::Ok)
        return injected;
    if (index != 0 || !backBuffer)
        return Result::InvalidCall;
    out = backBuffer;
    return Result::Ok;
}

Result RasterDevice::CheckDraw(PrimitiveType type, int32_t baseVertex, uint32_t minVertex,
                               uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount,
                               uint32_t& indexCount) const
{
    if (!inScene || vertexFormat != Value::VertexFormatSprite || !stream || !indices || !renderTarget)
        return Result::InvalidCall;
    if (stream->IsLocked() || indices->IsLocked() || renderTarget->IsLocked())
        return Result::InvalidCall;
    if (primitiveCount == 0 || primitiveCount > caps.maxPrimitiveCount)
        return Result::InvalidCall;
    // A depth test needs a depth surface at least as large as the target.
    if (renderStates[size_t(RenderState::ZEnable)] && depthSurface &&
        (depthSurface->IsLocked() || depthSurface->Width() < renderTarget->Width() ||
         depthSurface->Height() < renderTarget->Height()))
        return Result::InvalidCall;
    if (type == PrimitiveType::TriangleList)
        indexCount = primitiveCount * 3;
    else if (type == PrimitiveType::LineList)
        indexCount = primitiveCount * 2;
    else
        return Result::InvalidCall;
    if (uint64_t(startIndex) + indexCount > indices->Size() / 2)
        return Result::InvalidCall;
    const uint64_t available = stream->Size() - streamOffset;
    const uint64_t vertexSlots =
        available < Value::VertexSizeSprite ? 0 : (available - Value::VertexSizeSprite) / streamStride + 1;
    const uint64_t rangeEnd = uint64_t(minVertex) + vertexCount;
    const uint16_t* list = reinterpret_cast<const uint16_t*>(indices->Data()) + startIndex;
    for (uint32_t i = 0; i < indexCount; ++i)
    {
        const int64_t vertex = int64_t(baseVertex) + list[i];
        if (list[i] < minVertex || list[i] >= rangeEnd || vertex < 0 || uint64_t(vertex) >= vertexSlots)
            return Result::InvalidCall;
    }
    return Result::Ok;
}

PipelineState RasterDevice::MakePipeline()
{
    PipelineState p;
    const auto rs = [&](RenderState s) { return renderStates[size_t(s)]; };
    const auto& stage = stageStates[0];
    p.zEnable = rs(RenderState::ZEnable) != 0;
    p.zWrite = rs(RenderState::ZWriteEnable) != 0;
    p.zFunc = rs(RenderState::ZFunc);
    p.alphaTest = rs(RenderState::AlphaTestEnable) != 0;
    p.alphaRef = rs(RenderState::AlphaRef);
    p.alphaFunc = rs(RenderState::AlphaFunc);
    p.blend = rs(RenderState::AlphaBlendEnable) != 0;
    p.srcBlend = rs(RenderState::SrcBlend);
    p.destBlend = rs(RenderState::DestBlend);
    p.textureFactor = rs(RenderState::TextureFactor);
    p.colorOp = stage[size_t(StageState::ColorOp)];
    p.colorArg1 = stage[size_t(StageState::ColorArg1)];
    p.colorArg2 = stage[size_t(StageState::ColorArg2)];
    p.alphaOp = stage[size_t(StageState::AlphaOp)];
    p.alphaArg1 = stage[size_t(StageState::AlphaArg1)];
    p.alphaArg2 = stage[size_t(StageState::AlphaArg2)];
    p.linear = samplerStates[size_t(SamplerState::MagFilter)] == Value::FilterLinear;
    p.texture = textures[0] ? &textures[0]->Level0() : nullptr;
    p.target = renderTarget.get();
    p.depth = depthSurface && !depthSurface->IsLocked() ? depthSurface.get() : nullptr;
    p.fastPaths = fastPaths;
    p.wideRuns = wideRuns;
    p.widestRuns = widestRuns;
    return p;
}

Result RasterDevice::DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minVertex,
                                          uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount)
{
    const Result injected = control->Enter(Call::DrawIndexedPrimitive);
    if (injected != Result::Ok)
        return injected;
    uint32_t indexCount = 0;
    const Result checked =
        CheckDraw(type, baseVertex, minVertex, vertexCount, startIndex, primitiveCount, indexCount);
    if (checked != Result::Ok)
        return checked;
    PipelineState pipeline = MakePipeline();
    border.source = nullptr;
    pipeline.border = &border;
    const uint16_t* list = reinterpret_cast<const uint16_t*>(indices->Data()) + startIndex;
    const uint8_t* vertices = stream->Data() + streamOffset;
    auto fetch = [&](uint16_t index)
    {
        SpriteVertex v;
        std::memcpy(&v, vertices + size_t(int64_t(baseVertex) + index) * streamStride, sizeof v);
        return v;
    };
    if (type == PrimitiveType::TriangleList)
    {
        for (uint32_t i = 0; i < indexCount; i += 3)
        {
            // Two triangles (a, b, c), (a, c, d) make one quad, the way sprites are indexed.
            if (i + 6 <= indexCount && list[i + 3] == list[i] && list[i + 4] == list[i + 2])
            {
                DrawQuad(pipeline, fetch(list[i]), fetch(list[i + 1]), fetch(list[i + 2]),
                         fetch(list[i + 5]));
                i += 3;
                continue;
            }
            DrawTriangle(pipeline, fetch(list[i]), fetch(list[i + 1]), fetch(list[i + 2]));
        }
    }
    else
    {
        for (uint32_t i = 0; i < indexCount; i += 2)
            DrawLine(pipeline, fetch(list[i]), fetch(list[i + 1]));
    }
    return Result::Ok;
}

Result RasterDevice::CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage,
                                   Format format, Pool pool, std::shared_ptr<RasterTexture>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::CreateTexture);
    if (injected != Result::Ok)
        return injected;
    const bool renderTargetUsage = usage & Value::UsageRenderTarget;
    if (width == 0 || height == 0 || width > caps.maxTextureWidth || height > caps.maxTextureHeight ||
        levels > 1 || format != Format::A8R8G8B8 || (usage & ~Value::UsageRenderTarget) != 0 ||
        (renderTargetUsage && pool != Pool::Default) || pool == Pool::SystemMem)
        return Result::InvalidCall;
    if ((caps.textureCaps & Value::TextureCapsSquareOnly) && width != height)
        return Result::InvalidCall;
    out = RasterTexture::Make(control, width, height, pool, usage);
    return out ? Result::Ok : Result::OutOfVideoMemory;
}

Result RasterDevice::CreateVertexBuffer(uint32_t bytes, uint32_t usage, uint32_t format, Pool pool,
                                        std::shared_ptr<RasterBuffer>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::CreateVertexBuffer);
    if (injected != Result::Ok)
        return injected;
    if (bytes == 0 || (usage & ~(Value::UsageDynamic | Value::UsageWriteOnly)) != 0 ||
        pool == Pool::SystemMem || (format != 0 && format != Value::VertexFormatSprite))
        return Result::InvalidCall;
    out = RasterBuffer::Make(control, bytes, usage, format, Format::Unknown);
    return out ? Result::Ok : Result::OutOfVideoMemory;
}

Result RasterDevice::CreateIndexBuffer(uint32_t bytes, uint32_t usage, Format format, Pool pool,
                                       std::shared_ptr<RasterBuffer>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::CreateIndexBuffer);
    if (injected != Result::Ok)
        return injected;
    if (bytes < 2 || format != Format::Index16 ||
        (usage & ~(Value::UsageDynamic | Value::UsageWriteOnly)) != 0 || pool == Pool::SystemMem)
        return Result::InvalidCall;
    out = RasterBuffer::Make(control, bytes, usage, 0, format);
    return out ? Result::Ok : Result::OutOfVideoMemory;
}

Result RasterDevice::CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format, bool discard,
                                               std::shared_ptr<RasterSurface>& out)
{
    (void)discard;
    out.reset();
    const Result injected = control->Enter(Call::CreateDepthStencilSurface);
    if (injected != Result::Ok)
        return injected;
    if (width == 0 || height == 0 || width > MaxBackBufferSide || height > MaxBackBufferSide ||
        format != Format::D16)
        return Result::InvalidCall;
    out = RasterSurface::Make(control, width, height, Format::D16, Pool::Default, 0, Accounting::Budgeted);
    return out ? Result::Ok : Result::OutOfVideoMemory;
}

Result RasterDevice::CreateOffscreenPlainSurface(uint32_t width, uint32_t height, Format format, Pool pool,
                                                 std::shared_ptr<RasterSurface>& out)
{
    out.reset();
    const Result injected = control->Enter(Call::CreateOffscreenPlainSurface);
    if (injected != Result::Ok)
        return injected;
    if (width == 0 || height == 0 || width > MaxBackBufferSide || height > MaxBackBufferSide ||
        (format != Format::A8R8G8B8 && format != Format::X8R8G8B8) || pool != Pool::SystemMem)
        return Result::InvalidCall;
    // System memory does not count against the texture budget.
    out = RasterSurface::Make(control, width, height, format, pool, 0, Accounting::None);
    return out ? Result::Ok : Result::OutOfVideoMemory;
}

Result RasterDevice::GetRenderTargetData(const std::shared_ptr<RasterSurface>& source,
                                         const std::shared_ptr<RasterSurface>& destination)
{
    const Result injected = control->Enter(Call::GetRenderTargetData);
    if (injected != Result::Ok)
        return injected;
    if (!source || !destination || source == destination ||
        !(source->GetDesc().usage & Value::UsageRenderTarget) ||
        destination->GetDesc().pool != Pool::SystemMem || source->Width() != destination->Width() ||
        source->Height() != destination->Height() || source->IsLocked() || destination->IsLocked() ||
        destination->GetFormat() == Format::D16)
        return Result::InvalidCall;
    std::memcpy(destination->Pixels(), source->Pixels(), size_t(source->Width()) * source->Height() * 4);
    return Result::Ok;
}

} // namespace Raster
