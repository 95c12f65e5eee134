// Triangle and line rasterization of the software device, with the general per-pixel path and the
// fast span routines. Positions become 24.8 fixed point and attributes 40.24 fixed point once, after
// clipping to a guard band in double precision; from then on everything is integer arithmetic.
#include "platform/raster/RasterPipeline.h"

#include "platform/raster/RasterPixel.h"

#include <cmath>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#include <cstring>
// Bilinear runs in 256-bit registers, built beside the baseline code and chosen at run time, so the
// program still runs on any x86-64 processor.
#define RASTER_WIDE_RUNS 1
#define WideTarget __attribute__((target("avx2")))
#define WidestTarget __attribute__((target("avx512f,avx512bw,avx512vl")))
#endif

namespace Raster
{
namespace
{

// The pixel helpers are small, but in the run loops every call left in costs as much as the work.
#if defined(__GNUC__)
#define AlwaysInline [[gnu::always_inline]] inline
#else
#define AlwaysInline inline
#endif

constexpr int64_t SubOne = 256; // sub-pixel steps per pixel
constexpr int AttrShift = 24;   // fraction bits of attributes
constexpr int64_t AttrOne = int64_t(1) << AttrShift;
constexpr int64_t AttrHalf = AttrOne / 2;
constexpr double GuardBand = 16384.0;   // positions are clipped to +-GuardBand pixels
constexpr double TexelLimit = 524288.0; // texture coordinates clamp to +-2^19 texels
constexpr int64_t GradientLimit = int64_t(1) << 44;
constexpr int64_t ValueLimit = int64_t(1) << 46;
constexpr int SpanChunk = 256;

enum Attr
{
    AttrA,
    AttrR,
    AttrG,
    AttrB,
    AttrU,
    AttrV,
    AttrZ,
    AttrCount
};

// A vertex before fixed-point conversion: attributes in their own units (colour 0-255, texels, depth
// 0-65535).
struct ClipVertex
{
    double x, y;
    double at[AttrCount];
};

struct FixedVertex
{
    int64_t x, y;
    int64_t at[AttrCount];
};

using Wide = __int128;

int64_t FloorDiv(int64_t n, int64_t d)
{
    int64_t q = n / d;
    if ((n % d != 0) && ((n < 0) != (d < 0)))
        --q;
    return q;
}

Wide FloorDiv128(Wide n, Wide d)
{
    Wide q = n / d;
    if ((n % d != 0) && ((n < 0) != (d < 0)))
        --q;
    return q;
}

[[gnu::noinline]] int64_t RoundDivWide(Wide n, Wide d, int64_t limit)
{
    Wide q = FloorDiv128(2 * n + d, 2 * d);
    if (q > limit)
        q = limit;
    if (q < -limit)
        q = -limit;
    return static_cast<int64_t>(q);
}

// Nearest integer of n / d for d > 0, halves rounded up.
AlwaysInline int64_t RoundDiv128(Wide n, Wide d, int64_t limit)
{
    // Sprites' numerators fit in 64 bits; their division costs a fraction of the 128-bit one.
    constexpr Wide Small = Wide(1) << 61;
    if (n < Small && n > -Small && d < Small)
    {
        const int64_t q = FloorDiv(int64_t(2 * n + d), int64_t(2 * d));
        return std::clamp(q, -limit, limit);
    }
    return RoundDivWide(n, d, limit);
}

double Sanitize(double value, double limit)
{
    if (std::isnan(value))
        return 0.0;
    return std::clamp(value, -limit, limit);
}

ClipVertex ToClip(const SpriteVertex& v, uint32_t texWidth, uint32_t texHeight)
{
    ClipVertex c;
    c.x = v.x;
    c.y = v.y;
    c.at[AttrA] = double((v.colour >> 24) & 0xFF);
    c.at[AttrR] = double((v.colour >> 16) & 0xFF);
    c.at[AttrG] = double((v.colour >> 8) & 0xFF);
    c.at[AttrB] = double(v.colour & 0xFF);
    const double u = double(v.u) * double(texWidth);
    const double t = double(v.v) * double(texHeight);
    c.at[AttrU] = Sanitize(u, TexelLimit);
    c.at[AttrV] = Sanitize(t, TexelLimit);
    double z = std::isnan(v.z) ? 0.0 : std::clamp(double(v.z), 0.0, 1.0);
    c.at[AttrZ] = z * 65535.0;
    return c;
}

// Nearest integer, halves to even (the default rounding mode), for |value| < 2^62.
inline int64_t RoundToInt(double value)
{
#if defined(__SSE2__)
    return _mm_cvtsd_si64(_mm_set_sd(value)); // nearbyint is a library call without SSE4.1
#else
    return static_cast<int64_t>(std::nearbyint(value));
#endif
}

FixedVertex ToFixed(const ClipVertex& c)
{
    FixedVertex f;
    const double x = c.x * 256.0;
    const double y = c.y * 256.0;
    f.x = RoundToInt(x);
    f.y = RoundToInt(y);
    for (int k = 0; k < AttrCount; ++k)
    {
        const double scaled = c.at[k] * double(AttrOne);
        f.at[k] = RoundToInt(scaled);
    }
    return f;
}

// ToFixed(ToClip(v)) without the unclipped vertex in between, for quads that need no clipping:
// the same operations in the same order, so the same values; colour bytes scale exactly.
FixedVertex ToFixedDirect(const SpriteVertex& v, uint32_t texWidth, uint32_t texHeight)
{
    FixedVertex f;
    f.x = RoundToInt(double(v.x) * 256.0);
    f.y = RoundToInt(double(v.y) * 256.0);
    f.at[AttrA] = int64_t((v.colour >> 24) & 0xFF) << AttrShift;
    f.at[AttrR] = int64_t((v.colour >> 16) & 0xFF) << AttrShift;
    f.at[AttrG] = int64_t((v.colour >> 8) & 0xFF) << AttrShift;
    f.at[AttrB] = int64_t(v.colour & 0xFF) << AttrShift;
    f.at[AttrU] = RoundToInt(Sanitize(double(v.u) * double(texWidth), TexelLimit) * double(AttrOne));
    f.at[AttrV] = RoundToInt(Sanitize(double(v.v) * double(texHeight), TexelLimit) * double(AttrOne));
    const double z = std::isnan(v.z) ? 0.0 : std::clamp(double(v.z), 0.0, 1.0);
    const double depth = z * 65535.0;
    f.at[AttrZ] = RoundToInt(depth * double(AttrOne));
    return f;
}

// Within the guard band (false for positions that are not numbers).
bool InsideBand(const SpriteVertex& v)
{
    return double(v.x) >= -GuardBand && double(v.x) <= GuardBand && double(v.y) >= -GuardBand &&
           double(v.y) <= GuardBand;
}

bool Inside(const ClipVertex& v)
{
    return v.x >= -GuardBand && v.x <= GuardBand && v.y >= -GuardBand && v.y <= GuardBand;
}

// Point on a->b where the coordinate `axis` (0 x, 1 y) equals `bound`. Separate statements keep
// the compiler from fusing multiply and add, so every machine rounds alike.
ClipVertex Intersect(const ClipVertex& a, const ClipVertex& b, int axis, double bound)
{
    const double pa = axis == 0 ? a.x : a.y;
    const double pb = axis == 0 ? b.x : b.y;
    const double t = (bound - pa) / (pb - pa);
    ClipVertex out;
    for (int k = 0; k < AttrCount; ++k)
    {
        const double delta = (b.at[k] - a.at[k]) * t;
        out.at[k] = a.at[k] + delta;
    }
    const double dx = (b.x - a.x) * t;
    const double dy = (b.y - a.y) * t;
    out.x = a.x + dx;
    out.y = a.y + dy;
    if (axis == 0)
        out.x = bound;
    else
        out.y = bound;
    return out;
}

// Clips a convex polygon against one side of the guard band; returns the new vertex count.
int ClipSide(const ClipVertex* in, int count, ClipVertex* out, int axis, double bound, bool keepBelow)
{
    int n = 0;
    for (int i = 0; i < count; ++i)
    {
        const ClipVertex& a = in[i];
        const ClipVertex& b = in[(i + 1) % count];
        const double pa = axis == 0 ? a.x : a.y;
        const double pb = axis == 0 ? b.x : b.y;
        const bool aIn = keepBelow ? pa <= bound : pa >= bound;
        const bool bIn = keepBelow ? pb <= bound : pb >= bound;
        if (aIn)
            out[n++] = a;
        if (aIn != bIn)
            out[n++] = Intersect(a, b, axis, bound);
    }
    return n;
}

// ---------------------------------------------------------------------------------------------
// Per-draw context

struct TriangleSetup
{
    int64_t ref[AttrCount]; // attribute values at the reference pixel
    int64_t dx[AttrCount];  // change per pixel to the right
    int64_t dy[AttrCount];  // change per pixel down
    int64_t refX, refY;

    int64_t At(int k, int64_t px, int64_t py) const
    {
        return ref[k] + (px - refX) * dx[k] + (py - refY) * dy[k];
    }
};

// The columns a convex polygon covers, row after row. Each edge's column bound on row y is
// floor((C(y) - bias) / k) with C growing by a constant a row; kept as quotient and remainder so a
// row costs additions only. Edges going down bound the row on the right, edges going up on the
// left; level edges only narrow the range of rows, so rows need no test for them.
struct RowWalker
{
    struct Side
    {
        int64_t q, r, k, stepQ, stepR;
    };
    Side upper[4], lower[4];
    int upperCount, lowerCount;
    int64_t rowFirst, rowLast, colFirst, colLast;

    // The columns [lo, hi] of the next row (empty when lo > hi).
    AlwaysInline void Next(int64_t& lo, int64_t& hi)
    {
        lo = colFirst;
        hi = colLast;
        for (int e = 0; e < upperCount; ++e)
            hi = std::min(hi, Step(upper[e]));
        for (int e = 0; e < lowerCount; ++e)
            lo = std::max(lo, -Step(lower[e]));
    }

    AlwaysInline static int64_t Step(Side& b)
    {
        const int64_t now = b.q;
        b.r += b.stepR;
        const bool carry = b.r >= b.k;
        b.q += b.stepQ + int64_t(carry);
        b.r -= carry ? b.k : 0;
        return now;
    }
};

struct PendingQuad;

struct Context
{
    const PipelineState* state;
    uint32_t* target;
    int targetWidth, targetHeight;
    uint16_t* depth;
    int depthWidth;
    const uint32_t* texels;
    int texWidth, texHeight;
    bool depthActive;
    const uint32_t* bordered; // texel (0, 0) of the bordered copy, or null while not made
    int borderedWidth;
    PendingQuad* pending; // small triangles are listed here to be drawn with the quad, when set
};

uint32_t ClampInt(int64_t value, int64_t high)
{
    return static_cast<uint32_t>(value < 0 ? 0 : (value > high ? high : value));
}

uint32_t AttrByte(int64_t value)
{
    return ClampInt((value + AttrHalf) >> AttrShift, 255);
}

uint32_t SamplePoint(const Context& c, int64_t u, int64_t v)
{
    const uint32_t x = ClampInt(u >> AttrShift, c.texWidth - 1);
    const uint32_t y = ClampInt(v >> AttrShift, c.texHeight - 1);
    return c.texels[size_t(y) * c.texWidth + x];
}

// The four texels around a sample point (clamped at the edges) and its 8-bit weights.
struct BilinearTaps
{
    uint32_t c00, c10, c01, c11;
    uint32_t fx, fy;
};

inline BilinearTaps TapsAt(const Context& c, int64_t u, int64_t v)
{
    const int64_t us = u - AttrHalf;
    const int64_t vs = v - AttrHalf;
    const int64_t x0 = us >> AttrShift;
    const int64_t y0 = vs >> AttrShift;
    const uint32_t xa = ClampInt(x0, c.texWidth - 1);
    const uint32_t xb = ClampInt(x0 + 1, c.texWidth - 1);
    const uint32_t ya = ClampInt(y0, c.texHeight - 1);
    const uint32_t yb = ClampInt(y0 + 1, c.texHeight - 1);
    const uint32_t* rowA = c.texels + size_t(ya) * c.texWidth;
    const uint32_t* rowB = c.texels + size_t(yb) * c.texWidth;
    return {rowA[xa],
            rowA[xb],
            rowB[xa],
            rowB[xb],
            uint32_t(us >> (AttrShift - 8)) & 0xFF,
            uint32_t(vs >> (AttrShift - 8)) & 0xFF};
}

uint32_t SampleLinearScalar(const Context& c, int64_t u, int64_t v)
{
    const BilinearTaps t = TapsAt(c, u, v);
    return BilinearMix(t.c00, t.c10, t.c01, t.c11, t.fx, t.fy);
}

#if defined(__SSE2__)
// The same filter as BilinearMix on one pixel in 16-bit lanes.
inline __m128i BilinearLanes(uint32_t c00, uint32_t c10, uint32_t c01, uint32_t c11, uint32_t fx, uint32_t fy)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(c10), int(c00)), zero);
    const __m128i bottom = _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(c11), int(c01)), zero);
    const __m128i wy0 = _mm_set1_epi16(short(256 - fy));
    const __m128i wy1 = _mm_set1_epi16(short(fy));
    const __m128i round = _mm_set1_epi16(128);
    __m128i column = _mm_add_epi16(_mm_mullo_epi16(top, wy0), _mm_mullo_epi16(bottom, wy1));
    column = _mm_srli_epi16(_mm_add_epi16(column, round), 8);
    const __m128i wx = _mm_set_epi16(short(fx), short(fx), short(fx), short(fx), short(256 - fx),
                                     short(256 - fx), short(256 - fx), short(256 - fx));
    __m128i across = _mm_mullo_epi16(column, wx);
    across = _mm_add_epi16(across, _mm_srli_si128(across, 8));
    return _mm_srli_epi16(_mm_add_epi16(across, round), 8);
}
#endif

uint32_t SampleLinear(const Context& c, int64_t u, int64_t v)
{
#if defined(__SSE2__)
    const BilinearTaps t = TapsAt(c, u, v);
    const __m128i lanes = BilinearLanes(t.c00, t.c10, t.c01, t.c11, t.fx, t.fy);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
#else
    return SampleLinearScalar(c, u, v);
#endif
}

uint32_t Argument(uint32_t arg, uint32_t texel, uint32_t diffuse, uint32_t factor)
{
    switch (arg)
    {
    case Value::ArgTexture:
        return texel;
    case Value::ArgTextureFactor:
        return factor;
    default:
        return diffuse;
    }
}

uint32_t Operation(uint32_t op, uint32_t a1, uint32_t a2, uint32_t diffuse)
{
    switch (op)
    {
    case Value::OpSelectArg1:
        return a1;
    case Value::OpSelectArg2:
        return a2;
    case Value::OpModulate:
        return ModulateColour(a1, a2);
    default:
        return diffuse;
    }
}

// The stage-0 result for one pixel.
uint32_t StageColour(const PipelineState& s, uint32_t texel, uint32_t diffuse)
{
    const uint32_t f = s.textureFactor;
    const uint32_t colour = Operation(s.colorOp, Argument(s.colorArg1, texel, diffuse, f),
                                      Argument(s.colorArg2, texel, diffuse, f), diffuse);
    const uint32_t alpha = Operation(s.alphaOp, Argument(s.alphaArg1, texel, diffuse, f),
                                     Argument(s.alphaArg2, texel, diffuse, f), diffuse);
    return (colour & 0x00FFFFFF) | (alpha & 0xFF000000);
}

// The general path: one pixel with every attribute interpolated.
void ShadePixel(const Context& c, int px, int py, const int64_t* at)
{
    const PipelineState& s = *c.state;
    const uint32_t diffuse = (AttrByte(at[AttrA]) << 24) | (AttrByte(at[AttrR]) << 16) |
                             (AttrByte(at[AttrG]) << 8) | AttrByte(at[AttrB]);
    uint32_t texel = 0xFFFFFFFF;
    if (c.texels)
        texel = s.linear ? SampleLinearScalar(c, at[AttrU], at[AttrV]) : SamplePoint(c, at[AttrU], at[AttrV]);
    const uint32_t src = StageColour(s, texel, diffuse);
    if (s.alphaTest && !Compare(s.alphaFunc, src >> 24, s.alphaRef))
        return;
    if (c.depthActive)
    {
        uint16_t& stored = c.depth[size_t(py) * c.depthWidth + px];
        const uint32_t z = ClampInt((at[AttrZ] + AttrHalf) >> AttrShift, 65535);
        if (!Compare(s.zFunc, z, stored))
            return;
        if (s.zWrite)
            stored = uint16_t(z);
    }
    uint32_t& dst = c.target[size_t(py) * c.targetWidth + px];
    dst = s.blend ? BlendColour(src, dst, s.srcBlend, s.destBlend) : src;
}

void GeneralSpan(const Context& c, const TriangleSetup& t, int py, int x0, int x1)
{
    int64_t at[AttrCount];
    for (int k = 0; k < AttrCount; ++k)
        at[k] = t.At(k, x0, py);
    for (int px = x0; px < x1; ++px)
    {
        ShadePixel(c, px, py, at);
        for (int k = 0; k < AttrCount; ++k)
            at[k] += t.dx[k];
    }
}

// ---------------------------------------------------------------------------------------------
// Fast spans: the stage output is either a constant or texel x constant for the whole triangle,
// and no depth is involved. Sampling fills a run of texels, the combine step modulates, tests and
// blends the run.

