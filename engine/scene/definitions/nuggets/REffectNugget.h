// The effect nugget: a particle effect that every movie made from the definition (or instance
// entry) gets as a child once it is in place, optionally held until something starts it, started
// after a delay, or advanced by a number of frames so that it looks as if it had been running.
//
// The effect instances belong to the particle system, which hands the nugget its operations
// through SetEffectNuggetServices when it starts; without them effect nuggets spawn nothing.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include <cstdint>
#include <functional>
#include <string>

namespace TarnEngine
{

class Instance_Movie;

struct EffectNuggetServices
{
    // Spawns the named effect as a child of the movie, named instanceName, at (x, y) in the movie's
    // space; the zero handle when it cannot be made.
    std::function<InstanceHandle(const std::wstring& effectName, Instance_Movie* parent,
                                 const std::wstring& instanceName, float x, float y)>
        spawn;
    // Puts the effect into its waiting state: alive and drawn but not stepped, with no timer.
    std::function<void(Instance_Base* effect)> hold;
    // Lets the effect wait the delay (seconds) before it runs.
    std::function<void(Instance_Base* effect, float delay)> startAfterDelay;
    // Steps the effect by dt seconds; false once it has ended.
    std::function<bool(Instance_Base* effect, float dt)> update;
};

// Replaces the particle system's operations (empty ones switch effect nuggets off).
void SetEffectNuggetServices(EffectNuggetServices services);
const EffectNuggetServices& GetEffectNuggetServices();

class REffectNugget : public RNuggetBase
{
    TARN_RCLASS(REffectNugget)
public:
    // Steps that "SkipFrames" may ask for: ten seconds of frames. More would only stall the
    // creation of every instance of the definition.
    static constexpr int32_t MaxSkipFrames = 600;
    // One frame at 60 frames a second.
    static constexpr float SkipStep = 0.016666668f;

    // The random part of the start delay is drawn here, once: every instance shares it.
    bool Load(const XmlNode& element) override;
    // Movies only.
    void PostApply(Instance_Base* instance) override;

    std::wstring effectName;
    std::wstring instanceName;
    bool autoPlay = false;
    float x = 0.0f;
    float y = 0.0f;
    int32_t skipFrames = 0;
    float startDelay = 0.0f;
};

} // namespace TarnEngine
