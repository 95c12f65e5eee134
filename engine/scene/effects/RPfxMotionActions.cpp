// The motion actions; see RPfxMotionActions.h.
#include "engine/scene/effects/RPfxMotionActions.h"

#include <cmath>

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/ParticleEffect.h"
#include "engine/scene/effects/ParticleManager.h"

namespace TarnEngine
{
namespace Effects
{

TARN_IMPLEMENT_RCLASS(RPfxMovePositionAction, RPfxActionBase, RObjectFactory<RPfxMovePositionAction>)
TARN_IMPLEMENT_RCLASS(RPfxRandomMoveAction, RPfxActionBase, RObjectFactory<RPfxRandomMoveAction>)
TARN_IMPLEMENT_RCLASS(RPfxRandomMoveTargetAction, RPfxActionBase, RObjectFactory<RPfxRandomMoveTargetAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetVelocityAction, RPfxActionBase, RObjectFactory<RPfxSetVelocityAction>)
TARN_IMPLEMENT_RCLASS(RPfxGravityAction, RPfxActionBase, RObjectFactory<RPfxGravityAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetVelocityTowardAction, RPfxActionBase, RObjectFactory<RPfxSetVelocityTowardAction>)
TARN_IMPLEMENT_RCLASS(RPfxPointGravityAction, RPfxActionBase, RObjectFactory<RPfxPointGravityAction>)
TARN_IMPLEMENT_RCLASS(RPfxSplineMoveAction, RPfxActionBase, RObjectFactory<RPfxSplineMoveAction>)

namespace
{

// The position of the instance that runs the effect, in its parent; (0, 0)
// when there is none to ask.
void ownerPosition(const RPfxActionBase& action, float& x, float& y)
{
    x = y = 0.0f;
    IEffectOwnerServices* services = ParticleManager::GetOwnerServices();
    const ParticleEffect* effect = action.GetEffect();
    if (services && effect && !services->GetOwnerPosition(effect->owner, x, y))
        x = y = 0.0f;
}

// ---- scattering

// An offset along one axis of extent `extent` with `grid` points.
float scatterOffset(float extent, int32_t grid)
{
    if (grid < 1)
        return Spread(extent / 2.0f);
    if (grid == 1)
        return -extent / 2.0f;
    const float steps = float(int64_t(grid) - 1);
    // The grid point at +extent/2 is never chosen.
    const float k = std::floor(PoolRandomFloat(steps));
    return -extent / 2.0f + k * extent / steps;
}

void readScatter(const XmlNode& element, ScatterParameters& params)
{
    RPfxActionBase::ReadCurve(element, L"Width", params.width);
    RPfxActionBase::ReadCurve(element, L"Height", params.height);
    if (const XmlNode* grid = element.FindChild(L"GridPoints"))
    {
        RPfxActionBase::ReadInteger(*grid, L"X", params.gridX);
        RPfxActionBase::ReadInteger(*grid, L"Y", params.gridY);
    }
}

void scatter(ScatterParameters& params, float t, float& x, float& y)
{
    const float width = params.width.Evaluate(t);
    const float height = params.height.Evaluate(t);
    x += scatterOffset(width, params.gridX);
    y += scatterOffset(height, params.gridY);
}

// ---- angle and magnitude

void readVector(const XmlNode& element, VectorParameters& params)
{
    RPfxActionBase::ReadCurve(element, L"Angle", params.angle);
    RPfxActionBase::ReadCurve(element, L"AngleRand", params.angleRand);
    RPfxActionBase::ReadCurve(element, L"Magnitude", params.magnitude);
    RPfxActionBase::ReadCurve(element, L"MagnitudeRand", params.magnitudeRand);
}

// (0, -m) turned by the angle: angle 0 points up the screen.
void vectorOf(VectorParameters& params, float t, float& x, float& y)
{
    const float angle = params.angle.Evaluate(t) + Spread(params.angleRand.Evaluate(t));
    const float magnitude = params.magnitude.Evaluate(t) + Spread(params.magnitudeRand.Evaluate(t));
    x = 0.0f;
    y = -magnitude;
    RotateVector(x, y, angle * DegreesToRadians);
}

// ---- pulls towards a point

void readPull(const XmlNode& element, PullParameters& params)
{
    static const wchar_t* const origins[] = {L"screen", L"effect", L"emitter", L"target"};
    RPfxActionBase::ReadCurve(element, L"PosX", params.posX);
    RPfxActionBase::ReadCurve(element, L"PosY", params.posY);
    RPfxActionBase::ReadCurve(element, L"Magnitude", params.magnitude);
    RPfxActionBase::ReadCurve(element, L"MagnitudeRand", params.magnitudeRand);
    RPfxActionBase::ReadCurve(element, L"RadialMagnitude", params.radialMagnitude);
    params.originFrame = RPfxActionBase::ReadWord(element, L"OriginFrame", origins, 4, params.originFrame);
}

// The pull on the particle; false when its point cannot be placed (no
// emitter). `distance` is the particle's distance from the point.
bool pullOf(const RPfxActionBase& action, PullParameters& params, const Particle& particle, float t, float& x,
            float& y, float& distance)
{
    float px = params.posX.Evaluate(t);
    float py = params.posY.Evaluate(t);
    switch (params.originFrame)
    {
    case PullParameters::OriginScreen:
    case PullParameters::OriginTarget:
    {
        float ox = 0.0f, oy = 0.0f;
        ownerPosition(action, ox, oy);
        px -= ox;
        py -= oy;
        if (params.originFrame == PullParameters::OriginTarget)
        {
            px += particle.targetX;
            py += particle.targetY;
        }
        break;
    }
    case PullParameters::OriginEmitter:
    {
        const Particle* emitter = particle.parent.Get();
        if (!emitter)
            return false;
        px += emitter->x;
        py += emitter->y;
        break;
    }
    default:
        break;
    }
    const float dx = px - particle.x;
    const float dy = py - particle.y;
    distance = VectorLength(dx, dy);
    x = y = 0.0f;
    // At the point itself there is no direction: no pull.
    if (!(distance > 0.0f))
        return true;
    const float inverse = 1.0f / distance;
    const float strength =
        params.radialMagnitude.Evaluate(distance) *
        (params.magnitude.Evaluate(t) + Spread(params.magnitudeRand.Evaluate(t)));
    x = dx * inverse * strength;
    y = dy * inverse * strength;
    return true;
}

} // namespace

// ---- RPfxMovePositionAction

bool RPfxMovePositionAction::ReadParameters(const XmlNode& element)
{
    static const wchar_t* const origins[] = {L"screen", L"effect", L"emitter", L"self", L"target"};
    static const wchar_t* const factors[] = {L"positiononly", L"positionrotation", L"positionscale",
                                             L"positionrotationscale"};
    RPfxActionBase::ReadParameters(element);
    ReadCurve(element, L"PosX", params.posX);
    ReadCurve(element, L"PosY", params.posY);
    params.originFrame = ReadWord(element, L"OriginFrame", origins, 5, params.originFrame);
    params.originFrameFactors = ReadWord(element, L"OriginFrameFactors", factors, 4, params.originFrameFactors);
    return true;
}

void RPfxMovePositionAction::Apply(Particle& particle, float t, float)
{
    float x = params.posX.Evaluate(t);
    float y = params.posY.Evaluate(t);
    switch (params.originFrame)
    {
    case OriginScreen:
    case OriginTarget:
    {
        float ox = 0.0f, oy = 0.0f;
        ownerPosition(*this, ox, oy);
        particle.x = x - ox;
        particle.y = y - oy;
        if (params.originFrame == OriginTarget)
        {
            particle.x += particle.targetX;
            particle.y += particle.targetY;
        }
        return;
    }
    case OriginEffect:
        particle.x = x;
        particle.y = y;
        return;
    case OriginEmitter:
    case OriginSelf:
    {
        const Particle* frame = params.originFrame == OriginSelf ? &particle : particle.parent.Get();
        if (!frame)
            return;
        const int32_t factors = params.originFrameFactors;
        if (factors == PositionScale || factors == PositionRotationScale)
        {
            x *= frame->scaleX;
            y *= frame->scaleY;
        }
        if (factors == PositionRotation || factors == PositionRotationScale)
            RotateVector(x, y, frame->rotation);
        particle.x = frame->x + x;
        particle.y = frame->y + y;
        return;
    }
    default:
        return;
    }
}

void RPfxMovePositionAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxMovePositionAction>(&target))
        twin->params = params;
}

