// The scene blur; see SceneBlur.h.
#include "game/hiddenobject/SceneBlur.h"

#include "engine/core/base/Matrix.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/image/Instance_Image.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

using namespace TarnEngine;

namespace SceneBlur
{

namespace
{

struct KernelCache
{
    int radius = 0;
    std::vector<std::pair<int, int>> offsets;
    // One span of columns [lo, hi] per kernel row dy, rows in ascending order.
    struct Span
    {
        int dy;
        int lo;
        int hi;
    };
    std::vector<Span> spans;
    // The kernel rows grouped by their span, so that rows with the same columns are added once
    // per column before the span is summed.
    struct Group
    {
        int lo;
        int hi;
        std::vector<int> dys;
    };
    std::vector<Group> groups;
};

KernelCache& cache()
{
    static KernelCache kernel;
    return kernel;
}

const KernelCache* kernelFor(int radius)
{
    if (radius < 1 || radius > MaxRadius)
        return nullptr;
    KernelCache& kernel = cache();
    if (kernel.radius == radius && !kernel.offsets.empty())
        return &kernel;
    kernel.radius = radius;
    kernel.offsets.clear();
    kernel.spans.clear();
    const int r2 = radius * radius;
    for (int dy = -radius; dy < radius; ++dy)
    {
        KernelCache::Span span{dy, radius, -radius - 1};
        for (int dx = -radius; dx < radius; ++dx)
        {
            if (dx * dx + dy * dy > r2)
                continue;
            kernel.offsets.emplace_back(dx, dy);
            span.lo = std::min(span.lo, dx);
            span.hi = std::max(span.hi, dx);
        }
        // The disc's columns in one row are contiguous.
        if (span.lo <= span.hi)
            kernel.spans.push_back(span);
    }
    kernel.groups.clear();
    for (const KernelCache::Span& span : kernel.spans)
    {
        auto same = std::find_if(kernel.groups.begin(), kernel.groups.end(), [&](const KernelCache::Group& group) {
            return group.lo == span.lo && group.hi == span.hi;
        });
        if (same == kernel.groups.end())
            kernel.groups.push_back({span.lo, span.hi, {span.dy}});
        else
            same->dys.push_back(span.dy);
    }
    return &kernel;
}

} // namespace

const std::vector<std::pair<int, int>>& GetKernel(int radius)
{
    static const std::vector<std::pair<int, int>> none;
    const KernelCache* kernel = kernelFor(radius);
    return kernel ? kernel->offsets : none;
}

namespace
{

// Running sums of one channel along every row: row y, column x holds the sum of columns 0 to
// x - 1. One plane per channel, so that the sums over the kernel's rows run over whole rows of
// consecutive columns.
struct Planes
{
    std::vector<uint32_t> channel[3];
};

// Kept between calls: the blurer runs every frame at one size, and fresh pages cost more than the
// filter. Every element is written before it is read.
Planes& scratchPlanes()
{
    static thread_local Planes planes;
    return planes;
}

// The interior's division by its point count n as a multiplication in single precision:
// floor((s + 0.5) / n) is floor(s / n), and the computed product lies within 3.1e-5 of the exact
// one (s is at most 255 n and both factors are rounded once), closer than the 0.5 / n that keeps
// it from an integer while n stays below 16,000; the kernel of the largest radius has fewer
// points. s + 0.5 is exact in a float while s is below 2^23.
static_assert(float(3.14159265 * MaxRadius * MaxRadius * 1.05) < 16000.0f, "the largest kernel fits the division");

// Kernels too large for packed sums: 32-bit running sums of each channel along the rows.
void blurWide(std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, const KernelCache* kernel)
{
    const int width = int(w);
    const int height = int(h);
    const size_t stride = size_t(w) + 1;
    Planes& planes = scratchPlanes();
    for (std::vector<uint32_t>& plane : planes.channel)
        plane.resize(stride * h);
    for (uint32_t y = 0; y < h; ++y)
    {
        const uint32_t* source = &pixels[size_t(w) * y];
        uint32_t* rows[3] = {&planes.channel[0][stride * y], &planes.channel[1][stride * y], &planes.channel[2][stride * y]};
        for (int c = 0; c < 3; ++c)
        {
            uint32_t* row = rows[c];
            const int shift = 8 * c;
            row[0] = 0;
            for (uint32_t x = 0; x < w; ++x)
                row[x + 1] = row[x] + ((source[x] >> shift) & 0xFF);
        }
    }

    int reachLeft = 0, reachRight = 0;
    for (const KernelCache::Span& span : kernel->spans)
    {
        reachLeft = std::max(reachLeft, -span.lo);
        reachRight = std::max(reachRight, span.hi);
    }
    const int interiorBegin = std::min(reachLeft, width);
    const int interiorEnd = std::max(interiorBegin, width - reachRight);
    const size_t interiorLength = size_t(interiorEnd - interiorBegin);

    static thread_local std::vector<uint32_t> out;
    static thread_local std::vector<uint32_t> sums[3];
    out.resize(pixels.size());
    for (std::vector<uint32_t>& sum : sums)
        sum.resize(interiorLength);
    struct Row
    {
        size_t offset; // of the kernel row's image row in the planes
        int lo;
        int hi;
    };
    std::vector<Row> rows;
    rows.reserve(kernel->spans.size());
    for (int y = 0; y < height; ++y)
    {
        rows.clear();
        uint32_t interiorCount = 0;
        for (const KernelCache::Span& span : kernel->spans)
        {
            const int yy = y + span.dy;
            if (yy < 0 || yy >= height)
                continue;
            rows.push_back({stride * size_t(yy), span.lo, span.hi});
            interiorCount += uint32_t(span.hi - span.lo + 1);
        }
        uint32_t* target = &out[size_t(w) * size_t(y)];
        // Near the edges the points inside the image are counted one pixel at a time.
        auto edgePixel = [&](int x) {
            uint32_t total[3] = {0, 0, 0};
            uint32_t n = 0;
            for (const Row& row : rows)
            {
                const int a = std::max(0, x + row.lo);
                const int b = std::min(width - 1, x + row.hi);
                if (a > b)
                    continue;
                n += uint32_t(b - a + 1);
                for (int c = 0; c < 3; ++c)
                    total[c] += planes.channel[c][row.offset + size_t(b) + 1] - planes.channel[c][row.offset + size_t(a)];
            }
            target[x] = 0xFF000000u | ((total[2] / n) << 16) | ((total[1] / n) << 8) | (total[0] / n);
        };
        for (int x = 0; x < interiorBegin; ++x)
            edgePixel(x);
        if (interiorLength > 0)
        {
            // Whole kernel rows over the interior, one channel at a time: loops the compiler runs
            // several columns at once.
            for (int c = 0; c < 3; ++c)
            {
                uint32_t* sum = sums[c].data();
                std::fill(sum, sum + interiorLength, 0u);
                for (const Row& row : rows)
                {
                    const uint32_t* plane = planes.channel[c].data() + row.offset + size_t(interiorBegin);
                    const uint32_t* a = plane + row.lo;
                    const uint32_t* b = plane + row.hi + 1;
                    for (size_t i = 0; i < interiorLength; ++i)
                        sum[i] += b[i] - a[i];
                }
            }
            const float inverse = 1.0f / float(interiorCount);
            const uint32_t* s0 = sums[0].data();
            const uint32_t* s1 = sums[1].data();
            const uint32_t* s2 = sums[2].data();
            uint32_t* row = target + interiorBegin;
            for (size_t i = 0; i < interiorLength; ++i)
            {
                const uint32_t c0 = uint32_t((float(s0[i]) + 0.5f) * inverse);
                const uint32_t c1 = uint32_t((float(s1[i]) + 0.5f) * inverse);
                const uint32_t c2 = uint32_t((float(s2[i]) + 0.5f) * inverse);
                row[i] = 0xFF000000u | (c2 << 16) | (c1 << 8) | c0;
            }
        }
        for (int x = interiorEnd; x < width; ++x)
            edgePixel(x);
    }
    pixels.swap(out);
}

// ---- Packed sums: the four bytes of a pixel widened to four 16-bit lanes, so that one vector adds
// two (SSE2) or four (AVX2) pixels of every channel at once. A kernel of at most PackedLimit points
// keeps every sum (at most 255 per point) inside 16 bits.
constexpr uint32_t PackedLimit = 65535 / 255;

// floor(s / n) for every s from 0 to 255 n as (s * multiplier) >> (16 + shift), the form a vector
// does with one high multiplication and one shift. Found by trying the shifts in turn and checking
// every s, once per count and thread; a count without such a pair is divided one pixel at a time.
struct Divider
{
    uint16_t multiplier = 0;
    uint8_t shift = 0;
    bool exact = false;
    bool known = false;
};

const Divider& dividerFor(uint32_t n)
{
    static thread_local Divider table[PackedLimit + 1];
    Divider& divider = table[n];
    if (divider.known)
        return divider;
    divider.known = true;
    for (int shift = 0; shift < 16 && n >= 2; ++shift)
    {
        const uint64_t multiplier = ((uint64_t(1) << (16 + shift)) + n - 1) / n;
        if (multiplier > 0xFFFF)
            break;
        bool exact = true;
        for (uint32_t sum = 0; sum <= 255 * n && exact; ++sum)
            exact = uint32_t((sum * multiplier) >> (16 + shift)) == sum / n;
        if (exact)
        {
            divider = {uint16_t(multiplier), uint8_t(shift), true, true};
            break;
        }
    }
    return divider;
}

// floor(s / n) for s up to 255 n and n up to PackedLimit as (s * m) >> 32 with m = 2^32 / n + 1
// (truncated): the product overshoots s / n by less than s / 2^32, below the 1 / n that keeps it
// from the next integer while 255 n^2 < 2^32.
constexpr std::array<uint64_t, PackedLimit + 1> Reciprocals = [] {
    std::array<uint64_t, PackedLimit + 1> made{};
    for (uint32_t n = 1; n <= PackedLimit; ++n)
        made[n] = (uint64_t(1) << 32) / n + 1;
    return made;
}();

// One kernel row group's contribution to an output row: the columns lo to hi of a row of packed
// sums (one image row, or the sum of the image rows that share that span), `rows` image rows deep.
struct Tap
{
    const uint16_t* row; // lanes of column 0; the padding before it is zero
    int lo;
    int hi;
    uint32_t rows;
};

void writePixel(uint8_t* target, uint32_t c0, uint32_t c1, uint32_t c2)
{
    const uint32_t pixel = 0xFF000000u | (c2 << 16) | (c1 << 8) | c0;
    std::memcpy(target, &pixel, 4);
}

// One output pixel the plain way: the sums over the taps (the padding adds nothing) divided by the
// number of kernel points inside the image.
void packedPixel(const Tap* taps, size_t tapCount, int x, int width, uint8_t* target)
{
    uint64_t sum[3] = {0, 0, 0};
    uint32_t n = 0;
#if defined(__SSE2__)
    __m128i lanesSum = _mm_setzero_si128();
#endif
    for (size_t t = 0; t < tapCount; ++t)
    {
        const Tap& tap = taps[t];
        const uint16_t* lanes = tap.row + ptrdiff_t(x + tap.lo) * 4;
        for (int i = tap.lo; i <= tap.hi; ++i, lanes += 4)
        {
#if defined(__SSE2__)
            lanesSum = _mm_add_epi16(lanesSum, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes)));
#else
            sum[0] += lanes[0];
            sum[1] += lanes[1];
            sum[2] += lanes[2];
#endif
        }
        const int a = std::max(0, x + tap.lo);
        const int b = std::min(width - 1, x + tap.hi);
        if (a <= b)
            n += tap.rows * uint32_t(b - a + 1);
    }
#if defined(__SSE2__)
    sum[0] = uint16_t(_mm_extract_epi16(lanesSum, 0));
    sum[1] = uint16_t(_mm_extract_epi16(lanesSum, 1));
    sum[2] = uint16_t(_mm_extract_epi16(lanesSum, 2));
#endif
    const uint64_t m = Reciprocals[n];
    writePixel(target, uint32_t((sum[0] * m) >> 32), uint32_t((sum[1] * m) >> 32), uint32_t((sum[2] * m) >> 32));
}

