// The actions that turn particles: a set angle, a spin, and alignment with
// the direction of flight.
#pragma once

#include <unordered_map>

#include "engine/scene/effects/RPfxActionBase.h"

namespace TarnEngine
{
namespace Effects
{

class RPfxSetRotationAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetRotationAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve angle;     // degrees
        ParameterCurve angleRand; // degrees
        bool relativeRotation = false;
    };
    Parameters params;
};

class RPfxSpinRotationAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSpinRotationAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve spin;     // degrees a second
        ParameterCurve spinRand; // degrees, drawn every frame
        float spinInitRand = 0.0f;
    };
    Parameters params;

private:
    // The spin offset of each particle record, drawn the first time the
    // record is seen (with a non-zero SpinInitRand).
    std::unordered_map<const Particle*, float> offsets;
};

class RPfxAlignRotationToVelocityAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxAlignRotationToVelocityAction)
public:
    void Apply(Particle& particle, float t, float dt) override;
};

} // namespace Effects
} // namespace TarnEngine
