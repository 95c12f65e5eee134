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

bool Blur(std::vector<uint32_t>& pixels, uint32_t w, uint32_t h, int radius)
{
    const KernelCache* kernel = kernelFor(radius);
    if (!kernel || w == 0 || h == 0 || pixels.size() != size_t(w) * h)
        return false;
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
