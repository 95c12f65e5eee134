// Sprite blending of the software device against its anchors: pixman (OVER with the same sprite,
// a component-alpha solid mask for colour modulation, bilinear transforms for the scaled and
// rotated cases) and SDL2's own software renderer (SDL_RenderGeometry). Sixteen 256x256 sprites are
// blended onto a 1024x768 target per iteration; the ratios are printed after the runs.
#include "platform/raster/RasterSystem.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace
{

using namespace Raster;

constexpr int TargetWidth = 1024;
constexpr int TargetHeight = 768;
constexpr int SpriteSide = 256;
constexpr int Sprites = 16;
constexpr uint32_t ModulateColour = 0xC0FF8040;
constexpr float ScaleX = 1.25f, ScaleY = 1.125f;
constexpr float Angle = 0.5235988f; // 30 degrees

enum Case
{
    Untransformed,
    Modulated,
    ScaledBilinear,
    RotatedBilinear,
};
const char* const CaseNames[] = {"untransformed", "modulated", "scaled_bilinear", "rotated_bilinear"};

// Straight-alpha sprite: opaque disc with a soft rim, clear corners, colour gradients.
std::vector<uint32_t> MakeSprite()
{
    std::vector<uint32_t> texels(SpriteSide * SpriteSide);
    for (int y = 0; y < SpriteSide; ++y)
    {
        for (int x = 0; x < SpriteSide; ++x)
        {
            const double d = std::hypot(x - 127.5, y - 127.5);
            const uint32_t a = d < 100 ? 255u : (d > 128 ? 0u : uint32_t((128 - d) * 255 / 28));
            texels[y * SpriteSide + x] =
                (a << 24) | uint32_t(x) << 16 | uint32_t(y) << 8 | uint32_t((x * y) & 0xFF);
        }
    }
    return texels;
}

struct Placement
{
    float x, y; // top-left for the axis-aligned cases, centre for the rotated one
};

Placement Place(Case c, int i)
{
    const int col = i % 4, row = i / 4;
    switch (c)
    {
    case ScaledBilinear:
        return {float(col * 230), float(row * 150)};
    case RotatedBilinear:
        return {float(180 + col * 220), float(180 + row * 130)};
    default:
        return {float(16 + col * 240), float(10 + row * 160)};
    }
}

// Where corner (u, v) of sprite p lands on the screen, in the case's transform.
void Corner(Case c, const Placement& p, const float corner[2], float& x, float& y)
{
    if (c == RotatedBilinear)
    {
        const float ox = (corner[0] - 0.5f) * SpriteSide, oy = (corner[1] - 0.5f) * SpriteSide;
        x = p.x + ox * std::cos(Angle) - oy * std::sin(Angle);
        y = p.y + ox * std::sin(Angle) + oy * std::cos(Angle);
        return;
    }
    const float sx = c == ScaledBilinear ? ScaleX : 1.0f, sy = c == ScaledBilinear ? ScaleY : 1.0f;
    x = p.x + corner[0] * SpriteSide * sx;
    y = p.y + corner[1] * SpriteSide * sy;
}

// ---- the software device

struct DeviceRig
{
    std::unique_ptr<RasterSystem> system;
    std::unique_ptr<RasterDevice> device;
    std::shared_ptr<RasterTexture> texture;
    std::shared_ptr<RasterBuffer> vertices, indices;

    DeviceRig()
    {
        SystemOptions options;
        options.adapters = {AdapterInfo()};
        options.presenters = [](SDL_Window*) { return std::make_unique<NullPresenter>(); };
        system = std::make_unique<RasterSystem>(options);
        PresentParams params;
        params.backBufferWidth = TargetWidth;
        params.backBufferHeight = TargetHeight;
        system->CreateDevice(0, DeviceType::Hal, nullptr, Value::CreateHardwareVertexProcessing, params,
                             device);
        device->CreateTexture(SpriteSide, SpriteSide, 1, 0, Format::A8R8G8B8, Pool::Managed, texture);
        LockedRect rect;
        texture->LockRect(0, rect, 0);
        const auto sprite = MakeSprite();
        std::memcpy(rect.bits, sprite.data(), sprite.size() * 4);
        texture->UnlockRect(0);
        device->CreateVertexBuffer(Sprites * 4 * 28, Value::UsageDynamic | Value::UsageWriteOnly,
                                   Value::VertexFormatSprite, Pool::Default, vertices);
        device->CreateIndexBuffer(Sprites * 6 * 2, Value::UsageDynamic | Value::UsageWriteOnly,
                                  Format::Index16, Pool::Default, indices);
        void* data = nullptr;
        indices->Lock(0, 0, &data, Value::LockDiscard);
        for (int q = 0; q < Sprites; ++q)
        {
            const uint16_t b = uint16_t(q * 4);
            const uint16_t six[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                     b, uint16_t(b + 2), uint16_t(b + 3)};
            std::memcpy(static_cast<uint16_t*>(data) + q * 6, six, sizeof six);
        }
        indices->Unlock();
        // The engine's alpha material.
        device->SetRenderState(RenderState::ZEnable, 0);
        device->SetRenderState(RenderState::AlphaTestEnable, 1);
        device->SetRenderState(RenderState::AlphaRef, 1);
        device->SetRenderState(RenderState::AlphaFunc, Value::CmpGreaterEqual);
        device->SetRenderState(RenderState::AlphaBlendEnable, 1);
        device->SetRenderState(RenderState::SrcBlend, Value::BlendSrcAlpha);
        device->SetRenderState(RenderState::DestBlend, Value::BlendInvSrcAlpha);
        device->SetTextureStageState(0, StageState::ColorOp, Value::OpModulate);
        device->SetTextureStageState(0, StageState::AlphaOp, Value::OpModulate);
        device->SetTexture(0, texture);
        device->SetFVF(Value::VertexFormatSprite);
        device->SetStreamSource(0, vertices, 0, 28);
        device->SetIndices(indices);
        device->BeginScene();
        device->Clear(Value::ClearTarget, 0xFF336699, 1.0f);
    }

    void Prepare(Case c)
    {
        const bool linear = c == ScaledBilinear || c == RotatedBilinear;
        device->SetSamplerState(0, SamplerState::MagFilter,
                                linear ? Value::FilterLinear : Value::FilterPoint);
        device->SetSamplerState(0, SamplerState::MinFilter,
                                linear ? Value::FilterLinear : Value::FilterPoint);
        const uint32_t colour = c == Modulated ? ModulateColour : 0xFFFFFFFF;
        SpriteVertex quads[Sprites * 4];
        for (int i = 0; i < Sprites; ++i)
        {
            const Placement p = Place(c, i);
            SpriteVertex* v = quads + i * 4;
            const float corners[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
            for (int k = 0; k < 4; ++k)
            {
                float x, y;
                Corner(c, p, corners[k], x, y);
                v[k] = {x - 0.5f, y - 0.5f, 0.51f, 0.5f, colour, corners[k][0], corners[k][1]};
            }
        }
        void* data = nullptr;
        vertices->Lock(0, 0, &data, Value::LockDiscard);
        std::memcpy(data, quads, sizeof quads);
        vertices->Unlock();
    }

    void Draw()
    {
        device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, Sprites * 4, 0, Sprites * 2);
    }
};

DeviceRig& Device()
{
    static DeviceRig rig;
    return rig;
}

void DeviceBlend(benchmark::State& state)
{
    DeviceRig& rig = Device();
    const Case c = Case(state.range(0));
    for (auto _ : state)
    {
        rig.Prepare(c);
        rig.Draw();
    }
    state.SetItemsProcessed(state.iterations() * Sprites);
}

// ---- pixman

struct PixmanRig
{
    std::vector<uint32_t> target, sprite;
    pixman_image_t* dst = nullptr;
    pixman_image_t* src = nullptr;
    pixman_image_t* mask = nullptr;

    PixmanRig() : target(TargetWidth * TargetHeight, 0xFF336699), sprite(MakeSprite())
    {
        for (uint32_t& t : sprite)
        {
            const uint32_t a = t >> 24;
            uint32_t premultiplied = a << 24;
            for (int shift = 0; shift < 24; shift += 8)
                premultiplied |= (((t >> shift) & 0xFF) * a + 127) / 255 << shift;
            t = premultiplied;
        }
        dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, TargetWidth, TargetHeight, target.data(),
                                       TargetWidth * 4);
        src =
            pixman_image_create_bits(PIXMAN_a8r8g8b8, SpriteSide, SpriteSide, sprite.data(), SpriteSide * 4);
        const pixman_color_t colour = {0xFFFF, 0x8080, 0x4040, 0xC0C0};
        mask = pixman_image_create_solid_fill(&colour);
        pixman_image_set_component_alpha(mask, 1);
    }

    void Run(Case c)
    {
        for (int i = 0; i < Sprites; ++i)
        {
            const Placement p = Place(c, i);
            switch (c)
            {
            case Untransformed:
                pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, 0, 0, 0, 0, int(p.x), int(p.y),
                                         SpriteSide, SpriteSide);
                break;
            case Modulated:
                pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, int(p.x), int(p.y),
                                         SpriteSide, SpriteSide);
                break;
            case ScaledBilinear:
            case RotatedBilinear:
            {
                pixman_f_transform_t f;
                int bx, by, bw, bh;
                if (c == ScaledBilinear)
                {
                    pixman_f_transform_init_scale(&f, 1.0 / ScaleX, 1.0 / ScaleY);
                    bx = int(p.x);
                    by = int(p.y);
                    bw = int(SpriteSide * ScaleX);
                    bh = int(SpriteSide * ScaleY);
                    f.m[0][2] = -bx / ScaleX;
                    f.m[1][2] = -by / ScaleY;
                }
                else
                {
                    const double cs = std::cos(Angle), sn = std::sin(Angle);
                    const double half = SpriteSide * (cs + sn) / 2;
                    bx = int(p.x - half);
                    by = int(p.y - half);
                    bw = bh = int(2 * half) + 1;
                    // Destination to source: rotate back about the centre.
                    pixman_f_transform_init_identity(&f);
                    f.m[0][0] = cs;
                    f.m[0][1] = sn;
                    f.m[0][2] = -cs * p.x - sn * p.y + SpriteSide / 2.0;
                    f.m[1][0] = -sn;
                    f.m[1][1] = cs;
                    f.m[1][2] = sn * p.x - cs * p.y + SpriteSide / 2.0;
                }
                pixman_transform_t t;
                pixman_transform_from_pixman_f_transform(&t, &f);
                pixman_image_set_transform(src, &t);
                pixman_image_set_filter(src, PIXMAN_FILTER_BILINEAR, nullptr, 0);
                pixman_image_composite32(PIXMAN_OP_OVER, src, nullptr, dst, bx, by, 0, 0, bx, by, bw, bh);
                pixman_image_set_transform(src, nullptr);
                pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
                break;
            }
            }
        }
    }
};

