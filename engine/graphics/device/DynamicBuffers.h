// Dynamic vertex and index buffers in video memory. They survive device loss by giving their
// storage up when the device is lost and making it again (empty) after a reset; the owner refills.
#pragma once

#include "engine/graphics/textures/IGIL.h"

#include <cstdint>
#include <memory>

namespace Raster
{
class RasterBuffer;
}

namespace TarnEngine
{

class DirectXDevice;
class IDynamicVertexBuffer;
class IDynamicIndexBuffer;

// Told after every creation of a buffer's storage.
class IBufferFiller
{
public:
    virtual ~IBufferFiller() = default;
    virtual bool OnVertexBufferCreated(IDynamicVertexBuffer* buffer) = 0;
    virtual bool OnIndexBufferCreated(IDynamicIndexBuffer* buffer) = 0;
};

class IDynamicVertexBuffer
{
public:
    virtual ~IDynamicVertexBuffer() = default;
    virtual uint32_t GetCount() = 0;
    virtual bool Bind(uint32_t stream, bool force) = 0;
    // `count` vertices from vertex `offset`; read-only or discarding the old content.
    virtual bool Lock(void** data, uint32_t count, uint32_t offset, bool readOnly) = 0;
    virtual void Unlock() = 0;
};

class IDynamicIndexBuffer
{
public:
    virtual ~IDynamicIndexBuffer() = default;
    virtual uint32_t GetCount() = 0;
    virtual bool Bind(bool force) = 0;
    virtual bool Lock(void** data, uint32_t count, uint32_t offset, bool readOnly) = 0;
    virtual void Unlock() = 0;
};

class DynamicVertexBuffer : public IDynamicVertexBuffer, public RenderEventSubscriber
{
public:
    DynamicVertexBuffer(DirectXDevice* owner, IBufferFiller* filler, uint32_t count, uint32_t stride,
                        uint32_t fvf, bool readable);
    ~DynamicVertexBuffer() override;
    DynamicVertexBuffer(const DynamicVertexBuffer&) = delete;
    DynamicVertexBuffer& operator=(const DynamicVertexBuffer&) = delete;

    uint32_t GetCount() override { return count; }
    bool Bind(uint32_t stream, bool force) override;
    bool Lock(void** data, uint32_t count, uint32_t offset, bool readOnly) override;
    void Unlock() override;

    void OnDeviceLost() override;
    bool OnDeviceReset() override;
    void OnDeviceDestroyed() override;

    // Makes the storage; false when the device refuses.
    bool Create();
    bool HasStorage() const { return buffer != nullptr; }

private:
    std::shared_ptr<Raster::RasterBuffer> buffer;
    DirectXDevice* owner;
    IBufferFiller* filler;
    uint32_t count;
    uint32_t stride;
    uint32_t fvf;
    bool readable;
};

class DynamicIndexBuffer : public IDynamicIndexBuffer, public RenderEventSubscriber
{
public:
    DynamicIndexBuffer(DirectXDevice* owner, IBufferFiller* filler, uint32_t count, bool readable);
    ~DynamicIndexBuffer() override;
    DynamicIndexBuffer(const DynamicIndexBuffer&) = delete;
    DynamicIndexBuffer& operator=(const DynamicIndexBuffer&) = delete;

    uint32_t GetCount() override { return count; }
    bool Bind(bool force) override;
    bool Lock(void** data, uint32_t count, uint32_t offset, bool readOnly) override;
    void Unlock() override;

    void OnDeviceLost() override;
    bool OnDeviceReset() override;
    void OnDeviceDestroyed() override;

    bool Create();
    bool HasStorage() const { return buffer != nullptr; }

private:
    std::shared_ptr<Raster::RasterBuffer> buffer;
    DirectXDevice* owner;
    IBufferFiller* filler;
    uint32_t count;
    bool readable;
};

} // namespace TarnEngine
