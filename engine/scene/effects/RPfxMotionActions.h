// The actions that place and move particles: set positions in one of the
// effect's frames, random offsets, velocities and accelerations by angle
// and magnitude, pulls towards a point, and movement along point paths.
// Angle 0 points up the screen and positive angles turn clockwise.
#pragma once

#include <vector>

#include "engine/scene/display/geometry/SplinePath.h"
#include "engine/scene/effects/RPfxActionBase.h"

namespace TarnEngine
{
namespace Effects
{

class RPfxMovePositionAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxMovePositionAction)
public:
    enum Origin : int32_t
    {
        OriginScreen = 0,
        OriginEffect = 1,
        OriginEmitter = 2,
        OriginSelf = 3,
        OriginTarget = 4,
    };
    enum Factors : int32_t
    {
        PositionOnly = 0,
        PositionRotation = 1,
        PositionScale = 2,
        PositionRotationScale = 3,
    };

    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        ParameterCurve posX;
        ParameterCurve posY;
        int32_t originFrame = OriginScreen;
        int32_t originFrameFactors = PositionOnly;
    };
    Parameters params;
};

// Width and height of the area, and grid points per axis (below 1: anywhere).
struct ScatterParameters
{
    ParameterCurve width;
    ParameterCurve height;
    int32_t gridX = 0;
    int32_t gridY = 0;
};

class RPfxRandomMoveAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxRandomMoveAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    ScatterParameters params;
};

class RPfxRandomMoveTargetAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxRandomMoveTargetAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    ScatterParameters params;
};

// Angle and magnitude with their random spreads (degrees, pixels a second).
struct VectorParameters
{
    ParameterCurve angle;
    ParameterCurve angleRand;
    ParameterCurve magnitude;
    ParameterCurve magnitudeRand;
};

class RPfxSetVelocityAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetVelocityAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    VectorParameters params;
};

class RPfxGravityAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxGravityAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    VectorParameters params;
};

// A point in one of the effect's frames and the strength of the pull
// towards it; RadialMagnitude is a curve over the distance.
struct PullParameters
{
    enum Origin : int32_t
    {
        OriginScreen = 0,
        OriginEffect = 1,
        OriginEmitter = 2,
        OriginTarget = 3,
    };
    ParameterCurve posX;
    ParameterCurve posY;
    ParameterCurve magnitude;
    ParameterCurve magnitudeRand;
    ParameterCurve radialMagnitude;
    int32_t originFrame = OriginScreen;
};

class RPfxSetVelocityTowardAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetVelocityTowardAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters : PullParameters
    {
        float autoDestroyDistance = 0.0f;
    };
    Parameters params;
};

class RPfxPointGravityAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxPointGravityAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    PullParameters params;
};

class RPfxSplineMoveAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSplineMoveAction)
public:
    using Point = SplinePath::Point;

    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        float time = 1.0f; // seconds for all paths
        bool smooth = true;
        // Paths of at least two points each; a segment of the smooth path lasts 1/n of its time.
        std::vector<SplinePath> paths;
    };
    Parameters params;
};

} // namespace Effects
} // namespace TarnEngine
