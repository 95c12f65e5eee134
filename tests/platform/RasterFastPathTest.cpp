// The fast span routines of the software device must give the same pixels as its general path:
// random quads (copied 1:1, scaled, rotated; point and bilinear; uniform and Gouraud colour; every
// blend and alpha test the device offers) drawn both ways and compared exactly.
#include "RasterFixture.h"

#include <cmath>
#include <random>

namespace RasterTest
{
namespace
{

class RasterFastPathTest : public RasterFixture
{
protected:
    uint32_t Pick(std::initializer_list<uint32_t> values)
    {
        std::uniform_int_distribution<size_t> pick(0, values.size() - 1);
        return *(values.begin() + pick(random));
    }
    float Real(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }
    uint32_t Word() { return uint32_t(random()); }

    void RandomState()
    {
        device->SetRenderState(RenderState::ZEnable, Pick({0, 0, 1}));
        device->SetRenderState(RenderState::ZWriteEnable, Pick({0, 1}));
        device->SetRenderState(RenderState::ZFunc, Pick({Value::CmpLess, Value::CmpGreater,
                                                         Value::CmpGreaterEqual, Value::CmpAlways}));
        device->SetRenderState(RenderState::AlphaBlendEnable, Pick({0, 1, 1, 1}));
        const uint32_t pair = Pick({0, 0, 1, 2, 3});
        const uint32_t factors[4][2] = {{Value::BlendSrcAlpha, Value::BlendInvSrcAlpha},
                                        {Value::BlendSrcAlpha, Value::BlendOne},
                                        {Value::BlendZero, Value::BlendOne},
                                        {Pick({1, 2, 5, 6}), Pick({1, 2, 5, 6})}};
        device->SetRenderState(RenderState::SrcBlend, factors[pair][0]);
        device->SetRenderState(RenderState::DestBlend, factors[pair][1]);
        device->SetRenderState(RenderState::AlphaTestEnable, Pick({0, 1}));
        device->SetRenderState(RenderState::AlphaRef, Pick({0, 1, 1, 128, 255, Word() & 0xFF}));
        device->SetRenderState(RenderState::AlphaFunc,
                               Pick({Value::CmpGreaterEqual, Value::CmpGreaterEqual, Value::CmpGreater,
                                     Value::CmpLess, Value::CmpAlways}));
        device->SetRenderState(RenderState::TextureFactor, Pick({0x20FFFFFF, Word()}));
        const uint32_t op =
            Pick({Value::OpModulate, Value::OpModulate, Value::OpSelectArg1, Value::OpSelectArg2});
        const uint32_t arg1 =
            Pick({Value::ArgTexture, Value::ArgTexture, Value::ArgTextureFactor, Value::ArgDiffuse});
        device->SetTextureStageState(0, StageState::ColorOp, op);
        device->SetTextureStageState(0, StageState::ColorArg1, arg1);
        device->SetTextureStageState(0, StageState::AlphaOp, Pick({op, op, op, Value::OpModulate}));
        device->SetTextureStageState(0, StageState::AlphaArg1, Pick({arg1, arg1, Value::ArgTexture}));
        Filter(Pick({0, 1}) == 1);
    }

