// Alpha masks from 8-bit BMP files: the stored values become alpha (bottom-up rows, last stored row
// on top), only the texels the mask covers change, and masks that are not 8-bit, larger than the
// picture or shorter than their header claims leave the texture as it was. The JPEG-family loaders
// apply the mask beside their picture.
#include "tests/graphics/LoaderFixture.h"

#include "engine/graphics/textures/AlphaMask.h"
#include "engine/graphics/textures/FastJpegLoader.h"
#include "engine/graphics/textures/JpegLoader.h"
#include "engine/graphics/textures/Jpg2Loader.h"

namespace LoaderTest
{
namespace
{

class AlphaMaskTest : public LoaderFixture
{
protected:
    // A sized texture whose picture area holds opaque texels 0xFF000000 | (x, y).
    void MakeOpaque(MemoryTexture& texture, ImageSize size)
    {
        ASSERT_TRUE(texture.Allocate(size));
        for (uint32_t y = 0; y < size.height; ++y)
            for (uint32_t x = 0; x < size.width; ++x)
            {
                uint8_t* p = &texture.texels[(size_t(y) * texture.textureWidth + x) * 4];
                p[0] = uint8_t(x);
                p[1] = uint8_t(y);
                p[2] = 0;
                p[3] = 0xFF;
            }
    }
};

uint8_t maskValue(uint32_t x, uint32_t y)
{
    return uint8_t(x * 16 + y * 3 + 1);
}

TEST_F(AlphaMaskTest, MaskValuesBecomeAlphaWhereTheMaskCovers)
{
    struct Case
    {
        const char* what;
        uint32_t pictureWidth, pictureHeight;
        int32_t maskWidth, maskHeight;
    } cases[] = {
        {"same size", 7, 5, 7, 5},
        {"same size, rows padded", 6, 3, 6, 3},
        {"narrower and shorter", 9, 6, 3, 2},
        {"one pixel", 4, 4, 1, 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Put(L"m.bmp", MakeBmp8(c.maskWidth, c.maskHeight, maskValue));
        MemoryTexture texture;
        MakeOpaque(texture, {c.pictureWidth, c.pictureHeight});
        ASSERT_TRUE(ApplyAlphaMask(L"m.bmp", {c.pictureWidth, c.pictureHeight}, &texture));
        for (uint32_t y = 0; y < c.pictureHeight; ++y)
            for (uint32_t x = 0; x < c.pictureWidth; ++x)
            {
                const bool covered = x < uint32_t(c.maskWidth) && y < uint32_t(c.maskHeight);
                const uint32_t alpha = covered ? maskValue(x, y) : 0xFF;
                ASSERT_EQ(texture.Texel(x, y), alpha << 24 | y << 8 | x) << x << "," << y;
            }
        EXPECT_TRUE(FillOutside(texture, c.pictureWidth, c.pictureHeight));
        EXPECT_EQ(texture.locks, texture.unlocks);
    }
}

TEST_F(AlphaMaskTest, UnusableMasksLeaveTheTextureAlone)
{
    const Bytes good = MakeBmp8(8, 6, maskValue);
    Bytes notBmp = good;
    notBmp[0] = 'X';
    Bytes claimsMoreRows = good;
    PutU32(claimsMoreRows, 22, 6);
    claimsMoreRows.resize(claimsMoreRows.size() - 1); // the last pixel row is one byte short
    Bytes offsetPastEnd = good;
    PutU32(offsetPastEnd, 10, uint32_t(good.size()) + 1);
    Bytes hugeOffset = good;
    PutU32(hugeOffset, 10, 0xFFFFFFF0u);
    struct Case
    {
        const char* what;
        Bytes file;
    } cases[] = {
        {"24-bit", MakeBmp8(8, 6, maskValue, 24)},
        {"wider than the picture", MakeBmp8(9, 6, maskValue)},
        {"taller than the picture", MakeBmp8(8, 7, maskValue)},
        {"top-down", MakeBmp8(8, -6, maskValue)},
        {"not a BMP", notBmp},
        {"pixel rows cut short", claimsMoreRows},
        {"pixel data past the end", offsetPastEnd},
        {"pixel data offset wrapping", hugeOffset},
        {"headers cut short", Bytes(good.begin(), good.begin() + 53)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Put(L"m.bmp", c.file);
        MemoryTexture texture;
        MakeOpaque(texture, {8, 6});
        const std::vector<uint8_t> before = texture.texels;
        EXPECT_FALSE(ApplyAlphaMask(L"m.bmp", {8, 6}, &texture));
        EXPECT_EQ(texture.texels, before);
        EXPECT_EQ(texture.locks, 0);
    }
    MemoryTexture texture;
    MakeOpaque(texture, {8, 6});
    EXPECT_FALSE(ApplyAlphaMask(L"none.bmp", {8, 6}, &texture));
}

TEST_F(AlphaMaskTest, MaskNameReplacesTheLastExtension)
{
    EXPECT_EQ(AlphaMaskName(L"scene.jpg"), L"scene.bmp");
    EXPECT_EQ(AlphaMaskName(L"images\\room.v2.jp2"), L"images\\room.v2.bmp");
    EXPECT_EQ(AlphaMaskName(L"noextension"), L"noextension.bmp");
}

TEST_F(AlphaMaskTest, JpegFamilyLoadersApplyTheMaskBesideThePicture)
{
    const Picture picture = MakePicture(12, 10);
    struct Case
    {
        const char* what;
        std::wstring name;
        Bytes file;
        std::function<std::unique_ptr<ITextureLoader>(const std::wstring&)> make;
    } cases[] = {
        {"own decoder", L"photo.jpg", EncodeJpeg(picture),
         [](const std::wstring& n) { return std::make_unique<FastJpegLoader>(n); }},
        {"libjpeg", L"photo.jpg", EncodeJpeg(picture),
         [](const std::wstring& n) { return std::make_unique<JpegLoader>(n); }},
        {"JPEG 2000", L"photo.jp2", EncodeJp2(picture, {3, true}),
         [](const std::wstring& n) { return std::make_unique<Jpg2Loader>(n); }},
    };
    for (const Case& c : cases)
    {
        for (bool withMask : {true, false})
        {
            SCOPED_TRACE(testing::Message() << c.what << (withMask ? " with mask" : " with a 24-bit mask"));
            Put(c.name, c.file);
            Put(L"photo.bmp", MakeBmp8(12, 10, maskValue, withMask ? 8 : 24));
            std::unique_ptr<ITextureLoader> loader = c.make(c.name);
            ImageSize size;
            ASSERT_TRUE(loader->ReadHeader(&size));
            MemoryTexture texture;
            ASSERT_TRUE(texture.Allocate(size));
            ASSERT_TRUE(loader->Load(&texture));
            for (uint32_t y = 0; y < 10; ++y)
                for (uint32_t x = 0; x < 12; ++x)
                    ASSERT_EQ(texture.Texel(x, y) >> 24, withMask ? maskValue(x, y) : 0xFFu) << x << "," << y;
        }
    }
}

} // namespace
} // namespace LoaderTest