#if defined(__SSE2__)
// Columns x to end - 1 where every tap lies inside the image, four pixels a step; returns the
// first column not done.
int packedRunSse2(const Tap* taps, size_t tapCount, int x, int end, const Divider& divider, uint8_t* target)
{
    const __m128i multiplier = _mm_set1_epi16(short(divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(divider.shift);
    const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
    for (; x + 4 <= end; x += 4)
    {
        __m128i a = _mm_setzero_si128(), b = _mm_setzero_si128();
        for (size_t t = 0; t < tapCount; ++t)
        {
            const uint16_t* lanes = taps[t].row + ptrdiff_t(x + taps[t].lo) * 4;
            for (int i = taps[t].lo; i <= taps[t].hi; ++i, lanes += 4)
            {
                a = _mm_add_epi16(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes)));
                b = _mm_add_epi16(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes + 8)));
            }
        }
        a = _mm_srl_epi16(_mm_mulhi_epu16(a, multiplier), shift);
        b = _mm_srl_epi16(_mm_mulhi_epu16(b, multiplier), shift);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(target + size_t(x) * 4), _mm_or_si128(_mm_packus_epi16(a, b), alpha));
    }
    return x;
}
#endif

#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#define SCENE_BLUR_WIDE 1
// The same eight pixels a step in 256-bit registers, chosen at run time.
__attribute__((target("avx2"))) int packedRunAvx2(const Tap* taps, size_t tapCount, int x, int end,
                                                  const Divider& divider, uint8_t* target)
{
    const __m256i multiplier = _mm256_set1_epi16(short(divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(divider.shift);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    for (; x + 8 <= end; x += 8)
    {
        __m256i a = _mm256_setzero_si256(), b = _mm256_setzero_si256();
        for (size_t t = 0; t < tapCount; ++t)
        {
            const uint16_t* lanes = taps[t].row + ptrdiff_t(x + taps[t].lo) * 4;
            for (int i = taps[t].lo; i <= taps[t].hi; ++i, lanes += 4)
            {
                a = _mm256_add_epi16(a, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes)));
                b = _mm256_add_epi16(b, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + 16)));
            }
        }
        a = _mm256_srl_epi16(_mm256_mulhi_epu16(a, multiplier), shift);
        b = _mm256_srl_epi16(_mm256_mulhi_epu16(b, multiplier), shift);
        // The pack interleaves the 128-bit halves of a and b: put the pixels back in order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + size_t(x) * 4), _mm256_or_si256(packed, alpha));
    }
    return x;
}

