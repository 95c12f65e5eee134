// Particle effects at 10,000 live particles: emitters stream 5000 sparks a
// second that live 2 s, each running six timed actions every frame (gravity,
// a pull towards a point, spin, scale, opacity and colour curves).
//  - step: one 60 Hz frame of the effect (ageing, kills, emission, the six
//    actions, integration); its anchor, soa, is a plain structure-of-arrays
//    loop doing the same arithmetic (the same random draws, trigonometry and
//    curve interpolation) on 10,000 particles. Goals: at most 1.5 ms a frame
//    and at most 4x the anchor; the allocations made in the steady state are
//    counted (goal: none).
//  - draw: the 10,000 sparks as small additive quads through the renderer
//    onto a 1024x768 software device, clear to present (goal: at most 3 ms);
//    its anchor, quads, hands the renderer the same quads ready-made, so the
//    ratio is what walking the particles and building their sprites adds.
#include <benchmark/benchmark.h>

#include "FastestRunReporter.h" // nanoseconds: every case keeps the default unit

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/graphics/device/DirectXDevice.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/scene/effects/RPfxActionBase.h"

#include "platform/raster/RasterSystem.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

// Every allocation of the program is counted, so the steady state can show none.
// Kept out of line: inlined, the compiler would pair its free with the
// caller's new and warn.
namespace
{
std::atomic<uint64_t> g_allocations{0};
}

[[gnu::noinline]] void* operator new(size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept
{
    std::free(p);
}

using namespace TarnEngine;

namespace
{

constexpr float Dt = 1.0f / 60.0f;
constexpr int Particles = 10000;
constexpr float Lifetime = 2.0f;

std::string curve(float v)
{
    char text[96];
    std::snprintf(text, sizeof text, "1;linear;0;1;0,1;0,%g;0,%g,0", v, v);
    return text;
}

std::string line(float v0, float v1)
{
    char text[160];
    std::snprintf(text, sizeof text, "1;linear;0;2;0,%g;%g,%g;0,%g,0;%g,%g,0", Lifetime, std::fmin(v0, v1),
                  std::fmax(v0, v1), v0, Lifetime, v1);
    return text;
}

std::string e(const std::string& name, const std::string& body)
{
    return "<" + name + ">" + body + "</" + name + ">";
}

std::string item(const std::string& attributes, const std::string& action)
{
    return "<BehaviorItem " + attributes + "><Action>" + action + "</Action></BehaviorItem>";
}

std::string effectXml()
{
    // A root makes a new emitter every 2 s, and each emitter streams for its
    // 2 s: the clocks stay young, so their float steps stay exact and the
    // number of sparks steady.
    const std::string root =
        "<Template name=\"root\" autoemit=\"true\" lifetime=\"1e9\">" +
        item("", e("StreamEmitterAction", e("ParticleType", "emitter") + e("Rate", curve(1.0f / Lifetime)))) +
        "</Template>";
    const std::string emitter =
        "<Template name=\"emitter\" lifetime=\"2\">" +
        item("", e("StreamEmitterAction", e("ParticleType", "spark") + e("Rate", curve(Particles / Lifetime)))) +
        "</Template>";
    const std::string spark =
        "<Template name=\"spark\" lifetime=\"2\" image=\"dot\">" +
        item("event=\"creation\"", e("SetVelocityAction", e("Angle", curve(0)) + e("AngleRand", curve(180)) +
                                                              e("Magnitude", curve(60)) +
                                                              e("MagnitudeRand", curve(30)))) +
        item("event=\"creation\" layer=\"1\"",
             e("RandomMoveAction", e("Width", curve(900)) + e("Height", curve(650)))) +
        item("layer=\"0\"", e("GravityAction", e("Angle", curve(180)) + e("Magnitude", curve(40)))) +
        item("layer=\"1\"", e("PointGravityAction", e("Magnitude", curve(20)) + e("RadialMagnitude", curve(1)) +
                                                        e("OriginFrame", "effect"))) +
        item("layer=\"2\"", e("SpinRotationAction", e("Spin", curve(90)))) +
        item("layer=\"3\"", e("SetScaleAction", e("Scale", line(1.5f, 0.5f)))) +
        item("layer=\"4\"", e("SetOpacityAction", e("Opacity", line(1.0f, 0.0f)))) +
        item("layer=\"5\"", e("SetColorRGBAction", e("Red", curve(1)) + e("Green", line(1.0f, 0.3f)) +
                                                       e("Blue", line(0.6f, 0.0f)))) +
        "</Template>";
    return "<ParticleEffect>" + root + emitter + spark + "</ParticleEffect>";
}

struct DotFill : Recreater
{
    bool Recreate(IResourceTexture* texture) override
    {
        if (!texture->Allocate({8, 8}))
            return false;
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture->Lock(&bits, &pitch, false))
            return false;
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 8; ++x)
            {
                const float d = std::hypot(float(x) - 3.5f, float(y) - 3.5f) / 4.0f;
                const uint32_t alpha = d < 1.0f ? uint32_t((1.0f - d) * 255.0f) : 0u;
                static_cast<uint32_t*>(bits)[y * uint32_t(pitch / 4) + x] = (alpha << 24) | 0xFFFFFF;
            }
        texture->Unlock();
        return true;
    }
};

