// Clamping and power-of-two sizes.
#pragma once

#include <cstdint>

namespace TarnEngine
{

// The value raised to low, then lowered to high (so high wins when low > high).
template <class T> T Clamp(T value, T low, T high)
{
    if (value < low)
        value = low;
    if (value > high)
        value = high;
    return value;
}

// Replaces value by the smallest power of two above it (256 gives 512, 100 gives 128).
// 0 gives 1; from 2^31 up no power of two above fits 32 bits and the result is 0.
inline void NextPowerOfTwo(uint32_t& value)
{
    if (value >= 0x80000000u)
    {
        value = 0;
        return;
    }
    uint32_t power = 1;
    while (power <= value)
        power <<= 1;
    value = power;
}

} // namespace TarnEngine
