// Alpha masks from 8-bit BMP files.
#include "engine/graphics/textures/AlphaMask.h"

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FileSystem.h"

namespace TarnEngine
{

namespace
{

constexpr uint32_t kHeadersSize = 14 + 40;

uint32_t readU16(const uint8_t* p)
{
    return p[0] | uint32_t(p[1]) << 8;
}

uint32_t readU32(const uint8_t* p)
{
    return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

} // namespace

std::wstring AlphaMaskName(const std::wstring& pictureName)
{
    return RemoveExtension(pictureName) + L".bmp";
}

bool ApplyAlphaMask(const std::wstring& maskName, ImageSize pictureSize, IResourceTexture* texture)
{
    FileSystem* files = FileSystem::Get();
    if (!files || !texture)
        return false;
    RefPtr<StreamSourceCounted> source = files->Open(maskName);
    if (!source || !source->IsValid())
        return false;
    RefPtr<MemoryRegionCounted> region = source->GetMemoryRegion();
    if (!region || !region->GetData())
        return false;
    const uint8_t* data = region->GetData();
    const uint32_t fileSize = region->GetSize();
    if (fileSize < kHeadersSize)
        return false;
    const uint32_t pixelOffset = readU32(data + 10);
    // Width and height are compared unsigned, so a top-down mask (negative height) is refused.
    const uint32_t width = readU32(data + 18);
    const uint32_t height = readU32(data + 22);
    if (readU16(data) != 0x4D42 || readU16(data + 28) != 8 || width > pictureSize.width ||
        height > pictureSize.height || width == 0 || height == 0)
        return false;
    // Rows of an 8-bit BMP are padded to whole 32-bit words; all of them must lie in the file.
    const uint64_t rowLength = (uint64_t(width) + 3) & ~uint64_t(3);
    if (pixelOffset > fileSize || rowLength * height > fileSize - pixelOffset)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return false;
    const uint8_t* pixels = data + pixelOffset;
    for (uint32_t y = 0; y < height; ++y)
    {
        const uint8_t* in = pixels + rowLength * (height - 1 - y);
        uint8_t* out = static_cast<uint8_t*>(bits) + ptrdiff_t(y) * pitch + 3;
        for (uint32_t x = 0; x < width; ++x, out += 4)
            *out = in[x];
    }
    texture->Unlock();
    return true;
}

} // namespace TarnEngine
