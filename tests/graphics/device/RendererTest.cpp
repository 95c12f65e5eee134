// The sprite renderer: batching and flushing, the missing-texture colour, quad placement, the
// texture keeper, rendering into targets, a reference frame of sprites, and frames that stay the
// same through many injected device losses.
#include "tests/graphics/GraphicsFixture.h"

#include "engine/core/base/WeakPtr.h"

#include <cmath>
#include <cstring>
#include <map>
#include <string>

namespace GraphicsTest
{
namespace
{

using Raster::Call;
using Raster::Result;

// A round sprite: opaque inside a circle, a soft edge, transparent outside; colour from position.
uint32_t roundTexel(uint32_t x, uint32_t y)
{
    const float dx = float(x) - 7.5f, dy = float(y) - 7.5f;
    const float distance = std::sqrt(dx * dx + dy * dy);
    const uint32_t alpha = distance < 6.0f   ? 255u
                           : distance < 8.0f ? uint32_t((8.0f - distance) * 127.0f)
                                             : 0u;
    return (alpha << 24) | ((x * 16) << 16) | ((y * 16) << 8) | 0x80;
}

uint32_t gradientTexel(uint32_t x, uint32_t y)
{
    return 0xFF000000u | ((x * 4) << 16) | ((y * 4) << 8) | ((x + y) * 2);
}

class RendererTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_TRUE(MakeDevice());
        dx = device.get();
        renderer = std::make_unique<Renderer>();
        ASSERT_TRUE(renderer->Init(std::move(device), &window));
        ASSERT_TRUE(renderer->IsReady());
        EXPECT_EQ(Renderer::Get(), renderer.get());
        round.texel = roundTexel;
        gradient.size = {64, 64};
        gradient.texel = gradientTexel;
        sprite = renderer->CreateDynamicTexture(&round);
        background = renderer->CreateDynamicTexture(&gradient);
        ASSERT_TRUE(sprite && background);
    }

    void TearDown() override
    {
        sprite.Release();
        background.Release();
        renderer.reset();
        EXPECT_EQ(Renderer::Get(), nullptr);
        DeviceFixture::TearDown();
    }

    Picture ShownFrame()
    {
        auto& presenter = dynamic_cast<Raster::NullPresenter&>(dx->GetRasterDevice()->Presenter());
        return {presenter.Width(), presenter.Height(), presenter.LastFrame()};
    }

    uint32_t PixelAt(uint32_t x, uint32_t y)
    {
        std::shared_ptr<Raster::RasterSurface> target;
        dx->GetRasterDevice()->GetRenderTarget(0, target);
        return target->Pixels()[size_t(y) * target->Width() + x];
    }

    void Quad(uint32_t material, const RefPtr<IResourceTexture>& texture, int32_t x, int32_t y, uint32_t w,
              uint32_t h, uint32_t colour = 0xFFFFFFFF, bool filtering = false)
    {
        renderer->DrawQuad({material, texture, filtering}, Renderer::MakeRectMatrix(x, y, w, h), SpriteRect{},
                           colour, true);
    }

    bool BeginFrame()
    {
        if (!dx->BeginFrame())
            return false;
        renderer->SetInFrame(true);
        return true;
    }

    void EndFrame()
    {
        renderer->Flush();
        dx->EndFrame();
        renderer->Present();
        renderer->SetInFrame(false);
    }

