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
