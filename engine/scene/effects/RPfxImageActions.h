// The actions that concern a template's images: stepping a particle
// through a sequence of image frames, replacing the template's image list
// when the effect is loaded, and scattering particles over the visible
// pixels of the image beside the effect.
#pragma once

#include <string>
#include <vector>

#include "engine/scene/effects/RPfxActionBase.h"

namespace TarnEngine
{
namespace Effects
{

class RPfxSetImageListFrameAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetImageListFrameAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void Apply(Particle& particle, float t, float dt) override;
    void CopyTo(RPfxActionBase& target) const override;

    struct Parameters
    {
        std::vector<int32_t> frameSequence;
        ParameterCurve rate; // frame changes a second
    };
    Parameters params;
};

// A load-time action: it never runs on particles.
class RPfxSetFamilyImageListAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxSetFamilyImageListAction)
public:
    bool ReadParameters(const XmlNode& element) override;
    void CopyTo(RPfxActionBase& target) const override;
    bool IsLoadTimeAction() const override { return true; }
    // Replaces the template's images by those named that resolve, in order.
    void ApplyAtLoad(ParticleTemplate& particleTemplate) override;

    struct Parameters
    {
        std::vector<std::wstring> imageNames;
    };
    Parameters params;
};

class RPfxImageScatterAction : public RPfxActionBase
{
    TARN_RCLASS(RPfxImageScatterAction)
public:
    static constexpr int Tries = 150;
    void Apply(Particle& particle, float t, float dt) override;
};

} // namespace Effects
} // namespace TarnEngine
