// A small value with its own read and write positions over a shared, counted stream source. Copies
// share the source and carry their positions independently.
#pragma once

#include <cstdint>

#include "engine/core/base/MemoryRegion.h"
#include "engine/core/base/RefPtr.h"
#include "engine/core/files/StreamSource.h"

namespace TarnEngine
{

class Stream
{
public:
    Stream() = default;
    explicit Stream(RefPtr<StreamSourceCounted> source) : m_source(std::move(source)) {}

    // Source present and valid.
    bool IsValid() const;
    // Reads at the read position and advances it by what was read (also given in readCount).
    bool Read(uint8_t* dest, uint32_t count, uint32_t* readCount = nullptr);
    // Writes at the write position and advances it by what was written (also given in writtenCount).
    bool Write(const uint8_t* src, uint32_t count, uint32_t* writtenCount = nullptr);
    uint32_t GetSize() const;
    // Bytes from the read position to the end; 0 when the position lies at or past the end.
    uint32_t GetRemaining() const;
    // A new block with the remaining bytes, or null when none remain or the read fails; the read
    // position does not move. The count goes to size when given.
    ByteBlock ReadRemaining(uint32_t* size = nullptr) const;

    uint32_t GetReadPosition() const { return m_readPosition; }
    uint32_t GetWritePosition() const { return m_writePosition; }
    void SetReadPosition(uint32_t position) { m_readPosition = position; }
    void SetWritePosition(uint32_t position) { m_writePosition = position; }
    const RefPtr<StreamSourceCounted>& GetSource() const { return m_source; }
    void SetSource(RefPtr<StreamSourceCounted> source) { m_source = std::move(source); }

private:
    uint32_t m_writePosition = 0;
    uint32_t m_readPosition = 0;
    RefPtr<StreamSourceCounted> m_source;
};

// Writes the source stream's remaining bytes at the destination's write position and, on success,
// moves the source's read position past what was written.
bool CopyStream(Stream& destination, Stream& source);

} // namespace TarnEngine