__attribute__((target("avx2"), always_inline)) inline __m256i lanesAt(const uint16_t* row, int column)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + ptrdiff_t(column) * 4));
}

// The radius-2 sums of four pixels from column x: the taps [0, 0], [-1, 1] (two rows) and [-2, 1].
__attribute__((target("avx2"), always_inline)) inline __m256i radius2Sum(const uint16_t* top, const uint16_t* middle,
                                                                        const uint16_t* centre, int x)
{
    const __m256i a = _mm256_add_epi16(lanesAt(top, x), lanesAt(middle, x - 1));
    const __m256i b = _mm256_add_epi16(lanesAt(middle, x), lanesAt(middle, x + 1));
    const __m256i c = _mm256_add_epi16(lanesAt(centre, x - 2), lanesAt(centre, x - 1));
    const __m256i d = _mm256_add_epi16(lanesAt(centre, x), lanesAt(centre, x + 1));
    return _mm256_add_epi16(_mm256_add_epi16(a, b), _mm256_add_epi16(c, d));
}

// Radius 2 inside the image, the blurer's every frame, with the loops over the taps unrolled.
__attribute__((target("avx2"))) int packedRunAvx2Radius2(const Tap* taps, int x, int end, const Divider& divider,
                                                         uint8_t* target)
{
    const __m256i multiplier = _mm256_set1_epi16(short(divider.multiplier));
    const __m128i shift = _mm_cvtsi32_si128(divider.shift);
    const __m256i alpha = _mm256_set1_epi32(int(0xFF000000u));
    const uint16_t* top = taps[0].row;
    const uint16_t* middle = taps[1].row;
    const uint16_t* centre = taps[2].row;
    for (; x + 8 <= end; x += 8)
    {
        const __m256i a = _mm256_srl_epi16(_mm256_mulhi_epu16(radius2Sum(top, middle, centre, x), multiplier), shift);
        const __m256i b =
            _mm256_srl_epi16(_mm256_mulhi_epu16(radius2Sum(top, middle, centre, x + 4), multiplier), shift);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + size_t(x) * 4), _mm256_or_si256(packed, alpha));
    }
    return x;
}

