// The hit-test nugget: how the pointer hits the images of a definition (everywhere, only where the
// pixel's alpha is above a threshold, or nowhere).
#pragma once

#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include <cstdint>

namespace TarnEngine
{

class RHitTestTypeNugget : public RNuggetBase
{
    TARN_RCLASS(RHitTestTypeNugget)
public:
    // "HitTest": "All", "NonAlpha" or "None" ignoring case; "Threshold": a signed integer.
    bool Load(const XmlNode& element) override;
    // Images only.
    void Apply(Instance_Base* instance) override;

    uint32_t hitTestType = 0; // HTT_All
    int32_t threshold = 0;
};

} // namespace TarnEngine
