// Inverse transforms and colour conversion of the fast JPEG decoder.
//
// A block of eight by eight coefficients is evaluated at 8 or 16 points in
// each direction: s(x, y) = sum over u, v of a(u)/2 a(v)/2 F(v, u)
// cos((2x + 1) u pi / 2Nx) cos((2y + 1) v pi / 2Ny). With 16 points the same
// coefficients land on the doubled grid, which upsamples half-resolution
// chroma without a separate filter. The first pass runs over the coefficient
// rows and touches only the coefficients that are non-zero; the second runs
// over the columns and uses the symmetry of the cosines (even rows add, odd
// rows change sign in the mirrored half) to halve its work.
//
// Both kernel sets compute every output lane with the same float operations
// in the same order, so their pictures are bit-identical.
#include "engine/graphics/FastJpegKernels.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A fused multiply-add would round differently from the vector kernels.
#if defined(__clang__)
#pragma clang fp contract(off)
#endif

namespace TarnEngine
{
namespace
{

struct Basis
{
    // b8[u][x] = a(u)/2 cos((2x + 1) u pi / 16); b16 the same on 16 points.
    alignas(16) float b8[8][8];
    alignas(16) float b16[8][16];
};

const Basis& basis()
{
    static const Basis table = []
    {
        Basis b{};
        const double pi = 3.14159265358979323846;
        for (int u = 0; u < 8; ++u)
        {
            const double scale = u == 0 ? 0.5 / std::sqrt(2.0) : 0.5;
            for (int x = 0; x < 8; ++x)
                b.b8[u][x] = static_cast<float>(scale * std::cos((2 * x + 1) * u * pi / 16.0));
            for (int x = 0; x < 16; ++x)
                b.b16[u][x] = static_cast<float>(scale * std::cos((2 * x + 1) * u * pi / 32.0));
        }
        return b;
    }();
    return table;
}

template <int N> const float* basisRows(const Basis& b)
{
    if constexpr (N == 8)
        return &b.b8[0][0];
    else
        return &b.b16[0][0];
}

// Splits the non-zero coefficient rows into even and odd ones.
struct RowLists
{
    int even[4];
    int odd[4];
    int evenCount = 0;
    int oddCount = 0;
};

inline float clampSample(float v)
{
    v = v < 0.0f ? 0.0f : v;
    return v > 255.0f ? 255.0f : v;
}

inline uint8_t toByte(float v)
{
    // Rounds to nearest, ties to even (the default rounding mode), like the
    // vector conversion.
    return static_cast<uint8_t>(static_cast<int>(std::nearbyint(clampSample(v))));
}

constexpr float kCbToBlue = 1.772f;
constexpr float kCbToGreen = 0.34414f;
constexpr float kCrToGreen = 0.71414f;
constexpr float kCrToRed = 1.402f;

// ---------------------------------------------------------------- portable

template <int NX, int NY> void transformScalar(const float* coef, uint64_t mask, float* out, size_t stride)
{
    const Basis& b = basis();
    if (mask == 1)
    {
        const float dc = (coef[0] * b.b8[0][0]) * b.b8[0][0];
        for (int y = 0; y < NY; ++y)
            for (int x = 0; x < NX; ++x)
                out[y * stride + x] = dc;
        return;
    }
    const float* bx = basisRows<NX>(b);
    const float* by = basisRows<NY>(b);
    float tmp[8][NX];
    RowLists rows;
    for (int v = 0; v < 8; ++v)
    {
        unsigned m = static_cast<unsigned>(mask >> (8 * v)) & 0xFF;
        if (!m)
            continue;
        if (v & 1)
            rows.odd[rows.oddCount++] = v;
        else
            rows.even[rows.evenCount++] = v;
        int u = __builtin_ctz(m);
        float c = coef[8 * v + u];
        for (int x = 0; x < NX; ++x)
            tmp[v][x] = c * bx[u * NX + x];
        for (m &= m - 1; m; m &= m - 1)
        {
            u = __builtin_ctz(m);
            c = coef[8 * v + u];
            for (int x = 0; x < NX; ++x)
                tmp[v][x] = tmp[v][x] + c * bx[u * NX + x];
        }
    }
    for (int y = 0; y < NY / 2; ++y)
    {
        float* top = out + y * stride;
        float* bottom = out + (NY - 1 - y) * stride;
        for (int x = 0; x < NX; ++x)
        {
            // Row 0 always holds the DC coefficient, so the even list is never empty.
            float e = tmp[rows.even[0]][x] * by[rows.even[0] * NY + y];
            for (int i = 1; i < rows.evenCount; ++i)
                e = e + tmp[rows.even[i]][x] * by[rows.even[i] * NY + y];
            float o = 0.0f;
            if (rows.oddCount)
            {
                o = tmp[rows.odd[0]][x] * by[rows.odd[0] * NY + y];
                for (int i = 1; i < rows.oddCount; ++i)
                    o = o + tmp[rows.odd[i]][x] * by[rows.odd[i] * NY + y];
            }
            top[x] = e + o;
            bottom[x] = e - o;
        }
    }
}

void colourGreyScalar(const float* const* planes, size_t planeStride, uint32_t mcuWidth, uint32_t mcuHeight,
                      uint8_t* out, size_t pitch, float levelShift)
{
    for (uint32_t r = 0; r < mcuHeight; ++r)
    {
        const float* y = planes[0] + r * planeStride;
        uint8_t* px = out + r * pitch;
        for (uint32_t x = 0; x < mcuWidth; ++x, px += 4)
        {
            const uint8_t v = toByte(y[x] + levelShift);
            px[0] = px[1] = px[2] = px[3] = v;
        }
    }
}

void colourYCbCrScalar(const float* const* planes, size_t planeStride, uint32_t mcuWidth, uint32_t mcuHeight,
                       uint8_t* out, size_t pitch, float levelShift)
{
    for (uint32_t r = 0; r < mcuHeight; ++r)
    {
        const float* yp = planes[0] + r * planeStride;
        const float* cbp = planes[1] + r * planeStride;
        const float* crp = planes[2] + r * planeStride;
        uint8_t* px = out + r * pitch;
        for (uint32_t x = 0; x < mcuWidth; ++x, px += 4)
        {
            const float y = yp[x] + levelShift;
            const float cb = cbp[x];
            const float cr = crp[x];
            px[0] = toByte(y + kCbToBlue * cb);
            px[1] = toByte((y - kCbToGreen * cb) - kCrToGreen * cr);
            px[2] = toByte(y + kCrToRed * cr);
            px[3] = toByte(y);
        }
    }
}

const FastJpegKernelSet kScalarSet = {
    {transformScalar<8, 8>, transformScalar<16, 8>, transformScalar<8, 16>, transformScalar<16, 16>},
    colourGreyScalar,
    colourYCbCrScalar,
};

#if defined(__SSE2__)
// ---------------------------------------------------------------- SSE2

template <int NX, int NY> void transformSse2(const float* coef, uint64_t mask, float* out, size_t stride)
{
    constexpr int kVec = NX / 4;
    const Basis& b = basis();
    if (mask == 1)
    {
        const __m128 dc = _mm_set1_ps((coef[0] * b.b8[0][0]) * b.b8[0][0]);
        for (int y = 0; y < NY; ++y)
            for (int i = 0; i < kVec; ++i)
                _mm_store_ps(out + y * stride + 4 * i, dc);
        return;
    }
    const float* bx = basisRows<NX>(b);
    const float* by = basisRows<NY>(b);
    __m128 tmp[8][kVec];
    RowLists rows;
    for (int v = 0; v < 8; ++v)
    {
        unsigned m = static_cast<unsigned>(mask >> (8 * v)) & 0xFF;
        if (!m)
            continue;
        if (v & 1)
            rows.odd[rows.oddCount++] = v;
        else
            rows.even[rows.evenCount++] = v;
        int u = __builtin_ctz(m);
        __m128 c = _mm_set1_ps(coef[8 * v + u]);
        for (int i = 0; i < kVec; ++i)
            tmp[v][i] = _mm_mul_ps(c, _mm_load_ps(bx + u * NX + 4 * i));
        for (m &= m - 1; m; m &= m - 1)
        {
            u = __builtin_ctz(m);
            c = _mm_set1_ps(coef[8 * v + u]);
            for (int i = 0; i < kVec; ++i)
                tmp[v][i] = _mm_add_ps(tmp[v][i], _mm_mul_ps(c, _mm_load_ps(bx + u * NX + 4 * i)));
        }
    }
    for (int y = 0; y < NY / 2; ++y)
    {
        __m128 e[kVec];
        __m128 o[kVec];
        __m128 w = _mm_set1_ps(by[rows.even[0] * NY + y]);
        for (int i = 0; i < kVec; ++i)
            e[i] = _mm_mul_ps(tmp[rows.even[0]][i], w);
        for (int k = 1; k < rows.evenCount; ++k)
        {
            w = _mm_set1_ps(by[rows.even[k] * NY + y]);
            for (int i = 0; i < kVec; ++i)
                e[i] = _mm_add_ps(e[i], _mm_mul_ps(tmp[rows.even[k]][i], w));
        }
        if (rows.oddCount)
        {
            w = _mm_set1_ps(by[rows.odd[0] * NY + y]);
            for (int i = 0; i < kVec; ++i)
                o[i] = _mm_mul_ps(tmp[rows.odd[0]][i], w);
            for (int k = 1; k < rows.oddCount; ++k)
            {
                w = _mm_set1_ps(by[rows.odd[k] * NY + y]);
                for (int i = 0; i < kVec; ++i)
                    o[i] = _mm_add_ps(o[i], _mm_mul_ps(tmp[rows.odd[k]][i], w));
            }
        }
        else
        {
            for (int i = 0; i < kVec; ++i)
                o[i] = _mm_setzero_ps();
        }
        float* top = out + y * stride;
        float* bottom = out + (NY - 1 - y) * stride;
        for (int i = 0; i < kVec; ++i)
        {
            _mm_store_ps(top + 4 * i, _mm_add_ps(e[i], o[i]));
            _mm_store_ps(bottom + 4 * i, _mm_sub_ps(e[i], o[i]));
        }
    }
}

inline __m128i toInt(__m128 v)
{
    v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    return _mm_cvtps_epi32(v);
}

// Eight values of 0..255 as 16-bit lanes to the low eight bytes.
inline __m128i toBytes(__m128 lo, __m128 hi)
{
    const __m128i words = _mm_packs_epi32(toInt(lo), toInt(hi));
    return _mm_packus_epi16(words, words);
}

void colourGreySse2(const float* const* planes, size_t planeStride, uint32_t mcuWidth, uint32_t mcuHeight,
                    uint8_t* out, size_t pitch, float levelShift)
{
    const __m128 shift = _mm_set1_ps(levelShift);
    for (uint32_t r = 0; r < mcuHeight; ++r)
    {
        const float* y = planes[0] + r * planeStride;
        uint8_t* px = out + r * pitch;
        for (uint32_t x = 0; x < mcuWidth; x += 8, px += 32)
        {
            const __m128i v =
                toBytes(_mm_add_ps(_mm_load_ps(y + x), shift), _mm_add_ps(_mm_load_ps(y + x + 4), shift));
            const __m128i vv = _mm_unpacklo_epi8(v, v);
            _mm_store_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(vv, vv));
            _mm_store_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi16(vv, vv));
        }
    }
}

