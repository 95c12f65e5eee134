// The scene blur; see SceneBlur.h.
#include "game/hiddenobject/SceneBlur.h"

#include "engine/core/base/Matrix.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/Instance_Image.h"

#include <algorithm>

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

// The general form: a running sum per channel. Any width and radius.
void blurWide(const KernelCache* kernel, std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
{
    const size_t stride = (size_t(w) + 1) * 3;
    // Running sums of channels 0, 1 and 2 along every row: sums[y][x] covers columns 0 to x - 1.
    std::vector<uint32_t> sums(stride * h);
    for (uint32_t y = 0; y < h; ++y)
    {
        uint32_t* row = &sums[stride * y];
        const uint32_t* source = &pixels[size_t(w) * y];
        row[0] = row[1] = row[2] = 0;
        for (uint32_t x = 0; x < w; ++x)
        {
            const uint32_t p = source[x];
            row[3 * x + 3] = row[3 * x] + (p & 0xFF);
            row[3 * x + 4] = row[3 * x + 1] + ((p >> 8) & 0xFF);
            row[3 * x + 5] = row[3 * x + 2] + ((p >> 16) & 0xFF);
        }
    }

    const int width = int(w);
    const int height = int(h);
    // The widest reach of the kernel left and right decides where columns need no clipping.
    int reachLeft = 0, reachRight = 0;
    for (const KernelCache::Span& span : kernel->spans)
    {
        reachLeft = std::max(reachLeft, -span.lo);
        reachRight = std::max(reachRight, span.hi);
    }
    std::vector<uint32_t> out(pixels.size());
    std::vector<const KernelCache::Span*> rows;
    std::vector<const uint32_t*> rowSums;
    rows.reserve(kernel->spans.size());
    for (int y = 0; y < height; ++y)
    {
        rows.clear();
        rowSums.clear();
        uint32_t interiorCount = 0;
        for (const KernelCache::Span& span : kernel->spans)
        {
            const int yy = y + span.dy;
            if (yy < 0 || yy >= height)
                continue;
            rows.push_back(&span);
            rowSums.push_back(&sums[stride * size_t(yy)]);
            interiorCount += uint32_t(span.hi - span.lo + 1);
        }
        uint32_t* target = &out[size_t(w) * size_t(y)];
        const size_t used = rows.size();
        const int interiorBegin = std::min(reachLeft, width);
        const int interiorEnd = std::max(interiorBegin, width - reachRight);
        auto edgePixel = [&](int x) {
            uint32_t c0 = 0, c1 = 0, c2 = 0, n = 0;
            for (size_t k = 0; k < used; ++k)
            {
                const int a = std::max(0, x + rows[k]->lo);
                const int b = std::min(width - 1, x + rows[k]->hi);
                if (a > b)
                    continue;
                const uint32_t* s = rowSums[k];
                n += uint32_t(b - a + 1);
                c0 += s[3 * b + 3] - s[3 * a];
                c1 += s[3 * b + 4] - s[3 * a + 1];
                c2 += s[3 * b + 5] - s[3 * a + 2];
            }
            target[x] = 0xFF000000u | ((c2 / n) << 16) | ((c1 / n) << 8) | (c0 / n);
        };
        for (int x = 0; x < interiorBegin; ++x)
            edgePixel(x);
        const uint32_t n = interiorCount;
        for (int x = interiorBegin; x < interiorEnd; ++x)
        {
            uint32_t c0 = 0, c1 = 0, c2 = 0;
            for (size_t k = 0; k < used; ++k)
            {
                const uint32_t* s = rowSums[k];
                const size_t a = size_t(3 * (x + rows[k]->lo));
                const size_t b = size_t(3 * (x + rows[k]->hi + 1));
                c0 += s[b] - s[a];
                c1 += s[b + 1] - s[a + 1];
                c2 += s[b + 2] - s[a + 2];
            }
            target[x] = 0xFF000000u | ((c2 / n) << 16) | ((c1 / n) << 8) | (c0 / n);
        }
        for (int x = interiorEnd; x < width; ++x)
            edgePixel(x);
    }
    pixels.swap(out);
}


// Division by a count of kernel points as a multiplication: exact for every sum of up to 255 per
// point while 255 n² stays below 2^32; otherwise a plain division.
struct Divider
{
    explicit Divider(uint32_t n)
        : n(n), multiplier(n ? ((uint64_t(1) << 32) + n - 1) / n : 0),
          exact(n && uint64_t(255) * n * n < (uint64_t(1) << 32))
    {
    }
    uint32_t operator()(uint32_t sum) const { return exact ? uint32_t((sum * multiplier) >> 32) : sum / n; }
    uint32_t n;
    uint64_t multiplier;
    bool exact;
};

// Channels 0, 1 and 2 packed into one 64-bit word, 21 bits each: a row's running sum and a
// pixel's kernel sum fit while width x 255 and kernel size x 255 stay below 2^21, and a difference
// of running sums borrows nowhere since every channel's sum only grows along the row.
constexpr int kFieldBits = 21;
constexpr uint64_t kFieldMask = (uint64_t(1) << kFieldBits) - 1;

bool packedFits(const KernelCache& kernel, uint32_t w)
{
    return uint64_t(w) * 255 <= kFieldMask && uint64_t(kernel.offsets.size()) * 255 <= kFieldMask;
}

uint64_t pack(uint32_t pixel)
{
    return uint64_t(pixel & 0xFF) | (uint64_t((pixel >> 8) & 0xFF) << kFieldBits) |
           (uint64_t((pixel >> 16) & 0xFF) << (2 * kFieldBits));
}

void blurPacked(const KernelCache& kernel, std::vector<uint32_t>& pixels, uint32_t w, uint32_t h)
{
    const int width = int(w);
    const int height = int(h);
    const size_t stride = size_t(w) + 1;
    // Kept between calls: the blurer runs every frame at one size, and fresh pages cost more than
    // the filter. Every element is written before it is read.
    static thread_local std::vector<uint64_t> sums;
    static thread_local std::vector<uint32_t> out;
    sums.resize(stride * h);
    out.resize(pixels.size());
    for (uint32_t y = 0; y < h; ++y)
    {
        uint64_t* row = &sums[stride * y];
        const uint32_t* source = &pixels[size_t(w) * y];
        row[0] = 0;
        for (uint32_t x = 0; x < w; ++x)
            row[x + 1] = row[x] + pack(source[x]);
    }
    int reachLeft = 0, reachRight = 0;
    for (const KernelCache::Span& span : kernel.spans)
    {
        reachLeft = std::max(reachLeft, -span.lo);
        reachRight = std::max(reachRight, span.hi);
    }
    const int interiorBegin = std::min(reachLeft, width);
    const int interiorEnd = std::max(interiorBegin, width - reachRight);
    struct Row
    {
        const uint64_t* sums;
        int lo;
        int hi;
    };
    std::vector<Row> rows;
    rows.reserve(kernel.spans.size());
    for (int y = 0; y < height; ++y)
    {
        rows.clear();
        uint32_t interiorCount = 0;
        for (const KernelCache::Span& span : kernel.spans)
        {
            const int yy = y + span.dy;
            if (yy < 0 || yy >= height)
                continue;
            rows.push_back({&sums[stride * size_t(yy)], span.lo, span.hi});
            interiorCount += uint32_t(span.hi - span.lo + 1);
        }
        uint32_t* target = &out[size_t(w) * size_t(y)];
        auto store = [target](int x, uint64_t sum, const Divider& divide) {
            target[x] = 0xFF000000u | (divide(uint32_t(sum >> (2 * kFieldBits))) << 16) |
                        (divide(uint32_t((sum >> kFieldBits) & kFieldMask)) << 8) |
                        divide(uint32_t(sum & kFieldMask));
        };
        auto edgePixel = [&](int x) {
            uint64_t sum = 0;
            uint32_t n = 0;
            for (const Row& row : rows)
            {
                const int a = std::max(0, x + row.lo);
                const int b = std::min(width - 1, x + row.hi);
                if (a > b)
                    continue;
                n += uint32_t(b - a + 1);
                sum += row.sums[b + 1] - row.sums[a];
            }
            store(x, sum, Divider(n));
        };
        for (int x = 0; x < interiorBegin; ++x)
            edgePixel(x);
        const Divider divide(interiorCount);
        const size_t used = rows.size();
        for (int x = interiorBegin; x < interiorEnd; ++x)
        {
            uint64_t sum = 0;
            for (size_t k = 0; k < used; ++k)
                sum += rows[k].sums[x + rows[k].hi + 1] - rows[k].sums[x + rows[k].lo];
            store(x, sum, divide);
        }
        for (int x = interiorEnd; x < width; ++x)
            edgePixel(x);
    }
    pixels.swap(out);
}

} // namespace

bool Blur(std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, int radius)
{
    const KernelCache* kernel = kernelFor(radius);
    if (!kernel || w == 0 || h == 0 || pixels.size() != size_t(w) * h)
        return false;
    if (packedFits(*kernel, w))
        blurPacked(*kernel, pixels, w, h);
    else
        blurWide(kernel, pixels, w, h);
    return true;
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
    if (!renderer->DrawInstanceToTexture(target.Get(), image->handle))
        return false;
    image->SetPosition(boardInstance->GetX(), boardInstance->GetY());
    FitSize(image, ScreenWidth, ScreenHeight);
    uint32_t w = 0, h = 0;
    std::vector<uint32_t> pixels = image->ReadPixels(w, h);
    if (pixels.empty() || !Blur(pixels, w, h, radius))
        return false;
    return image->UploadPixels(pixels.data(), w, h);
}

} // namespace SceneBlur
