// The video nugget: an image of the definition shows a video (with an optional alpha video) instead
// of its picture, started at once when the nugget says so.
#pragma once

#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include <string>

namespace TarnEngine
{

class RVideoNugget : public RNuggetBase
{
    TARN_RCLASS(RVideoNugget)
public:
    bool Load(const XmlNode& element) override;
    // Images only.
    void Apply(Instance_Base* instance) override;

    std::wstring fileName;
    std::wstring alphaFileName;
    bool autoPlay = false;
    bool loop = false;
    // Read and kept; the video starts at its beginning whatever it says.
    float delay = 0.0f;
};

} // namespace TarnEngine
