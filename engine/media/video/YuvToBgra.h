// Turns the picture of a decoded 4:2:0 video frame into 32-bit pixels (bytes blue, green, red,
// alpha; rows from the top), by integer tables: colour, greyscale from the luma plane alone, or
// the luma plane written into the alpha byte of pixels that keep their colours.
#pragma once

#include <theora/codec.h>

#include <cstdint>

namespace TarnEngine
{

enum class YuvConversion
{
    Colour,
    Grey,      // blue = green = red = grey, alpha 255
    AlphaOnly, // alpha = grey; the other three bytes keep what the pixel held
};

// The picture is the rectangle (x, y, width, height) of the luma plane; the chroma planes are half
// its size both ways. `pixels` holds width x height entries. The caller checks that the rectangle
// lies inside the planes.
void ConvertYuv420(const th_img_plane planes[3], uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   YuvConversion conversion, uint32_t* pixels);

// The grey value of a luma sample: 0 below 16, 255 from 240, linear between.
uint8_t LumaToGrey(uint8_t luma);

} // namespace TarnEngine
