// Rotated, sheared and strongly shrunk textured quads take the device's sampled runs (and, for
// small textures, taps from a bordered copy of the texture). A table of such quads, clipped at
// each side, at sub-pixel positions, flipped, reaching past the texture's sides, on tiny and large
// textures, is drawn with every blend the pipeline has and both filters, and must give exactly the
// pixels of the general path, with the 512-bit listing and the 256-bit runs (where the processor has
// them) and without.
#include "RasterFixture.h"

#include <cmath>
#include <random>

namespace RasterTest
{
namespace
{

struct QuadCase
{
    const char* name;
    float cx, cy;   // centre
    float sx, sy;   // half sizes
    float angle;    // radians
    float u0, v0, u1, v1;
    uint32_t texWidth, texHeight;
    float pinch = 0.0f; // moves the fourth corner towards the centre (past it: a concave quad)
};

const QuadCase quadCases[] = {
    {"particle", 40.3f, 30.7f, 4.2f, 4.2f, 0.7f, 0, 0, 1, 1, 8, 8},
    {"tiny particle", 71.6f, 52.2f, 2.1f, 1.6f, 2.0f, 0, 0, 1, 1, 8, 8},
    {"long runs", 80.0f, 60.0f, 60.0f, 40.0f, 0.3f, 0, 0, 1, 1, 32, 16},
    {"clipped left", 2.0f, 50.0f, 10.0f, 7.0f, 0.4f, 0, 0, 1, 1, 16, 16},
    {"clipped top", 60.0f, 1.0f, 10.0f, 7.0f, 1.1f, 0, 0, 1, 1, 16, 16},
    {"clipped right", float(RasterFixture::Width) - 3.0f, 40.0f, 12.0f, 6.0f, 2.5f, 0, 0, 1, 1, 16, 16},
    {"clipped bottom", 90.0f, float(RasterFixture::Height) - 2.0f, 9.0f, 9.0f, 5.0f, 0, 0, 1, 1, 16, 16},
    {"sub-pixel, nearly level", 60.37f, 44.81f, 13.3f, 6.1f, 0.05f, 0, 0, 1, 1, 16, 8},
    {"flipped", 50.5f, 60.5f, 14.0f, 10.0f, 0.9f, 1, 1, 0, 0, 8, 8},
    {"past the sides", 70.0f, 50.0f, 20.0f, 15.0f, 0.3f, -0.6f, -0.4f, 1.7f, 1.5f, 8, 8},
    {"partly past the sides", 70.0f, 50.0f, 20.0f, 15.0f, 0.6f, -0.05f, 0.0f, 1.0f, 1.08f, 8, 8},
    {"two by two", 50.0f, 50.0f, 20.0f, 20.0f, 0.8f, 0, 0, 1, 1, 2, 2},
    {"one texel row", 50.0f, 50.0f, 20.0f, 10.0f, 0.8f, 0, 0, 1, 1, 8, 1},
    {"large texture", 80.0f, 60.0f, 50.0f, 40.0f, 0.2f, 0, 0, 1, 1, 300, 240},
    // Textures too large for the bordered copy, scaled down 4x and up 2x, as backgrounds are: runs
    // whose taps are all inside take them from the texture itself, their ends clamp as before.
    {"large, down 4x", 80.0f, 60.0f, 80.0f, 60.0f, 0.0f, 0, 0, 1, 1, 640, 480},
    {"large, down 4x, sub-pixel", 80.3f, 59.6f, 80.0f, 60.0f, 0.0f, 0, 0, 1, 1, 640, 480},
    {"large, down 4x, to the last column and row", 80.0f, 60.0f, 80.0f, 60.0f, 0.0f, 0.003f, 0.004f, 1.002f,
     1.003f, 640, 480},
    {"large, down 4x, turned", 80.2f, 60.7f, 70.0f, 50.0f, 0.05f, 0, 0, 1, 1, 640, 480},
    {"large, down 4x, flipped, past the sides", 80.0f, 60.0f, 80.0f, 60.0f, 0.01f, 1.02f, 1.02f, -0.02f, -0.02f,
     640, 480},
    {"large, up 2x, last texels", 80.0f, 60.0f, 80.0f, 60.0f, 0.01f, 0.8f, 0.8f, 1, 1, 400, 300},
    {"large, up 2x, first texels", 80.4f, 59.7f, 80.0f, 60.0f, -0.02f, 0, 0, 0.2f, 0.2f, 400, 300},
    {"large, up 2x, clipped", 100.0f, 70.0f, 100.0f, 75.0f, 0.3f, 0.5f, 0.5f, 0.75f, 0.75f, 400, 300},
    // Level quads stretched up to 2x mix two texel rows once and then neighbouring columns.
    {"level, up 2x, last texels", 80.0f, 60.0f, 80.0f, 60.0f, 0.0f, 0.8f, 0.8f, 1, 1, 400, 300},
    {"level, up 1.5x, flipped, first texels", 80.3f, 60.6f, 75.0f, 50.0f, 0.0f, 0.25f, 0.2f, 0, 0, 400, 300},
    {"level, up 2x, past the sides", 80.0f, 60.0f, 80.0f, 60.0f, 0.0f, -0.1f, -0.05f, 1.15f, 1.1f, 64, 48},
    {"level, down 2x", 80.4f, 60.0f, 40.0f, 30.0f, 0.0f, 0, 0, 1, 1, 160, 120},
    {"large, one texel past the last", 80.0f, 60.0f, 80.0f, 60.0f, 0.02f, 0.5f, 0.5f, 1.0025f, 1.0034f, 400, 300},
    {"shrunk", 40.25f, 40.75f, 5.0f, 5.0f, 0.0f, 0, 0, 1, 1, 64, 64},
    {"shrunk and flipped", 40.25f, 40.75f, 5.0f, 5.0f, 0.0f, 1, 0, 0, 1, 64, 64},
    // Small sprites are listed pixel by pixel before they are filled; the two triangles of a quad
    // that is not one plane are listed together.
    {"particle, two planes", 40.3f, 30.7f, 4.2f, 4.2f, 0.7f, 0, 0, 1, 1, 8, 8, 0.15f},
    {"tiny particle, two planes", 71.6f, 52.2f, 1.6f, 2.1f, 2.0f, 0, 0, 1, 1, 8, 8, 0.2f},
    {"concave", 60.3f, 40.7f, 5.2f, 4.6f, 0.4f, 0, 0, 1, 1, 8, 8, 1.6f},
    {"long listed rows", 60.2f, 44.6f, 15.0f, 3.2f, 0.2f, 0, 0, 1, 1, 16, 8, 0.1f},
    {"small, past the sides", 50.4f, 40.6f, 5.0f, 4.0f, 0.5f, -0.6f, -0.4f, 1.7f, 1.5f, 8, 8, 0.1f},
    {"small, quarter turn, past the sides", 50.4f, 40.6f, 5.0f, 4.0f, 1.5707964f, -0.6f, -0.4f, 1.7f, 1.5f, 8, 8},
    {"small, partly past the sides", 50.4f, 40.6f, 5.0f, 4.0f, 1.2f, -0.05f, 0.0f, 1.0f, 1.08f, 8, 8, 0.1f},
    {"last pixels of the target", float(RasterFixture::Width) - 1.6f, float(RasterFixture::Height) - 1.3f, 4.0f,
     3.0f, 0.6f, 0, 0, 1, 1, 8, 8, 0.1f},
};

struct BlendCase
{
    const char* name;
    bool blend;
    uint32_t source, destination;
    bool alphaTest;
    uint32_t alphaRef;
};

const BlendCase blendCases[] = {
    {"replace", false, Value::BlendOne, Value::BlendZero, false, 0},
    {"replace, tested", false, Value::BlendOne, Value::BlendZero, true, 128},
    {"over", true, Value::BlendSrcAlpha, Value::BlendInvSrcAlpha, true, 1},
    {"over, tested", true, Value::BlendSrcAlpha, Value::BlendInvSrcAlpha, true, 128},
    {"add", true, Value::BlendSrcAlpha, Value::BlendOne, true, 1},
    {"add, untested", true, Value::BlendSrcAlpha, Value::BlendOne, false, 0},
    {"mask layer", true, Value::BlendZero, Value::BlendOne, true, 1},
    {"one, one", true, Value::BlendOne, Value::BlendOne, false, 0},
    {"inverse source alpha, source alpha", true, Value::BlendInvSrcAlpha, Value::BlendSrcAlpha, true, 1},
};

// The widest runs the fast paths may take (each only where the processor has it).
struct RunWidth
{
    const char* name;
    bool wide, widest;
};

const RunWidth runWidths[] = {{"512-bit", true, true}, {"256-bit", true, false}, {"128-bit", false, false}};

class RasterSampledRunTest : public RasterFixture
{
protected:
    std::vector<SpriteVertex> RotatedQuad(const QuadCase& q, uint32_t colour)
    {
        const float c = std::cos(q.angle), s = std::sin(q.angle);
        const float last = 1.0f - q.pinch;
        const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-last, -last}};
        const float uv[4][2] = {{q.u0, q.v1}, {q.u1, q.v1}, {q.u1, q.v0}, {q.u0, q.v0}};
        std::vector<SpriteVertex> quad;
        for (int k = 0; k < 4; ++k)
        {
            const float x = corners[k][0] * q.sx, y = corners[k][1] * q.sy;
            quad.push_back(Vertex(q.cx + x * c - y * s, q.cy + x * s + y * c, colour, uv[k][0], uv[k][1]));
            quad.back().z = 0.51f;
        }
        return quad;
    }

