// Device resources: texture storage sizes and accounting, loading through the recreater, failed
// loads and locks, rebuilding after device loss, the resource cache, render targets, surfaces and
// dynamic buffers.
#include "tests/graphics/GraphicsFixture.h"

#include "engine/core/base/ResourceManager.h"
#include "engine/core/base/WeakPtr.h"

#include <cstring>

namespace GraphicsTest
{
namespace
{

using Raster::Call;
using Raster::Result;

class ResourceTextureD3DTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ASSERT_TRUE(MakeDevice());
    }

    RefPtr<IResourceTexture> MakeTexture(Recreater* recreater,
                                         uint32_t counter = RenderStats::CounterDynamicTextures)
    {
        return device->CreateDynamicTexture(recreater, counter);
    }
};

TEST_F(ResourceTextureD3DTest, AllocateRoundsStorageUpToPowersOfTwo)
{
    RefPtr<IResourceTexture> texture = MakeTexture(nullptr);
    ASSERT_TRUE(texture->Allocate({300, 200}));
    uint32_t w = 0, h = 0;
    texture->GetTextureSize(&w, &h);
    EXPECT_EQ(w, 512u);
    EXPECT_EQ(h, 256u);
    texture->GetImageSize(&w, &h);
    EXPECT_EQ(w, 300u);
    EXPECT_EQ(h, 200u);
    EXPECT_EQ(texture->GetMemorySize(), 524288u);
    EXPECT_EQ(PowerOfTwoAtLeast(0), 0u);
    EXPECT_EQ(PowerOfTwoAtLeast(1), 1u);
    EXPECT_EQ(PowerOfTwoAtLeast(1024), 1024u);
    EXPECT_EQ(PowerOfTwoAtLeast(1025), 2048u);
}

TEST_F(ResourceTextureD3DTest, AllocatingAgainKeepsOneStorage)
{
    RefPtr<IResourceTexture> texture = MakeTexture(nullptr);
    ASSERT_TRUE(texture->Allocate({256, 256}));
    const uint64_t held = Control().ManagedMemory();
    EXPECT_TRUE(texture->Allocate({256, 256}));
    EXPECT_EQ(Control().ManagedMemory(), held) << "the earlier storage of the same size is freed";
    EXPECT_TRUE(texture->Allocate({200, 256}));
    EXPECT_EQ(Control().ManagedMemory(), held);
    EXPECT_TRUE(log->fatals.empty());
}

TEST_F(ResourceTextureD3DTest, SpentVideoMemoryNeverRefusesPictureTextures)
{
    // Pictures live in the managed pool, which pages in and out instead of failing: however many
    // are alive, none takes the fatal video-memory exit. Render targets still count.
    Control().SetTextureBudget(Control().UsedMemory());
    std::vector<RefPtr<IResourceTexture>> live;
    for (int i = 0; i < 40; ++i)
    {
        live.push_back(MakeTexture(nullptr));
        ASSERT_TRUE(live.back()->Allocate({512, 512})) << "texture " << i;
    }
    EXPECT_TRUE(log->fatals.empty());
    EXPECT_EQ(device->CreateRenderTarget(nullptr, {64, 64}), nullptr);
    EXPECT_EQ(log->fatals, std::vector<std::wstring>{DeviceMessageOutOfVideoMemory});
}

TEST_F(ResourceTextureD3DTest, LoadAccountsMemoryAndLossGivesItBack)
{
    FunctionRecreater recreater;
    recreater.size = {100, 50};
    RefPtr<IResourceTexture> texture = MakeTexture(&recreater);
    EXPECT_FALSE(texture->IsLoaded()) << "nothing is made before the first use";
    uint32_t w = 0;
    texture->GetTextureSize(&w, nullptr);
    EXPECT_EQ(w, 128u);
    EXPECT_EQ(recreater.calls, 1);
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterDynamicTextures], 128u * 64u * 4u);

    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_EQ(recreater.calls, 2) << "the reset refills the texture";
    EXPECT_TRUE(texture->IsLoaded());
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterDynamicTextures], 128u * 64u * 4u);
    texture->Unload();
    EXPECT_FALSE(texture->IsLoaded());
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterDynamicTextures], 0u);
}

