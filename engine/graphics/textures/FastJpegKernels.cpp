// Inverse transforms and colour conversion of the fast JPEG decoder.
//
// A block of eight by eight coefficients is evaluated at 8 or 16 points in
// each direction: s(x, y) = sum over u, v of a(u)/2 a(v)/2 F(v, u)
// cos((2x + 1) u pi / 2Nx) cos((2y + 1) v pi / 2Ny). With 16 points the same
// coefficients land on the doubled grid, which upsamples half-resolution
// chroma without a separate filter.
//
// Full-resolution blocks (8 x 8 output) go through the scaled butterfly of
// Arai, Agui and Nakajima along the rows and then down the columns, on a
// block the decoder stores transposed so that only one transposition is
// needed; the butterfly's input scale factors are folded into the decoder's
// dequantisation (FastJpegLayout). The upsampling kernels run over the
// coefficient rows first and touch only the non-zero coefficients, using the
// symmetry of the cosines (even frequencies mirror, odd ones change sign) to
// compute half of each row; down the columns, 8 output rows again use the
// butterfly and 16 rows sum the rows with the same mirror symmetry. A block
// with only its DC coefficient is a constant and skips the transform; a block
// whose coefficients all lie in the top-left 4 x 4 corner leaves out the
// butterfly steps on zeros in the vector kernels.
//
// All kernel sets compute every output lane with the same float operations
// in the same order (steps on zeros aside, which change at most the sign of
// a zero), so their pictures are bit-identical.
#include "engine/graphics/textures/FastJpegKernels.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
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

constexpr float kSqrt2 = 1.414213562f;
constexpr float kC2 = 1.847759065f;        // 2 cos(pi/8)
constexpr float kC2MinusC6 = 1.082392200f; // 2 (cos(pi/8) - cos(3pi/8))
constexpr float kC2PlusC6 = 2.613125930f;  // 2 (cos(pi/8) + cos(3pi/8))

// One 8-point butterfly; T is float or a vector type (GCC vector extension),
// whose operators act lane by lane and spread a float over all lanes.
template <typename T> __attribute__((always_inline)) inline void butterfly(const T* in, T* out)
{
    T tmp10 = in[0] + in[4];
    T tmp11 = in[0] - in[4];
    const T tmp13 = in[2] + in[6];
    T tmp12 = (in[2] - in[6]) * kSqrt2 - tmp13;
    const T e0 = tmp10 + tmp13;
    const T e3 = tmp10 - tmp13;
    const T e1 = tmp11 + tmp12;
    const T e2 = tmp11 - tmp12;

    const T z13 = in[5] + in[3];
    const T z10 = in[5] - in[3];
    const T z11 = in[1] + in[7];
    const T z12 = in[1] - in[7];
    const T o7 = z11 + z13;
    tmp11 = (z11 - z13) * kSqrt2;
    const T z5 = (z10 + z12) * kC2;
    tmp10 = kC2MinusC6 * z12 - z5;
    tmp12 = z5 - kC2PlusC6 * z10;
    const T o6 = tmp12 - o7;
    const T o5 = tmp11 - o6;
    const T o4 = tmp10 + o5;

    out[0] = e0 + o7;
    out[7] = e0 - o7;
    out[1] = e1 + o6;
    out[6] = e1 - o6;
    out[2] = e2 + o5;
    out[5] = e2 - o5;
    out[4] = e3 + o4;
    out[3] = e3 - o4;
}

