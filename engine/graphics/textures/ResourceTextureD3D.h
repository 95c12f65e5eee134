// A device texture: storage made on first use by its recreater (from a file or by the program),
// given up when the device is lost and refilled after the reset. Its memory is accounted in one of
// the render-statistics counters.
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

// The smallest power of two not below the value; 0 stays 0.
uint32_t PowerOfTwoAtLeast(uint32_t value);

// Copies min(widths) x min(heights) pixels; into an X8R8G8B8 destination the fourth byte becomes
// 0xFF. False when either surface cannot be locked.
bool CopySurface(Raster::RasterSurface& source, Raster::RasterSurface& destination);

class ResourceTextureD3D : public IResourceTexture, public RenderEventSubscriber
{
public:
    ResourceTextureD3D(DirectXDevice* owner, Recreater* recreater, const std::wstring& name,
                       uint32_t statsCounter);
    ~ResourceTextureD3D() override;

    bool IsReloadable() override { return true; }
    bool IsLoaded() override { return texture != nullptr; }
    void Unload() override { ReleaseData(); }
    bool Load() override;
    bool ReleaseData() override;

    bool Allocate(ImageSize size) override;
    void Bind(uint32_t stage, bool force) override;
    bool Lock(void** bits, int32_t* pitch, bool readOnly) override;
    void Unlock() override;
    void GetTextureSize(uint32_t* width, uint32_t* height) override;
    void GetImageSize(uint32_t* width, uint32_t* height) override;
    RefPtr<ISurface> GetSurface() override;
    uint32_t GetMemorySize() override { return textureWidth * textureHeight * 4; }
    void DetachRecreater(const Recreater* gone) override
    {
        if (recreater == gone)
            recreater = nullptr;
    }

    void OnDeviceLost() override;
    bool OnDeviceReset() override;
    void OnDeviceDestroyed() override;

    const std::shared_ptr<Raster::RasterTexture>& GetRasterTexture() const { return texture; }
    uint32_t GetStatsCounter() const { return statsCounter; }

private:
    // The device exists and the storage too.
    bool HasStorage() const;
    bool EnsureLoaded();

    std::shared_ptr<Raster::RasterTexture> texture;
    DirectXDevice* owner;
    Recreater* recreater;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t textureWidth = 0;
    uint32_t textureHeight = 0;
    uint32_t statsCounter;
    // The memory of the storage is in the statistics counter (added by a successful load).
    bool accounted = false;
};

} // namespace TarnEngine