enum class BlendMode
{
    Replace,
    Over, // source alpha, inverse source alpha
    Add,  // source alpha, one
    General,
};

struct FastSetup
{
    bool fromTexture;  // texel x constant, else the constant alone
    uint32_t constant; // per-channel factor (or the colour itself)
    BlendMode mode;
};

// Reduces one operation to "texel x constant" or "constant"; false when it needs more.
bool ReduceOperation(uint32_t op, uint32_t arg1, uint32_t arg2, bool textured, uint32_t diffuse,
                     uint32_t factor, bool& fromTexture, uint32_t& constant)
{
    auto argument = [&](uint32_t arg, bool& isTexel, uint32_t& value)
    {
        isTexel = false;
        if (arg == Value::ArgTexture)
        {
            isTexel = textured;
            value = 0xFFFFFFFF;
        }
        else
            value = arg == Value::ArgTextureFactor ? factor : diffuse;
    };
    bool t1, t2;
    uint32_t v1, v2;
    argument(arg1, t1, v1);
    argument(arg2, t2, v2);
    switch (op)
    {
    case Value::OpSelectArg1:
        fromTexture = t1;
        constant = v1;
        return true;
    case Value::OpSelectArg2:
        fromTexture = t2;
        constant = v2;
        return true;
    case Value::OpModulate:
        if (t1 && t2)
            return false;
        fromTexture = t1 || t2;
        constant = ModulateColour(v1, v2);
        return true;
    default:
        fromTexture = false;
        constant = diffuse;
        return true;
    }
}

bool MakeFastSetup(const Context& c, uint32_t diffuse, FastSetup& out)
{
    const PipelineState& s = *c.state;
    bool colourTex, alphaTex;
    uint32_t colourConst, alphaConst;
    const bool textured = c.texels != nullptr;
    if (!ReduceOperation(s.colorOp, s.colorArg1, s.colorArg2, textured, diffuse, s.textureFactor, colourTex,
                         colourConst) ||
        !ReduceOperation(s.alphaOp, s.alphaArg1, s.alphaArg2, textured, diffuse, s.textureFactor, alphaTex,
                         alphaConst))
        return false;
    if (colourTex != alphaTex)
        return false;
    out.fromTexture = colourTex;
    out.constant = (colourConst & 0x00FFFFFF) | (alphaConst & 0xFF000000);
    if (!s.blend)
        out.mode = BlendMode::Replace;
    else if (s.srcBlend == Value::BlendSrcAlpha && s.destBlend == Value::BlendInvSrcAlpha)
        out.mode = BlendMode::Over;
    else if (s.srcBlend == Value::BlendSrcAlpha && s.destBlend == Value::BlendOne)
        out.mode = BlendMode::Add;
    else
        out.mode = BlendMode::General;
    return true;
}

bool AlphaPasses(const PipelineState& s, uint32_t colour)
{
    return !s.alphaTest || Compare(s.alphaFunc, colour >> 24, s.alphaRef);
}

[[maybe_unused]] uint32_t CombinePixel(const PipelineState& s, BlendMode mode, uint32_t src, uint32_t dst)
{
    if (!AlphaPasses(s, src))
        return dst;
    return mode == BlendMode::Replace ? src : BlendColour(src, dst, s.srcBlend, s.destBlend);
}

#if defined(__SSE2__)
AlwaysInline __m128i Div255Lanes(__m128i x)
{
    return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

AlwaysInline __m128i AlphaLanes(__m128i lanes)
{
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(lanes, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
}

AlwaysInline __m128i FactorLanes(uint32_t factor, __m128i alpha)
{
    switch (factor)
    {
    case Value::BlendZero:
        return _mm_setzero_si128();
    case Value::BlendSrcAlpha:
        return alpha;
    case Value::BlendInvSrcAlpha:
        return _mm_xor_si128(alpha, _mm_set1_epi16(0xFF));
    default:
        return _mm_set1_epi16(255);
    }
}

// Mask of the pixels whose alpha fails the test (all ones per failing pixel).
AlwaysInline __m128i AlphaFailMask(const PipelineState& s, __m128i src)
{
    if (!s.alphaTest)
        return _mm_setzero_si128();
    const __m128i alpha = _mm_srli_epi32(src, 24);
    const __m128i ref = _mm_set1_epi32(int(s.alphaRef));
    const __m128i ones = _mm_set1_epi32(-1);
    switch (s.alphaFunc)
    {
    case Value::CmpLess:
        return _mm_xor_si128(_mm_cmplt_epi32(alpha, ref), ones);
    case Value::CmpGreater:
        return _mm_xor_si128(_mm_cmpgt_epi32(alpha, ref), ones);
    case Value::CmpGreaterEqual:
        return _mm_cmplt_epi32(alpha, ref);
    case Value::CmpAlways:
        return _mm_setzero_si128();
    default:
        return ones;
    }
}

// s*fs + d*fd summed with unsigned saturation, then the rounded division; a sum at or above
// 255*255 gives at least 255, which the final pack saturates to 255, as BlendColour does.
AlwaysInline __m128i Div255Saturated(__m128i x)
{
    return _mm_mulhi_epu16(_mm_adds_epu16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

template <BlendMode Mode> AlwaysInline __m128i BlendHalf(const PipelineState& s, __m128i src, __m128i dst)
{
    const __m128i alpha = AlphaLanes(src);
    if constexpr (Mode == BlendMode::Over)
        return Div255Lanes(_mm_add_epi16(_mm_mullo_epi16(src, alpha),
                                         _mm_mullo_epi16(dst, _mm_xor_si128(alpha, _mm_set1_epi16(0xFF)))));
    else if constexpr (Mode == BlendMode::Add)
        return Div255Saturated(
            _mm_adds_epu16(_mm_mullo_epi16(src, alpha), _mm_mullo_epi16(dst, _mm_set1_epi16(255))));
    else
        return Div255Saturated(_mm_adds_epu16(_mm_mullo_epi16(src, FactorLanes(s.srcBlend, alpha)),
                                              _mm_mullo_epi16(dst, FactorLanes(s.destBlend, alpha))));
}
#endif

#if defined(__SSE2__)
// One to four pixels in the low lanes; the others zero.
AlwaysInline __m128i LoadPixels(const uint32_t* p, int count)
{
    if (count >= 4)
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    if (count == 1)
        return _mm_cvtsi32_si128(int(p[0]));
    const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    return count == 2 ? two : _mm_unpacklo_epi64(two, _mm_cvtsi32_si128(int(p[2])));
}

AlwaysInline void StorePixels(uint32_t* p, __m128i pixels, int count)
{
    if (count >= 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), pixels);
    else if (count == 1)
        p[0] = uint32_t(_mm_cvtsi128_si32(pixels));
    else
    {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), pixels);
        if (count == 3)
            p[2] = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(pixels, 8)));
    }
}

// Whether failing the alpha test changes nothing the blend would not already leave alone: a pixel
// that fails "alpha >= 1" has alpha 0, and with these factors alpha 0 gives back the destination.
bool AlphaTestIsVisible(const PipelineState& s, BlendMode mode)
{
    if (!s.alphaTest || s.alphaFunc == Value::CmpAlways)
        return false;
    if (s.alphaFunc != Value::CmpGreaterEqual || s.alphaRef > 1)
        return true;
    if (mode == BlendMode::Over || mode == BlendMode::Add)
        return false;
    if (mode == BlendMode::General)
        return !((s.srcBlend == Value::BlendZero || s.srcBlend == Value::BlendSrcAlpha) &&
                 (s.destBlend == Value::BlendOne || s.destBlend == Value::BlendInvSrcAlpha));
    return true;
}

// Four pixels: modulate, blend, alpha test.
template <BlendMode Mode, bool Modulate>
AlwaysInline __m128i CombineGroup(const PipelineState& s, __m128i in, __m128i old, __m128i factor, bool testMask)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(in, zero);
    __m128i hi = _mm_unpackhi_epi8(in, zero);
    if constexpr (Modulate)
    {
        lo = Div255Lanes(_mm_mullo_epi16(lo, factor));
        hi = Div255Lanes(_mm_mullo_epi16(hi, factor));
        in = _mm_packus_epi16(lo, hi);
    }
    __m128i result;
    if constexpr (Mode == BlendMode::Replace)
        result = in;
    else
    {
        const __m128i rl = BlendHalf<Mode>(s, lo, _mm_unpacklo_epi8(old, zero));
        const __m128i rh = BlendHalf<Mode>(s, hi, _mm_unpackhi_epi8(old, zero));
        result = _mm_packus_epi16(rl, rh);
    }
    if (testMask)
    {
        const __m128i fail = AlphaFailMask(s, in);
        result = _mm_or_si128(_mm_and_si128(fail, old), _mm_andnot_si128(fail, result));
    }
    return result;
}
#endif

// Modulates (when asked), tests and blends a run of source pixels (or one constant colour) into the
// target row. The choices that hold for the whole run are template arguments.
template <BlendMode Mode, bool Modulate, bool TestMask, bool HasSource>
void CombineRun(const PipelineState& s, uint32_t* dst, const uint32_t* src, uint32_t constant, int count)
{
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi32(-1);
    const __m128i factor = _mm_unpacklo_epi8(_mm_set1_epi32(int(constant)), zero);
    const __m128i fill = _mm_set1_epi32(int(constant));
    // Without a visible alpha test, clear groups keep the destination (over and add) and opaque groups
    // replace it (over).
    constexpr bool clearSkip = (Mode == BlendMode::Over || Mode == BlendMode::Add) && !TestMask;
    constexpr bool opaqueCopy = Mode == BlendMode::Over && !TestMask && !Modulate;
    auto load = [&](int at)
    {
        if constexpr (HasSource)
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
        else
            return fill;
    };
    int i = 0;
    if constexpr (opaqueCopy || clearSkip)
    {
        // Eight at a time first: sprites are mostly wide runs of opaque or clear texels.
        for (; i + 8 <= count; i += 8)
        {
            __m128i* out = reinterpret_cast<__m128i*>(dst + i);
            const __m128i raw0 = load(i);
            const __m128i raw1 = load(i + 4);
            if constexpr (opaqueCopy)
            {
                const __m128i both = _mm_and_si128(_mm_cmpeq_epi8(raw0, ones), _mm_cmpeq_epi8(raw1, ones));
                if ((_mm_movemask_epi8(both) & 0x8888) == 0x8888)
                {
                    _mm_storeu_si128(out, raw0);
                    _mm_storeu_si128(out + 1, raw1);
                    continue;
                }
            }
            if ((_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(raw0, raw1), zero)) & 0x8888) == 0x8888)
                continue;
            for (int half = 0; half < 2; ++half)
            {
                const __m128i raw = half == 0 ? raw0 : raw1;
                if (opaqueCopy && (_mm_movemask_epi8(_mm_cmpeq_epi8(raw, ones)) & 0x8888) == 0x8888)
                    _mm_storeu_si128(out + half, raw);
                else if ((_mm_movemask_epi8(_mm_cmpeq_epi8(raw, zero)) & 0x8888) != 0x8888)
                    _mm_storeu_si128(out + half, CombineGroup<Mode, Modulate>(
                                                     s, raw, _mm_loadu_si128(out + half), factor, TestMask));
            }
        }
    }
    for (; i + 4 <= count; i += 4)
    {
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        const __m128i raw = load(i);
        if constexpr (opaqueCopy)
        {
            if ((_mm_movemask_epi8(_mm_cmpeq_epi8(raw, ones)) & 0x8888) == 0x8888)
            {
                _mm_storeu_si128(out, raw);
                continue;
            }
        }
        if constexpr (clearSkip) // modulating keeps alpha 0
        {
            if ((_mm_movemask_epi8(_mm_cmpeq_epi8(raw, zero)) & 0x8888) == 0x8888)
                continue;
        }
        _mm_storeu_si128(out, CombineGroup<Mode, Modulate>(s, raw, _mm_loadu_si128(out), factor, TestMask));
    }
    if (i < count)
    {
        // The last one to three pixels go through the same group arithmetic.
        const int rest = count - i;
        const __m128i in = HasSource ? LoadPixels(src + i, rest) : fill;
        StorePixels(dst + i, CombineGroup<Mode, Modulate>(s, in, LoadPixels(dst + i, rest), factor, TestMask),
                    rest);
    }
#else
    for (int i = 0; i < count; ++i)
    {
        uint32_t in = HasSource ? src[i] : constant;
        if constexpr (Modulate)
            in = ModulateColour(in, constant);
        dst[i] = CombinePixel(s, Mode, in, dst[i]);
    }
#endif
}

using CombineFn = void (*)(const PipelineState& s, uint32_t* dst, const uint32_t* src, uint32_t constant,
                           int count);

template <BlendMode Mode, bool TestMask> CombineFn PickCombineTested(bool fromTexture, uint32_t constant)
{
    if (!fromTexture)
        return &CombineRun<Mode, false, TestMask, false>;
    if (constant != 0xFFFFFFFF)
        return &CombineRun<Mode, true, TestMask, true>;
    return &CombineRun<Mode, false, TestMask, true>;
}

template <BlendMode Mode> CombineFn PickCombineMode(const PipelineState& s, bool fromTexture, uint32_t constant)
{
#if defined(__SSE2__)
    if (AlphaTestIsVisible(s, Mode))
        return PickCombineTested<Mode, true>(fromTexture, constant);
#else
    (void)s;
#endif
    return PickCombineTested<Mode, false>(fromTexture, constant);
}

// The combine routine for runs of one triangle: chosen once, as every choice holds for all its pixels.
CombineFn PickCombine(const PipelineState& s, const FastSetup& f)
{
    switch (f.mode)
    {
    case BlendMode::Replace:
        return PickCombineMode<BlendMode::Replace>(s, f.fromTexture, f.constant);
    case BlendMode::Over:
        return PickCombineMode<BlendMode::Over>(s, f.fromTexture, f.constant);
    case BlendMode::Add:
        return PickCombineMode<BlendMode::Add>(s, f.fromTexture, f.constant);
    default:
        return PickCombineMode<BlendMode::General>(s, f.fromTexture, f.constant);
    }
}

#if defined(__SSE2__)
// The row path's horizontal step: the two mixed columns of the pixel at `us` (less half a texel)
// in 16-bit lanes, with their weights; `columns` holds texel columns `low` to `high`, and columns
// outside the texture (0 to `lastX`) clamp to its sides.
AlwaysInline __m128i ColumnPair(const uint32_t* columns, int64_t low, int64_t high, int64_t lastX, int64_t us,
                                __m128i& weights)
{
    const __m128i zero = _mm_setzero_si128();
    const int64_t x0 = us >> AttrShift;
    const uint32_t fx = uint32_t(us >> (AttrShift - 8)) & 0xFF;
    __m128i w = _mm_cvtsi32_si128(int((256 - fx) | (fx << 16)));
    w = _mm_unpacklo_epi16(w, w);
    weights = _mm_unpacklo_epi32(w, w);
    if (x0 >= low && x0 + 1 <= high)
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(columns + (x0 - low))),
                                 zero);
    const uint32_t left = columns[ClampInt(x0, lastX) - low];
    const uint32_t right = columns[ClampInt(x0 + 1, lastX) - low];
    return _mm_unpacklo_epi8(_mm_set_epi32(0, 0, int(right), int(left)), zero);
}

// The row path's pixel at `us`.
AlwaysInline uint32_t ColumnPixel(const uint32_t* columns, int64_t low, int64_t high, int64_t lastX,
                                  int64_t us)
{
    __m128i w;
    const __m128i pair = ColumnPair(columns, low, high, lastX, us, w);
    __m128i p = _mm_mullo_epi16(pair, w);
    p = _mm_add_epi16(p, _mm_srli_si128(p, 8));
    p = _mm_srli_epi16(_mm_add_epi16(p, _mm_set1_epi16(128)), 8);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(p, _mm_setzero_si128())));
}
#endif

#if defined(RASTER_WIDE_RUNS)
bool HasWideRuns();
WideTarget void WideColumnMix(const uint32_t* columns, int64_t low, int64_t high, int64_t lastX, int64_t us,
                              int64_t du, int count, uint32_t* out);
#endif

