// CRC-32 by folding 64 bytes at a time with carry-less multiplication; see Crc32.h.
#include "engine/core/files/Crc32.h"

#include <zlib.h>

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PELLWOOD_CRC_FOLDING 1
#endif

namespace TarnEngine
{

namespace
{

std::atomic<bool> g_forcePortable{false};

uint32_t zlibCrc(uint32_t crc, const uint8_t* data, size_t length)
{
    while (length > 0)
    {
        const uInt chunk = length > 0x40000000u ? 0x40000000u : uInt(length);
        crc = uint32_t(crc32(crc, data, chunk));
        data += chunk;
        length -= chunk;
    }
    return crc;
}

#ifdef PELLWOOD_CRC_FOLDING
// Folding constants of the reflected polynomial 0xEDB88320: x^(4*128+32),
// x^(4*128-32) mod P for folding four lanes, x^(128+32), x^(128-32) for one
// lane, x^64 for 128 to 64 bits, then P and mu for the Barrett reduction.
alignas(16) constexpr uint64_t kFold4[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) constexpr uint64_t kFold1[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) constexpr uint64_t kFold64[2] = {0x0163cd6124, 0x0000000000};
alignas(16) constexpr uint64_t kBarrett[2] = {0x01db710641, 0x01f7011641};

// `length` is a multiple of 16 and at least 64; `crc` is the inverted
// register (as zlib keeps it inside); returns the register likewise.
__attribute__((target("pclmul,sse4.1"))) uint32_t foldedCrc(uint32_t crc, const uint8_t* data, size_t length)
{
    __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x00));
    __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x10));
    __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x20));
    __m128i x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x30));
    x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(int(crc)));
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold4));
    data += 64;
    length -= 64;
    while (length >= 64)
    {
        const __m128i a = _mm_clmulepi64_si128(x1, k, 0x00);
        const __m128i b = _mm_clmulepi64_si128(x2, k, 0x00);
        const __m128i c = _mm_clmulepi64_si128(x3, k, 0x00);
        const __m128i d = _mm_clmulepi64_si128(x4, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x2 = _mm_clmulepi64_si128(x2, k, 0x11);
        x3 = _mm_clmulepi64_si128(x3, k, 0x11);
        x4 = _mm_clmulepi64_si128(x4, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, a), _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x00)));
        x2 = _mm_xor_si128(_mm_xor_si128(x2, b), _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x10)));
        x3 = _mm_xor_si128(_mm_xor_si128(x3, c), _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x20)));
        x4 = _mm_xor_si128(_mm_xor_si128(x4, d), _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 0x30)));
        data += 64;
        length -= 64;
    }
    // Four lanes into one.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kFold1));
    for (__m128i next : {x2, x3, x4})
    {
        const __m128i low = _mm_clmulepi64_si128(x1, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, next), low);
    }
    while (length >= 16)
    {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
        const __m128i low = _mm_clmulepi64_si128(x1, k, 0x00);
        x1 = _mm_clmulepi64_si128(x1, k, 0x11);
        x1 = _mm_xor_si128(_mm_xor_si128(x1, next), low);
        data += 16;
        length -= 16;
    }
    // 128 bits to 64.
    const __m128i mask = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i t = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), t);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kFold64));
    t = _mm_srli_si128(x1, 4);
    x1 = _mm_and_si128(x1, mask);
    x1 = _mm_clmulepi64_si128(x1, k, 0x00);
    x1 = _mm_xor_si128(x1, t);
    // Barrett reduction to 32 bits.
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(kBarrett));
    t = _mm_and_si128(x1, mask);
    t = _mm_clmulepi64_si128(t, k, 0x10);
    t = _mm_and_si128(t, mask);
    t = _mm_clmulepi64_si128(t, k, 0x00);
    x1 = _mm_xor_si128(x1, t);
    return uint32_t(_mm_extract_epi32(x1, 1));
}

bool canFold()
{
    static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}
#endif

} // namespace

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t length)
{
#ifdef PELLWOOD_CRC_FOLDING
    if (length >= 64 && canFold() && !g_forcePortable.load(std::memory_order_relaxed))
    {
        const size_t folded = length & ~size_t(15);
        crc = ~foldedCrc(~crc, data, folded);
        data += folded;
        length -= folded;
    }
#endif
    return length > 0 ? zlibCrc(crc, data, length) : crc;
}

void Crc32ForcePortable(bool force)
{
    g_forcePortable.store(force, std::memory_order_relaxed);
}

} // namespace TarnEngine
