// Texture video target; see TextureVideoTarget.h.
#include "engine/media/video/TextureVideoTarget.h"

#include <cstring>

namespace TarnEngine
{

std::vector<uint32_t> TextureVideoTarget::ReadVideoPixels(uint32_t& width, uint32_t& height)
{
    width = 0;
    height = 0;
    if (!texture)
        return {};
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    texture->GetImageSize(&imageWidth, &imageHeight);
    void* bits = nullptr;
    int32_t pitch = 0;
    if (imageWidth == 0 || imageHeight == 0 || !texture->Lock(&bits, &pitch, true) || !bits)
        return {};
    std::vector<uint32_t> pixels(size_t(imageWidth) * imageHeight);
    for (uint32_t row = 0; row < imageHeight; ++row)
        std::memcpy(pixels.data() + size_t(row) * imageWidth, static_cast<const uint8_t*>(bits) + int64_t(row) * pitch,
                    size_t(imageWidth) * 4);
    texture->Unlock();
    width = imageWidth;
    height = imageHeight;
    return pixels;
}

void TextureVideoTarget::UploadVideoPixels(const uint32_t* pixels, uint32_t width, uint32_t height)
{
    if (!texture || !pixels)
        return;
    uint32_t imageWidth = 0;
    uint32_t imageHeight = 0;
    texture->GetImageSize(&imageWidth, &imageHeight);
    if (width > imageWidth || height > imageHeight)
        return;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return;
    for (uint32_t row = 0; row < height; ++row)
        std::memcpy(static_cast<uint8_t*>(bits) + int64_t(row) * pitch, pixels + size_t(row) * width,
                    size_t(width) * 4);
    texture->Unlock();
}

} // namespace TarnEngine
