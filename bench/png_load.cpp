// PNG texture loading (PngLoader: the file opened through the engine file system, libpng fed through
// the stream's read callback, rows copied into a locked texture) against libpng's simplified API
// reading the same file from memory straight into a BGRA buffer of the texture's layout
// (png_image_begin_read_from_memory). 1024x768 pictures, RGBA and RGB. Prints the ratio of the
// loader's time to the anchor's (goal: at most 1.1).
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/graphics/textures/PngLoader.h"

#include "FastestRunReporter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <png.h>

using namespace TarnEngine;

namespace
{

constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 768;
constexpr uint32_t kTextureHeight = 1024;

using Bytes = std::vector<uint8_t>;

// Smooth gradients with grain, alpha fading across: what a game's picture with transparency holds.
Bytes encode(bool alpha)
{
    const int channels = alpha ? 4 : 3;
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length)
        {
            auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, 8, alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    Bytes row(size_t(kWidth) * channels);
    uint32_t state = 0x2468ACE;
    for (uint32_t y = 0; y < kHeight; ++y)
    {
        for (uint32_t x = 0; x < kWidth; ++x)
        {
            state = state * 1664525u + 1013904223u;
            const int grain = int((state >> 24) % 9) - 4;
            uint8_t* p = &row[size_t(x) * channels];
            const double v[4] = {60 + 120.0 * x / kWidth + 30 * std::sin(y * 0.02), 40 + 150.0 * y / kHeight,
                                 180 - 90.0 * (x + y) / (kWidth + kHeight), 255.0 * x / kWidth};
            for (int c = 0; c < channels; ++c)
                p[c] = uint8_t(std::fmin(255.0, std::fmax(0.0, v[c] + (c < 3 ? grain : 0))));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

const Bytes& picture(bool alpha)
{
    static const Bytes rgba = encode(true);
    static const Bytes rgb = encode(false);
    return alpha ? rgba : rgb;
}

// The file system's one file, handed out as a memory source like a member of a pack.
class OneFile : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        ByteBlock block = AllocateBlock(data->size());
        std::memcpy(block.get(), data->data(), data->size());
        return new MemorySource(std::move(block), uint32_t(data->size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring&) override { return true; }
    std::wstring GetName() override { return L"Bench"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }
    const Bytes* data = nullptr;
};

// Texture storage kept between iterations, as the anchor's buffer is.
class BufferTexture : public IResourceTexture
{
public:
    BufferTexture() : IResourceTexture(L"picture.png"), texels(size_t(kWidth) * kTextureHeight * 4) {}
    bool Load() override { return false; }
    bool Allocate(ImageSize size) override { return size.width <= kWidth && size.height <= kTextureHeight; }
    void Bind(uint32_t, bool) override {}
    bool Lock(void** bits, int32_t* pitch, bool) override
    {
        *bits = texels.data();
        *pitch = int32_t(kWidth * 4);
        return true;
    }
    void Unlock() override {}
    void GetTextureSize(uint32_t* w, uint32_t* h) override
    {
        *w = kWidth;
        *h = kTextureHeight;
    }
    void GetImageSize(uint32_t* w, uint32_t* h) override
    {
        *w = kWidth;
        *h = kHeight;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return uint32_t(texels.size()); }
    Bytes texels;
};

void loader(benchmark::State& state, bool alpha)
{
    FileSystem files;
    auto source = std::make_unique<OneFile>();
    source->data = &picture(alpha);
    files.AddSource(std::move(source));
    BufferTexture texture;
    for (auto _ : state)
    {
        PngLoader png(L"picture.png");
        ImageSize size;
        if (!png.ReadHeader(&size) || !texture.Allocate(size) || !png.Load(&texture))
        {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(texture.texels[0]);
    }
}

void simplified(benchmark::State& state, bool alpha)
{
    const Bytes& file = picture(alpha);
    Bytes texels(size_t(kWidth) * kTextureHeight * 4);
    for (auto _ : state)
    {
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        {
            state.SkipWithError("anchor failed");
            break;
        }
        image.format = PNG_FORMAT_BGRA;
        if (!png_image_finish_read(&image, nullptr, texels.data(), int32_t(kWidth * 4), nullptr))
        {
            state.SkipWithError("anchor failed");
            break;
        }
        benchmark::DoNotOptimize(texels[0]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (const char* kind : {"rgba", "rgb"})
    {
        const bool alpha = std::string(kind) == "rgba";
        benchmark::RegisterBenchmark((std::string("loader/") + kind).c_str(), loader, alpha)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5);
        benchmark::RegisterBenchmark((std::string("simplified/") + kind).c_str(), simplified, alpha)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5);
    }
    // Repetitions alternate, so that a change in the machine's load hits both sides alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* kind : {"rgba", "rgb"})
    {
        const auto own = reporter.nanoseconds.find(std::string("loader/") + kind);
        const auto anchor = reporter.nanoseconds.find(std::string("simplified/") + kind);
        if (own == reporter.nanoseconds.end() || anchor == reporter.nanoseconds.end())
            continue;
        std::printf("%s: loader / libpng simplified API time = %.2f (goal <= 1.1)\n", kind,
                    own->second / anchor->second);
    }
    return 0;
}
