// A video image source over one Theora stream in an Ogg file (no sound), read through the engine's
// file system and decoded with libogg and libtheora. Each Update decodes at most one frame, when the
// video's own frame interval has passed, converts it to pixels and writes them into the target; a
// slow caller therefore plays the video slower rather than skipping frames. At the end of the file
// the video starts again (loop) or, after an optional delay, tells its listeners.
//
// Colour videos fill the whole pixel; a greyscale video (lumaOnly) is converted from the luma
// plane alone and, as an alpha-only video, writes only the alpha byte over the pixels the target
// held when the video was opened.
#pragma once

#include "engine/core/files/Stream.h"
#include "engine/media/video/IImageSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Platform
{
class CounterSource;
}

namespace TarnEngine
{

class IVideoTarget;

class aTheoraVideo final : public IImageSource, public TheoraListenable
{
public:
    // The largest picture side accepted from a header; larger videos are refused.
    static constexpr uint32_t MaxSide = 4096;
    // How much of the file one read hands to the Ogg layer.
    static constexpr uint32_t ChunkSize = 8192;

    // target: where frames go (not owned; null: nowhere). lumaAlpha: an alpha-only video.
    // clock: the high-resolution clock (not owned); null stands for the system's.
    aTheoraVideo(IVideoTarget* target, const std::wstring& fileName, bool lumaAlpha,
                 const Platform::CounterSource* clock = nullptr);
    ~aTheoraVideo() override;
    aTheoraVideo(const aTheoraVideo&) = delete;
    aTheoraVideo& operator=(const aTheoraVideo&) = delete;

    bool Open(bool loop, float endDelay) override;
    void Close() override;
    bool IsActive() override;
    bool Update() override;
    int GetWidth() override;
    int GetHeight() override;
    void AddListener(ITheoraEventListener* listener) override { AddTheoraListener(listener); }
    void RemoveListener(ITheoraEventListener* listener) override { RemoveTheoraListener(listener); }

    // Converts the frame from the luma plane alone (greyscale).
    void SetLumaOnly(bool on) { lumaOnly = on; }
    // The last frame, width x height pixels (blue, green, red, alpha as a little-endian word);
    // empty before the first successful Open.
    const std::vector<uint32_t>& GetPixels() const { return pixels; }
    const std::wstring& GetFileName() const { return fileName; }
    double GetFrameInterval() const { return frameInterval; }

private:
    struct Decoder;

    double now() const;
    bool readHeaders();
    uint32_t readChunk();
    bool decodeFrame();
    void clearDecoder();

    bool lumaOnly;
    std::unique_ptr<Decoder> decoder;
    Stream stream;
    bool loop = false;
    bool alphaOnly;
    std::vector<uint32_t> pixels;
    double frameInterval = 0.0;
    std::wstring fileName;
    IVideoTarget* target;
    double lastFrameTime = 0.0;
    float endDelay = 0.0f;
    double endCountdown = 0.0;
    const Platform::CounterSource* clock;
};

} // namespace TarnEngine