// Fills `out` with the stage-0 texels of `count` pixels starting at texture position (u, v).
// Returns a pointer straight into the texture when the run is an in-range 1:1 copy.
const uint32_t* GatherTexels(const Context& c, const TriangleSetup& t, int64_t u, int64_t v, int count,
                             uint32_t* out)
{
    const int64_t du = t.dx[AttrU];
    const int64_t dv = t.dx[AttrV];
    if (!c.state->linear)
    {
        if (dv == 0)
        {
            const uint32_t* row = c.texels + size_t(ClampInt(v >> AttrShift, c.texHeight - 1)) * c.texWidth;
            if (du == AttrOne)
            {
                const int64_t first = u >> AttrShift;
                if (first >= 0 && first + count <= c.texWidth)
                    return row + first;
                for (int i = 0; i < count; ++i)
                    out[i] = row[ClampInt(first + i, c.texWidth - 1)];
                return out;
            }
            for (int i = 0; i < count; ++i, u += du)
                out[i] = row[ClampInt(u >> AttrShift, c.texWidth - 1)];
            return out;
        }
        for (int i = 0; i < count; ++i, u += du, v += dv)
            out[i] = SamplePoint(c, u, v);
        return out;
    }
#if defined(__SSE2__)
    if (dv == 0 && du <= 2 * AttrOne && du >= -2 * AttrOne)
    {
        // One pair of rows and one vertical weight for the whole run: mix the two rows once over
        // the texel columns the run touches, then each pixel only mixes two neighbouring columns.
        // Same arithmetic, same order as BilinearMix.
        const int64_t vs = v - AttrHalf;
        const int64_t y0 = vs >> AttrShift;
        const uint32_t fy = uint32_t(vs >> (AttrShift - 8)) & 0xFF;
        const uint32_t* rowA = c.texels + size_t(ClampInt(y0, c.texHeight - 1)) * c.texWidth;
        const uint32_t* rowB = c.texels + size_t(ClampInt(y0 + 1, c.texHeight - 1)) * c.texWidth;
        const int64_t firstU = u - AttrHalf;
        const int64_t lastU = firstU + du * (count - 1);
        const int64_t low = ClampInt(std::min(firstU, lastU) >> AttrShift, c.texWidth - 1);
        const int64_t high = ClampInt((std::max(firstU, lastU) >> AttrShift) + 1, c.texWidth - 1);
        alignas(16) uint32_t columns[2 * SpanChunk + 8];
        const int columnCount = int(high - low + 1);
        const __m128i zero = _mm_setzero_si128();
        const __m128i round = _mm_set1_epi16(128);
        {
            const __m128i wy0 = _mm_set1_epi16(short(256 - fy));
            const __m128i wy1 = _mm_set1_epi16(short(fy));
            int k = 0;
            for (; k + 4 <= columnCount; k += 4)
            {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowA + low + k));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rowB + low + k));
                __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), wy0),
                                           _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), wy1));
                __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), wy0),
                                           _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), wy1));
                lo = _mm_srli_epi16(_mm_add_epi16(lo, round), 8);
                hi = _mm_srli_epi16(_mm_add_epi16(hi, round), 8);
                _mm_store_si128(reinterpret_cast<__m128i*>(columns + k), _mm_packus_epi16(lo, hi));
            }
            for (; k < columnCount; ++k)
                columns[k] = BilinearMix(rowA[low + k], rowA[low + k], rowB[low + k], rowB[low + k], 0, fy);
        }
#if defined(RASTER_WIDE_RUNS)
        if (c.state->wideRuns && HasWideRuns())
        {
            WideColumnMix(columns, low, high, c.texWidth - 1, firstU, du, count, out);
            return out;
        }
#endif
        auto pair = [&](int64_t us, __m128i& weights)
        { return ColumnPair(columns, low, high, c.texWidth - 1, us, weights); };
        int i = 0;
        int64_t us = firstU;
        for (; i + 2 <= count; i += 2, us += 2 * du)
        {
            __m128i w0, w1;
            const __m128i c0 = pair(us, w0);
            const __m128i c1 = pair(us + du, w1);
            const __m128i p0 = _mm_mullo_epi16(c0, w0);
            const __m128i p1 = _mm_mullo_epi16(c1, w1);
            __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(p0, p1), _mm_unpackhi_epi64(p0, p1));
            sum = _mm_srli_epi16(_mm_add_epi16(sum, round), 8);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(sum, zero));
        }
        for (; i < count; ++i, us += du)
            out[i] = ColumnPixel(columns, low, high, c.texWidth - 1, us);
        return out;
    }
#endif
    for (int i = 0; i < count; ++i, u += du, v += dv)
        out[i] = SampleLinear(c, u, v);
    return out;
}

// The combine step with a depth test against one depth for the whole run (sprites are flat): the
// alpha test, then the depth test, then the depth write and the blend, as in ShadePixel.
template <BlendMode Mode, bool Modulate>
void CombineDepthRun(const PipelineState& s, uint32_t* dst, uint16_t* depth, const uint32_t* src,
                     uint32_t constant, uint32_t z, int count)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi32(-1);
    const __m128i factor = _mm_unpacklo_epi8(_mm_set1_epi32(int(constant)), zero);
    const __m128i zValue = _mm_set1_epi32(int(z));
    const __m128i bias = _mm_set1_epi32(32768);
    for (; i + 4 <= count; i += 4)
    {
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        const __m128i old = _mm_loadu_si128(out);
        __m128i in =
            src ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)) : _mm_set1_epi32(int(constant));
        if constexpr (Modulate)
            in = _mm_packus_epi16(Div255Lanes(_mm_mullo_epi16(_mm_unpacklo_epi8(in, zero), factor)),
                                  Div255Lanes(_mm_mullo_epi16(_mm_unpackhi_epi8(in, zero), factor)));
        const __m128i result = CombineGroup<Mode, false>(s, in, old, factor, false);
        const __m128i stored =
            _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth + i)), zero);
        __m128i pass;
        switch (s.zFunc)
        {
        case Value::CmpLess:
            pass = _mm_cmpgt_epi32(stored, zValue);
            break;
        case Value::CmpGreater:
            pass = _mm_cmpgt_epi32(zValue, stored);
            break;
        case Value::CmpGreaterEqual:
            pass = _mm_xor_si128(_mm_cmpgt_epi32(stored, zValue), ones);
            break;
        default:
            pass = ones;
            break;
        }
        if (s.alphaTest)
            pass = _mm_andnot_si128(AlphaFailMask(s, in), pass);
        _mm_storeu_si128(out, _mm_or_si128(_mm_and_si128(pass, result), _mm_andnot_si128(pass, old)));
        if (s.zWrite)
        {
            // Unsigned 16-bit pack through the signed one.
            const __m128i written = _mm_or_si128(_mm_and_si128(pass, zValue), _mm_andnot_si128(pass, stored));
            const __m128i packed = _mm_xor_si128(_mm_packs_epi32(_mm_sub_epi32(written, bias), zero),
                                                 _mm_set1_epi16(short(0x8000)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(depth + i), packed);
        }
    }
#endif
    for (; i < count; ++i)
    {
        uint32_t in = src ? src[i] : constant;
        if constexpr (Modulate)
            in = ModulateColour(in, constant);
        if (s.alphaTest && !Compare(s.alphaFunc, in >> 24, s.alphaRef))
            continue;
        if (!Compare(s.zFunc, z, depth[i]))
            continue;
        if (s.zWrite)
            depth[i] = uint16_t(z);
        dst[i] = Mode == BlendMode::Replace ? in : BlendColour(in, dst[i], s.srcBlend, s.destBlend);
    }
}

template <BlendMode Mode>
void CombineDepthMode(const PipelineState& s, uint32_t* dst, uint16_t* depth, const uint32_t* src,
                      uint32_t constant, uint32_t z, int count)
{
    if (src && constant != 0xFFFFFFFF)
        CombineDepthRun<Mode, true>(s, dst, depth, src, constant, z, count);
    else
        CombineDepthRun<Mode, false>(s, dst, depth, src, constant, z, count);
}

void CombineDepth(const PipelineState& s, BlendMode mode, uint32_t* dst, uint16_t* depth, const uint32_t* src,
                  uint32_t constant, uint32_t z, int count)
{
    switch (mode)
    {
    case BlendMode::Replace:
        CombineDepthMode<BlendMode::Replace>(s, dst, depth, src, constant, z, count);
        break;
    case BlendMode::Over:
        CombineDepthMode<BlendMode::Over>(s, dst, depth, src, constant, z, count);
        break;
    case BlendMode::Add:
        CombineDepthMode<BlendMode::Add>(s, dst, depth, src, constant, z, count);
        break;
    case BlendMode::General:
        CombineDepthMode<BlendMode::General>(s, dst, depth, src, constant, z, count);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Sampled runs: texels fetched and combined four pixels at a time with no buffer in between, for
// the runs that cannot copy or step along one texel row (rotated, sheared, strongly shrunk).
// Small rotated sprites (particles) are mostly such short runs.

// Draws every row of a triangle: the row loop sits inside each run routine, so what holds for the
// whole triangle is worked out once rather than for every row.
using SampledFn = void (*)(const Context& c, const TriangleSetup& t, uint32_t constant, RowWalker& walk);

// Hands `run` the target pixels, texture position and length of each non-empty row.
template <class Run> AlwaysInline void EachRun(const Context& c, const TriangleSetup& t, RowWalker& walk, Run&& run)
{
    const int64_t du = t.dx[AttrU], dv = t.dx[AttrV];
    int64_t uRow = t.At(AttrU, 0, walk.rowFirst), vRow = t.At(AttrV, 0, walk.rowFirst);
    uint32_t* line = c.target + size_t(walk.rowFirst) * size_t(c.targetWidth);
    for (int64_t py = walk.rowFirst; py <= walk.rowLast;
         ++py, uRow += t.dy[AttrU], vRow += t.dy[AttrV], line += c.targetWidth)
    {
        int64_t lo, hi;
        walk.Next(lo, hi);
        if (lo <= hi)
            run(line + lo, uRow + lo * du, vRow + lo * dv, int(hi + 1 - lo));
    }
}

#if defined(__SSE2__)
// Where the bilinear taps of a sample point start, and their weights 0 to 256, for textures of at
// least 2x2 texels. Clamping the position instead of each tap gives the same mix: at a side one
// weight is 0 or 256, so the tap past the side (still inside the texture) counts for nothing and
// the rounding steps give back the side's texel exactly.
struct TapCursor
{
    const uint32_t* texels;
    int64_t width;
    int64_t lastS, lastT; // the last sample position, in 1/256 texel
    int64_t lastX, lastY; // the last pair start
};

AlwaysInline const uint32_t* TapPair(const TapCursor& k, int64_t us, int64_t vs, uint32_t& fx, uint32_t& fy)
{
    const int64_t s = std::clamp<int64_t>(us >> (AttrShift - 8), 0, k.lastS);
    const int64_t t = std::clamp<int64_t>(vs >> (AttrShift - 8), 0, k.lastT);
    const int64_t x = std::min(s >> 8, k.lastX);
    const int64_t y = std::min(t >> 8, k.lastY);
    fx = uint32_t(s - (x << 8));
    fy = uint32_t(t - (y << 8));
    return k.texels + y * k.width + x;
}

// BilinearMix of two pixels at once, in 16-bit lanes (first pixel low): the taps of each pixel are
// two neighbouring texels of two neighbouring rows.
AlwaysInline __m128i BilinearPair(const uint32_t* p, const uint32_t* q, int64_t width, uint32_t fxP, uint32_t fyP,
                            uint32_t fxQ, uint32_t fyQ)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(256);
    const __m128i round = _mm_set1_epi16(128);
    const __m128i top = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
    const __m128i bottom = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + width)),
                                              _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + width)));
    const __m128i wyP = _mm_set1_epi16(short(fyP));
    const __m128i wyQ = _mm_set1_epi16(short(fyQ));
    __m128i columnsP = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(top, zero), _mm_sub_epi16(full, wyP)),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(bottom, zero), wyP));
    __m128i columnsQ = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(top, zero), _mm_sub_epi16(full, wyQ)),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(bottom, zero), wyQ));
    columnsP = _mm_srli_epi16(_mm_add_epi16(columnsP, round), 8);
    columnsQ = _mm_srli_epi16(_mm_add_epi16(columnsQ, round), 8);
    const __m128i wx = _mm_unpacklo_epi64(_mm_set1_epi16(short(fxP)), _mm_set1_epi16(short(fxQ)));
    const __m128i mix = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi64(columnsP, columnsQ), _mm_sub_epi16(full, wx)),
                                      _mm_mullo_epi16(_mm_unpackhi_epi64(columnsP, columnsQ), wx));
    return _mm_srli_epi16(_mm_add_epi16(mix, round), 8);
}

template <bool Linear, BlendMode Mode, bool Modulate, bool TestMask>
void SampledRun(const Context& c, uint32_t* dst, int64_t u, int64_t v, int64_t du, int64_t dv, uint32_t constant,
                int count)
{
    const PipelineState& s = *c.state;
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_unpacklo_epi8(_mm_set1_epi32(int(constant)), zero);
    const TapCursor k{c.texels,
                      c.texWidth,
                      int64_t(c.texWidth - 1) << 8,
                      int64_t(c.texHeight - 1) << 8,
                      int64_t(c.texWidth - 2),
                      int64_t(c.texHeight - 2)};
    if constexpr (Linear)
    {
        u -= AttrHalf;
        v -= AttrHalf;
    }
    // The stage texels of the next `n` (1 to 4) pixels; lanes past `n` repeat the first.
    auto sample = [&](int n)
    {
        if constexpr (Linear)
        {
            const uint32_t* at[4];
            uint32_t fx[4], fy[4];
            for (int i = 0; i < 4; ++i)
            {
                if (i < n)
                {
                    at[i] = TapPair(k, u, v, fx[i], fy[i]);
                    u += du;
                    v += dv;
                }
                else
                {
                    at[i] = at[0];
                    fx[i] = fx[0];
                    fy[i] = fy[0];
                }
            }
            return _mm_packus_epi16(BilinearPair(at[0], at[1], k.width, fx[0], fy[0], fx[1], fy[1]),
                                    BilinearPair(at[2], at[3], k.width, fx[2], fy[2], fx[3], fy[3]));
        }
        else
        {
            alignas(16) uint32_t texels[4] = {};
            for (int i = 0; i < n; ++i, u += du, v += dv)
                texels[i] = SamplePoint(c, u, v);
            return _mm_load_si128(reinterpret_cast<const __m128i*>(texels));
        }
    };
    constexpr bool clearSkip = (Mode == BlendMode::Over || Mode == BlendMode::Add) && !TestMask;
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        const __m128i in = sample(4);
        if constexpr (clearSkip) // clear texels leave the target as it is, modulated or not
        {
            if ((_mm_movemask_epi8(_mm_cmpeq_epi8(in, zero)) & 0x8888) == 0x8888)
                continue;
        }
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        _mm_storeu_si128(out, CombineGroup<Mode, Modulate>(s, in, _mm_loadu_si128(out), factor, TestMask));
    }
    if (i < count)
    {
        const int rest = count - i;
        StorePixels(dst + i,
                    CombineGroup<Mode, Modulate>(s, sample(rest), LoadPixels(dst + i, rest), factor, TestMask),
                    rest);
    }
}

template <bool Linear, BlendMode Mode, bool Modulate, bool TestMask>
void SampledRows(const Context& c, const TriangleSetup& t, uint32_t constant, RowWalker& walk)
{
    EachRun(c, t, walk,
            [&](uint32_t* dst, int64_t u, int64_t v, int count) {
                SampledRun<Linear, Mode, Modulate, TestMask>(c, dst, u, v, t.dx[AttrU], t.dx[AttrV], constant,
                                                             count);
            });
}

template <bool Linear, BlendMode Mode, bool TestMask> SampledFn PickSampledTested(uint32_t constant)
{
    if (constant != 0xFFFFFFFF)
        return &SampledRows<Linear, Mode, true, TestMask>;
    return &SampledRows<Linear, Mode, false, TestMask>;
}

template <bool Linear, BlendMode Mode> SampledFn PickSampledMode(const PipelineState& s, uint32_t constant)
{
    if (AlphaTestIsVisible(s, Mode))
        return PickSampledTested<Linear, Mode, true>(constant);
    return PickSampledTested<Linear, Mode, false>(constant);
}

template <bool Linear> SampledFn PickSampledFilter(const PipelineState& s, BlendMode mode, uint32_t constant)
{
    switch (mode)
    {
    case BlendMode::Replace:
        return PickSampledMode<Linear, BlendMode::Replace>(s, constant);
    case BlendMode::Over:
        return PickSampledMode<Linear, BlendMode::Over>(s, constant);
    case BlendMode::Add:
        return PickSampledMode<Linear, BlendMode::Add>(s, constant);
    default:
        return PickSampledMode<Linear, BlendMode::General>(s, constant);
    }
}

