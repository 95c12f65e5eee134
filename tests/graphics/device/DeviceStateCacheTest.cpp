// The state cache and the material table: redundant state changes are dropped, each material sets
// the render, sampler and stage states of its row (read back from the device), the mask flags choose
// the depth test, debug drawing overrides materials.
#include "tests/graphics/GraphicsFixture.h"

#include <cstring>

namespace GraphicsTest
{
namespace
{

using Raster::Call;
using Raster::RenderState;
namespace V = Raster::Value;

class DeviceStateCacheTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_TRUE(MakeDevice());
        vertices = device->CreateDynamicVertexBuffer(nullptr, 64, 28, V::VertexFormatSprite, false);
        indices = device->CreateDynamicIndexBuffer(nullptr, 96, false);
        ASSERT_TRUE(vertices && indices);
        FillIndices();
        recreater.texel = [](uint32_t, uint32_t) { return 0xFF808080u; };
        texture = device->CreateDynamicTexture(&recreater, RenderStats::CounterDynamicTextures);
        ASSERT_TRUE(device->BeginFrame());
    }

    void TearDown() override
    {
        texture.Release();
        vertices.reset();
        indices.reset();
        DeviceFixture::TearDown();
    }

    // The buffers come back empty after a reset; their owner fills them.
    void FillIndices()
    {
        void* data = nullptr;
        ASSERT_TRUE(indices->Lock(&data, 6, 0, false));
        const uint16_t list[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(data, list, sizeof list);
        indices->Unlock();
    }

    // One quad covering (10,10)-(30,30) in the vertex colour, drawn with the material.
    void Draw(uint32_t material, bool textured, bool filtering = false, uint32_t colour = 0xFF00FF00)
    {
        void* data = nullptr;
        ASSERT_TRUE(vertices->Lock(&data, 4, 0, false));
        const SpriteVertex quad[4] = {{9.5f, 29.5f, 0.51f, 0.5f, colour, 0, 1},
                                      {29.5f, 29.5f, 0.51f, 0.5f, colour, 1, 1},
                                      {29.5f, 9.5f, 0.51f, 0.5f, colour, 1, 0},
                                      {9.5f, 9.5f, 0.51f, 0.5f, colour, 0, 0}};
        std::memcpy(data, quad, sizeof quad);
        vertices->Unlock();
        DrawCall call;
        call.material = material;
        call.texture = textured ? texture : nullptr;
        call.filtering = filtering;
        call.primitiveCount = 2;
        call.vertexCount = 4;
        call.indexCount = 6;
        device->DrawIndexed(call, vertices.get(), indices.get());
    }

    uint64_t StateCalls()
    {
        return Count(Call::SetRenderState) + Count(Call::SetSamplerState) +
               Count(Call::SetTextureStageState) + Count(Call::SetTexture) + Count(Call::SetFVF) +
               Count(Call::SetStreamSource) + Count(Call::SetIndices);
    }

    uint32_t State(RenderState state) { return device->GetRasterDevice()->GetRenderState(state); }

    FunctionRecreater recreater;
    RefPtr<IResourceTexture> texture;
    std::unique_ptr<IDynamicVertexBuffer> vertices;
    std::unique_ptr<IDynamicIndexBuffer> indices;
};

TEST_F(DeviceStateCacheTest, SecondIdenticalDrawSendsNoStateCalls)
{
    for (uint32_t material : {uint32_t(eMaterialAlpha), uint32_t(eMaterialAdditive | eMaterialMaskedIn),
                              uint32_t(eMaterialMaskLayer), uint32_t(eMaterialDepthAlpha)})
    {
        SCOPED_TRACE(material);
        Draw(material, true, true);
        const uint64_t before = StateCalls();
        const uint64_t draws = Count(Call::DrawIndexedPrimitive);
        Draw(material, true, true);
        EXPECT_EQ(StateCalls(), before);
        EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + 1);
    }
}

