// The actions that set how particles look: scale (set, per axis, or from
// the speed, with mirroring), opacity and colour (RGB or HSV).
#pragma once

#include "engine/scene/effects/RPfxActionBase.h"

namespace TarnEngine
{
namespace Effects
{

class RPfxSetScaleAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetScaleAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve scale;
    };
    Parameters params;
};

class RPfxSetUniformScaleAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetUniformScaleAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve scaleX;
        ParameterCurve scaleY;
    };
    Parameters params;
};

class RPfxSetScaleFromVelocityAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetScaleFromVelocityAction)
public:
    enum Inversion : int32_t
    {
        InvertNever = 0,
        InvertWhenPositive = 1,
        InvertWhenNegative = 2,
        InvertAlways = 3,
    };

    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve xScaleForSpeed; // over the speed
        ParameterCurve yScaleForSpeed;
        int32_t xInversion = InvertNever;
        int32_t yInversion = InvertNever;
    };
    Parameters params;
};

class RPfxSetOpacityAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetOpacityAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve opacity;
        float range = 1.0f; // the curve's values are divided by it when above 0
    };
    Parameters params;
};

class RPfxSetColorRGBAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetColorRGBAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve red;
        ParameterCurve green;
        ParameterCurve blue;
        float range = 1.0f;
    };
    Parameters params;
};

class RPfxSetColorHSVAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetColorHSVAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve hue; // degrees
        ParameterCurve saturation;
        ParameterCurve value;
        float hueDispersion = 0.0f;
        float satDispersion = 0.0f;
        float valDispersion = 0.0f;
    };
    Parameters params;
};

// Hue in degrees (any value, taken round into [0, 360); not a number counts as 0), saturation and
// value in [0, 1], to red, green and blue in [0, 1].
void HsvToRgb(float hue, float saturation, float value, float& red, float& green, float& blue);

} // namespace Effects
} // namespace TarnEngine
