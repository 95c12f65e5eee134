// Shared set-up of the software device tests: a system with one test adapter and null presenters,
// a device with a small back buffer, textures filled from a function, quads and lines drawn
// through dynamic buffers, and the material states the engine's materials use.
#pragma once

#include "platform/raster/RasterSystem.h"

#include "RasterImages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace RasterTest
{

using namespace Raster;

inline SpriteVertex Vertex(float x, float y, uint32_t colour, float u, float v, float z = 0.51f)
{
    return SpriteVertex{x, y, z, 0.5f, colour, u, v};
}

// The four corners of an axis-aligned quad the way the engine's sprite batcher makes them: pixel
// rectangle (x, y, w, h), corners shifted by -0.5, texture rectangle (u0, v0)-(u1, v1).
inline std::vector<SpriteVertex> Quad(float x, float y, float w, float h, uint32_t colour, float u0 = 0,
                                      float v0 = 0, float u1 = 1, float v1 = 1, float z = 0.51f)
{
    return {Vertex(x - 0.5f, y + h - 0.5f, colour, u0, v1, z),
            Vertex(x + w - 0.5f, y + h - 0.5f, colour, u1, v1, z),
            Vertex(x + w - 0.5f, y - 0.5f, colour, u1, v0, z), Vertex(x - 0.5f, y - 0.5f, colour, u0, v0, z)};
}

class RasterFixture : public ::testing::Test
{
public:
    static constexpr uint32_t Width = 160;
    static constexpr uint32_t Height = 120;

    void SetUp() override
    {
        AdapterInfo adapter;
        adapter.desktop = {1280, 1024, 60, Format::X8R8G8B8};
        SystemOptions options;
        options.adapters = {adapter};
        options.presenters = [](SDL_Window*) { return std::make_unique<NullPresenter>(); };
        system = std::make_unique<RasterSystem>(options);
        PresentParams params;
        params.backBufferWidth = Width;
        params.backBufferHeight = Height;
        ASSERT_EQ(system->CreateDevice(0, DeviceType::Hal, nullptr, Value::CreateHardwareVertexProcessing,
                                       params, device),
                  Result::Ok);
        ASSERT_EQ(device->CreateVertexBuffer(4096 * 28, Value::UsageDynamic | Value::UsageWriteOnly,
                                             Value::VertexFormatSprite, Pool::Default, vertices),
                  Result::Ok);
        ASSERT_EQ(device->CreateIndexBuffer(6144 * 2, Value::UsageDynamic | Value::UsageWriteOnly,
                                            Format::Index16, Pool::Default, indices),
                  Result::Ok);
        ApplyEngineDefaults();
        ASSERT_EQ(device->BeginScene(), Result::Ok);
        ASSERT_EQ(device->Clear(Value::ClearTarget | Value::ClearZBuffer, 0xFF203040, 1.0f), Result::Ok);
    }

    // The default states the engine applies after every creation and reset.
    void ApplyEngineDefaults()
    {
        device->SetRenderState(RenderState::AlphaTestEnable, 1);
        device->SetRenderState(RenderState::AlphaBlendEnable, 1);
        device->SetRenderState(RenderState::AlphaRef, 1);
        device->SetRenderState(RenderState::AlphaFunc, Value::CmpGreaterEqual);
        device->SetRenderState(RenderState::SrcBlend, Value::BlendSrcAlpha);
        device->SetRenderState(RenderState::DestBlend, Value::BlendInvSrcAlpha);
        device->SetRenderState(RenderState::ZEnable, 0);
        device->SetRenderState(RenderState::ZWriteEnable, 0);
        device->SetRenderState(RenderState::ZFunc, Value::CmpGreater);
        device->SetRenderState(RenderState::TextureFactor, 0x20FFFFFF);
        device->SetRenderState(RenderState::CullMode, Value::CullNone);
        device->SetRenderState(RenderState::Lighting, 0);
        Stage(Value::OpModulate);
        Filter(false);
        device->SetSamplerState(0, SamplerState::AddressU, Value::AddressClamp);
        device->SetSamplerState(0, SamplerState::AddressV, Value::AddressClamp);
        device->SetTextureStageState(1, StageState::ColorOp, Value::OpDisable);
        device->SetTextureStageState(1, StageState::AlphaOp, Value::OpDisable);
        device->SetFVF(Value::VertexFormatSprite);
        device->SetStreamSource(0, vertices, 0, 28);
        device->SetIndices(indices);
    }

    void Stage(uint32_t op, uint32_t arg1 = Value::ArgTexture)
    {
        device->SetTextureStageState(0, StageState::ColorOp, op);
        device->SetTextureStageState(0, StageState::ColorArg1, arg1);
        device->SetTextureStageState(0, StageState::ColorArg2, Value::ArgDiffuse);
        device->SetTextureStageState(0, StageState::AlphaOp, op);
        device->SetTextureStageState(0, StageState::AlphaArg1, arg1);
        device->SetTextureStageState(0, StageState::AlphaArg2, Value::ArgDiffuse);
    }

    void Filter(bool linear)
    {
        const uint32_t f = linear ? Value::FilterLinear : Value::FilterPoint;
        device->SetSamplerState(0, SamplerState::MagFilter, f);
        device->SetSamplerState(0, SamplerState::MinFilter, f);
        device->SetSamplerState(0, SamplerState::MipFilter, f);
    }

    // The engine's materials 0-6 with their mask flags (0x10000 masked in, 0x40000 masked out).
    void Material(uint32_t word, bool textured, bool filtering = false)
    {
        const uint32_t index = word & 0xFFFF;
        const bool maskedIn = word & 0x10000;
        const bool maskedOut = word & 0x40000;
        auto rs = [&](RenderState s, uint32_t v) { ASSERT_EQ(device->SetRenderState(s, v), Result::Ok); };
        auto maskTest = [&]()
        {
            rs(RenderState::ZEnable, (maskedIn || maskedOut) ? 1 : 0);
            rs(RenderState::ZWriteEnable, 0);
            rs(RenderState::ZFunc, maskedOut ? Value::CmpLess : Value::CmpGreater);
        };
        const uint32_t stageOp = textured ? Value::OpModulate : Value::OpSelectArg2;
        switch (index)
        {
        case 0:
            rs(RenderState::AlphaTestEnable, 0);
            rs(RenderState::AlphaBlendEnable, 0);
            maskTest();
            Stage(stageOp);
            break;
        case 1:
        case 2:
        case 3:
            rs(RenderState::AlphaTestEnable, 1);
            rs(RenderState::AlphaBlendEnable, 1);
            rs(RenderState::SrcBlend, Value::BlendSrcAlpha);
            rs(RenderState::DestBlend, index == 2 ? Value::BlendOne : Value::BlendInvSrcAlpha);
            maskTest();
            Stage(index == 3 ? Value::OpSelectArg2 : stageOp);
            break;
        case 4:
            rs(RenderState::AlphaTestEnable, 1);
            rs(RenderState::AlphaBlendEnable, 1);
            rs(RenderState::SrcBlend, Value::BlendZero);
            rs(RenderState::DestBlend, Value::BlendOne);
            rs(RenderState::ZEnable, 1);
            rs(RenderState::ZWriteEnable, 1);
            rs(RenderState::ZFunc, Value::CmpAlways);
            Stage(stageOp);
            filtering = false;
            break;
        case 5:
            rs(RenderState::AlphaTestEnable, 0);
            rs(RenderState::AlphaBlendEnable, 1);
            rs(RenderState::SrcBlend, Value::BlendSrcAlpha);
            rs(RenderState::DestBlend, Value::BlendInvSrcAlpha);
            rs(RenderState::ZEnable, 0);
            rs(RenderState::ZWriteEnable, 0);
            Stage(Value::OpSelectArg1, Value::ArgTextureFactor);
            break;
        default:
            rs(RenderState::AlphaTestEnable, 1);
            rs(RenderState::AlphaBlendEnable, 1);
            rs(RenderState::SrcBlend, Value::BlendSrcAlpha);
            rs(RenderState::DestBlend, Value::BlendInvSrcAlpha);
            rs(RenderState::ZEnable, 1);
            rs(RenderState::ZWriteEnable, 1);
            rs(RenderState::ZFunc, Value::CmpLess);
            Stage(stageOp);
            break;
        }
        Filter(filtering);
    }

    std::shared_ptr<RasterTexture> MakeTexture(uint32_t w, uint32_t h,
                                               const std::function<uint32_t(int, int)>& texel)
    {
        std::shared_ptr<RasterTexture> texture;
        EXPECT_EQ(device->CreateTexture(w, h, 1, 0, Format::A8R8G8B8, Pool::Managed, texture), Result::Ok);
        if (!texture)
            return nullptr;
        LockedRect rect;
        EXPECT_EQ(texture->LockRect(0, rect, 0), Result::Ok);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                static_cast<uint32_t*>(rect.bits)[size_t(y) * (rect.pitch / 4) + x] = texel(int(x), int(y));
        EXPECT_EQ(texture->UnlockRect(0), Result::Ok);
        return texture;
    }

    // Draws quads of four corners each as an indexed triangle list.
    Result DrawQuads(const std::vector<SpriteVertex>& corners)
    {
        const uint32_t quads = uint32_t(corners.size() / 4);
        void* data = nullptr;
        EXPECT_EQ(vertices->Lock(0, uint32_t(corners.size() * 28), &data, Value::LockDiscard), Result::Ok);
        std::memcpy(data, corners.data(), corners.size() * 28);
        vertices->Unlock();
        EXPECT_EQ(indices->Lock(0, quads * 12, &data, Value::LockDiscard), Result::Ok);
        uint16_t* list = static_cast<uint16_t*>(data);
        for (uint32_t q = 0; q < quads; ++q)
        {
            const uint16_t b = uint16_t(q * 4);
            const uint16_t six[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                     b, uint16_t(b + 2), uint16_t(b + 3)};
            std::memcpy(list + q * 6, six, sizeof six);
        }
        indices->Unlock();
        return device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, quads * 4, 0, quads * 2);
    }

    Result DrawLines(const std::vector<SpriteVertex>& ends)
    {
        void* data = nullptr;
        EXPECT_EQ(vertices->Lock(0, uint32_t(ends.size() * 28), &data, Value::LockDiscard), Result::Ok);
        std::memcpy(data, ends.data(), ends.size() * 28);
        vertices->Unlock();
        EXPECT_EQ(indices->Lock(0, uint32_t(ends.size() * 2), &data, Value::LockDiscard), Result::Ok);
        for (size_t i = 0; i < ends.size(); ++i)
            static_cast<uint16_t*>(data)[i] = uint16_t(i);
        indices->Unlock();
        return device->DrawIndexedPrimitive(PrimitiveType::LineList, 0, 0, uint32_t(ends.size()), 0,
                                            uint32_t(ends.size() / 2));
    }

    Picture Frame()
    {
        std::shared_ptr<RasterSurface> target;
        EXPECT_EQ(device->GetRenderTarget(0, target), Result::Ok);
        Picture p;
        p.width = target->Width();
        p.height = target->Height();
        p.pixels.assign(target->Pixels(), target->Pixels() + size_t(p.width) * p.height);
        return p;
    }

    uint32_t Pixel(int x, int y)
    {
        std::shared_ptr<RasterSurface> target;
        device->GetRenderTarget(0, target);
        return target->Pixels()[size_t(y) * target->Width() + x];
    }

    std::unique_ptr<RasterSystem> system;
    std::unique_ptr<RasterDevice> device;
    std::shared_ptr<RasterBuffer> vertices;
    std::shared_ptr<RasterBuffer> indices;
};

} // namespace RasterTest
