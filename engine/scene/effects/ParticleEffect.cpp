// Particle effects at run time; see ParticleEffect.h.
#include "engine/scene/effects/ParticleEffect.h"

#include <algorithm>
#include <cmath>

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/effects/RPfxEmitterActions.h"

namespace TarnEngine
{

using Effects::RPfxActionBase;

namespace
{

constexpr size_t ParticleBlock = 64;
constexpr size_t StateBlock = 64;

// The time an action is run with: its emitter's age for "Emitter" actions
// (0 without a live emitter), else the particle's age since the action's start.
float actionTime(const RPfxActionBase& action, const Particle& particle, const Particle* parent)
{
    if (action.timeSource == Effects::TimeSourceEmitter)
        return parent ? parent->age : 0.0f;
    return particle.age - action.startTime;
}

// At spawn and death a "Self" action runs at time 0.
float eventTime(const RPfxActionBase& action, const Particle* parent)
{
    return action.timeSource == Effects::TimeSourceEmitter && parent ? parent->age : 0.0f;
}

// A colour channel already scaled to 0..255, truncated; values outside (and
// NaN) are held at the ends so that they cannot spill into the next channel.
uint32_t channelByte(float scaled)
{
    if (!(scaled > 0.0f))
        return 0;
    return scaled >= 255.0f ? 255u : uint32_t(scaled);
}

struct SpawnDepth
{
    explicit SpawnDepth(int32_t& d) : depth(d) { ++depth; }
    ~SpawnDepth() { --depth; }
    int32_t& depth;
};

} // namespace

ParticleEffect::ParticleEffect() = default;

ParticleEffect::~ParticleEffect()
{
    // The templates (and their actions) go first; the phase lists only
    // point into the particle blocks, which go last.
    templates.clear();
}

bool ParticleEffect::LoadTemplates(const XmlNode& element)
{
    std::vector<XmlNode*> elements;
    element.GetChildren(L"Template", elements);
    for (const XmlNode* templateElement : elements)
    {
        auto particleTemplate = std::make_unique<ParticleTemplate>(this);
        particleTemplate->Load(*templateElement);
        templates.push_back(std::move(particleTemplate));
    }

    // The templates that the "emitter" template emits, all but the first it
    // names, go to the end in the order named: they are stepped and drawn last.
    const ParticleTemplate* emitter = nullptr;
    for (const auto& particleTemplate : templates)
        if (ToLower(particleTemplate->name) == L"emitter")
        {
            emitter = particleTemplate.get();
            break;
        }
    if (!emitter)
        return true;
    std::vector<std::wstring> names;
    for (const auto& action : emitter->actions)
    {
        if (auto* stream = RObjectCast<Effects::RPfxStreamEmitterAction>(action.get()))
            names.push_back(stream->params.particleType);
        else if (auto* explosion = RObjectCast<Effects::RPfxExplosionEmitterAction>(action.get()))
            names.push_back(explosion->params.particleType);
    }
    for (size_t i = 1; i < names.size(); ++i)
    {
        const auto found = std::find_if(templates.begin(), templates.end(),
                                        [&](const auto& t) { return EqualsNoCase(t->name, names[i]); });
        if (found == templates.end())
            continue;
        std::unique_ptr<ParticleTemplate> moved = std::move(*found);
        templates.erase(found);
        templates.push_back(std::move(moved));
    }
    return true;
}

std::unique_ptr<ParticleEffect> ParticleEffect::Clone() const
{
    auto clone = std::make_unique<ParticleEffect>();
    clone->particleCap = particleCap;
    for (const auto& source : templates)
    {
        auto copy = std::make_unique<ParticleTemplate>(clone.get());
        copy->name = source->name;
        copy->lifetime = source->lifetime;
        copy->regX = source->regX;
        copy->regY = source->regY;
        copy->autoEmit = source->autoEmit;
        copy->additive = source->additive;
        copy->images = source->images;
        for (const auto& action : source->actions)
        {
            const RObjectFactoryFn factory = action->GetClass()->GetFactory();
            RObject* made = factory ? factory() : nullptr;
            RPfxActionBase* twin = RObjectCast<RPfxActionBase>(made);
            if (!twin)
            {
                // Every action was made by its factory; this cannot fail
                // without breaking the indices, so the slot is kept empty.
                RObject::DeleteSelf(made);
                copy->actions.emplace_back();
                continue;
            }
            action->CopyTo(*twin);
            twin->owner = copy.get();
            copy->actions.emplace_back(twin);
        }
        auto mapActions = [&](const ParticlePhase& from, ParticlePhase& to)
        {
            to.owner = copy.get();
            to.index = from.index;
            to.start = from.start;
            to.end = from.end;
            for (const RPfxActionBase* action : from.actions)
                if (action->index >= 0 && size_t(action->index) < copy->actions.size() &&
                    copy->actions[size_t(action->index)])
                    to.actions.push_back(copy->actions[size_t(action->index)].get());
        };
        for (const auto& phase : source->phases)
        {
            auto twin = std::make_unique<ParticlePhase>();
            mapActions(*phase, *twin);
            copy->phases.push_back(std::move(twin));
        }
        mapActions(source->creation, copy->creation);
        mapActions(source->destruction, copy->destruction);
        clone->templates.push_back(std::move(copy));
    }
    return clone;
}

void ParticleEffect::resetSpawnBudget()
{
    spawnBudget = int64_t(std::max(particleCap, 1)) * SpawnAttemptsPerCap;
}

void ParticleEffect::StartAutoEmit()
{
    resetSpawnBudget();
    for (const auto& particleTemplate : templates)
    {
        if (!particleTemplate->autoEmit)
            continue;
        Particle* root = Spawn(*particleTemplate, nullptr, 0.0f);
        if (root)
            particleTemplate->root = root->Ref();
        else
            particleTemplate->root.Reset();
    }
}

Particle* ParticleEffect::GetRootParticle(const ParticleTemplate& particleTemplate) const
{
    return particleTemplate.root.Get();
}

bool ParticleEffect::CanSpawn() const
{
    return liveCount < particleCap && spawnDepth < MaxSpawnDepth && spawnBudget > 0;
}

Particle* ParticleEffect::takeParticle()
{
    if (!freeParticles.IsLinked())
    {
        particleBlocks.push_back(std::make_unique<Particle[]>(ParticleBlock));
        Particle* block = particleBlocks.back().get();
        // Linked so that the block is used from its start.
        for (size_t i = ParticleBlock; i-- > 0;)
            block[i].InsertAfter(&freeParticles);
    }
    Particle& p = static_cast<Particle&>(*freeParticles.next);
    p.Unlink();
    return &p;
}

ActionState* ParticleEffect::takeState()
{
    if (!freeStates)
    {
        stateBlocks.push_back(std::make_unique<ActionState[]>(StateBlock));
        ActionState* block = stateBlocks.back().get();
        for (size_t i = StateBlock; i-- > 0;)
        {
            block[i].next = freeStates;
            freeStates = &block[i];
        }
    }
    ActionState* state = freeStates;
    freeStates = state->next;
    state->next = nullptr;
    return state;
}

Particle* ParticleEffect::Spawn(ParticleTemplate& particleTemplate, Particle* parent, float dt)
{
    if (!CanSpawn() || particleTemplate.phases.empty())
        return nullptr;
    --spawnBudget;
    const SpawnDepth depth(spawnDepth);

    Particle& p = *takeParticle();
    p.parent = parent ? parent->Ref() : ParticleRef{};
    p.owner = &particleTemplate;
    p.lifetime = particleTemplate.lifetime;
    p.age = 0.0f;
    p.x = p.y = p.vx = p.vy = p.ax = p.ay = 0.0f;
    p.rotation = 0.0f;
    p.scaleX = p.scaleY = 1.0f;
    p.red = p.green = p.blue = p.opacity = 1.0f;
    p.frame = 0;
    p.dying = false;
    while (ActionState* state = p.states)
    {
        p.states = state->next;
        state->next = freeStates;
        freeStates = state;
    }
    ++p.serial;
    ++liveCount;
    if (parent)
    {
        p.x = parent->x;
        p.y = parent->y;
    }
    p.targetX = targetX;
    p.targetY = targetY;

    // An action that kills the new particle ends its spawn: the record is
    // back in the pool and must not be linked anywhere else.
    const uint32_t serial = p.serial;
    for (RPfxActionBase* action : particleTemplate.creation.actions)
    {
        action->Apply(p, eventTime(*action, parent), dt);
        if (p.serial != serial)
            return nullptr;
    }
    ParticlePhase& first = *particleTemplate.phases.front();
    p.InsertBefore(&first.live);
    for (RPfxActionBase* action : first.actions)
    {
        action->Apply(p, eventTime(*action, parent), dt);
        if (p.serial != serial)
            return nullptr;
    }
    return &p;
}

void ParticleEffect::Kill(Particle& particle, float dt)
{
    // A record in the pool, or one whose destruction actions are running, has nothing left to kill.
    if (particle.dying || !particle.IsLive())
        return;
    particle.dying = true;
    const Particle* parent = particle.parent.Get();
    if (particle.owner)
        for (RPfxActionBase* action : particle.owner->destruction.actions)
            action->Apply(particle, eventTime(*action, parent), dt);
    particle.Unlink();
    particle.InsertAfter(&freeParticles);
    particle.dying = false;
    --liveCount;
    ++particle.serial;
}

ActionState* ParticleEffect::GetActionState(Particle& particle, const RPfxActionBase* action, uint32_t key,
                                            float initial)
{
    for (ActionState* state = particle.states; state; state = state->next)
        if (state->action == action && state->key == key)
            return state;
    ActionState* state = takeState();
    state->action = action;
    state->key = key;
    state->value = initial;
    state->next = particle.states;
    particle.states = state;
    return state;
}

bool ParticleEffect::Step(float dt)
{
    resetSpawnBudget();
    for (size_t i = 0; i < templates.size(); ++i)
        stepTemplate(*templates[i], dt);
    return liveCount > 0;
}

void ParticleEffect::stepTemplate(ParticleTemplate& particleTemplate, float dt)
{
    const size_t phaseCount = particleTemplate.phases.size();
    for (size_t i = 0; i < phaseCount; ++i)
    {
        ParticlePhase& phase = *particleTemplate.phases[i];
        ParticleLink* link = phase.live.next;
        while (link != &phase.live)
        {
            Particle& p = static_cast<Particle&>(*link);
            link = link->next;
            p.age += dt;
            if (p.age >= p.lifetime)
            {
                Kill(p, dt);
                continue;
            }
            if (p.age >= phase.end && i + 1 < phaseCount)
            {
                // Stepped once more when the next phase's list is walked, so a
                // particle passes through several short phases in one frame.
                p.Unlink();
                p.InsertBefore(&particleTemplate.phases[i + 1]->live);
                p.age -= dt;
                continue;
            }
            const Particle* parent = p.parent.Get();
            p.ax = p.ay = 0.0f;
            const uint32_t serial = p.serial;
            for (RPfxActionBase* action : phase.actions)
            {
                action->Apply(p, actionTime(*action, p, parent), dt);
                if (p.serial != serial)
                    break;
            }
            if (p.serial != serial)
                continue;
            p.vx += p.ax * dt;
            p.vy += p.ay * dt;
            p.x += p.vx * dt;
            p.y += p.vy * dt;
        }
    }
}

bool ParticleEffect::MakeSprite(const ParticleTemplate& particleTemplate, const Particle& particle,
                                const Matrix3& parentMatrix, float parentOpacity, uint32_t materialFlags,
                                ParticleSprite& sprite)
{
    const size_t imageCount = particleTemplate.images.size();
    if (imageCount == 0)
        return false;
    const EffectImage& image = particleTemplate.images[particle.frame % imageCount];
    // The image's own placement, then the registration point as pivot, then
    // scale, rotation and position, then the parent's transform.
    Matrix3 pivot;
    pivot.SetTranslation(-float(particleTemplate.regX), -float(particleTemplate.regY));
    const float c = std::cos(particle.rotation);
    const float s = std::sin(particle.rotation);
    Matrix3 local;
    local.m[0][0] = particle.scaleX * c;
    local.m[0][1] = particle.scaleX * s;
    local.m[1][0] = -particle.scaleY * s;
    local.m[1][1] = particle.scaleY * c;
    local.m[2][0] = particle.x;
    local.m[2][1] = particle.y;
    sprite.image = &image;
    sprite.matrix =
        Matrix3::Multiply(Matrix3::Multiply(Matrix3::Multiply(image.placement, pivot), local), parentMatrix);
    sprite.colour = channelByte(particle.opacity * 255.0f * parentOpacity) << 24 |
                    channelByte(particle.red * 255.0f) << 16 | channelByte(particle.green * 255.0f) << 8 |
                    channelByte(particle.blue * 255.0f);
    sprite.material = (particleTemplate.additive ? eMaterialAdditive : eMaterialAlpha) | materialFlags;
    return true;
}

void ParticleEffect::Draw(const Matrix3& parentMatrix, float parentOpacity, uint32_t materialFlags) const
{
    Renderer* renderer = Renderer::Get();
    if (!renderer)
        return;
    ParticleSprite sprite;
    for (const auto& particleTemplate : templates)
    {
        if (particleTemplate->images.empty())
            continue;
        for (const auto& phase : particleTemplate->phases)
            for (const ParticleLink* link = phase->live.next; link != &phase->live; link = link->next)
            {
                const Particle& p = static_cast<const Particle&>(*link);
                MakeSprite(*particleTemplate, p, parentMatrix, parentOpacity, materialFlags, sprite);
                renderer->DrawQuad({sprite.material, sprite.image->texture, sprite.image->filtering},
                                   sprite.matrix, sprite.image->rect, sprite.colour, true);
            }
    }
}

ParticleTemplate* ParticleEffect::FindTemplate(const std::wstring& templateName) const
{
    for (const auto& particleTemplate : templates)
        if (EqualsNoCase(particleTemplate->name, templateName))
            return particleTemplate.get();
    return nullptr;
}

} // namespace TarnEngine