// Bilinear runs over the bordered copy: a run whose first and last samples start their taps
// within one texel outside the texture has all its samples there, so no tap needs clamping; the
// weights of four pixels come from the low words of their positions at once. Runs that reach
// further go through the clamping run.
//
// The run itself takes its taps from `texels` (texel (0, 0), rows `pitch` apart) at the positions
// `us`, `vs` (less half a texel), none of which may need clamping.
template <BlendMode Mode, bool Modulate, bool TestMask>
AlwaysInline void TapRun(const Context& c, const uint32_t* texels, int64_t pitch, uint32_t* dst, int64_t us,
                         int64_t vs, int64_t du, int64_t dv, uint32_t constant, int count)
{
    const PipelineState& s = *c.state;
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(256);
    const __m128i round = _mm_set1_epi16(128);
    const __m128i low8 = _mm_set1_epi32(0xFF);
    const __m128i factor = _mm_unpacklo_epi8(_mm_set1_epi32(int(constant)), zero);
    // The weights need bits 16 to 23 of the positions only, which wrap-around in 32 bits keeps.
    __m128i uWords = _mm_setr_epi32(int32_t(us), int32_t(us + du), int32_t(us + 2 * du), int32_t(us + 3 * du));
    __m128i vWords = _mm_setr_epi32(int32_t(vs), int32_t(vs + dv), int32_t(vs + 2 * dv), int32_t(vs + 3 * dv));
    const __m128i uStep = _mm_set1_epi32(int32_t(4 * du));
    const __m128i vStep = _mm_set1_epi32(int32_t(4 * dv));
    int64_t uAt = us, vAt = vs;
    auto tap = [&]()
    {
        const uint32_t* p = texels + (vAt >> AttrShift) * pitch + (uAt >> AttrShift);
        uAt += du;
        vAt += dv;
        return p;
    };
    // Pixels `first` and `first + 1` of the four, from their taps and the words of their weights.
    auto pair = [&](const uint32_t* p, const uint32_t* q, __m128i fx, __m128i fy, auto first)
    {
        constexpr int i = decltype(first)::value;
        const __m128i top = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
        const __m128i bottom =
            _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + pitch)),
                               _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + pitch)));
        const __m128i wyP = _mm_shuffle_epi32(fy, _MM_SHUFFLE(i, i, i, i));
        const __m128i wyQ = _mm_shuffle_epi32(fy, _MM_SHUFFLE(i + 1, i + 1, i + 1, i + 1));
        __m128i columnsP = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(top, zero), _mm_sub_epi16(full, wyP)),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(bottom, zero), wyP));
        __m128i columnsQ = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(top, zero), _mm_sub_epi16(full, wyQ)),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(bottom, zero), wyQ));
        columnsP = _mm_srli_epi16(_mm_add_epi16(columnsP, round), 8);
        columnsQ = _mm_srli_epi16(_mm_add_epi16(columnsQ, round), 8);
        const __m128i wx = _mm_shuffle_epi32(fx, _MM_SHUFFLE(i + 1, i + 1, i, i));
        const __m128i mix =
            _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi64(columnsP, columnsQ), _mm_sub_epi16(full, wx)),
                          _mm_mullo_epi16(_mm_unpackhi_epi64(columnsP, columnsQ), wx));
        return _mm_srli_epi16(_mm_add_epi16(mix, round), 8);
    };
    auto weights = [&](__m128i words)
    {
        const __m128i w = _mm_and_si128(_mm_srli_epi32(words, AttrShift - 8), low8);
        return _mm_or_si128(w, _mm_slli_epi32(w, 16));
    };
    constexpr bool clearSkip = (Mode == BlendMode::Over || Mode == BlendMode::Add) && !TestMask;
    using First = std::integral_constant<int, 0>;
    using Third = std::integral_constant<int, 2>;
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        const __m128i fx = weights(uWords);
        const __m128i fy = weights(vWords);
        uWords = _mm_add_epi32(uWords, uStep);
        vWords = _mm_add_epi32(vWords, vStep);
        const uint32_t* p0 = tap();
        const uint32_t* p1 = tap();
        const uint32_t* p2 = tap();
        const uint32_t* p3 = tap();
        const __m128i in = _mm_packus_epi16(pair(p0, p1, fx, fy, First{}), pair(p2, p3, fx, fy, Third{}));
        if constexpr (clearSkip) // clear texels leave the target as it is, modulated or not
        {
            if ((_mm_movemask_epi8(_mm_cmpeq_epi8(in, zero)) & 0x8888) == 0x8888)
                continue;
        }
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        _mm_storeu_si128(out, CombineGroup<Mode, Modulate>(s, in, _mm_loadu_si128(out), factor, TestMask));
    }
    if (i < count)
    {
        const int rest = count - i;
        const __m128i fx = weights(uWords);
        const __m128i fy = weights(vWords);
        // Lanes past the run repeat its last pixel.
        const uint32_t* p0 = tap();
        const uint32_t* p1 = rest > 1 ? tap() : p0;
        const uint32_t* p2 = rest > 2 ? tap() : p1;
        __m128i in = pair(p0, p1, fx, fy, First{});
        in = _mm_packus_epi16(in, rest > 2 ? pair(p2, p2, fx, fy, Third{}) : in);
        StorePixels(dst + i, CombineGroup<Mode, Modulate>(s, in, LoadPixels(dst + i, rest), factor, TestMask),
                    rest);
    }
}

template <BlendMode Mode, bool Modulate, bool TestMask>
AlwaysInline void BorderedRun(const Context& c, uint32_t* dst, int64_t u, int64_t v, int64_t du, int64_t dv,
                              uint32_t constant, int count)
{
    const int64_t us = u - AttrHalf;
    const int64_t vs = v - AttrHalf;
    const int64_t usLast = us + du * (count - 1);
    const int64_t vsLast = vs + dv * (count - 1);
    const int64_t xLow = std::min(us, usLast) >> AttrShift, xHigh = std::max(us, usLast) >> AttrShift;
    const int64_t yLow = std::min(vs, vsLast) >> AttrShift, yHigh = std::max(vs, vsLast) >> AttrShift;
    if (xLow < -1 || yLow < -1 || xHigh > c.texWidth - 1 || yHigh > c.texHeight - 1)
        SampledRun<true, Mode, Modulate, TestMask>(c, dst, u, v, du, dv, constant, count);
    else
        TapRun<Mode, Modulate, TestMask>(c, c.bordered, c.borderedWidth, dst, us, vs, du, dv, constant,
                                         count);
}

// Textures too large for the bordered copy: the pixels of a run whose taps all lie inside the
// texture (pair starts from texel 0 to the last but one, across and down) take them from the
// texture itself; on a texture drawn whole, that is all of a run but a pixel or two at its ends,
// which go through the clamping run as before.
constexpr int DirectRunMinimum = 4; // fewer inside pixels are not worth splitting the run

// The pixels [first, end) of `count` whose positions `start + i * step` lie in [low, high).
inline void InsideSpan(int64_t start, int64_t step, int64_t low, int64_t high, int64_t& first, int64_t& end)
{
    if (step > 0)
    {
        first = std::max(first, -FloorDiv(start - low, step));
        end = std::min(end, -FloorDiv(start - high, step));
    }
    else if (step < 0)
    {
        first = std::max(first, FloorDiv(start - high, -step) + 1);
        end = std::min(end, FloorDiv(start - low, -step) + 1);
    }
    else if (start < low || start >= high)
        end = first;
}

// True, with the pixels [first, end) of the run whose taps all lie inside the texture, when there
// are enough of them; `us`, `vs` are the run's first position less half a texel.
inline bool InsideRun(const Context& c, int64_t us, int64_t vs, int64_t du, int64_t dv, int count, int& first,
                      int& end)
{
    int64_t from = 0, to = count;
    InsideSpan(us, du, 0, int64_t(c.texWidth - 1) << AttrShift, from, to);
    InsideSpan(vs, dv, 0, int64_t(c.texHeight - 1) << AttrShift, from, to);
    if (to - from < DirectRunMinimum)
        return false;
    first = int(from);
    end = int(to);
    return true;
}

template <BlendMode Mode, bool Modulate, bool TestMask>
AlwaysInline void DirectRun(const Context& c, uint32_t* dst, int64_t u, int64_t v, int64_t du, int64_t dv,
                            uint32_t constant, int count)
{
    int first, end;
    if (!InsideRun(c, u - AttrHalf, v - AttrHalf, du, dv, count, first, end))
    {
        SampledRun<true, Mode, Modulate, TestMask>(c, dst, u, v, du, dv, constant, count);
        return;
    }
    if (first > 0)
        SampledRun<true, Mode, Modulate, TestMask>(c, dst, u, v, du, dv, constant, first);
    TapRun<Mode, Modulate, TestMask>(c, c.texels, c.texWidth, dst + first, u - AttrHalf + first * du,
                                     v - AttrHalf + first * dv, du, dv, constant, end - first);
    if (end < count)
        SampledRun<true, Mode, Modulate, TestMask>(c, dst + end, u + end * du, v + end * dv, du, dv, constant,
                                                   count - end);
}

template <BlendMode Mode, bool Modulate, bool TestMask>
void DirectRows(const Context& c, const TriangleSetup& t, uint32_t constant, RowWalker& walk)
{
    EachRun(c, t, walk,
            [&](uint32_t* dst, int64_t u, int64_t v, int count) {
                DirectRun<Mode, Modulate, TestMask>(c, dst, u, v, t.dx[AttrU], t.dx[AttrV], constant, count);
            });
}

template <BlendMode Mode, bool Modulate, bool TestMask>
void BorderedRows(const Context& c, const TriangleSetup& t, uint32_t constant, RowWalker& walk)
{
    EachRun(c, t, walk,
            [&](uint32_t* dst, int64_t u, int64_t v, int count) {
                BorderedRun<Mode, Modulate, TestMask>(c, dst, u, v, t.dx[AttrU], t.dx[AttrV], constant, count);
            });
}

template <BlendMode Mode, bool TestMask> SampledFn PickBorderedTested(uint32_t constant)
{
    if (constant != 0xFFFFFFFF)
        return &BorderedRows<Mode, true, TestMask>;
    return &BorderedRows<Mode, false, TestMask>;
}

#if defined(RASTER_WIDE_RUNS)
// The bordered runs with four pixels to a 256-bit register: the 16-bit lanes hold pixels 0 and 1 in
// the low half and 2 and 3 in the high half, and every lane does the arithmetic of the 128-bit
// routine, so the pixels are the same.
template <BlendMode Mode> AlwaysInline WideTarget __m256i WideFactor(uint32_t factor, __m256i alpha)
{
    switch (factor)
    {
    case Value::BlendZero:
        return _mm256_setzero_si256();
    case Value::BlendSrcAlpha:
        return alpha;
    case Value::BlendInvSrcAlpha:
        return _mm256_xor_si256(alpha, _mm256_set1_epi16(0xFF));
    default:
        return _mm256_set1_epi16(255);
    }
}

template <BlendMode Mode, bool Modulate>
AlwaysInline WideTarget __m256i WideCombine(const PipelineState& s, __m256i in, __m256i old, __m256i factor)
{
    const __m256i round = _mm256_set1_epi16(128);
    const __m256i div = _mm256_set1_epi16(257);
    if constexpr (Modulate)
        in = _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(in, factor), round), div);
    if constexpr (Mode == BlendMode::Replace)
        return in;
    else
    {
        const __m256i alpha = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(in, 0xFF), 0xFF);
        if constexpr (Mode == BlendMode::Over)
            return _mm256_mulhi_epu16(
                _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(in, alpha),
                                                  _mm256_mullo_epi16(old, _mm256_xor_si256(alpha, _mm256_set1_epi16(0xFF)))),
                                 round),
                div);
        else if constexpr (Mode == BlendMode::Add)
            return _mm256_mulhi_epu16(
                _mm256_adds_epu16(_mm256_adds_epu16(_mm256_mullo_epi16(in, alpha),
                                                    _mm256_mullo_epi16(old, _mm256_set1_epi16(255))),
                                  round),
                div);
        else
            return _mm256_mulhi_epu16(
                _mm256_adds_epu16(_mm256_adds_epu16(_mm256_mullo_epi16(in, WideFactor<Mode>(s.srcBlend, alpha)),
                                                    _mm256_mullo_epi16(old, WideFactor<Mode>(s.destBlend, alpha))),
                                  round),
                div);
    }
}

AlwaysInline WideTarget int64_t WideTexelPair(const uint32_t* at)
{
    int64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// Four pixels from the texel pairs of their top and bottom tap rows (pixel i in the 64-bit lane i),
// with weights from bits 16 to 23 of their positions; 16-bit lanes.
AlwaysInline WideTarget __m256i WideMix(__m256i top, __m256i bottom, __m128i uWords, __m128i vWords)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i full = _mm256_set1_epi16(256);
    const __m256i round = _mm256_set1_epi16(128);
    const __m128i low8 = _mm_set1_epi32(0xFF);
    const __m128i w = _mm_and_si128(_mm_srli_epi32(uWords, AttrShift - 8), low8);
    const __m128i h = _mm_and_si128(_mm_srli_epi32(vWords, AttrShift - 8), low8);
    const __m256i fx = _mm256_castsi128_si256(_mm_or_si128(w, _mm_slli_epi32(w, 16)));
    const __m256i fy = _mm256_castsi128_si256(_mm_or_si128(h, _mm_slli_epi32(h, 16)));
    const __m256i wyA = _mm256_permutevar8x32_epi32(fy, _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2));
    const __m256i wyB = _mm256_permutevar8x32_epi32(fy, _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3));
    __m256i columnsA = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(top, zero), _mm256_sub_epi16(full, wyA)),
                                        _mm256_mullo_epi16(_mm256_unpacklo_epi8(bottom, zero), wyA));
    __m256i columnsB = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(top, zero), _mm256_sub_epi16(full, wyB)),
                                        _mm256_mullo_epi16(_mm256_unpackhi_epi8(bottom, zero), wyB));
    columnsA = _mm256_srli_epi16(_mm256_add_epi16(columnsA, round), 8);
    columnsB = _mm256_srli_epi16(_mm256_add_epi16(columnsB, round), 8);
    const __m256i wx = _mm256_permutevar8x32_epi32(fx, _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
    const __m256i mix =
        _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi64(columnsA, columnsB), _mm256_sub_epi16(full, wx)),
                         _mm256_mullo_epi16(_mm256_unpackhi_epi64(columnsA, columnsB), wx));
    return _mm256_srli_epi16(_mm256_add_epi16(mix, round), 8);
}

// The four pixels whose taps start at p[0..3].
AlwaysInline WideTarget __m256i WideSample(const uint32_t* const* p, int64_t pitch, __m128i uWords, __m128i vWords)
{
    const __m256i top = _mm256_setr_epi64x(WideTexelPair(p[0]), WideTexelPair(p[1]), WideTexelPair(p[2]),
                                           WideTexelPair(p[3]));
    const __m256i bottom = _mm256_setr_epi64x(WideTexelPair(p[0] + pitch), WideTexelPair(p[1] + pitch),
                                              WideTexelPair(p[2] + pitch), WideTexelPair(p[3] + pitch));
    return WideMix(top, bottom, uWords, vWords);
}

// 16-bit lanes of four pixels back to their bytes.
AlwaysInline WideTarget __m128i WidePack(__m256i lanes)
{
    return _mm256_castsi256_si128(
        _mm256_permute4x64_epi64(_mm256_packus_epi16(lanes, lanes), _MM_SHUFFLE(3, 1, 2, 0)));
}

// TapRun four pixels to a register.
template <BlendMode Mode, bool Modulate>
AlwaysInline WideTarget void WideTapRun(const Context& c, const uint32_t* texels, int64_t pitch,
                                        uint32_t* dst, int64_t us, int64_t vs, int64_t du, int64_t dv,
                                        uint32_t constant, int count)
{
    const PipelineState& s = *c.state;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i factor = _mm256_set1_epi64x(
        int64_t(_mm_cvtsi128_si64(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(constant)), _mm_setzero_si128()))));
    // The weights need bits 16 to 23 of the positions only, which wrap-around in 32 bits keeps.
    __m128i uWords = _mm_setr_epi32(int32_t(us), int32_t(us + du), int32_t(us + 2 * du), int32_t(us + 3 * du));
    __m128i vWords = _mm_setr_epi32(int32_t(vs), int32_t(vs + dv), int32_t(vs + 2 * dv), int32_t(vs + 3 * dv));
    const __m128i uStep = _mm_set1_epi32(int32_t(4 * du));
    const __m128i vStep = _mm_set1_epi32(int32_t(4 * dv));
    int64_t uAt = us, vAt = vs;
    const uint32_t* p[4];
    auto tap = [&]()
    {
        const uint32_t* at = texels + (vAt >> AttrShift) * pitch + (uAt >> AttrShift);
        uAt += du;
        vAt += dv;
        return at;
    };
    constexpr bool clearSkip = Mode == BlendMode::Over || Mode == BlendMode::Add;
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        p[0] = tap();
        p[1] = tap();
        p[2] = tap();
        p[3] = tap();
        const __m256i in = WideSample(p, pitch, uWords, vWords);
        uWords = _mm_add_epi32(uWords, uStep);
        vWords = _mm_add_epi32(vWords, vStep);
        if constexpr (clearSkip) // clear texels leave the target as it is, modulated or not
        {
            if ((uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi16(in, zero))) & 0xC0C0C0C0u) == 0xC0C0C0C0u)
                continue;
        }
        __m128i* out = reinterpret_cast<__m128i*>(dst + i);
        const __m256i old = _mm256_cvtepu8_epi16(_mm_loadu_si128(out));
        _mm_storeu_si128(out, WidePack(WideCombine<Mode, Modulate>(s, in, old, factor)));
    }
    if (i < count)
    {
        const int rest = count - i;
        // Lanes past the run repeat its last pixel.
        p[0] = tap();
        p[1] = rest > 1 ? tap() : p[0];
        p[2] = rest > 2 ? tap() : p[1];
        p[3] = p[2];
        const __m256i in = WideSample(p, pitch, uWords, vWords);
        const __m256i old = _mm256_cvtepu8_epi16(LoadPixels(dst + i, rest));
        StorePixels(dst + i, WidePack(WideCombine<Mode, Modulate>(s, in, old, factor)), rest);
    }
}