PixmanRig& Pixman()
{
    static PixmanRig rig;
    return rig;
}

void PixmanBlend(benchmark::State& state)
{
    PixmanRig& rig = Pixman();
    const Case c = Case(state.range(0));
    for (auto _ : state)
        rig.Run(c);
    state.SetItemsProcessed(state.iterations() * Sprites);
}

// ---- SDL2's software renderer

struct SdlRig
{
    SDL_Surface* target = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;

    SdlRig()
    {
        target = SDL_CreateRGBSurfaceWithFormat(0, TargetWidth, TargetHeight, 32, SDL_PIXELFORMAT_ARGB8888);
        SDL_FillRect(target, nullptr, 0xFF336699);
        renderer = SDL_CreateSoftwareRenderer(target);
        auto sprite = MakeSprite();
        SDL_Surface* image = SDL_CreateRGBSurfaceWithFormatFrom(sprite.data(), SpriteSide, SpriteSide, 32,
                                                                SpriteSide * 4, SDL_PIXELFORMAT_ARGB8888);
        texture = SDL_CreateTextureFromSurface(renderer, image);
        SDL_FreeSurface(image);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    }

    void Run(Case c)
    {
        SDL_SetTextureScaleMode(texture, (c == ScaledBilinear || c == RotatedBilinear)
                                             ? SDL_ScaleModeLinear
                                             : SDL_ScaleModeNearest);
        const uint32_t colour = c == Modulated ? ModulateColour : 0xFFFFFFFF;
        const SDL_Color tint = {uint8_t(colour >> 16), uint8_t(colour >> 8), uint8_t(colour),
                                uint8_t(colour >> 24)};
        SDL_Vertex vertices[Sprites * 4];
        int indices[Sprites * 6];
        for (int i = 0; i < Sprites; ++i)
        {
            const Placement p = Place(c, i);
            const float corners[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
            for (int k = 0; k < 4; ++k)
            {
                float x, y;
                Corner(c, p, corners[k], x, y);
                vertices[i * 4 + k] = {{x, y}, tint, {corners[k][0], corners[k][1]}};
            }
            const int b = i * 4;
            const int six[6] = {b, b + 1, b + 2, b, b + 2, b + 3};
            std::memcpy(indices + i * 6, six, sizeof six);
        }
        SDL_RenderGeometry(renderer, texture, vertices, Sprites * 4, indices, Sprites * 6);
        SDL_RenderFlush(renderer);
    }
};

void SdlBlend(benchmark::State& state)
{
    static SdlRig rig;
    const Case c = Case(state.range(0));
    for (auto _ : state)
        rig.Run(c);
    state.SetItemsProcessed(state.iterations() * Sprites);
}

double Median(std::vector<double> times)
{
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

// The device and pixman in turns, each iteration timed on its own, so that both see the same load
// from whatever else runs on the machine; the ratio is that of the median times.
void PairedBlend(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    DeviceRig& device = Device();
    PixmanRig& pixman = Pixman();
    const Case c = Case(state.range(0));
    std::vector<double> deviceTimes, pixmanTimes;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        device.Prepare(c);
        device.Draw();
        const auto middle = Clock::now();
        pixman.Run(c);
        const auto end = Clock::now();
        deviceTimes.push_back(std::chrono::duration<double, std::micro>(middle - start).count());
        pixmanTimes.push_back(std::chrono::duration<double, std::micro>(end - middle).count());
    }
    state.counters["device_us"] = Median(deviceTimes);
    state.counters["pixman_us"] = Median(pixmanTimes);
    state.counters["ratio"] = Median(deviceTimes) / Median(pixmanTimes);
}

double Fastest(const std::vector<double>& times)
{
    return *std::min_element(times.begin(), times.end());
}

// Keeps the time per iteration of every run to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            const std::string name = run.run_name.function_name + "/" + run.run_name.args;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
                times[name] = run.GetAdjustedRealTime();
            const auto ratio = run.counters.find("ratio");
            if (run.run_type == Run::RT_Iteration && ratio != run.counters.end())
                pairedRatios[name] = ratio->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
    std::map<std::string, double> pairedRatios;
};

} // namespace

