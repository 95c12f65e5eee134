// Something that holds bytes and answers positioned reads and writes: a file, a block of memory, a
// growable buffer. Positions and sizes are 32-bit; a file of 4 GiB or more is never opened as one.
#pragma once

#include <cstdint>

#include "engine/core/base/MemoryRegion.h"
#include "engine/core/base/RefPtr.h"
#include "engine/core/base/Referenced.h"

namespace TarnEngine
{

class StreamSource
{
public:
    virtual ~StreamSource() = default;
    // Copies up to count bytes from position into dest; the number copied goes to readCount.
    virtual bool Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount) = 0;
    // Stores count bytes at position; the number stored goes to writtenCount.
    virtual bool Write(uint32_t position, const uint8_t* src, uint32_t count, uint32_t* writtenCount) = 0;
    virtual uint32_t GetSize() = 0;
    virtual bool IsValid() = 0;
};

class StreamSourceCounted : public StreamSource, public Referenced
{
public:
    // The whole contents as one block; null when the source cannot give it.
    virtual RefPtr<MemoryRegionCounted> GetMemoryRegion() { return nullptr; }
};

} // namespace TarnEngine
