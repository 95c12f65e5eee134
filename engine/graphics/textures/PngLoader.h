// PNG pictures through libpng, read from the engine file system through a read callback over an
// engine Stream. The whole picture is decoded in ReadHeader (rows in blue, green, red order) and kept
// in the library's structures until the loader goes; Load copies 8-bit RGBA and RGB pictures (the
// latter opaque) and refuses every other layout.
#pragma once

#include "engine/graphics/textures/ITextureLoader.h"

#include <png.h>

namespace TarnEngine
{

class PngLoader : public ITextureLoader
{
public:
    explicit PngLoader(const std::wstring& name) : name(name) {}
    ~PngLoader() override;
    PngLoader(const PngLoader&) = delete;
    PngLoader& operator=(const PngLoader&) = delete;

    bool ReadHeader(ImageSize* size) override;
    bool Load(IResourceTexture* texture) override;

private:
    std::wstring name;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_infop endInfo = nullptr;
};

} // namespace TarnEngine
