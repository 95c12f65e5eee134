// The appearance actions; see RPfxAppearanceActions.h.
#include "engine/scene/effects/RPfxAppearanceActions.h"

#include <cmath>

#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/Particle.h"

namespace TarnEngine
{
namespace Effects
{

TARN_IMPLEMENT_RCLASS(RPfxSetScaleAction, RPfxActionBase, RObjectFactory<RPfxSetScaleAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetUniformScaleAction, RPfxActionBase, RObjectFactory<RPfxSetUniformScaleAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetScaleFromVelocityAction, RPfxActionBase, RObjectFactory<RPfxSetScaleFromVelocityAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetOpacityAction, RPfxActionBase, RObjectFactory<RPfxSetOpacityAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetColorRGBAction, RPfxActionBase, RObjectFactory<RPfxSetColorRGBAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetColorHSVAction, RPfxActionBase, RObjectFactory<RPfxSetColorHSVAction>)

namespace
{

// Clamped into [low, high]; NaN gives low.
float clampTo(float value, float low, float high)
{
    if (!(value >= low))
        return low;
    return value > high ? high : value;
}

float divided(float value, float range)
{
    return range > 0.0f ? value / range : value;
}

bool mirrored(int32_t inversion, float speed)
{
    using A = RPfxSetScaleFromVelocityAction;
    if (inversion == A::InvertAlways)
        return true;
    return speed > 0.0f ? inversion == A::InvertWhenPositive : inversion == A::InvertWhenNegative;
}

} // namespace

void HsvToRgb(float hue, float saturation, float value, float& red, float& green, float& blue)
{
    // Hue goes round: -30 is 330 and 390 is 30. Below 0 the sectors would count from the wrong end.
    hue = std::isfinite(hue) ? std::fmod(hue, 360.0f) : 0.0f;
    if (hue < 0.0f)
        hue += 360.0f;
    const int sector = int(hue) / 60;
    const float f = hue / 60.0f - float(sector);
    const float p = value * (1.0f - saturation);
    const float q = value * (1.0f - saturation * f);
    const float t = value * (1.0f - saturation * (1.0f - f));
    switch (sector % 6)
    {
    case 0: red = value, green = t, blue = p; break;
    case 1: red = q, green = value, blue = p; break;
    case 2: red = p, green = value, blue = t; break;
    case 3: red = p, green = q, blue = value; break;
    case 4: red = t, green = p, blue = value; break;
    default: red = value, green = p, blue = q; break;
    }
}

// ---- RPfxSetScaleAction

bool RPfxSetScaleAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"Scale", params.scale);
    return true;
}

void RPfxSetScaleAction::Apply(Particle& particle, float t, float)
{
    particle.scaleX = particle.scaleY = params.scale.Evaluate(t);
}

void RPfxSetScaleAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetScaleAction>(&target))
        twin->params = params;
}

// ---- RPfxSetUniformScaleAction

bool RPfxSetUniformScaleAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"ScaleX", params.scaleX);
    ReadCurve(element, L"ScaleY", params.scaleY);
    return true;
}

void RPfxSetUniformScaleAction::Apply(Particle& particle, float t, float)
{
    particle.scaleX = params.scaleX.Evaluate(t);
    particle.scaleY = params.scaleY.Evaluate(t);
}

void RPfxSetUniformScaleAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetUniformScaleAction>(&target))
        twin->params = params;
}

// ---- RPfxSetScaleFromVelocityAction

bool RPfxSetScaleFromVelocityAction::ReadParameters(const XmlNode& element)
{
    static const wchar_t* const inversions[] = {L"never", L"whenpositive", L"whennegative", L"always"};
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"XScaleForSpeed", params.xScaleForSpeed);
    ReadCurve(element, L"YScaleForSpeed", params.yScaleForSpeed);
    // Any other word means "never".
    if (element.FindChild(L"XInversion"))
        params.xInversion = ReadWord(element, L"XInversion", inversions, 4, InvertNever);
    if (element.FindChild(L"YInversion"))
        params.yInversion = ReadWord(element, L"YInversion", inversions, 4, InvertNever);
    return true;
}

void RPfxSetScaleFromVelocityAction::Apply(Particle& particle, float, float)
{
    const float speed = VectorLength(particle.vx, particle.vy);
    particle.scaleX = params.xScaleForSpeed.Evaluate(speed);
    particle.scaleY = params.yScaleForSpeed.Evaluate(speed);
    if (mirrored(params.xInversion, particle.vx))
        particle.scaleX = -particle.scaleX;
    if (mirrored(params.yInversion, particle.vy))
        particle.scaleY = -particle.scaleY;
}

void RPfxSetScaleFromVelocityAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetScaleFromVelocityAction>(&target))
        twin->params = params;
}

// ---- RPfxSetOpacityAction

bool RPfxSetOpacityAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"Opacity", params.opacity);
    ReadReal(element, L"Range", params.range);
    return true;
}

void RPfxSetOpacityAction::Apply(Particle& particle, float t, float)
{
    particle.opacity = divided(params.opacity.Evaluate(t), params.range);
}

void RPfxSetOpacityAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetOpacityAction>(&target))
        twin->params = params;
}

// ---- RPfxSetColorRGBAction

bool RPfxSetColorRGBAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"Red", params.red);
    ReadCurve(element, L"Green", params.green);
    ReadCurve(element, L"Blue", params.blue);
    ReadReal(element, L"Range", params.range);
    return true;
}

void RPfxSetColorRGBAction::Apply(Particle& particle, float t, float)
{
    particle.red = divided(params.red.Evaluate(t), params.range);
    particle.green = divided(params.green.Evaluate(t), params.range);
    particle.blue = divided(params.blue.Evaluate(t), params.range);
}

void RPfxSetColorRGBAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetColorRGBAction>(&target))
        twin->params = params;
}

// ---- RPfxSetColorHSVAction

bool RPfxSetColorHSVAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"Hue", params.hue);
    ReadCurve(element, L"Saturation", params.saturation);
    ReadCurve(element, L"Value", params.value);
    ReadReal(element, L"HueDispersion", params.hueDispersion);
    ReadReal(element, L"SatDispersion", params.satDispersion);
    ReadReal(element, L"ValDispersion", params.valDispersion);
    return true;
}

void RPfxSetColorHSVAction::Apply(Particle& particle, float t, float)
{
    const float hue = clampTo(params.hue.Evaluate(t) + Spread(params.hueDispersion), 0.0f, 360.0f);
    const float saturation = clampTo(params.saturation.Evaluate(t) + Spread(params.satDispersion), 0.0f, 1.0f);
    const float value = clampTo(params.value.Evaluate(t) + Spread(params.valDispersion), 0.0f, 1.0f);
    HsvToRgb(hue, saturation, value, particle.red, particle.green, particle.blue);
}

void RPfxSetColorHSVAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetColorHSVAction>(&target))
        twin->params = params;
}

} // namespace Effects
} // namespace TarnEngine
