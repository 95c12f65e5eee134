// What the video sources need around them in a test: a file system serving videos encoded by the
// test from memory, a fake high-resolution clock at 600 ticks a second (10 ticks per 60th of a
// second), targets that record what is written into them, and listeners that count end notices.
#pragma once

#include "engine/core/files/FileSystem.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/media/video/IImageSource.h"
#include "engine/media/video/IVideoTarget.h"
#include "platform/system/Clock.h"
#include "tests/common/TheoraFiles.h"
#include "tests/common/MemoryFiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace VideoTest
{

using namespace TarnEngine;
using TheoraFiles::Bytes;
using TheoraFiles::Frame;
using TheoraFiles::VideoSpec;

constexpr int64_t kTicksPerSecond = 600;
constexpr int64_t kTicksPerUpdate = 10;

// Blue, green, red, alpha of a pixel word.
inline uint8_t B(uint32_t p) { return uint8_t(p); }
inline uint8_t G(uint32_t p) { return uint8_t(p >> 8); }
inline uint8_t R(uint32_t p) { return uint8_t(p >> 16); }
inline uint8_t A(uint32_t p) { return uint8_t(p >> 24); }

// A target with pixels of its own size; every upload is kept.
class RecordingTarget final : public IVideoTarget
{
public:
    RecordingTarget(uint32_t width, uint32_t height, uint32_t fill = 0)
        : width(width), height(height), pixels(size_t(width) * height, fill)
    {
    }
    std::vector<uint32_t> ReadVideoPixels(uint32_t& w, uint32_t& h) override
    {
        ++reads;
        w = width;
        h = height;
        return pixels;
    }
    void UploadVideoPixels(const uint32_t* data, uint32_t w, uint32_t h) override
    {
        ++uploads;
        lastWidth = w;
        lastHeight = h;
        if (w > width || h > height)
            return;
        for (uint32_t row = 0; row < h; ++row)
            std::memcpy(&pixels[size_t(row) * width], data + size_t(row) * w, size_t(w) * 4);
    }
    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }

    uint32_t width;
    uint32_t height;
    std::vector<uint32_t> pixels;
    int reads = 0;
    int uploads = 0;
    uint32_t lastWidth = 0;
    uint32_t lastHeight = 0;
};

// A texture in memory with power-of-two storage.
class MemoryTexture final : public IResourceTexture
{
public:
    MemoryTexture(uint32_t width, uint32_t height, uint32_t fill) : IResourceTexture(L"video texture")
    {
        imageWidth = width;
        imageHeight = height;
        storageWidth = 1;
        while (storageWidth < width)
            storageWidth *= 2;
        texels.assign(size_t(storageWidth) * height, fill);
    }
    bool Load() override { return true; }
    bool Allocate(ImageSize) override { return true; }
    void Bind(uint32_t, bool) override {}
    bool Lock(void** bits, int32_t* pitch, bool) override
    {
        *bits = texels.data();
        *pitch = int32_t(storageWidth * 4);
        return true;
    }
    void Unlock() override {}
    void GetTextureSize(uint32_t* w, uint32_t* h) override
    {
        *w = storageWidth;
        *h = imageHeight;
    }
    void GetImageSize(uint32_t* w, uint32_t* h) override
    {
        *w = imageWidth;
        *h = imageHeight;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return uint32_t(texels.size() * 4); }
    uint32_t At(uint32_t x, uint32_t y) const { return texels[size_t(y) * storageWidth + x]; }

    uint32_t imageWidth;
    uint32_t imageHeight;
    uint32_t storageWidth;
    std::vector<uint32_t> texels;
};

struct CountingListener : ITheoraEventListener
{
    void OnTheoraEvent(const std::wstring& fileName) override
    {
        names.push_back(fileName);
        if (onEvent)
            onEvent();
    }
    std::vector<std::wstring> names;
    std::function<void()> onEvent;
};

class VideoWorld : public ::testing::Test
{
protected:
    VideoWorld()
    {
        files = new TestFiles::MemoryFiles;
        fileSystem.AddSource(std::unique_ptr<IFSSource>(files));
    }

    void Write(const std::wstring& name, const Bytes& bytes) { files->files[name] = bytes; }

    // A video of `count` flat frames whose luma steps from `firstLuma` by `step`.
    static Bytes Steps(const VideoSpec& spec, int count, int firstLuma = 40, int step = 20)
    {
        std::vector<Frame> frames;
        for (int i = 0; i < count; ++i)
            frames.push_back(TheoraFiles::FlatFrame(spec, uint8_t(firstLuma + i * step)));
        return TheoraFiles::Encode(spec, frames);
    }

    // One 60th of a second, then the source's update.
    bool Tick(IImageSource& source)
    {
        clock.Advance(kTicksPerUpdate);
        return source.Update();
    }
    // Updates until the source gives a frame, at most `limit` times; how many it took (0: none came).
    int UpdatesUntilFrame(IImageSource& source, int limit)
    {
        for (int i = 1; i <= limit; ++i)
            if (Tick(source))
                return i;
        return 0;
    }

    FileSystem fileSystem;
    TestFiles::MemoryFiles* files = nullptr; // owned by the file system
    Platform::FakeCounter clock{kTicksPerSecond, 6000};
};

} // namespace VideoTest
