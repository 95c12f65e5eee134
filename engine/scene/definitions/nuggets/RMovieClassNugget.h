// The movie-class nugget: the run-time class that instances of a definition (or of one instance
// entry) are made as. This is how game classes registered by name (screens, boards, items) are
// attached to definitions.
#pragma once

#include "engine/scene/definitions/nuggets/RNuggetBase.h"

namespace TarnEngine
{

class RMovieClassNugget : public RNuggetBase
{
    TARN_RCLASS(RMovieClassNugget)
public:
    // "MovieClassName" must name an instance class; false (and no class) for any other name.
    bool Load(const XmlNode& element) override;
    RClass* GetClassOverride() const override { return instanceClass; }

    RClass* instanceClass = nullptr;
};

} // namespace TarnEngine