// What the cases run on: a 1024x768 software device and renderer, the effect
// library, the particle manager, and the effect warmed up to its steady state.
struct World
{
    World()
    {
        RegisterEngineStatics();
        FillRandomPool();
        Raster::AdapterInfo adapter;
        adapter.caps.devCaps = Raster::Value::DevCapsHwTransformAndLight;
        Raster::SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<Raster::NullPresenter>(); };
        auto system = std::make_shared<Raster::RasterSystem>(options);
        DeviceServices services;
        services.createSystem = [system] { return system; };
        services.sleep = [](uint32_t) {};
        services.logicalScreenSize = [](uint32_t& w, uint32_t& h)
        {
            w = 1024;
            h = 768;
        };
        auto made = std::make_unique<DirectXDevice>(services);
        if (!made->Init(nullptr, false))
            std::abort();
        device = made.get();
        renderer = std::make_unique<Renderer>();
        if (!renderer->Init(std::move(made), nullptr))
            std::abort();
        device->SetClearParams(true, 0xFF000000);
        dot.texture = renderer->CreateDynamicTexture(&dotFill);
        dot.placement = Renderer::MakeRectMatrix(-4, -4, 8, 8);
        library.SetImageResolver(
            [this](const std::wstring& name, EffectImage& image)
            {
                if (name != L"dot")
                    return false;
                image = dot;
                return true;
            });
        if (!library.Load(L"sparks"))
            std::abort();
        effect = library.CreateEffect(L"sparks");
        effect->StartAutoEmit();
        // Ten seconds: the pool reaches its high-water mark.
        for (int i = 0; i < 600; ++i)
            effect->Step(Dt);
        parent.SetTranslation(512.0f, 384.0f);
    }

    ~World()
    {
        effect.reset();
        dot.texture.Release();
        renderer.reset();
    }

    std::string xml = effectXml();
    XmlDocumentCache cache{[this](const std::wstring&, std::vector<uint8_t>& bytes)
                           {
                               bytes.assign(xml.begin(), xml.end());
                               return true;
                           }};
    DotFill dotFill;
    DirectXDevice* device = nullptr;
    std::unique_ptr<Renderer> renderer;
    EffectImage dot;
    EffectLibrary library;
    ParticleManager manager;
    std::unique_ptr<ParticleEffect> effect;
    Matrix3 parent;
};

std::unique_ptr<World> g_world;

void step(benchmark::State& state)
{
    ParticleEffect& fx = *g_world->effect;
    const uint64_t before = g_allocations.load();
    for (auto _ : state)
        benchmark::DoNotOptimize(fx.Step(Dt));
    const uint64_t made = g_allocations.load() - before;
    state.counters["particles"] = double(fx.liveCount);
    state.counters["allocations"] = double(made);
}

// The same particles as plain arrays, with the same arithmetic inline.
struct Arrays
{
    std::vector<float> age, x, y, vx, vy, rotation, scale, opacity, red, green, blue;

    Arrays()
    {
        for (auto* v : {&age, &x, &y, &vx, &vy, &rotation, &scale, &opacity, &red, &green, &blue})
            v->assign(Particles, 0.0f);
        for (int i = 0; i < Particles; ++i)
        {
            age[size_t(i)] = Lifetime * float(i) / Particles;
            spawn(size_t(i));
        }
    }

    void spawn(size_t i)
    {
        age[i] = 0.0f;
        const float a = (0.0f + Effects::Spread(180.0f)) * Effects::DegreesToRadians;
        const float m = 60.0f + Effects::Spread(30.0f);
        vx[i] = m * std::sin(a);
        vy[i] = -m * std::cos(a);
        x[i] = Effects::Spread(450.0f);
        y[i] = Effects::Spread(325.0f);
        rotation[i] = 0.0f;
    }