    // Background, sprites, a rotated filtered sprite, additive quads and a mask with content.
    void DrawScene()
    {
        renderer->DrawQuad({eMaterialNoBlend, background, true}, Renderer::MakeRectMatrix(0, 0, 160, 120),
                           SpriteRect{}, 0xFFFFFFFF, true);
        const uint32_t tints[4] = {0xFFFFFFFF, 0xFFFF8080, 0x8080FF80, 0xFF8080FF};
        for (int i = 0; i < 12; ++i)
            Quad(eMaterialAlpha, sprite, 4 + (i % 6) * 18, 4 + (i / 6) * 20, 16, 16, tints[i % 4]);
        Matrix3 scale = Renderer::MakeRectMatrix(0, 0, 24, 12);
        scale.m[2][0] = scale.m[2][1] = 0.0f;
        Matrix3 turn;
        turn.SetRotation(0.6f);
        Matrix3 move;
        move.SetTranslation(130.0f, 20.0f);
        renderer->DrawQuad({eMaterialAlpha, sprite, true},
                           Matrix3::Multiply(Matrix3::Multiply(scale, turn), move), SpriteRect{}, 0xFFFFFFFF,
                           true);
        for (int i = 0; i < 10; ++i)
            Quad(eMaterialAdditive, sprite, 10 + i * 7, 60 + (i % 3) * 3, 6, 6, 0x80FFC040);
        // A mask, content inside it, content outside it that also ends the mask.
        Quad(eMaterialMaskLayer, sprite, 100, 70, 40, 40);
        Quad(eMaterialAlpha | eMaterialMaskedIn, background, 95, 65, 50, 50, 0xFFFFFFFF);
        Quad(eMaterialAlpha | eMaterialMaskedOut | eMaterialMaskClear, background, 90, 100, 60, 14,
             0xC0FFFFFF);
        // The mask is gone: masked-in content shows nowhere.
        Quad(eMaterialAlpha | eMaterialMaskedIn, sprite, 100, 70, 40, 40, 0xFFFF0000);
    }

    DirectXDevice* dx = nullptr;
    std::unique_ptr<Renderer> renderer;
    FunctionRecreater round, gradient;
    RefPtr<IResourceTexture> sprite, background;
};

TEST_F(RendererTest, TwoThousandQuadsMakeOneBatchAndTheNextFlushesFirst)
{
    ASSERT_TRUE(BeginFrame());
    const uint64_t draws = Count(Call::DrawIndexedPrimitive);
    for (int i = 0; i < 2000; ++i)
        Quad(eMaterialAlpha, sprite, i % 150, i % 110, 4, 4);
    ASSERT_EQ(renderer->GetBatches().size(), 1u);
    EXPECT_EQ(renderer->GetBatches()[0].triangles, 4000u);
    EXPECT_EQ(renderer->GetQueuedVertexCount(), 8000u);
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws);
    Quad(eMaterialAlpha, sprite, 1, 1, 4, 4);
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + 1) << "the 2001st quad flushes the full queue";
    ASSERT_EQ(renderer->GetBatches().size(), 1u);
    EXPECT_EQ(renderer->GetBatches()[0].triangles, 2u);
    EXPECT_EQ(renderer->GetQueuedVertexCount(), 4u);
    EXPECT_EQ(Count(Call::LockBuffer), 2u) << "one vertex upload per flush, after the index fill";
    EndFrame();
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + 2);
}

TEST_F(RendererTest, BatchesSplitOnMaterialTextureAndFiltering)
{
    struct Case
    {
        const char* name;
        std::function<void(int)> quad;
        size_t batches;
    } cases[] = {
        {"same everything", [&](int) { Quad(eMaterialAlpha, sprite, 0, 0, 4, 4); }, 1},
        {"alternating textures",
         [&](int i) { Quad(eMaterialAlpha, i % 2 ? sprite : background, 0, 0, 4, 4); }, 6},
        {"alternating filtering", [&](int i) { Quad(eMaterialAlpha, sprite, 0, 0, 4, 4, 0xFFFFFFFF, i % 2); },
         6},
        {"alternating materials",
         [&](int i) { Quad(i % 2 ? eMaterialAdditive : eMaterialAlpha, sprite, 0, 0, 4, 4); }, 6},
        {"pairs", [&](int i) { Quad(eMaterialAlpha, i / 2 % 2 ? sprite : background, 0, 0, 4, 4); }, 3},
    };
    ASSERT_TRUE(BeginFrame());
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < 6; ++i)
            c.quad(i);
        EXPECT_EQ(renderer->GetBatches().size(), c.batches);
        const uint64_t draws = Count(Call::DrawIndexedPrimitive);
        renderer->Flush();
        EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + c.batches);
        EXPECT_TRUE(renderer->GetBatches().empty());
    }
    EndFrame();
}