// The fastest of a few longer runs: the machine is shared, and other work only ever adds time.
BENCHMARK(DeviceBlend)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);
BENCHMARK(PixmanBlend)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);
BENCHMARK(PairedBlend)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(SdlBlend)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMicrosecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double goalPixman[] = {1.25, 1.25, 1.5, 1.5};
    std::printf("\nsoftware device time / anchor time (lower is better)\n");
    for (int c = 0; c < 4; ++c)
    {
        char names[4][32];
        std::snprintf(names[0], sizeof names[0], "DeviceBlend/%d", c);
        std::snprintf(names[1], sizeof names[1], "PixmanBlend/%d", c);
        std::snprintf(names[2], sizeof names[2], "SdlBlend/%d", c);
        std::snprintf(names[3], sizeof names[3], "PairedBlend/%d", c);
        const auto device = reporter.times.find(names[0]);
        const auto pixman = reporter.times.find(names[1]);
        const auto sdl = reporter.times.find(names[2]);
        const auto paired = reporter.pairedRatios.find(names[3]);
        if (device == reporter.times.end() && paired == reporter.pairedRatios.end())
            continue;
        std::printf("%-18s", CaseNames[c]);
        if (paired != reporter.pairedRatios.end())
            std::printf("  vs pixman %.2fx in turns (goal <= %.2fx)", paired->second, goalPixman[c]);
        if (device == reporter.times.end())
        {
            std::printf("\n");
            continue;
        }
        if (pixman != reporter.times.end())
            std::printf("  fastest runs %.2fx", device->second / pixman->second);
        if (sdl != reporter.times.end())
            std::printf("  vs SDL2 software %.2fx (SDL2 %.1fx slower)", device->second / sdl->second,
                        sdl->second / device->second);
        std::printf("\n");
    }
    return 0;
}