    std::vector<SpriteVertex> RandomQuad(uint32_t texWidth, uint32_t texHeight)
    {
        const uint32_t kind = Pick({0, 0, 1, 2, 3, 4});
        const uint32_t colour = Pick({0xFFFFFFFF, 0xFFFFFFFF, Word(), Word() | 0xFF000000});
        std::vector<SpriteVertex> quad;
        if (kind == 0)
        {
            // 1:1 copy of a texel rectangle, maybe clamped at the texture's sides.
            const float w = float(1 + Word() % 90), h = float(1 + Word() % 70);
            const float x = float(int(Word() % 200) - 40), y = float(int(Word() % 160) - 30);
            const float u0 = float(int(Word() % (texWidth + 8)) - 4) / float(texWidth);
            const float v0 = float(int(Word() % (texHeight + 8)) - 4) / float(texHeight);
            quad = Quad(x, y, w, h, colour, u0, v0, u0 + w / float(texWidth), v0 + h / float(texHeight));
        }
        else if (kind == 1)
        {
            // Scaled, at fractional positions.
            const float w = Real(1, 150), h = Real(1, 110);
            quad = Quad(Real(-30, 150), Real(-30, 110), w, h, colour, Real(-0.2f, 0.5f), Real(-0.2f, 0.5f),
                        Real(0.5f, 1.2f), Real(0.5f, 1.2f));
        }
        else if (kind == 3)
        {
            // Corners on pixel centres and quarter pixels.
            const float x = float(int(Word() % 180) - 10), y = float(int(Word() % 140) - 10);
            const float w = float(Word() % 64) * 0.25f + 1, h = float(Word() % 64) * 0.25f + 1;
            quad = Quad(x + 0.5f, y + 0.5f, w, h, colour, 0, 0, Real(0.2f, 1.5f), Real(0.2f, 1.5f));
        }
        else if (kind == 4)
        {
            // Any four points: concave and crossed quads too, with texture coordinates that follow the
            // position exactly, so that only the shape decides whether the triangles may merge.
            for (int k = 0; k < 4; ++k)
            {
                const float x = float(Word() % 200) - 19.75f, y = float(Word() % 160) - 19.75f;
                quad.push_back(Vertex(x, y, colour, x / 256.0f, y / 256.0f));
            }
        }
        else
        {
            const float angle = Real(0, 6.3f), sx = Real(5, 80), sy = Real(5, 60), cx = Real(0, 160),
                        cy = Real(0, 120);
            const float c = std::cos(angle), s = std::sin(angle);
            const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
            const float uv[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
            for (int k = 0; k < 4; ++k)
                quad.push_back(Vertex(cx + sx * (corners[k][0] * c - corners[k][1] * s),
                                      cy + sy * (corners[k][0] * s + corners[k][1] * c), colour, uv[k][0],
                                      uv[k][1]));
        }
        if (Pick({0, 0, 0, 1}) == 1)
            for (auto& v : quad)
                v.colour = Word();
        // Flat depths (those of the engine's sprites and masks, or any), sometimes sloped.
        const float z = Pick({0, 1, 2}) == 0 ? 0.4f : (Pick({0, 1}) ? 0.51f : Real(0, 1));
        const bool sloped = Pick({0, 0, 0, 1}) == 1;
        for (auto& v : quad)
            v.z = sloped ? Real(0, 1) : z;
        return quad;
    }

    std::mt19937 random{20261210};
};

TEST_F(RasterFastPathTest, RandomQuadsMatchTheGeneralPath)
{
    std::vector<uint32_t> background(Width * Height);
    for (int round = 0; round < 400; ++round)
    {
        const uint32_t tw = Pick({1, 4, 16, 64, 128}), th = Pick({1, 8, 32, 64});
        std::vector<uint32_t> texels(size_t(tw) * th);
        for (auto& t : texels)
            t = Pick({Word(), Word() | 0xFF000000, Word() & 0x00FFFFFF, Word() & 0x01FFFFFF});
        auto texture = MakeTexture(tw, th, [&](int x, int y) { return texels[size_t(y) * tw + x]; });
        device->SetTexture(0, Pick({0, 1, 1, 1}) ? texture : nullptr);
        RandomState();
        const std::vector<SpriteVertex> quad = RandomQuad(tw, th);
        for (auto& b : background)
            b = Word();
        std::vector<uint16_t> depths(Width * Height);
        for (auto& d : depths)
            d = uint16_t(Pick({26214, 33423, 65535, Word() & 0xFFFF}));
        std::shared_ptr<RasterSurface> depth;
        ASSERT_EQ(device->GetDepthStencilSurface(depth), Result::Ok);
        std::vector<uint16_t> depthResults[3];
        // Fast paths; the general path; the two triangles drawn apart (no quad merging).
        Picture frames[3];
        for (int pass = 0; pass < 3; ++pass)
        {
            std::shared_ptr<RasterSurface> target;
            device->GetRenderTarget(0, target);
            std::copy(background.begin(), background.end(), target->Pixels());
            std::copy(depths.begin(), depths.end(), depth->Depths());
            device->SetFastPaths(pass != 1);
            ASSERT_EQ(DrawQuads(quad), Result::Ok);
            if (pass == 2)
            {
                std::copy(background.begin(), background.end(), target->Pixels());
                std::copy(depths.begin(), depths.end(), depth->Depths());
                ASSERT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 1),
                          Result::Ok);
                ASSERT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 3, 1),
                          Result::Ok);
            }
            frames[pass] = Frame();
            depthResults[pass].assign(depth->Depths(), depth->Depths() + depths.size());
        }
        ASSERT_EQ(depthResults[0], depthResults[1]) << "depth, round " << round;
        ASSERT_EQ(depthResults[0], depthResults[2]) << "depth after quad merge, round " << round;
        device->SetFastPaths(true);
        for (size_t i = 0; i < frames[0].pixels.size(); ++i)
            ASSERT_EQ(frames[0].pixels[i], frames[2].pixels[i]) << "quad merge, round " << round;
        for (size_t i = 0; i < frames[0].pixels.size(); ++i)
            ASSERT_EQ(frames[0].pixels[i], frames[1].pixels[i])
                << std::hex << frames[0].pixels[i] << " vs " << frames[1].pixels[i] << std::dec << " round "
                << round << " pixel " << i % Width << "," << i / Width << " texture " << tw << "x" << th;
    }
}

} // namespace
} // namespace RasterTest