TEST_F(ResourceTextureD3DTest, StorageMadeWithoutALoadIsNeverTakenOffTheCounter)
{
    const uint32_t counter = RenderStats::CounterDynamicTextures;
    FunctionRecreater recreater;
    RefPtr<IResourceTexture> loaded = MakeTexture(&recreater);
    ASSERT_TRUE(loaded->Load());
    const uint32_t counted = RenderStats::Get().counters[counter];
    ASSERT_EQ(counted, 16u * 16u * 4u);

    // Filled by the program: Allocate does not count, so nothing may be subtracted either.
    const std::function<void(IResourceTexture&)> releases[] = {
        [](IResourceTexture& t) { t.Unload(); },
        [](IResourceTexture& t) { t.ReleaseData(); },
        [](IResourceTexture& t) {
            t.Allocate({64, 64});
        },
        [this](IResourceTexture&)
        {
            device->SetLost(true);
            device->BeginFrame();
        },
    };
    for (const auto& release : releases)
    {
        RefPtr<IResourceTexture> made = MakeTexture(nullptr);
        ASSERT_TRUE(made->Allocate({32, 32}));
        release(*made);
        made.Release();
        EXPECT_EQ(RenderStats::Get().counters[counter], counted);
    }
    loaded.Release();
    EXPECT_EQ(RenderStats::Get().counters[counter], 0u);
}

TEST_F(ResourceTextureD3DTest, LockFailureIsReported)
{
    FunctionRecreater recreater;
    RefPtr<IResourceTexture> texture = MakeTexture(&recreater);
    ASSERT_TRUE(texture->Allocate({16, 16}));
    Control().Inject(Call::LockRect, Result::InvalidCall);
    void* bits = reinterpret_cast<void*>(uintptr_t(1));
    int32_t pitch = 0;
    EXPECT_FALSE(texture->Lock(&bits, &pitch, false));
    EXPECT_EQ(bits, nullptr);
    EXPECT_TRUE(texture->Lock(&bits, &pitch, false));
    EXPECT_NE(bits, nullptr);
    EXPECT_EQ(pitch, 64);
    texture->Unlock();

    recreater.fail = true;
    RefPtr<IResourceTexture> broken = MakeTexture(&recreater);
    EXPECT_FALSE(broken->Lock(&bits, &pitch, false));
    EXPECT_EQ(bits, nullptr);
}

TEST_F(ResourceTextureD3DTest, TextureThatFailsToLoadBindsNothing)
{
    FunctionRecreater good, bad;
    bad.fail = true;
    RefPtr<IResourceTexture> shown = MakeTexture(&good);
    RefPtr<IResourceTexture> broken = MakeTexture(&bad);
    shown->Bind(0, false);
    ASSERT_NE(device->GetStateCache().GetTexture(0), nullptr);
    broken->Bind(0, false);
    EXPECT_EQ(device->GetStateCache().GetTexture(0), nullptr);
    EXPECT_FALSE(broken->IsLoaded());
}

// Makes the storage, then fails the fill (a picture found damaged after its size was read).
struct FailAfterAllocate : Recreater
{
    bool Recreate(IResourceTexture* texture) override
    {
        ++calls;
        return texture->Allocate({32, 16}) && !fail;
    }
    bool fail = true;
    int calls = 0;
};