bool wideAllowed = true;

bool hasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has && wideAllowed;
}
#endif

int packedRun(const Tap* taps, size_t tapCount, int x, int end, const Divider& divider, uint8_t* target)
{
#if defined(SCENE_BLUR_WIDE)
    if (hasAvx2())
    {
        const bool radius2 = tapCount == 3 && taps[0].lo == 0 && taps[0].hi == 0 && taps[1].lo == -1 &&
                             taps[1].hi == 1 && taps[2].lo == -2 && taps[2].hi == 1;
        x = radius2 ? packedRunAvx2Radius2(taps, x, end, divider, target)
                    : packedRunAvx2(taps, tapCount, x, end, divider, target);
    }
#endif
#if defined(__SSE2__)
    x = packedRunSse2(taps, tapCount, x, end, divider, target);
#endif
    return x;
}

// A row's bytes widened to 16-bit lanes, and the sum of `count` rows of lanes.
void widenPlain(const uint8_t* from, uint16_t* to, size_t lanes)
{
    for (size_t i = 0; i < lanes; ++i)
        to[i] = from[i];
}

void addRowsPlain(const uint16_t* const* rows, size_t count, uint16_t* sum, size_t lanes)
{
    for (size_t i = 0; i < lanes; ++i)
    {
        uint16_t total = rows[0][i];
        for (size_t k = 1; k < count; ++k)
            total = uint16_t(total + rows[k][i]);
        sum[i] = total;
    }
}

