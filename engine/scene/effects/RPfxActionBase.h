// The base of the particle actions. Everything a particle does is done by
// an action object, created by class name from an effect file ("RPfx" and
// the element's name), reading its parameters from the element's children
// (looked up ignoring case), and run by its template on creation, every
// frame of its phase, or on destruction. Most parameters are parameter
// curves evaluated at the time the caller passes: the particle's age from
// the action's start, or its emitter's age ("TimeSource" "Emitter").
//
// Also here: the small vector and random helpers every action shares.
#pragma once

#include <cstdint>
#include <string>

#include "engine/scene/classes/RObject.h"
#include "engine/scene/effects/ParameterCurve.h"

namespace TarnEngine
{

class ParticleEffect;
class ParticleTemplate;
class XmlNode;
struct Particle;

namespace Effects
{

enum TimeSource : int32_t
{
    TimeSourceSelf = 0,
    TimeSourceEmitter = 1,
};

class RPfxActionBase : public RObject
{
    TARN_RCLASS(RPfxActionBase)
public:
    // Reads "TimeSource"; every derived reader calls it first.
    virtual bool ReadParameters(const XmlNode& element);
    virtual void Apply(Particle& particle, float t, float dt);
    // Copies the base fields, then (in the derived classes) every parameter
    // into an action of the same class; run-time caches are not copied.
    virtual void CopyTo(RPfxActionBase& target) const;
    virtual bool IsLoadTimeAction() const { return false; }
    virtual void ApplyAtLoad(ParticleTemplate& particleTemplate);

    // The effect of the owning template, or null.
    ParticleEffect* GetEffect() const;

    std::wstring label;
    ParticleTemplate* owner = nullptr;
    int32_t index = -1;
    float startTime = 0.0f;
    int32_t timeSource = TimeSourceSelf;
    int32_t layer = 0;

    // Parameter readers. The child's text, empty when there is no such child (ignoring case).
    static std::wstring ChildText(const XmlNode& element, const wchar_t* name);
    // Each reader leaves the value alone when the child is missing or empty.
    static void ReadCurve(const XmlNode& element, const wchar_t* name, ParameterCurve& curve);
    static void ReadReal(const XmlNode& element, const wchar_t* name, float& value);
    static void ReadInteger(const XmlNode& element, const wchar_t* name, int32_t& value);
    // "true" or "false" ignoring case; any other word leaves the value.
    static void ReadFlag(const XmlNode& element, const wchar_t* name, bool& value);
    // The index of the child's word in `words` (ignoring case), else `fallback`.
    static int32_t ReadWord(const XmlNode& element, const wchar_t* name, const wchar_t* const* words,
                            int32_t count, int32_t fallback);
};

// Degrees to radians with the engine's own float constant.
constexpr float DegreesToRadians = 3.1415925f / 180.0f;

// A uniform value in [-r, r): frand(2r) - r.
float Spread(float r);
// (x, y) turned by `radians`: x cos a - y sin a, x sin a + y cos a.
void RotateVector(float& x, float& y, float radians);
float VectorLength(float x, float y);

} // namespace Effects
} // namespace TarnEngine
