// The sprite renderer on the software device.
//  - queue/2000 and queue+flush/2000: queueing 2000 quads a frame (flush not timed), and queueing
//    and flushing them, with nothing to fill (zero-area quads),
//    so the time is the renderer's own per-quad cost plus the device's triangle set-up; its
//    anchor, write/2000, writes the same vertices straight into the vertex buffer, the least any
//    batcher can do. The ratio is printed.
//  - frame/1024x768: a full scene (background, 150 sprites, 20 rotated filtered sprites, a mask
//    with masked content, 500 additive small quads) from clear to present, against the 16.7 ms
//    budget of a frame at 60 Hz (goal: at most 4 ms on one core).
#include <benchmark/benchmark.h>

#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/DynamicBuffers.h"
#include "engine/graphics/device/Renderer.h"

#include "platform/raster/RasterSystem.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>

using namespace TarnEngine;

namespace
{

constexpr double FrameBudgetNanoseconds = 1e9 / 60.0;

struct FillRecreater : Recreater
{
    FillRecreater(ImageSize s, std::function<uint32_t(uint32_t, uint32_t)> f) : size(s), texel(std::move(f))
    {
    }
    bool Recreate(IResourceTexture* texture) override
    {
        if (!texture->Allocate(size))
            return false;
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture->Lock(&bits, &pitch, false))
            return false;
        for (uint32_t y = 0; y < size.height; ++y)
            for (uint32_t x = 0; x < size.width; ++x)
                static_cast<uint32_t*>(bits)[size_t(y) * (pitch / 4) + x] = texel(x, y);
        texture->Unlock();
        return true;
    }
    ImageSize size;
    std::function<uint32_t(uint32_t, uint32_t)> texel;
};

uint32_t roundTexel(uint32_t x, uint32_t y, uint32_t side)
{
    const float c = float(side) * 0.5f - 0.5f;
    const float d = std::hypot(float(x) - c, float(y) - c) / (float(side) * 0.5f);
    const uint32_t alpha = d < 0.8f ? 255u : d < 1.0f ? uint32_t((1.0f - d) * 5.0f * 255.0f) : 0u;
    return (alpha << 24) | ((x * 255 / side) << 16) | ((y * 255 / side) << 8) | 0x60;
}

// A renderer over a 1024x768 software device that shows its frames nowhere.
struct Scene
{
    Scene()
    {
        Raster::AdapterInfo adapter;
        adapter.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        Raster::SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        auto system = std::make_shared<Raster::RasterSystem>(options);
        DeviceServices services;
        services.createSystem = [system] { return system; };
        services.sleep = [](uint32_t) {};
        auto device = std::make_unique<DirectXDevice>(services);
        if (!device->Init(nullptr, false))
            std::abort();
        dx = device.get();
        renderer = std::make_unique<Renderer>();
        if (!renderer->Init(std::move(device), nullptr))
            std::abort();
        dx->SetClearParams(true, 0xFF000000);
        background = renderer->CreateDynamicTexture(&backgroundFill);
        sprite = renderer->CreateDynamicTexture(&spriteFill);
        mask = renderer->CreateDynamicTexture(&maskFill);
    }

    ~Scene()
    {
        background.Release();
        sprite.Release();
        mask.Release();
        renderer.reset();
    }

    void Quad(uint32_t material, const RefPtr<IResourceTexture>& texture, float x, float y, float w, float h,
              uint32_t colour, bool filtering = false)
    {
        renderer->DrawQuad({material, texture, filtering},
                           Renderer::MakeRectMatrix(int32_t(x), int32_t(y), uint32_t(w), uint32_t(h)),
                           SpriteRect{}, colour, true);
    }

    void DrawFrame()
    {
        if (!dx->BeginFrame())
            std::abort();
        renderer->SetInFrame(true);
        // The picture's 1024x768 area of its 1024x1024 texture, at its own size.
        renderer->DrawQuad({eMaterialNoBlend, background, false}, Renderer::MakeRectMatrix(0, 0, 1024, 768),
                           SpriteRect{0.0f, 0.0f, 1.0f, 0.75f}, 0xFFFFFFFF, true);
        for (int i = 0; i < 150; ++i)
            Quad(eMaterialAlpha, sprite, float((i * 97) % 960), float((i * 53) % 704), 64, 64, 0xFFFFFFFF);
        for (int i = 0; i < 20; ++i)
        {
            Matrix3 size = Renderer::MakeRectMatrix(0, 0, 128, 64);
            size.m[2][0] = size.m[2][1] = 0.0f;
            Matrix3 turn;
            turn.SetRotation(0.3f * float(i));
            Matrix3 move;
            move.SetTranslation(80.0f + float(i % 5) * 200.0f, 100.0f + float(i / 5) * 160.0f);
            renderer->DrawQuad({eMaterialAlpha, sprite, true},
                               Matrix3::Multiply(Matrix3::Multiply(size, turn), move), SpriteRect{},
                               0xFFFFFFFF, true);
        }
        Quad(eMaterialMaskLayer, mask, 600, 300, 256, 256, 0xFFFFFFFF);
        Quad(eMaterialAlpha | eMaterialMaskedIn, background, 580, 280, 300, 300, 0xFFFFFFFF, true);
        Quad(eMaterialAlpha | eMaterialMaskedOut | eMaterialMaskClear, sprite, 560, 500, 340, 80, 0xC0FFFFFF);
        for (int i = 0; i < 500; ++i)
            Quad(eMaterialAdditive, sprite, float((i * 37) % 1010), float((i * 71) % 754), 8, 8, 0x80FFC040);
        renderer->Flush();
        dx->EndFrame();
        renderer->Present();
        renderer->SetInFrame(false);
    }