    std::shared_ptr<RasterTexture> Texture(uint32_t w, uint32_t h, uint32_t seed)
    {
        std::mt19937 texelRandom(seed);
        return MakeTexture(w, h,
                           [&](int, int)
                           {
                               const uint32_t word = uint32_t(texelRandom());
                               // Clear, opaque and partly covered texels, as sprites have them.
                               switch (word % 4)
                               {
                               case 0:
                                   return word & 0x00FFFFFF;
                               case 1:
                                   return word | 0xFF000000;
                               default:
                                   return word;
                               }
                           });
    }

    void Blend(const BlendCase& b)
    {
        device->SetRenderState(RenderState::AlphaBlendEnable, b.blend ? 1 : 0);
        device->SetRenderState(RenderState::SrcBlend, b.source);
        device->SetRenderState(RenderState::DestBlend, b.destination);
        device->SetRenderState(RenderState::AlphaTestEnable, b.alphaTest ? 1 : 0);
        device->SetRenderState(RenderState::AlphaRef, b.alphaRef);
    }

    // Draws the quad on the background with the fast paths on or off, and the widest runs as asked.
    Picture Draw(const std::vector<SpriteVertex>& quad, const std::vector<uint32_t>& background, bool fast,
                 const RunWidth& width = runWidths[0])
    {
        std::shared_ptr<RasterSurface> target;
        EXPECT_EQ(device->GetRenderTarget(0, target), Result::Ok);
        std::copy(background.begin(), background.end(), target->Pixels());
        device->SetFastPaths(fast);
        device->SetWideRuns(width.wide);
        device->SetWidestRuns(width.widest);
        EXPECT_EQ(DrawQuads(quad), Result::Ok);
        device->SetFastPaths(true);
        device->SetWideRuns(true);
        device->SetWidestRuns(true);
        return Frame();
    }

