// XXTEA (Corrected Block TEA) over 32-bit words, in place, with a 128-bit key of four words.
// It protects the engine's data files and its settings files. Deciphering undoes enciphering for
// two words or more; a single word is still processed (stored files of 1 to 4 bytes are read that
// way), but the pair is not inverse for it.
#pragma once

#include <cstdint>

namespace TarnEngine
{

// Both do nothing when count is 0.
void XxteaEncipher(uint32_t count, uint32_t* words, const uint32_t key[4]);
void XxteaDecipher(uint32_t count, uint32_t* words, const uint32_t key[4]);

} // namespace TarnEngine
