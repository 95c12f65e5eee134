// A lockable surface of a device texture, with a drawing-context copy for code that draws text
// into pictures: the copy is made on the first GetDC and written back by ReleaseDC.
#pragma once

#include "engine/graphics/textures/IGIL.h"

#include <memory>

namespace Raster
{
class RasterSurface;
}

namespace TarnEngine
{

class DirectXDevice;

// Listens to the device only to learn that it is gone: the drawing-context copy is made through it.
class Surface : public ISurface, public RenderEventSubscriber
{
public:
    Surface(DirectXDevice* owner, std::shared_ptr<Raster::RasterSurface> surface);
    ~Surface() override;

    bool Lock(void** bits, int32_t* pitch, bool readOnly) override;
    void Unlock() override;
    void GetSize(uint32_t* width, uint32_t* height) override;
    SurfaceDC* GetDC() override;
    void ReleaseDC() override;

    void OnDeviceDestroyed() override { owner = nullptr; }

private:
    DirectXDevice* owner;
    std::shared_ptr<Raster::RasterSurface> surface;
    SurfaceDC dc;
    bool dcOut = false;
    std::shared_ptr<Raster::RasterSurface> gdiCopy;
};

} // namespace TarnEngine