#if defined(SCENE_BLUR_WIDE)
__attribute__((target("avx2"))) void widenAvx2(const uint8_t* from, uint16_t* to, size_t lanes)
{
    size_t i = 0;
    for (; i + 16 <= lanes; i += 16)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i),
                            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i))));
    widenPlain(from + i, to + i, lanes - i);
}

__attribute__((target("avx2"))) void addRowsAvx2(const uint16_t* const* rows, size_t count, uint16_t* sum, size_t lanes)
{
    size_t i = 0;
    for (; i + 16 <= lanes; i += 16)
    {
        __m256i total = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[0] + i));
        for (size_t k = 1; k < count; ++k)
            total = _mm256_add_epi16(total, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + i)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sum + i), total);
    }
    const uint16_t* rest[2 * MaxRadius + 1];
    for (size_t k = 0; k < count; ++k)
        rest[k] = rows[k] + i;
    addRowsPlain(rest, count, sum + i, lanes - i);
}
#endif

void widen(const uint8_t* from, uint16_t* to, size_t lanes)
{
#if defined(SCENE_BLUR_WIDE)
    if (hasAvx2())
        return widenAvx2(from, to, lanes);
#endif
    widenPlain(from, to, lanes);
}

void addRows(const uint16_t* const* rows, size_t count, uint16_t* sum, size_t lanes)
{
#if defined(SCENE_BLUR_WIDE)
    if (hasAvx2())
        return addRowsAvx2(rows, count, sum, lanes);
#endif
    addRowsPlain(rows, count, sum, lanes);
}

// Rows of packed sums, kept between calls: the blurer runs every frame at one size. The first 2r
// rows hold the image rows y - r to y + r - 1 of the output row y (row yy in slot yy mod 2r), the
// rest one sum per group of several rows. Each row has r columns of zero padding on both sides.
struct PackedRows
{
    std::vector<uint16_t> lanes;
    size_t rowLanes = 0;
    uint16_t* Row(size_t slot) { return lanes.data() + slot * rowLanes; }
};

