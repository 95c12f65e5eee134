// The software device's contract apart from pictures: fault injection on every call, call counts,
// the texture-memory budget, refusal of bad calls without writing out of bounds, adapters and
// caps, reset, and the presenters (vsync, and losing the device when SDL's renderer is reset or
// the display mode changes under full screen).
#include "RasterFixture.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace RasterTest
{
namespace
{

class RasterDeviceTest : public RasterFixture
{
};

struct CallCase
{
    const char* name;
    Call call;
    std::function<Result(RasterDeviceTest&)> run;
};

TEST_F(RasterDeviceTest, EveryCallAnswersTheInjectedResult)
{
    auto texture = MakeTexture(4, 4, [](int, int) { return 0xFFFFFFFFu; });
    const std::vector<CallCase> cases = {
        {"test cooperative level", Call::TestCooperativeLevel,
         [](auto& t) { return t.device->TestCooperativeLevel(); }},
        {"present", Call::Present, [](auto& t) { return t.device->Present(); }},
        {"reset", Call::Reset,
         [](auto& t)
         {
             PresentParams p = t.device->GetPresentParams();
             return t.device->Reset(p);
         }},
        {"end scene", Call::EndScene, [](auto& t) { return t.device->EndScene(); }},
        {"clear", Call::Clear, [](auto& t) { return t.device->Clear(Value::ClearTarget, 0, 1.0f); }},
        {"render state", Call::SetRenderState,
         [](auto& t) { return t.device->SetRenderState(RenderState::AlphaRef, 3); }},
        {"sampler state", Call::SetSamplerState,
         [](auto& t) { return t.device->SetSamplerState(0, SamplerState::MagFilter, Value::FilterLinear); }},
        {"stage state", Call::SetTextureStageState,
         [](auto& t) { return t.device->SetTextureStageState(0, StageState::ColorOp, Value::OpModulate); }},
        {"texture", Call::SetTexture, [](auto& t) { return t.device->SetTexture(0, nullptr); }},
        {"vertex format", Call::SetFVF, [](auto& t) { return t.device->SetFVF(Value::VertexFormatSprite); }},
        {"stream", Call::SetStreamSource,
         [](auto& t) { return t.device->SetStreamSource(0, t.vertices, 0, 28); }},
        {"indices", Call::SetIndices, [](auto& t) { return t.device->SetIndices(t.indices); }},
        {"transform", Call::SetTransform,
         [](auto& t) { return t.device->SetTransform(TransformKind::World, {}); }},
        {"get target", Call::GetRenderTarget,
         [](auto& t)
         {
             std::shared_ptr<RasterSurface> s;
             return t.device->GetRenderTarget(0, s);
         }},
        {"get depth", Call::GetDepthStencilSurface,
         [](auto& t)
         {
             std::shared_ptr<RasterSurface> s;
             return t.device->GetDepthStencilSurface(s);
         }},
        {"draw", Call::DrawIndexedPrimitive,
         [](auto& t) { return t.DrawQuads(Quad(0, 0, 4, 4, 0xFFFFFFFF)); }},
        {"create texture", Call::CreateTexture,
         [](auto& t)
         {
             std::shared_ptr<RasterTexture> x;
             return t.device->CreateTexture(8, 8, 1, 0, Format::A8R8G8B8, Pool::Managed, x);
         }},
        {"create vertex buffer", Call::CreateVertexBuffer,
         [](auto& t)
         {
             std::shared_ptr<RasterBuffer> x;
             return t.device->CreateVertexBuffer(280, Value::UsageDynamic, Value::VertexFormatSprite,
                                                 Pool::Default, x);
         }},
        {"create index buffer", Call::CreateIndexBuffer,
         [](auto& t)
         {
             std::shared_ptr<RasterBuffer> x;
             return t.device->CreateIndexBuffer(12, Value::UsageDynamic, Format::Index16, Pool::Default, x);
         }},
        {"create depth surface", Call::CreateDepthStencilSurface,
         [](auto& t)
         {
             std::shared_ptr<RasterSurface> x;
             return t.device->CreateDepthStencilSurface(8, 8, Format::D16, true, x);
         }},
        {"create off-screen surface", Call::CreateOffscreenPlainSurface,
         [](auto& t)
         {
             std::shared_ptr<RasterSurface> x;
             return t.device->CreateOffscreenPlainSurface(8, 8, Format::X8R8G8B8, Pool::SystemMem, x);
         }},
        {"lock buffer", Call::LockBuffer,
         [](auto& t)
         {
             void* data = nullptr;
             const Result r = t.vertices->Lock(0, 28, &data, 0);
             if (r == Result::Ok)
                 t.vertices->Unlock();
             return r;
         }},
        {"system caps", Call::GetDeviceCaps,
         [](auto& t)
         {
             DeviceCaps caps;
             return t.system->GetDeviceCaps(0, DeviceType::Hal, caps);
         }},
        {"format check", Call::CheckDeviceFormat,
         [](auto& t)
         {
             return t.system->CheckDeviceFormat(0, DeviceType::Hal, Format::X8R8G8B8, 0,
                                                ResourceType::Texture, Format::A8R8G8B8);
         }},
        {"create device", Call::CreateDevice,
         [](auto& t)
         {
             PresentParams p;
             p.backBufferWidth = 8;
             p.backBufferHeight = 8;
             std::unique_ptr<RasterDevice> other;
             return t.system->CreateDevice(0, DeviceType::Hal, nullptr, Value::CreateHardwareVertexProcessing,
                                           p, other);
         }},
    };
    const Result faults[] = {Result::DeviceLost,       Result::DeviceNotReset,      Result::NotAvailable,
                             Result::OutOfVideoMemory, Result::DriverInternalError, Result::InvalidCall};
    RasterControl& control = *system->Control();
    device->SetTexture(0, texture);
    for (const CallCase& c : cases)
    {
        for (Result fault : faults)
        {
            control.Inject(c.call, fault);
            const uint64_t before = control.Count(c.call);
            EXPECT_EQ(c.run(*this), fault) << c.name << ": " << ResultName(fault);
            EXPECT_EQ(control.Count(c.call), before + 1) << c.name;
        }
        // The injection is used up: the call works again.
        if (c.call != Call::EndScene)
        {
            EXPECT_EQ(c.run(*this), Result::Ok) << c.name;
        }
        if (c.call == Call::Reset)
        {
            ASSERT_EQ(device->BeginScene(), Result::Ok);
        }
        ApplyEngineDefaults();
    }
}

TEST_F(RasterDeviceTest, InjectionsRepeatAndQueue)
{
    RasterControl& control = *system->Control();
    control.Inject(Call::Present, Result::DeviceLost, 2);
    control.Inject(Call::Present, Result::DriverInternalError);
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(device->Present(), Result::DriverInternalError);
    EXPECT_EQ(device->Present(), Result::Ok);
    control.Inject(Call::TestCooperativeLevel, Result::DeviceNotReset, 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    control.ClearInjections();
    EXPECT_EQ(device->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(control.Count(Call::Present), 4u);
    control.ResetCounts();
    EXPECT_EQ(control.Count(Call::Present), 0u);
}

TEST_F(RasterDeviceTest, TextureBudget)
{
    RasterControl& control = *system->Control();
    control.SetTextureBudget(control.UsedMemory() + 512 * 512 * 4);
    const uint32_t before = device->GetAvailableTextureMem();
    EXPECT_EQ(before, 512u * 512 * 4);
    std::shared_ptr<RasterTexture> big, small;
    ASSERT_EQ(
        device->CreateTexture(512, 256, 1, Value::UsageRenderTarget, Format::A8R8G8B8, Pool::Default, big),
        Result::Ok);
    EXPECT_EQ(device->GetAvailableTextureMem(), 512u * 256 * 4);
    ASSERT_EQ(
        device->CreateTexture(512, 256, 1, Value::UsageRenderTarget, Format::A8R8G8B8, Pool::Default, small),
        Result::Ok);
    EXPECT_EQ(device->GetAvailableTextureMem(), 0u);
    std::shared_ptr<RasterTexture> refused;
    EXPECT_EQ(
        device->CreateTexture(1, 1, 1, Value::UsageRenderTarget, Format::A8R8G8B8, Pool::Default, refused),
        Result::OutOfVideoMemory);
    EXPECT_EQ(refused, nullptr);
    std::shared_ptr<RasterSurface> depth;
    EXPECT_EQ(device->CreateDepthStencilSurface(16, 16, Format::D16, true, depth), Result::OutOfVideoMemory);
    std::shared_ptr<RasterBuffer> buffer;
    EXPECT_EQ(
        device->CreateVertexBuffer(28, Value::UsageDynamic, Value::VertexFormatSprite, Pool::Default, buffer),
        Result::OutOfVideoMemory);
    // A texture that is still referenced through its surface keeps its memory.
    std::shared_ptr<RasterSurface> level;
    ASSERT_EQ(big->GetSurfaceLevel(0, level), Result::Ok);
    big.reset();
    EXPECT_EQ(device->GetAvailableTextureMem(), 0u);
    level.reset();
    EXPECT_EQ(device->GetAvailableTextureMem(), 512u * 256 * 4);
}

TEST_F(RasterDeviceTest, ManagedTexturesStayOutsideTheBudget)
{
    // A spent budget refuses the default pool, never the managed one.
    RasterControl& control = *system->Control();
    control.SetTextureBudget(control.UsedMemory());
    const uint64_t used = control.UsedMemory();
    const uint64_t managedBefore = control.ManagedMemory();
    std::vector<std::shared_ptr<RasterTexture>> live;
    for (int i = 0; i < 40; ++i)
    {
        std::shared_ptr<RasterTexture> texture;
        ASSERT_EQ(device->CreateTexture(256, 256, 1, 0, Format::A8R8G8B8, Pool::Managed, texture), Result::Ok)
            << "texture " << i;
        live.push_back(std::move(texture));
    }
    EXPECT_EQ(control.UsedMemory(), used);
    EXPECT_EQ(control.ManagedMemory(), managedBefore + 40ull * 256 * 256 * 4);
    EXPECT_EQ(device->GetAvailableTextureMem(), 0u) << "managed storage does not show as free memory";
    live.clear();
    EXPECT_EQ(control.ManagedMemory(), managedBefore) << "freed storage is no longer counted";

    control.SetTextureBudget(RasterControl::DefaultTextureBudget);
    std::shared_ptr<RasterTexture> target;
    ASSERT_EQ(
        device->CreateTexture(64, 64, 1, Value::UsageRenderTarget, Format::A8R8G8B8, Pool::Default, target),
        Result::Ok);
    EXPECT_EQ(control.UsedMemory(), used + 64 * 64 * 4) << "render targets are charged";
    EXPECT_EQ(control.ManagedMemory(), managedBefore);
}

TEST_F(RasterDeviceTest, BadCallsAreRefused)
{
    auto texture = MakeTexture(8, 8, [](int, int) { return 0xFFFFFFFFu; });
    LockedRect rect;
    void* data = nullptr;
    std::shared_ptr<RasterTexture> tex;
    std::shared_ptr<RasterBuffer> buffer;
    struct Case
    {
        const char* name;
        std::function<Result()> run;
    };
    const std::vector<Case> cases = {
        {"unlock without lock", [&] { return texture->UnlockRect(0); }},
        {"lock level 1", [&] { return texture->LockRect(1, rect, 0); }},
        {"buffer unlock without lock", [&] { return vertices->Unlock(); }},
        {"buffer lock past the end", [&] { return vertices->Lock(4096 * 28 - 10, 28, &data, 0); }},
        {"buffer lock offset past the end", [&] { return vertices->Lock(4096 * 28 + 1, 0, &data, 0); }},
        {"texture above the caps",
         [&] { return device->CreateTexture(8192, 8, 1, 0, Format::A8R8G8B8, Pool::Managed, tex); }},
        {"texture of size 0",
         [&] { return device->CreateTexture(0, 8, 1, 0, Format::A8R8G8B8, Pool::Managed, tex); }},
        {"texture with mip levels",
         [&] { return device->CreateTexture(8, 8, 3, 0, Format::A8R8G8B8, Pool::Managed, tex); }},
        {"managed render target",
         [&] {
             return device->CreateTexture(8, 8, 1, Value::UsageRenderTarget, Format::A8R8G8B8, Pool::Managed,
                                          tex);
         }},
        {"index buffer of 32-bit indices",
         [&] { return device->CreateIndexBuffer(64, 0, Format::A8R8G8B8, Pool::Default, buffer); }},
        {"empty vertex buffer", [&] { return device->CreateVertexBuffer(0, 0, 0, Pool::Default, buffer); }},
        {"second begin scene", [&] { return device->BeginScene(); }},
        {"unknown compare", [&] { return device->SetRenderState(RenderState::ZFunc, 99); }},
        {"unknown blend factor", [&] { return device->SetRenderState(RenderState::SrcBlend, 3); }},
        {"alpha reference above 255", [&] { return device->SetRenderState(RenderState::AlphaRef, 256); }},
        {"culling", [&] { return device->SetRenderState(RenderState::CullMode, 3); }},
        {"wrap addressing", [&] { return device->SetSamplerState(0, SamplerState::AddressU, 1); }},
        {"sampler 1",
         [&] { return device->SetSamplerState(1, SamplerState::MagFilter, Value::FilterPoint); }},
        {"stage 1 enabled",
         [&] { return device->SetTextureStageState(1, StageState::ColorOp, Value::OpModulate); }},
        {"unknown stage argument", [&] { return device->SetTextureStageState(0, StageState::ColorArg1, 7); }},
        {"stage 8", [&] { return device->SetTexture(8, texture); }},
        {"other vertex format", [&] { return device->SetFVF(0x42); }},
        {"stride below the vertex", [&] { return device->SetStreamSource(0, vertices, 0, 16); }},
        {"depth surface as target",
         [&]
         {
             std::shared_ptr<RasterSurface> depth;
             device->GetDepthStencilSurface(depth);
             return device->SetRenderTarget(0, depth);
         }},
        {"clear depth out of range", [&] { return device->Clear(Value::ClearZBuffer, 0, 2.0f); }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.run(), Result::InvalidCall) << c.name;

    // Nested locks.
    ASSERT_EQ(texture->LockRect(0, rect, 0), Result::Ok);
    EXPECT_EQ(texture->LockRect(0, rect, 0), Result::InvalidCall);
    EXPECT_EQ(rect.bits, nullptr);
    EXPECT_EQ(texture->UnlockRect(0), Result::Ok);
    ASSERT_EQ(vertices->Lock(0, 0, &data, 0), Result::Ok);
    EXPECT_EQ(vertices->Lock(0, 28, &data, 0), Result::InvalidCall);
    // Drawing from a locked buffer is refused.
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), Result::InvalidCall);
    vertices->Unlock();
}

TEST_F(RasterDeviceTest, BadDrawsDrawNothing)
{
    const Picture before = Frame();
    DrawQuads(Quad(0, 0, 4, 4, 0xFFFFFFFF)); // fills the buffers with one quad's indices 0-3
    device->Clear(Value::ClearTarget, 0xFF203040, 1.0f);
    struct Case
    {
        const char* name;
        PrimitiveType type;
        int32_t base;
        uint32_t minVertex, count, start, primitives;
    };
    const Case cases[] = {
        {"index below the declared range", PrimitiveType::TriangleList, 0, 1, 3, 0, 2},
        {"index above the declared range", PrimitiveType::TriangleList, 0, 0, 3, 0, 2},
        {"base vertex past the buffer", PrimitiveType::TriangleList, 4094, 0, 4, 0, 2},
        {"negative base vertex", PrimitiveType::TriangleList, -1, 0, 4, 0, 2},
        {"indices past the index buffer", PrimitiveType::TriangleList, 0, 0, 4, 6142, 2},
        {"no primitives", PrimitiveType::TriangleList, 0, 0, 4, 0, 0},
        {"unknown primitive type", PrimitiveType(5), 0, 0, 4, 0, 2},
        {"huge primitive count", PrimitiveType::TriangleList, 0, 0, 4, 0, 0x7FFFFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(device->DrawIndexedPrimitive(c.type, c.base, c.minVertex, c.count, c.start, c.primitives),
                  Result::InvalidCall)
            << c.name;
    EXPECT_EQ(Frame().pixels, before.pixels);
    // A depth test against a depth surface smaller than the target.
    std::shared_ptr<RasterSurface> small;
    ASSERT_EQ(device->CreateDepthStencilSurface(16, 16, Format::D16, true, small), Result::Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(small), Result::Ok);
    device->SetRenderState(RenderState::ZEnable, 1);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), Result::InvalidCall);
    device->SetRenderState(RenderState::ZEnable, 0);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), Result::Ok);
    device->Clear(Value::ClearTarget, 0xFF203040, 1.0f);
    // Outside a scene.
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(device->EndScene(), Result::InvalidCall);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), Result::InvalidCall);
    EXPECT_EQ(Frame().pixels, before.pixels);
}

