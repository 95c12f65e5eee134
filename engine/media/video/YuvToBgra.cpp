// YUV 4:2:0 to pixels; see YuvToBgra.h.
#include "engine/media/video/YuvToBgra.h"

#include <algorithm>
#include <array>
#include <bit>

namespace TarnEngine
{

static_assert(std::endian::native == std::endian::little, "pixels are written as little-endian words");

namespace
{

// 16.16 fixed-point chroma contributions, with the arithmetic shift of signed values.
struct ChromaTables
{
    std::array<int16_t, 256> vToRed{};
    std::array<int16_t, 256> vToGreen{};
    std::array<int16_t, 256> uToGreen{};
    std::array<int16_t, 256> uToBlue{};
    std::array<uint8_t, 256> grey{};

    constexpr ChromaTables()
    {
        for (int32_t i = 0; i < 256; ++i)
        {
            vToRed[size_t(i)] = int16_t((113443 * i - 14487936) >> 16);
            vToGreen[size_t(i)] = int16_t((45744 * i - 5822464) >> 16);
            uToGreen[size_t(i)] = int16_t((22020 * i - 2785792) >> 16);
            uToBlue[size_t(i)] = int16_t((113508 * i - 14496256) >> 16);
        }
    }
};

// The grey scale's factor is 1/224 as a 32-bit float holds it; the products are truncated.
std::array<uint8_t, 256> makeGreyTable()
{
    std::array<uint8_t, 256> table{};
    for (int32_t i = 0; i < 256; ++i)
    {
        if (i < 16)
            table[size_t(i)] = 0;
        else if (i >= 240)
            table[size_t(i)] = 255;
        else
            table[size_t(i)] = uint8_t(double(i - 16) * 255.0 * 0.004464285913854837);
    }
    return table;
}

constexpr ChromaTables kChroma;
const std::array<uint8_t, 256> kGrey = makeGreyTable();

// The widest picture the decoder accepts; the per-column chroma terms of one row pair live on the stack.
constexpr uint32_t kMaxWidth = 4096;

inline int32_t clampByte(int32_t value)
{
    return std::min(std::max(value, 0), 255);
}

void convertColour(const th_img_plane planes[3], uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   uint32_t* pixels)
{
    int16_t blue[kMaxWidth];
    int16_t green[kMaxWidth];
    int16_t red[kMaxWidth];
    int64_t chromaRow = -1;
    for (uint32_t row = 0; row < height; ++row)
    {
        const int64_t lumaRow = int64_t(y) + row;
        // Two luma rows share one chroma row: its terms are worked out once per pair.
        if ((lumaRow >> 1) != chromaRow)
        {
            chromaRow = lumaRow >> 1;
            const uint8_t* u = planes[1].data + chromaRow * planes[1].stride;
            const uint8_t* v = planes[2].data + chromaRow * planes[2].stride;
            for (uint32_t column = 0; column < width; ++column)
            {
                const uint32_t c = (x + column) >> 1;
                blue[column] = kChroma.uToBlue[u[c]];
                green[column] = int16_t(kChroma.vToGreen[v[c]] + kChroma.uToGreen[u[c]]);
                red[column] = kChroma.vToRed[v[c]];
            }
        }
        const uint8_t* luma = planes[0].data + lumaRow * planes[0].stride + x;
        uint32_t* out = pixels + size_t(row) * width;
        for (uint32_t column = 0; column < width; ++column)
        {
            const int32_t l = std::max(int32_t(luma[column]) - 16, 0);
            const uint32_t b = uint32_t(clampByte(l + blue[column]));
            const uint32_t g = uint32_t(clampByte(l - green[column]));
            const uint32_t r = uint32_t(clampByte(l + red[column]));
            out[column] = b | (g << 8) | (r << 16) | 0xFF000000u;
        }
    }
}

void convertGrey(const th_img_plane& plane, uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                 bool alphaOnly, uint32_t* pixels)
{
    for (uint32_t row = 0; row < height; ++row)
    {
        const uint8_t* luma = plane.data + (int64_t(y) + row) * plane.stride + x;
        uint32_t* out = pixels + size_t(row) * width;
        if (alphaOnly)
            for (uint32_t column = 0; column < width; ++column)
                out[column] = (out[column] & 0x00FFFFFFu) | (uint32_t(kGrey[luma[column]]) << 24);
        else
            for (uint32_t column = 0; column < width; ++column)
            {
                const uint32_t g = kGrey[luma[column]];
                out[column] = g | (g << 8) | (g << 16) | 0xFF000000u;
            }
    }
}

} // namespace

uint8_t LumaToGrey(uint8_t luma)
{
    return kGrey[luma];
}

void ConvertYuv420(const th_img_plane planes[3], uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                   YuvConversion conversion, uint32_t* pixels)
{
    if (width == 0 || height == 0 || width > kMaxWidth)
        return;
    switch (conversion)
    {
    case YuvConversion::Colour:
        convertColour(planes, x, y, width, height, pixels);
        break;
    case YuvConversion::Grey:
        convertGrey(planes[0], x, y, width, height, false, pixels);
        break;
    case YuvConversion::AlphaOnly:
        convertGrey(planes[0], x, y, width, height, true, pixels);
        break;
    }
}

} // namespace TarnEngine
