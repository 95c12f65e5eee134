// JPEG pictures through libjpeg: the fallback for what the engine's own decoder refuses
// (progressive and other non-baseline files, unusual samplings, damage). The decoder is fed the whole
// file in one piece; a damaged or cut-short file, or one of more than 1,000 scans, ends in an error
// that returns to the loader and fails it, never ending the process. Only three-component pictures
// are taken. The picture is
// written opaque, then a sibling 8-bit BMP may give its alpha.
#pragma once

#include "engine/core/base/MemoryRegion.h"
#include "engine/core/files/StreamSource.h"
#include "engine/graphics/textures/ITextureLoader.h"

#include <cstdio>

#include <jpeglib.h>

namespace TarnEngine
{

// The libjpeg source manager of one decode: presents the whole file at the first fill.
struct JpegMemorySource
{
    jpeg_source_mgr manager;
    RefPtr<StreamSourceCounted> source;
    RefPtr<MemoryRegionCounted> region;
};

class JpegLoader : public ITextureLoader
{
public:
    explicit JpegLoader(const std::wstring& name) : name(name) {}

    bool ReadHeader(ImageSize* size) override;
    bool Load(IResourceTexture* texture) override;

private:
    std::wstring name;
    // Red, green, blue bytes, width x 3 bytes a row, rows from the top.
    ByteBlock pixels;
    uint32_t width = 0;
    uint32_t height = 0;
};

} // namespace TarnEngine
