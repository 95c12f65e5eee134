// A particle effect in the display tree: a leaf instance that owns one running
// ParticleEffect (a clone of a library definition), places it with its own
// transform, is stepped by its parent movie's children pass through
// UpdateEffect and drawn in the parent's draw pass. Its parent removes it in
// the update in which UpdateEffect reports that the last particle has died.
//
// An effect may wait before it runs (an effect nugget's random start, or a
// nugget that does not play at once): while it waits it counts as alive and
// is drawn, but its particles do not move. A delayed start is a timer of the
// timer service, cancelled when it fires or when the instance goes first.
//
// Also here: SpawnParticleEffect, the one way effects are made by name
// (movies' "CreateParticleEffect", effect nuggets, the cursor effect), and
// InstallEffectServices, which start-up calls so that effect nuggets and the
// actions that ask about their instance reach the display tree.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/display/node/Instance_Base.h"
#include "engine/scene/effects/ParticleEffect.h"
#include "engine/scene/ui/TimerService.h"

#include <cstdint>
#include <memory>
#include <string>

namespace TarnEngine
{

class Instance_Movie;
class ParticleManager;

class Instance_Effect : public Instance_Base, public ITimerListener
{
    TARN_RCLASS(Instance_Effect)
    TARN_LUA_CLASS("Instance_Effect")
public:
    Instance_Effect();
    ~Instance_Effect() override;

    void Initialize(const std::wstring& instanceName) override;
    // Never ready: a movie that holds an effect is never culled, as an effect has no extent.
    bool IsReady() override { return false; }
    // Particles take their colours from their actions.
    void SetColor(uint32_t) override {}
    void Draw(const Matrix3& parentMatrix, float parentAlpha) override;
    // Far corners: an effect has no extent of its own, and movies leave effects out of theirs.
    void ComputeBounds() override;
    // The copy runs a clone of the source's effect of its own.
    void CopyFrom(const Instance_Base& source) override;

    // The delayed start fell due.
    void OnTimer(InstanceHandle timer) override;

    // Takes the effect and tells it which instance runs it.
    void SetEffect(std::unique_ptr<ParticleEffect> running);
    ParticleEffect* GetEffect() const { return effect.get(); }
    // Writes the instance's own handle into its effect.
    void SetEffectOwner();
    // Steps the effect by dt seconds: true while it waits or has particles alive, false without an
    // effect or once its last particle died.
    bool UpdateEffect(float dt);
    // Runs the effect only after `delay` seconds. A delay the timer service does not schedule
    // (too short, not a number, no service) starts the effect at once.
    void StartAfterDelay(float delay);
    // Waits with no timer: alive and drawn, not stepped.
    void Hold();

    void SetEffectTarget(float targetX, float targetY);
    float GetEffectTargetX() const;
    float GetEffectTargetY() const;

    // ---- The particle that scripts select; valid while its record keeps the serial it had.
    // The root particle of the first auto-emitting template; false when none is alive.
    bool SelectRootParticle();
    // The root particle of the template of that name (ignoring case).
    bool SelectAutoEmitParticle(const std::wstring& templateName);
    Particle* GetSelectedParticle() const;
    // With parentSpace, (x, y) is in the parent's space and is first taken into the effect's.
    void SetSelectedParticlePosition(float px, float py, bool parentSpace);
    void SetSelectedParticleVelocity(float vx, float vy);
    int32_t GetLiveParticleCount() const;
    // The template's action labelled "color", when it sets RGB colours, gets the constant colour
    // 0xRRGGBB (0 to 255 a channel).
    void SetParticleColor(const std::wstring& templateName, uint32_t colour);

    static void RegisterLua(lua_State* state);

    InstanceHandle startTimer;
    uint64_t startTimerService = 0; // the identity of the service that made startTimer
    std::unique_ptr<ParticleEffect> effect;
    Particle* selectedParticle = nullptr;
    uint32_t selectedParticleSerial = 0;
    bool startPending = false;

private:
    void select(Particle* particle);
    // Marks the start timer removed, so the service drops it without a notice.
    void cancelStartTimer();
};

// Makes the named effect (loading its file first when the library does not hold it) and places it
// as a child of `parent` at (x, y) of the parent's space, with its auto-emitting templates started.
// An empty instance name becomes the effect name and a serial that counts every generated name.
// The zero handle when the effect cannot be loaded or made, or the name is taken among the
// parent's children; no effect is left behind then.
InstanceHandle SpawnParticleEffect(const std::wstring& effectName, Instance_Movie* parent, InstanceHandle& out,
                                   const std::wstring& instanceName, float x, float y);

// The user interface's cursor effect: spawned under `root` with a generated name at (x, y), its
// target point set. The handle to keep, or the zero handle.
InstanceHandle SpawnCursorEffect(Instance_Movie* root, const std::wstring& effectName, float x, float y,
                                 float targetX, float targetY);

// Connects the particle system to the display tree: effect nuggets spawn, hold, delay and advance
// effect instances, and the manager answers the actions' questions about an effect's instance.
void InstallEffectServices(ParticleManager& manager);

} // namespace TarnEngine
