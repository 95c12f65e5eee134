// The scene blur; see SceneBlur.h.
#include "game/hiddenobject/SceneBlur.h"

#include "engine/core/base/Matrix.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/display/image/Instance_Image.h"

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

} // namespace

bool Blur(std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, int radius)
{
    const KernelCache* kernel = kernelFor(radius);
    if (!kernel || w == 0 || h == 0 || pixels.size() != size_t(w) * h)
        return false;
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