// The butterfly when in[4] to in[7] are zero, with the operations on those
// zeros left out. Adding or subtracting a zero and multiplying by one change
// nothing but the sign of a zero result, which no later step can tell apart,
// so the output equals the full butterfly's.
template <typename T> __attribute__((always_inline)) inline void butterflyLowHalf(const T* in, T* out)
{
    const T tmp13 = in[2];
    const T tmp12 = in[2] * kSqrt2 - tmp13;
    const T e0 = in[0] + tmp13;
    const T e3 = in[0] - tmp13;
    const T e1 = in[0] + tmp12;
    const T e2 = in[0] - tmp12;

    // z13 = in[3], z10 = -in[3], z11 = z12 = in[1].
    const T o7 = in[1] + in[3];
    const T tmp11 = (in[1] - in[3]) * kSqrt2;
    const T z5 = (in[1] - in[3]) * kC2;
    const T tmp10 = kC2MinusC6 * in[1] - z5;
    const T tmp12b = z5 + kC2PlusC6 * in[3];
    const T o6 = tmp12b - o7;
    const T o5 = tmp11 - o6;
    const T o4 = tmp10 + o5;

    out[0] = e0 + o7;
    out[7] = e0 - o7;
    out[1] = e1 + o6;
    out[6] = e1 - o6;
    out[2] = e2 + o5;
    out[5] = e2 - o5;
    out[4] = e3 + o4;
    out[3] = e3 - o4;
}

// Mirrors the vector path: cap at 255 in float, round to nearest with ties
// to even (the default rounding mode; values below the 32-bit range become
// the most negative integer, as the processor's conversion gives), then
// saturate to 0..255 as the packing instructions do.
inline uint8_t toByte(float v)
{
    v = v > 255.0f ? 255.0f : v;
    const float r = std::nearbyint(v);
    const int i = r >= -2147483648.0f ? static_cast<int>(r) : INT32_MIN;
    return static_cast<uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
}

constexpr float kCbToBlue = 1.772f;
constexpr float kCbToGreen = 0.34414f;
constexpr float kCrToGreen = 0.71414f;
constexpr float kCrToRed = 1.402f;

// ---------------------------------------------------------------- portable

// Eight by eight output from coefficients stored transposed (column u, row v
// at u * 8 + v): a butterfly along each row, then down each column.
void transform8x8Scalar(int32_t* coef, const float* dq, int zigzagEnd, float* out, size_t stride)
{
    if (zigzagEnd <= 1)
    {
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                out[y * stride + x] = static_cast<float>(coef[0]) * dq[0];
        coef[0] = 0;
        return;
    }
    float tmp[8][8]; // [x][v]
    for (int v = 0; v < 8; ++v)
    {
        float in[8], res[8];
        for (int u = 0; u < 8; ++u)
            in[u] = static_cast<float>(coef[u * 8 + v]) * dq[u * 8 + v];
        butterfly(in, res);
        for (int x = 0; x < 8; ++x)
            tmp[x][v] = res[x];
    }
    std::memset(coef, 0, 64 * sizeof(int32_t));
    for (int x = 0; x < 8; ++x)
    {
        float res[8];
        butterfly(tmp[x], res);
        for (int y = 0; y < 8; ++y)
            out[y * stride + x] = res[y];
    }
}

