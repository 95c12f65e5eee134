// The one way the engine makes video image sources: from a colour file, a colour file with an alpha
// file, or an alpha file alone (which writes only the alpha of the target's pixels).
#pragma once

#include "engine/media/video/IImageSource.h"

#include <memory>
#include <string>

namespace Platform
{
class CounterSource;
}

namespace TarnEngine
{

class IVideoTarget;

// fileName empty with an alpha file: an alpha-only video.
// target and clock are not owned; a null clock stands for the default clock below.
std::unique_ptr<IImageSource> CreateVideoSource(IVideoTarget* target, const std::wstring& fileName,
                                                const std::wstring& alphaFileName,
                                                const Platform::CounterSource* clock = nullptr);

// The clock that sources made without one are paced by: the system's unless another was set (tests
// pace the videos of image instances with a fake one). Returns the clock it replaces; null goes
// back to the system's.
const Platform::CounterSource* SetDefaultVideoClock(const Platform::CounterSource* clock);

} // namespace TarnEngine
