// Fuzz target: any bytes as an effect file and as a parameter curve. A curve
// that reads must evaluate to finite values inside its value range; an
// effect that loads is cloned and run for 10 s of fake time under a small
// particle cap, which it must never pass, with its sprites computed as
// drawing would.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/effects/EffectLibrary.h"
#include "engine/scene/effects/ParameterCurve.h"
#include "engine/scene/effects/ParticleManager.h"

namespace
{

using namespace TarnEngine;

constexpr int32_t Cap = 64;
constexpr float Dt = 1.0f / 20.0f;

struct Owner : IEffectOwnerServices
{
    bool GetOwnerPosition(const InstanceHandle&, float& x, float& y) override
    {
        x = 12.0f;
        y = -7.0f;
        return true;
    }
    bool GetScatterImage(const InstanceHandle&, ScatterImage& image) override
    {
        image = {33, 17, 1.5f, 0.5f};
        return true;
    }
    bool HitTestScatterPixel(const InstanceHandle&, int32_t x, int32_t y) override { return (x ^ y) % 5 == 0; }
};

struct World
{
    World()
    {
        RegisterEngineStatics();
        library.SetImageResolver(
            [](const std::wstring& name, EffectImage& image)
            {
                if (name.rfind(L"img", 0) != 0)
                    return false;
                image.placement.SetTranslation(float(name.size()), 2.0f);
                return true;
            });
        manager.SetOwnerServices(&owner);
    }

    std::string input;
    XmlDocumentCache cache{[this](const std::wstring&, std::vector<uint8_t>& bytes)
                           {
                               bytes.assign(input.begin(), input.end());
                               return true;
                           }};
    EffectLibrary library;
    ParticleManager manager;
    Owner owner;
};

void checkCurve(const std::string& text)
{
    ParameterCurve curve;
    if (!curve.Read(Utf8ToWString(text)))
        return;
    const float low = std::fmin(curve.valueLow, curve.valueHigh);
    const float high = std::fmax(curve.valueLow, curve.valueHigh);
    for (float t : {-1e30f, -2.0f, 0.0f, 1e-20f, 0.3f, 0.5f, 1.0f, 1.7f, 1e6f, 3e38f})
    {
        const float v = curve.Evaluate(t);
        if (!std::isfinite(v) || v < low || v > high)
            std::abort();
    }
}

void runEffect(ParticleEffect& effect, float seconds)
{
    effect.particleCap = Cap;
    effect.targetX = 40.0f;
    effect.targetY = 25.0f;
    effect.StartAutoEmit();
    Matrix3 parent;
    parent.SetTranslation(100.0f, 50.0f);
    ParticleSprite sprite;
    for (int step = 0; step < int(seconds / Dt); ++step)
    {
        effect.Step(Dt);
        if (effect.liveCount < 0 || effect.liveCount > Cap)
            std::abort();
        if (step % 25 != 0)
            continue;
        for (const auto& t : effect.templates)
            for (const auto& phase : t->phases)
                for (const ParticleLink* link = phase->live.next; link != &phase->live; link = link->next)
                    ParticleEffect::MakeSprite(*t, static_cast<const Particle&>(*link), parent, 0.75f, 0x10000,
                                               sprite);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World* world = new World;
    FillRandomPool();
    world->input.assign(reinterpret_cast<const char*>(data), size);
    checkCurve(world->input);
    world->manager.reducedEffects = size % 2 != 0;
    if (!world->library.Load(L"fuzz"))
        return 0;
    std::unique_ptr<ParticleEffect> effect = world->library.CreateEffect(L"fuzz");
    if (!effect)
        std::abort();
    runEffect(*effect, 10.0f);
    // A clone of a running effect starts empty and runs the same way.
    std::unique_ptr<ParticleEffect> again = effect->Clone();
    if (again->liveCount != 0)
        std::abort();
    effect.reset();
    runEffect(*again, 1.0f);
    return 0;
}
