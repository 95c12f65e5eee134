// The effect nugget; see REffectNugget.h.
#include "engine/scene/definitions/nuggets/REffectNugget.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/definitions/DefinitionValues.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <algorithm>

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(REffectNugget, RNuggetBase, RObjectFactory<REffectNugget>)

namespace
{

EffectNuggetServices& services()
{
    static EffectNuggetServices installed;
    return installed;
}

} // namespace

void SetEffectNuggetServices(EffectNuggetServices replacement)
{
    services() = std::move(replacement);
}

const EffectNuggetServices& GetEffectNuggetServices()
{
    return services();
}

bool REffectNugget::Load(const XmlNode& element)
{
    effectName = element.GetChildText(L"EffectName");
    instanceName = element.GetChildText(L"InstanceName");
    if (instanceName.empty())
        instanceName = effectName;
    autoPlay = element.GetChildText(L"AutoPlay") == L"true";
    x = float(ReadRealValue(element.GetChildText(L"EffectX")));
    y = float(ReadRealValue(element.GetChildText(L"EffectY")));
    skipFrames = ReadSignedValue(element.GetChildText(L"SkipFrames"));
    const float randomStart = float(ReadRealValue(element.GetChildText(L"RandomStart")));
    startDelay = randomStart > 0.0f ? randomStart * RandomGenerator::ForThread().NextUnitFloat() : 0.0f;
    return true;
}

void REffectNugget::PostApply(Instance_Base* instance)
{
    Instance_Movie* movie = RObjectCast<Instance_Movie>(instance);
    const EffectNuggetServices& particles = services();
    if (!movie || !particles.spawn)
        return;
    const InstanceHandle handle =
        particles.spawn(effectName, movie, instanceName.empty() ? effectName : instanceName, x, y);
    Instance_Base* effect = handle.GetInstance();
    if (!effect)
        return;
    if (!autoPlay)
    {
        if (particles.hold)
            particles.hold(effect);
    }
    else if (startDelay > 0.0f && particles.startAfterDelay)
        particles.startAfterDelay(effect, startDelay);
    const int32_t steps = std::min(skipFrames, MaxSkipFrames);
    // An effect that ends while it is advanced has nothing left to advance.
    for (int32_t i = 0; i < steps && particles.update; ++i)
        if (!particles.update(effect, SkipStep))
            break;
}

} // namespace TarnEngine
