// A camera moving into a layered picture: the layers (child movies of a movie) are scaled up
// together, exponentially in time, about a fixed screen point, while each of the first three fades
// in, holds and fades out in its own window so that nearer layers give way to farther ones. Scripts
// create it, hand it a movie and let it run on its timer; each pass ends with "OnMoveEnd". The
// scripts own it (weak reference).
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/core/time/Timer2.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/script/LuaBaseSubclass.h"

namespace TarnEngine
{
class Instance_Movie;
}

class MovingPerspective : public TarnEngine::LuaBaseClass,
                          public TarnEngine::IInstanceEventHandler,
                          public TarnEngine::Timer2
{
    TARN_RCLASS(MovingPerspective)
    TARN_LUA_CLASS("MovingPerspective")
public:
    // The point the picture scales about, in screen units.
    static constexpr float PivotX = 512.0f;
    static constexpr float PivotY = 216.0f;
    // Start scales of the first three layers; later layers start at their natural size.
    static constexpr float StartScales[3] = {1.0f, 0.23f, 0.115f};
    // When a pass ends, in seconds of move time.
    static constexpr float PassEnd = 6.0f;

    MovingPerspective() = default;

    // Chooses the target (the movie, or its first child when that holds the layers), places its
    // layers about the pivot, and starts a pass from t = 0.
    void SetMovie(TarnEngine::Instance_Movie* movie);
    // Stores the time (a non-finite one is refused) and applies it when the target lives.
    void SetTime(float t);
    // Factor on the game-time step; a non-finite one is refused.
    void SetTimeScale(float scale);
    float GetTime() const { return time; }
    float GetTimeScale() const { return timeScale; }
    const TarnEngine::InstanceHandle& GetTarget() const { return target; }

    // Scales and fades the target's layers for move time t.
    void Apply(float t);
    // The per-pass tick (timer 0 on the game clock).
    void OnTimer(uint32_t id) override;

    static void RegisterLua(lua_State* state);

private:
    float time = -4.0f;
    float timeScale = 1.0f;
    float endTime = PassEnd;
    TarnEngine::InstanceHandle target;
};

// Enters the "MovingPerspective" class record (and with it its script class) in the class registry
// and adds the script function "SetBookScaler".
void RegisterPerspectiveClasses();
