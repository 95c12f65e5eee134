// Reading ".cur" files; see CursorFile.h.
#include "engine/core/app/CursorFile.h"

namespace TarnEngine
{
namespace
{

constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint16_t kCursorType = 2;

uint16_t u16(const uint8_t* p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t u32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// One directory entry's image, when it is a 32-bit uncompressed picture lying inside the data.
bool readImage(const uint8_t* data, size_t size, const uint8_t* entry, Platform::ResourcePicture& picture)
{
    const uint64_t length = u32(entry + 8);
    const uint64_t offset = u32(entry + 12);
    if (offset > size || length > size - offset || length < kInfoHeaderSize)
        return false;
    const uint8_t* image = data + offset;
    const int32_t width = int32_t(u32(image + 4));
    const int32_t doubledHeight = int32_t(u32(image + 8));
    // The height counts the colour rows and the mask rows; a negative one (top-down) is not a cursor's.
    if (u32(image) < kInfoHeaderSize || u16(image + 12) != 1 || u16(image + 14) != 32 || u32(image + 16) != 0)
        return false;
    if (width < 1 || width > MaxCursorFileSide || doubledHeight < 2 || doubledHeight > 2 * MaxCursorFileSide ||
        doubledHeight % 2 != 0)
        return false;
    const int height = doubledHeight / 2;
    const uint64_t colourRow = uint64_t(width) * 4;
    const uint64_t maskRow = ((uint64_t(width) + 31) / 32) * 4;
    const uint64_t header = u32(image);
    const bool hasMask = length >= header + colourRow * uint64_t(height) + maskRow * uint64_t(height);
    if (header > length || length - header < colourRow * uint64_t(height))
        return false;
    const int hotX = u16(entry + 4);
    const int hotY = u16(entry + 6);
    if (hotX >= width || hotY >= height)
        return false;

    const uint8_t* colours = image + header;
    const uint8_t* mask = colours + colourRow * uint64_t(height);
    picture.width = width;
    picture.height = height;
    picture.hotX = hotX;
    picture.hotY = hotY;
    picture.rgba.assign(size_t(width) * size_t(height) * 4, 0);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y)
    {
        // Rows are stored from the bottom.
        const uint8_t* row = colours + colourRow * uint64_t(height - 1 - y);
        uint8_t* out = picture.rgba.data() + size_t(y) * size_t(width) * 4;
        for (int x = 0; x < width; ++x)
        {
            out[x * 4 + 0] = row[x * 4 + 2];
            out[x * 4 + 1] = row[x * 4 + 1];
            out[x * 4 + 2] = row[x * 4 + 0];
            out[x * 4 + 3] = row[x * 4 + 3];
            anyAlpha = anyAlpha || row[x * 4 + 3] != 0;
        }
    }
    if (!anyAlpha && hasMask)
        for (int y = 0; y < height; ++y)
        {
            const uint8_t* row = mask + maskRow * uint64_t(height - 1 - y);
            uint8_t* out = picture.rgba.data() + size_t(y) * size_t(width) * 4;
            for (int x = 0; x < width; ++x)
                out[x * 4 + 3] = (row[x / 8] & (0x80 >> (x % 8))) ? 0 : 255;
        }
    return true;
}

} // namespace

bool ReadCursorFile(const uint8_t* data, size_t size, Platform::ResourcePicture& picture)
{
    if (!data || size < kDirectorySize || u16(data) != 0 || u16(data + 2) != kCursorType)
        return false;
    const size_t count = u16(data + 4);
    if (count > (size - kDirectorySize) / kEntrySize)
        return false;
    for (size_t i = 0; i < count; ++i)
        if (readImage(data, size, data + kDirectorySize + i * kEntrySize, picture))
            return true;
    picture = Platform::ResourcePicture{};
    return false;
}

std::wstring CursorFileName(uint32_t resourceId)
{
    return L"cursors\\" + std::to_wstring(resourceId) + L".cur";
}

} // namespace TarnEngine
