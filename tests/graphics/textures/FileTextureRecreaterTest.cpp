// Loader choice by name and the re-creation of file textures: the fallback from the own JPEG decoder
// to libjpeg, failures that leave the texture unsized, and textures of a device that refill
// themselves with identical texels after a device reset.
#include "tests/graphics/GraphicsFixture.h"
#include "tests/graphics/LoaderFixture.h"

#include "engine/core/base/ResourceManager.h"
#include "engine/graphics/textures/FastJpegLoader.h"
#include "engine/graphics/textures/FileTextureRecreater.h"
#include "engine/graphics/textures/ITextureLoader.h"
#include "engine/graphics/textures/JpegLoader.h"
#include "engine/graphics/textures/Jpg2Loader.h"
#include "engine/graphics/textures/PngLoader.h"
#include "engine/graphics/textures/TgaLoader.h"

#include <typeinfo>

namespace LoaderTest
{
namespace
{

TEST(TextureLoaderChoice, ByTheFirstExtensionFoundInTheName)
{
    struct Case
    {
        const wchar_t* name;
        bool allowFast;
        const std::type_info* loader; // null: none
    } cases[] = {
        {L"a.png", true, &typeid(PngLoader)},
        {L"a.tga", true, &typeid(TgaLoader)},
        {L"a.jp2", true, &typeid(Jpg2Loader)},
        {L"a.jpg", true, &typeid(FastJpegLoader)},
        {L"a.jpg", false, &typeid(JpegLoader)},
        {L"images\\a.png.jpg", true, &typeid(PngLoader)},
        {L"a.tga.png", true, &typeid(PngLoader)},
        {L"a.jpg.bak", true, &typeid(FastJpegLoader)},
        {L"Rock.PNG", true, nullptr},
        {L"a.JPG", true, nullptr},
        {L"a.jpeg", true, nullptr},
        {L"a.bmp", true, nullptr},
        {L"", true, nullptr},
    };
    for (const Case& c : cases)
    {
        std::unique_ptr<ITextureLoader> loader = CreateTextureLoader(c.name, c.allowFast);
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        if (!c.loader)
            EXPECT_EQ(loader, nullptr);
        else
        {
            ASSERT_NE(loader, nullptr);
            const ITextureLoader& made = *loader;
            EXPECT_EQ(typeid(made), *c.loader);
        }
    }
}

TEST(TextureLoaderChoice, OneSharedRecreaterIsTheDevicesDefault)
{
    Recreater* shared = ITextureLoader::GetRecreater();
    ASSERT_NE(dynamic_cast<FileTextureRecreater*>(shared), nullptr);
    EXPECT_EQ(ITextureLoader::GetRecreater(), shared);
    EXPECT_EQ(GetFileTextureRecreater(), shared);
}

class FileTextureRecreaterTest : public LoaderFixture
{
};

TEST_F(FileTextureRecreaterTest, RecreateOutcomes)
{
    const Picture picture = MakePicture(21, 13);
    Put(L"plain.jpg", EncodeJpeg(picture));
    Put(L"progressive.jpg", EncodeJpeg(picture, {3, 2, 2, 95, 0, true}));
    Put(L"grey-progressive.jpg", EncodeJpeg(picture, {1, 1, 1, 95, 0, true}));
    Put(L"picture.png", EncodePng(picture));
    Put(L"picture.tga", MakeTga(picture));
    Put(L"picture.jp2", EncodeJp2(picture, {4, true}));
    Put(L"Rock.PNG", EncodePng(picture));
    Put(L"photo.jpeg", EncodeJpeg(picture));
    Bytes cut = EncodeJpeg(picture);
    cut.resize(cut.size() / 2);
    Put(L"cut.jpg", cut);
    Put(L"palette.png", EncodePng(picture, {PNG_COLOR_TYPE_PALETTE, 8, false}));
    struct Case
    {
        const wchar_t* name;
        bool loads;
        bool sized;
    } cases[] = {
        {L"plain.jpg", true, true},
        {L"progressive.jpg", true, true}, // refused by the own decoder, taken by libjpeg
        {L"grey-progressive.jpg", false, false},
        {L"picture.png", true, true},
        {L"picture.tga", true, true},
        {L"picture.jp2", true, true},
        {L"Rock.PNG", false, false},
        {L"photo.jpeg", false, false},
        {L"missing.jpg", false, false},
        {L"cut.jpg", false, false},
        {L"palette.png", false, true}, // the header passes, the load fails
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.name, c.name + std::wcslen(c.name)));
        MemoryTexture texture(c.name);
        EXPECT_EQ(ITextureLoader::GetRecreater()->Recreate(&texture), c.loads);
        EXPECT_EQ(texture.allocations, c.sized ? 1 : 0);
        if (c.loads)
        {
            EXPECT_EQ(texture.image.width, 21u);
            EXPECT_EQ(texture.image.height, 13u);
        }
    }
    MemoryTexture progressive(L"progressive.jpg");
    ASSERT_TRUE(ITextureLoader::GetRecreater()->Recreate(&progressive));
    EXPECT_TRUE(SameTexels(progressive, DecodeJpegWithLibjpeg(files->files[L"progressive.jpg"])));

