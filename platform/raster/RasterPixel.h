// The exact per-pixel arithmetic shared by the general and the fast paths of the software device:
// the rounding product of two 8-bit values, the bilinear filter and the blend. Kept in one place so
// that every path computes the same bits.
#pragma once

#include <algorithm>
#include <cstdint>

namespace Raster
{

// round(x / 255) for 0 <= x <= 255 * 255, exactly.
inline uint32_t Div255(uint32_t x)
{
    return ((x + 128) * 257) >> 16;
}

inline uint32_t Channel(uint32_t colour, int shift)
{
    return (colour >> shift) & 0xFF;
}

// Product of two colours channel by channel (the stage's modulate).
inline uint32_t ModulateColour(uint32_t a, uint32_t b)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
        out |= Div255(Channel(a, shift) * Channel(b, shift)) << shift;
    return out;
}

// Two-step bilinear filter: columns first with the vertical weight fy, then across with fx;
// weights in 1/256, each step rounded.
inline uint32_t BilinearMix(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fx, uint32_t fy)
{
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
    {
        const uint32_t v0 = (Channel(c00, shift) * (256 - fy) + Channel(c01, shift) * fy + 128) >> 8;
        const uint32_t v1 = (Channel(c10, shift) * (256 - fy) + Channel(c11, shift) * fy + 128) >> 8;
        out |= ((v0 * (256 - fx) + v1 * fx + 128) >> 8) << shift;
    }
    return out;
}

inline uint32_t BlendFactor(uint32_t factor, uint32_t srcAlpha)
{
    switch (factor)
    {
    case 1: // zero
        return 0;
    case 5: // source alpha
        return srcAlpha;
    case 6: // inverse source alpha
        return 255 - srcAlpha;
    default: // one
        return 255;
    }
}

// Blend of every channel (alpha too) with the source alpha: round((s*fs + d*fd) / 255), at most 255.
inline uint32_t BlendColour(uint32_t src, uint32_t dst, uint32_t srcFactor, uint32_t destFactor)
{
    const uint32_t alpha = src >> 24;
    const uint32_t fs = BlendFactor(srcFactor, alpha);
    const uint32_t fd = BlendFactor(destFactor, alpha);
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8)
    {
        const uint32_t sum = Channel(src, shift) * fs + Channel(dst, shift) * fd;
        out |= (sum >= 255 * 255 ? 255 : Div255(sum)) << shift;
    }
    return out;
}

inline bool Compare(uint32_t func, uint32_t value, uint32_t reference)
{
    switch (func)
    {
    case 2: // less
        return value < reference;
    case 5: // greater
        return value > reference;
    case 7: // greater or equal
        return value >= reference;
    case 8: // always
        return true;
    default:
        return false;
    }
}

} // namespace Raster
