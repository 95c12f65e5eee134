// Texture loaders: each reads one picture format from the engine file system and writes it into a
// device texture as 32-bit texels (bytes blue, green, red, alpha; rows from the top; the top-left
// width x height area of the texture). A loader lives for one re-creation: ReadHeader gives the
// picture's size, the texture is sized, Load writes the texels.
#pragma once

#include "engine/graphics/textures/IResourceTexture.h"

#include <memory>
#include <string>

namespace TarnEngine
{

// Largest picture side any loader accepts; larger pictures are refused before their pixels are
// allocated, so a small file cannot force a huge allocation.
constexpr uint32_t kMaxTextureSide = 4096;

// Whether a picture of that size may be loaded: neither side 0 nor above kMaxTextureSide.
inline bool IsLoadableImageSize(uint32_t width, uint32_t height)
{
    return width != 0 && height != 0 && width <= kMaxTextureSide && height <= kMaxTextureSide;
}

class ITextureLoader
{
public:
    virtual ~ITextureLoader() = default;
    // Opens the file, reads or decodes what the format needs and gives the picture's size.
    virtual bool ReadHeader(ImageSize* size) = 0;
    // Writes the texels; only after a successful ReadHeader and after the texture was sized.
    virtual bool Load(IResourceTexture* texture) = 0;

    // The one recreater of textures made from files.
    static Recreater* GetRecreater();
};

// The loader for the name (chosen by the first of ".png", ".tga", ".jp2", ".jpg" that the name
// contains, case-sensitively), or null when it contains none of them.
std::unique_ptr<ITextureLoader> CreateTextureLoader(const std::wstring& name, bool allowFastJpeg);

} // namespace TarnEngine