template <int NX, int NY>
void transformScalar(int32_t* coef, const float* dq, int zigzagEnd, float* out, size_t stride)
{
    constexpr int kHalf = NX / 2;
    const Basis& b = basis();
    if (zigzagEnd <= 1)
    {
        const float c = static_cast<float>(coef[0]) * dq[0];
        const float dc = NY == 8 ? c * b.b8[0][0] : (c * b.b8[0][0]) * b.b8[0][0];
        for (int y = 0; y < NY; ++y)
            for (int x = 0; x < NX; ++x)
                out[y * stride + x] = dc;
        coef[0] = 0;
        return;
    }
    const float* bx = basisRows<NX>(b);
    float tmp[8][NX];
    RowLists rows;
    for (int v = 0; v < 8; ++v)
    {
        unsigned m = 0;
        for (int u = 0; u < 8; ++u)
            m |= coef[8 * v + u] != 0 ? 1u << u : 0u;
        if (!m)
        {
            for (int x = 0; x < NX; ++x)
                tmp[v][x] = 0.0f;
            continue;
        }
        if (v & 1)
            rows.odd[rows.oddCount++] = v;
        else
            rows.even[rows.evenCount++] = v;
        float even[kHalf] = {};
        float odd[kHalf] = {};
        for (unsigned e = m & 0x55; e; e &= e - 1)
        {
            const int u = __builtin_ctz(e);
            const float c = static_cast<float>(coef[8 * v + u]) * dq[8 * v + u];
            for (int x = 0; x < kHalf; ++x)
                even[x] = even[x] + c * bx[u * NX + x];
        }
        for (unsigned o = m & 0xAA; o; o &= o - 1)
        {
            const int u = __builtin_ctz(o);
            const float c = static_cast<float>(coef[8 * v + u]) * dq[8 * v + u];
            for (int x = 0; x < kHalf; ++x)
                odd[x] = odd[x] + c * bx[u * NX + x];
        }
        for (int x = 0; x < kHalf; ++x)
        {
            tmp[v][x] = even[x] + odd[x];
            tmp[v][NX - 1 - x] = even[x] - odd[x];
        }
    }
    std::memset(coef, 0, 64 * sizeof(int32_t));
    if constexpr (NY == 8)
    {
        for (int x = 0; x < NX; ++x)
        {
            float in[8], res[8];
            for (int v = 0; v < 8; ++v)
                in[v] = tmp[v][x];
            butterfly(in, res);
            for (int y = 0; y < 8; ++y)
                out[y * stride + x] = res[y];
        }
        return;
    }
    const float* by = basisRows<NY>(b);
    for (int y = 0; y < NY / 2; ++y)
    {
        float* top = out + y * stride;
        float* bottom = out + (NY - 1 - y) * stride;
        for (int x = 0; x < NX; ++x)
        {
            float e = 0.0f;
            if (rows.evenCount)
            {
                e = tmp[rows.even[0]][x] * by[rows.even[0] * NY + y];
                for (int i = 1; i < rows.evenCount; ++i)
                    e = e + tmp[rows.even[i]][x] * by[rows.even[i] * NY + y];
            }
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
    {transform8x8Scalar, transformScalar<16, 8>, transformScalar<8, 16>, transformScalar<16, 16>},
    colourGreyScalar,
    colourYCbCrScalar,
};

#if defined(__SSE2__)
// ---------------------------------------------------------------- SSE2

inline __m128 reversed(__m128 v)
{
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}

void transform8x8Sse2(int32_t* coef, const float* dq, int zigzagEnd, float* out, size_t stride)
{
    if (zigzagEnd <= 1)
    {
        const __m128 dc = _mm_set1_ps(static_cast<float>(coef[0]) * dq[0]);
        for (int y = 0; y < 8; ++y)
        {
            _mm_store_ps(out + y * stride, dc);
            _mm_store_ps(out + y * stride + 4, dc);
        }
        coef[0] = 0;
        return;
    }
    if (zigzagEnd <= 10)
    {
        // The first ten zig-zag positions lie in the top-left 4 x 4 corner:
        // half of the first pass and of each butterfly's input is zero.
        __m128 in[4], a[8];
        for (int u = 0; u < 4; ++u)
        {
            __m128i* at = reinterpret_cast<__m128i*>(coef + u * 8);
            in[u] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_load_si128(at)), _mm_load_ps(dq + u * 8));
            _mm_store_si128(at, _mm_setzero_si128());
        }
        butterflyLowHalf(in, a);
        for (int hx = 0; hx < 2; ++hx)
        {
            __m128 b[4] = {a[4 * hx], a[4 * hx + 1], a[4 * hx + 2], a[4 * hx + 3]};
            _MM_TRANSPOSE4_PS(b[0], b[1], b[2], b[3]);
            __m128 res[8];
            butterflyLowHalf(b, res);
            for (int y = 0; y < 8; ++y)
                _mm_store_ps(out + y * stride + 4 * hx, res[y]);
        }
        return;
    }
    // Rows of the transposed block hold one column u each, lanes v.
    __m128 a[2][8]; // [v group][x], lanes v
    for (int h = 0; h < 2; ++h)
    {
        __m128 in[8];
        for (int u = 0; u < 8; ++u)
        {
            __m128i* at = reinterpret_cast<__m128i*>(coef + u * 8 + 4 * h);
            in[u] = _mm_mul_ps(_mm_cvtepi32_ps(_mm_load_si128(at)), _mm_load_ps(dq + u * 8 + 4 * h));
            _mm_store_si128(at, _mm_setzero_si128());
        }
        butterfly(in, a[h]);
    }
    // Transpose to lanes x, one vector per v.
    __m128 b[2][8]; // [x group][v], lanes x
    for (int hx = 0; hx < 2; ++hx)
        for (int h = 0; h < 2; ++h)
        {
            __m128 r0 = a[h][4 * hx], r1 = a[h][4 * hx + 1], r2 = a[h][4 * hx + 2], r3 = a[h][4 * hx + 3];
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            b[hx][4 * h] = r0;
            b[hx][4 * h + 1] = r1;
            b[hx][4 * h + 2] = r2;
            b[hx][4 * h + 3] = r3;
        }
    for (int hx = 0; hx < 2; ++hx)
    {
        __m128 res[8];
        butterfly(b[hx], res);
        for (int y = 0; y < 8; ++y)
            _mm_store_ps(out + y * stride + 4 * hx, res[y]);
    }
}

