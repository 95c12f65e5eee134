// Device textures, render targets and lockable surfaces as the rest of the engine sees them, and
// the re-creation callback that refills a texture whenever its content is needed again. Textures
// and render targets are named resources of the resource cache, held through counted references.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/core/base/Referenced.h"
#include "engine/core/base/ResourceBase.h"

#include <cstdint>

namespace TarnEngine
{

class IResourceTexture;

struct ImageSize
{
    uint32_t width = 0;
    uint32_t height = 0;
};

// Refills a device texture (first load, and again after the device was lost and reset).
class Recreater
{
public:
    virtual ~Recreater() = default;
    // Fills the texture, normally through Allocate and Lock.
    virtual bool Recreate(IResourceTexture* texture)
    {
        (void)texture;
        return true;
    }
};

// The process-wide recreater of textures made from files: the texture loaders' own unless another
// was set (null goes back to the loaders').
Recreater* GetFileTextureRecreater();
void SetFileTextureRecreater(Recreater* recreater);

// A drawing context on a copy of a surface: 32-bit X8R8G8B8 pixels, rows `pitch` bytes apart.
struct SurfaceDC
{
    uint8_t* bits = nullptr;
    int32_t pitch = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

class ISurface : public Referenced
{
public:
    virtual bool Lock(void** bits, int32_t* pitch, bool readOnly) = 0;
    virtual void Unlock() = 0;
    virtual void GetSize(uint32_t* width, uint32_t* height) = 0;
    // Null on failure. The copy is made on the first call and reused, not refreshed, later.
    virtual SurfaceDC* GetDC() = 0;
    // Writes the copy back into the surface.
    virtual void ReleaseDC() = 0;
};

class IResourceTexture : public ResourceBaseCounted
{
public:
    explicit IResourceTexture(const std::wstring& name) : ResourceBaseCounted(name) {}

    virtual bool Allocate(ImageSize size) = 0;
    virtual void Bind(uint32_t stage, bool force) = 0;
    virtual bool Lock(void** bits, int32_t* pitch, bool readOnly) = 0;
    virtual void Unlock() = 0;
    virtual void GetTextureSize(uint32_t* width, uint32_t* height) = 0;
    virtual void GetImageSize(uint32_t* width, uint32_t* height) = 0;
    virtual RefPtr<ISurface> GetSurface() = 0;
    virtual uint32_t GetMemorySize() = 0;
    // The recreater is going away: a texture that uses it forgets it, keeps
    // what it holds now and cannot be filled again.
    virtual void DetachRecreater(const Recreater* recreater) { (void)recreater; }
};

class IRenderTarget : public IResourceTexture
{
public:
    explicit IRenderTarget(const std::wstring& name) : IResourceTexture(name) {}

    // False when the target cannot be drawn into (no storage): drawing still goes to the current
    // target, so the caller draws nothing.
    virtual bool BeginRender() = 0;
    virtual void EndRender() = 0;
    // The destination must be a device texture; false when the copy could not be made.
    virtual bool CopyToTexture(IResourceTexture* destination) = 0;
};

// Told after a render target was made again following a device reset.
class IRenderTargetListener
{
public:
    virtual ~IRenderTargetListener() = default;
    virtual void OnRenderTargetRestored(IRenderTarget* target) = 0;
};

} // namespace TarnEngine
