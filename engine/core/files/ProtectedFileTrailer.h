// Protected data files: the payload enciphered with XXTEA, padded to whole words and followed by a
// 28-byte trailer of seven little-endian words (four key words, the payload length L, the CRC-32 of
// the first L enciphered bytes, and L + CRC). The key is built from the key words and the CRC, so
// each file carries its own. The file system unwraps such a file when it opens it, from whatever
// source; a file whose trailer does not check out is served as it is, so plain and protected files mix.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/base/RefPtr.h"
#include "engine/core/files/StreamSource.h"

namespace TarnEngine
{

class IFSSource;

struct ProtectedFileTrailer
{
    static constexpr uint32_t kSize = 28;

    uint32_t key[4];
    uint32_t length;
    uint32_t crc;
    uint32_t check;

    // From the 28 stored bytes.
    static ProtectedFileTrailer FromBytes(const uint8_t* bytes);
    // The stored size a payload of the trailer's length takes: the length rounded up to whole words.
    uint64_t GetPaddedLength() const { return (uint64_t(length) + 3) & ~uint64_t(3); }
    // The cipher key of the file.
    void BuildKey(uint32_t out[4]) const;
};

// Given the source a mounted source opened for name: the same source when the file is plain, a new
// memory source with the deciphered payload (named name, owner owner) when it is protected, or null
// when the trailer or the payload cannot be read in full.
RefPtr<StreamSourceCounted> UnwrapProtectedFile(const RefPtr<StreamSourceCounted>& source,
                                                const std::wstring& name, IFSSource* owner);

} // namespace TarnEngine
