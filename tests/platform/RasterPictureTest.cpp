// Frames of the software device compared exactly with reference pictures, plus the pixel
// positions that the engine's half-pixel shifts rely on.
#include "RasterFixture.h"

#include <cmath>

namespace RasterTest
{
namespace
{

constexpr uint32_t Clear = 0xFF203040;

// A texture with a distinct colour in every texel and a soft round alpha.
uint32_t Pattern(int x, int y)
{
    const int dx = x - 31, dy = y - 31;
    const int d = int(std::sqrt(double(dx * dx + dy * dy)) * 8);
    const uint32_t alpha = d < 200 ? 255u : (d > 255 ? 0u : uint32_t(255 - (d - 200) * 255 / 55));
    return (alpha << 24) | (uint32_t(x * 4) << 16) | (uint32_t(y * 4) << 8) | uint32_t((x ^ y) * 4 & 0xFF);
}

class RasterPictureTest : public RasterFixture
{
};

TEST_F(RasterPictureTest, QuadCoversExactPixelsWithHalfPixelShift)
{
    auto texture =
        MakeTexture(128, 64, [](int x, int y) { return 0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8; });
    device->SetTexture(0, texture);
    Material(1, true);
    // Image area 100x50 of a 128x64 texture.
    ASSERT_EQ(DrawQuads(Quad(10, 20, 100, 50, 0xFFFFFFFF, 0, 0, 100.0f / 128, 50.0f / 64)), Result::Ok);
    for (int y = 0; y < int(Height); ++y)
    {
        for (int x = 0; x < int(Width); ++x)
        {
            const bool inside = x >= 10 && x <= 109 && y >= 20 && y <= 69;
            const uint32_t expected =
                inside ? 0xFF000000u | uint32_t(x - 10) << 16 | uint32_t(y - 20) << 8 : Clear;
            ASSERT_EQ(Pixel(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(CompareWithReference("quad", Frame()), "");
}

TEST_F(RasterPictureTest, SharedEdgesAreDrawnOnce)
{
    // Additive half-white triangles: a pixel drawn twice would be brighter.
    Material(2, false);
    std::vector<SpriteVertex> ring, fan;
    for (int k = 0; k < 7; ++k)
    {
        const float a = float(k) * 0.8975979f;
        ring.push_back(Vertex(80.3f + 50 * std::cos(a), 60.1f + 50 * std::sin(a), 0x80808080, 0, 0));
    }
    for (int k = 0; k < 7; ++k)
    {
        // The fourth corner repeats the third, so the second triangle of each "quad" is empty.
        fan.push_back(Vertex(80.3f, 60.1f, 0x80808080, 0, 0));
        fan.push_back(ring[k]);
        fan.push_back(ring[(k + 1) % 7]);
        fan.push_back(ring[(k + 1) % 7]);
    }
    device->Clear(Value::ClearTarget, 0xFF000000, 1.0f);
    ASSERT_EQ(DrawQuads(fan), Result::Ok);
    for (int y = 0; y < int(Height); ++y)
        for (int x = 0; x < int(Width); ++x)
            ASSERT_TRUE(Pixel(x, y) == 0xFF000000 || Pixel(x, y) == 0xFF404040)
                << x << "," << y << " " << std::hex << Pixel(x, y);
    EXPECT_EQ(CompareWithReference("fan", Frame()), "");
}

TEST_F(RasterPictureTest, MaterialsBlendAndTest)
{
    auto texture = MakeTexture(64, 64, Pattern);
    // Stripes to blend over.
    Material(0, false);
    for (int x = 0; x < int(Width); x += 20)
        DrawQuads(Quad(float(x), 0, 10, float(Height), 0xFFE0E0E0));
    const uint32_t words[] = {0, 1, 2, 3, 5, 6};
    for (int i = 0; i < 6; ++i)
    {
        const bool textured = words[i] != 3;
        device->SetTexture(0, textured ? texture : nullptr);
        Material(words[i], textured);
        const float x = float(5 + (i % 3) * 52), y = float(5 + (i / 3) * 56);
        ASSERT_EQ(DrawQuads(Quad(x, y, 48, 48, 0xC0FF8040)), Result::Ok) << i;
    }
    EXPECT_EQ(CompareWithReference("materials", Frame()), "");
}

TEST_F(RasterPictureTest, DepthMaskScheme)
{
    auto mask = MakeTexture(64, 64,
                            [](int x, int y)
                            { return (x - 32) * (x - 32) + (y - 32) * (y - 32) < 900 ? 0xFFFFFFFFu : 0u; });
    auto picture = MakeTexture(64, 64, Pattern);
    // The mask layer writes depth 0.4 inside its circle and no colour.
    device->SetTexture(0, mask);
    Material(4, true);
    ASSERT_EQ(DrawQuads(Quad(40, 20, 64, 64, 0xFFFFFFFF, 0, 0, 1, 1, 0.4f)), Result::Ok);
    const uint32_t afterMask = Pixel(72, 52);
    EXPECT_EQ(afterMask, Clear);
    // Masked in: only inside the circle; masked out: only outside it.
    device->SetTexture(0, nullptr);
    Material(3 | 0x10000, false);
    ASSERT_EQ(DrawQuads(Quad(20, 10, 100, 100, 0xFFFF0000)), Result::Ok);
    Material(3 | 0x40000, false);
    ASSERT_EQ(DrawQuads(Quad(30, 30, 110, 40, 0xFF00FF00)), Result::Ok);
    EXPECT_EQ(Pixel(72, 52), 0xFFFF0000u); // inside the mask: masked-in red, masked-out refused
    EXPECT_EQ(Pixel(35, 40), 0xFF00FF00u); // outside: masked-out green
    EXPECT_EQ(Pixel(25, 15), 0xFF203040u); // outside, only the masked-in quad there
    // Clearing the depth ends the mask: masked-in content shows nowhere.
    ASSERT_EQ(device->Clear(Value::ClearZBuffer, 0, 1.0f), Result::Ok);
    device->SetTexture(0, picture);
    Material(1 | 0x10000, true);
    ASSERT_EQ(DrawQuads(Quad(40, 20, 64, 64, 0xFFFFFFFF)), Result::Ok);
    EXPECT_EQ(Pixel(72, 52), 0xFFFF0000u);
    // Depth-writing alpha (material 6) then masked-out content behind it.
    Material(6, true);
    ASSERT_EQ(DrawQuads(Quad(100, 60, 50, 50, 0xFFFFFFFF, 0, 0, 1, 1, 0.3f)), Result::Ok);
    device->SetTexture(0, nullptr);
    Material(3 | 0x40000, false);
    ASSERT_EQ(DrawQuads(Quad(90, 90, 60, 20, 0xFF0000FF)), Result::Ok);
    EXPECT_EQ(CompareWithReference("mask", Frame()), "");
}

TEST_F(RasterPictureTest, PointAndBilinearSampling)
{
    auto checker = MakeTexture(
        4, 4,
        [](int x, int y)
        { return ((x + y) & 1) ? 0xFFFFFFFFu : 0xFF000000u | uint32_t(x * 60) << 16 | uint32_t(y * 60); });
    device->SetTexture(0, checker);
    Material(0, true, false);
    ASSERT_EQ(DrawQuads(Quad(8, 8, 64, 64, 0xFFFFFFFF)), Result::Ok);
    Material(0, true, true);
    ASSERT_EQ(DrawQuads(Quad(88, 8, 64, 64, 0xFFFFFFFF)), Result::Ok);
    // Point sampling: each texel covers 16x16 pixels exactly.
    EXPECT_EQ(Pixel(8, 8), 0xFF000000u);
    EXPECT_EQ(Pixel(23, 23), 0xFF000000u);
    EXPECT_EQ(Pixel(24, 8), 0xFFFFFFFFu);
    // Bilinear: texel centres land on pixels 7.5 + 16k; between them the colours mix.
    EXPECT_NE(Pixel(88 + 16, 8 + 4), Pixel(8 + 16, 8 + 4));
    // Rotated and scaled bilinear sprite below.
    std::vector<SpriteVertex> rotated;
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
    const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int k = 0; k < 4; ++k)
        rotated.push_back(Vertex(80 + 24 * (corners[k][0] * c - corners[k][1] * s),
                                 100 + 16 * (corners[k][0] * s + corners[k][1] * c), 0xFFFFFFFF, uv[k][0],
                                 uv[k][1]));
    ASSERT_EQ(DrawQuads(rotated), Result::Ok);
    EXPECT_EQ(CompareWithReference("filtering", Frame()), "");
}

TEST_F(RasterPictureTest, VertexColourModulation)
{
    auto texture = MakeTexture(64, 64, Pattern);
    device->SetTexture(0, texture);
    Material(1, true);
    std::vector<SpriteVertex> quad = Quad(10, 10, 80, 80, 0xFFFFFFFF);
    quad[0].colour = 0xFFFF0000;
    quad[1].colour = 0x8000FF00;
    quad[2].colour = 0xFF0000FF;
    quad[3].colour = 0xFFFFFFFF;
    ASSERT_EQ(DrawQuads(quad), Result::Ok);
    // Untextured Gouraud triangle: an unbound stage samples opaque white, so modulate keeps colours.
    device->SetTexture(0, nullptr);
    Material(1, true);
    std::vector<SpriteVertex> tri = {Vertex(100, 20, 0xFFFF0000, 0, 0), Vertex(150, 60, 0xFF00FF00, 0, 0),
                                     Vertex(110, 110, 0x400000FF, 0, 0), Vertex(110, 110, 0x400000FF, 0, 0)};
    ASSERT_EQ(DrawQuads(tri), Result::Ok);
    EXPECT_GT((Pixel(102, 24) >> 16) & 0xFF, 200u);
    EXPECT_EQ(CompareWithReference("gouraud", Frame()), "");
}

TEST_F(RasterPictureTest, Lines)
{
    Material(3, false);
    // Horizontal and vertical lines leave their last pixel out.
    ASSERT_EQ(DrawLines({Vertex(10, 10, 0xFFFFFFFF, 0, 0), Vertex(20, 10, 0xFFFFFFFF, 0, 0),
                         Vertex(5, 20, 0xFFFF0000, 0, 0), Vertex(5, 30, 0xFFFF0000, 0, 0)}),
              Result::Ok);
    EXPECT_EQ(Pixel(9, 10), Clear);
    EXPECT_EQ(Pixel(10, 10), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(19, 10), 0xFFFFFFFFu);
    EXPECT_EQ(Pixel(20, 10), Clear);
    EXPECT_EQ(Pixel(5, 20), 0xFFFF0000u);
    EXPECT_EQ(Pixel(5, 29), 0xFFFF0000u);
    EXPECT_EQ(Pixel(5, 30), Clear);
    // A star of Gouraud lines in every direction.
    std::vector<SpriteVertex> star;
    for (int k = 0; k < 16; ++k)
    {
        const float a = float(k) * 0.3926991f;
        star.push_back(Vertex(100, 70, 0xFFFFFF00, 0, 0));
        star.push_back(Vertex(100 + 45 * std::cos(a), 70 + 45 * std::sin(a), 0x8000FFFF, 0, 0));
    }
    ASSERT_EQ(DrawLines(star), Result::Ok);
    EXPECT_EQ(CompareWithReference("lines", Frame()), "");
}

TEST_F(RasterPictureTest, RenderTargetAndReadBack)
{
    std::shared_ptr<RasterTexture> target;
    ASSERT_EQ(
        device->CreateTexture(64, 64, 1, Value::UsageRenderTarget, Format::A8R8G8B8, Pool::Default, target),
        Result::Ok);
    std::shared_ptr<RasterSurface> level, depth, savedTarget, savedDepth;
    ASSERT_EQ(target->GetSurfaceLevel(0, level), Result::Ok);
    ASSERT_EQ(device->CreateDepthStencilSurface(64, 64, Format::D16, true, depth), Result::Ok);
    ASSERT_EQ(device->GetRenderTarget(0, savedTarget), Result::Ok);
    ASSERT_EQ(device->GetDepthStencilSurface(savedDepth), Result::Ok);
    ASSERT_EQ(device->SetRenderTarget(0, level), Result::Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(depth), Result::Ok);
    ASSERT_EQ(device->Clear(Value::ClearTarget | Value::ClearZBuffer, 0xFFFF00AA, 1.0f), Result::Ok);
    auto texture = MakeTexture(64, 64, Pattern);
    device->SetTexture(0, texture);
    Material(1, true);
    ASSERT_EQ(DrawQuads(Quad(8, 8, 48, 48, 0xFFFFFFFF)), Result::Ok);
    // Read back, then draw the target onto the back buffer.
    std::shared_ptr<RasterSurface> copy;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(64, 64, Format::A8R8G8B8, Pool::SystemMem, copy),
              Result::Ok);
    ASSERT_EQ(device->GetRenderTargetData(level, copy), Result::Ok);
    LockedRect rect;
    ASSERT_EQ(copy->LockRect(rect, Value::LockReadOnly), Result::Ok);
    const uint32_t* bits = static_cast<const uint32_t*>(rect.bits);
    EXPECT_EQ(bits[0], 0xFFFF00AAu);
    EXPECT_TRUE(std::equal(bits, bits + 64 * 64, level->Pixels()));
    copy->UnlockRect();
    ASSERT_EQ(device->SetRenderTarget(0, savedTarget), Result::Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(savedDepth), Result::Ok);
    device->SetTexture(0, target);
    Material(0, true);
    ASSERT_EQ(DrawQuads(Quad(48, 28, 64, 64, 0xFFFFFFFF)), Result::Ok);
    EXPECT_EQ(Pixel(48, 28), 0xFFFF00AAu);
    EXPECT_EQ(CompareWithReference("target", Frame()), "");
}

} // namespace
} // namespace RasterTest