    // RGB-coded: the own decoder would show it through the YCbCr equations; libjpeg decodes it exactly.
    const Bytes rgbCoded = EncodeJpeg(picture, {3, 1, 1, 95, 0, false, true});
    Put(L"rgb.jpg", rgbCoded);
    ImageSize size;
    EXPECT_FALSE(FastJpegLoader(L"rgb.jpg").ReadHeader(&size));
    MemoryTexture rgb(L"rgb.jpg");
    ASSERT_TRUE(ITextureLoader::GetRecreater()->Recreate(&rgb));
    EXPECT_TRUE(SameTexels(rgb, DecodeJpegWithLibjpeg(rgbCoded)));
    EXPECT_TRUE(SameTexels(rgb, picture, 8, 0xFF)) << "close to the picture that was coded";

    MemoryTexture refused(L"picture.png");
    refused.failAllocate = true;
    EXPECT_FALSE(ITextureLoader::GetRecreater()->Recreate(&refused));
    EXPECT_FALSE(ITextureLoader::GetRecreater()->Recreate(nullptr));
}

class DeviceTextureReloadTest : public GraphicsTest::DeviceFixture
{
protected:
    void SetUp() override
    {
        GraphicsTest::DeviceFixture::SetUp();
        auto source = std::make_unique<MemoryFiles>();
        files = source.get();
        ASSERT_TRUE(fileSystem.AddSource(std::move(source)));
        ASSERT_TRUE(MakeDevice());
    }

    // The texture's whole storage, read back through a lock.
    std::vector<uint32_t> Storage(IResourceTexture* texture)
    {
        uint32_t w = 0, h = 0;
        texture->GetTextureSize(&w, &h);
        void* bits = nullptr;
        int32_t pitch = 0;
        std::vector<uint32_t> out;
        if (!texture->Lock(&bits, &pitch, true))
            return out;
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                out.push_back(static_cast<const uint32_t*>(bits)[size_t(y) * (pitch / 4) + x]);
        texture->Unlock();
        return out;
    }

    FileSystem fileSystem;
    MemoryFiles* files = nullptr;
    ResourceManager resources;
};

TEST_F(DeviceTextureReloadTest, TexturesRefillIdenticallyAfterADeviceReset)
{
    const Picture picture = MakePicture(30, 20);
    files->files[L"images\\a.png"] = EncodePng(picture);
    files->files[L"images\\b.tga"] = MakeTga(picture);
    files->files[L"images\\c.jpg"] = EncodeJpeg(picture, {3, 2, 2, 90, 2, false});
    files->files[L"images\\d.jpg"] = EncodeJpeg(picture, {3, 2, 2, 90, 0, true});
    files->files[L"images\\d.bmp"] = MakeBmp8(30, 20, [](uint32_t x, uint32_t y) { return uint8_t(x + y); });
    files->files[L"images\\e.jp2"] = EncodeJp2(picture, {4, false});
    const wchar_t* names[] = {L"images\\a.png", L"images\\b.tga", L"images\\c.jpg", L"images\\d.jpg",
                              L"images\\e.jp2"};
    std::vector<RefPtr<IResourceTexture>> textures;
    std::vector<std::vector<uint32_t>> before;
    for (const wchar_t* name : names)
    {
        textures.push_back(device->CreateTexture(name, RenderStats::CounterTextures));
        before.push_back(Storage(textures.back().Get()));
        ASSERT_EQ(before.back().size(), 32u * 32u);
    }
    // The PNG's texel (3, 2) as stored: blue, green, red, alpha bytes.
    EXPECT_EQ(before[0][2 * 32 + 3], picture.At(3, 2));
    EXPECT_EQ(before[3][2 * 32 + 3] >> 24, 5u) << "the mask beside d.jpg gives its alpha";

    device->SetLost(true);
    EXPECT_FALSE(device->BeginFrame());
    for (size_t i = 0; i < textures.size(); ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_TRUE(textures[i]->IsLoaded()) << "the reset refilled it";
        EXPECT_EQ(Storage(textures[i].Get()), before[i]);
    }
}

TEST_F(DeviceTextureReloadTest, DamagedFileFailsOnlyItsTexture)
{
    Bytes damaged = EncodeJpeg(MakePicture(16, 16), {3, 1, 1, 90, 0, true});
    damaged.resize(damaged.size() * 2 / 3);
    files->files[L"bad.jpg"] = damaged;
    files->files[L"good.png"] = EncodePng(MakePicture(16, 16));
    RefPtr<IResourceTexture> bad = device->CreateTexture(L"bad.jpg", RenderStats::CounterTextures);
    RefPtr<IResourceTexture> good = device->CreateTexture(L"good.png", RenderStats::CounterTextures);
    good->Bind(0, false);
    EXPECT_NE(device->GetStateCache().GetTexture(0), nullptr);
    bad->Bind(0, false);
    EXPECT_EQ(device->GetStateCache().GetTexture(0), nullptr);
    EXPECT_FALSE(bad->IsLoaded());
    EXPECT_TRUE(good->IsLoaded());
}

} // namespace
} // namespace LoaderTest
