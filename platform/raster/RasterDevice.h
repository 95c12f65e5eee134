// The software device: scenes, present, clear, the fixed-function states the engine uses, resource
// creation, render target and depth surface binding, and indexed triangle and line lists of
// pre-transformed vertices. Every call passes the shared RasterControl first, so tests can count
// calls and make any of them fail. Bad calls answer InvalidCall and change nothing.
#pragma once

#include "platform/raster/RasterControl.h"
#include "platform/raster/RasterPipeline.h"
#include "platform/raster/RasterPresenter.h"
#include "platform/raster/RasterResources.h"
#include "platform/raster/RasterTypes.h"

#include <array>
#include <memory>

namespace Raster
{

class RasterDevice
{
public:
    static constexpr uint32_t StageCount = 8;
    static constexpr uint32_t MaxBackBufferSide = 8192;

    // Made by RasterSystem::CreateDevice.
    RasterDevice(std::shared_ptr<RasterControl> control, const DeviceCaps& caps,
                 std::unique_ptr<RasterPresenter> presenter);
    ~RasterDevice();
    RasterDevice(const RasterDevice&) = delete;
    RasterDevice& operator=(const RasterDevice&) = delete;

    // Checks the parameters, makes the back buffer and depth surface and configures the presenter.
    Result Start(PresentParams& params);

    // DeviceNotReset while the presenter is lost (SDL's renderer was reset, or the display mode
    // changed under full screen); Present answers DeviceLost then.
    Result TestCooperativeLevel();
    // New back buffer and depth surface from `params`; states return to their defaults.
    Result Reset(PresentParams& params);
    Result BeginScene();
    Result EndScene();
    Result Present();
    Result Clear(uint32_t flags, uint32_t colour, float z);
    uint32_t GetAvailableTextureMem();

    Result SetRenderState(RenderState state, uint32_t value);
    uint32_t GetRenderState(RenderState state) const;
    Result SetSamplerState(uint32_t sampler, SamplerState state, uint32_t value);
    uint32_t GetSamplerState(SamplerState state) const;
    Result SetTextureStageState(uint32_t stage, StageState state, uint32_t value);
    uint32_t GetTextureStageState(uint32_t stage, StageState state) const;
    Result SetTexture(uint32_t stage, std::shared_ptr<RasterTexture> texture);
    Result SetFVF(uint32_t vertexFormat);
    Result SetStreamSource(uint32_t stream, std::shared_ptr<RasterBuffer> buffer, uint32_t offset,
                           uint32_t stride);
    Result SetIndices(std::shared_ptr<RasterBuffer> buffer);
    Result SetTransform(TransformKind kind, const Matrix4& matrix);
    Result GetTransform(TransformKind kind, Matrix4& out) const;

    Result SetRenderTarget(uint32_t index, std::shared_ptr<RasterSurface> surface);
    Result GetRenderTarget(uint32_t index, std::shared_ptr<RasterSurface>& out);
    Result SetDepthStencilSurface(std::shared_ptr<RasterSurface> surface);
    Result GetDepthStencilSurface(std::shared_ptr<RasterSurface>& out);
    Result GetBackBuffer(uint32_t index, std::shared_ptr<RasterSurface>& out);

    // Indices are taken relative to baseVertex and must lie in [minVertex, minVertex + vertexCount).
    Result DrawIndexedPrimitive(PrimitiveType type, int32_t baseVertex, uint32_t minVertex,
                                uint32_t vertexCount, uint32_t startIndex, uint32_t primitiveCount);

    Result CreateTexture(uint32_t width, uint32_t height, uint32_t levels, uint32_t usage, Format format,
                         Pool pool, std::shared_ptr<RasterTexture>& out);
    Result CreateVertexBuffer(uint32_t bytes, uint32_t usage, uint32_t vertexFormat, Pool pool,
                              std::shared_ptr<RasterBuffer>& out);
    Result CreateIndexBuffer(uint32_t bytes, uint32_t usage, Format format, Pool pool,
                             std::shared_ptr<RasterBuffer>& out);
    Result CreateDepthStencilSurface(uint32_t width, uint32_t height, Format format, bool discard,
                                     std::shared_ptr<RasterSurface>& out);
    Result CreateOffscreenPlainSurface(uint32_t width, uint32_t height, Format format, Pool pool,
                                       std::shared_ptr<RasterSurface>& out);
    // Copies a render target into a system-memory surface of the same size.
    Result GetRenderTargetData(const std::shared_ptr<RasterSurface>& source,
                               const std::shared_ptr<RasterSurface>& destination);

    const DeviceCaps& GetCaps() const { return caps; }
    const PresentParams& GetPresentParams() const { return params; }
    bool InScene() const { return inScene; }
    RasterControl& Control() { return *control; }
    RasterPresenter& Presenter() { return *presenter; }
    // Tests draw with the fast span routines off to compare them with the general path.
    void SetFastPaths(bool on) { fastPaths = on; }
    // Tests check the 128-bit runs on processors that would take the 256-bit ones.
    void SetWideRuns(bool on) { wideRuns = on; }
    // Tests check the 256-bit listing of small sprites on processors that would take the 512-bit one.
    void SetWidestRuns(bool on) { widestRuns = on; }

private:
    Result CheckParams(PresentParams& p) const;
    Result MakeBuffers(PresentParams& p);
    void ApplyDeviceDefaults();
    Result CheckDraw(PrimitiveType type, int32_t baseVertex, uint32_t minVertex, uint32_t vertexCount,
                     uint32_t startIndex, uint32_t primitiveCount, uint32_t& indexCount) const;
    PipelineState MakePipeline();

    std::shared_ptr<RasterControl> control;
    DeviceCaps caps;
    std::unique_ptr<RasterPresenter> presenter;
    PresentParams params;

    std::shared_ptr<RasterSurface> backBuffer;
    std::shared_ptr<RasterSurface> autoDepth;
    std::shared_ptr<RasterSurface> renderTarget;
    std::shared_ptr<RasterSurface> depthSurface;
    std::array<std::shared_ptr<RasterTexture>, StageCount> textures;
    std::shared_ptr<RasterBuffer> stream;
    uint32_t streamOffset = 0;
    uint32_t streamStride = 0;
    std::shared_ptr<RasterBuffer> indices;
    uint32_t vertexFormat = 0;

    std::array<uint32_t, size_t(RenderState::Count)> renderStates{};
    std::array<uint32_t, size_t(SamplerState::Count)> samplerStates{};
    std::array<std::array<uint32_t, size_t(StageState::Count)>, StageCount> stageStates{};
    Matrix4 world, view, projection;

    bool inScene = false;
    bool fastPaths = true;
    bool wideRuns = true;
    bool widestRuns = true;
    TexelBorder border;
};

} // namespace Raster
