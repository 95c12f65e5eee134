// The emitter actions: the only source of particles besides the auto-emit
// roots. Each keeps an emission clock per emitting particle (an action
// state), started at the particle's age when the action first runs, so the
// first particle (or burst) comes at once; a long frame emits every period
// that fits. The template they emit is found by name on first use and
// looked for again on every run until it exists.
#pragma once

#include <string>

#include "engine/scene/effects/RPfxActionBase.h"

namespace TarnEngine
{
namespace Effects
{

class RPfxStreamEmitterAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxStreamEmitterAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        std::wstring particleType;
        ParameterCurve rate; // particles a second
        // Applied to the rate while the particle manager asks for reduced effects.
        float softwareRateMultiplier = 1.0f;
    };
    Parameters params;

private:
    ParticleTemplate* type = nullptr;
};

class RPfxExplosionEmitterAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxExplosionEmitterAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        std::wstring particleType;
        ParameterCurve interval; // seconds between bursts
        int32_t minParticles = 0;
        int32_t maxParticles = 0;
    };
    Parameters params;

private:
    ParticleTemplate* type = nullptr;
};

} // namespace Effects
} // namespace TarnEngine
