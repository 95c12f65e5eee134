// A texture the renderer can draw into, with its own depth buffer (so masks work inside it) and a
// system-memory surface through which its pixels are copied into ordinary textures. Render targets
// are not reloaded from anywhere: after a reset they are made again empty, and listeners redraw.
#pragma once

#include "engine/graphics/textures/IGIL.h"

#include <memory>

namespace Raster
{
class RasterTexture;
class RasterSurface;
} // namespace Raster

namespace TarnEngine
{

class DirectXDevice;

class RenderTarget : public IRenderTarget, public RenderEventSubscriber
{
public:
    RenderTarget(DirectXDevice* owner, IRenderTargetListener* listener, ImageSize size,
                 const std::wstring& name);
    ~RenderTarget() override;

    bool IsReloadable() override { return false; }
    bool IsLoaded() override { return true; }
    void Unload() override {}
    bool Load() override;
    bool ReleaseData() override { return false; }

    bool Allocate(ImageSize) override { return true; }
    void Bind(uint32_t stage, bool force) override;
    bool Lock(void** bits, int32_t* pitch, bool readOnly) override;
    void Unlock() override;
    void GetTextureSize(uint32_t* width, uint32_t* height) override;
    void GetImageSize(uint32_t* width, uint32_t* height) override;
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return textureWidth * textureHeight * 12; }

    bool BeginRender() override;
    void EndRender() override;
    bool CopyToTexture(IResourceTexture* destination) override;

    void OnDeviceLost() override { ReleaseAll(); }
    bool OnDeviceReset() override;
    void OnDeviceDestroyed() override;

    bool HasStorage() const { return texture != nullptr; }

private:
    void ReleaseAll();

    uint32_t width;
    uint32_t height;
    uint32_t textureWidth = 0;
    uint32_t textureHeight = 0;
    std::shared_ptr<Raster::RasterTexture> texture;
    std::shared_ptr<Raster::RasterSurface> depthSurface;
    std::shared_ptr<Raster::RasterSurface> savedDepthSurface;
    std::shared_ptr<Raster::RasterSurface> readbackSurface;
    std::shared_ptr<Raster::RasterSurface> savedRenderTarget;
    std::shared_ptr<Raster::RasterSurface> targetSurface;
    DirectXDevice* owner;
    IRenderTargetListener* restoreListener;
    bool accounted = false;
};

} // namespace TarnEngine
