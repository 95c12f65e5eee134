// Video image sources from Theora files. There is no decoder yet: creation
// answers null, which its callers treat as a video that cannot be played.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/media/video/IImageSource.h"

#include <memory>
#include <string>

namespace TarnEngine
{

// The video image source of a file for an image instance; null when it cannot be made.
std::unique_ptr<IImageSource> CreateTheoraVideo(const InstanceHandle& instance, const std::wstring& fileName);

} // namespace TarnEngine