    std::vector<uint32_t> Background()
    {
        std::vector<uint32_t> pixels(size_t(Width) * Height);
        for (auto& p : pixels)
            p = uint32_t(random());
        return pixels;
    }

    std::mt19937 random{20261211};
};

TEST_F(RasterSampledRunTest, QuadTableMatchesTheGeneralPath)
{
    const std::vector<uint32_t> background = Background();
    uint32_t seed = 1;
    for (const QuadCase& q : quadCases)
    {
        device->SetTexture(0, Texture(q.texWidth, q.texHeight, seed++));
        for (const BlendCase& b : blendCases)
            for (bool linear : {false, true})
                for (uint32_t colour : {0xFFFFFFFFu, 0xA0C08040u})
                {
                    Blend(b);
                    Filter(linear);
                    const std::vector<SpriteVertex> quad = RotatedQuad(q, colour);
                    const Picture general = Draw(quad, background, false);
                    size_t changed = 0;
                    for (const RunWidth& width : runWidths)
                    {
                        const Picture fast = Draw(quad, background, true, width);
                        for (size_t i = 0; i < fast.pixels.size(); ++i)
                        {
                            changed += fast.pixels[i] != background[i];
                            ASSERT_EQ(fast.pixels[i], general.pixels[i])
                                << q.name << ", " << b.name << (linear ? ", bilinear" : ", point") << ", colour "
                                << std::hex << colour << ", " << width.name << ": pixel " << std::dec
                                << i % Width << "," << i / Width;
                        }
                    }
                    // Every case draws something, so the comparison is not between two untouched frames.
                    if (b.source != Value::BlendZero)
                        EXPECT_GT(changed, 0u) << q.name << ", " << b.name;
                }
    }
}

