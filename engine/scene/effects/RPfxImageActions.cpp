// The image actions; see RPfxImageActions.h.
#include "engine/scene/effects/RPfxImageActions.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/ParticleEffect.h"
#include "engine/scene/effects/ParticleManager.h"

namespace TarnEngine
{
namespace Effects
{

TARN_IMPLEMENT_RCLASS(RPfxSetImageListFrameAction, RPfxActionBase, RObjectFactory<RPfxSetImageListFrameAction>)
TARN_IMPLEMENT_RCLASS(RPfxSetFamilyImageListAction, RPfxActionBase, RObjectFactory<RPfxSetFamilyImageListAction>)
TARN_IMPLEMENT_RCLASS(RPfxImageScatterAction, RPfxActionBase, RObjectFactory<RPfxImageScatterAction>)

// ---- RPfxSetImageListFrameAction

bool RPfxSetImageListFrameAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    const std::wstring sequence = ChildText(element, L"FrameSequence");
    if (!sequence.empty())
    {
        params.frameSequence.clear();
        for (const std::wstring& frame : SplitString(sequence, L','))
            params.frameSequence.push_back(ParseEffectInteger(frame));
    }
    ReadCurve(element, L"Rate", params.rate);
    return true;
}

void RPfxSetImageListFrameAction::Apply(Particle& particle, float t, float)
{
    ParticleEffect* effect = GetEffect();
    if (params.frameSequence.empty() || !effect)
        return;
    ActionState& clock = *effect->GetActionState(particle, this, 0, particle.age);
    ActionState& counter = *effect->GetActionState(particle, this, 1, 0.0f);
    if (!(clock.value <= particle.age))
        return;
    // The counter is kept modulo the sequence's length, so it stays exact.
    const size_t length = params.frameSequence.size();
    const size_t next = size_t(counter.value) % length;
    particle.frame = uint32_t(params.frameSequence[next]);
    counter.value = float((next + 1) % length);
    clock.value = particle.age + 1.0f / params.rate.Evaluate(t);
}

void RPfxSetImageListFrameAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetImageListFrameAction>(&target))
        twin->params = params;
}

// ---- RPfxSetFamilyImageListAction

bool RPfxSetFamilyImageListAction::ReadParameters(const XmlNode& element)
{
    RPfxActionBase::ReadParameters(element);
    const XmlNode* names = element.FindChild(L"ImageNames");
    if (!names)
        return true;
    for (const auto& entry : names->children)
        if (EqualsNoCase(entry->GetName(), L"ImageName"))
            params.imageNames.push_back(ChildText(*entry, L"Image"));
    return true;
}

void RPfxSetFamilyImageListAction::ApplyAtLoad(ParticleTemplate& particleTemplate)
{
    particleTemplate.images.clear();
    for (const std::wstring& name : params.imageNames)
    {
        EffectImage image;
        if (ResolveEffectImage(name, image))
            particleTemplate.images.push_back(std::move(image));
    }
}

void RPfxSetFamilyImageListAction::CopyTo(RPfxActionBase& target) const
{
    RPfxActionBase::CopyTo(target);
    if (auto* twin = RObjectCast<RPfxSetFamilyImageListAction>(&target))
        twin->params = params;
}

// ---- RPfxImageScatterAction

void RPfxImageScatterAction::Apply(Particle& particle, float, float)
{
    IEffectOwnerServices* services = ParticleManager::GetOwnerServices();
    const ParticleEffect* effect = GetEffect();
    IEffectOwnerServices::ScatterImage image;
    if (!services || !effect || !services->GetScatterImage(effect->owner, image))
        return;
    for (int i = 0; i < Tries; ++i)
    {
        const int32_t x = PoolRandomInt(0, image.width);
        const int32_t y = PoolRandomInt(0, image.height);
        if (services->HitTestScatterPixel(effect->owner, x, y))
        {
            particle.x = float(x) * image.scaleX;
            particle.y = float(y) * image.scaleY;
            return;
        }
    }
    particle.x = float(image.width / 2) * image.scaleX;
    particle.y = float(image.height / 2) * image.scaleY;
}

} // namespace Effects
} // namespace TarnEngine
