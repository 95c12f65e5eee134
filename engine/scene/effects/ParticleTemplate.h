// One particle template of an effect: what its particles look like (lifetime,
// images, registration point, blending) and what they do, as a timeline of
// phases. Each behaviour item of the effect file wraps one action with a
// layer and an event; loading turns the timed items into consecutive phases
// of particle age, each running at most one action per layer, and gathers
// the creation and destruction items into two phases of their own. Particles
// live in the live lists of the phases and move on as they age, so a phase
// runs one fixed list of actions on its particles without searching.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/base/Matrix.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/scene/effects/Particle.h"

namespace TarnEngine
{

class ParticleEffect;
class XmlNode;

namespace Effects
{
class RPfxActionBase;
}

// An image of a template, resolved from an image definition: the texture
// and its source rectangle, and the placement of the unit quad in the
// image's own space (its definition's position and size).
struct EffectImage
{
    std::wstring name;
    RefPtr<IResourceTexture> texture;
    SpriteRect rect;
    Matrix3 placement;
    bool filtering = true;
};

// One interval of particle age in a template's timeline.
struct ParticlePhase
{
    ParticlePhase() = default;
    ParticlePhase(const ParticlePhase&) = delete;
    ParticlePhase& operator=(const ParticlePhase&) = delete;

    ParticleTemplate* owner = nullptr;
    int32_t index = 0;
    float start = 0.0f;
    float end = 0.0f;
    // At most one per layer, in layer order.
    std::vector<Effects::RPfxActionBase*> actions;
    // Sentinel of the particles now in this phase.
    ParticleLink live;
};

class ParticleTemplate
{
public:
    // The end of the last phase: the float whose bits are 0x7EFFFFFF.
    static constexpr float PhaseEnd = 1.7014117e38f;

    explicit ParticleTemplate(ParticleEffect* effect);
    ~ParticleTemplate();
    ParticleTemplate(const ParticleTemplate&) = delete;
    ParticleTemplate& operator=(const ParticleTemplate&) = delete;

    // Reads one "Template" element: attributes, behaviour items, the
    // timeline. Load-time actions are applied and deleted here.
    void Load(const XmlNode& element);

    // The first action whose label matches, ignoring case, or null.
    Effects::RPfxActionBase* FindAction(const std::wstring& label) const;

    ParticleEffect* effect = nullptr;
    std::wstring name;
    float lifetime = 1.0f;
    int32_t regX = 0;
    int32_t regY = 0;
    bool autoEmit = false;
    bool additive = true;
    std::vector<EffectImage> images;
    // Every action of the template, owned, in layer order; each knows its index here.
    std::vector<std::unique_ptr<Effects::RPfxActionBase>> actions;
    ParticlePhase creation;
    ParticlePhase destruction;
    // The timeline, at least one phase once loaded or cloned.
    std::vector<std::unique_ptr<ParticlePhase>> phases;
    // The particle that auto-emission made.
    ParticleRef root;
};

// Resolves an image definition's name into an image; false when there is none.
bool ResolveEffectImage(const std::wstring& name, EffectImage& image);

} // namespace TarnEngine
