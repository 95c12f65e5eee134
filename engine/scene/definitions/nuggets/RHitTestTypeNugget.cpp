// The hit-test nugget; see RHitTestTypeNugget.h.
#include "engine/scene/definitions/nuggets/RHitTestTypeNugget.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/definitions/DefinitionValues.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/node/Instance_Base.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RHitTestTypeNugget, RNuggetBase, RObjectFactory<RHitTestTypeNugget>)

bool RHitTestTypeNugget::Load(const XmlNode& element)
{
    static const wchar_t* const kTypes[] = {L"All", L"NonAlpha", L"None"};
    hitTestType = 0;
    const std::wstring type = element.GetChildText(L"HitTest");
    if (!type.empty())
    {
        for (uint32_t value = 0; value < std::size(kTypes); ++value)
        {
            if (EqualsNoCase(type, kTypes[value]))
            {
                hitTestType = value;
                break;
            }
        }
    }
    // The image compares the threshold unsigned: -1 makes every pixel a miss.
    threshold = ReadSignedValue(element.GetChildText(L"Threshold"));
    return true;
}

void RHitTestTypeNugget::Apply(Instance_Base* instance)
{
    if (auto* image = dynamic_cast<IImageInstanceSetup*>(instance))
        image->SetHitTest(hitTestType, uint32_t(threshold));
}

} // namespace TarnEngine
