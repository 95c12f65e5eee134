// Implementation of Xxtea.h.
#include "engine/core/files/Xxtea.h"

namespace TarnEngine
{

namespace
{

constexpr uint32_t kDelta = 0x9E3779B9u;

inline uint32_t mix(uint32_t y, uint32_t z, uint32_t sum, uint32_t p, uint32_t e, const uint32_t key[4])
{
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key[(p & 3) ^ e] ^ z));
}

} // namespace

void XxteaEncipher(uint32_t n, uint32_t* v, const uint32_t key[4])
{
    if (n == 0)
        return;
    uint32_t rounds = 6 + 52 / n;
    uint32_t sum = 0;
    uint32_t z = v[n - 1];
    while (rounds-- > 0)
    {
        sum += kDelta;
        const uint32_t e = (sum >> 2) & 3;
        uint32_t p = 0;
        for (; p + 1 < n; ++p)
        {
            const uint32_t y = v[p + 1];
            v[p] += mix(y, z, sum, p, e, key);
            z = v[p];
        }
        const uint32_t y = v[0];
        v[n - 1] += mix(y, z, sum, p, e, key);
        z = v[n - 1];
    }
}

void XxteaDecipher(uint32_t n, uint32_t* v, const uint32_t key[4])
{
    if (n == 0)
        return;
    const uint32_t rounds = 6 + 52 / n;
    uint32_t sum = rounds * kDelta;
    uint32_t y = v[0];
    while (sum != 0)
    {
        const uint32_t e = (sum >> 2) & 3;
        uint32_t p = n - 1;
        for (; p > 0; --p)
        {
            const uint32_t z = v[p - 1];
            v[p] -= mix(y, z, sum, p, e, key);
            y = v[p];
        }
        const uint32_t z = v[n - 1];
        v[0] -= mix(y, z, sum, 0, e, key);
        y = v[0];
        sum -= kDelta;
    }
}

} // namespace TarnEngine
