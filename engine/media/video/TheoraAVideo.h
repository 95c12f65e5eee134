// A colour video with a second, greyscale video of the same size giving the alpha channel. Both
// play in step; a frame is composed only when both delivered one in the same Update. The colour
// video's end is what the listeners hear of.
#pragma once

#include "engine/media/video/IImageSource.h"
#include "engine/media/video/TheoraVideo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class IVideoTarget;

class aTheoraAVideo final : public IImageSource, private ITheoraEventListener
{
public:
    aTheoraAVideo(IVideoTarget* target, const std::wstring& fileName, const std::wstring& alphaFileName,
                  const Platform::CounterSource* clock = nullptr);
    ~aTheoraAVideo() override;

    // Fails, with both closed, when either file fails or the two differ in size.
    bool Open(bool loop, float endDelay) override;
    void Close() override;
    bool IsActive() override;
    bool Update() override;
    int GetWidth() override;
    int GetHeight() override;
    void SetPaused(bool pause) override;
    void AddListener(ITheoraEventListener* listener) override { listeners.AddTheoraListener(listener); }
    void RemoveListener(ITheoraEventListener* listener) override { listeners.RemoveTheoraListener(listener); }

    const std::vector<uint32_t>& GetPixels() const { return pixels; }

private:
    void OnTheoraEvent(const std::wstring& fileName) override;

    std::unique_ptr<aTheoraVideo> colourVideo;
    std::unique_ptr<aTheoraVideo> alphaVideo;
    IVideoTarget* target;
    std::vector<uint32_t> pixels;
    // The colour video's end notice waits until this video's own update is over, so that a
    // listener that opens this video again finds both parts at rest.
    TheoraListenable listeners;
    bool ended = false;
    std::wstring endedName;
};

} // namespace TarnEngine