TEST_F(RasterDeviceTest, NonFiniteAndHugeCoordinates)
{
    Material(3, false);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Picture before = Frame();
    // Triangles with a position that is not a number are dropped.
    ASSERT_EQ(DrawQuads({Vertex(nan, 10, 0xFFFFFFFF, 0, 0), Vertex(100, 10, 0xFFFFFFFF, 0, 0),
                         Vertex(100, 100, 0xFFFFFFFF, 0, 0), Vertex(inf, 100, 0xFFFFFFFF, 0, 0)}),
              Result::Ok);
    ASSERT_EQ(DrawLines({Vertex(nan, nan, 0xFFFFFFFF, 0, 0), Vertex(10, 10, 0xFFFFFFFF, 0, 0)}), Result::Ok);
    EXPECT_EQ(Frame().pixels, before.pixels);
    // A huge triangle is clipped, not wrapped: it covers the whole target exactly once.
    const float big = 3e30f;
    ASSERT_EQ(DrawQuads({Vertex(-big, -big, 0xFF00FF00, nan, inf), Vertex(3 * big, -big, 0xFF00FF00, 0, 0),
                         Vertex(-big, 3 * big, 0xFF00FF00, 0, 0), Vertex(-big, 3 * big, 0xFF00FF00, 0, 0)}),
              Result::Ok);
    for (uint32_t p : Frame().pixels)
        ASSERT_EQ(p, 0xFF00FF00u);
    // A quad reaching far off the target on every side, textured with wild coordinates.
    auto texture = MakeTexture(
        16, 16, [](int x, int y) { return 0xFF000000u | uint32_t(x * 16) << 8 | uint32_t(y * 16); });
    device->SetTexture(0, texture);
    Material(1, true, true);
    ASSERT_EQ(
        DrawQuads({Vertex(-1e7f, 5e6f, 0xFFFFFFFF, -1e20f, 1e20f),
                   Vertex(2e7f, 5e6f, 0xFFFFFFFF, 1e20f, 1e20f),
                   Vertex(3e5f, -4e8f, 0xFFFFFFFF, 1e20f, -1e20f), Vertex(-3e9f, -2e6f, 0xFFFFFFFF, nan, 0)}),
        Result::Ok);
    Material(3, false);
    ASSERT_EQ(DrawLines({Vertex(-1e9f, 60, 0xFFFF0000, 0, 0), Vertex(1e9f, 60, 0xFFFF0000, 0, 0)}),
              Result::Ok);
    EXPECT_EQ(Pixel(0, 60) & 0x00FFFFFF, 0xFF0000u);
    EXPECT_EQ(Pixel(Width - 1, 60) & 0x00FFFFFF, 0xFF0000u);
}

