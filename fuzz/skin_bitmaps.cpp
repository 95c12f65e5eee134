// Fuzz target: the skin module's ten bitmaps and the frame's geometry. The
// input is a client width and height (4 bytes each, little-endian, any value)
// and then up to ten blobs, each a 2-byte little-endian length and its bytes,
// handed out as ids 101 to 110. Loading must stay inside the blobs and the
// geometry, for the loaded sizes and for raw ones, must give no negative or
// overflowing rectangle.
#include "linkwell/skin/SkinBitmaps.h"
#include "linkwell/skin/SkinGeometry.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace linkwell;

namespace
{
int32_t read32(const uint8_t* p)
{
    uint32_t value = 0;
    std::memcpy(&value, p, 4);
    return static_cast<int32_t>(value);
}

void check(const SkinGeometry& geometry, int32_t width, int32_t height)
{
    for (int frame = 0; frame < 3; ++frame)
        for (const SkinPaint& paint : geometry.Paints(width, height, frame))
            if (paint.target.width < 0 || paint.target.height < 0 || paint.source.width < 0 ||
                paint.source.height < 0 || paint.source.x < 0)
                std::abort();
    const SkinRect content = geometry.Content(width, height);
    if (content.width < 0 || content.height < 0 || geometry.MinimumSize().width < 0)
        std::abort();
    SkinPointer pointer(geometry);
    const int32_t x = width / 2 + width / 4; // over the right-hand part, without overflow
    pointer.Motion(width, x, 1);
    pointer.Press(width, x, 1);
    pointer.Release(width, x, 1);
    if (pointer.CloseFrame() < 0 || pointer.CloseFrame() > 2)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    const int32_t width = read32(data);
    const int32_t height = read32(data + 4);
    std::vector<std::vector<uint8_t>> blobs;
    size_t at = 8;
    while (blobs.size() < kSkinPieces && at + 2 <= size)
    {
        const size_t length = std::min<size_t>(data[at] | (data[at + 1] << 8), size - at - 2);
        // Each blob in a buffer of its own, so that a read past it is caught.
        blobs.emplace_back(data + at + 2, data + at + 2 + length);
        at += 2 + length;
    }

    SkinBitmaps bitmaps;
    const bool loaded = bitmaps.Load(
        [&](uint32_t id, uint32_t* byteCount) -> const uint8_t*
        {
            const size_t index = id - SkinBitmaps::kFirstId;
            if (index >= blobs.size())
                return nullptr;
            *byteCount = static_cast<uint32_t>(blobs[index].size());
            return blobs[index].empty() ? nullptr : blobs[index].data();
        });
    if (loaded != (bitmaps.Count() == kSkinPieces))
        std::abort();
    check(SkinGeometry(bitmaps.Sizes()), width, height);

    // The geometry alone, with the blobs' first bytes read as raw sizes.
    std::array<SkinSize, kSkinPieces> raw{};
    for (size_t i = 0; i < blobs.size(); ++i)
        if (blobs[i].size() >= 8)
            raw[i] = SkinSize{read32(blobs[i].data()), read32(blobs[i].data() + 4)};
    check(SkinGeometry(raw), width, height);
    return 0;
}
