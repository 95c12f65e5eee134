// The definition base; see Definition_Base.h.
#include "engine/scene/definitions/Definition_Base.h"

namespace TarnEngine
{

Definition_Base::~Definition_Base()
{
    DestroyNuggets(nuggets);
}

void Definition_Base::AddNuggets(const XmlNode& nuggetsElement, const std::wstring& instanceName)
{
    // Only movies have instance entries.
    if (instanceName.empty())
        LoadNuggets(&nuggetsElement, nuggets);
}

void Definition_Base::ClearNuggets()
{
    TarnEngine::ClearNuggets(nuggets);
}

} // namespace TarnEngine
