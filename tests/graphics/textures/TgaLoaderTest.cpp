// TGA pictures: 32-bit files load byte for byte (first stored row on top, image ID skipped), other
// depths and oversized files are refused at the header, RLE files are read as if uncompressed, and
// cut-short files fail without touching anything beyond the file.
#include "tests/graphics/LoaderFixture.h"

#include "engine/graphics/textures/TgaLoader.h"

namespace LoaderTest
{
namespace
{

class TgaLoaderTest : public LoaderFixture
{
protected:
    int LoadFile(const Bytes& file, MemoryTexture& texture, ImageSize* size = nullptr)
    {
        return LoadWith<TgaLoader>(L"p.tga", file, texture, size);
    }
};

TEST_F(TgaLoaderTest, ThirtyTwoBitPicturesLoadUnchanged)
{
    struct Case
    {
        uint32_t width, height, idLength;
        uint8_t descriptor;
    } cases[] = {
        {5, 3, 0, 0x28}, // top-down
        {5, 3, 7, 0x28}, // an image ID to skip
        {4, 4, 0, 0x08}, // bottom-up: not honoured, the first stored row still lands on top
        {1, 1, 255, 0x00},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " id " << c.idLength);
        const Picture picture = MakePicture(c.width, c.height);
        MemoryTexture texture;
        ImageSize size;
        ASSERT_EQ(LoadFile(MakeTga(picture, 32, c.idLength, 2, c.descriptor), texture, &size), 0);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
        EXPECT_TRUE(SameTexels(texture, picture));
        EXPECT_TRUE(FillOutside(texture, c.width, c.height));
        EXPECT_EQ(texture.locks, texture.unlocks);
    }
}

TEST_F(TgaLoaderTest, HeaderRefusals)
{
    struct Case
    {
        const char* what;
        Bytes file;
        int failedStep;
    } cases[] = {
        {"24-bit", MakeTga(MakePicture(4, 2), 24), 1},   {"16-bit", MakeTga(MakePicture(4, 2), 16), 1},
        {"4097 wide", MakeTga(MakePicture(4097, 1)), 1}, {"4097 high", MakeTga(MakePicture(1, 4097)), 1},
        {"4096 wide", MakeTga(MakePicture(4096, 1)), 0}, {"4096 high", MakeTga(MakePicture(1, 4096)), 0},
        {"no width", MakeTga(Picture{0, 3, {}}), 1},     {"17-byte header", Bytes(17, 0), 1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        MemoryTexture texture;
        EXPECT_EQ(LoadFile(c.file, texture), c.failedStep);
        if (c.failedStep == 1)
        {
            EXPECT_EQ(texture.allocations, 0);
        }
    }
}

TEST_F(TgaLoaderTest, HugeClaimInATinyFileIsRefusedBeforeSizing)
{
    Bytes file = MakeTga(MakePicture(2, 2));
    PutU16(file, 12, 0xFFFF);
    PutU16(file, 14, 0xFFFF);
    MemoryTexture texture;
    EXPECT_EQ(LoadFile(file, texture), 1);
    EXPECT_EQ(texture.allocations, 0);
}

TEST_F(TgaLoaderTest, RunLengthFilesAreReadAsIfUncompressed)
{
    // Image type 10 with one raw packet of two pixels: the packet header is taken as pixel data.
    Bytes file = MakeTga(Picture{2, 1, {}}, 32, 0, 10);
    const uint8_t packet[] = {0x01, 1, 2, 3, 4, 5, 6, 7, 8};
    file.insert(file.end(), packet, packet + sizeof packet);
    MemoryTexture texture;
    ASSERT_EQ(LoadFile(file, texture), 0);
    EXPECT_EQ(texture.Texel(0, 0), 0x03020101u);
    EXPECT_EQ(texture.Texel(1, 0), 0x07060504u);

    // A packed file shorter than the picture fails the load.
    Bytes packed = MakeTga(Picture{4, 4, {}}, 32, 0, 10);
    const uint8_t run[] = {0x8F, 9, 9, 9, 255};
    packed.insert(packed.end(), run, run + sizeof run);
    MemoryTexture other;
    EXPECT_EQ(LoadFile(packed, other), 3);
}

TEST_F(TgaLoaderTest, CutShortFilesFail)
{
    const Bytes whole = MakeTga(MakePicture(6, 5), 32, 3);
    for (const Bytes& cut : Truncations(whole))
    {
        SCOPED_TRACE(cut.size());
        MemoryTexture texture;
        EXPECT_NE(LoadFile(cut, texture), 0);
        EXPECT_EQ(texture.locks, texture.unlocks);
    }
}

TEST_F(TgaLoaderTest, MissingFileAndFailedLock)
{
    TgaLoader missing(L"none.tga");
    ImageSize size;
    EXPECT_FALSE(missing.ReadHeader(&size));

    Put(L"p.tga", MakeTga(MakePicture(3, 3)));
    TgaLoader loader(L"p.tga");
    ASSERT_TRUE(loader.ReadHeader(&size));
    MemoryTexture texture;
    ASSERT_TRUE(texture.Allocate(size));
    texture.failLock = true;
    EXPECT_FALSE(loader.Load(&texture));
    EXPECT_EQ(texture.unlocks, 0);
}

} // namespace
} // namespace LoaderTest
