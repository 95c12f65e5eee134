// PNG reading and writing for the reference pictures of the software device tests.
#include "RasterImages.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace RasterTest
{

bool WritePng(const std::string& path, const Picture& picture)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, picture.width, picture.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(picture.width) * 4);
    for (uint32_t y = 0; y < picture.height; ++y)
    {
        for (uint32_t x = 0; x < picture.width; ++x)
        {
            const uint32_t p = picture.pixels[size_t(y) * picture.width + x];
            row[x * 4 + 0] = uint8_t(p >> 16);
            row[x * 4 + 1] = uint8_t(p >> 8);
            row[x * 4 + 2] = uint8_t(p);
            row[x * 4 + 3] = uint8_t(p >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

bool ReadPng(const std::string& path, Picture& picture)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png)))
    {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    if (png_get_color_type(png, info) != PNG_COLOR_TYPE_RGB_ALPHA || png_get_bit_depth(png, info) != 8)
    {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    picture.width = png_get_image_width(png, info);
    picture.height = png_get_image_height(png, info);
    picture.pixels.assign(size_t(picture.width) * picture.height, 0);
    std::vector<uint8_t> row(size_t(picture.width) * 4);
    for (uint32_t y = 0; y < picture.height; ++y)
    {
        png_read_row(png, row.data(), nullptr);
        for (uint32_t x = 0; x < picture.width; ++x)
            picture.pixels[size_t(y) * picture.width + x] = (uint32_t(row[x * 4 + 3]) << 24) |
                                                            (uint32_t(row[x * 4 + 0]) << 16) |
                                                            (uint32_t(row[x * 4 + 1]) << 8) | row[x * 4 + 2];
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

std::string CompareWithReferenceIn(const std::string& folder, const char* writeVariable,
                                   const std::string& name, const Picture& frame)
{
    const std::string path = std::string(PELLWOOD_TEST_DATA) + "/" + folder + "/" + name + ".png";
    const char* write = std::getenv(writeVariable);
    if (write && std::string(write) == "1")
        return WritePng(path, frame) ? std::string() : "cannot write " + path;
    Picture reference;
    if (!ReadPng(path, reference))
        return "cannot read " + path;
    if (reference.width != frame.width || reference.height != frame.height)
        return "size differs from " + path;
    for (size_t i = 0; i < frame.pixels.size(); ++i)
    {
        if (frame.pixels[i] != reference.pixels[i])
        {
            char text[160];
            std::snprintf(text, sizeof text, "%s: pixel (%zu, %zu) is %08X, reference %08X", name.c_str(),
                          i % frame.width, i / frame.width, frame.pixels[i], reference.pixels[i]);
            return text;
        }
    }
    return {};
}

std::string CompareWithReference(const std::string& name, const Picture& frame)
{
    return CompareWithReferenceIn("raster", "PELLWOOD_WRITE_RASTER_REFERENCES", name, frame);
}

} // namespace RasterTest