TEST_F(DeviceStateCacheTest, AfterResetTheFirstMaterialSendsOnlyWhatDiffersFromTheDefaults)
{
    Draw(eMaterialAdditive, true, true);
    device->EndFrame();
    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    ASSERT_TRUE(device->BeginFrame());
    FillIndices();
    const uint64_t renderStates = Count(Call::SetRenderState);
    const uint64_t samplers = Count(Call::SetSamplerState);
    const uint64_t stages = Count(Call::SetTextureStageState);
    Draw(eMaterialAlpha, true, false);
    EXPECT_EQ(Count(Call::SetRenderState), renderStates);
    EXPECT_EQ(Count(Call::SetSamplerState), samplers);
    EXPECT_EQ(Count(Call::SetTextureStageState), stages);
    EXPECT_EQ(Pixel(20, 20), 0xFF008000u) << "the texture is bound again after the reset";
}

TEST_F(DeviceStateCacheTest, MaterialTable)
{
    const int any = -1;
    struct Row
    {
        uint32_t material;
        int alphaTest, alphaBlend, source, destination, depth, depthWrite, depthFunction;
    } rows[] = {
        {eMaterialNoBlend, 0, 0, any, any, 0, 0, V::CmpGreater},
        {eMaterialAlpha, 1, 1, V::BlendSrcAlpha, V::BlendInvSrcAlpha, 0, 0, V::CmpGreater},
        {eMaterialAdditive, 1, 1, V::BlendSrcAlpha, V::BlendOne, 0, 0, V::CmpGreater},
        {eMaterialNoTexture, 1, 1, V::BlendSrcAlpha, V::BlendInvSrcAlpha, 0, 0, V::CmpGreater},
        {eMaterialMaskLayer, 1, 1, V::BlendZero, V::BlendOne, 1, 1, V::CmpAlways},
        {eMaterialDebug, 0, 1, V::BlendSrcAlpha, V::BlendInvSrcAlpha, 0, 0, V::CmpGreater},
        {eMaterialDepthAlpha, 1, 1, V::BlendSrcAlpha, V::BlendInvSrcAlpha, 1, 1, V::CmpLess},
        {eMaterialAlpha | eMaterialMaskedIn, 1, 1, V::BlendSrcAlpha, V::BlendInvSrcAlpha, 1, 0,
         V::CmpGreater},
        {eMaterialAdditive | eMaterialMaskedOut, 1, 1, V::BlendSrcAlpha, V::BlendOne, 1, 0, V::CmpLess},
        {eMaterialNoBlend | eMaterialMaskedIn | eMaterialMaskedOut, 0, 0, any, any, 1, 0, V::CmpLess},
        {eMaterialDebug | eMaterialMaskedOut, 0, 1, V::BlendSrcAlpha, V::BlendInvSrcAlpha, 0, 0, V::CmpLess},
    };
    auto check = [&](RenderState state, int expected)
    {
        if (expected != any)
        {
            EXPECT_EQ(State(state), uint32_t(expected)) << "render state " << uint32_t(state);
        }
    };
    for (const Row& row : rows)
    {
        for (bool textured : {false, true})
        {
            SCOPED_TRACE(testing::Message()
                         << "material " << std::hex << row.material << " textured " << textured);
            Draw(row.material, textured);
            check(RenderState::AlphaTestEnable, row.alphaTest);
            check(RenderState::AlphaBlendEnable, row.alphaBlend);
            check(RenderState::SrcBlend, row.source);
            check(RenderState::DestBlend, row.destination);
            check(RenderState::ZEnable, row.depth);
            check(RenderState::ZWriteEnable, row.depthWrite);
            check(RenderState::ZFunc, row.depthFunction);
        }
    }
}

