// The material nugget: the blend mode and mask flags that instances of a definition are drawn with.
// The flags always carry eMaterialNoAutoInherit, so an instance keeps its own material when it
// becomes a timeline child instead of taking its parent's.
#pragma once

#include "engine/graphics/device/DrawCall.h"
#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include <cstdint>

namespace TarnEngine
{

class RMaterialNugget : public RNuggetBase
{
    TARN_RCLASS(RMaterialNugget)
public:
    // "Material" (a blend mode by name), "Masking" ("MaskedIn", "MaskedOut") and "MaskClear"
    // ("true"), all ignoring case; unknown words leave the defaults.
    bool Load(const XmlNode& element) override;
    void Apply(Instance_Base* instance) override;

    uint32_t flags = eMaterialAlpha;
};

} // namespace TarnEngine