// The row path's horizontal step four pixels at a time: each 64-bit lane takes a pixel's two
// columns; groups of four with a column clamped at a side of the texture go one pixel at a time.
WideTarget void WideColumnMix(const uint32_t* columns, int64_t low, int64_t high, int64_t lastX, int64_t us,
                              int64_t du, int count, uint32_t* out)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i round = _mm256_set1_epi16(128);
    const __m128i low8 = _mm_set1_epi32(0xFF);
    const __m128i full = _mm_set1_epi32(256);
    const __m256i firstWeights = _mm256_setr_epi32(0, 0, 1, 1, 4, 4, 5, 5);
    const __m256i secondWeights = _mm256_setr_epi32(2, 2, 3, 3, 6, 6, 7, 7);
    // The weights need bits 16 to 23 of the positions only, which wrap-around in 32 bits keeps.
    __m128i uWords =
        _mm_setr_epi32(int32_t(us), int32_t(us + du), int32_t(us + 2 * du), int32_t(us + 3 * du));
    const __m128i uStep = _mm_set1_epi32(int32_t(4 * du));
    const uint32_t* at = columns - low;
    int i = 0;
    for (; i + 4 <= count; i += 4, us += 4 * du, uWords = _mm_add_epi32(uWords, uStep))
    {
        const int64_t x0 = us >> AttrShift, x1 = (us + du) >> AttrShift, x2 = (us + 2 * du) >> AttrShift,
                      x3 = (us + 3 * du) >> AttrShift;
        if (std::min(x0, x3) < low || std::max(x0, x3) + 1 > high)
        {
            for (int k = 0; k < 4; ++k)
                out[i + k] = ColumnPixel(columns, low, high, lastX, us + k * du);
            continue;
        }
        // Pixels 0 and 1 in the low half, 2 and 3 in the high half.
        const __m256i pairs = _mm256_setr_epi64x(WideTexelPair(at + x0), WideTexelPair(at + x1),
                                                 WideTexelPair(at + x2), WideTexelPair(at + x3));
        const __m128i fx = _mm_and_si128(_mm_srli_epi32(uWords, AttrShift - 8), low8);
        const __m128i w = _mm_or_si128(_mm_sub_epi32(full, fx), _mm_slli_epi32(fx, 16));
        const __m256i words = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(w, w)),
                                                      _mm_unpackhi_epi16(w, w), 1);
        const __m256i even = _mm256_mullo_epi16(_mm256_unpacklo_epi8(pairs, zero),
                                                _mm256_permutevar8x32_epi32(words, firstWeights));
        const __m256i odd = _mm256_mullo_epi16(_mm256_unpackhi_epi8(pairs, zero),
                                               _mm256_permutevar8x32_epi32(words, secondWeights));
        __m256i sum = _mm256_add_epi16(_mm256_unpacklo_epi64(even, odd), _mm256_unpackhi_epi64(even, odd));
        sum = _mm256_srli_epi16(_mm256_add_epi16(sum, round), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), WidePack(sum));
    }
    for (; i < count; ++i, us += du)
        out[i] = ColumnPixel(columns, low, high, lastX, us);
}

template <BlendMode Mode, bool Modulate>
AlwaysInline WideTarget void WideBorderedRun(const Context& c, uint32_t* dst, int64_t u, int64_t v,
                                             int64_t du, int64_t dv, uint32_t constant, int count)
{
    const int64_t us = u - AttrHalf;
    const int64_t vs = v - AttrHalf;
    const int64_t usLast = us + du * (count - 1);
    const int64_t vsLast = vs + dv * (count - 1);
    const int64_t xLow = std::min(us, usLast) >> AttrShift, xHigh = std::max(us, usLast) >> AttrShift;
    const int64_t yLow = std::min(vs, vsLast) >> AttrShift, yHigh = std::max(vs, vsLast) >> AttrShift;
    if (xLow < -1 || yLow < -1 || xHigh > c.texWidth - 1 || yHigh > c.texHeight - 1)
        SampledRun<true, Mode, Modulate, false>(c, dst, u, v, du, dv, constant, count);
    else
        WideTapRun<Mode, Modulate>(c, c.bordered, c.borderedWidth, dst, us, vs, du, dv, constant, count);
}

// DirectRun four pixels to a register.
template <BlendMode Mode, bool Modulate>
[[gnu::noinline]] WideTarget void WideDirectRows(const Context& c, const TriangleSetup& t, uint32_t constant,
                                                 RowWalker& walk)
{
    const int64_t du = t.dx[AttrU], dv = t.dx[AttrV];
    int64_t uRow = t.At(AttrU, 0, walk.rowFirst), vRow = t.At(AttrV, 0, walk.rowFirst);
    uint32_t* line = c.target + size_t(walk.rowFirst) * size_t(c.targetWidth);
    for (int64_t py = walk.rowFirst; py <= walk.rowLast;
         ++py, uRow += t.dy[AttrU], vRow += t.dy[AttrV], line += c.targetWidth)
    {
        int64_t lo, hi;
        walk.Next(lo, hi);
        if (lo > hi)
            continue;
        uint32_t* dst = line + lo;
        const int64_t u = uRow + lo * du, v = vRow + lo * dv;
        const int count = int(hi + 1 - lo);
        int first, end;
        if (!InsideRun(c, u - AttrHalf, v - AttrHalf, du, dv, count, first, end))
        {
            SampledRun<true, Mode, Modulate, false>(c, dst, u, v, du, dv, constant, count);
            continue;
        }
        if (first > 0)
            SampledRun<true, Mode, Modulate, false>(c, dst, u, v, du, dv, constant, first);
        WideTapRun<Mode, Modulate>(c, c.texels, c.texWidth, dst + first, u - AttrHalf + first * du,
                                   v - AttrHalf + first * dv, du, dv, constant, end - first);
        if (end < count)
            SampledRun<true, Mode, Modulate, false>(c, dst + end, u + end * du, v + end * dv, du, dv,
                                                    constant, count - end);
    }
}

template <BlendMode Mode, bool Modulate>
[[gnu::noinline]] WideTarget void WideBorderedRowRuns(const Context& c, const TriangleSetup& t, uint32_t constant,
                                                     RowWalker& walk)
{
    const int64_t du = t.dx[AttrU], dv = t.dx[AttrV];
    int64_t uRow = t.At(AttrU, 0, walk.rowFirst), vRow = t.At(AttrV, 0, walk.rowFirst);
    uint32_t* line = c.target + size_t(walk.rowFirst) * size_t(c.targetWidth);
    for (int64_t py = walk.rowFirst; py <= walk.rowLast;
         ++py, uRow += t.dy[AttrU], vRow += t.dy[AttrV], line += c.targetWidth)
    {
        int64_t lo, hi;
        walk.Next(lo, hi);
        if (lo <= hi)
            WideBorderedRun<Mode, Modulate>(c, line + lo, uRow + lo * du, vRow + lo * dv, du, dv, constant,
                                            int(hi + 1 - lo));
    }
}

// Small triangles (sprites a few pixels across) have short rows: a row of one to seven pixels
// costs its loop and its last, partly empty group of four more than its arithmetic. So such a
// triangle is drawn in two passes: its rows list their pixels (tap positions, target index and
// the target's pixel), and the list is filled four pixels at a time whatever row each comes from.
// The pixels of one triangle are all different, so reading them all before writing any changes
// nothing.
constexpr int BatchTextureLimit = 120; // keeps every listed tap position in 32 bits (8.24 texels)
constexpr int64_t BatchPixelLimit = 1024; // pixels of a listed triangle's bounding box

// Room for the two triangles of a quad.
struct PixelBatch
{
    alignas(32) int32_t u[2 * BatchPixelLimit + 16];
    alignas(32) int32_t v[2 * BatchPixelLimit + 16];
    alignas(32) int32_t at[2 * BatchPixelLimit + 16];     // index in the target
    alignas(32) uint32_t pixels[2 * BatchPixelLimit + 16]; // the target's pixels
    int count = 0;
};

// The two triangles of a convex quad that is not drawn as one polygon share the diagonal's rows:
// reading the second one's target pixels right after the first one wrote their neighbours stalls
// on those writes. So both are listed into one batch and drawn together; being on either side of
// the diagonal, they share no pixel.
struct PendingQuad
{
    PixelBatch batch;
    void (*draw)(const Context& c, PixelBatch& batch, uint32_t constant) = nullptr;
    uint32_t constant = 0;
};

// Adds the pixels of a small triangle to the batch; false (and the batch as it was) when some row
// samples further than one texel outside the texture, where the bordered copy has no taps. The
// walker is left as it was.
AlwaysInline WideTarget bool ListPixels(const Context& c, const TriangleSetup& t, const RowWalker& walk,
                                        PixelBatch& batch)
{
    const int64_t du = t.dx[AttrU], dv = t.dx[AttrV];
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    // Only the low 32 bits of the positions are kept: the taps of the listed rows lie within one
    // texel of a texture of at most 120 texels, which 8.24 holds exactly.
    const __m256i uLanes = _mm256_mullo_epi32(lanes, _mm256_set1_epi32(int32_t(du)));
    const __m256i vLanes = _mm256_mullo_epi32(lanes, _mm256_set1_epi32(int32_t(dv)));
    const __m256i uStep = _mm256_set1_epi32(int32_t(8 * du));
    const __m256i vStep = _mm256_set1_epi32(int32_t(8 * dv));
    // A row's taps start within [-1, size - 1] texels when its first and last sample do.
    const uint64_t uRange = uint64_t(c.texWidth + 1) << AttrShift;
    const uint64_t vRange = uint64_t(c.texHeight + 1) << AttrShift;
    int n = batch.count;
    int64_t uRow = t.At(AttrU, 0, walk.rowFirst) - AttrHalf + AttrOne;
    int64_t vRow = t.At(AttrV, 0, walk.rowFirst) - AttrHalf + AttrOne;
    int64_t lineAt = walk.rowFirst * int64_t(c.targetWidth);
    // Two sides bound each row on the right and two on the left (a side that does not exist bounds
    // nothing); in locals, so that stepping them from row to row stays in registers.
    const RowWalker::Side none{INT64_MAX / 4, 0, 1, 0, 0};
    RowWalker::Side right0 = walk.upper[0], left0 = walk.lower[0];
    RowWalker::Side right1 = walk.upperCount > 1 ? walk.upper[1] : none;
    RowWalker::Side left1 = walk.lowerCount > 1 ? walk.lower[1] : none;
    for (int64_t py = walk.rowFirst; py <= walk.rowLast;
         ++py, uRow += t.dy[AttrU], vRow += t.dy[AttrV], lineAt += c.targetWidth)
    {
        const int64_t lo = std::max(walk.colFirst, -std::min(RowWalker::Step(left0), RowWalker::Step(left1)));
        const int64_t hi = std::min(walk.colLast, std::min(RowWalker::Step(right0), RowWalker::Step(right1)));
        const int64_t length = hi + 1 - lo;
        if (length <= 0)
            continue;
        // Positions here are one texel up, so that the range test is one unsigned comparison.
        const int64_t u = uRow + lo * du, v = vRow + lo * dv;
        const int64_t uLast = u + du * (length - 1), vLast = v + dv * (length - 1);
        if ((uint64_t(u) >= uRange) | (uint64_t(uLast) >= uRange) | (uint64_t(v) >= vRange) |
            (uint64_t(vLast) >= vRange))
            return false;
        __m256i uWords = _mm256_add_epi32(_mm256_set1_epi32(int32_t(u - AttrOne)), uLanes);
        __m256i vWords = _mm256_add_epi32(_mm256_set1_epi32(int32_t(v - AttrOne)), vLanes);
        const uint32_t* line = c.target + lineAt + lo;
        __m256i atWords = _mm256_add_epi32(_mm256_set1_epi32(int32_t(lineAt + lo)), lanes);
        for (int64_t k = 0; k < length; k += 8)
        {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.at + n + k), atWords);
            atWords = _mm256_add_epi32(atWords, _mm256_set1_epi32(8));
            const __m256i inside = _mm256_cmpgt_epi32(_mm256_set1_epi32(int32_t(length - k)), lanes);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.pixels + n + k),
                                _mm256_maskload_epi32(reinterpret_cast<const int*>(line + k), inside));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.u + n + k), uWords);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.v + n + k), vWords);
            uWords = _mm256_add_epi32(uWords, uStep);
            vWords = _mm256_add_epi32(vWords, vStep);
        }
        n += int(length);
    }
    batch.count = n;
    return true;
}

// Fills the listed pixels and writes them to the target.
template <BlendMode Mode, bool Modulate>
WideTarget void DrawBatch(const Context& c, PixelBatch& batch, uint32_t constant)
{
    const int n = batch.count;
    if (n == 0)
        return;
    const PipelineState& s = *c.state;
    const __m256i factor = _mm256_set1_epi64x(
        int64_t(_mm_cvtsi128_si64(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(constant)), _mm_setzero_si128()))));
    const __m128i pitch = _mm_set1_epi32(c.borderedWidth);
    const uint32_t* texels = c.bordered;
    const int64_t below = c.borderedWidth;
    uint32_t* target = c.target;
    // Past the last pixel, the group repeats it; those lanes are not written back.
    for (int k = n; k < n + 3; ++k)
    {
        batch.u[k] = batch.u[n - 1];
        batch.v[k] = batch.v[n - 1];
        batch.at[k] = batch.at[n - 1];
        batch.pixels[k] = batch.pixels[n - 1];
    }
    for (int i = 0; i < n; i += 4)
    {
        const __m128i uWords = _mm_load_si128(reinterpret_cast<const __m128i*>(batch.u + i));
        const __m128i vWords = _mm_load_si128(reinterpret_cast<const __m128i*>(batch.v + i));
        const __m128i offsets = _mm_add_epi32(_mm_mullo_epi32(_mm_srai_epi32(vWords, AttrShift), pitch),
                                              _mm_srai_epi32(uWords, AttrShift));
        const int64_t o01 = _mm_cvtsi128_si64(offsets), o23 = _mm_extract_epi64(offsets, 1);
        const uint32_t* p0 = texels + int32_t(o01);
        const uint32_t* p1 = texels + (o01 >> 32);
        const uint32_t* p2 = texels + int32_t(o23);
        const uint32_t* p3 = texels + (o23 >> 32);
        const __m256i top =
            _mm256_setr_epi64x(WideTexelPair(p0), WideTexelPair(p1), WideTexelPair(p2), WideTexelPair(p3));
        const __m256i bottom = _mm256_setr_epi64x(WideTexelPair(p0 + below), WideTexelPair(p1 + below),
                                                  WideTexelPair(p2 + below), WideTexelPair(p3 + below));
        const __m256i in = WideMix(top, bottom, uWords, vWords);
        const __m128i old = _mm_load_si128(reinterpret_cast<const __m128i*>(batch.pixels + i));
        const __m128i result = WidePack(WideCombine<Mode, Modulate>(s, in, _mm256_cvtepu8_epi16(old), factor));
        const __m128i atWords = _mm_load_si128(reinterpret_cast<const __m128i*>(batch.at + i));
        const int64_t a01 = _mm_cvtsi128_si64(atWords), a23 = _mm_extract_epi64(atWords, 1);
        target[uint32_t(a01)] = uint32_t(_mm_cvtsi128_si32(result));
        target[uint64_t(a01) >> 32] = uint32_t(_mm_extract_epi32(result, 1));
        target[uint32_t(a23)] = uint32_t(_mm_extract_epi32(result, 2));
        target[uint64_t(a23) >> 32] = uint32_t(_mm_extract_epi32(result, 3));
    }
}

template <BlendMode Mode, bool Modulate>
WideTarget void WideBatchedRows(const Context& c, const TriangleSetup& t, uint32_t constant, RowWalker& walk)
{
    PendingQuad* pending = c.pending;
    if (!pending)
    {
        PixelBatch batch;
        if (ListPixels(c, t, walk, batch))
            DrawBatch<Mode, Modulate>(c, batch, constant);
        else
            WideBorderedRowRuns<Mode, Modulate>(c, t, constant, walk);
        return;
    }
    // Triangles that fill differently are not drawn together.
    if (pending->draw && (pending->draw != &DrawBatch<Mode, Modulate> || pending->constant != constant))
    {
        pending->draw(c, pending->batch, pending->constant);
        pending->draw = nullptr;
        pending->batch.count = 0;
    }
    if (ListPixels(c, t, walk, pending->batch))
    {
        pending->draw = &DrawBatch<Mode, Modulate>;
        pending->constant = constant;
    }
    else
        WideBorderedRowRuns<Mode, Modulate>(c, t, constant, walk);
}

template <BlendMode Mode, bool Modulate>
WideTarget void WideBorderedRows(const Context& c, const TriangleSetup& t, uint32_t constant, RowWalker& walk)
{
    if (c.texWidth <= BatchTextureLimit && c.texHeight <= BatchTextureLimit && walk.upperCount >= 1 &&
        walk.upperCount <= 2 && walk.lowerCount >= 1 && walk.lowerCount <= 2 &&
        (walk.rowLast - walk.rowFirst + 1) * (walk.colLast - walk.colFirst + 1) <= BatchPixelLimit)
        WideBatchedRows<Mode, Modulate>(c, t, constant, walk);
    else
        WideBorderedRowRuns<Mode, Modulate>(c, t, constant, walk);
}

