// Fuzz target: any bytes played as a Theora video from the engine's file system, for 10 seconds of
// fake time at 60 updates a second: as a colour video (looping or not, with an end delay), as an
// alpha-only video over a small image, and as both halves of a colour and alpha pair. Whatever the
// headers claim, nothing is read or written outside the buffers, and no update takes more than one
// rewind.
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/media/video/IVideoTarget.h"
#include "engine/media/video/VideoSources.h"
#include "platform/system/Clock.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace
{

using namespace TarnEngine;

class Input final : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        if (name != L"f.ogv")
            return nullptr;
        ByteBlock block = AllocateBlock(bytes.size() + 1);
        if (!bytes.empty())
            std::memcpy(block.get(), bytes.data(), bytes.size());
        return new MemorySource(std::move(block), uint32_t(bytes.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return name == L"f.ogv"; }
    std::wstring GetName() override { return L"fuzz"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }
    std::vector<uint8_t> bytes;
};

// A 24 x 20 image that checks every frame it is given against its own size.
class Image final : public IVideoTarget
{
public:
    std::vector<uint32_t> ReadVideoPixels(uint32_t& width, uint32_t& height) override
    {
        width = 24;
        height = 20;
        return std::vector<uint32_t>(24 * 20, 0x7F7F7F7F);
    }
    void UploadVideoPixels(const uint32_t* pixels, uint32_t width, uint32_t height) override
    {
        if (!pixels || width == 0 || height == 0)
            std::abort();
        // Touch the whole block: a short buffer shows up under the address sanitizer.
        uint32_t sum = 0;
        for (size_t i = 0; i < size_t(width) * height; i += 61)
            sum += pixels[i];
        last = sum;
    }
    uint32_t last = 0;
};

struct World
{
    World()
    {
        input = new Input;
        files.AddSource(std::unique_ptr<IFSSource>(input));
    }
    FileSystem files;
    Input* input;
};

World& world()
{
    static World made;
    return made;
}

void play(IImageSource& source, Platform::FakeCounter& clock, bool loop, float delay)
{
    source.Open(loop, delay);
    for (int i = 0; i < 600; ++i)
    {
        clock.Advance(10);
        source.Update();
        if (i == 300)
            source.SetPaused(true);
        if (i == 330)
            source.SetPaused(false);
        if (source.GetWidth() < 0 || source.GetHeight() < 0)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    World& w = world();
    const uint8_t mode = data[0];
    w.input->bytes.assign(data + 1, data + size);
    Platform::FakeCounter clock(600, 0);
    Image image;
    const float delay = float(mode >> 4) * 0.25f;
    switch (mode & 3)
    {
    case 0:
    case 1:
    {
        std::unique_ptr<IImageSource> video = CreateVideoSource(&image, L"f.ogv", L"", &clock);
        play(*video, clock, (mode & 1) != 0, delay);
        break;
    }
    case 2:
    {
        std::unique_ptr<IImageSource> video = CreateVideoSource(&image, L"", L"f.ogv", &clock);
        play(*video, clock, (mode & 4) != 0, delay);
        break;
    }
    case 3:
    {
        std::unique_ptr<IImageSource> video = CreateVideoSource(&image, L"f.ogv", L"f.ogv", &clock);
        play(*video, clock, (mode & 4) != 0, delay);
        break;
    }
    }
    return 0;
}
