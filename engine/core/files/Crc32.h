// The CRC-32 of ZIP members (the polynomial zlib's crc32 uses), computed with
// carry-less multiplication where the processor has it: reading a stored
// member is little more than copying its bytes, and the check must not cost
// more than the copy. Elsewhere, and for short tails, zlib computes it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TarnEngine
{

// The CRC-32 of `length` bytes at `data`, continuing from `crc` (0 to start),
// as zlib's crc32 gives it.
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length);

// Makes later calls use zlib's code alone (tests compare the two ways).
void Crc32ForcePortable(bool force);

} // namespace TarnEngine
