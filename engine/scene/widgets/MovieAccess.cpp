// See MovieAccess.h.
#include "engine/scene/widgets/MovieAccess.h"

#include "engine/core/text/TextConversion.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/display/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

namespace TarnEngine::Widgets
{

uint32_t FrameCount(Instance_Movie& movie)
{
    const UserInterface* ui = UserInterface::Get();
    if (!ui || !ui->GetDefinitionMap() || movie.definitionName.empty())
        return 0;
    const auto* definition = dynamic_cast<const Definition_Movie*>(
        ui->GetDefinitionMap()->FindDefinition(movie.definitionName, int32_t(movie.definitionIndex)));
    return definition ? definition->length : 0;
}

void ShowFrame(Instance_Movie& movie, uint32_t frame)
{
    movie.requestedFrame = frame;
    movie.currentFrame = frame;
}

void SetPlaying(Instance_Movie& movie, bool play)
{
    movie.playing = play;
}

Instance_Base* FindChild(Instance_Movie& movie, const std::wstring& name)
{
    for (Instance_Base* child : movie.children)
        if (child->name == name)
            return child;
    return nullptr;
}

InstanceHandle CreateChildOfClass(Instance_Movie& parent, const std::wstring& definition,
                                  const std::wstring& instanceName, const std::wstring& className)
{
    RClass* instanceClass = nullptr;
    if (!className.empty())
        if (RClass* found = RClass::FindByName(className); found && RObjectCast<RInstanceClass>(found))
            instanceClass = found;
    return Instance_Movie::CreateChild(&parent, definition, instanceName, instanceClass);
}

void AddGlobalKeyHandler(const InstanceHandle&) {}

} // namespace TarnEngine::Widgets