TEST_F(RendererTest, QuadWithoutTextureIsMagentaAndNoTextureKeepsItsColour)
{
    ASSERT_TRUE(BeginFrame());
    Quad(eMaterialAlpha, nullptr, 10, 10, 20, 20, 0xFF00FF00);
    Quad(eMaterialNoTexture, nullptr, 40, 10, 20, 20, 0xFF00FF00);
    Quad(eMaterialNoTexture, sprite, 70, 10, 20, 20, 0xFF0000FF, true);
    ASSERT_EQ(renderer->GetBatches().size(), 2u) << "the colour is not part of a batch";
    EXPECT_EQ(renderer->GetBatches()[0].material, uint32_t(eMaterialNoTexture));
    EXPECT_FALSE(renderer->GetBatches()[1].filtering) << "the no-texture material never filters";
    renderer->Flush();
    EXPECT_EQ(PixelAt(20, 20), 0xFFFF00FFu);
    EXPECT_EQ(PixelAt(50, 20), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(80, 20), 0xFF0000FFu);
    EndFrame();
}

TEST_F(RendererTest, UntexturedQuadsWithMaskFlagsKeepTheirColourAndTheirMask)
{
    dx->SetClearParams(true, 0xFF000000);
    ASSERT_TRUE(BeginFrame());
    Quad(eMaterialMaskLayer, background, 20, 20, 20, 20);
    Quad(eMaterialNoTexture | eMaterialMaskedIn, nullptr, 10, 10, 40, 40, 0xFF00FF00);
    Quad(eMaterialNoTexture | eMaterialMaskedOut | eMaterialMaskClear, nullptr, 10, 10, 40, 40, 0xFF0000FF);
    ASSERT_EQ(renderer->GetBatches().size(), 3u);
    EXPECT_EQ(renderer->GetBatches()[1].material, uint32_t(eMaterialNoTexture | eMaterialMaskedIn));
    EXPECT_EQ(renderer->GetBatches()[2].material,
              uint32_t(eMaterialNoTexture | eMaterialMaskedOut | eMaterialMaskClear));
    renderer->Flush();
    EXPECT_EQ(PixelAt(30, 30), 0xFF00FF00u) << "inside the mask";
    EXPECT_EQ(PixelAt(12, 12), 0xFF0000FFu) << "outside the mask";
    EndFrame();
}

TEST_F(RendererTest, RectMatrixWithHalfPixelCoversThePixelRectangle)
{
    const Matrix3 m = Renderer::MakeRectMatrix(10, 20, 100, 50);
    const SpritePoint topLeft = Renderer::TransformPoint({-0.5f, -0.5f}, m);
    const SpritePoint bottomRight = Renderer::TransformPoint({0.5f, 0.5f}, m);
    EXPECT_EQ(topLeft.x, 10.0f);
    EXPECT_EQ(topLeft.y, 20.0f);
    EXPECT_EQ(bottomRight.x, 110.0f);
    EXPECT_EQ(bottomRight.y, 70.0f);
    dx->SetClearParams(true, 0xFF000000);
    ASSERT_TRUE(BeginFrame());
    Quad(eMaterialNoTexture, nullptr, 10, 20, 100, 50, 0xFFFFFFFF);
    renderer->Flush();
    struct Probe
    {
        uint32_t x, y;
        bool inside;
    } probes[] = {{10, 20, true}, {109, 20, true},  {10, 69, true},  {109, 69, true},
                  {9, 20, false}, {110, 20, false}, {10, 19, false}, {10, 70, false}};
    for (const Probe& p : probes)
        EXPECT_EQ(PixelAt(p.x, p.y), p.inside ? 0xFFFFFFFFu : 0xFF000000u) << p.x << "," << p.y;
    EndFrame();
}