TEST_F(DeviceStateCacheTest, SamplerAndStageStatesOfEachMaterial)
{
    enum Filter
    {
        ByFlag, // linear with filtering, else point
        Point,
        Kept, // not set: what was there before stays
    };
    struct Stage
    {
        uint32_t op, arg1;
    };
    const Stage modulate{V::OpModulate, V::ArgTexture};
    const Stage diffuse{V::OpSelectArg2, V::ArgTexture};
    const Stage factor{V::OpSelectArg1, V::ArgTextureFactor};
    struct Row
    {
        uint32_t material;
        Filter filterTextured, filterUntextured;
        Stage stageTextured, stageUntextured;
    } rows[] = {
        {eMaterialNoBlend, ByFlag, Kept, modulate, diffuse},
        {eMaterialAlpha, ByFlag, Kept, modulate, diffuse},
        {eMaterialAdditive, ByFlag, Kept, modulate, diffuse},
        {eMaterialNoTexture, Kept, Kept, diffuse, diffuse},
        {eMaterialMaskLayer, Point, Kept, modulate, diffuse},
        {eMaterialDebug, ByFlag, ByFlag, factor, factor},
        {eMaterialDepthAlpha, ByFlag, Kept, modulate, diffuse},
    };
    Raster::RasterDevice& raster = *device->GetRasterDevice();
    using Raster::SamplerState;
    using Raster::StageState;
    for (const Row& row : rows)
        for (uint32_t flags :
             {0u, uint32_t(eMaterialMaskedIn), uint32_t(eMaterialMaskedOut | eMaterialMaskClear)})
            for (bool textured : {false, true})
                for (bool filtering : {false, true})
                    for (uint32_t before : {V::FilterPoint, V::FilterLinear})
                    {
                        SCOPED_TRACE(testing::Message()
                                     << "material " << std::hex << (row.material | flags) << std::dec
                                     << " textured " << textured << " filtering " << filtering
                                     << " filter before " << before);
                        device->GetStateCache().SetFilter(before, true);
                        Draw(row.material | flags, textured, filtering);
                        const Filter rule = textured ? row.filterTextured : row.filterUntextured;
                        const uint32_t filter = rule == Kept    ? before
                                                : rule == Point ? V::FilterPoint
                                                : filtering     ? V::FilterLinear
                                                                : V::FilterPoint;
                        EXPECT_EQ(raster.GetSamplerState(SamplerState::MagFilter), filter);
                        EXPECT_EQ(raster.GetSamplerState(SamplerState::MinFilter), filter);
                        EXPECT_EQ(raster.GetSamplerState(SamplerState::MipFilter), filter);
                        EXPECT_EQ(raster.GetSamplerState(SamplerState::AddressU), V::AddressClamp);
                        EXPECT_EQ(raster.GetSamplerState(SamplerState::AddressV), V::AddressClamp);
                        const Stage stage = textured ? row.stageTextured : row.stageUntextured;
                        EXPECT_EQ(raster.GetTextureStageState(0, StageState::ColorOp), stage.op);
                        EXPECT_EQ(raster.GetTextureStageState(0, StageState::ColorArg1), stage.arg1);
                        EXPECT_EQ(raster.GetTextureStageState(0, StageState::ColorArg2), V::ArgDiffuse);
                        EXPECT_EQ(raster.GetTextureStageState(0, StageState::AlphaOp), stage.op);
                        EXPECT_EQ(raster.GetTextureStageState(0, StageState::AlphaArg1), stage.arg1);
                        EXPECT_EQ(raster.GetTextureStageState(0, StageState::AlphaArg2), V::ArgDiffuse);
                        EXPECT_EQ(raster.GetTextureStageState(1, StageState::ColorOp), V::OpDisable);
                        EXPECT_EQ(raster.GetTextureStageState(1, StageState::AlphaOp), V::OpDisable);
                        EXPECT_EQ(device->GetStateCache().GetTexture(0) != nullptr, textured);
                    }
}

TEST_F(DeviceStateCacheTest, StageOutputOfTheMaterials)
{
    struct Case
    {
        const char* name;
        uint32_t material;
        bool textured;
        uint32_t pixel;
    } cases[] = {
        {"texture modulated by the vertex colour", eMaterialNoBlend, true, 0xFF008000},
        {"vertex colour without a texture", eMaterialNoBlend, false, 0xFF00FF00},
        {"no-texture material ignores a bound texture", eMaterialNoTexture, true, 0xFF00FF00},
        {"mask layer writes nothing visible", eMaterialMaskLayer, true, 0xFF000000},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        device->Clear(true, true, 0xFF000000);
        Draw(c.material, c.textured);
        EXPECT_EQ(Pixel(20, 20), c.pixel);
    }
    EXPECT_EQ(device->GetStateCache().GetTexture(0),
              dynamic_cast<ResourceTextureD3D*>(texture.Get())->GetRasterTexture().get())
        << "the no-texture material still binds the draw call's texture";
}

