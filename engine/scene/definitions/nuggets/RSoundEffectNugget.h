// The sound-effect nugget: the sound that instances of a definition play for one of their events
// ("bttn_click", "screen_open" and the like). It does nothing to the instance itself: the instance
// asks its definition for the sound when the event happens (DefinitionMap::FindEventSound).
#pragma once

#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include <string>

namespace TarnEngine
{

class RSoundEffectNugget : public RNuggetBase
{
    TARN_RCLASS(RSoundEffectNugget)
public:
    bool Load(const XmlNode& element) override;

    std::wstring eventName;
    std::wstring soundName;
};

} // namespace TarnEngine