TEST_F(RendererTest, KeeperHoldsADrawnDynamicTextureFor300Presents)
{
    FunctionRecreater recreater;
    RefPtr<IResourceTexture> dynamic = renderer->CreateDynamicTexture(&recreater);
    WeakPtr<IResourceTexture> watch(dynamic.Get());
    ASSERT_TRUE(BeginFrame());
    Quad(eMaterialAlpha, dynamic, 0, 0, 8, 8);
    Quad(eMaterialAlpha, nullptr, 0, 0, 8, 8);
    renderer->Flush();
    dx->EndFrame();
    dynamic.Release();
    EXPECT_TRUE(watch.IsAlive());
    for (int present = 1; present <= 300; ++present)
        renderer->Present();
    EXPECT_TRUE(watch.IsAlive()) << "still kept after 300 presents";
    renderer->Present();
    EXPECT_FALSE(watch.IsAlive()) << "released by the 301st";
    EXPECT_EQ(renderer->GetTextureKeeper()->GetCount(), 0u);
}

// Storage of the given size and nothing drawn into it: a text block as far as memory goes.
struct StorageOnly : Recreater
{
    explicit StorageOnly(ImageSize size) : size(size) {}
    bool Recreate(IResourceTexture* texture) override { return texture->Allocate(size); }
    ImageSize size;
};

TEST_F(RendererTest, KeeperDropsTheTexturesDrawnLongestAgoOverItsMemoryLimit)
{
    StorageOnly block({16, 16}); // 1 KB each
    TextureKeeper keeper(300, 3 * 1024);
    std::map<char, RefPtr<IResourceTexture>> textures;
    std::map<char, WeakPtr<IResourceTexture>> watch;
    for (char name : std::string("ABCDEFGH"))
    {
        textures[name] = renderer->CreateDynamicTexture(&block);
        ASSERT_TRUE(textures[name]->Load());
        watch[name] = WeakPtr<IResourceTexture>(textures[name].Get());
    }
    auto frame = [&](const std::string& drawn)
    {
        for (char name : drawn)
            keeper.Use(textures[name].Get());
        for (char name : drawn)
            textures[name].Release(); // only the keeper holds them now
        keeper.Age();
    };
    auto alive = [&]
    {
        std::string names;
        for (auto& [name, weak] : watch)
            if (weak.IsAlive())
                names += name;
        return names;
    };
    frame("AB");
    EXPECT_EQ(alive(), "ABCDEFGH");
    keeper.Use(watch['A'].Get()); // A is drawn again
    frame("C");
    EXPECT_EQ(keeper.GetHeldBytes(), 3u * 1024);
    frame("D");
    EXPECT_EQ(alive(), "ACDEFGH") << "B was drawn longest ago; A's later use counts";
    EXPECT_EQ(keeper.GetHeldBytes(), 3u * 1024);
    frame("EFGH");
    EXPECT_EQ(alive(), "EFGH") << "what the last frame drew stays, even over the limit";
    EXPECT_EQ(keeper.GetCount(), 4u);
}

TEST_F(RendererTest, TextChangingEveryFrameHoldsBoundedMemory)
{
    // A 1024 x 1024 block (4 MB) made anew each frame and let go by its owner after drawing, as a
    // timer or a typewriter line does; 300 frames of it would hold 1.2 GB.
    StorageOnly block({1024, 1024});
    const uint32_t counted = RenderStats::Get().counters[RenderStats::CounterDynamicTextures];
    WeakPtr<IResourceTexture> first, last;
    for (int i = 0; i < 40; ++i)
    {
        RefPtr<IResourceTexture> text = renderer->CreateDynamicTexture(&block);
        if (i == 0)
            first = WeakPtr<IResourceTexture>(text.Get());
        last = WeakPtr<IResourceTexture>(text.Get());
        ASSERT_TRUE(BeginFrame());
        Quad(eMaterialAlpha, text, 0, 0, 64, 16);
        text.Release();
        EndFrame();
        ASSERT_LE(renderer->GetTextureKeeper()->GetHeldBytes(), Renderer::KeepBytes) << "frame " << i;
        ASSERT_LE(RenderStats::Get().counters[RenderStats::CounterDynamicTextures] - counted,
                  Renderer::KeepBytes);
    }
    EXPECT_FALSE(first.IsAlive());
    EXPECT_TRUE(last.IsAlive()) << "the latest text is still kept";
    EXPECT_EQ(renderer->GetTextureKeeper()->GetHeldBytes(), Renderer::KeepBytes);
}

