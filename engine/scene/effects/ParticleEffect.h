// A particle effect: the templates of one effect file with their actions,
// and, for a running effect, its particles. The effect library keeps one
// loaded definition per effect name and never runs it; each display
// instance runs a clone of its own, which it steps and draws every frame
// while particles are alive.
//
// Particles and action-state nodes are pooled per effect and reused, so
// steady emission allocates nothing after warm-up. Because effect files are
// outside data, a running effect is bounded: it holds at most `particleCap`
// live particles, spawning inside a spawn stops at a fixed depth, and one
// step or start makes a bounded number of spawn attempts. A refused spawn
// gives null, and emitters let the periods that came due go.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/base/InstanceHandle.h"
#include "engine/core/base/Matrix.h"
#include "engine/scene/effects/Particle.h"
#include "engine/scene/effects/ParticleTemplate.h"

namespace TarnEngine
{

class XmlNode;

// What one particle hands to the renderer.
struct ParticleSprite
{
    const EffectImage* image = nullptr;
    Matrix3 matrix;
    uint32_t colour = 0;
    uint32_t material = 0;
};

class ParticleEffect
{
public:
    static constexpr int32_t DefaultParticleCap = 20000;
    // Spawns that an action of a spawning particle may start, nested.
    static constexpr int32_t MaxSpawnDepth = 16;
    // Spawn attempts one step (or one start) may make, in units of the cap.
    static constexpr int32_t SpawnAttemptsPerCap = 4;

    ParticleEffect();
    ~ParticleEffect();
    ParticleEffect(const ParticleEffect&) = delete;
    ParticleEffect& operator=(const ParticleEffect&) = delete;

    // Builds every "Template" child of a "ParticleEffect" element, then
    // moves the templates that the "emitter" template emits (all but the
    // first it names) to the end, so they are stepped and drawn last.
    bool LoadTemplates(const XmlNode& element);

    // A new effect with its own copies of the templates, phases and actions
    // and no particles (the cap is kept).
    std::unique_ptr<ParticleEffect> Clone() const;
    // Every auto-emit template makes its root particle.
    void StartAutoEmit();
    // The template's root particle while it lives, else null.
    Particle* GetRootParticle(const ParticleTemplate& particleTemplate) const;

    // Ages, moves and kills the particles of every template by dt seconds;
    // true while particles are alive.
    bool Step(float dt);
    // Draws every particle through the renderer.
    void Draw(const Matrix3& parentMatrix, float parentOpacity, uint32_t materialFlags) const;
    // The sprite of one particle (its image, transform, colour and
    // material); false when its template has no image.
    static bool MakeSprite(const ParticleTemplate& particleTemplate, const Particle& particle,
                           const Matrix3& parentMatrix, float parentOpacity, uint32_t materialFlags,
                           ParticleSprite& sprite);

    // A new particle of the template, as child of `parent` when given; null
    // when the bounds refuse it or its own creation actions killed it.
    Particle* Spawn(ParticleTemplate& particleTemplate, Particle* parent, float dt);
    // Whether Spawn would take another particle now.
    bool CanSpawn() const;
    // Runs the destruction actions and returns the particle to the pool;
    // nothing for a particle that is not alive.
    void Kill(Particle& particle, float dt);

    // The template of that name, ignoring case, or null.
    ParticleTemplate* FindTemplate(const std::wstring& templateName) const;
    // The particle's state for (action, key), made with `initial` when new.
    ActionState* GetActionState(Particle& particle, const Effects::RPfxActionBase* action, uint32_t key,
                                float initial);

    // The instance that runs the effect (written by that instance).
    InstanceHandle owner;
    std::vector<std::unique_ptr<ParticleTemplate>> templates;
    int32_t liveCount = 0;
    float targetX = 0.0f;
    float targetY = 0.0f;
    int32_t particleCap = DefaultParticleCap;

private:
    Particle* takeParticle();
    ActionState* takeState();
    void stepTemplate(ParticleTemplate& particleTemplate, float dt);
    void resetSpawnBudget();

    ParticleLink freeParticles;
    ActionState* freeStates = nullptr;
    std::vector<std::unique_ptr<Particle[]>> particleBlocks;
    std::vector<std::unique_ptr<ActionState[]>> stateBlocks;
    int32_t spawnDepth = 0;
    int64_t spawnBudget = int64_t(DefaultParticleCap) * SpawnAttemptsPerCap;
};

} // namespace TarnEngine
