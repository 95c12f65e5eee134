// Implementation of Stream.h.
#include "engine/core/files/Stream.h"

namespace TarnEngine
{

bool Stream::IsValid() const
{
    return m_source && m_source->IsValid();
}

bool Stream::Read(uint8_t* dest, uint32_t count, uint32_t* readCount)
{
    if (dest == nullptr || !IsValid())
        return false;
    uint32_t n = 0;
    if (!m_source->Read(m_readPosition, dest, count, &n))
        return false;
    m_readPosition += n;
    if (readCount != nullptr)
        *readCount = n;
    return true;
}

bool Stream::Write(const uint8_t* src, uint32_t count, uint32_t* writtenCount)
{
    if (src == nullptr || !IsValid())
        return false;
    uint32_t n = 0;
    if (!m_source->Write(m_writePosition, src, count, &n))
        return false;
    m_writePosition += n;
    if (writtenCount != nullptr)
        *writtenCount = n;
    return true;
}

uint32_t Stream::GetSize() const
{
    return IsValid() ? m_source->GetSize() : 0;
}

uint32_t Stream::GetRemaining() const
{
    const uint32_t size = GetSize();
    return m_readPosition < size ? size - m_readPosition : 0;
}

ByteBlock Stream::ReadRemaining(uint32_t* size) const
{
    const uint32_t remaining = GetRemaining();
    if (remaining == 0)
        return nullptr;
    ByteBlock block = AllocateBlock(remaining);
    if (!block)
        return nullptr;
    uint32_t n = 0;
    if (!m_source->Read(m_readPosition, block.get(), remaining, &n))
        return nullptr;
    if (size != nullptr)
        *size = n;
    return block;
}

bool CopyStream(Stream& destination, Stream& source)
{
    if (!destination.IsValid() || !source.IsValid() || source.GetRemaining() == 0)
        return false;
    uint32_t size = 0;
    const ByteBlock block = source.ReadRemaining(&size);
    if (!block)
        return false;
    uint32_t written = 0;
    if (!destination.Write(block.get(), size, &written))
        return false;
    source.SetReadPosition(source.GetReadPosition() + written);
    return true;
}

} // namespace TarnEngine