TEST_F(ResourceTextureD3DTest, FillThatFailsAfterAllocatingLeavesTheTextureUnloaded)
{
    FunctionRecreater good;
    FailAfterAllocate bad;
    RefPtr<IResourceTexture> shown = MakeTexture(&good);
    RefPtr<IResourceTexture> broken = MakeTexture(&bad);
    shown->Bind(0, false);
    ASSERT_NE(device->GetStateCache().GetTexture(0), nullptr);
    const uint64_t before = Control().ManagedMemory();
    const uint32_t counted = RenderStats::Get().counters[RenderStats::CounterDynamicTextures];

    EXPECT_FALSE(broken->Load());
    EXPECT_FALSE(broken->IsLoaded());
    EXPECT_EQ(Control().ManagedMemory(), before) << "the half-made storage is given back";
    broken->Bind(0, false);
    EXPECT_EQ(device->GetStateCache().GetTexture(0), nullptr) << "nothing half-filled is drawn";
    EXPECT_EQ(bad.calls, 2) << "each use tries the fill again";
    void* bits = reinterpret_cast<void*>(uintptr_t(1));
    int32_t pitch = 0;
    EXPECT_FALSE(broken->Lock(&bits, &pitch, true));
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterDynamicTextures], counted);

    bad.fail = false;
    EXPECT_TRUE(broken->Load());
    EXPECT_TRUE(broken->Load()) << "loading again counts the memory once";
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterDynamicTextures], counted + 32u * 16u * 4u);
}

TEST_F(ResourceTextureD3DTest, CreateTextureFindsTheCachedTextureByName)
{
    ResourceManager manager;
    FunctionRecreater files;
    SetFileTextureRecreater(&files);
    RefPtr<IResourceTexture> first = device->CreateTexture(L"images\\rose.png", RenderStats::CounterTextures);
    RefPtr<IResourceTexture> second =
        device->CreateTexture(L"images\\rose.png", RenderStats::CounterTextures);
    RefPtr<IResourceTexture> other = device->CreateTexture(L"images\\Rose.png", RenderStats::CounterTextures);
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_NE(first.Get(), other.Get());
    EXPECT_EQ(files.calls, 0) << "nothing is read before the first use";
    first->Bind(0, false);
    EXPECT_EQ(files.calls, 1);
    EXPECT_EQ(manager.GetReloadableCount(), 2u);
    SetFileTextureRecreater(nullptr);
}

TEST_F(ResourceTextureD3DTest, DynamicTexturesAndRenderTargetsAreNamedInOrder)
{
    RefPtr<IResourceTexture> a = MakeTexture(nullptr);
    RefPtr<IResourceTexture> b = MakeTexture(nullptr);
    const auto number = [](const std::wstring& name, const std::wstring& prefix)
    {
        EXPECT_EQ(name.compare(0, prefix.size(), prefix), 0)
            << "name " << std::string(name.begin(), name.end());
        return std::stoi(name.substr(prefix.size()));
    };
    EXPECT_EQ(number(b->GetName(), L"dynamic_texture_"), number(a->GetName(), L"dynamic_texture_") + 1);
    RefPtr<IRenderTarget> target = device->CreateRenderTarget(nullptr, {64, 64});
    ASSERT_TRUE(target);
    number(target->GetName(), L"render_target_");
}

TEST_F(ResourceTextureD3DTest, RenderTargetSizesAccountingAndLoss)
{
    RefPtr<IRenderTarget> target = device->CreateRenderTarget(nullptr, {1024, 768});
    ASSERT_TRUE(target);
    EXPECT_EQ(target->GetMemorySize(), 1024u * 1024u * 12u);
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterRenderTargets], 1024u * 1024u * 12u);
    EXPECT_FALSE(target->IsReloadable());
    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_TRUE(static_cast<RenderTarget*>(target.Get())->HasStorage()) << "made again after the reset";
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterRenderTargets], 1024u * 1024u * 12u);
    target.Release();
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterRenderTargets], 0u);

    EXPECT_FALSE(device->CreateRenderTarget(nullptr, {0, 10}));
    Control().Inject(Call::CreateOffscreenPlainSurface, Result::InvalidCall);
    EXPECT_FALSE(device->CreateRenderTarget(nullptr, {64, 64}));
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterRenderTargets], 0u);
}