void blurPacked(const uint8_t* source, size_t sourcePitch, uint8_t* target, size_t targetPitch, int width,
                int height, const KernelCache& kernel)
{
    const int r = kernel.radius;
    const std::vector<KernelCache::Group>& groups = kernel.groups;
    static thread_local PackedRows rows;
    const size_t padding = size_t(r) * 4;
    rows.rowLanes = (size_t(width) + 2 * size_t(r)) * 4;
    const size_t ring = 2 * size_t(r);
    rows.lanes.resize(rows.rowLanes * (ring + groups.size()));
    for (size_t slot = 0; slot < ring; ++slot)
    {
        std::fill_n(rows.Row(slot), padding, uint16_t(0));
        std::fill_n(rows.Row(slot) + rows.rowLanes - padding, padding, uint16_t(0));
    }
    Tap taps[2 * MaxRadius];
    const uint16_t* rowsOf[2 * MaxRadius + 1];
    int converted = 0;
    for (int y = 0; y < height; ++y)
    {
        // The image rows up to y + r - 1 widened (before row y is written, so in place works).
        for (; converted < height && converted <= y + r - 1; ++converted)
        {
            widen(source + size_t(converted) * sourcePitch, rows.Row(size_t(converted) % ring) + padding,
                  size_t(width) * 4);
        }
        size_t tapCount = 0;
        for (size_t g = 0; g < groups.size(); ++g)
        {
            size_t count = 0;
            for (int dy : groups[g].dys)
                if (y + dy >= 0 && y + dy < height)
                    rowsOf[count++] = rows.Row(size_t(y + dy) % ring);
            if (count == 0)
                continue;
            const uint16_t* row = rowsOf[0];
            if (count > 1)
            {
                uint16_t* sum = rows.Row(ring + g);
                addRows(rowsOf, count, sum, rows.rowLanes);
                row = sum;
            }
            taps[tapCount++] = {row + padding, groups[g].lo, groups[g].hi, uint32_t(count)};
        }
        // Where every tap lies inside the image the count is the same for the whole row.
        int reachLeft = 0, reachRight = 0;
        uint32_t n = 0;
        for (size_t t = 0; t < tapCount; ++t)
        {
            const Tap& tap = taps[t];
            reachLeft = std::max(reachLeft, -tap.lo);
            reachRight = std::max(reachRight, tap.hi);
            n += tap.rows * uint32_t(tap.hi - tap.lo + 1);
        }
        const int begin = std::min(reachLeft, width);
        const int end = std::max(begin, width - reachRight);
        uint8_t* out = target + size_t(y) * targetPitch;
        int x = 0;
        for (; x < begin; ++x)
            packedPixel(taps, tapCount, x, width, out + size_t(x) * 4);
        if (dividerFor(n).exact)
            x = packedRun(taps, tapCount, x, end, dividerFor(n), out);
        for (; x < width; ++x)
            packedPixel(taps, tapCount, x, width, out + size_t(x) * 4);
    }
}

} // namespace

void SetWideVectors(bool on)
{
#if defined(SCENE_BLUR_WIDE)
    wideAllowed = on;
#else
    (void)on;
#endif
}

bool BlurInto(const uint8_t* source, size_t sourcePitch, uint8_t* target, size_t targetPitch, uint32_t w, uint32_t h,
              int radius)
{
    const KernelCache* kernel = kernelFor(radius);
    if (!kernel || !source || !target || w == 0 || h == 0 || w > uint32_t(INT32_MAX / 4) - 2 * MaxRadius ||
        h > uint32_t(INT32_MAX) || sourcePitch < size_t(w) * 4 || targetPitch < size_t(w) * 4)
        return false;
    if (kernel->offsets.size() <= PackedLimit)
    {
        blurPacked(source, sourcePitch, target, targetPitch, int(w), int(h), *kernel);
        return true;
    }
    static thread_local std::vector<uint32_t> pixels;
    pixels.resize(size_t(w) * h);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(&pixels[size_t(w) * y], source + size_t(y) * sourcePitch, size_t(w) * 4);
    blurWide(pixels, w, h, kernel);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(target + size_t(y) * targetPitch, &pixels[size_t(w) * y], size_t(w) * 4);
    return true;
}

bool Blur(std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, int radius)
{
    if (pixels.size() != size_t(w) * h || pixels.empty())
        return false;
    auto* bytes = reinterpret_cast<uint8_t*>(pixels.data());
    return BlurInto(bytes, size_t(w) * 4, bytes, size_t(w) * 4, w, h, radius);
}

