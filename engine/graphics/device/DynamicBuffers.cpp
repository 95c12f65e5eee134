// Dynamic vertex and index buffers: storage made on demand, given up on device loss.
#include "engine/graphics/device/DynamicBuffers.h"

#include "engine/graphics/device/DirectXDevice.h"

#include "platform/raster/RasterDevice.h"

#include <cstdint>

namespace TarnEngine
{

using Raster::Result;
namespace V = Raster::Value;

namespace
{
uint32_t usageOf(bool readable)
{
    return V::UsageDynamic | (readable ? 0u : V::UsageWriteOnly);
}
uint32_t lockFlags(bool readOnly)
{
    return readOnly ? V::LockReadOnly : V::LockDiscard;
}
// The range lies within the buffer; the byte sizes derived from it cannot wrap.
bool withinBuffer(uint32_t lockCount, uint32_t offset, uint32_t count)
{
    return uint64_t(offset) + lockCount <= count;
}
} // namespace

DynamicVertexBuffer::DynamicVertexBuffer(DirectXDevice* ownerDevice, IBufferFiller* bufferFiller,
                                         uint32_t vertexCount, uint32_t vertexStride, uint32_t vertexFormat,
                                         bool isReadable)
    : owner(ownerDevice), filler(bufferFiller), count(vertexCount), stride(vertexStride), fvf(vertexFormat),
      readable(isReadable)
{
    owner->AddEventSubscriber(this);
}

DynamicVertexBuffer::~DynamicVertexBuffer()
{
    if (owner)
        owner->RemoveEventSubscriber(this);
    buffer.reset();
}

bool DynamicVertexBuffer::Create()
{
    Raster::RasterDevice* device = owner ? owner->GetRasterDevice() : nullptr;
    // A byte size past 32 bits would wrap into a small buffer that locks of `count` overrun.
    if (count == 0 || uint64_t(count) * stride > UINT32_MAX || !device)
        return false;
    std::shared_ptr<Raster::RasterBuffer> made;
    if (device->CreateVertexBuffer(count * stride, usageOf(readable), fvf, Raster::Pool::Default, made) !=
        Result::Ok)
        return false;
    buffer = std::move(made);
    if (filler)
        filler->OnVertexBufferCreated(this);
    return true;
}

bool DynamicVertexBuffer::Bind(uint32_t stream, bool force)
{
    if (!buffer && !Create())
        return false;
    DeviceStateCache& cache = owner->GetStateCache();
    const bool a = cache.SetFVF(fvf, force);
    const bool b = cache.SetStreamSource(stream, buffer, stride, force);
    return a && b;
}

bool DynamicVertexBuffer::Lock(void** data, uint32_t lockCount, uint32_t offset, bool readOnly)
{
    if (data)
        *data = nullptr;
    if (!data || !withinBuffer(lockCount, offset, count) || (!buffer && !Create()))
        return false;
    return buffer->Lock(offset * stride, lockCount * stride, data, lockFlags(readOnly)) == Result::Ok;
}

void DynamicVertexBuffer::Unlock()
{
    if (buffer)
        buffer->Unlock();
}

void DynamicVertexBuffer::OnDeviceLost()
{
    if (owner && owner->GetRasterDevice() && buffer)
        buffer.reset();
}

void DynamicVertexBuffer::OnDeviceDestroyed()
{
    buffer.reset();
    owner = nullptr;
}

bool DynamicVertexBuffer::OnDeviceReset()
{
    return buffer ? true : Create();
}

DynamicIndexBuffer::DynamicIndexBuffer(DirectXDevice* ownerDevice, IBufferFiller* bufferFiller,
                                       uint32_t indexCount, bool isReadable)
    : owner(ownerDevice), filler(bufferFiller), count(indexCount), readable(isReadable)
{
    owner->AddEventSubscriber(this);
}

DynamicIndexBuffer::~DynamicIndexBuffer()
{
    if (owner)
        owner->RemoveEventSubscriber(this);
    buffer.reset();
}

bool DynamicIndexBuffer::Create()
{
    Raster::RasterDevice* device = owner ? owner->GetRasterDevice() : nullptr;
    if (count == 0 || count > UINT32_MAX / 2 || !device)
        return false;
    std::shared_ptr<Raster::RasterBuffer> made;
    if (device->CreateIndexBuffer(count * 2, usageOf(readable), Raster::Format::Index16,
                                  Raster::Pool::Default, made) != Result::Ok)
        return false;
    buffer = std::move(made);
    if (filler)
        filler->OnIndexBufferCreated(this);
    return true;
}

bool DynamicIndexBuffer::Bind(bool force)
{
    if (!buffer && !Create())
        return false;
    return owner->GetStateCache().SetIndices(buffer, force);
}

bool DynamicIndexBuffer::Lock(void** data, uint32_t lockCount, uint32_t offset, bool readOnly)
{
    if (data)
        *data = nullptr;
    if (!data || !withinBuffer(lockCount, offset, count) || (!buffer && !Create()))
        return false;
    return buffer->Lock(offset * 2, lockCount * 2, data, lockFlags(readOnly)) == Result::Ok;
}

void DynamicIndexBuffer::Unlock()
{
    if (buffer)
        buffer->Unlock();
}

void DynamicIndexBuffer::OnDeviceLost()
{
    if (owner && owner->GetRasterDevice() && buffer)
        buffer.reset();
}

void DynamicIndexBuffer::OnDeviceDestroyed()
{
    buffer.reset();
    owner = nullptr;
}

bool DynamicIndexBuffer::OnDeviceReset()
{
    return buffer ? true : Create();
}

} // namespace TarnEngine
