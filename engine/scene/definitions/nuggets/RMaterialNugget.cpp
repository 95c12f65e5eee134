// The material nugget; see RMaterialNugget.h.
#include "engine/scene/definitions/nuggets/RMaterialNugget.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/DrawCall.h"
#include "engine/scene/display/node/Instance_Base.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RMaterialNugget, RNuggetBase, RObjectFactory<RMaterialNugget>)

bool RMaterialNugget::Load(const XmlNode& element)
{
    static const wchar_t* const kBlendModes[] = {L"NoBlend", L"Alpha", L"Additive", L"NoTexture", L"MaskLayer",
                                                 L"Debug"};
    flags = eMaterialAlpha;
    const std::wstring material = element.GetChildText(L"Material");
    if (!material.empty())
    {
        for (uint32_t mode = 0; mode < std::size(kBlendModes); ++mode)
        {
            if (EqualsNoCase(material, kBlendModes[mode]))
            {
                flags = mode;
                break;
            }
        }
    }
    const std::wstring masking = element.GetChildText(L"Masking");
    if (EqualsNoCase(masking, L"MaskedIn"))
        flags |= eMaterialMaskedIn;
    else if (EqualsNoCase(masking, L"MaskedOut"))
        flags |= eMaterialMaskedOut;
    if (EqualsNoCase(element.GetChildText(L"MaskClear"), L"true"))
        flags |= eMaterialMaskClear;
    flags |= eMaterialNoAutoInherit;
    return true;
}

void RMaterialNugget::Apply(Instance_Base* instance)
{
    if (instance)
        instance->SetMaterial(flags);
}

} // namespace TarnEngine