template <int NX, int NY>
void transformSse2(int32_t* coef, const float* dq, int zigzagEnd, float* out, size_t stride)
{
    constexpr int kVec = NX / 4;
    constexpr int kHalfVec = NX / 8;
    const Basis& b = basis();
    if (zigzagEnd <= 1)
    {
        const float c = static_cast<float>(coef[0]) * dq[0];
        const __m128 dc = _mm_set1_ps(NY == 8 ? c * b.b8[0][0] : (c * b.b8[0][0]) * b.b8[0][0]);
        for (int y = 0; y < NY; ++y)
            for (int i = 0; i < kVec; ++i)
                _mm_store_ps(out + y * stride + 4 * i, dc);
        coef[0] = 0;
        return;
    }
    const float* bx = basisRows<NX>(b);
    __m128 tmp[8][kVec];
    RowLists rows;
    for (int v = 0; v < 8; ++v)
    {
        const __m128i zero = _mm_setzero_si128();
        __m128i* lo = reinterpret_cast<__m128i*>(coef + 8 * v);
        __m128i* hi = reinterpret_cast<__m128i*>(coef + 8 * v + 4);
        const unsigned zeros =
            static_cast<unsigned>(
                _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_load_si128(lo), zero)))) |
            static_cast<unsigned>(
                _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_load_si128(hi), zero))))
                << 4;
        unsigned m = ~zeros & 0xFF;
        if (!m)
        {
            for (int i = 0; i < kVec; ++i)
                tmp[v][i] = _mm_setzero_ps();
            continue;
        }
        if (v & 1)
            rows.odd[rows.oddCount++] = v;
        else
            rows.even[rows.evenCount++] = v;
        __m128 even[kHalfVec], odd[kHalfVec];
        for (int i = 0; i < kHalfVec; ++i)
            even[i] = odd[i] = _mm_setzero_ps();
        // Separate loops keep each sum in registers.
        for (unsigned e = m & 0x55; e; e &= e - 1)
        {
            const int u = __builtin_ctz(e);
            const __m128 c = _mm_set1_ps(static_cast<float>(coef[8 * v + u]) * dq[8 * v + u]);
            for (int i = 0; i < kHalfVec; ++i)
                even[i] = _mm_add_ps(even[i], _mm_mul_ps(c, _mm_load_ps(bx + u * NX + 4 * i)));
        }
        for (unsigned o = m & 0xAA; o; o &= o - 1)
        {
            const int u = __builtin_ctz(o);
            const __m128 c = _mm_set1_ps(static_cast<float>(coef[8 * v + u]) * dq[8 * v + u]);
            for (int i = 0; i < kHalfVec; ++i)
                odd[i] = _mm_add_ps(odd[i], _mm_mul_ps(c, _mm_load_ps(bx + u * NX + 4 * i)));
        }
        for (int i = 0; i < kHalfVec; ++i)
        {
            tmp[v][i] = _mm_add_ps(even[i], odd[i]);
            tmp[v][kVec - 1 - i] = reversed(_mm_sub_ps(even[i], odd[i]));
        }
        _mm_store_si128(lo, zero);
        _mm_store_si128(hi, zero);
    }
    if constexpr (NY == 8)
    {
        for (int i = 0; i < kVec; ++i)
        {
            __m128 in[8], res[8];
            for (int v = 0; v < 8; ++v)
                in[v] = tmp[v][i];
            butterfly(in, res);
            for (int y = 0; y < 8; ++y)
                _mm_store_ps(out + y * stride + 4 * i, res[y]);
        }
        return;
    }
    const float* by = basisRows<NY>(b);
    // The listed rows weighted by their basis values at y, summed in list order; zero without rows.
    auto weightedSum = [&](const int* list, int count, int y, __m128* sum)
    {
        if (count == 0)
        {
            for (int i = 0; i < kVec; ++i)
                sum[i] = _mm_setzero_ps();
            return;
        }
        __m128 w = _mm_set1_ps(by[list[0] * NY + y]);
        for (int i = 0; i < kVec; ++i)
            sum[i] = _mm_mul_ps(tmp[list[0]][i], w);
        for (int k = 1; k < count; ++k)
        {
            w = _mm_set1_ps(by[list[k] * NY + y]);
            for (int i = 0; i < kVec; ++i)
                sum[i] = _mm_add_ps(sum[i], _mm_mul_ps(tmp[list[k]][i], w));
        }
    };
    for (int y = 0; y < NY / 2; ++y)
    {
        __m128 e[kVec];
        __m128 o[kVec];
        weightedSum(rows.even, rows.evenCount, y, e);
        weightedSum(rows.odd, rows.oddCount, y, o);
        float* top = out + y * stride;
        float* bottom = out + (NY - 1 - y) * stride;
        for (int i = 0; i < kVec; ++i)
        {
            _mm_store_ps(top + 4 * i, _mm_add_ps(e[i], o[i]));
            _mm_store_ps(bottom + 4 * i, _mm_sub_ps(e[i], o[i]));
        }
    }
}

