// PNG pictures read through an engine stream: 8-bit RGBA and RGB load (RGB opaque), other layouts
// pass the header and fail the load, oversized pictures are refused in the header, and cut-short or
// damaged files fail in the header.
#include "tests/graphics/LoaderFixture.h"

#include "engine/graphics/textures/PngLoader.h"

#include <zlib.h>

namespace LoaderTest
{
namespace
{

class PngLoaderTest : public LoaderFixture
{
protected:
    int LoadFile(const Bytes& file, MemoryTexture& texture)
    {
        return LoadWith<PngLoader>(L"p.png", file, texture);
    }
};

TEST_F(PngLoaderTest, LayoutsAndTheirTexels)
{
    struct Case
    {
        const char* what;
        PngOptions options;
        uint32_t width, height;
        int failedStep;
        int forcedAlpha;
    } cases[] = {
        {"RGBA", {PNG_COLOR_TYPE_RGB_ALPHA, 8, false}, 7, 5, 0, -1},
        {"RGBA interlaced", {PNG_COLOR_TYPE_RGB_ALPHA, 8, true}, 9, 9, 0, -1},
        {"RGB", {PNG_COLOR_TYPE_RGB, 8, false}, 7, 5, 0, 255},
        {"palette", {PNG_COLOR_TYPE_PALETTE, 8, false}, 7, 5, 3, -1},
        {"grey", {PNG_COLOR_TYPE_GRAY, 8, false}, 7, 5, 3, -1},
        // Same 32-bit pixel depth as RGBA, but not RGBA.
        {"grey and alpha, 16-bit", {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false}, 7, 5, 3, -1},
        {"RGBA, 16-bit", {PNG_COLOR_TYPE_RGB_ALPHA, 16, false}, 7, 5, 3, -1},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const Picture picture = MakePicture(c.width, c.height);
        MemoryTexture texture;
        ASSERT_EQ(LoadFile(EncodePng(picture, c.options), texture), c.failedStep);
        EXPECT_EQ(texture.locks, texture.unlocks);
        if (c.failedStep == 0)
        {
            EXPECT_TRUE(SameTexels(texture, picture, 0, c.forcedAlpha));
            EXPECT_TRUE(FillOutside(texture, c.width, c.height));
        }
        else
            EXPECT_EQ(texture.locks, 0) << "refused before locking";
    }
}

TEST_F(PngLoaderTest, SizeLimitIsCheckedInTheHeader)
{
    MemoryTexture wide;
    EXPECT_EQ(LoadFile(EncodePng(MakePicture(4096, 1)), wide), 0);
    MemoryTexture tooWide;
    EXPECT_EQ(LoadFile(EncodePng(MakePicture(4097, 1)), tooWide), 1);
    EXPECT_EQ(tooWide.allocations, 0);

    // A tiny file claiming a huge picture: only the header's word is there.
    Bytes claim = EncodePng(MakePicture(1, 1), {PNG_COLOR_TYPE_GRAY, 8, false});
    claim[16] = 0x00;
    claim[17] = 0x01;
    claim[18] = 0x00;
    claim[19] = 0x00;
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), &claim[12], 17));
    PutU32(claim, 29, __builtin_bswap32(crc));
    MemoryTexture huge;
    EXPECT_EQ(LoadFile(claim, huge), 1);

    // Refused on the header's word: with a long comment after the header, nothing past the IHDR
    // chunk is read (the library would otherwise go on and make rows for the claimed size).
    Bytes comment(8, 0);
    PutU32(comment, 0, __builtin_bswap32(4000));
    std::memcpy(&comment[4], "tEXt", 4);
    comment.insert(comment.end(), {'C', 'o', 'm', 'm', 'e', 'n', 't', 0});
    comment.resize(8 + 4000, 'x');
    const uint32_t commentCrc = uint32_t(crc32(crc32(0, nullptr, 0), &comment[4], 4 + 4000));
    comment.insert(comment.end(), {uint8_t(commentCrc >> 24), uint8_t(commentCrc >> 16),
                                   uint8_t(commentCrc >> 8), uint8_t(commentCrc)});
    const size_t headerEnd = 8 + 25;
    claim.insert(claim.begin() + ptrdiff_t(headerEnd), comment.begin(), comment.end());
    files->readPositions.clear();
    MemoryTexture commented;
    EXPECT_EQ(LoadFile(claim, commented), 1);
    for (const uint32_t at : files->readPositions)
        EXPECT_FALSE(at >= headerEnd && at < headerEnd + comment.size()) << "read at " << at;
}

TEST_F(PngLoaderTest, CutShortAndDamagedFilesFailTheHeader)
{
    const Bytes whole = EncodePng(MakePicture(40, 30), {PNG_COLOR_TYPE_RGB_ALPHA, 8, false});
    for (const Bytes& cut : Truncations(whole))
    {
        SCOPED_TRACE(cut.size());
        MemoryTexture texture;
        EXPECT_EQ(LoadFile(cut, texture), 1);
    }
    // Every byte of the compressed data flipped in turn (the chunk checksum catches it).
    const size_t data = 33 + 8;
    for (size_t at = data; at < whole.size() - 12; at += 97)
    {
        SCOPED_TRACE(at);
        Bytes damaged = whole;
        damaged[at] ^= 0x5A;
        MemoryTexture texture;
        EXPECT_EQ(LoadFile(damaged, texture), 1);
    }
    Bytes notPng = whole;
    notPng[1] = 'Q';
    MemoryTexture texture;
    EXPECT_EQ(LoadFile(notPng, texture), 1);
}

TEST_F(PngLoaderTest, FileCutInsideATrailingTextChunkFails)
{
    // libpng only warns about a damaged ancillary chunk, so after the picture's data only the
    // stream's short read tells that the file ends inside one. Were it ignored, the library would
    // take stale bytes for the next chunk header and read the same chunk again without end.
    Bytes file = EncodePng(MakePicture(6, 4), {PNG_COLOR_TYPE_RGB_ALPHA, 8, false});
    const char keywordAndText[] = "Comment\0A text chunk after the picture data, long enough to cut.";
    const std::string text(keywordAndText, sizeof(keywordAndText) - 1);
    Bytes chunk(8, 0);
    chunk[3] = uint8_t(text.size());
    std::memcpy(&chunk[4], "tEXt", 4);
    chunk.insert(chunk.end(), text.begin(), text.end());
    const uint32_t crc = uint32_t(crc32(crc32(0, nullptr, 0), &chunk[4], uInt(4 + text.size())));
    chunk.insert(chunk.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
    file.insert(file.end() - 12, chunk.begin(), chunk.end());
    MemoryTexture whole;
    ASSERT_EQ(LoadFile(file, whole), 0);
    file.resize(file.size() - 12 - chunk.size() + 20);
    MemoryTexture cut;
    EXPECT_EQ(LoadFile(file, cut), 1);
}

TEST_F(PngLoaderTest, MissingFileFails)
{
    PngLoader loader(L"none.png");
    ImageSize size;
    EXPECT_FALSE(loader.ReadHeader(&size));
    MemoryTexture texture;
    EXPECT_FALSE(loader.Load(&texture));
}

} // namespace
} // namespace LoaderTest