TEST_F(RasterDeviceTest, AdaptersCapsAndFormats)
{
    AdapterInfo square;
    square.caps.textureCaps = Value::TextureCapsSquareOnly;
    square.caps.maxTextureWidth = square.caps.maxTextureHeight = 512;
    square.hasHal = false;
    square.hasReference = true;
    square.argbTextures = false;
    square.monitor = 2;
    square.identifier.deviceIdentifier[0] = 7;
    SystemOptions options;
    options.adapters = {AdapterInfo(), square};
    RasterSystem two(options);
    EXPECT_EQ(two.GetAdapterCount(), 2u);
    EXPECT_EQ(two.GetAdapterMonitor(1), 2u);
    EXPECT_EQ(two.GetAdapterMonitor(2), 0u);
    DeviceCaps caps;
    EXPECT_EQ(two.GetDeviceCaps(1, DeviceType::Hal, caps), Result::NotAvailable);
    ASSERT_EQ(two.GetDeviceCaps(1, DeviceType::Reference, caps), Result::Ok);
    EXPECT_EQ(caps.deviceType, DeviceType::Reference);
    EXPECT_EQ(caps.adapterOrdinal, 1u);
    EXPECT_EQ(two.GetDeviceCaps(2, DeviceType::Hal, caps), Result::InvalidCall);
    EXPECT_EQ(two.CheckDeviceFormat(0, DeviceType::Hal, Format::X8R8G8B8, 0, ResourceType::Texture,
                                    Format::A8R8G8B8),
              Result::Ok);
    EXPECT_EQ(two.CheckDeviceFormat(1, DeviceType::Reference, Format::X8R8G8B8, 0, ResourceType::Texture,
                                    Format::A8R8G8B8),
              Result::NotAvailable);
    EXPECT_EQ(two.CheckDeviceFormat(1, DeviceType::Reference, Format::R5G6B5, 0, ResourceType::Texture,
                                    Format::R5G6B5),
              Result::Ok);
    AdapterIdentifier id;
    ASSERT_EQ(two.GetAdapterIdentifier(1, 0, id), Result::Ok);
    EXPECT_EQ(id.deviceIdentifier[0], 7);
    DisplayMode mode;
    ASSERT_EQ(two.GetAdapterDisplayMode(0, mode), Result::Ok);
    EXPECT_EQ(mode.width, 1024u);

    PresentParams params;
    params.backBufferWidth = 64;
    params.backBufferHeight = 32;
    params.backBufferFormat = Format::R5G6B5;
    std::unique_ptr<RasterDevice> squareDevice;
    ASSERT_EQ(two.CreateDevice(1, DeviceType::Reference, nullptr, Value::CreateSoftwareVertexProcessing,
                               params, squareDevice),
              Result::Ok);
    std::shared_ptr<RasterTexture> texture;
    EXPECT_EQ(squareDevice->CreateTexture(64, 32, 1, 0, Format::A8R8G8B8, Pool::Managed, texture),
              Result::InvalidCall);
    EXPECT_EQ(squareDevice->CreateTexture(1024, 1024, 1, 0, Format::A8R8G8B8, Pool::Managed, texture),
              Result::InvalidCall);
    EXPECT_EQ(squareDevice->CreateTexture(512, 512, 1, 0, Format::A8R8G8B8, Pool::Managed, texture),
              Result::Ok);
    // Creation refuses what the device cannot do.
    std::unique_ptr<RasterDevice> refused;
    EXPECT_EQ(
        two.CreateDevice(1, DeviceType::Hal, nullptr, Value::CreateSoftwareVertexProcessing, params, refused),
        Result::NotAvailable);
    EXPECT_EQ(two.CreateDevice(0, DeviceType::Hal, nullptr, 0, params, refused), Result::InvalidCall);
    params.backBufferWidth = 100000;
    EXPECT_EQ(
        two.CreateDevice(0, DeviceType::Hal, nullptr, Value::CreateSoftwareVertexProcessing, params, refused),
        Result::InvalidCall);
    params.backBufferWidth = 0;
    EXPECT_EQ(
        two.CreateDevice(0, DeviceType::Hal, nullptr, Value::CreateSoftwareVertexProcessing, params, refused),
        Result::InvalidCall);
    EXPECT_EQ(refused, nullptr);
}

