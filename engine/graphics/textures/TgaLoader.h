// Uncompressed 32-bit TGA pictures. Only the size, the pixel depth and the image-ID length of the
// header are looked at: the first stored row becomes the top row whatever the origin bit says, and
// every pixel's four bytes (blue, green, red, alpha) are copied unchanged.
#pragma once

#include "engine/core/files/Stream.h"
#include "engine/graphics/textures/ITextureLoader.h"

namespace TarnEngine
{

class TgaLoader : public ITextureLoader
{
public:
    explicit TgaLoader(const std::wstring& name) : name(name) {}

    bool ReadHeader(ImageSize* size) override;
    bool Load(IResourceTexture* texture) override;

private:
    std::wstring name;
    Stream stream;
    uint32_t width = 0;
    uint32_t height = 0;
};

} // namespace TarnEngine
