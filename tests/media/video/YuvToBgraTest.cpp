// The conversion of decoded 4:2:0 frames into pixels, on planes built by hand.
#include "engine/media/video/YuvToBgra.h"

#include "tests/media/video/VideoWorld.h"

#include <gtest/gtest.h>

namespace VideoTest
{
namespace
{

// Planes of a picture of w x h (even) with one value each.
struct Planes
{
    Planes(uint32_t w, uint32_t h, uint8_t y, uint8_t u, uint8_t v)
        : luma(size_t(w) * h, y), cb(size_t(w / 2) * (h / 2), u), cr(cb.size(), v)
    {
        planes[0] = {int(w), int(h), int(w), luma.data()};
        planes[1] = {int(w / 2), int(h / 2), int(w / 2), cb.data()};
        planes[2] = {int(w / 2), int(h / 2), int(w / 2), cr.data()};
    }
    std::vector<uint8_t> luma, cb, cr;
    th_ycbcr_buffer planes;
};

struct ColourCase
{
    uint8_t y, u, v;
    uint8_t b, g, r;
};

TEST(YuvToBgra, ColourTable)
{
    const ColourCase cases[] = {
        {16, 128, 128, 0, 0, 0},       // black
        {235, 128, 128, 219, 219, 219}, // white is 219: luma is not stretched
        {0, 128, 128, 0, 0, 0},        // luma below 16 counts as 16
        {255, 128, 128, 239, 239, 239},
        {81, 90, 240, 0, 0, 255},      // clamped at both ends
        {145, 54, 34, 1, 220, 0},      // negative terms round down (arithmetic shift)
    };
    for (const ColourCase& c : cases)
    {
        Planes in(2, 2, c.y, c.u, c.v);
        std::vector<uint32_t> out(4, 0x12345678);
        ConvertYuv420(in.planes, 0, 0, 2, 2, YuvConversion::Colour, out.data());
        for (uint32_t p : out)
        {
            EXPECT_EQ(B(p), c.b) << "Y " << int(c.y) << " U " << int(c.u) << " V " << int(c.v);
            EXPECT_EQ(G(p), c.g) << "Y " << int(c.y) << " U " << int(c.u) << " V " << int(c.v);
            EXPECT_EQ(R(p), c.r) << "Y " << int(c.y) << " U " << int(c.u) << " V " << int(c.v);
            EXPECT_EQ(A(p), 255);
        }
    }
}

// Every pair of chroma values, in blocks wide enough for the vector path and, shifted by a column,
// through the per-pixel path: both give the formula's bytes.
TEST(YuvToBgra, EveryChromaPairByBothPaths)
{
    auto term = [](int32_t factor, int32_t offset, int32_t i) { return (factor * i - offset) >> 16; };
    auto clamp = [](int32_t v) { return uint32_t(std::min(std::max(v, 0), 255)); };
    // Chroma 256 x 256: U along the row, V down the column; luma 512 x 512 of a pattern.
    const uint32_t side = 512;
    std::vector<uint8_t> luma(size_t(side) * side);
    std::vector<uint8_t> cb(size_t(side / 2) * (side / 2));
    std::vector<uint8_t> cr(cb.size());
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x)
            luma[size_t(y) * side + x] = uint8_t((x * 7 + y * 3) & 255);
    for (uint32_t v = 0; v < side / 2; ++v)
        for (uint32_t u = 0; u < side / 2; ++u)
        {
            cb[size_t(v) * (side / 2) + u] = uint8_t(u);
            cr[size_t(v) * (side / 2) + u] = uint8_t(v);
        }
    th_ycbcr_buffer planes;
    planes[0] = {int(side), int(side), int(side), luma.data()};
    planes[1] = {int(side / 2), int(side / 2), int(side / 2), cb.data()};
    planes[2] = {int(side / 2), int(side / 2), int(side / 2), cr.data()};
    for (uint32_t x0 : {0u, 1u})
    {
        const uint32_t width = side - x0;
        std::vector<uint32_t> out(size_t(width) * side);
        ConvertYuv420(planes, x0, 0, width, side, YuvConversion::Colour, out.data());
        int wrong = 0;
        for (uint32_t y = 0; y < side && wrong < 5; ++y)
            for (uint32_t x = 0; x < width && wrong < 5; ++x)
            {
                const int32_t u = int32_t((x + x0) / 2);
                const int32_t v = int32_t(y / 2);
                const int32_t l = std::max(int32_t(luma[size_t(y) * side + x + x0]) - 16, 0);
                const uint32_t expected =
                    clamp(l + term(113508, 14496256, u)) |
                    clamp(l - (term(45744, 5822464, v) + term(22020, 2785792, u))) << 8 |
                    clamp(l + term(113443, 14487936, v)) << 16 | 0xFF000000u;
                if (out[size_t(y) * width + x] != expected)
                {
                    ++wrong;
                    ADD_FAILURE() << "offset " << x0 << " at " << x << "," << y << ": " << std::hex
                                  << out[size_t(y) * width + x] << " instead of " << expected;
                }
            }
    }
}

TEST(YuvToBgra, FourLumaSamplesShareOneChromaSample)
{
    // 4 x 4: the chroma sample of the right half is blue-ish, the left one neutral.
    Planes in(4, 4, 128, 128, 128);
    in.cb[1] = 255; // chroma row 0, column 1: luma columns 2 and 3 of rows 0 and 1
    std::vector<uint32_t> out(16);
    ConvertYuv420(in.planes, 0, 0, 4, 4, YuvConversion::Colour, out.data());
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
        {
            const bool tinted = y < 2 && x >= 2;
            EXPECT_EQ(B(out[y * 4 + x]), tinted ? 255 : 112) << x << "," << y;
        }

    // A picture that starts at an odd column pairs its samples with the frame's chroma, not its own.
    std::vector<uint32_t> shifted(3 * 2);
    ConvertYuv420(in.planes, 1, 1, 3, 2, YuvConversion::Colour, shifted.data());
    EXPECT_EQ(B(shifted[0]), 112);  // frame (1, 1): chroma column 0
    EXPECT_EQ(B(shifted[1]), 255);  // frame (2, 1): chroma column 1
    EXPECT_EQ(B(shifted[3]), 112);  // frame (1, 2): chroma row 1
    EXPECT_EQ(B(shifted[4]), 112);
}

TEST(YuvToBgra, GreyAndAlphaOnly)
{
    const std::pair<uint8_t, uint8_t> greys[] = {{0, 0},     {15, 0},    {16, 0},    {17, 1},
                                                 {128, 127}, {239, 253}, {240, 255}, {255, 255}};
    for (const auto& [luma, grey] : greys)
    {
        EXPECT_EQ(LumaToGrey(luma), grey) << "Y " << int(luma);
        Planes in(2, 2, luma, 0, 255); // chroma plays no part
        std::vector<uint32_t> out(4, 0x00112233);
        ConvertYuv420(in.planes, 0, 0, 2, 2, YuvConversion::Grey, out.data());
        EXPECT_EQ(out[3], 0xFF000000u | grey * 0x010101u) << "Y " << int(luma);
        std::vector<uint32_t> alpha(4, 0x00112233);
        ConvertYuv420(in.planes, 0, 0, 2, 2, YuvConversion::AlphaOnly, alpha.data());
        EXPECT_EQ(alpha[3], uint32_t(grey) << 24 | 0x00112233u) << "the colours stay, Y " << int(luma);
    }
}

} // namespace
} // namespace VideoTest