// The bordered copy belongs to one draw call: texels written between two draws are what the second
// one samples.
TEST_F(RasterSampledRunTest, TexelsChangedBetweenDrawsAreSampled)
{
    const std::vector<uint32_t> background = Background();
    auto texture = Texture(8, 8, 7);
    device->SetTexture(0, texture);
    Blend(blendCases[2]);
    Filter(true);
    const std::vector<SpriteVertex> quad = RotatedQuad(quadCases[0], 0xFFFFFFFF);
    const Picture before = Draw(quad, background, true);

    LockedRect rect;
    ASSERT_EQ(texture->LockRect(0, rect, 0), Result::Ok);
    for (int i = 0; i < 64; ++i)
        static_cast<uint32_t*>(rect.bits)[(i / 8) * (rect.pitch / 4) + i % 8] = 0xFF00FF00u + uint32_t(i);
    ASSERT_EQ(texture->UnlockRect(0), Result::Ok);

    const Picture after = Draw(quad, background, true);
    const Picture general = Draw(quad, background, false);
    EXPECT_EQ(after.pixels, general.pixels);
    EXPECT_NE(after.pixels, before.pixels);
}

// Many small rotated sprites in one draw call, as particle effects send them (some of them drawn as
// two triangles listed together), overlapping one another.
TEST_F(RasterSampledRunTest, ManySpritesInOneDrawMatchTheGeneralPath)
{
    const std::vector<uint32_t> background = Background();
    device->SetTexture(0, Texture(8, 8, 11));
    Blend(blendCases[4]);
    Filter(true);
    std::vector<SpriteVertex> quads;
    std::uniform_real_distribution<float> real(0.0f, 1.0f);
    for (int i = 0; i < 300; ++i)
    {
        const QuadCase q{"", real(random) * Width, real(random) * Height, 1.0f + 6.0f * real(random),
                         1.0f + 6.0f * real(random), 6.3f * real(random), 0, 0, 1, 1, 8, 8};
        const auto one = RotatedQuad(q, 0x80FFFFFFu | (uint32_t(random()) & 0x7F00FFFFu));
        quads.insert(quads.end(), one.begin(), one.end());
    }
    const Picture fast = Draw(quads, background, true);
    const Picture general = Draw(quads, background, false);
    EXPECT_EQ(fast.pixels, general.pixels);
}

