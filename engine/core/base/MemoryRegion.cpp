// Implementation of MemoryRegion.h.
#include "engine/core/base/MemoryRegion.h"

#include <cstring>
#include <new>

namespace TarnEngine
{

ByteBlock AllocateBlock(size_t size)
{
    if (size == 0)
        return nullptr;
    return ByteBlock(new (std::nothrow) uint8_t[size]);
}

MemoryRegion::MemoryRegion(uint32_t size) : m_data(AllocateBlock(size))
{
    m_size = m_data ? size : 0;
}

MemoryRegion::MemoryRegion(const void* data, uint32_t size)
{
    if (data == nullptr || size == 0)
        return;
    m_data = AllocateBlock(size);
    if (m_data)
    {
        std::memcpy(m_data.get(), data, size);
        m_size = size;
    }
}

} // namespace TarnEngine
