// A growable in-memory stream: the working buffer of the settings files, which it can encipher and
// decipher in place. The bytes are reached through its Stream side (Read, Write, CopyStream).
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/files/Stream.h"

namespace TarnEngine
{

class ByteBuffer : public Stream
{
public:
    // The growable byte array behind a ByteBuffer.
    class CBuffer : public StreamSourceCounted
    {
    public:
        // Reads past the end fail; a read that reaches it copies what is there.
        bool Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount) override;
        // A position past the end writes at the end; the array grows (new bytes zero) to hold the data.
        bool Write(uint32_t position, const uint8_t* src, uint32_t count, uint32_t* writtenCount) override;
        uint32_t GetSize() override { return uint32_t(m_bytes.size()); }
        bool IsValid() override { return true; }

        std::vector<uint8_t>& Bytes() { return m_bytes; }

    private:
        std::vector<uint8_t> m_bytes;
    };

    // Reserves 4096 bytes so that a small settings file never reallocates.
    ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;
    virtual ~ByteBuffer() = default;

    // Both pad the contents with zero bytes to a whole number of 32-bit words (the write position
    // ends at the padded size; the read position stays) and then run the cipher over the
    // little-endian words in place. False, changing nothing, when the buffer is empty.
    bool Encipher(const uint32_t key[4]);
    bool Decipher(const uint32_t key[4]);

    const uint8_t* GetData() const { return m_buffer->Bytes().data(); }

private:
    bool prepare(std::vector<uint32_t>& words);
    void store(const std::vector<uint32_t>& words);

    CBuffer* m_buffer; // the stream's source, kept alive by it
};

} // namespace TarnEngine