TEST_F(RasterDeviceTest, ResetMakesNewBuffersAndDefaultStates)
{
    device->SetRenderState(RenderState::AlphaRef, 77);
    std::shared_ptr<RasterSurface> oldBack;
    device->GetBackBuffer(0, oldBack);
    PresentParams params = device->GetPresentParams();
    params.backBufferWidth = 320;
    params.backBufferHeight = 200;
    params.windowed = false;
    ASSERT_EQ(device->Reset(params), Result::Ok);
    EXPECT_FALSE(device->InScene());
    EXPECT_EQ(device->GetRenderState(RenderState::AlphaRef), 0u);
    std::shared_ptr<RasterSurface> back, target, depth;
    ASSERT_EQ(device->GetBackBuffer(0, back), Result::Ok);
    ASSERT_EQ(device->GetRenderTarget(0, target), Result::Ok);
    ASSERT_EQ(device->GetDepthStencilSurface(depth), Result::Ok);
    EXPECT_EQ(back, target);
    EXPECT_NE(back, oldBack);
    EXPECT_EQ(back->Width(), 320u);
    EXPECT_EQ(depth->Width(), 320u);
    auto& presenter = static_cast<NullPresenter&>(device->Presenter());
    EXPECT_FALSE(presenter.IsWindowed());
    // A failed reset keeps the device as it was.
    params.autoDepthStencilFormat = Format::A8R8G8B8;
    EXPECT_EQ(device->Reset(params), Result::InvalidCall);
    EXPECT_EQ(device->GetPresentParams().backBufferWidth, 320u);
    // Present hands the back buffer to the presenter.
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    ApplyEngineDefaults();
    ASSERT_EQ(device->Clear(Value::ClearTarget, 0xFF112233, 1.0f), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ASSERT_EQ(device->Present(), Result::Ok);
    EXPECT_EQ(presenter.FrameCount(), 1u);
    EXPECT_EQ(presenter.LastFrame().size(), 320u * 200);
    EXPECT_EQ(presenter.LastFrame()[0], 0xFF112233u);
}

// A reset to the same size keeps the buffers only when nothing outside the device holds them:
// a surface the caller kept is never the new one. Fresh storage reads zero even where the heap
// held pixels before.
TEST_F(RasterDeviceTest, SameSizeResetKeepsOnlyBuffersNobodyHolds)
{
    PresentParams params = device->GetPresentParams();
    const uint32_t* kept = nullptr;
    {
        std::shared_ptr<RasterSurface> back;
        ASSERT_EQ(device->GetBackBuffer(0, back), Result::Ok);
        kept = back->Pixels();
    }
    ASSERT_EQ(device->Reset(params), Result::Ok);
    std::shared_ptr<RasterSurface> back, target;
    ASSERT_EQ(device->GetBackBuffer(0, back), Result::Ok);
    EXPECT_EQ(back->Pixels(), kept);
    ASSERT_EQ(device->Clear(Value::ClearTarget, 0xFF445566, 1.0f), Result::Ok);

    ASSERT_EQ(device->Reset(params), Result::Ok);
    ASSERT_EQ(device->GetBackBuffer(0, target), Result::Ok);
    EXPECT_NE(target, back);
    EXPECT_EQ(back->Pixels()[0], 0xFF445566u);
    target.reset();

    // Freed pixels go back to the heap; what is made next starts zeroed all the same.
    back.reset();
    for (int round = 0; round < 3; ++round)
    {
        std::shared_ptr<RasterSurface> surface;
        ASSERT_EQ(device->CreateOffscreenPlainSurface(64, 64, Format::A8R8G8B8, Pool::SystemMem, surface),
                  Result::Ok);
        const uint32_t* pixels = surface->Pixels();
        for (uint32_t i = 0; i < 64 * 64; ++i)
            ASSERT_EQ(pixels[i], 0u) << "round " << round << " pixel " << i;
        std::fill_n(surface->Pixels(), 64 * 64, 0xFFFFFFFFu);
    }
}

// A depth clear of the whole surface is written only when the depths are looked at: a lock and a
// depth-tested draw both see the cleared value, and a partial clear (larger depth surface) still
// clears only the target's part.
TEST_F(RasterDeviceTest, DepthClearsAreSeenByLocksAndDraws)
{
    std::shared_ptr<RasterSurface> depth;
    ASSERT_EQ(device->GetDepthStencilSurface(depth), Result::Ok);
    ASSERT_EQ(device->Clear(Value::ClearZBuffer, 0, 0.5f), Result::Ok);
    LockedRect rect;
    ASSERT_EQ(depth->LockRect(rect, 0), Result::Ok);
    const auto* depths = static_cast<const uint16_t*>(rect.bits);
    const size_t count = size_t(depth->Width()) * depth->Height();
    EXPECT_TRUE(std::all_of(depths, depths + count, [](uint16_t d) { return d == 32768; }));
    ASSERT_EQ(depth->UnlockRect(), Result::Ok);

    // Cleared to 0.5 again, then a quad at depth 0.3 with the test "greater" is refused and one at
    // 0.7 drawn.
    ASSERT_EQ(device->Clear(Value::ClearTarget | Value::ClearZBuffer, 0xFF000000, 0.5f), Result::Ok);
    device->SetRenderState(RenderState::ZEnable, 1);
    device->SetTexture(0, nullptr);
    Material(0, false);
    device->SetRenderState(RenderState::ZEnable, 1);
    device->SetRenderState(RenderState::ZFunc, Value::CmpGreater);
    ASSERT_EQ(DrawQuads(Quad(0, 0, 8, 8, 0xFFFF0000, 0, 0, 1, 1, 0.3f)), Result::Ok);
    EXPECT_EQ(Pixel(2, 2), 0xFF000000u);
    ASSERT_EQ(DrawQuads(Quad(0, 0, 8, 8, 0xFF00FF00, 0, 0, 1, 1, 0.7f)), Result::Ok);
    EXPECT_EQ(Pixel(2, 2), 0xFF00FF00u);

    // A depth surface larger than the target: only the target's rectangle is cleared.
    std::shared_ptr<RasterSurface> larger;
    ASSERT_EQ(device->CreateDepthStencilSurface(depth->Width() + 8, depth->Height(), Format::D16, false, larger),
              Result::Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(larger), Result::Ok);
    ASSERT_EQ(device->Clear(Value::ClearZBuffer, 0, 1.0f), Result::Ok);
    ASSERT_EQ(larger->LockRect(rect, 0), Result::Ok);
    const auto* row = static_cast<const uint16_t*>(rect.bits);
    EXPECT_EQ(row[0], 65535);
    EXPECT_EQ(row[depth->Width() - 1], 65535);
    EXPECT_EQ(row[depth->Width()], 0) << "past the target";
    ASSERT_EQ(larger->UnlockRect(), Result::Ok);
    ASSERT_EQ(device->SetDepthStencilSurface(depth), Result::Ok);
}

TEST_F(RasterDeviceTest, PresentIntervalChoosesVsync)
{
    auto& presenter = static_cast<NullPresenter&>(device->Presenter());
    EXPECT_TRUE(presenter.IsVsync()) << "interval one waits for the retrace";
    struct Case
    {
        uint32_t interval;
        bool vsync;
    } cases[] = {
        {Value::PresentIntervalImmediate, false},
        {Value::PresentIntervalDefault, true},
        {Value::PresentIntervalOne, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.interval);
        PresentParams params = device->GetPresentParams();
        params.presentationInterval = c.interval;
        ASSERT_EQ(device->Reset(params), Result::Ok);
        EXPECT_EQ(presenter.IsVsync(), c.vsync);
    }
}

TEST_F(RasterDeviceTest, LostPresenterLosesTheDeviceUntilReset)
{
    auto& presenter = static_cast<NullPresenter&>(device->Presenter());
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ASSERT_EQ(device->Present(), Result::Ok);
    presenter.Lose();
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(presenter.FrameCount(), 1u) << "nothing is shown while lost";
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset) << "until a reset";
    PresentParams params = device->GetPresentParams();
    ASSERT_EQ(device->Reset(params), Result::Ok);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
    EXPECT_EQ(presenter.FrameCount(), 2u);
}