TEST_F(RendererTest, KeeperIgnoresTexturesThatAreNotDynamic)
{
    FunctionRecreater recreater;
    RefPtr<IResourceTexture> file = renderer->CreateTexture(L"images\\leaf.png");
    ASSERT_TRUE(BeginFrame());
    Quad(eMaterialAlpha, file, 0, 0, 8, 8);
    Quad(eMaterialAlpha, sprite, 0, 0, 8, 8);
    EndFrame();
    EXPECT_EQ(renderer->GetTextureKeeper()->GetCount(), 1u);
}

TEST_F(RendererTest, FailedVertexUploadDrawsNothingAndDropsTheQueue)
{
    ASSERT_TRUE(BeginFrame());
    Control().Inject(Call::LockBuffer, Result::InvalidCall);
    const uint64_t draws = Count(Call::DrawIndexedPrimitive);
    for (int i = 0; i < 3; ++i)
        Quad(eMaterialAlpha, i % 2 ? sprite : background, 10 * i, 0, 8, 8);
    renderer->Flush();
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws);
    EXPECT_EQ(renderer->GetQueuedVertexCount(), 0u);
    EXPECT_TRUE(renderer->GetBatches().empty());
    Quad(eMaterialAlpha, sprite, 0, 0, 8, 8);
    renderer->Flush();
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), draws + 1);
    EndFrame();
}

TEST_F(RendererTest, FailedIndexRefillAfterAResetIsTriedAgainBeforeDrawing)
{
    dx->SetClearParams(true, 0xFF000000);
    ASSERT_TRUE(BeginFrame());
    DrawScene();
    EndFrame();
    const Picture reference = ShownFrame();
    dx->SetLost(true);
    // The only buffer lock of the recovery is the renderer's refill of the quad indices.
    const uint64_t locks = Count(Call::LockBuffer);
    Control().Inject(Call::LockBuffer, Result::InvalidCall);
    EXPECT_FALSE(BeginFrame());
    EXPECT_EQ(Count(Call::LockBuffer), locks + 1);
    ASSERT_TRUE(BeginFrame());
    DrawScene();
    EndFrame();
    EXPECT_EQ(ShownFrame(), reference) << "the new index buffer holds the quad pattern";
}

TEST_F(RendererTest, FrameOfSpritesMatchesItsReference)
{
    dx->SetClearParams(true, 0xFF000000);
    ASSERT_TRUE(BeginFrame());
    DrawScene();
    EndFrame();
    EXPECT_EQ(CompareWithGraphicsReference("sprites", ShownFrame()), "");
}

