// JPEG 2000 pictures through OpenJPEG: JP2 files and raw codestreams, told apart by their first
// bytes. ReadHeader decodes the whole picture at full resolution, leniently, so that a file cut
// short or damaged after its header gives what decodes of it; grey, grey with alpha, RGB and RGBA
// pictures are taken (grey and RGB opaque), channels of other depths scaled to 8 bits. Load fills
// the picture's rows across the whole texture width with 0xFF first, then writes the picture; a
// picture whose data does not decode at all leaves those rows cleared to 0 and still loads. A
// sibling 8-bit BMP may give the alpha.
#pragma once

#include "engine/graphics/textures/ITextureLoader.h"
#include "engine/graphics/textures/Jp2MemoryReader.h"

namespace TarnEngine
{

class Jpg2Loader : public ITextureLoader
{
public:
    explicit Jpg2Loader(const std::wstring& name) : name(name) {}
    ~Jpg2Loader() override;
    Jpg2Loader(const Jpg2Loader&) = delete;
    Jpg2Loader& operator=(const Jpg2Loader&) = delete;

    bool ReadHeader(ImageSize* size) override;
    bool Load(IResourceTexture* texture) override;

private:
    bool Decode();

    std::wstring name;
    Jp2MemoryReader reader;
    opj_image_t* image = nullptr;
    // The picture data decoded; false when only the header could be read.
    bool decoded = false;
    uint32_t width = 0;
    uint32_t height = 0;
};

} // namespace TarnEngine
