// The sound-effect nugget; see RSoundEffectNugget.h.
#include "engine/scene/definitions/nuggets/RSoundEffectNugget.h"

#include "engine/core/xml/XmlNode.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RSoundEffectNugget, RNuggetBase, RObjectFactory<RSoundEffectNugget>)

bool RSoundEffectNugget::Load(const XmlNode& element)
{
    eventName = element.GetChildText(L"EventName");
    soundName = element.GetChildText(L"SoundName");
    return true;
}

} // namespace TarnEngine
