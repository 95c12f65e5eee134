#include "linkwell/skin/SkinBitmaps.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>

namespace linkwell
{

namespace
{
uint32_t readU32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t readU16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The decoder sizes its buffers by the header's fields before it has read
// the bytes behind them (header size, palette size and count, picture sides),
// so a hostile file could make it allocate gigabytes. Only the forms a skin
// bitmap can take pass: a known header size, one plane, a real depth, a
// palette of at most 256 entries that lies before the pixels, sides up to
// SkinGeometry::kMaxBitmapSide, and for uncompressed files every row.
bool plausibleHeader(const uint8_t* bytes, uint32_t byteCount)
{
    if (bytes == nullptr || byteCount < 26 || byteCount > SkinBitmaps::kMaxFileBytes || bytes[0] != 'B' ||
        bytes[1] != 'M')
        return false;
    const uint32_t headerSize = readU32(bytes + 14);
    const bool knownHeader = headerSize == 12 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
                             headerSize == 64 || headerSize == 108 || headerSize == 124;
    if (!knownHeader || 14 + headerSize > byteCount)
        return false;
    const uint32_t dataOffset = readU32(bytes + 10);
    int64_t width = 0;
    int64_t height = 0;
    uint32_t planes = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t compression = 0;
    uint32_t colours = 0;
    uint32_t paletteEntryBytes = 4;
    if (headerSize == 12)
    {
        width = readU16(bytes + 18);
        height = readU16(bytes + 20);
        planes = readU16(bytes + 22);
        bitsPerPixel = readU16(bytes + 24);
        paletteEntryBytes = 3;
    }
    else
    {
        width = static_cast<int32_t>(readU32(bytes + 18));
        height = static_cast<int32_t>(readU32(bytes + 22));
        planes = readU16(bytes + 26);
        bitsPerPixel = readU16(bytes + 28);
        compression = readU32(bytes + 30);
        colours = readU32(bytes + 46);
    }
    height = std::llabs(height); // negative means stored top-down
    if (width <= 0 || height <= 0 || width > SkinGeometry::kMaxBitmapSide || height > SkinGeometry::kMaxBitmapSide)
        return false;
    const bool depthKnown = bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 16 ||
                            bitsPerPixel == 24 || bitsPerPixel == 32;
    // BI_RGB; BI_RLE8 and BI_RLE4 at their own depths; BI_BITFIELDS at 16 or 32 bits.
    const bool compressionKnown = compression == 0 || (compression == 1 && bitsPerPixel == 8) ||
                                  (compression == 2 && bitsPerPixel == 4) ||
                                  (compression == 3 && (bitsPerPixel == 16 || bitsPerPixel == 32));
    if (planes != 1 || !depthKnown || !compressionKnown || colours > 256)
        return false;
    uint64_t palette = 0;
    if (bitsPerPixel <= 8)
        palette = static_cast<uint64_t>(colours != 0 ? colours : 1u << bitsPerPixel) * paletteEntryBytes;
    if (compression == 3 && headerSize == 40)
        palette = 12; // the three masks follow the short header
    if (dataOffset < 14 + headerSize + palette || dataOffset > byteCount)
        return false;
    // The decoder shows a cut-off file as a picture with rows it never wrote:
    // plain rows must all be there. (Run-length files are checked by the decoder.)
    if (compression == 0 || compression == 3)
    {
        const uint64_t stride = ((static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32) * 4;
        if (dataOffset + stride * static_cast<uint64_t>(height) > byteCount)
            return false;
    }
    return true;
}
} // namespace

SkinBitmaps::~SkinBitmaps()
{
    Release();
}

GdkPixbuf* SkinBitmaps::Decode(const uint8_t* bytes, uint32_t byteCount)
{
    if (!plausibleHeader(bytes, byteCount))
        return nullptr;
    // Only the BMP decoder: no sniffing that could hand the bytes to another format's loader.
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("bmp", nullptr);
    if (loader == nullptr)
        return nullptr;
    const bool written = gdk_pixbuf_loader_write(loader, bytes, byteCount, nullptr);
    const bool closed = gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* picture = written && closed ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
    if (picture != nullptr)
    {
        const int width = gdk_pixbuf_get_width(picture);
        const int height = gdk_pixbuf_get_height(picture);
        if (width <= 0 || height <= 0 || width > SkinGeometry::kMaxBitmapSide ||
            height > SkinGeometry::kMaxBitmapSide)
            picture = nullptr;
        else
            g_object_ref(picture);
    }
    g_object_unref(loader);
    return picture;
}

bool SkinBitmaps::Load(const SkinBitmapSource& source)
{
    Release();
    if (!source)
        return false;
    for (int i = 0; i < kSkinPieces; ++i)
    {
        const uint32_t id = kFirstId + static_cast<uint32_t>(i);
        uint32_t byteCount = 0;
        const uint8_t* bytes = source(id, &byteCount);
        GdkPixbuf* picture = bytes != nullptr ? Decode(bytes, byteCount) : nullptr;
        if (picture == nullptr)
        {
            std::fprintf(stderr,
                         "linkwell: skin bitmap %u is missing or unreadable; the plain frame is kept\n", id);
            return false;
        }
        bitmaps_[i] = picture;
        sizes_[i] = SkinSize{gdk_pixbuf_get_width(picture), gdk_pixbuf_get_height(picture)};
    }
    loaded_ = true;
    return true;
}

void SkinBitmaps::Release()
{
    for (GdkPixbuf*& picture : bitmaps_)
    {
        if (picture != nullptr)
            g_object_unref(picture);
        picture = nullptr;
    }
    sizes_ = {};
    loaded_ = false;
}

int SkinBitmaps::Count() const
{
    int count = 0;
    while (count < kSkinPieces && bitmaps_[count] != nullptr)
        ++count;
    return count;
}

} // namespace linkwell
