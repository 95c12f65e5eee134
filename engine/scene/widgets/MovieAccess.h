// What the toolkit asks of a movie and of the user interface, in one place: the frame shown, the
// frame count, a child by name, creation by class name and the global key handlers.
#pragma once

#include "engine/core/base/InstanceHandle.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class Instance_Base;
class Instance_Movie;

namespace Widgets
{

uint32_t FrameCount(Instance_Movie& movie);
void ShowFrame(Instance_Movie& movie, uint32_t frame);
// Starts or stops the movie's own timeline.
void SetPlaying(Instance_Movie& movie, bool play);
// The direct child of that exact name, or null.
Instance_Base* FindChild(Instance_Movie& movie, const std::wstring& name);
// The child made from the definition (none when empty) as an instance of the named class (the
// definition's own when the name is empty or names no instance class).
InstanceHandle CreateChildOfClass(Instance_Movie& parent, const std::wstring& definition,
                                  const std::wstring& instanceName, const std::wstring& className);
void AddGlobalKeyHandler(const InstanceHandle& movie);

} // namespace Widgets
} // namespace TarnEngine