bool HasWideRuns()
{
    static const bool has = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

template <BlendMode Mode> SampledFn PickBorderedMode(const PipelineState& s, uint32_t constant)
{
    if (AlphaTestIsVisible(s, Mode))
        return PickBorderedTested<Mode, true>(constant);
#if defined(RASTER_WIDE_RUNS)
    if (s.wideRuns && HasWideRuns())
        return constant != 0xFFFFFFFF ? &WideBorderedRows<Mode, true> : &WideBorderedRows<Mode, false>;
#endif
    return PickBorderedTested<Mode, false>(constant);
}

SampledFn PickBordered(const PipelineState& s, BlendMode mode, uint32_t constant)
{
    switch (mode)
    {
    case BlendMode::Replace:
        return PickBorderedMode<BlendMode::Replace>(s, constant);
    case BlendMode::Over:
        return PickBorderedMode<BlendMode::Over>(s, constant);
    case BlendMode::Add:
        return PickBorderedMode<BlendMode::Add>(s, constant);
    default:
        return PickBorderedMode<BlendMode::General>(s, constant);
    }
}
#endif

#if defined(__SSE2__)
template <BlendMode Mode> SampledFn PickDirectMode(const PipelineState& s, uint32_t constant)
{
    const bool modulate = constant != 0xFFFFFFFF;
    if (AlphaTestIsVisible(s, Mode))
        return modulate ? &DirectRows<Mode, true, true> : &DirectRows<Mode, false, true>;
#if defined(RASTER_WIDE_RUNS)
    if (s.wideRuns && HasWideRuns())
        return modulate ? &WideDirectRows<Mode, true> : &WideDirectRows<Mode, false>;
#endif
    return modulate ? &DirectRows<Mode, true, false> : &DirectRows<Mode, false, false>;
}

SampledFn PickDirect(const PipelineState& s, BlendMode mode, uint32_t constant)
{
    switch (mode)
    {
    case BlendMode::Replace:
        return PickDirectMode<BlendMode::Replace>(s, constant);
    case BlendMode::Over:
        return PickDirectMode<BlendMode::Over>(s, constant);
    case BlendMode::Add:
        return PickDirectMode<BlendMode::Add>(s, constant);
    default:
        return PickDirectMode<BlendMode::General>(s, constant);
    }
}
#endif

constexpr int64_t BorderedLimit = 256 * 256; // texels; larger textures are not copied per draw call

// Makes the bordered copy of the draw call's texture if it has none yet; false when the texture is
// too large, or is also the target (its texels change as the draw goes on).
bool MakeBordered(Context& c)
{
    TexelBorder* border = c.state->border;
    if (!border || !c.texels || int64_t(c.texWidth) * c.texHeight > BorderedLimit || c.state->texture == c.state->target)
        return false;
    const int w = c.texWidth, h = c.texHeight, pitch = w + 2;
    if (border->source != c.state->texture)
    {
        border->texels.resize(size_t(pitch) * size_t(h + 2));
        for (int y = -1; y <= h; ++y)
        {
            const uint32_t* from = c.texels + size_t(std::clamp(y, 0, h - 1)) * w;
            uint32_t* to = border->texels.data() + size_t(y + 1) * pitch;
            to[0] = from[0];
            std::copy(from, from + w, to + 1);
            to[w + 1] = from[w - 1];
        }
        border->source = c.state->texture;
    }
    c.bordered = border->texels.data() + pitch + 1;
    c.borderedWidth = pitch;
    return true;
}

// The sampled run for the texture runs of one triangle without depth, or null when its runs go
// through the texel buffer (copies, one texel row at a time) or the texture is too small to pair taps.
SampledFn PickSampled(Context& c, const TriangleSetup& t, const FastSetup& f)
{
#if defined(__SSE2__)
    if (!f.fromTexture || c.depthActive)
        return nullptr;
    const int64_t du = t.dx[AttrU];
    const bool rowStep = t.dx[AttrV] == 0 && (!c.state->linear || (du <= 2 * AttrOne && du >= -2 * AttrOne));
    if (rowStep)
        return nullptr;
    if (!c.state->linear)
        return PickSampledFilter<false>(*c.state, f.mode, f.constant);
    if (c.texWidth < 2 || c.texHeight < 2)
        return nullptr;
    if (MakeBordered(c))
        return PickBordered(*c.state, f.mode, f.constant);
    // A texture that is also the target changes under the run: its texels are read only as the
    // clamping run reads them.
    if (c.texels && c.state->texture != c.state->target)
        return PickDirect(*c.state, f.mode, f.constant);
    return PickSampledFilter<true>(*c.state, f.mode, f.constant);
#else
    (void)c;
    (void)t;
    (void)f;
    return nullptr;
#endif
}

// What every span of one triangle does on the fast path.
struct SpanPlan
{
    FastSetup fast;
    CombineFn combine;
    SampledFn sampled;
};

void FastSpan(const Context& c, const TriangleSetup& t, const SpanPlan& plan, int py, int x0, int x1)
{
    const FastSetup& f = plan.fast;
    uint32_t* row = c.target + size_t(py) * c.targetWidth;
    uint16_t* depthRow = c.depthActive ? c.depth + size_t(py) * c.depthWidth : nullptr;
    // Flat triangles only reach here with depth; the depth of the reference pixel is everyone's.
    const uint32_t z = ClampInt((t.ref[AttrZ] + AttrHalf) >> AttrShift, 65535);
    uint32_t buffer[SpanChunk];
    for (int start = x0; start < x1; start += SpanChunk)
    {
        const int count = std::min(SpanChunk, x1 - start);
        const uint32_t* texels = nullptr;
        if (f.fromTexture)
            texels = GatherTexels(c, t, t.At(AttrU, start, py), t.At(AttrV, start, py), count, buffer);
        if (depthRow)
            CombineDepth(*c.state, f.mode, row + start, depthRow + start, texels, f.constant, z, count);
        else
            plan.combine(*c.state, row + start, texels, f.constant, count);
    }
}

// ---------------------------------------------------------------------------------------------
// Triangle setup and traversal

struct Edge
{
    int64_t dx, dy, x, y;
    int64_t bias; // 0 on top and left edges, 1 elsewhere
};

int64_t Cross(const FixedVertex& a, const FixedVertex& b, const FixedVertex& c)
{
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

// The sides, covered box and attribute planes of a convex polygon of three or four vertices whose
// attributes all lie on the plane of its first three vertices (a quad made of two coplanar triangles
// covers exactly the union of their pixels).
struct PolygonSetup
{
    Edge edges[4];
    int n;
    int64_t rowFirst, rowLast, colFirst, colLast; // the box of pixels it may cover, within the target
    TriangleSetup t;
    const FixedVertex* v[3]; // the vertices the planes come from
};

// False when the polygon covers no pixel of the target (no area, or outside it).
bool SetUpPolygon(const Context& c, const FixedVertex* poly, int n, PolygonSetup& p)
{
    int64_t det = Cross(poly[0], poly[1], poly[2]);
    if (det == 0)
        return false;
    const bool reversed = det < 0;
    if (reversed)
        det = -det;
    const FixedVertex& v0 = poly[0];
    const FixedVertex& v1 = reversed ? poly[2] : poly[1];
    const FixedVertex& v2 = reversed ? poly[1] : poly[2];
    p.n = n;
    p.v[0] = &v0;
    p.v[1] = &v1;
    p.v[2] = &v2;
    int64_t minX = v0.x, maxX = v0.x, minY = v0.y, maxY = v0.y;
    for (int e = 0; e < n; ++e)
    {
        const int next = e + 1 == n ? 0 : e + 1;
        const FixedVertex& a = reversed ? poly[next] : poly[e];
        const FixedVertex& b = reversed ? poly[e] : poly[next];
        Edge& edge = p.edges[e];
        edge.dx = b.x - a.x;
        edge.dy = b.y - a.y;
        edge.x = a.x;
        edge.y = a.y;
        const bool topLeft = edge.dy < 0 || (edge.dy == 0 && edge.dx > 0);
        edge.bias = topLeft ? 0 : 1;
        minX = std::min(minX, poly[e].x);
        maxX = std::max(maxX, poly[e].x);
        minY = std::min(minY, poly[e].y);
        maxY = std::max(maxY, poly[e].y);
    }
    p.rowFirst = std::max<int64_t>(0, FloorDiv(minY + SubOne - 1, SubOne));
    p.rowLast = std::min<int64_t>(c.targetHeight - 1, FloorDiv(maxY, SubOne));
    p.colFirst = std::max<int64_t>(0, FloorDiv(minX + SubOne - 1, SubOne));
    p.colLast = std::min<int64_t>(c.targetWidth - 1, FloorDiv(maxX, SubOne));
    if (p.rowFirst > p.rowLast || p.colFirst > p.colLast)
        return false;

    TriangleSetup& t = p.t;
    t.refX = FloorDiv(v0.x, SubOne);
    t.refY = FloorDiv(v0.y, SubOne);
    const int64_t offX = t.refX * SubOne - v0.x;
    const int64_t offY = t.refY * SubOne - v0.y;
    // Small polygons (sprites) with attributes below 2^31 (texels of small textures) keep every
    // product below 2^56, so 64 bits do; the results are the same.
    constexpr int64_t Span = int64_t(1) << 14, Attr = int64_t(1) << 31;
    const int64_t x1 = v1.x - v0.x, y1 = v1.y - v0.y, x2 = v2.x - v0.x, y2 = v2.y - v0.y;
    const bool small = std::max({x1, y1, x2, y2}) < Span && std::min({x1, y1, x2, y2}) > -Span && det < Span * Span;
    for (int k = 0; k < AttrCount; ++k)
    {
        const int64_t e1 = v1.at[k] - v0.at[k], e2 = v2.at[k] - v0.at[k];
        if (e1 == 0 && e2 == 0)
        {
            // Flat (a sprite's colour and depth): no slope, the same value everywhere.
            t.dx[k] = t.dy[k] = 0;
            t.ref[k] = v0.at[k];
            continue;
        }
        if (small && e1 < Attr && e1 > -Attr && e2 < Attr && e2 > -Attr)
        {
            const int64_t numX = e1 * y2 - e2 * y1;
            const int64_t numY = e2 * x1 - e1 * x2;
            auto round = [&](int64_t n, int64_t limit)
            { return std::clamp(FloorDiv(2 * n + det, 2 * det), -limit, limit); };
            t.dx[k] = round(numX * SubOne, GradientLimit);
            t.dy[k] = round(numY * SubOne, GradientLimit);
            t.ref[k] = v0.at[k] + round(numX * offX + numY * offY, ValueLimit);
            continue;
        }
        const Wide d1 = Wide(e1);
        const Wide d2 = Wide(e2);
        const Wide numX = d1 * (v2.y - v0.y) - d2 * (v1.y - v0.y);
        const Wide numY = d2 * (v1.x - v0.x) - d1 * (v2.x - v0.x);
        t.dx[k] = RoundDiv128(numX * SubOne, det, GradientLimit);
        t.dy[k] = RoundDiv128(numY * SubOne, det, GradientLimit);
        t.ref[k] = v0.at[k] + RoundDiv128(numX * offX + numY * offY, det, ValueLimit);
    }
    return true;
}

void RasterizePolygon(Context& c, const FixedVertex* poly, int n)
{
    PolygonSetup p;
    if (!SetUpPolygon(c, poly, n, p))
        return;
    const Edge* edges = p.edges;
    const TriangleSetup& t = p.t;
    const FixedVertex& v0 = *p.v[0];
    const FixedVertex& v1 = *p.v[1];
    const FixedVertex& v2 = *p.v[2];
    const int64_t rowFirst = p.rowFirst, rowLast = p.rowLast, colFirst = p.colFirst, colLast = p.colLast;

    SpanPlan plan{};
    FastSetup& fast = plan.fast;
    bool useFast = false;
    const bool flat = t.dx[AttrZ] == 0 && t.dy[AttrZ] == 0;
    if (c.state->fastPaths && (!c.depthActive || flat) && v0.at[AttrA] == v1.at[AttrA] &&
        v0.at[AttrA] == v2.at[AttrA] && v0.at[AttrR] == v1.at[AttrR] && v0.at[AttrR] == v2.at[AttrR] &&
        v0.at[AttrG] == v1.at[AttrG] && v0.at[AttrG] == v2.at[AttrG] && v0.at[AttrB] == v1.at[AttrB] &&
        v0.at[AttrB] == v2.at[AttrB])
    {
        const uint32_t diffuse = (AttrByte(v0.at[AttrA]) << 24) | (AttrByte(v0.at[AttrR]) << 16) |
                                 (AttrByte(v0.at[AttrG]) << 8) | AttrByte(v0.at[AttrB]);
        useFast = MakeFastSetup(c, diffuse, fast);
        if (useFast)
        {
            plan.sampled = PickSampled(c, t, fast);
            if (!plan.sampled)
                plan.combine = PickCombine(*c.state, fast);
        }
    }

    RowWalker walk;
    walk.upperCount = walk.lowerCount = 0;
    walk.rowFirst = rowFirst;
    walk.rowLast = rowLast;
    walk.colFirst = colFirst;
    walk.colLast = colLast;
    for (int e = 0; e < n; ++e)
    {
        const Edge& edge = edges[e];
        if (edge.dy != 0)
            continue;
        // A level edge keeps the rows whose centres are on its inner side: below a top edge (dx > 0,
        // centres on it count), above a bottom edge (centres on it do not).
        if (edge.dx > 0)
            walk.rowFirst = std::max(walk.rowFirst, FloorDiv(edge.y + SubOne - 1, SubOne));
        else if (edge.dx < 0)
            walk.rowLast = std::min(walk.rowLast, FloorDiv(edge.y - 1, SubOne));
        else
            return;
    }
    if (walk.rowFirst > walk.rowLast)
        return;
    for (int e = 0; e < n; ++e)
    {
        const Edge& edge = edges[e];
        if (edge.dy == 0)
            continue;
        RowWalker::Side& b = edge.dy > 0 ? walk.upper[walk.upperCount++] : walk.lower[walk.lowerCount++];
        const int64_t constant = edge.dx * (walk.rowFirst * SubOne - edge.y) + edge.dy * edge.x;
        const int64_t step = edge.dx * SubOne;
        b.k = (edge.dy > 0 ? edge.dy : -edge.dy) * SubOne;
        b.q = FloorDiv(constant - edge.bias, b.k);
        b.r = (constant - edge.bias) - b.q * b.k;
        b.stepQ = FloorDiv(step, b.k);
        b.stepR = step - b.stepQ * b.k;
    }
    if (plan.sampled)
    {
        plan.sampled(c, t, fast.constant, walk);
        return;
    }
    for (int64_t py = walk.rowFirst; py <= walk.rowLast; ++py)
    {
        int64_t lo, hi;
        walk.Next(lo, hi);
        if (lo > hi)
            continue;
        if (useFast)
            FastSpan(c, t, plan, int(py), int(lo), int(hi + 1));
        else
            GeneralSpan(c, t, int(py), int(lo), int(hi + 1));
    }
}

void RasterizeFixed(Context& c, const FixedVertex& v0, const FixedVertex& v1, const FixedVertex& v2)
{
    const FixedVertex poly[3] = {v0, v1, v2};
    RasterizePolygon(c, poly, 3);
}

// The triangles (0, 1, 2) and (0, 2, 3) of a quad, drawn together when the quad is convex (else
// they may overlap, and the second must blend over the first).
void RasterizeTrianglePair(Context& c, const FixedVertex* f, bool convex)
{
#if defined(RASTER_WIDE_RUNS)
    if (!convex)
    {
        RasterizeFixed(c, f[0], f[1], f[2]);
        RasterizeFixed(c, f[0], f[2], f[3]);
        return;
    }
    PendingQuad pending;
    c.pending = &pending;
    RasterizeFixed(c, f[0], f[1], f[2]);
    RasterizeFixed(c, f[0], f[2], f[3]);
    c.pending = nullptr;
    if (pending.draw)
        pending.draw(c, pending.batch, pending.constant);
#else
    (void)convex;
    RasterizeFixed(c, f[0], f[1], f[2]);
    RasterizeFixed(c, f[0], f[2], f[3]);
#endif
}

// Whether the fourth vertex's attributes lie exactly on the plane of the first three.
bool OnPlane(const FixedVertex& v0, const FixedVertex& v1, const FixedVertex& v2, const FixedVertex& v3)
{
    const int64_t det = Cross(v0, v1, v2);
    for (int k = 0; k < AttrCount; ++k)
    {
        if (v1.at[k] == v0.at[k] && v2.at[k] == v0.at[k] && v3.at[k] == v0.at[k])
            continue;
        const Wide d1 = Wide(v1.at[k] - v0.at[k]);
        const Wide d2 = Wide(v2.at[k] - v0.at[k]);
        const Wide numX = d1 * (v2.y - v0.y) - d2 * (v1.y - v0.y);
        const Wide numY = d2 * (v1.x - v0.x) - d1 * (v2.x - v0.x);
        if (Wide(v3.at[k] - v0.at[k]) * det != numX * (v3.x - v0.x) + numY * (v3.y - v0.y))
            return false;
    }
    return true;
}

#if defined(RASTER_WIDE_RUNS)
// For each 8-bit lane mask, the numbers of its set lanes in order, one byte each.
constexpr std::array<uint64_t, 256> MakeCompressTable()
{
    std::array<uint64_t, 256> table{};
    for (int mask = 0; mask < 256; ++mask)
    {
        int slot = 0;
        for (int lane = 0; lane < 8; ++lane)
            if (mask & (1 << lane))
                table[size_t(mask)] |= uint64_t(lane) << (8 * slot++);
    }
    return table;
}
constexpr std::array<uint64_t, 256> CompressTable = MakeCompressTable();

// An affine value over a quad's box: its value at the box's first pixel and its steps to the next
// column and row.
struct Affine
{
    int64_t at, perCol, perRow;
};

// What the listing of a quad tests and lists, as affine values over its box. One plane: the
// polygon's four sides. Two (a convex quad whose triangles differ): the quad's four outer sides,
// and the first triangle's side on the diagonal, which picks each pixel's plane. Both triangles
// have the same winding, so their diagonal sides face each other and exactly one of them takes a
// pixel on the diagonal; with no vertex of the diagonal on a pixel centre, a pixel inside the four
// outer sides is in exactly one triangle, as the triangle paths have it.
struct QuadValues
{
    Affine side[4], diagonal, u[2], v[2];
};

// A pixel is inside a side from (x, y) by (dx, dy) when dx (Y - y) - dy (X - x) - bias >= 0: the
// test the row walker's column bounds stand for, so the listing covers the same pixels.
Affine SideValue(const Edge& edge, int64_t col0, int64_t row0)
{
    return {edge.dx * (row0 * SubOne - edge.y) - edge.dy * (col0 * SubOne - edge.x) - edge.bias,
            -edge.dy * SubOne, edge.dx * SubOne};
}

// Whether the value stays well within 32 bits over the box (its extremes are at the box's corners),
// so that lanes of 32 bits hold it exactly.
AlwaysInline bool FitsBox(const Affine& a, int64_t width, int64_t height)
{
    constexpr int64_t Room = int64_t(1) << 30;
    const int64_t across = (width - 1) * a.perCol, down = (height - 1) * a.perRow;
    const int64_t high = a.at + std::max<int64_t>(across, 0) + std::max<int64_t>(down, 0);
    const int64_t low = a.at + std::min<int64_t>(across, 0) + std::min<int64_t>(down, 0);
    return high < Room && low > -Room;
}

bool MakeQuadValues(const PolygonSetup* parts, bool two, int64_t col0, int64_t row0, int64_t width, int64_t height,
                    QuadValues& q)
{
    const Edge* outer[4] = {&parts[0].edges[0], &parts[0].edges[1], &parts[0].edges[2], &parts[0].edges[3]};
    if (two)
    {
        outer[2] = &parts[1].edges[1];
        outer[3] = &parts[1].edges[2];
        q.diagonal = SideValue(parts[0].edges[2], col0, row0);
    }
    else
        q.diagonal = {0, 0, 0};
    bool fits = FitsBox(q.diagonal, width, height);
    for (int e = 0; e < 4; ++e)
    {
        q.side[e] = SideValue(*outer[e], col0, row0);
        fits = fits && FitsBox(q.side[e], width, height);
    }
    for (int i = 0; i < 2; ++i)
    {
        // Tap positions one texel up, so that the range test is one unsigned comparison.
        const TriangleSetup& t = parts[two ? i : 0].t;
        q.u[i] = {t.At(AttrU, col0, row0) - AttrHalf + AttrOne, t.dx[AttrU], t.dy[AttrU]};
        q.v[i] = {t.At(AttrV, col0, row0) - AttrHalf + AttrOne, t.dx[AttrV], t.dy[AttrV]};
        fits = fits && FitsBox(q.u[i], width, height) && FitsBox(q.v[i], width, height);
    }
    return fits;
}

// An affine value in 32-bit lanes: eight pixels of a row, and the steps to the next eight and to
// the next row.
struct AffineLanes
{
    __m256i row, across, down;
};

AlwaysInline WideTarget AffineLanes Lanes(const Affine& a)
{
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    return {_mm256_add_epi32(_mm256_set1_epi32(int32_t(a.at)), _mm256_mullo_epi32(lanes, _mm256_set1_epi32(int32_t(a.perCol)))),
            _mm256_set1_epi32(int32_t(uint32_t(a.perCol) * 8u)), _mm256_set1_epi32(int32_t(a.perRow))};
}

// Lists the pixels of a quad over its box, eight pixel centres at a time, packing the covered ones
// into the batch with the taps of their own plane. False (and the batch as it was) when a covered
// pixel samples further than one texel outside the texture.
template <bool Two>
WideTarget bool ListQuad(const Context& c, const QuadValues& q, int64_t col0, int64_t row0, int64_t width,
                         int64_t height, PixelBatch& batch)
{
    AffineLanes side[4] = {Lanes(q.side[0]), Lanes(q.side[1]), Lanes(q.side[2]), Lanes(q.side[3])};
    AffineLanes diagonal = Lanes(q.diagonal), u1 = Lanes(q.u[0]), v1 = Lanes(q.v[0]), u2 = Lanes(q.u[1]),
                v2 = Lanes(q.v[1]);
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i uLast = _mm256_set1_epi32(int32_t(((int64_t(c.texWidth) + 1) << AttrShift) - 1));
    const __m256i vLast = _mm256_set1_epi32(int32_t(((int64_t(c.texHeight) + 1) << AttrShift) - 1));
    const __m256i one = _mm256_set1_epi32(int32_t(AttrOne)), none = _mm256_set1_epi32(-1);
    __m256i outside = _mm256_setzero_si256();
    int n = 0;
    int64_t lineAt = row0 * int64_t(c.targetWidth) + col0;
    for (int64_t row = 0; row < height; ++row, lineAt += c.targetWidth)
    {
        __m256i f0 = side[0].row, f1 = side[1].row, f2 = side[2].row, f3 = side[3].row, fd = diagonal.row;
        __m256i uA = u1.row, vA = v1.row, uB = u2.row, vB = v2.row;
        __m256i at = _mm256_add_epi32(_mm256_set1_epi32(int32_t(lineAt)), lanes);
        for (int64_t col = 0; col < width; col += 8)
        {
            const __m256i inBox = _mm256_cmpgt_epi32(_mm256_set1_epi32(int32_t(width - col)), lanes);
            const __m256i covered = _mm256_and_si256(
                _mm256_and_si256(inBox, _mm256_and_si256(_mm256_cmpgt_epi32(f0, none), _mm256_cmpgt_epi32(f1, none))),
                _mm256_and_si256(_mm256_cmpgt_epi32(f2, none), _mm256_cmpgt_epi32(f3, none)));
            __m256i u = uA, v = vA;
            if constexpr (Two)
            {
                const __m256i first = _mm256_cmpgt_epi32(fd, none);
                u = _mm256_blendv_epi8(uB, uA, first);
                v = _mm256_blendv_epi8(vB, vA, first);
            }
            const __m256i inside = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(u, uLast), u),
                                                    _mm256_cmpeq_epi32(_mm256_min_epu32(v, vLast), v));
            outside = _mm256_or_si256(outside, _mm256_andnot_si256(inside, covered));
            const int mask = _mm256_movemask_ps(_mm256_castsi256_ps(covered));
            const __m256i order =
                _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(int64_t(CompressTable[size_t(mask)])));
            const __m256i pixels =
                _mm256_maskload_epi32(reinterpret_cast<const int*>(c.target + lineAt + col), covered);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.u + n),
                                _mm256_permutevar8x32_epi32(_mm256_sub_epi32(u, one), order));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.v + n),
                                _mm256_permutevar8x32_epi32(_mm256_sub_epi32(v, one), order));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.at + n), _mm256_permutevar8x32_epi32(at, order));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(batch.pixels + n),
                                _mm256_permutevar8x32_epi32(pixels, order));
            n += __builtin_popcount(unsigned(mask));
            f0 = _mm256_add_epi32(f0, side[0].across);
            f1 = _mm256_add_epi32(f1, side[1].across);
            f2 = _mm256_add_epi32(f2, side[2].across);
            f3 = _mm256_add_epi32(f3, side[3].across);
            uA = _mm256_add_epi32(uA, u1.across);
            vA = _mm256_add_epi32(vA, v1.across);
            if constexpr (Two)
            {
                fd = _mm256_add_epi32(fd, diagonal.across);
                uB = _mm256_add_epi32(uB, u2.across);
                vB = _mm256_add_epi32(vB, v2.across);
            }
            at = _mm256_add_epi32(at, _mm256_set1_epi32(8));
        }
        for (AffineLanes* lane : {&side[0], &side[1], &side[2], &side[3], &u1, &v1})
            lane->row = _mm256_add_epi32(lane->row, lane->down);
        if constexpr (Two)
            for (AffineLanes* lane : {&diagonal, &u2, &v2})
                lane->row = _mm256_add_epi32(lane->row, lane->down);
    }
    if (!_mm256_testz_si256(outside, outside))
        return false;
    batch.count = n;
    return true;
}

