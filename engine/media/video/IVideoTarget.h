// What a video source writes its frames into: an image's texture. Pixels are 4 bytes each in the
// order blue, green, red, alpha, rows from the top. The image instance is the usual target; a bare
// texture (TextureVideoTarget) serves where there is no image.
#pragma once

#include <cstdint>
#include <vector>

namespace TarnEngine
{

class IImageSource;

class IVideoTarget
{
public:
    virtual ~IVideoTarget() = default;
    // A copy of the target's current pixels (width x height); empty when they cannot be read.
    virtual std::vector<uint8_t> ReadVideoPixels(uint32_t& width, uint32_t& height) = 0;
    // Writes a width x height block at the top left; the target refuses a block larger than itself.
    virtual void UploadVideoPixels(const uint8_t* pixels, uint32_t width, uint32_t height) = 0;
};

// An image that can show a video source it does not own (a playlist that scripts hold).
class IVideoImage : public IVideoTarget
{
public:
    // Shows the source from now on without owning it (null: none); a source the image owned is
    // deleted, one it only showed is let go.
    virtual void ShowVideoSource(IImageSource* source) = 0;
    // The source the image shows, owned or not; null when none.
    virtual IImageSource* GetVideoSource() const = 0;
};

} // namespace TarnEngine