// Turned sprites whose sides or diagonal run through pixel centres, or whose diagonal ends on them,
// where the fill rule decides which pixels a side keeps and which triangle a pixel belongs to.
TEST_F(RasterSampledRunTest, SidesThroughPixelCentresMatchTheGeneralPath)
{
    struct Corners
    {
        const char* name;
        float xy[4][2];
    };
    const Corners cases[] = {
        {"sides through centres", {{40.5f, 26.5f}, {44.5f, 30.5f}, {40.5f, 34.5f}, {36.5f, 30.5f}}},
        {"sides through centres, two planes", {{40.5f, 26.5f}, {44.5f, 30.5f}, {40.5f, 34.5f}, {37.25f, 30.5f}}},
        {"diagonal through centres", {{37.5f, 27.5f}, {44.5f, 26.5f}, {43.5f, 33.5f}, {36.5f, 34.5f}}},
        {"diagonal through centres, two planes", {{37.5f, 27.5f}, {44.5f, 26.5f}, {43.5f, 33.5f}, {37.0f, 33.75f}}},
        {"diagonal through centres, other winding", {{37.5f, 27.5f}, {36.5f, 34.5f}, {43.5f, 33.5f}, {44.25f, 26.75f}}},
        {"ends of the diagonal on centres", {{40.0f, 26.0f}, {44.5f, 30.25f}, {40.0f, 34.0f}, {36.25f, 30.5f}}},
    };
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    const std::vector<uint32_t> background = Background();
    device->SetTexture(0, Texture(8, 8, 21));
    for (const Corners& q : cases)
        for (const BlendCase& b : blendCases)
            for (uint32_t colour : {0xFFFFFFFFu, 0xA0C08040u})
            {
                Blend(b);
                Filter(true);
                std::vector<SpriteVertex> quad;
                for (int k = 0; k < 4; ++k)
                    quad.push_back(Vertex(q.xy[k][0], q.xy[k][1], colour, uv[k][0], uv[k][1]));
                const Picture general = Draw(quad, background, false);
                for (const RunWidth& width : runWidths)
                    ASSERT_EQ(Draw(quad, background, true, width).pixels, general.pixels)
                        << q.name << ", " << b.name << ", colour " << std::hex << colour
                        << ", " << width.name;
            }
}

// Small sprites of every kind the quad listing takes or hands back (one plane or two, corners on
// pixel centres, half off the target, sampling past the texture's sides, textures from 2x2 to the
// largest listed and just above it), many to a draw call, with every blend: the same pixels as the
// general path, with each width of runs.
TEST_F(RasterSampledRunTest, ManySmallSpritesEveryBlendMatchTheGeneralPath)
{
    const std::vector<uint32_t> background = Background();
    std::uniform_real_distribution<float> real(0.0f, 1.0f);
    const uint32_t sizes[][2] = {{2, 2}, {8, 8}, {16, 4}, {120, 120}, {121, 8}};
    uint32_t seed = 100;
    for (const auto& size : sizes)
    {
        device->SetTexture(0, Texture(size[0], size[1], seed++));
        for (const BlendCase& b : blendCases)
        {
            Blend(b);
            Filter(true);
            std::vector<SpriteVertex> quads;
            for (int i = 0; i < 120; ++i)
            {
                const float half = 0.5f + 12.0f * real(random) * real(random);
                QuadCase q{"", (1.2f * real(random) - 0.1f) * Width, (1.2f * real(random) - 0.1f) * Height, half,
                           half * (0.5f + real(random)), 6.3f * real(random), 0, 0, 1, 1, size[0], size[1]};
                if (i % 4 == 1)
                    q.pinch = 0.3f * real(random);
                if (i % 5 == 2)
                {
                    // Corners on pixel centres.
                    q.cx = std::round(q.cx);
                    q.cy = std::round(q.cy);
                    q.sx = q.sy = std::round(q.sx) + 1.0f;
                    q.angle = 0.0f;
                }
                if (i % 7 == 3)
                {
                    q.u0 = -0.1f;
                    q.v1 = 1.15f;
                }
                const uint32_t colour = i % 3 == 0 ? 0xFFFFFFFFu : uint32_t(random());
                const auto one = RotatedQuad(q, colour);
                quads.insert(quads.end(), one.begin(), one.end());
            }
            const Picture general = Draw(quads, background, false);
            for (const RunWidth& width : runWidths)
                ASSERT_EQ(Draw(quads, background, true, width).pixels, general.pixels)
                    << b.name << ", texture " << size[0] << "x" << size[1] << ", " << width.name;
        }
    }
}

} // namespace
} // namespace RasterTest
