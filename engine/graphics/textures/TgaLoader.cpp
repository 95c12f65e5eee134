// Reading of 32-bit TGA pictures.
#include "engine/graphics/textures/TgaLoader.h"

#include "engine/core/files/FileSystem.h"

namespace TarnEngine
{

namespace
{
constexpr uint32_t kHeaderSize = 18;
}

bool TgaLoader::ReadHeader(ImageSize* size)
{
    FileSystem* files = FileSystem::Get();
    if (!files)
        return false;
    stream = files->OpenStream(name);
    if (!stream.IsValid())
        return false;
    uint8_t header[kHeaderSize];
    uint32_t read = 0;
    if (!stream.Read(header, kHeaderSize, &read) || read != kHeaderSize)
        return false;
    const uint32_t idLength = header[0];
    const uint32_t w = header[12] | uint32_t(header[13]) << 8;
    const uint32_t h = header[14] | uint32_t(header[15]) << 8;
    const uint32_t depth = header[16];
    if (!IsLoadableImageSize(w, h) || depth != 32)
        return false;
    stream.SetReadPosition(kHeaderSize + idLength);
    width = w;
    height = h;
    if (size)
        *size = ImageSize{w, h};
    return true;
}

bool TgaLoader::Load(IResourceTexture* texture)
{
    if (!texture || width == 0)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return false;
    bool ok = true;
    const uint32_t rowBytes = width * 4;
    for (uint32_t y = 0; y < height && ok; ++y)
    {
        uint8_t* row = static_cast<uint8_t*>(bits) + ptrdiff_t(y) * pitch;
        uint32_t read = 0;
        ok = stream.Read(row, rowBytes, &read) && read == rowBytes;
    }
    texture->Unlock();
    return ok;
}

} // namespace TarnEngine
