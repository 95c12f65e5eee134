// Reading of PNG pictures through libpng.
#include "engine/graphics/textures/PngLoader.h"

#include "engine/core/files/FileSystem.h"

#include <cstring>
#include <limits>

namespace TarnEngine
{

namespace
{

// The loaders log nothing: a library error only returns to the armed jump.
void quietError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void quietWarning(png_structp, png_const_charp) {}

// Feeds libpng from the engine stream. A read that delivers less than asked is an error: the file
// was cut short, and the library must not go on with bytes that never arrived.
void readFromStream(png_structp png, png_bytep data, size_t length)
{
    auto* stream = static_cast<Stream*>(png_get_io_ptr(png));
    uint32_t read = 0;
    if (!stream || length > std::numeric_limits<uint32_t>::max() ||
        !stream->Read(data, uint32_t(length), &read) || read != length)
        png_error(png, "short read");
}

// Kept apart from everything with a destructor: a library error jumps back here.
bool decode(png_structp png, png_infop info, Stream* stream)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    // Refused in the header, before any row is allocated.
    png_set_user_limits(png, kMaxTextureSide, kMaxTextureSide);
    png_set_read_fn(png, stream, readFromStream);
    png_read_png(png, info, PNG_TRANSFORM_BGR, nullptr);
    return true;
}

} // namespace

PngLoader::~PngLoader()
{
    if (png)
        png_destroy_read_struct(&png, info ? &info : nullptr, endInfo ? &endInfo : nullptr);
}

bool PngLoader::ReadHeader(ImageSize* size)
{
    FileSystem* files = FileSystem::Get();
    if (!files || png)
        return false;
    Stream stream = files->OpenStream(name);
    if (!stream.IsValid())
        return false;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, quietWarning);
    if (!png)
        return false;
    info = png_create_info_struct(png);
    endInfo = png_create_info_struct(png);
    if (!info || !endInfo)
        return false;
    if (!decode(png, info, &stream))
        return false;
    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    if (!IsLoadableImageSize(width, height))
        return false;
    if (size)
        *size = ImageSize{width, height};
    return true;
}

bool PngLoader::Load(IResourceTexture* texture)
{
    if (!texture || !png || !info)
        return false;
    png_bytepp rows = png_get_rows(png, info);
    const uint32_t width = png_get_image_width(png, info);
    const uint32_t height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    // Only 8-bit channels are taken; the colour type is checked too, because a grey-with-alpha
    // picture of 16-bit channels has the same 32-bit pixel depth as RGBA.
    if (!rows || png_get_bit_depth(png, info) != 8)
        return false;
    uint32_t bytesPerPixel = 0;
    if (colourType == PNG_COLOR_TYPE_RGB_ALPHA)
        bytesPerPixel = 4;
    else if (colourType == PNG_COLOR_TYPE_RGB)
        bytesPerPixel = 3;
    else
        return false;
    if (png_get_rowbytes(png, info) < size_t(width) * bytesPerPixel)
        return false;
    void* bits = nullptr;
    int32_t pitch = 0;
    if (!texture->Lock(&bits, &pitch, false) || !bits)
        return false;
    for (uint32_t y = 0; y < height; ++y)
    {
        uint8_t* out = static_cast<uint8_t*>(bits) + ptrdiff_t(y) * pitch;
        const uint8_t* in = rows[y];
        if (bytesPerPixel == 4)
        {
            std::memcpy(out, in, size_t(width) * 4);
            continue;
        }
        for (uint32_t x = 0; x < width; ++x, in += 3, out += 4)
        {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
    }
    texture->Unlock();
    return true;
}

} // namespace TarnEngine