TEST_F(DeviceStateCacheTest, MaskedContentFollowsTheMaskLayer)
{
    // Mask over the left half of the quad, then masked-in red and masked-out blue over the whole.
    device->Clear(true, true, 0xFF000000);
    void* data = nullptr;
    ASSERT_TRUE(vertices->Lock(&data, 12, 0, false));
    const uint32_t red = 0xFFFF0000, blue = 0xFF0000FF, white = 0xFFFFFFFF;
    const SpriteVertex quads[12] = {
        {9.5f, 29.5f, 0.4f, 0.5f, white, 0, 1}, {19.5f, 29.5f, 0.4f, 0.5f, white, 1, 1},
        {19.5f, 9.5f, 0.4f, 0.5f, white, 1, 0}, {9.5f, 9.5f, 0.4f, 0.5f, white, 0, 0},
        {9.5f, 29.5f, 0.51f, 0.5f, red, 0, 1},  {29.5f, 29.5f, 0.51f, 0.5f, red, 1, 1},
        {29.5f, 9.5f, 0.51f, 0.5f, red, 1, 0},  {9.5f, 9.5f, 0.51f, 0.5f, red, 0, 0},
        {9.5f, 29.5f, 0.51f, 0.5f, blue, 0, 1}, {29.5f, 29.5f, 0.51f, 0.5f, blue, 1, 1},
        {29.5f, 9.5f, 0.51f, 0.5f, blue, 1, 0}, {9.5f, 9.5f, 0.51f, 0.5f, blue, 0, 0}};
    std::memcpy(data, quads, sizeof quads);
    vertices->Unlock();
    ASSERT_TRUE(indices->Lock(&data, 18, 0, false));
    const uint16_t list[18] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7, 8, 9, 10, 8, 10, 11};
    std::memcpy(data, list, sizeof list);
    indices->Unlock();
    auto draw = [&](uint32_t material, uint32_t quad)
    {
        DrawCall call;
        call.material = material;
        call.primitiveCount = 2;
        call.minVertexIndex = quad * 4;
        call.vertexCount = 4;
        call.startIndex = quad * 6;
        device->DrawIndexed(call, vertices.get(), indices.get());
    };
    draw(eMaterialMaskLayer, 0);
    draw(eMaterialNoTexture | eMaterialMaskedIn, 1);
    EXPECT_EQ(Pixel(12, 20), red);
    EXPECT_EQ(Pixel(25, 20), 0xFF000000u);
    draw(eMaterialNoTexture | eMaterialMaskedOut | eMaterialMaskClear, 2);
    EXPECT_EQ(Pixel(12, 20), red);
    EXPECT_EQ(Pixel(25, 20), blue);
    // The mask was cleared with the last draw: masked-in content shows nowhere now.
    draw(eMaterialNoTexture | eMaterialMaskedIn, 1);
    EXPECT_EQ(Pixel(25, 20), blue);
}

TEST_F(DeviceStateCacheTest, DebugDrawingColoursEveryDrawWithoutTheMaskTest)
{
    RenderStats::Get().SetDebugDraw(true);
    DebugHue hue;
    const uint32_t first = NextDebugColor(hue);
    const uint32_t second = NextDebugColor(hue);
    Draw(eMaterialAdditive | eMaterialMaskedIn, true);
    EXPECT_EQ(State(RenderState::ZEnable), 0u);
    EXPECT_EQ(State(RenderState::TextureFactor), first);
    EXPECT_EQ(Pixel(20, 20), first);
    Draw(eMaterialAlpha, false);
    EXPECT_EQ(Pixel(20, 20), second);
    RenderStats::Get().SetDebugDraw(false);
}

TEST(NextDebugColor, WalksTheHueCircle)
{
    DebugHue hue{0.0f, 120.0f};
    EXPECT_EQ(NextDebugColor(hue), 0xFF804040u);
    EXPECT_EQ(NextDebugColor(hue), 0xFF408040u);
    EXPECT_EQ(NextDebugColor(hue), 0xFF404080u);
    EXPECT_EQ(hue.hue, 0.0f) << "360 starts again at 0";
}

} // namespace
} // namespace GraphicsTest