TEST_F(ResourceTextureD3DTest, RenderTargetDrawsAndCopiesIntoATexture)
{
    RefPtr<IRenderTarget> target = device->CreateRenderTarget(nullptr, {20, 10});
    FunctionRecreater recreater;
    recreater.size = {20, 10};
    RefPtr<IResourceTexture> texture = MakeTexture(&recreater);
    ASSERT_TRUE(target && device->BeginFrame());
    device->Clear(true, true, 0xFF111111);
    ASSERT_TRUE(target->BeginRender());
    device->Clear(true, true, 0x80402010);
    EXPECT_EQ(Pixel(0, 0), 0x80402010u);
    target->EndRender();
    EXPECT_EQ(Pixel(0, 0), 0xFF111111u) << "the back buffer is the target again";
    device->EndFrame();
    ASSERT_TRUE(target->CopyToTexture(texture.Get()));
    void* bits = nullptr;
    int32_t pitch = 0;
    ASSERT_TRUE(texture->Lock(&bits, &pitch, true));
    EXPECT_EQ(static_cast<uint32_t*>(bits)[0], 0x80402010u);
    texture->Unlock();
    EXPECT_FALSE(target->CopyToTexture(target.Get())) << "only device textures take a copy";
}

TEST_F(ResourceTextureD3DTest, SurfaceDrawingContextCopiesAndWritesBack)
{
    FunctionRecreater recreater;
    recreater.size = {8, 8};
    recreater.texel = [](uint32_t x, uint32_t) { return 0x40000000u | x; };
    RefPtr<IResourceTexture> texture = MakeTexture(&recreater);
    RefPtr<ISurface> surface = texture->GetSurface();
    ASSERT_TRUE(surface);
    SurfaceDC* dc = surface->GetDC();
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(dc->bits)[3], 0xFF000003u) << "the copy is opaque";
    reinterpret_cast<uint32_t*>(dc->bits)[0] = 0xFF123456;
    EXPECT_EQ(surface->GetDC(), dc) << "a second call hands out the same copy";
    surface->ReleaseDC();
    void* bits = nullptr;
    int32_t pitch = 0;
    ASSERT_TRUE(texture->Lock(&bits, &pitch, true));
    EXPECT_EQ(static_cast<uint32_t*>(bits)[0], 0xFF123456u);
    EXPECT_EQ(static_cast<uint32_t*>(bits)[3], 0xFF000003u);
    texture->Unlock();
    uint32_t w = 0, h = 0;
    surface->GetSize(&w, &h);
    EXPECT_EQ(w, 8u);
    EXPECT_EQ(h, 8u);
}

