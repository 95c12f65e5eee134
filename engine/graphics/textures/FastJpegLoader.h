// JPEG pictures through the engine's own decoder. The whole file is read in one piece and decoded
// in ReadHeader; a file the decoder refuses fails here, and the recreater then tries libjpeg. The
// picture is written opaque, then a sibling 8-bit BMP may give its alpha.
#pragma once

#include "engine/graphics/textures/FastJpegDecode.h"
#include "engine/graphics/textures/ITextureLoader.h"

namespace TarnEngine
{

class FastJpegLoader : public ITextureLoader
{
public:
    explicit FastJpegLoader(const std::wstring& name) : name(name) {}
    ~FastJpegLoader() override;
    FastJpegLoader(const FastJpegLoader&) = delete;
    FastJpegLoader& operator=(const FastJpegLoader&) = delete;

    bool ReadHeader(ImageSize* size) override;
    bool Load(IResourceTexture* texture) override;

private:
    std::wstring name;
    FastJpegState* decoded = nullptr;
};

} // namespace TarnEngine