TEST(RasterSystemTest, DesktopCapKeepsTheAspectRatio)
{
    struct Case
    {
        uint32_t width, height;
        uint32_t cappedWidth, cappedHeight;
    } cases[] = {
        // Within the cap: unchanged.
        {1920, 1080, 1920, 1080},
        {1280, 1024, 1280, 1024},
        {1024, 768, 1024, 768},
        // 16:9
        {2560, 1440, 1920, 1080},
        {3840, 2160, 1920, 1080},
        // 16:10, 4:3, 5:4: the height limits.
        {2560, 1600, 1728, 1080},
        {1920, 1200, 1728, 1080},
        {2048, 1536, 1440, 1080},
        {1600, 1200, 1440, 1080},
        {2560, 2048, 1350, 1080},
        // Ultra-wide: the width limits.
        {3440, 1440, 1920, 804},
        {5120, 1440, 1920, 540},
        {2000, 1000, 1920, 960},
        // Portrait, and no size at all.
        {1080, 1920, 608, 1080},
        {0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        uint32_t w = c.width, h = c.height;
        RasterSystem::CapDesktopSize(w, h);
        EXPECT_EQ(w, c.cappedWidth);
        EXPECT_EQ(h, c.cappedHeight);
        if (c.height == 0)
            continue;
        EXPECT_LE(w, RasterSystem::DesktopWidthCap);
        EXPECT_LE(h, RasterSystem::DesktopHeightCap);
        // The game's widescreen test (ratio at least 1.5) sees the same desktop.
        EXPECT_EQ(float(w) / float(h) >= 1.5f, float(c.width) / float(c.height) >= 1.5f);
    }
}

TEST(FullScreenModeWatchTest, ModeChangesUnderAFullScreenWindow)
{
    using Look = FullScreenModeWatch::Look;
    const Look desktop{2560, 1440, 60, 1, 2560, 1440};
    auto window = [&](int width, int height)
    {
        Look look = desktop;
        look.windowWidth = width;
        look.windowHeight = height;
        return look;
    };
    Look smallerMode = desktop;
    smallerMode.modeWidth = 1920;
    smallerMode.modeHeight = 1080;
    Look fasterMode = desktop;
    fasterMode.refreshRate = 75;
    Look otherFormat = desktop;
    otherFormat.format = 2;
    struct Case
    {
        const char* name;
        Look start;
        std::vector<Look> looks;
        bool changed; // after the last look
    } cases[] = {
        {"nothing changed", desktop, {desktop, desktop}, false},
        {"other desktop size", desktop, {smallerMode}, true},
        {"other refresh rate", desktop, {fasterMode}, true},
        {"other format", desktop, {otherFormat}, true},
        {"window shrank under an unchanged mode", desktop, {window(1920, 1080)}, true},
        {"window on its way to full screen", window(800, 600), {window(1200, 900), desktop}, false},
        {"window covered the desktop, then not", window(800, 600), {desktop, window(1920, 1080)}, true},
        {"window that never covers the mode (scaled)", window(1280, 720), {window(1280, 720)}, false},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        FullScreenModeWatch watch;
        EXPECT_FALSE(watch.Changed(c.start)) << "not watching before full screen";
        watch.Start(c.start);
        bool changed = false;
        for (const Look& look : c.looks)
            changed = watch.Changed(look);
        EXPECT_EQ(changed, c.changed);
        watch.Stop();
        EXPECT_FALSE(watch.Changed(smallerMode)) << "windowed";
    }
}

TEST(RasterSystemTest, AdaptersOfTheDisplays)
{
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    {
        RasterSystem system;
        ASSERT_GE(system.GetAdapterCount(), 1u);
        DisplayMode mode;
        ASSERT_EQ(system.GetAdapterDisplayMode(0, mode), Result::Ok);
        EXPECT_GT(mode.width, 0u);
        EXPECT_LE(mode.width, RasterSystem::DesktopWidthCap);
        EXPECT_LE(mode.height, RasterSystem::DesktopHeightCap);
        EXPECT_EQ(mode.format, Format::X8R8G8B8);
        EXPECT_EQ(system.MonitorOfWindow(nullptr), system.GetAdapterMonitor(0));
        DeviceCaps caps;
        ASSERT_EQ(system.GetDeviceCaps(0, DeviceType::Hal, caps), Result::Ok);
        EXPECT_GE(caps.maxTextureWidth, 1024u);
        EXPECT_TRUE(caps.devCaps & Value::DevCapsHwTransformAndLight);
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
}

TEST(RasterPresenterTest, SdlWindowShowsFrames)
{
    // The offscreen video driver gives a real window and renderer without a display.
    // The dummy driver and the software renderer keep the test free of GL drivers (the offscreen
    // driver's EGL libraries leak on unload).
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SystemOptions options;
    options.adapters = {AdapterInfo()};
    RasterSystem system(options);
    SDL_Window* window = SDL_CreateWindow("raster", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    PresentParams params;
    params.deviceWindow = window;
    std::unique_ptr<RasterDevice> device;
    ASSERT_EQ(system.CreateDevice(0, DeviceType::Hal, window, Value::CreateHardwareVertexProcessing, params,
                                  device),
              Result::Ok);
    // No size given: the window's client size.
    EXPECT_EQ(device->GetPresentParams().backBufferWidth, 64u);
    EXPECT_EQ(device->Presenter().Window(), window);
    ASSERT_EQ(device->Clear(Value::ClearTarget, 0xFF00FF00, 1.0f), Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
    params.backBufferWidth = 128;
    params.backBufferHeight = 96;
    params.windowed = false;
    ASSERT_EQ(device->Reset(params), Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
    device.reset();
    SDL_DestroyWindow(window);
    // Without a window the presenter makes and owns one.
    SdlPresenter own(nullptr, "raster");
    ASSERT_TRUE(own.Configure(32, 16, true, false));
    ASSERT_NE(own.Window(), nullptr);
    std::vector<uint32_t> frame(32 * 16, 0xFF0000FF);
    EXPECT_EQ(own.Show(frame.data(), 32, 16), Result::Ok);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
}

// The dummy video driver and SDL's software renderer: real windows and renderers without a display.
class SdlPresenterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        presenter = std::make_unique<SdlPresenter>(nullptr, "presenter");
        frame.assign(32 * 16, 0xFF0000FF);
    }

    void TearDown() override
    {
        presenter.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_ResetHint(SDL_HINT_VIDEODRIVER);
        SDL_ResetHint(SDL_HINT_RENDER_DRIVER);
    }

    static void Push(uint32_t type, uint8_t windowEvent = 0, uint32_t windowId = 0)
    {
        SDL_Event event{};
        event.type = type;
        event.window.event = windowEvent;
        event.window.windowID = windowId;
        SDL_PushEvent(&event);
    }

    bool RendererHasVsync()
    {
        SDL_RendererInfo info{};
        SDL_Renderer* renderer = SDL_GetRenderer(presenter->Window());
        return renderer && SDL_GetRendererInfo(renderer, &info) == 0 &&
               (info.flags & SDL_RENDERER_PRESENTVSYNC);
    }

    Result Show() { return presenter->Show(frame.data(), 32, 16); }

    std::unique_ptr<SdlPresenter> presenter;
    std::vector<uint32_t> frame;
};

TEST_F(SdlPresenterTest, RendererFollowsTheVsyncOfTheInterval)
{
    ASSERT_TRUE(presenter->Configure(32, 16, true, true));
    EXPECT_TRUE(RendererHasVsync()) << "made with vsync";
    ASSERT_TRUE(presenter->Configure(32, 16, true, false));
    EXPECT_FALSE(RendererHasVsync());
    ASSERT_TRUE(presenter->Configure(32, 16, false, true));
    EXPECT_TRUE(RendererHasVsync()) << "switched on at a reset";
    EXPECT_EQ(Show(), Result::Ok);
}

TEST_F(SdlPresenterTest, RendererResetsLoseThePresenterUntilConfigured)
{
    for (uint32_t type : {uint32_t(SDL_RENDER_TARGETS_RESET), uint32_t(SDL_RENDER_DEVICE_RESET)})
    {
        SCOPED_TRACE(type);
        ASSERT_TRUE(presenter->Configure(32, 16, true, true));
        EXPECT_EQ(Show(), Result::Ok);
        EXPECT_FALSE(presenter->IsLost());
        Push(type);
        EXPECT_TRUE(presenter->IsLost());
        EXPECT_EQ(Show(), Result::DeviceLost);
        EXPECT_TRUE(presenter->IsLost()) << "showing does not mend it";
        EXPECT_FALSE(presenter->Configure(0, 0, true, true));
        EXPECT_TRUE(presenter->IsLost()) << "nor does a failed configuration";
        ASSERT_TRUE(presenter->Configure(32, 16, true, true));
        EXPECT_FALSE(presenter->IsLost());
        EXPECT_EQ(Show(), Result::Ok);
        EXPECT_TRUE(RendererHasVsync());
    }
}

TEST_F(SdlPresenterTest, DisplayNewsWithoutAModeChangeKeepsThePresenter)
{
    ASSERT_TRUE(presenter->Configure(32, 16, false, true));
    const uint32_t id = SDL_GetWindowID(presenter->Window());
    Push(SDL_DISPLAYEVENT);
    Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_SIZE_CHANGED, id);
    EXPECT_FALSE(presenter->IsLost());
    EXPECT_EQ(Show(), Result::Ok);
    ASSERT_TRUE(presenter->Configure(32, 16, true, true));
    Push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_SIZE_CHANGED, id);
    EXPECT_FALSE(presenter->IsLost()) << "a window's size is its own business";
}

TEST_F(SdlPresenterTest, DeviceOverALostPresenterIsResetAndShowsAgain)
{
    SystemOptions options;
    options.adapters = {AdapterInfo()};
    RasterSystem system(options);
    SDL_Window* window = SDL_CreateWindow("raster", 0, 0, 64, 48, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    PresentParams params;
    params.deviceWindow = window;
    std::unique_ptr<RasterDevice> device;
    ASSERT_EQ(system.CreateDevice(0, DeviceType::Hal, window, Value::CreateHardwareVertexProcessing, params,
                                  device),
              Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
    Push(SDL_RENDER_DEVICE_RESET);
    EXPECT_EQ(device->Present(), Result::DeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::DeviceNotReset);
    ASSERT_EQ(device->Reset(params), Result::Ok);
    EXPECT_EQ(device->TestCooperativeLevel(), Result::Ok);
    EXPECT_EQ(device->Present(), Result::Ok);
    device.reset();
    SDL_DestroyWindow(window);
}

} // namespace
} // namespace RasterTest
