// The movie-class nugget; see RMovieClassNugget.h.
#include "engine/scene/definitions/nuggets/RMovieClassNugget.h"

#include "engine/core/xml/XmlNode.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RCLASS(RMovieClassNugget, RNuggetBase, RObjectFactory<RMovieClassNugget>)

bool RMovieClassNugget::Load(const XmlNode& element)
{
    instanceClass = nullptr;
    const std::wstring className = element.GetChildText(L"MovieClassName");
    if (className.empty())
        return true;
    // Only script-bound instance classes are classes of instances.
    RClass* record = RClass::FindByName(className);
    instanceClass = RObjectCast<RInstanceClass>(record);
    return instanceClass != nullptr;
}

} // namespace TarnEngine
