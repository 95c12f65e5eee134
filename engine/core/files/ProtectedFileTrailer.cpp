// Implementation of ProtectedFileTrailer.h.
#include "engine/core/files/ProtectedFileTrailer.h"

#include <bit>
#include <zlib.h>

#include "engine/core/files/MemorySource.h"
#include "engine/core/files/Xxtea.h"

namespace TarnEngine
{

namespace
{

uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The cipher works on host words; the stored words are little-endian.
void swapWordsOnBigEndian(uint32_t* words, uint32_t count)
{
    if constexpr (std::endian::native == std::endian::big)
        for (uint32_t i = 0; i < count; ++i)
            words[i] = __builtin_bswap32(words[i]);
    else
        (void)words, (void)count;
}

} // namespace

ProtectedFileTrailer ProtectedFileTrailer::FromBytes(const uint8_t* bytes)
{
    ProtectedFileTrailer t;
    for (int i = 0; i < 4; ++i)
        t.key[i] = readLe32(bytes + 4 * i);
    t.length = readLe32(bytes + 16);
    t.crc = readLe32(bytes + 20);
    t.check = readLe32(bytes + 24);
    return t;
}

void ProtectedFileTrailer::BuildKey(uint32_t out[4]) const
{
    out[0] = key[0] + crc;
    out[1] = key[1] - crc;
    out[2] = key[2] + crc;
    out[3] = key[3] - crc;
}

RefPtr<StreamSourceCounted> UnwrapProtectedFile(const RefPtr<StreamSourceCounted>& source,
                                                const std::wstring& name, IFSSource* owner)
{
    if (!source)
        return nullptr;
    const uint32_t size = source->GetSize();
    if (size <= ProtectedFileTrailer::kSize)
        return source;

    uint8_t bytes[ProtectedFileTrailer::kSize];
    uint32_t got = 0;
    if (!source->Read(size - ProtectedFileTrailer::kSize, bytes, ProtectedFileTrailer::kSize, &got) ||
        got != ProtectedFileTrailer::kSize)
        return nullptr;
    const ProtectedFileTrailer trailer = ProtectedFileTrailer::FromBytes(bytes);
    const uint32_t payloadSize = size - ProtectedFileTrailer::kSize;
    if (trailer.GetPaddedLength() != payloadSize || uint32_t(trailer.crc + trailer.length) != trailer.check)
        return source;

    // The payload is read once and deciphered in the block the new source then owns.
    ByteBlock block = AllocateBlock(payloadSize);
    if (!block)
        return nullptr;
    if (!source->Read(0, block.get(), payloadSize, &got) || got != payloadSize)
        return nullptr;
    if (uint32_t(crc32(0, block.get(), trailer.length)) != trailer.crc)
        return source;

    uint32_t key[4];
    trailer.BuildKey(key);
    // A new[] byte block is suitably aligned for words and holds them as implicit objects.
    uint32_t* words = reinterpret_cast<uint32_t*>(block.get());
    const uint32_t wordCount = payloadSize / 4;
    swapWordsOnBigEndian(words, wordCount);
    XxteaDecipher(wordCount, words, key);
    swapWordsOnBigEndian(words, wordCount);
    return RefPtr<StreamSourceCounted>(new MemorySource(std::move(block), trailer.length, name, owner));
}

} // namespace TarnEngine
