// Video image sources; see TheoraVideo.h.
#include "engine/media/video/TheoraVideo.h"

namespace TarnEngine
{

std::unique_ptr<IImageSource> CreateTheoraVideo(const InstanceHandle&, const std::wstring&)
{
    return nullptr;
}

} // namespace TarnEngine