// The packing below saturates to 0..255; only the top needs a cap before
// the conversion, which turns values beyond the 32-bit range into the most
// negative integer.
inline __m128i toInt(__m128 v)
{
    return _mm_cvtps_epi32(_mm_min_ps(v, _mm_set1_ps(255.0f)));
}

// Eight values as signed 16-bit lanes, saturated.
inline __m128i toWords(__m128 lo, __m128 hi)
{
    return _mm_packs_epi32(toInt(lo), toInt(hi));
}

// Eight values of 0..255 as 16-bit lanes to the low eight bytes.
inline __m128i toBytes(__m128 lo, __m128 hi)
{
    const __m128i words = toWords(lo, hi);
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
            // Bytes b0..b7 g0..g7 and r0..r7 a0..a7, interleaved in two steps.
            const __m128i bg = _mm_packus_epi16(toWords(blue[0], blue[1]), toWords(green[0], green[1]));
            const __m128i ra = _mm_packus_epi16(toWords(red[0], red[1]), toWords(luma[0], luma[1]));
            const __m128i br = _mm_unpacklo_epi8(bg, ra);
            const __m128i ga = _mm_unpackhi_epi8(bg, ra);
            _mm_store_si128(reinterpret_cast<__m128i*>(px), _mm_unpacklo_epi8(br, ga));
            _mm_store_si128(reinterpret_cast<__m128i*>(px + 16), _mm_unpackhi_epi8(br, ga));
        }
    }
}

