// The nugget base, the nugget list and its loader; see RNuggetBase.h.
#include "engine/scene/definitions/nuggets/RNuggetBase.h"

#include "engine/core/xml/XmlNode.h"
#include "engine/scene/definitions/nuggets/REffectNugget.h"
#include "engine/scene/definitions/nuggets/RHitTestTypeNugget.h"
#include "engine/scene/definitions/nuggets/RLuaClassNugget.h"
#include "engine/scene/definitions/nuggets/RMaterialNugget.h"
#include "engine/scene/definitions/nuggets/RMovieClassNugget.h"
#include "engine/scene/definitions/nuggets/RSoundEffectNugget.h"
#include "engine/scene/definitions/nuggets/RVideoNugget.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RNuggetBase, RObject, RNoFactory)

bool LoadNuggets(const XmlNode* element, NuggetList& list)
{
    if (!element)
        return false;
    RClass* nuggetBase = RNuggetBase::StaticClass();
    for (const std::unique_ptr<XmlNode>& child : element->children)
    {
        // Content names classes here, so only nugget classes may be made: any other record (an
        // abstract one, or a class that is no nugget) is passed over before its factory runs.
        RClass* record = RClass::FindByName(L"R" + child->GetName());
        if (!record || record == nuggetBase || !record->IsSubclassOf(nuggetBase) || !record->GetFactory())
            continue;
        RObject* made = record->GetFactory()();
        std::unique_ptr<RNuggetBase> nugget(RObjectCast<RNuggetBase>(made));
        if (!nugget)
        {
            RObject::DeleteSelf(made);
            continue;
        }
        // A nugget that does not load stays in the list, without its setting.
        nugget->Load(*child);
        list.nuggets.push_back(std::move(nugget));
    }
    for (const std::unique_ptr<RNuggetBase>& nugget : list.nuggets)
    {
        if (RClass* instanceClass = nugget->GetClassOverride())
        {
            list.classOverride = instanceClass;
            break;
        }
    }
    return true;
}

void ApplyNuggets(const NuggetList& list, Instance_Base* instance)
{
    for (const std::unique_ptr<RNuggetBase>& nugget : list.nuggets)
        nugget->Apply(instance);
}

void PostApplyNuggets(const NuggetList& list, Instance_Base* instance)
{
    for (const std::unique_ptr<RNuggetBase>& nugget : list.nuggets)
        nugget->PostApply(instance);
}

void ClearNuggets(NuggetList& list)
{
    list.nuggets.clear();
}

void DestroyNuggets(NuggetList& list)
{
    ClearNuggets(list);
    list.nuggets.shrink_to_fit();
}

void RegisterNuggetClasses()
{
    RNuggetBase::StaticClass();
    RMaterialNugget::StaticClass();
    RMovieClassNugget::StaticClass();
    RLuaClassNugget::StaticClass();
    RHitTestTypeNugget::StaticClass();
    RVideoNugget::StaticClass();
    RSoundEffectNugget::StaticClass();
    REffectNugget::StaticClass();
}

} // namespace TarnEngine
