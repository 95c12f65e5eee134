// Colour video with an alpha video; see TheoraAVideo.h.
#include "engine/media/video/TheoraAVideo.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/media/video/IVideoTarget.h"

namespace TarnEngine
{

aTheoraAVideo::aTheoraAVideo(IVideoTarget* targetIn, const std::wstring& fileName,
                             const std::wstring& alphaFileName, const Platform::CounterSource* clock)
    : colourVideo(std::make_unique<aTheoraVideo>(nullptr, fileName, false, clock)),
      alphaVideo(std::make_unique<aTheoraVideo>(nullptr, alphaFileName, false, clock)), target(targetIn)
{
    // Grey pixels, of which the first byte is the alpha value.
    alphaVideo->SetLumaOnly(true);
    colourVideo->AddListener(this);
}

aTheoraAVideo::~aTheoraAVideo() = default;

bool aTheoraAVideo::Open(bool loop, float endDelay)
{
    ended = false;
    const bool colourOpen = colourVideo->Open(loop, endDelay);
    const bool alphaOpen = alphaVideo->Open(loop, endDelay);
    if (!colourOpen || !alphaOpen)
    {
        // Half a video would play without ever being shown.
        Close();
        return false;
    }
    if (colourVideo->GetWidth() != alphaVideo->GetWidth() || colourVideo->GetHeight() != alphaVideo->GetHeight())
    {
        if (ILogger* logger = ILogger::Get())
            logger->Log(LogResources, __FILE__, __LINE__, L"video %s: its alpha video %s has another size",
                        colourVideo->GetFileName(), alphaVideo->GetFileName());
        Close();
        return false;
    }
    const size_t count = size_t(colourVideo->GetWidth()) * size_t(colourVideo->GetHeight());
    if (pixels.size() != count)
        pixels.assign(count, 0);
    return true;
}

void aTheoraAVideo::Close()
{
    colourVideo->Close();
    alphaVideo->Close();
}

bool aTheoraAVideo::IsActive()
{
    return colourVideo->IsActive();
}

int aTheoraAVideo::GetWidth()
{
    return colourVideo->GetWidth();
}

int aTheoraAVideo::GetHeight()
{
    return colourVideo->GetHeight();
}

void aTheoraAVideo::SetPaused(bool pause)
{
    paused = pause;
    colourVideo->SetPaused(pause);
    alphaVideo->SetPaused(pause);
}

void aTheoraAVideo::OnTheoraEvent(const std::wstring& fileName)
{
    ended = true;
    endedName = fileName;
}

bool aTheoraAVideo::Update()
{
    if (paused)
        return false;
    const bool colour = colourVideo->Update();
    const bool alpha = alphaVideo->Update();
    bool composed = false;
    const std::vector<uint32_t>& colourPixels = colourVideo->GetPixels();
    const std::vector<uint32_t>& alphaPixels = alphaVideo->GetPixels();
    if (colour && alpha && colourPixels.size() == pixels.size() && alphaPixels.size() == pixels.size())
    {
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = (colourPixels[i] & 0x00FFFFFFu) | (alphaPixels[i] << 24);
        if (target)
            target->UploadVideoPixels(pixels.data(), uint32_t(colourVideo->GetWidth()),
                                      uint32_t(colourVideo->GetHeight()));
        composed = true;
    }
    if (ended)
    {
        // Last: a listener may open this video again.
        ended = false;
        const std::wstring name = std::move(endedName);
        listeners.NotifyTheoraListeners(name);
    }
    return composed;
}

} // namespace TarnEngine
