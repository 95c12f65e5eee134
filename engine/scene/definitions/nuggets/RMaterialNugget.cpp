// The material nugget; see RMaterialNugget.h.
#include "engine/scene/definitions/nuggets/RMaterialNugget.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/display/Instance_Base.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RMaterialNugget, RNuggetBase, RObjectFactory<RMaterialNugget>)

namespace
{

constexpr uint32_t kMaskedIn = 0x10000;
constexpr uint32_t kMaskClear = 0x20000;
constexpr uint32_t kMaskedOut = 0x40000;
constexpr uint32_t kNoAutoInherit = 0x80000;

} // namespace

bool RMaterialNugget::Load(const XmlNode& element)
{
    static const wchar_t* const kBlendModes[] = {L"NoBlend", L"Alpha", L"Additive", L"NoTexture", L"MaskLayer",
                                                 L"Debug"};
    flags = 1;
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
        flags |= kMaskedIn;
    else if (EqualsNoCase(masking, L"MaskedOut"))
        flags |= kMaskedOut;
    if (EqualsNoCase(element.GetChildText(L"MaskClear"), L"true"))
        flags |= kMaskClear;
    flags |= kNoAutoInherit;
    return true;
}

void RMaterialNugget::Apply(Instance_Base* instance)
{
    if (instance)
        instance->SetMaterial(flags);
}

} // namespace TarnEngine
