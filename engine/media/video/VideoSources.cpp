// Video source factory; see VideoSources.h.
#include "engine/media/video/VideoSources.h"

#include "engine/media/video/TheoraAVideo.h"
#include "engine/media/video/TheoraVideo.h"

namespace TarnEngine
{

namespace
{
const Platform::CounterSource* g_defaultClock = nullptr;
}

const Platform::CounterSource* SetDefaultVideoClock(const Platform::CounterSource* clock)
{
    const Platform::CounterSource* previous = g_defaultClock;
    g_defaultClock = clock;
    return previous;
}

std::unique_ptr<IImageSource> CreateVideoSource(IVideoTarget* target, const std::wstring& fileName,
                                                const std::wstring& alphaFileName,
                                                const Platform::CounterSource* clock)
{
    if (!clock)
        clock = g_defaultClock;
    if (alphaFileName.empty())
        return std::make_unique<aTheoraVideo>(target, fileName, false, clock);
    if (fileName.empty())
        return std::make_unique<aTheoraVideo>(target, alphaFileName, true, clock);
    return std::make_unique<aTheoraAVideo>(target, fileName, alphaFileName, clock);
}

} // namespace TarnEngine