#if defined(__GNUC__) && !defined(__clang__)
// GCC 12 takes the unused pass-through operand of its 512-bit permutes and unpacks for an
// uninitialised variable.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The same values in 512-bit registers, sixteen pixels of a row.
struct AffineLanes16
{
    __m512i row, across, down;
};

AlwaysInline WidestTarget AffineLanes16 Lanes16(const Affine& a)
{
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return {_mm512_add_epi32(_mm512_set1_epi32(int32_t(a.at)), _mm512_mullo_epi32(lanes, _mm512_set1_epi32(int32_t(a.perCol)))),
            _mm512_set1_epi32(int32_t(uint32_t(a.perCol) * 16u)), _mm512_set1_epi32(int32_t(a.perRow))};
}

// ListQuad sixteen pixels at a time, with the lane tests in mask registers and the covered pixels
// packed by compression: the same tests on the same values, so the same list.
template <bool Two>
WidestTarget bool ListQuadWidest(const Context& c, const QuadValues& q, int64_t col0, int64_t row0, int64_t width,
                                 int64_t height, PixelBatch& batch)
{
    AffineLanes16 side[4] = {Lanes16(q.side[0]), Lanes16(q.side[1]), Lanes16(q.side[2]), Lanes16(q.side[3])};
    AffineLanes16 diagonal = Lanes16(q.diagonal), u1 = Lanes16(q.u[0]), v1 = Lanes16(q.v[0]),
                  u2 = Lanes16(q.u[1]), v2 = Lanes16(q.v[1]);
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512i uLast = _mm512_set1_epi32(int32_t(((int64_t(c.texWidth) + 1) << AttrShift) - 1));
    const __m512i vLast = _mm512_set1_epi32(int32_t(((int64_t(c.texHeight) + 1) << AttrShift) - 1));
    const __m512i one = _mm512_set1_epi32(int32_t(AttrOne)), zero = _mm512_setzero_si512();
    __mmask16 outside = 0;
    int n = 0;
    int64_t lineAt = row0 * int64_t(c.targetWidth) + col0;
    for (int64_t row = 0; row < height; ++row, lineAt += c.targetWidth)
    {
        __m512i f0 = side[0].row, f1 = side[1].row, f2 = side[2].row, f3 = side[3].row, fd = diagonal.row;
        __m512i uA = u1.row, vA = v1.row, uB = u2.row, vB = v2.row;
        __m512i at = _mm512_add_epi32(_mm512_set1_epi32(int32_t(lineAt)), lanes);
        for (int64_t col = 0; col < width; col += 16)
        {
            __mmask16 covered = _mm512_cmpgt_epi32_mask(_mm512_set1_epi32(int32_t(width - col)), lanes);
            covered = _mm512_mask_cmpge_epi32_mask(covered, f0, zero);
            covered = _mm512_mask_cmpge_epi32_mask(covered, f1, zero);
            covered = _mm512_mask_cmpge_epi32_mask(covered, f2, zero);
            covered = _mm512_mask_cmpge_epi32_mask(covered, f3, zero);
            __m512i u = uA, v = vA;
            if constexpr (Two)
            {
                const __mmask16 first = _mm512_cmpge_epi32_mask(fd, zero);
                u = _mm512_mask_blend_epi32(first, uB, uA);
                v = _mm512_mask_blend_epi32(first, vB, vA);
            }
            const __mmask16 inside = _mm512_mask_cmple_epu32_mask(_mm512_cmple_epu32_mask(u, uLast), v, vLast);
            outside = __mmask16(outside | (covered & ~inside));
            const __m512i pixels = _mm512_maskz_loadu_epi32(covered, c.target + lineAt + col);
            _mm512_storeu_si512(batch.u + n, _mm512_maskz_compress_epi32(covered, _mm512_sub_epi32(u, one)));
            _mm512_storeu_si512(batch.v + n, _mm512_maskz_compress_epi32(covered, _mm512_sub_epi32(v, one)));
            _mm512_storeu_si512(batch.at + n, _mm512_maskz_compress_epi32(covered, at));
            _mm512_storeu_si512(batch.pixels + n, _mm512_maskz_compress_epi32(covered, pixels));
            n += __builtin_popcount(unsigned(covered));
            f0 = _mm512_add_epi32(f0, side[0].across);
            f1 = _mm512_add_epi32(f1, side[1].across);
            f2 = _mm512_add_epi32(f2, side[2].across);
            f3 = _mm512_add_epi32(f3, side[3].across);
            uA = _mm512_add_epi32(uA, u1.across);
            vA = _mm512_add_epi32(vA, v1.across);
            if constexpr (Two)
            {
                fd = _mm512_add_epi32(fd, diagonal.across);
                uB = _mm512_add_epi32(uB, u2.across);
                vB = _mm512_add_epi32(vB, v2.across);
            }
            at = _mm512_add_epi32(at, _mm512_set1_epi32(16));
        }
        for (AffineLanes16* lane : {&side[0], &side[1], &side[2], &side[3], &u1, &v1})
            lane->row = _mm512_add_epi32(lane->row, lane->down);
        if constexpr (Two)
            for (AffineLanes16* lane : {&diagonal, &u2, &v2})
                lane->row = _mm512_add_epi32(lane->row, lane->down);
    }
    if (outside != 0)
        return false;
    batch.count = n;
    return true;
}

bool HasWidestRuns()
{
    static const bool has = []
    {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    }();
    return has;
}

// WideCombine on eight pixels in the 16-bit lanes of a 512-bit register: the same arithmetic.
template <BlendMode Mode> AlwaysInline WidestTarget __m512i WidestFactor(uint32_t factor, __m512i alpha)
{
    switch (factor)
    {
    case Value::BlendZero:
        return _mm512_setzero_si512();
    case Value::BlendSrcAlpha:
        return alpha;
    case Value::BlendInvSrcAlpha:
        return _mm512_xor_si512(alpha, _mm512_set1_epi16(0xFF));
    default:
        return _mm512_set1_epi16(255);
    }
}

template <BlendMode Mode, bool Modulate>
AlwaysInline WidestTarget __m512i WidestCombine(const PipelineState& s, __m512i in, __m512i old, __m512i factor)
{
    const __m512i round = _mm512_set1_epi16(128);
    const __m512i div = _mm512_set1_epi16(257);
    if constexpr (Modulate)
        in = _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_mullo_epi16(in, factor), round), div);
    if constexpr (Mode == BlendMode::Replace)
        return in;
    else
    {
        const __m512i alpha = _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(in, 0xFF), 0xFF);
        if constexpr (Mode == BlendMode::Over)
            return _mm512_mulhi_epu16(
                _mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(in, alpha),
                                                  _mm512_mullo_epi16(old, _mm512_xor_si512(alpha, _mm512_set1_epi16(0xFF)))),
                                 round),
                div);
        else if constexpr (Mode == BlendMode::Add)
            return _mm512_mulhi_epu16(
                _mm512_adds_epu16(_mm512_adds_epu16(_mm512_mullo_epi16(in, alpha),
                                                    _mm512_mullo_epi16(old, _mm512_set1_epi16(255))),
                                  round),
                div);
        else
            return _mm512_mulhi_epu16(
                _mm512_adds_epu16(_mm512_adds_epu16(_mm512_mullo_epi16(in, WidestFactor<Mode>(s.srcBlend, alpha)),
                                                    _mm512_mullo_epi16(old, WidestFactor<Mode>(s.destBlend, alpha))),
                                  round),
                div);
    }
}

// WideMix on eight pixels (pixel i's texel pairs in the 64-bit lane i): each 128-bit lane does what
// the 256-bit routine's lanes do, so the pixels are the same.
AlwaysInline WidestTarget __m512i WidestMix(__m512i top, __m512i bottom, __m256i uWords, __m256i vWords)
{
    const __m512i zero = _mm512_setzero_si512();
    const __m512i full = _mm512_set1_epi16(256);
    const __m512i round = _mm512_set1_epi16(128);
    const __m256i low8 = _mm256_set1_epi32(0xFF);
    const __m256i w = _mm256_and_si256(_mm256_srli_epi32(uWords, AttrShift - 8), low8);
    const __m256i h = _mm256_and_si256(_mm256_srli_epi32(vWords, AttrShift - 8), low8);
    const __m512i fx = _mm512_castsi256_si512(_mm256_or_si256(w, _mm256_slli_epi32(w, 16)));
    const __m512i fy = _mm512_castsi256_si512(_mm256_or_si256(h, _mm256_slli_epi32(h, 16)));
    const __m512i wyA =
        _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6), fy);
    const __m512i wyB =
        _mm512_permutexvar_epi32(_mm512_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3, 5, 5, 5, 5, 7, 7, 7, 7), fy);
    __m512i columnsA = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi8(top, zero), _mm512_sub_epi16(full, wyA)),
                                        _mm512_mullo_epi16(_mm512_unpacklo_epi8(bottom, zero), wyA));
    __m512i columnsB = _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpackhi_epi8(top, zero), _mm512_sub_epi16(full, wyB)),
                                        _mm512_mullo_epi16(_mm512_unpackhi_epi8(bottom, zero), wyB));
    columnsA = _mm512_srli_epi16(_mm512_add_epi16(columnsA, round), 8);
    columnsB = _mm512_srli_epi16(_mm512_add_epi16(columnsB, round), 8);
    const __m512i wx =
        _mm512_permutexvar_epi32(_mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7), fx);
    const __m512i mix =
        _mm512_add_epi16(_mm512_mullo_epi16(_mm512_unpacklo_epi64(columnsA, columnsB), _mm512_sub_epi16(full, wx)),
                         _mm512_mullo_epi16(_mm512_unpackhi_epi64(columnsA, columnsB), wx));
    return _mm512_srli_epi16(_mm512_add_epi16(mix, round), 8);
}

