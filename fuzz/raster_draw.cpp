// Draw calls of the software device with arbitrary states, vertices (not-a-number, infinite and huge
// coordinates included) and indices. Nothing may be written out of bounds, and the fast span
// routines must give the same frame as the general path.
#include "platform/raster/RasterSystem.h"

#include <cstdlib>
#include <cstring>

namespace
{

using namespace Raster;

struct Reader
{
    const uint8_t* data;
    size_t size;
    uint32_t Next(uint32_t bound)
    {
        uint32_t value = 0;
        for (int i = 0; i < 2 && size > 0; ++i, ++data, --size)
            value = value << 8 | *data;
        return bound ? value % bound : value;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<RasterSystem> system;
    static std::unique_ptr<RasterDevice> device;
    static std::shared_ptr<RasterTexture> texture;
    static std::shared_ptr<RasterBuffer> vertices, indices;
    if (!system)
    {
        SystemOptions options;
        options.adapters = {AdapterInfo()};
        options.presenters = [](SDL_Window*) { return std::make_unique<NullPresenter>(); };
        system = std::make_unique<RasterSystem>(options);
        PresentParams params;
        params.backBufferWidth = 61;
        params.backBufferHeight = 47;
        system->CreateDevice(0, DeviceType::Hal, nullptr, Value::CreateHardwareVertexProcessing, params,
                             device);
        device->CreateTexture(16, 8, 1, 0, Format::A8R8G8B8, Pool::Managed, texture);
        LockedRect rect;
        texture->LockRect(0, rect, 0);
        for (int i = 0; i < 16 * 8; ++i)
            static_cast<uint32_t*>(rect.bits)[i] = uint32_t(i) * 0x2F1B3A17u;
        texture->UnlockRect(0);
        device->CreateVertexBuffer(64 * 28, Value::UsageDynamic, Value::VertexFormatSprite, Pool::Default,
                                   vertices);
        device->CreateIndexBuffer(96 * 2, Value::UsageDynamic, Format::Index16, Pool::Default, indices);
        device->SetFVF(Value::VertexFormatSprite);
        device->SetStreamSource(0, vertices, 0, 28);
        device->SetIndices(indices);
        device->BeginScene();
    }
    Reader in{data, size};
    const uint32_t compares[] = {Value::CmpLess, Value::CmpGreater, Value::CmpGreaterEqual, Value::CmpAlways};
    const uint32_t factors[] = {Value::BlendZero, Value::BlendOne, Value::BlendSrcAlpha,
                                Value::BlendInvSrcAlpha};
    const uint32_t args[] = {Value::ArgDiffuse, Value::ArgTexture, Value::ArgTextureFactor};
    device->SetRenderState(RenderState::ZEnable, in.Next(2));
    device->SetRenderState(RenderState::ZWriteEnable, in.Next(2));
    device->SetRenderState(RenderState::ZFunc, compares[in.Next(4)]);
    device->SetRenderState(RenderState::AlphaTestEnable, in.Next(2));
    device->SetRenderState(RenderState::AlphaRef, in.Next(256));
    device->SetRenderState(RenderState::AlphaFunc, compares[in.Next(4)]);
    device->SetRenderState(RenderState::AlphaBlendEnable, in.Next(2));
    device->SetRenderState(RenderState::SrcBlend, factors[in.Next(4)]);
    device->SetRenderState(RenderState::DestBlend, factors[in.Next(4)]);
    device->SetRenderState(RenderState::TextureFactor, in.Next(0) * 0x10001u);
    device->SetTextureStageState(0, StageState::ColorOp, 1 + in.Next(4));
    device->SetTextureStageState(0, StageState::ColorArg1, args[in.Next(3)]);
    device->SetTextureStageState(0, StageState::ColorArg2, args[in.Next(3)]);
    device->SetTextureStageState(0, StageState::AlphaOp, 1 + in.Next(4));
    device->SetTextureStageState(0, StageState::AlphaArg1, args[in.Next(3)]);
    device->SetTextureStageState(0, StageState::AlphaArg2, args[in.Next(3)]);
    device->SetSamplerState(0, SamplerState::MagFilter, 1 + in.Next(2));
    device->SetTexture(0, in.Next(4) ? texture : nullptr);
    const PrimitiveType type = in.Next(3) ? PrimitiveType::TriangleList : PrimitiveType::LineList;
    const uint32_t primitives = 1 + in.Next(32);
    const uint32_t vertexCount = 1 + in.Next(64);
    // Indexed as sprites are (two triangles to a quad), and the widest runs the fast paths may take.
    const bool sprites = in.Next(2) == 1;
    const uint32_t widths = in.Next(3);
    void* bytes = nullptr;
    vertices->Lock(0, 0, &bytes, Value::LockDiscard);
    const size_t vertexBytes = std::min<size_t>(in.size, 64 * 28);
    std::memcpy(bytes, in.data, vertexBytes);
    // Sprites have one colour to a quad.
    if (sprites)
        for (size_t at = 28; at + 28 <= vertexBytes; at += 28)
            std::memcpy(static_cast<uint8_t*>(bytes) + at + 16, static_cast<uint8_t*>(bytes) + 16, 4);
    vertices->Unlock();
    indices->Lock(0, 0, &bytes, Value::LockDiscard);
    for (int i = 0; i < 96; ++i)
        static_cast<uint16_t*>(bytes)[i] = vertexBytes ? uint16_t(in.data[(i * 7) % vertexBytes] % 66) : 0;
    if (sprites)
        for (int q = 0; q < 16; ++q)
        {
            const uint16_t b = vertexBytes ? uint16_t(in.data[(q * 11) % vertexBytes] % 63) : 0;
            const uint16_t six[6] = {b, uint16_t(b + 1), uint16_t(b + 2), b, uint16_t(b + 2), uint16_t(b + 3)};
            std::memcpy(static_cast<uint16_t*>(bytes) + q * 6, six, sizeof six);
        }
    indices->Unlock();

    std::shared_ptr<RasterSurface> target, depth;
    device->GetRenderTarget(0, target);
    device->GetDepthStencilSurface(depth);
    const size_t pixels = size_t(target->Width()) * target->Height();
    std::vector<uint32_t> frames[2];
    for (int pass = 0; pass < 2; ++pass)
    {
        for (size_t i = 0; i < pixels; ++i)
            target->Pixels()[i] = uint32_t(i) * 0x9E3779B9u;
        device->Clear(Value::ClearZBuffer, 0, 0.5f);
        device->SetFastPaths(pass == 0);
        device->SetWideRuns(pass == 1 || widths < 2);
        device->SetWidestRuns(pass == 1 || widths < 1);
        device->DrawIndexedPrimitive(type, 0, 0, vertexCount, 0, primitives);
        frames[pass].assign(target->Pixels(), target->Pixels() + pixels);
    }
    device->SetFastPaths(true);
    device->SetWideRuns(true);
    device->SetWidestRuns(true);
    if (frames[0] != frames[1])
        std::abort();
    return 0;
}
