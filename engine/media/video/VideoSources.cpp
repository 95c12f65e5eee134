// Video source factory; see VideoSources.h.
#include "engine/media/video/VideoSources.h"

#include "engine/media/video/TheoraAVideo.h"
#include "engine/media/video/TheoraVideo.h"

namespace TarnEngine
{

std::unique_ptr<IImageSource> CreateVideoSource(IVideoTarget* target, const std::wstring& fileName,
                                                const std::wstring& alphaFileName,
                                                const Platform::CounterSource* clock)
{
    if (alphaFileName.empty())
        return std::make_unique<aTheoraVideo>(target, fileName, false, clock);
    if (fileName.empty())
        return std::make_unique<aTheoraVideo>(target, alphaFileName, true, clock);
    return std::make_unique<aTheoraAVideo>(target, fileName, alphaFileName, clock);
}

} // namespace TarnEngine