TEST_F(ResourceTextureD3DTest, DynamicBuffersComeBackEmptyAfterReset)
{
    auto vertices =
        device->CreateDynamicVertexBuffer(nullptr, 8, 28, Raster::Value::VertexFormatSprite, false);
    ASSERT_TRUE(vertices);
    EXPECT_EQ(vertices->GetCount(), 8u);
    void* data = nullptr;
    ASSERT_TRUE(vertices->Lock(&data, 8, 0, false));
    std::memset(data, 0x5A, 8 * 28);
    vertices->Unlock();
    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    EXPECT_TRUE(static_cast<DynamicVertexBuffer*>(vertices.get())->HasStorage());
    ASSERT_TRUE(vertices->Lock(&data, 8, 0, true));
    EXPECT_EQ(static_cast<uint8_t*>(data)[0], 0) << "the content is not kept";
    vertices->Unlock();

    // Ranges past the buffer are refused, also those whose byte sizes would wrap around.
    auto indices = device->CreateDynamicIndexBuffer(nullptr, 6, false);
    ASSERT_TRUE(indices);
    const struct
    {
        uint32_t count, offset;
        bool locks;
    } ranges[] = {
        {8, 0, true},  {4, 4, true},          {0, 0, true},           {9, 0, false},
        {1, 8, false}, {153391690, 0, false}, {2, 0xFFFFFFFF, false}, {0x80000000, 0x80000000, false},
    };
    for (const auto& r : ranges)
    {
        SCOPED_TRACE(testing::Message() << r.count << " from " << r.offset);
        EXPECT_EQ(vertices->Lock(&data, r.count, r.offset, false), r.locks);
        if (r.locks)
            vertices->Unlock();
        else
            EXPECT_EQ(data, nullptr);
        const bool indicesLock = uint64_t(r.count) + r.offset <= 6;
        EXPECT_EQ(indices->Lock(&data, r.count, r.offset, false), indicesLock);
        if (indicesLock)
            indices->Unlock();
    }

    EXPECT_FALSE(device->CreateDynamicVertexBuffer(nullptr, 0, 28, Raster::Value::VertexFormatSprite, false));
    // Sizes whose bytes do not fit 32 bits would wrap into a small buffer.
    EXPECT_FALSE(
        device->CreateDynamicVertexBuffer(nullptr, 153391690, 28, Raster::Value::VertexFormatSprite, false));
    EXPECT_FALSE(device->CreateDynamicIndexBuffer(nullptr, 0x80000004u, false));
    Control().Inject(Call::CreateIndexBuffer, Result::OutOfVideoMemory);
    EXPECT_FALSE(device->CreateDynamicIndexBuffer(nullptr, 6, false));
}

TEST_F(ResourceTextureD3DTest, ResourcesThatOutliveTheDeviceNeverReachItAgain)
{
    FunctionRecreater recreater;
    RefPtr<IResourceTexture> texture = MakeTexture(&recreater);
    texture->Bind(0, false);
    ASSERT_TRUE(texture->IsLoaded());
    RefPtr<ISurface> surface = texture->GetSurface();
    RefPtr<IRenderTarget> target = device->CreateRenderTarget(nullptr, {16, 16});
    auto vertices =
        device->CreateDynamicVertexBuffer(nullptr, 8, 28, Raster::Value::VertexFormatSprite, false);
    auto indices = device->CreateDynamicIndexBuffer(nullptr, 6, false);
    ASSERT_TRUE(surface && target && vertices && indices);

    device.reset();
    const RenderStats& stats = RenderStats::Get();
    EXPECT_EQ(stats.counters[RenderStats::CounterDynamicTextures], 0u) << "the storage was given up";
    EXPECT_EQ(stats.counters[RenderStats::CounterRenderTargets], 0u);
    EXPECT_FALSE(texture->IsLoaded());

    // Every use now fails quietly instead of reaching the deleted device.
    texture->Bind(0, true);
    void* data = reinterpret_cast<void*>(uintptr_t(1));
    int32_t pitch = 0;
    EXPECT_FALSE(texture->Lock(&data, &pitch, false));
    EXPECT_FALSE(texture->Load());
    EXPECT_FALSE(texture->GetSurface());
    EXPECT_EQ(surface->GetDC(), nullptr);
    target->Bind(0, false);
    EXPECT_FALSE(target->BeginRender());
    target->EndRender();
    EXPECT_FALSE(target->CopyToTexture(texture.Get()));
    EXPECT_FALSE(target->Load());
    EXPECT_FALSE(vertices->Bind(0, true));
    EXPECT_FALSE(vertices->Lock(&data, 8, 0, false));
    EXPECT_FALSE(indices->Bind(true));
    EXPECT_FALSE(indices->Lock(&data, 6, 0, false));

    // Nor does deleting them.
    surface.Release();
    texture.Release();
    target.Release();
    vertices.reset();
    indices.reset();
}

} // namespace
} // namespace GraphicsTest
