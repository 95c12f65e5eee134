// Loading of JPEG pictures through the engine's own decoder.
#include "engine/graphics/textures/FastJpegLoader.h"

#include "engine/core/files/FileSystem.h"
#include "engine/graphics/textures/AlphaMask.h"

namespace TarnEngine
{

FastJpegLoader::~FastJpegLoader()
{
    FastJpegFree(decoded);
}

bool FastJpegLoader::ReadHeader(ImageSize* size)
{
    FileSystem* files = FileSystem::Get();
    if (!files || decoded)
        return false;
    ByteBlock data;
    uint32_t length = 0;
    {
        Stream stream = files->OpenStream(name);
        if (!stream.IsValid())
            return false;
        length = stream.GetSize();
        data = AllocateBlock(length);
        if (!data)
            return false;
        uint32_t read = 0;
        if (!stream.Read(data.get(), length, &read) || read != length)
            return false;
    }
    const uint8_t status = FastJpegDecode(data.get(), length, &decoded, 0, kMaxTextureSide);
    if (status != eFastJpegSuccess || !decoded)
    {
        FastJpegFree(decoded);
        decoded = nullptr;
        return false;
    }
    if (!IsLoadableImageSize(decoded->width, decoded->height) || decoded->bitsPerPixel < 24 ||
        decoded->rowPitch < decoded->width)
        return false;
    if (size)
        *size = ImageSize{decoded->width, decoded->height};
    return true;
}

bool FastJpegLoader::Load(IResourceTexture* texture)
{
    if (!texture || !decoded)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return false;
    const uint32_t bytesPerPixel = decoded->bitsPerPixel / 8;
    const size_t rowBytes = size_t(decoded->rowPitch) * bytesPerPixel;
    for (uint32_t y = 0; y < decoded->height; ++y)
    {
        const uint8_t* in = decoded->pixels + rowBytes * y;
        uint8_t* out = static_cast<uint8_t*>(bits) + ptrdiff_t(y) * pitch;
        for (uint32_t x = 0; x < decoded->width; ++x, in += bytesPerPixel, out += 4)
        {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    }
    texture->Unlock();
    ApplyAlphaMask(AlphaMaskName(name), ImageSize{decoded->width, decoded->height}, texture);
    return true;
}

} // namespace TarnEngine