void FitWidth(Instance_Base* instance, float width)
{
    if (!instance)
        return;
    const float current = instance->ComputeWidth(false);
    if (!(current != 0.0f))
        return;
    instance->SetScaleX(width / current * instance->GetScaleX());
}

void FitSize(Instance_Base* instance, float width, float height)
{
    if (!instance)
        return;
    FitWidth(instance, width);
    const float current = instance->ComputeHeight(false);
    if (!(current != 0.0f))
        return;
    instance->SetScaleY(height / current * instance->GetScaleY());
}

namespace
{

// The target blurred straight into the image's texture, where it is the texture's whole top-left
// block: what making the target the image's texture and then reading, blurring and writing back
// the image's pixels gives, without the copies. The texels just past the image's right and bottom
// edges, which bilinear sampling at those edges reaches, get the target's texels there, as the
// copy of the whole target would leave them. False, nothing written, when the image lies
// otherwise in its texture or a texture cannot be locked.
bool blurTargetIntoImage(IRenderTarget& target, Instance_Image& image, uint32_t w, uint32_t h, int radius)
{
    uint32_t targetWidth = 0, targetHeight = 0;
    target.GetTextureSize(&targetWidth, &targetHeight);
    if (targetWidth < w || targetHeight < h)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!target.Lock(&bits, &pitch, true))
        return false;
    bool blurred = false;
    if (bits && pitch >= 0 && uint64_t(pitch) >= uint64_t(targetWidth) * 4)
    {
        const auto* source = static_cast<const uint8_t*>(bits);
        image.WritePixelsInPlace([&](uint8_t* pixels, int32_t imagePitch, uint32_t textureWidth, uint32_t textureHeight) {
            if (imagePitch < 0 || !BlurInto(source, size_t(pitch), pixels, size_t(imagePitch), w, h, radius))
                return;
            blurred = true;
            const uint32_t columns = std::min(textureWidth, targetWidth);
            const uint32_t rows = std::min(textureHeight, targetHeight);
            if (w < columns)
                for (uint32_t y = 0; y < h; ++y)
                    std::memcpy(pixels + size_t(y) * size_t(imagePitch) + size_t(w) * 4,
                                source + size_t(y) * size_t(pitch) + size_t(w) * 4, 4);
            if (h < rows)
                std::memcpy(pixels + size_t(h) * size_t(imagePitch), source + size_t(h) * size_t(pitch),
                            size_t(std::min(w + 1, columns)) * 4);
        });
    }
    target.Unlock();
    return blurred;
}

} // namespace

bool Capture(const InstanceHandle& board, Instance_Image* image, RefPtr<IRenderTarget>& target, int radius)
{
    Renderer* renderer = Renderer::Get();
    Instance_Base* boardInstance = board.GetInstance();
    if (!renderer || !image || !boardInstance || radius < 1 || radius > MaxRadius)
        return false;
    uint32_t size[2] = {0, 0};
    image->GetRenderInfo(nullptr, size, nullptr, nullptr);
    if (size[0] == 0 || size[1] == 0)
        return false;
    if (!target)
        target = renderer->CreateRenderTarget(ImageSize{size[0], size[1]});
    if (!target)
        return false;
    Matrix3 matrix;
    matrix.m[0][0] = float(size[0]) / ScreenWidth;
    matrix.m[1][1] = float(size[1]) / ScreenHeight;
    if (!renderer->RenderToTarget(target.Get(), board, &matrix))
        return false;
    if (!blurTargetIntoImage(*target, *image, size[0], size[1], radius))
    {
        // The general way, for an image that is a piece of an atlas texture.
        if (!renderer->DrawInstanceToTexture(target.Get(), image->handle))
            return false;
        uint32_t w = 0, h = 0;
        std::vector<uint32_t> pixels = image->ReadPixels(w, h);
        if (pixels.empty() || !Blur(pixels, w, h, radius) || !image->UploadPixels(pixels.data(), w, h))
            return false;
    }
    image->SetPosition(boardInstance->GetX(), boardInstance->GetY());
    FitSize(image, ScreenWidth, ScreenHeight);
    return true;
}

} // namespace SceneBlur