const FastJpegKernelSet kSse2Set = {
    {transform8x8Sse2, transformSse2<16, 8>, transformSse2<8, 16>, transformSse2<16, 16>},
    colourGreySse2,
    colourYCbCrSse2,
};
#endif

#if defined(__x86_64__)
// ---------------------------------------------------------------- AVX2
// The same operations as the SSE2 kernels on eight lanes (no fused
// multiply-add: that would round differently).

typedef float Wide __attribute__((vector_size(32)));

// Full 8 x 8 blocks: one butterfly along all rows at once, a transposition,
// one down all columns. Blocks that end early keep the SSE2 kernel's
// shorter paths.
__attribute__((target("avx2"))) void transform8x8Avx2(int32_t* coef, const float* dq, int zigzagEnd,
                                                      float* out, size_t stride)
{
    if (zigzagEnd <= 10)
    {
        transform8x8Sse2(coef, dq, zigzagEnd, out, stride);
        return;
    }
    // Rows of the transposed block hold one column u each, lanes v.
    Wide in[8], a[8];
    for (int u = 0; u < 8; ++u)
    {
        __m256i* at = reinterpret_cast<__m256i*>(coef + u * 8);
        in[u] = (Wide)_mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_loadu_si256(at)), _mm256_loadu_ps(dq + u * 8));
        _mm256_storeu_si256(at, _mm256_setzero_si256());
    }
    butterfly(in, a);
    // a[x] has lanes v; transpose to lanes x, one vector per v.
    const __m256 t0 = _mm256_unpacklo_ps((__m256)a[0], (__m256)a[1]);
    const __m256 t1 = _mm256_unpackhi_ps((__m256)a[0], (__m256)a[1]);
    const __m256 t2 = _mm256_unpacklo_ps((__m256)a[2], (__m256)a[3]);
    const __m256 t3 = _mm256_unpackhi_ps((__m256)a[2], (__m256)a[3]);
    const __m256 t4 = _mm256_unpacklo_ps((__m256)a[4], (__m256)a[5]);
    const __m256 t5 = _mm256_unpackhi_ps((__m256)a[4], (__m256)a[5]);
    const __m256 t6 = _mm256_unpacklo_ps((__m256)a[6], (__m256)a[7]);
    const __m256 t7 = _mm256_unpackhi_ps((__m256)a[6], (__m256)a[7]);
    const __m256 s0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 s2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 s4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 s6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 s7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
    const Wide b[8] = {
        (Wide)_mm256_permute2f128_ps(s0, s4, 0x20), (Wide)_mm256_permute2f128_ps(s1, s5, 0x20),
        (Wide)_mm256_permute2f128_ps(s2, s6, 0x20), (Wide)_mm256_permute2f128_ps(s3, s7, 0x20),
        (Wide)_mm256_permute2f128_ps(s0, s4, 0x31), (Wide)_mm256_permute2f128_ps(s1, s5, 0x31),
        (Wide)_mm256_permute2f128_ps(s2, s6, 0x31), (Wide)_mm256_permute2f128_ps(s3, s7, 0x31),
    };
    Wide res[8];
    butterfly(b, res);
    for (int y = 0; y < 8; ++y)
        _mm256_storeu_ps(out + y * stride, (__m256)res[y]);
}