    // A two-key straight curve over the lifetime, as the curve evaluates it.
    static float linear(float t, float v0, float v1)
    {
        float u = t / Lifetime;
        u = u > 0.0f ? (u < 1.0f ? u : 1.0f) : 0.0f;
        const float low = std::fmin(v0, v1), high = std::fmax(v0, v1);
        const float k0 = (v0 - low) / (high - low), k1 = (v1 - low) / (high - low);
        const float unit = u < 1.0f ? k0 + u * (k1 - k0) : k1;
        return low + (high - low) * unit;
    }

    void Step(float dt)
    {
        for (size_t i = 0; i < size_t(Particles); ++i)
        {
            age[i] += dt;
            if (age[i] >= Lifetime)
                spawn(i);
            const float t = age[i];
            // Gravity.
            const float ga = (180.0f + Effects::Spread(0.0f)) * Effects::DegreesToRadians;
            const float gm = 40.0f + Effects::Spread(0.0f);
            float ax = gm * std::sin(ga);
            float ay = -gm * std::cos(ga);
            // Pull towards the effect's origin.
            const float dx = -x[i], dy = -y[i];
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d > 0.0f)
            {
                const float k = (1.0f / d) * 1.0f * (20.0f + Effects::Spread(0.0f));
                ax += dx * k;
                ay += dy * k;
            }
            // Spin, scale, opacity, colour.
            rotation[i] += ((90.0f + 0.0f) * dt + Effects::Spread(0.0f)) * Effects::DegreesToRadians;
            scale[i] = linear(t, 1.5f, 0.5f);
            opacity[i] = linear(t, 1.0f, 0.0f);
            red[i] = 1.0f;
            green[i] = linear(t, 1.0f, 0.3f);
            blue[i] = linear(t, 0.6f, 0.0f);
            vx[i] += ax * dt;
            vy[i] += ay * dt;
            x[i] += vx[i] * dt;
            y[i] += vy[i] * dt;
        }
    }
};

void soa(benchmark::State& state)
{
    Arrays arrays;
    for (auto _ : state)
    {
        arrays.Step(Dt);
        benchmark::DoNotOptimize(arrays.x.data());
    }
}

void frame(benchmark::State& state, bool viaEffect)
{
    World& w = *g_world;
    // The anchor's quads: the effect's own sprites, made once.
    std::vector<ParticleSprite> sprites;
    for (const auto& t : w.effect->templates)
        for (const auto& phase : t->phases)
            for (const ParticleLink* link = phase->live.next; link != &phase->live; link = link->next)
            {
                ParticleSprite sprite;
                if (ParticleEffect::MakeSprite(*t, static_cast<const Particle&>(*link), w.parent, 1.0f, 0, sprite))
                    sprites.push_back(sprite);
            }
    for (auto _ : state)
    {
        if (!w.device->BeginFrame())
            std::abort();
        w.renderer->SetInFrame(true);
        if (viaEffect)
            w.effect->Draw(w.parent, 1.0f, 0);
        else
            for (const ParticleSprite& s : sprites)
                w.renderer->DrawQuad({s.material, s.image->texture, s.image->filtering}, s.matrix, s.image->rect,
                                     s.colour, true);
        w.renderer->Flush();
        w.device->EndFrame();
        w.renderer->Present();
        w.renderer->SetInFrame(false);
    }
    state.counters["quads"] = double(sprites.size());
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("step", step)->Repetitions(5);
    benchmark::RegisterBenchmark("soa", soa)->Repetitions(5);
    benchmark::RegisterBenchmark("draw", frame, true)->Repetitions(5);
    benchmark::RegisterBenchmark("quads", frame, false)->Repetitions(5);
    // Repetitions alternate, so that a change in the machine's load hits both sides alike.
    std::vector<char*> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    g_world = std::make_unique<World>();
    FastestRunReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& ns = reporter.nanoseconds;
    if (ns.count("step") && ns.count("soa"))
        std::printf("step: %.3f ms a frame (goal <= 1.5); step / structure-of-arrays loop = %.2f (goal <= 4)\n",
                    ns.at("step") / 1e6, ns.at("step") / ns.at("soa"));
    if (ns.count("draw") && ns.count("quads"))
        std::printf("draw: %.2f ms a frame (goal <= 3); draw / ready-made quads = %.2f\n", ns.at("draw") / 1e6,
                    ns.at("draw") / ns.at("quads"));
    g_world.reset();
    benchmark::Shutdown();
    return 0;
}