    DirectXDevice* dx = nullptr;
    std::unique_ptr<Renderer> renderer;
    FillRecreater backgroundFill{{1024, 768}, [](uint32_t x, uint32_t y) {
                                     return 0xFF000000u | ((x / 4) << 16) | ((y / 3) << 8) | 0x40;
                                 }};
    FillRecreater spriteFill{{64, 64}, [](uint32_t x, uint32_t y) { return roundTexel(x, y, 64); }};
    FillRecreater maskFill{{256, 256}, [](uint32_t x, uint32_t y) { return roundTexel(x, y, 256); }};
    RefPtr<IResourceTexture> background, sprite, mask;
};

std::unique_ptr<Scene> current;

Scene& scene()
{
    return *current;
}

void queueAndFlush(benchmark::State& state)
{
    Scene& s = scene();
    if (!s.dx->BeginFrame())
        std::abort();
    s.renderer->SetInFrame(true);
    const bool timeFlush = state.range(0) != 0;
    for (auto _ : state)
    {
        for (int i = 0; i < 2000; ++i)
            s.Quad(eMaterialAlpha, s.sprite, float(i % 1000), float(i % 700), 0, 0, 0xFFFFFFFF);
        if (!timeFlush)
            state.PauseTiming();
        s.renderer->Flush();
        if (!timeFlush)
            state.ResumeTiming();
    }
    s.renderer->SetInFrame(false);
    s.dx->EndFrame();
    state.SetItemsProcessed(state.iterations() * 2000);
}

// The same vertices written straight into the locked vertex buffer.
void writeVertices(benchmark::State& state)
{
    Scene& s = scene();
    auto buffer = s.dx->CreateDynamicVertexBuffer(nullptr, 8000, sizeof(SpriteVertex),
                                                  Raster::Value::VertexFormatSprite, false);
    for (auto _ : state)
    {
        void* data = nullptr;
        if (!buffer->Lock(&data, 8000, 0, false))
            std::abort();
        auto* out = static_cast<SpriteVertex*>(data);
        for (int i = 0; i < 2000; ++i)
        {
            const Matrix3 m = Renderer::MakeRectMatrix(i % 1000, i % 700, 0, 0);
            const float x = m.m[2][0] - 0.5f, y = m.m[2][1] - 0.5f;
            out[0] = {x, y, 0.51f, 0.5f, 0xFFFFFFFF, 0, 1};
            out[1] = {x, y, 0.51f, 0.5f, 0xFFFFFFFF, 1, 1};
            out[2] = {x, y, 0.51f, 0.5f, 0xFFFFFFFF, 1, 0};
            out[3] = {x, y, 0.51f, 0.5f, 0xFFFFFFFF, 0, 0};
            out += 4;
        }
        buffer->Unlock();
        benchmark::DoNotOptimize(data);
    }
    state.SetItemsProcessed(state.iterations() * 2000);
}

void frame(benchmark::State& state)
{
    Scene& s = scene();
    for (auto _ : state)
        s.DrawFrame();
}

class RecordingReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> nanoseconds;

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred)
                nanoseconds[run.benchmark_name()] =
                    run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond   ? 1e6
                                                 : run.time_unit == benchmark::kMicrosecond ? 1e3
                                                                                            : 1.0);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("queue/2000", queueAndFlush)->Arg(0)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("queue+flush/2000", queueAndFlush)->Arg(1)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("write/2000", writeVertices)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("frame/1024x768", frame)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    current = std::make_unique<Scene>();
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& ns = reporter.nanoseconds;
    if (ns.count("queue/2000/0") && ns.count("write/2000"))
        std::printf("queueing: %.1f ns a quad; renderer / plain vertex write = %.2f\n",
                    ns.at("queue/2000/0") / 2000.0, ns.at("queue/2000/0") / ns.at("write/2000"));
    if (ns.count("queue+flush/2000/1") && ns.count("write/2000"))
        std::printf(
            "queueing and flushing (device set-up, no fill): %.1f ns a quad; / plain vertex write = %.2f\n",
            ns.at("queue+flush/2000/1") / 2000.0, ns.at("queue+flush/2000/1") / ns.at("write/2000"));
    if (ns.count("frame/1024x768"))
        std::printf("full frame: %.2f ms; frame / 16.7 ms budget = %.3f (goal <= 0.24, i.e. 4 ms)\n",
                    ns.at("frame/1024x768") / 1e6, ns.at("frame/1024x768") / FrameBudgetNanoseconds);
    current.reset();
    return 0;
}