TEST_F(RendererTest, HundredDeviceLossesGiveIdenticalFramesAfterRecovery)
{
    dx->SetClearParams(true, 0xFF000000);
    ASSERT_TRUE(BeginFrame());
    DrawScene();
    EndFrame();
    const Picture reference = ShownFrame();
    // A frame of the frame step: draw when the device lets us.
    auto frame = [&]
    {
        if (!BeginFrame())
            return false;
        DrawScene();
        EndFrame();
        return true;
    };
    for (int loss = 0; loss < 100; ++loss)
    {
        SCOPED_TRACE(loss);
        switch (loss % 5)
        {
        case 0: // lost at present, reset at the next frame
            Control().Inject(Call::Present, Result::DeviceLost);
            Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
            break;
        case 1: // back without a reset
            Control().Inject(Call::Present, Result::DeviceLost);
            break;
        case 2: // still lost for a while
            Control().Inject(Call::Present, Result::DeviceLost);
            Control().Inject(Call::TestCooperativeLevel, Result::DeviceLost, 2);
            Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
            break;
        case 3: // the reset meets a driver error: a new device
            Control().Inject(Call::Present, Result::DeviceLost);
            Control().Inject(Call::TestCooperativeLevel, Result::DeviceNotReset);
            Control().Inject(Call::Reset, Result::DriverInternalError);
            break;
        default: // told from outside
            dx->SetLost(true);
            break;
        }
        if (loss % 5 != 4)
        {
            ASSERT_TRUE(frame()) << "the losing frame itself was drawn";
        }
        int skipped = 0;
        while (!frame())
            ASSERT_LT(++skipped, 5);
        EXPECT_GE(skipped, 1);
        ASSERT_EQ(ShownFrame(), reference);
    }
    EXPECT_TRUE(log->fatals.empty());
}

TEST_F(RendererTest, RenderToTargetDrawsTheInstanceAndCopiesItOut)
{
    HandleTable table;
    int instanceObject = 0;
    InstanceHandle handle;
    table.Add(handle, &instanceObject, 1);
    int draws = 0;
    bool drawable = true;
    renderer->SetInstanceServices(
        {[&](const InstanceHandle& h, const Matrix3& m, float opacity)
         {
             EXPECT_EQ(h.Get(), &instanceObject);
             EXPECT_EQ(opacity, 1.0f);
             ++draws;
             if (drawable)
                 renderer->DrawQuad({eMaterialNoTexture, nullptr, false}, m, SpriteRect{}, 0xFF00C000, true);
             return drawable;
         },
         [&](const InstanceHandle&) { return sprite; }});
    RefPtr<IRenderTarget> target = renderer->CreateRenderTarget({16, 16});
    ASSERT_TRUE(target);
    const Matrix3 place = Renderer::MakeRectMatrix(0, 0, 8, 16);
    EXPECT_TRUE(renderer->RenderToTarget(target.Get(), handle, &place));
    EXPECT_EQ(draws, 1);
    EXPECT_FALSE(dx->GetRasterDevice()->InScene()) << "no frame was open: the one opened is closed again";
    EXPECT_TRUE(renderer->DrawInstanceToTexture(target.Get(), handle));
    void* bits = nullptr;
    int32_t pitch = 0;
    ASSERT_TRUE(sprite->Lock(&bits, &pitch, true));
    EXPECT_EQ(static_cast<uint32_t*>(bits)[0], 0xFF00C000u);
    EXPECT_EQ(static_cast<uint32_t*>(bits)[12], Renderer::ClearRenderToTarget);
    sprite->Unlock();

    // Inside an open frame: the queued quads go first and the frame stays open.
    ASSERT_TRUE(BeginFrame());
    Quad(eMaterialAlpha, background, 0, 0, 8, 8);
    const uint64_t before = Count(Call::DrawIndexedPrimitive);
    EXPECT_TRUE(renderer->RenderToTarget(target.Get(), handle, nullptr));
    EXPECT_EQ(Count(Call::DrawIndexedPrimitive), before + 2);
    EXPECT_TRUE(dx->GetRasterDevice()->InScene());
    EndFrame();

    // An instance that cannot draw itself leaves a cleared target: that is no rendering.
    drawable = false;
    EXPECT_FALSE(renderer->RenderToTarget(target.Get(), handle, nullptr));
    EXPECT_EQ(draws, 3);
    EXPECT_FALSE(dx->GetRasterDevice()->InScene()) << "the frame it opened is closed again";
    drawable = true;

    table.Release(handle);
    EXPECT_FALSE(renderer->RenderToTarget(target.Get(), handle, nullptr)) << "a stale handle draws nothing";
    EXPECT_EQ(draws, 3);
}

