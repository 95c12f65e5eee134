// What a video source writes its frames into: an image's texture. Pixels are 32-bit ARGB words
// (in memory the bytes blue, green, red, alpha), rows from the top. The image instance is the usual target; a bare
// texture (TextureVideoTarget) serves where there is no image.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace TarnEngine
{

class IImageSource;

class IVideoTarget
{
public:
    virtual ~IVideoTarget() = default;
    // A copy of the target's current pixels (width x height); empty when they cannot be read.
    virtual std::vector<uint32_t> ReadVideoPixels(uint32_t& width, uint32_t& height) = 0;
    // Writes a width x height block at the top left; the target refuses a block larger than itself.
    virtual void UploadVideoPixels(const uint32_t* pixels, uint32_t width, uint32_t height) = 0;
};

// An image instance as video sources and playlists see it: a target that holds the source that
// fills it, and calls that source's Update each time it is drawn.
class IVideoImage : public IVideoTarget
{
public:
    // The source that fills the image from now on, owned by the image (null: none).
    virtual void SetVideoSource(std::unique_ptr<IImageSource> source) = 0;
    virtual IImageSource* GetVideoSource() const = 0;
};

} // namespace TarnEngine
