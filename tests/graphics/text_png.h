// Reference pictures of rendered text blocks: a block (row 0 at the bottom,
// bytes blue, green, red, alpha) is kept as an RGBA PNG the right way up in
// tests/data/fonts/. With PELLWOOD_WRITE_FONT_REFERENCES=1 in the environment
// the comparison writes the block as the new reference instead.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <png.h>

namespace text_png
{

struct Block
{
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> bgra; // rows from the bottom
};

inline bool writePng(const std::string& path, const Block& block)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, block.width, block.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(block.width) * 4);
    for (uint32_t y = 0; y < block.height; ++y)
    {
        const uint8_t* source = &block.bgra[size_t(block.height - 1 - y) * block.width * 4];
        for (uint32_t x = 0; x < block.width; ++x)
        {
            row[x * 4 + 0] = source[x * 4 + 2];
            row[x * 4 + 1] = source[x * 4 + 1];
            row[x * 4 + 2] = source[x * 4 + 0];
            row[x * 4 + 3] = source[x * 4 + 3];
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return true;
}

inline bool readPng(const std::string& path, Block& block)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> top(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, top.data(), 0, nullptr))
        return false;
    block.width = image.width;
    block.height = image.height;
    block.bgra.resize(top.size());
    const size_t stride = size_t(block.width) * 4;
    for (uint32_t y = 0; y < block.height; ++y)
        std::copy_n(&top[size_t(y) * stride], stride, &block.bgra[size_t(block.height - 1 - y) * stride]);
    return true;
}

// Empty when the block equals the reference; else the first difference.
inline std::string compareWithReference(const std::string& name, const Block& block)
{
    const std::string path = std::string(PELLWOOD_TEST_DATA) + "/fonts/" + name + ".png";
    const char* write = std::getenv("PELLWOOD_WRITE_FONT_REFERENCES");
    if (write && std::string(write) == "1")
        return writePng(path, block) ? std::string() : "cannot write " + path;
    Block reference;
    if (!readPng(path, reference))
        return "cannot read " + path;
    if (reference.width != block.width || reference.height != block.height)
        return "size differs from " + path;
    for (size_t i = 0; i < block.bgra.size(); ++i)
        if (block.bgra[i] != reference.bgra[i])
            return "byte " + std::to_string(i % 4) + " of pixel (" + std::to_string(i / 4 % block.width) +
                   ", " + std::to_string(i / 4 / block.width) + " from the bottom) is " +
                   std::to_string(block.bgra[i]) + ", reference " + std::to_string(reference.bgra[i]);
    return std::string();
}

} // namespace text_png