__attribute__((target("avx2"))) void colourYCbCrAvx2(const float* const* planes, size_t planeStride,
                                                     uint32_t mcuWidth, uint32_t mcuHeight, uint8_t* out,
                                                     size_t pitch, float levelShift)
{
    const __m256 shift = _mm256_set1_ps(levelShift);
    const __m256 cap = _mm256_set1_ps(255.0f);
    const __m256 cbToBlue = _mm256_set1_ps(kCbToBlue);
    const __m256 cbToGreen = _mm256_set1_ps(kCbToGreen);
    const __m256 crToGreen = _mm256_set1_ps(kCrToGreen);
    const __m256 crToRed = _mm256_set1_ps(kCrToRed);
    // Within each 128-bit half: b0..b3 g0..g3 r0..r3 a0..a3 to pixel order.
    const __m256i interleave = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8,
                                                12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    for (uint32_t r = 0; r < mcuHeight; ++r)
    {
        const float* yp = planes[0] + r * planeStride;
        const float* cbp = planes[1] + r * planeStride;
        const float* crp = planes[2] + r * planeStride;
        uint8_t* px = out + r * pitch;
        for (uint32_t x = 0; x < mcuWidth; x += 8, px += 32)
        {
            const __m256 y = _mm256_add_ps(_mm256_loadu_ps(yp + x), shift);
            const __m256 cb = _mm256_loadu_ps(cbp + x);
            const __m256 cr = _mm256_loadu_ps(crp + x);
            const __m256 blue = _mm256_add_ps(y, _mm256_mul_ps(cbToBlue, cb));
            const __m256 green =
                _mm256_sub_ps(_mm256_sub_ps(y, _mm256_mul_ps(cbToGreen, cb)), _mm256_mul_ps(crToGreen, cr));
            const __m256 red = _mm256_add_ps(y, _mm256_mul_ps(crToRed, cr));
            const __m256i b = _mm256_cvtps_epi32(_mm256_min_ps(blue, cap));
            const __m256i g = _mm256_cvtps_epi32(_mm256_min_ps(green, cap));
            const __m256i rr = _mm256_cvtps_epi32(_mm256_min_ps(red, cap));
            const __m256i a = _mm256_cvtps_epi32(_mm256_min_ps(y, cap));
            // Per half: b g as words, r a as words, then all four as bytes.
            const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(b, g), _mm256_packs_epi32(rr, a));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(px), _mm256_shuffle_epi8(bytes, interleave));
        }
    }
}
#endif

} // namespace

const FastJpegCoefficientLayout& FastJpegLayout(int kernel)
{
    static const auto layouts = []
    {
        struct Layouts
        {
            FastJpegCoefficientLayout kernel[4];
        } all{};
        const double pi = 3.14159265358979323846;
        auto aan = [&](int k)
        { return (k == 0 ? 1.0 : std::cos(k * pi / 16.0) * std::sqrt(2.0)) / std::sqrt(8.0); };
        for (int index = 0; index < 4; ++index)
            for (int z = 0; z < 64; ++z)
            {
                const int v = z >> 3, u = z & 7;
                FastJpegCoefficientLayout& l = all.kernel[index];
                const bool eightWide = (index & 1) == 0, eightTall = index < 2;
                // The 8x8 kernel runs butterflies both ways on a transposed
                // block; 16x8 runs one down the columns; the others sum.
                l.position[z] = static_cast<uint8_t>(index == 0 ? u * 8 + v : z);
                double scale = 1.0;
                if (eightTall)
                    scale *= aan(v);
                if (eightWide && eightTall)
                    scale *= aan(u);
                l.scale[z] = static_cast<float>(scale);
            }
        return all;
    }();
    return layouts.kernel[kernel & 3];
}

const FastJpegKernelSet& FastJpegScalarKernels()
{
    basis();
    return kScalarSet;
}

const FastJpegKernelSet* FastJpegAvx2Kernels()
{
#if defined(__x86_64__)
    basis();
    static const FastJpegKernelSet set = []
    {
        FastJpegKernelSet k = kSse2Set;
        k.transform[0] = transform8x8Avx2;
        k.colourYCbCr = colourYCbCrAvx2;
        return k;
    }();
    return &set;
#else
    return nullptr;
#endif
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