AlwaysInline WidestTarget int64_t TexelPair(const uint32_t* at)
{
    int64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// DrawBatch eight pixels at a time.
template <BlendMode Mode, bool Modulate>
WidestTarget void DrawBatchWidest(const Context& c, PixelBatch& batch, uint32_t constant)
{
    const int n = batch.count;
    if (n == 0)
        return;
    const PipelineState& s = *c.state;
    const __m512i factor = _mm512_set1_epi64(
        int64_t(_mm_cvtsi128_si64(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(constant)), _mm_setzero_si128()))));
    const __m256i pitch = _mm256_set1_epi32(c.borderedWidth);
    const uint32_t* texels = c.bordered;
    const int64_t below = c.borderedWidth;
    uint32_t* target = c.target;
    // Past the last pixel, the group repeats it; those lanes are not written back.
    for (int k = n; k < n + 7; ++k)
    {
        batch.u[k] = batch.u[n - 1];
        batch.v[k] = batch.v[n - 1];
        batch.at[k] = batch.at[n - 1];
        batch.pixels[k] = batch.pixels[n - 1];
    }
    alignas(32) int32_t offset[8];
    alignas(32) uint32_t result[8];
    for (int i = 0; i < n; i += 8)
    {
        const __m256i uWords = _mm256_load_si256(reinterpret_cast<const __m256i*>(batch.u + i));
        const __m256i vWords = _mm256_load_si256(reinterpret_cast<const __m256i*>(batch.v + i));
        _mm256_store_si256(reinterpret_cast<__m256i*>(offset),
                           _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(vWords, AttrShift), pitch),
                                            _mm256_srai_epi32(uWords, AttrShift)));
        const __m512i top = _mm512_setr_epi64(
            TexelPair(texels + offset[0]), TexelPair(texels + offset[1]), TexelPair(texels + offset[2]),
            TexelPair(texels + offset[3]), TexelPair(texels + offset[4]), TexelPair(texels + offset[5]),
            TexelPair(texels + offset[6]), TexelPair(texels + offset[7]));
        const __m512i bottom = _mm512_setr_epi64(
            TexelPair(texels + below + offset[0]), TexelPair(texels + below + offset[1]),
            TexelPair(texels + below + offset[2]), TexelPair(texels + below + offset[3]),
            TexelPair(texels + below + offset[4]), TexelPair(texels + below + offset[5]),
            TexelPair(texels + below + offset[6]), TexelPair(texels + below + offset[7]));
        const __m512i in = WidestMix(top, bottom, uWords, vWords);
        const __m256i old = _mm256_load_si256(reinterpret_cast<const __m256i*>(batch.pixels + i));
        const __m512i lanes = WidestCombine<Mode, Modulate>(s, in, _mm512_cvtepu8_epi16(old), factor);
        // Bytes of each 128-bit lane's two pixels, then the lanes' low halves together.
        const __m512i packed = _mm512_packus_epi16(lanes, lanes);
        _mm256_store_si256(reinterpret_cast<__m256i*>(result),
                           _mm512_castsi512_si256(_mm512_permutexvar_epi64(
                               _mm512_setr_epi64(0, 2, 4, 6, 0, 2, 4, 6), packed)));
        const int count = std::min(8, n - i);
        for (int k = 0; k < count; ++k)
            target[uint32_t(batch.at[i + k])] = result[k];
    }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

using BatchFn = void (*)(const Context& c, PixelBatch& batch, uint32_t constant);

template <BlendMode Mode> BatchFn PickBatchMode(uint32_t constant, bool widest)
{
    if (widest)
        return constant != 0xFFFFFFFF ? &DrawBatchWidest<Mode, true> : &DrawBatchWidest<Mode, false>;
    return constant != 0xFFFFFFFF ? &DrawBatch<Mode, true> : &DrawBatch<Mode, false>;
}

BatchFn PickBatch(BlendMode mode, uint32_t constant, bool widest)
{
    switch (mode)
    {
    case BlendMode::Replace:
        return PickBatchMode<BlendMode::Replace>(constant, widest);
    case BlendMode::Over:
        return PickBatchMode<BlendMode::Over>(constant, widest);
    case BlendMode::Add:
        return PickBatchMode<BlendMode::Add>(constant, widest);
    default:
        return PickBatchMode<BlendMode::General>(constant, widest);
    }
}

// Small bilinear sprites of one colour (particles) drawn whole: the polygon, or both triangles of a
// convex quad, set up once and listed in one pass over the quad's box, with none of the per-triangle
// choosing and row walking. The pixels are those the triangle paths give (the listing covers the
// same pixels, and the batch fills them as the bordered runs do); false leaves the quad to them.
bool DrawSmallQuad(Context& c, const FixedVertex* f, bool onePlane)
{
    const PipelineState& s = *c.state;
    if (!s.fastPaths || !s.wideRuns || !s.linear || c.depthActive || !c.texels || c.texWidth < 2 ||
        c.texHeight < 2 || c.texWidth > BatchTextureLimit || c.texHeight > BatchTextureLimit || !HasWideRuns())
        return false;
    for (int k = AttrA; k <= AttrB; ++k)
        if (f[1].at[k] != f[0].at[k] || f[2].at[k] != f[0].at[k] || f[3].at[k] != f[0].at[k])
            return false;
    int64_t minX = f[0].x, maxX = f[0].x, minY = f[0].y, maxY = f[0].y;
    for (int i = 1; i < 4; ++i)
    {
        minX = std::min(minX, f[i].x);
        maxX = std::max(maxX, f[i].x);
        minY = std::min(minY, f[i].y);
        maxY = std::max(maxY, f[i].y);
    }
    const int64_t row0 = std::max<int64_t>(0, FloorDiv(minY + SubOne - 1, SubOne));
    const int64_t row1 = std::min<int64_t>(c.targetHeight - 1, FloorDiv(maxY, SubOne));
    const int64_t col0 = std::max<int64_t>(0, FloorDiv(minX + SubOne - 1, SubOne));
    const int64_t col1 = std::min<int64_t>(c.targetWidth - 1, FloorDiv(maxX, SubOne));
    if (row0 > row1 || col0 > col1 || (row1 - row0 + 1) * (col1 - col0 + 1) > BatchPixelLimit)
        return false;
    const uint32_t diffuse = (AttrByte(f[0].at[AttrA]) << 24) | (AttrByte(f[0].at[AttrR]) << 16) |
                             (AttrByte(f[0].at[AttrG]) << 8) | AttrByte(f[0].at[AttrB]);
    FastSetup fast;
    if (!MakeFastSetup(c, diffuse, fast) || !fast.fromTexture || AlphaTestIsVisible(s, fast.mode))
        return false;
    const FixedVertex second[3] = {f[0], f[2], f[3]};
    PolygonSetup parts[2];
    const int count = onePlane ? 1 : 2;
    if (onePlane ? !SetUpPolygon(c, f, 4, parts[0])
                 : !SetUpPolygon(c, f, 3, parts[0]) || !SetUpPolygon(c, second, 3, parts[1]))
        return false;
    for (int i = 0; i < count; ++i)
    {
        // Runs along one texel row go through the texel buffer on the triangle paths.
        const TriangleSetup& t = parts[i].t;
        if (t.dx[AttrV] == 0 && t.dx[AttrU] <= 2 * AttrOne && t.dx[AttrU] >= -2 * AttrOne)
            return false;
    }
    if (!MakeBordered(c))
        return false;
    const int64_t width = col1 - col0 + 1, height = row1 - row0 + 1;
    QuadValues values;
    if (!MakeQuadValues(parts, count == 2, col0, row0, width, height, values))
        return false;
    PixelBatch batch;
    bool listed;
    const bool widest = s.widestRuns && HasWidestRuns();
    if (widest)
        listed = count == 2 ? ListQuadWidest<true>(c, values, col0, row0, width, height, batch)
                            : ListQuadWidest<false>(c, values, col0, row0, width, height, batch);
    else
        listed = count == 2 ? ListQuad<true>(c, values, col0, row0, width, height, batch)
                            : ListQuad<false>(c, values, col0, row0, width, height, batch);
    if (!listed)
        return false;
    if (batch.count > 0)
        PickBatch(fast.mode, fast.constant, widest)(c, batch, fast.constant);
    return true;
}
#endif

bool MakeContext(const PipelineState& state, Context& c)
{
    if (!state.target)
        return false;
    c.state = &state;
    c.target = state.target->Pixels();
    c.targetWidth = int(state.target->Width());
    c.targetHeight = int(state.target->Height());
    c.depthActive = state.zEnable && state.depth && state.depth->Width() >= state.target->Width() &&
                    state.depth->Height() >= state.target->Height();
    c.depth = c.depthActive ? state.depth->Depths() : nullptr;
    c.depthWidth = c.depthActive ? int(state.depth->Width()) : 0;
    c.texels = state.texture ? state.texture->Pixels() : nullptr;
    c.texWidth = state.texture ? int(state.texture->Width()) : 1;
    c.texHeight = state.texture ? int(state.texture->Height()) : 1;
    c.bordered = nullptr;
    c.borderedWidth = 0;
    c.pending = nullptr;
    return true;
}

bool FinitePosition(const SpriteVertex& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y);
}

// Asks for the target rows a small quad covers before its set-up runs, so the set-up hides their
// misses (particles land all over the target). Large quads stream through rows the hardware
// prefetcher follows; positions that are not numbers fail the size test.
void PrefetchRows(const Context& c, const SpriteVertex& a, const SpriteVertex& b, const SpriteVertex& d,
                  const SpriteVertex& e)
{
    const float left = std::min(std::min(a.x, b.x), std::min(d.x, e.x));
    const float right = std::max(std::max(a.x, b.x), std::max(d.x, e.x));
    const float top = std::min(std::min(a.y, b.y), std::min(d.y, e.y));
    const float bottom = std::max(std::max(a.y, b.y), std::max(d.y, e.y));
    if (!(right - left <= 32.0f && bottom - top <= 32.0f))
        return;
    if (!(right >= 0.0f && bottom >= 0.0f && left < float(c.targetWidth) && top < float(c.targetHeight)))
        return;
    const int x0 = std::max(0, int(left));
    const int x1 = std::min(c.targetWidth - 1, int(right));
    const int y0 = std::max(0, int(top));
    const int y1 = std::min(c.targetHeight - 1, int(bottom));
    for (int y = y0; y <= y1; ++y)
    {
        const uint32_t* row = c.target + size_t(y) * size_t(c.targetWidth);
        __builtin_prefetch(row + x0, 1);
        __builtin_prefetch(row + x1, 1);
    }
}

} // namespace

void DrawTriangle(const PipelineState& state, const SpriteVertex& a, const SpriteVertex& b,
                  const SpriteVertex& c)
{
    Context ctx;
    if (!MakeContext(state, ctx))
        return;
    // Positions that are not numbers cannot be clipped; such a triangle is dropped whole.
    if (!FinitePosition(a) || !FinitePosition(b) || !FinitePosition(c))
        return;
    ClipVertex poly[3] = {ToClip(a, ctx.texWidth, ctx.texHeight), ToClip(b, ctx.texWidth, ctx.texHeight),
                          ToClip(c, ctx.texWidth, ctx.texHeight)};
    if (Inside(poly[0]) && Inside(poly[1]) && Inside(poly[2]))
    {
        RasterizeFixed(ctx, ToFixed(poly[0]), ToFixed(poly[1]), ToFixed(poly[2]));
        return;
    }
    // Each side can add one vertex: 3 + 4 at most.
    ClipVertex bufferA[8], bufferB[8];
    int count = ClipSide(poly, 3, bufferA, 0, -GuardBand, false);
    count = ClipSide(bufferA, count, bufferB, 0, GuardBand, true);
    count = ClipSide(bufferB, count, bufferA, 1, -GuardBand, false);
    count = ClipSide(bufferA, count, bufferB, 1, GuardBand, true);
    if (count < 3)
        return;
    const FixedVertex first = ToFixed(bufferB[0]);
    for (int i = 1; i + 1 < count; ++i)
        RasterizeFixed(ctx, first, ToFixed(bufferB[i]), ToFixed(bufferB[i + 1]));
}

void DrawQuad(const PipelineState& state, const SpriteVertex& a, const SpriteVertex& b, const SpriteVertex& c,
              const SpriteVertex& d)
{
    Context ctx;
    if (!MakeContext(state, ctx))
        return;
    PrefetchRows(ctx, a, b, c, d);
    if (InsideBand(a) && InsideBand(b) && InsideBand(c) && InsideBand(d))
    {
        const uint32_t w = uint32_t(ctx.texWidth), h = uint32_t(ctx.texHeight);
        const FixedVertex f[4] = {ToFixedDirect(a, w, h), ToFixedDirect(b, w, h), ToFixedDirect(c, w, h),
                                  ToFixedDirect(d, w, h)};
        // One polygon covers what the two triangles cover when it is convex, the diagonal's ends are
        // not pixel centres (where the fill rule would decide per triangle) and the attributes of
        // both triangles lie on one plane (so both compute the same values).
        const int64_t s0 = Cross(f[0], f[1], f[2]), s1 = Cross(f[1], f[2], f[3]);
        const int64_t s2 = Cross(f[2], f[3], f[0]), s3 = Cross(f[3], f[0], f[1]);
        const bool convex =
            (s0 > 0 && s1 > 0 && s2 > 0 && s3 > 0) || (s0 < 0 && s1 < 0 && s2 < 0 && s3 < 0);
        const bool centreOnDiagonalEnd =
            ((f[0].x & 255) == 0 && (f[0].y & 255) == 0) || ((f[2].x & 255) == 0 && (f[2].y & 255) == 0);
        const bool onePlane = convex && !centreOnDiagonalEnd && OnPlane(f[0], f[1], f[2], f[3]);
#if defined(RASTER_WIDE_RUNS)
        if (convex && !centreOnDiagonalEnd && DrawSmallQuad(ctx, f, onePlane))
            return;
#endif
        if (onePlane)
            RasterizePolygon(ctx, f, 4);
        else
            RasterizeTrianglePair(ctx, f, convex);
        return;
    }
    DrawTriangle(state, a, b, c);
    DrawTriangle(state, a, c, d);
}

void DrawLine(const PipelineState& state, const SpriteVertex& a, const SpriteVertex& b)
{
    Context ctx;
    if (!MakeContext(state, ctx))
        return;
    if (!FinitePosition(a) || !FinitePosition(b))
        return;
    ClipVertex ends[2] = {ToClip(a, ctx.texWidth, ctx.texHeight), ToClip(b, ctx.texWidth, ctx.texHeight)};
    // Clip the segment to the guard band, side by side.
    for (int axis = 0; axis < 2; ++axis)
    {
        for (int side = 0; side < 2; ++side)
        {
            const double bound = side == 0 ? -GuardBand : GuardBand;
            auto coord = [&](const ClipVertex& v) { return axis == 0 ? v.x : v.y; };
            auto in = [&](const ClipVertex& v) { return side == 0 ? coord(v) >= bound : coord(v) <= bound; };
            const bool in0 = in(ends[0]);
            const bool in1 = in(ends[1]);
            if (!in0 && !in1)
                return;
            if (!in0)
                ends[0] = Intersect(ends[0], ends[1], axis, bound);
            else if (!in1)
                ends[1] = Intersect(ends[0], ends[1], axis, bound);
        }
    }
    const FixedVertex p = ToFixed(ends[0]);
    const FixedVertex q = ToFixed(ends[1]);
    const int64_t dx = q.x - p.x;
    const int64_t dy = q.y - p.y;
    if (dx == 0 && dy == 0)
        return;
    // Steps along the major axis: pixels whose centre lies in [start, end) after rounding both ends
    // to the nearest pixel; the other coordinate is rounded at each centre.
    const bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    const int64_t majorStart = xMajor ? p.x : p.y;
    const int64_t majorDelta = xMajor ? dx : dy;
    const int64_t minorStart = xMajor ? p.y : p.x;
    const int64_t minorDelta = xMajor ? dy : dx;
    const int64_t first = FloorDiv(majorStart + SubOne / 2, SubOne);
    const int64_t last = FloorDiv(majorStart + majorDelta + SubOne / 2, SubOne);
    const int64_t step = majorDelta > 0 ? 1 : -1;
    const int limitMajor = xMajor ? ctx.targetWidth : ctx.targetHeight;
    const int limitMinor = xMajor ? ctx.targetHeight : ctx.targetWidth;
    for (int64_t m = first; m != last; m += step)
    {
        if (m < 0 || m >= limitMajor)
            continue;
        const Wide along = Wide(m * SubOne - majorStart);
        const int64_t minor =
            minorStart +
            RoundDiv128(along * minorDelta, majorDelta > 0 ? majorDelta : -majorDelta, ValueLimit) *
                (majorDelta > 0 ? 1 : -1);
        const int64_t n = FloorDiv(minor + SubOne / 2, SubOne);
        if (n < 0 || n >= limitMinor)
            continue;
        int64_t at[AttrCount];
        for (int k = 0; k < AttrCount; ++k)
        {
            const Wide delta = Wide(q.at[k] - p.at[k]);
            at[k] =
                p.at[k] + RoundDiv128(delta * along, majorDelta > 0 ? majorDelta : -majorDelta, ValueLimit) *
                              (majorDelta > 0 ? 1 : -1);
        }
        const int px = int(xMajor ? m : n);
        const int py = int(xMajor ? n : m);
        ShadePixel(ctx, px, py, at);
    }
}

} // namespace Raster