TEST_F(RendererTest, TargetWithoutStorageDrawsNothingOverTheFrame)
{
    HandleTable table;
    int instanceObject = 0;
    InstanceHandle handle;
    table.Add(handle, &instanceObject, 1);
    int draws = 0;
    renderer->SetInstanceServices(
        {[&](const InstanceHandle&, const Matrix3& m, float)
         {
             ++draws;
             renderer->DrawQuad({eMaterialNoTexture, nullptr, false}, m, SpriteRect{}, 0xFF0000FF, true);
             return true;
         },
         nullptr});
    RefPtr<IRenderTarget> target = renderer->CreateRenderTarget({16, 16});
    ASSERT_TRUE(target);
    // The target's storage cannot be made again after the reset.
    dx->SetLost(true);
    Control().Inject(Call::CreateDepthStencilSurface, Result::InvalidCall);
    int skipped = 0;
    while (!BeginFrame())
        ASSERT_LT(++skipped, 5);
    ASSERT_FALSE(static_cast<RenderTarget*>(target.Get())->HasStorage());

    Quad(eMaterialNoTexture, nullptr, 0, 0, 8, 8, 0xFF00C000);
    EXPECT_FALSE(renderer->RenderToTarget(target.Get(), handle, nullptr));
    auto vertices = renderer->CreateCanvasVertexBuffer();
    auto indices = dx->CreateDynamicIndexBuffer(nullptr, 6, false);
    ASSERT_TRUE(vertices && indices);
    renderer->RenderItemsToTarget(nullptr, nullptr, nullptr, target, {DrawCall{}}, vertices.get(),
                                  indices.get());
    renderer->Flush();
    EXPECT_EQ(PixelAt(4, 4), 0xFF00C000u) << "the frame is neither cleared nor drawn over";
    EXPECT_EQ(PixelAt(12, 12), 0u) << "the frame's own clear";
    EXPECT_TRUE(dx->GetRasterDevice()->InScene());
    EndFrame();
    EXPECT_EQ(draws, 0);

    EXPECT_FALSE(renderer->RenderToTarget(target.Get(), handle, nullptr));
    EXPECT_FALSE(dx->GetRasterDevice()->InScene()) << "the frame it opened is closed again";
    table.Release(handle);
}

TEST_F(RendererTest, RenderItemsToTargetClearsAndDrawsEachItem)
{
    auto vertices = renderer->CreateCanvasVertexBuffer();
    auto indices = dx->CreateDynamicIndexBuffer(nullptr, 6, false);
    ASSERT_TRUE(vertices && indices);
    void* data = nullptr;
    ASSERT_TRUE(vertices->Lock(&data, 4, 0, false));
    const SpriteVertex quad[4] = {{-0.5f, 3.5f, 0.51f, 0.5f, 0xFF0000FF, 0, 1},
                                  {3.5f, 3.5f, 0.51f, 0.5f, 0xFF0000FF, 1, 1},
                                  {3.5f, -0.5f, 0.51f, 0.5f, 0xFF0000FF, 1, 0},
                                  {-0.5f, -0.5f, 0.51f, 0.5f, 0xFF0000FF, 0, 0}};
    std::memcpy(data, quad, sizeof quad);
    vertices->Unlock();
    ASSERT_TRUE(indices->Lock(&data, 6, 0, false));
    const uint16_t list[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(data, list, sizeof list);
    indices->Unlock();
    DrawCall item;
    item.material = eMaterialNoTexture;
    item.primitiveCount = 2;
    item.vertexCount = 4;
    RefPtr<IRenderTarget> target = renderer->CreateRenderTarget({8, 8});
    renderer->RenderItemsToTarget(nullptr, nullptr, nullptr, target, {item}, vertices.get(), indices.get());
    ASSERT_TRUE(target->Lock(&data, nullptr, true));
    EXPECT_EQ(static_cast<uint32_t*>(data)[0], 0xFF0000FFu);
    EXPECT_EQ(static_cast<uint32_t*>(data)[5], Renderer::ClearItemsToTarget);
    target->Unlock();
}

} // namespace
} // namespace GraphicsTest
