// A heap block with its size: whole-file contents, decoded pictures and sound data travel as
// MemoryRegionCounted. Blocks handed between sources, regions and streams are all new[] blocks held
// in unique_ptr<uint8_t[]>; an allocation that fails gives a null block rather than an exception.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

using ByteBlock = std::unique_ptr<uint8_t[]>;

// An uninitialised block of size bytes, or null when the size is 0 or the memory is not there.
ByteBlock AllocateBlock(size_t size);

class MemoryRegion
{
public:
    // An uninitialised block of size bytes (null and 0 for a size of 0 or a failed allocation).
    explicit MemoryRegion(uint32_t size);
    // A copy of size bytes at data (null and 0 when either is null or 0).
    MemoryRegion(const void* data, uint32_t size);
    MemoryRegion(const MemoryRegion&) = delete;
    MemoryRegion& operator=(const MemoryRegion&) = delete;
    virtual ~MemoryRegion() = default;

    uint8_t* GetData() const { return m_data.get(); }
    uint32_t GetSize() const { return m_size; }

private:
    ByteBlock m_data;
    uint32_t m_size = 0;
};

class MemoryRegionCounted : public MemoryRegion, public Referenced
{
public:
    using MemoryRegion::MemoryRegion;
};

} // namespace TarnEngine
