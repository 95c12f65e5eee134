// A video target that is a bare texture: frames go into the top left of the texture's image, and
// the pixels read back are those of the image. For sources that have no image instance to write
// into.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/media/video/IVideoTarget.h"

namespace TarnEngine
{

class TextureVideoTarget final : public IVideoTarget
{
public:
    explicit TextureVideoTarget(RefPtr<IResourceTexture> texture) : texture(std::move(texture)) {}

    std::vector<uint32_t> ReadVideoPixels(uint32_t& width, uint32_t& height) override;
    // Refused when the block is larger than the texture's image or the texture cannot be locked.
    void UploadVideoPixels(const uint32_t* pixels, uint32_t width, uint32_t height) override;

    IResourceTexture* GetTexture() const { return texture.Get(); }

private:
    RefPtr<IResourceTexture> texture;
};

} // namespace TarnEngine
