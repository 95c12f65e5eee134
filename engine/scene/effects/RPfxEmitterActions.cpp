// The emitter actions; see RPfxEmitterActions.h.
#include "engine/scene/effects/RPfxEmitterActions.h"

#include <cmath>
#include <limits>

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/ParticleEffect.h"
#include "engine/scene/effects/ParticleManager.h"

namespace TarnEngine
{
namespace Effects
{

TARN_IMPLEMENT_RCLASS(RPfxStreamEmitterAction, RPfxActionBase, RObjectFactory<RPfxStreamEmitterAction>)
TARN_IMPLEMENT_RCLASS(RPfxExplosionEmitterAction, RPfxActionBase, RObjectFactory<RPfxExplosionEmitterAction>)

namespace
{

// The lowest rate that emits at all (the float 9.99999975e-06).
constexpr float MinimumRate = 1e-5f;

// Moves the clock past the particle's age when the periods that came due
// cannot all be emitted (the effect is full, or the period is too small to
// move the clock): they are let go rather than kept for a later burst.
void skipPast(ActionState& clock, float age, float period)
{
    const float next = age + period;
    clock.value = next > age ? next : std::nextafter(age, std::numeric_limits<float>::infinity());
}

ParticleTemplate* resolve(ParticleEffect* effect, ParticleTemplate*& cached, const std::wstring& name)
{
    if (!cached && effect)
        cached = effect->FindTemplate(name);
    return cached;
}

} // namespace

// ---- RPfxStreamEmitterAction

bool RPfxStreamEmitterAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    params.particleType = ChildText(element, L"ParticleType");
    ReadCurve(element, L"Rate", params.rate);
    ReadReal(element, L"SoftwareRateMultiplier", params.softwareRateMultiplier);
    return true;
}

void RPfxStreamEmitterAction::Apply(Particle& particle, float t, float dt)
{
    ParticleEffect* effect = GetEffect();
    ParticleTemplate* particleType = resolve(effect, type, params.particleType);
    if (!particleType)
        return;
    float rate = params.rate.Evaluate(t);
    if (ParticleManager::IsReducedEffects())
        rate *= params.softwareRateMultiplier;
    if (!(rate >= MinimumRate))
        return;
    ActionState& clock = *effect->GetActionState(particle, this, 0, particle.age);
    const float period = 1.0f / rate;
    int64_t emitted = 0;
    while (clock.value <= particle.age)
    {
        if (!effect->Spawn(*particleType, &particle, dt) && !effect->CanSpawn())
        {
            skipPast(clock, particle.age, period);
            return;
        }
        clock.value += period;
        if (++emitted >= effect->particleCap)
        {
            skipPast(clock, particle.age, period);
            return;
        }
    }
}

void RPfxStreamEmitterAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxStreamEmitterAction>(&target))
        twin->params = params;
}

// ---- RPfxExplosionEmitterAction

bool RPfxExplosionEmitterAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    params.particleType = ChildText(element, L"ParticleType");
    ReadCurve(element, L"Interval", params.interval);
    ReadInteger(element, L"MinParticles", params.minParticles);
    ReadInteger(element, L"MaxParticles", params.maxParticles);
    return true;
}

void RPfxExplosionEmitterAction::Apply(Particle& particle, float t, float dt)
{
    ParticleEffect* effect = GetEffect();
    ParticleTemplate* particleType = resolve(effect, type, params.particleType);
    if (!particleType)
        return;
    ActionState& clock = *effect->GetActionState(particle, this, 0, particle.age);
    if (clock.value > particle.age)
        return;
    const float interval = params.interval.Evaluate(t);
    int64_t bursts = 0;
    while (clock.value <= particle.age)
    {
        const int32_t count = PoolRandomInt(params.minParticles, params.maxParticles);
        for (int32_t i = 0; i < count; ++i)
        {
            if (!effect->Spawn(*particleType, &particle, dt) && !effect->CanSpawn())
            {
                skipPast(clock, particle.age, interval);
                return;
            }
        }
        // An interval of 0 or less would never move the clock: one burst a step.
        if (!(interval > 0.0f) || ++bursts >= effect->particleCap)
        {
            skipPast(clock, particle.age, interval);
            return;
        }
        clock.value += interval;
    }
}

void RPfxExplosionEmitterAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxExplosionEmitterAction>(&target))
        twin->params = params;
}

} // namespace Effects
} // namespace TarnEngine
