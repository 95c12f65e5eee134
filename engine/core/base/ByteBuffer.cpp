// Implementation of ByteBuffer.h.
#include "engine/core/base/ByteBuffer.h"

#include <cstring>
#include <new>

#include "engine/core/files/Xxtea.h"

namespace TarnEngine
{

bool ByteBuffer::CBuffer::Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount)
{
    const uint32_t size = GetSize();
    if (dest == nullptr || position > size)
        return false;
    const uint32_t n = count < size - position ? count : size - position;
    if (n != 0)
        std::memcpy(dest, m_bytes.data() + position, n);
    if (readCount != nullptr)
        *readCount = n;
    return true;
}

bool ByteBuffer::CBuffer::Write(uint32_t position, const uint8_t* src, uint32_t count, uint32_t* writtenCount)
{
    if (src == nullptr)
        return false;
    const uint32_t size = GetSize();
    if (position > size)
        position = size;
    if (uint64_t(position) + count > 0xFFFFFFFFu)
        return false;
    if (position + count > size)
    {
        try
        {
            m_bytes.resize(position + count);
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
    }
    if (count != 0)
        std::memcpy(m_bytes.data() + position, src, count);
    if (writtenCount != nullptr)
        *writtenCount = count;
    return true;
}

ByteBuffer::ByteBuffer() : m_buffer(new CBuffer)
{
    m_buffer->Bytes().reserve(4096);
    SetSource(RefPtr<StreamSourceCounted>(m_buffer));
}

bool ByteBuffer::prepare(std::vector<uint32_t>& words)
{
    const uint32_t size = m_buffer->GetSize();
    if (size == 0)
        return false;
    SetWritePosition(size);
    if (size % 4 != 0)
    {
        const uint8_t zeros[4] = {0, 0, 0, 0};
        if (!Write(zeros, 4 - size % 4))
            return false;
    }
    const std::vector<uint8_t>& bytes = m_buffer->Bytes();
    words.resize(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 |
                   uint32_t(bytes[4 * i + 2]) << 16 | uint32_t(bytes[4 * i + 3]) << 24;
    return true;
}

void ByteBuffer::store(const std::vector<uint32_t>& words)
{
    std::vector<uint8_t>& bytes = m_buffer->Bytes();
    for (size_t i = 0; i < words.size(); ++i)
    {
        bytes[4 * i] = uint8_t(words[i]);
        bytes[4 * i + 1] = uint8_t(words[i] >> 8);
        bytes[4 * i + 2] = uint8_t(words[i] >> 16);
        bytes[4 * i + 3] = uint8_t(words[i] >> 24);
    }
}

bool ByteBuffer::Encipher(const uint32_t key[4])
{
    std::vector<uint32_t> words;
    if (!prepare(words))
        return false;
    XxteaEncipher(uint32_t(words.size()), words.data(), key);
    store(words);
    return true;
}

bool ByteBuffer::Decipher(const uint32_t key[4])
{
    std::vector<uint32_t> words;
    if (!prepare(words))
        return false;
    XxteaDecipher(uint32_t(words.size()), words.data(), key);
    store(words);
    return true;
}

} // namespace TarnEngine
