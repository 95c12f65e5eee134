// Video decoding: a 1024x768 clip at 30 frames a second played through the Theora video source,
// every frame decoded and converted to 32-bit pixels. Goal: at least 350 frames a second on one
// core, and at most 1.3 times the time of the anchor. Anchor: libtheora decoding the same packets
// alone (Ogg demultiplexing, th_decode_packetin and th_decode_ycbcr_out), with no conversion.
#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/media/video/TheoraVideo.h"
#include "platform/system/Clock.h"
#include "tests/common/TheoraFiles.h"

#include "FastestRunReporter.h"

#include <benchmark/benchmark.h>
#include <theora/theoradec.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{

using namespace TarnEngine;

constexpr uint32_t kWidth = 1024;
constexpr uint32_t kHeight = 768;
constexpr int kFrames = 60;

// Moving discs over a gradient with a little texture, so that every frame has work in it.
TheoraFiles::Bytes clip()
{
    TheoraFiles::VideoSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.fpsNumerator = 30;
    spec.quality = 48;
    std::vector<TheoraFiles::Frame> frames;
    for (int i = 0; i < kFrames; ++i)
    {
        TheoraFiles::Frame frame = TheoraFiles::FlatFrame(spec, 16);
        for (uint32_t y = 0; y < kHeight; ++y)
            for (uint32_t x = 0; x < kWidth; ++x)
            {
                int luma = 40 + int(x * 120 / kWidth) + int((x * 7 + y * 13) % 9);
                for (int k = 0; k < 4; ++k)
                {
                    const double cx = 512 + 360 * std::cos(0.05 * i + k * 1.57);
                    const double cy = 384 + 260 * std::sin(0.07 * i + k * 1.57);
                    if (std::hypot(x - cx, y - cy) < 90)
                        luma = 200 - k * 20;
                }
                frame.y[size_t(y) * kWidth + x] = uint8_t(luma);
            }
        for (uint32_t y = 0; y < kHeight / 2; ++y)
            for (uint32_t x = 0; x < kWidth / 2; ++x)
            {
                frame.u[size_t(y) * (kWidth / 2) + x] = uint8_t(96 + (x + i) % 64);
                frame.v[size_t(y) * (kWidth / 2) + x] = uint8_t(160 - (y + i) % 64);
            }
        frames.push_back(std::move(frame));
    }
    return TheoraFiles::Encode(spec, frames);
}

const TheoraFiles::Bytes& material()
{
    static const TheoraFiles::Bytes made = clip();
    return made;
}

class OneFile final : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        if (name != L"clip.ogv")
            return nullptr;
        const TheoraFiles::Bytes& bytes = material();
        ByteBlock block = AllocateBlock(bytes.size());
        std::memcpy(block.get(), bytes.data(), bytes.size());
        return new MemorySource(std::move(block), uint32_t(bytes.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return name == L"clip.ogv"; }
    std::wstring GetName() override { return L"bench"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }
};

void Engine(benchmark::State& state)
{
    FileSystem files;
    files.AddSource(std::make_unique<OneFile>());
    Platform::FakeCounter clock(30, 0);
    aTheoraVideo video(nullptr, L"clip.ogv", false, &clock);
    int64_t frames = 0;
    for (auto _ : state)
    {
        if (!video.Open(false, 0.0f))
        {
            state.SkipWithError("the clip does not open");
            return;
        }
        for (;;)
        {
            // Two intervals: well past one, whatever the rounding; still one frame an update.
            clock.Advance(2);
            if (!video.Update())
                break;
            ++frames;
        }
        benchmark::DoNotOptimize(video.GetPixels().data());
    }
    if (frames != int64_t(kFrames) * state.iterations())
        state.SkipWithError("not every frame was decoded");
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}

void Libtheora(benchmark::State& state)
{
    const TheoraFiles::Bytes& bytes = material();
    int64_t frames = 0;
    for (auto _ : state)
    {
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        char* buffer = ogg_sync_buffer(&sync, long(bytes.size()));
        std::memcpy(buffer, bytes.data(), bytes.size());
        ogg_sync_wrote(&sync, long(bytes.size()));
        ogg_stream_state stream;
        ogg_stream_init(&stream, 1);
        th_info info;
        th_comment comment;
        th_info_init(&info);
        th_comment_init(&comment);
        th_setup_info* setup = nullptr;
        th_dec_ctx* decoder = nullptr;
        ogg_page page;
        ogg_packet packet;
        int headers = 0;
        while (ogg_sync_pageout(&sync, &page) > 0)
        {
            ogg_stream_pagein(&stream, &page);
            while (ogg_stream_packetout(&stream, &packet) > 0)
            {
                if (headers < 3)
                {
                    th_decode_headerin(&info, &comment, &setup, &packet);
                    if (++headers == 3)
                        decoder = th_decode_alloc(&info, setup);
                    continue;
                }
                th_ycbcr_buffer frame;
                if (decoder && th_decode_packetin(decoder, &packet, nullptr) >= 0 &&
                    th_decode_ycbcr_out(decoder, frame) == 0)
                {
                    benchmark::DoNotOptimize(frame[0].data);
                    ++frames;
                }
            }
        }
        th_decode_free(decoder);
        th_setup_free(setup);
        th_comment_clear(&comment);
        th_info_clear(&info);
        ogg_stream_clear(&stream);
        ogg_sync_clear(&sync);
    }
    if (frames != int64_t(kFrames) * state.iterations())
        state.SkipWithError("not every frame was decoded");
    state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(Engine)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3);
BENCHMARK(Libtheora)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    std::printf("clip: %dx%d, %d frames, %zu bytes\n", int(kWidth), int(kHeight), kFrames, material().size());
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double engine = reporter.nanoseconds["Engine"];
    const double anchor = reporter.nanoseconds["Libtheora"];
    // Reported in milliseconds per pass over the clip.
    if (engine > 0.0)
        std::printf("engine: %.1f frames a second decoded and converted (goal: at least 350)\n",
                    kFrames / (engine / 1e3));
    if (engine > 0.0 && anchor > 0.0)
        std::printf("libtheora alone: %.1f frames a second; engine / libtheora: %.2fx (goal: at most 1.3x)\n",
                    kFrames / (anchor / 1e3), engine / anchor);
    return 0;
}
