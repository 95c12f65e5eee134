// The rotation actions; see RPfxRotationActions.h.
#include "engine/scene/effects/RPfxRotationActions.h"

#include <cmath>

#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/Particle.h"

namespace TarnEngine
{
namespace Effects
{

TARN_IMPLEMENT_RCLASS(RPfxSetRotationAction, RPfxActionBase, RObjectFactory<RPfxSetRotationAction>)
TARN_IMPLEMENT_RCLASS(RPfxSpinRotationAction, RPfxActionBase, RObjectFactory<RPfxSpinRotationAction>)
TARN_IMPLEMENT_RCLASS(RPfxAlignRotationToVelocityAction, RPfxActionBase,
                      RObjectFactory<RPfxAlignRotationToVelocityAction>)

// ---- RPfxSetRotationAction

bool RPfxSetRotationAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"Angle", params.angle);
    ReadCurve(element, L"AngleRand", params.angleRand);
    ReadFlag(element, L"RelativeRotation", params.relativeRotation);
    return true;
}

void RPfxSetRotationAction::Apply(Particle& particle, float t, float)
{
    const float angle = params.angle.Evaluate(t) + Spread(params.angleRand.Evaluate(t));
    const float radians = angle * DegreesToRadians;
    particle.rotation = params.relativeRotation ? particle.rotation + radians : radians;
}

void RPfxSetRotationAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetRotationAction>(&target))
        twin->params = params;
}

// ---- RPfxSpinRotationAction

bool RPfxSpinRotationAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"Spin", params.spin);
    ReadCurve(element, L"SpinRand", params.spinRand);
    ReadReal(element, L"SpinInitRand", params.spinInitRand);
    return true;
}

void RPfxSpinRotationAction::Apply(Particle& particle, float t, float dt)
{
    float offset = 0.0f;
    if (params.spinInitRand != 0.0f)
    {
        // Held per record, not per particle: a reused record keeps its offset.
        const auto [entry, isNew] = offsets.try_emplace(&particle, 0.0f);
        if (isNew)
            entry->second = Spread(params.spinInitRand);
        offset = entry->second;
    }
    const float spin = params.spin.Evaluate(t);
    const float jitter = Spread(params.spinRand.Evaluate(t));
    particle.rotation += ((spin + offset) * dt + jitter) * DegreesToRadians;
}

void RPfxSpinRotationAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSpinRotationAction>(&target))
        twin->params = params;
}

// ---- RPfxAlignRotationToVelocityAction

void RPfxAlignRotationToVelocityAction::Apply(Particle& particle, float, float)
{
    const float length = VectorLength(particle.vx, particle.vy);
    // A particle at rest has no direction to face: it keeps its rotation.
    if (!(length > 0.0f))
        return;
    const float inverse = 1.0f / length;
    particle.rotation = std::atan2(particle.vy * inverse, particle.vx * inverse) + 1.5707963f;
}

} // namespace Effects
} // namespace TarnEngine