// ---- RPfxRandomMoveAction, RPfxRandomMoveTargetAction

bool RPfxRandomMoveAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    readScatter(element, params);
    return true;
}

void RPfxRandomMoveAction::Apply(Particle& particle, float t, float)
{
    scatter(params, t, particle.x, particle.y);
}

void RPfxRandomMoveAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxRandomMoveAction>(&target))
        twin->params = params;
}

bool RPfxRandomMoveTargetAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    readScatter(element, params);
    return true;
}

void RPfxRandomMoveTargetAction::Apply(Particle& particle, float t, float)
{
    scatter(params, t, particle.targetX, particle.targetY);
}

void RPfxRandomMoveTargetAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxRandomMoveTargetAction>(&target))
        twin->params = params;
}

// ---- RPfxSetVelocityAction, RPfxGravityAction

bool RPfxSetVelocityAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    readVector(element, params);
    return true;
}

void RPfxSetVelocityAction::Apply(Particle& particle, float t, float)
{
    vectorOf(params, t, particle.vx, particle.vy);
}

void RPfxSetVelocityAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetVelocityAction>(&target))
        twin->params = params;
}

bool RPfxGravityAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    readVector(element, params);
    return true;
}

void RPfxGravityAction::Apply(Particle& particle, float t, float)
{
    float x = 0.0f, y = 0.0f;
    vectorOf(params, t, x, y);
    particle.ax += x;
    particle.ay += y;
}

void RPfxGravityAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxGravityAction>(&target))
        twin->params = params;
}

// ---- RPfxSetVelocityTowardAction, RPfxPointGravityAction

bool RPfxSetVelocityTowardAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    readPull(element, params);
    ReadReal(element, L"AutoDestroyDistance", params.autoDestroyDistance);
    return true;
}

void RPfxSetVelocityTowardAction::Apply(Particle& particle, float t, float dt)
{
    float x = 0.0f, y = 0.0f, distance = 0.0f;
    if (!pullOf(*this, params, particle, t, x, y, distance))
        return;
    if (distance > 0.0f)
    {
        particle.vx = x;
        particle.vy = y;
    }
    if (params.autoDestroyDistance > 0.0f && distance <= params.autoDestroyDistance)
        if (ParticleEffect* effect = GetEffect())
            effect->Kill(particle, dt);
}

void RPfxSetVelocityTowardAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetVelocityTowardAction>(&target))
        twin->params = params;
}

bool RPfxPointGravityAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    readPull(element, params);
    return true;
}

void RPfxPointGravityAction::Apply(Particle& particle, float t, float)
{
    float x = 0.0f, y = 0.0f, distance = 0.0f;
    if (!pullOf(*this, params, particle, t, x, y, distance))
        return;
    particle.ax += x;
    particle.ay += y;
}

void RPfxPointGravityAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxPointGravityAction>(&target))
        twin->params = params;
}

// ---- RPfxSplineMoveAction

bool RPfxSplineMoveAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    ReadReal(element, L"Time", params.time);
    ReadFlag(element, L"Smooth", params.smooth);
    const std::wstring text = ChildText(element, L"Spline");
    if (text.empty())
        return true;
    params.paths.clear();
    for (const std::wstring& pathText : SplitString(text, L'|'))
    {
        std::vector<Point> points;
        for (const std::wstring& pointText : SplitString(pathText, L';'))
        {
            const std::vector<std::wstring> coordinates = SplitString(pointText, L',');
            Point point;
            point.x = coordinates.size() > 0 ? ParseEffectReal(coordinates[0]) : 0.0f;
            point.y = coordinates.size() > 1 ? ParseEffectReal(coordinates[1]) : 0.0f;
            points.push_back(point);
        }
        if (points.size() < 2)
            continue;
        SplinePath path;
        path.segmentDuration = 1.0f / float(points.size());
        path.points = std::move(points);
        params.paths.push_back(std::move(path));
    }
    return true;
}

void RPfxSplineMoveAction::Apply(Particle& particle, float t, float)
{
    if (params.paths.empty())
        return;
    size_t segments = 0;
    for (const SplinePath& path : params.paths)
        segments += path.points.size() - 1;
    const float segmentTime = params.time / float(segments);
    // A total time of 0 or less has no inside: the path is always at its end.
    if (!(segmentTime > 0.0f) || t > params.time)
    {
        particle.x = params.paths.back().points.back().x;
        particle.y = params.paths.back().points.back().y;
        return;
    }
    float rest = t > 0.0f ? t : 0.0f;
    for (size_t j = 0; j < params.paths.size(); ++j)
    {
        const SplinePath& path = params.paths[j];
        const std::vector<Point>& points = path.points;
        const float pathTime = float(points.size() - 1) * segmentTime;
        if (rest >= pathTime && j + 1 < params.paths.size())
        {
            rest -= pathTime;
            continue;
        }
        if (params.smooth)
        {
            // One segment lasts 1/n of the path's time, not 1/(n-1): the path
            // reaches its last point early and stays there.
            const float unit = std::min(rest / pathTime, 1.0f);
            const Point at = path.Evaluate(unit);
            particle.x = at.x;
            particle.y = at.y;
            return;
        }
        const double steps = double(rest) / segmentTime;
        if (!(steps + 1.0 < double(points.size())))
            return; // past the last point: unchanged
        const size_t k = size_t(steps);
        const float f = float(steps - double(k));
        particle.x = points[k].x + (points[k + 1].x - points[k].x) * f;
        particle.y = points[k].y + (points[k + 1].y - points[k].y) * f;
        return;
    }
}

void RPfxSplineMoveAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSplineMoveAction>(&target))
        twin->params = params;
}

} // namespace Effects
} // namespace TarnEngine