void colourYCbCrSse2(const float* const* planes, size_t planeStride, uint32_t mcuWidth, uint32_t mcuHeight,
                     uint8_t* out, size_t pitch, float levelShift)
{
    const __m128 shift = _mm_set1_ps(levelShift);
    const __m128 cbToBlue = _mm_set1_ps(kCbToBlue);
    const __m128 cbToGreen = _mm_set1_ps(kCbToGreen);
    const __m128 crToGreen = _mm_set1_ps(kCrToGreen);
    const __m128 crToRed = _mm_set1_ps(kCrToRed);
    for (uint32_t r = 0; r < mcuHeight; ++r)
    {
        const float* yp = planes[0] + r * planeStride;
        const float* cbp = planes[1] + r * planeStride;
        const float* crp = planes[2] + r * planeStride;
        uint8_t* px = out + r * pitch;
        for (uint32_t x = 0; x < mcuWidth; x += 8, px += 32)
        {
            __m128 blue[2], green[2], red[2], luma[2];
            for (int h = 0; h < 2; ++h)
            {
                const __m128 y = _mm_add_ps(_mm_load_ps(yp + x + 4 * h), shift);
                const __m128 cb = _mm_load_ps(cbp + x + 4 * h);
                const __m128 cr = _mm_load_ps(crp + x + 4 * h);
                blue[h] = _mm_add_ps(y, _mm_mul_ps(cbToBlue, cb));
                green[h] = _mm_sub_ps(_mm_sub_ps(y, _mm_mul_ps(cbToGreen, cb)), _mm_mul_ps(crToGreen, cr));
                red[h] = _mm_add_ps(y, _mm_mul_ps(crToRed, cr));
                luma[h] = y;
            }
            const __m128i bg = _mm_unpacklo_epi8(toBytes(blue[0], blue[1]), toBytes(green[0], green[1]));
            const __m128i ra = _mm_unpacklo_epi8(toBytes(red[0], red[1]), toBytes(luma[0], luma[1]));
            _mm_store_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi16(bg, ra));
            _mm_store_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi16(bg, ra));
        }
    }
}

const FastJpegKernelSet kSse2Set = {
    {transformSse2<8, 8>, transformSse2<16, 8>, transformSse2<8, 16>, transformSse2<16, 16>},
    colourGreySse2,
    colourYCbCrSse2,
};
#endif

} // namespace

const FastJpegKernelSet& FastJpegScalarKernels()
{
    basis();
    return kScalarSet;
}

const FastJpegKernelSet* FastJpegSse2Kernels()
{
#if defined(__SSE2__)
    basis();
    return &kSse2Set;
#else
    return nullptr;
#endif
}

} // namespace TarnEngine
