// JPEG pictures through the engine's own decoder and through libjpeg: the samplings and layouts each
// takes, what each refuses (the own decoder progressive files, libjpeg grey ones), the size limit,
// and damaged or cut-short files failing the loader instead of ending the process.
#include "tests/graphics/LoaderFixture.h"

#include "engine/graphics/textures/FastJpegLoader.h"
#include "engine/graphics/textures/JpegLoader.h"

namespace LoaderTest
{
namespace
{

class JpegLoaderTest : public LoaderFixture
{
protected:
    template <class Loader> int LoadFile(const Bytes& file, MemoryTexture& texture)
    {
        return LoadWith<Loader>(L"p.jpg", file, texture);
    }
};

struct Layout
{
    const char* what;
    JpegOptions options;
    uint32_t width, height;
    bool fastTakes;
    bool libjpegTakes;
};

const Layout kLayouts[] = {
    {"4:4:4", {3, 1, 1, 95, 0, false}, 37, 21, true, true},
    {"4:2:2", {3, 2, 1, 95, 0, false}, 37, 21, true, true},
    {"4:2:0", {3, 2, 2, 95, 0, false}, 37, 21, true, true},
    {"grey", {1, 1, 1, 95, 0, false}, 19, 30, true, false},
    {"4:2:0 with restarts", {3, 2, 2, 95, 2, false}, 70, 35, true, true},
    {"4:4:4 with restarts", {3, 1, 1, 95, 1, false}, 17, 9, true, true},
    {"progressive", {3, 2, 2, 95, 0, true}, 37, 21, false, true},
    {"progressive grey", {1, 1, 1, 95, 0, true}, 20, 20, false, false},
};

TEST_F(JpegLoaderTest, OwnDecoderLayouts)
{
    for (const Layout& c : kLayouts)
    {
        SCOPED_TRACE(c.what);
        const Bytes file = EncodeJpeg(MakePicture(c.width, c.height), c.options);
        MemoryTexture texture;
        ASSERT_EQ(LoadFile<FastJpegLoader>(file, texture), c.fastTakes ? 0 : 1);
        if (!c.fastTakes)
            continue;
        // The own decoder upsamples chroma its own way: close to libjpeg, opaque, grey stays grey.
        EXPECT_TRUE(SameTexels(texture, DecodeJpegWithLibjpeg(file), c.options.lumaH > 1 ? 6 : 2));
        EXPECT_TRUE(FillOutside(texture, c.width, c.height));
        if (c.options.components == 1)
            for (uint32_t x = 0; x < c.width; ++x)
            {
                const uint32_t t = texture.Texel(x, c.height / 2);
                EXPECT_EQ(t & 0xFF, (t >> 8) & 0xFF);
                EXPECT_EQ(t & 0xFF, (t >> 16) & 0xFF);
            }
    }
}

TEST_F(JpegLoaderTest, LibjpegLayouts)
{
    for (const Layout& c : kLayouts)
    {
        SCOPED_TRACE(c.what);
        const Bytes file = EncodeJpeg(MakePicture(c.width, c.height), c.options);
        MemoryTexture texture;
        ASSERT_EQ(LoadFile<JpegLoader>(file, texture), c.libjpegTakes ? 0 : 1);
        if (!c.libjpegTakes)
            continue;
        EXPECT_TRUE(SameTexels(texture, DecodeJpegWithLibjpeg(file)));
        EXPECT_TRUE(FillOutside(texture, c.width, c.height));
    }
}

// The frame header's height and width words of a file made by EncodeJpeg.
void SetFrameSize(Bytes& file, uint32_t width, uint32_t height)
{
    for (size_t i = 2; i + 9 < file.size(); ++i)
        if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2))
        {
            file[i + 5] = uint8_t(height >> 8);
            file[i + 6] = uint8_t(height);
            file[i + 7] = uint8_t(width >> 8);
            file[i + 8] = uint8_t(width);
            return;
        }
    ADD_FAILURE() << "no frame header";
}

TEST_F(JpegLoaderTest, OversizedPicturesAreRefusedBeforeDecoding)
{
    for (bool progressive : {false, true})
    {
        SCOPED_TRACE(progressive);
        Bytes file = EncodeJpeg(MakePicture(16, 16), {3, 2, 2, 90, 0, progressive});
        SetFrameSize(file, 4097, 16);
        MemoryTexture fast, fallback;
        EXPECT_EQ(LoadFile<FastJpegLoader>(file, fast), 1);
        EXPECT_EQ(LoadFile<JpegLoader>(file, fallback), 1);
        SetFrameSize(file, 60000, 60000);
        EXPECT_EQ(LoadFile<FastJpegLoader>(file, fast), 1);
        EXPECT_EQ(LoadFile<JpegLoader>(file, fallback), 1);
        EXPECT_EQ(fast.allocations + fallback.allocations, 0);
    }
}

TEST_F(JpegLoaderTest, CutShortFilesFailBothLoaders)
{
    for (bool progressive : {false, true})
    {
        const Bytes whole = EncodeJpeg(MakePicture(48, 40), {3, 2, 2, 90, 0, progressive});
        for (const Bytes& cut : Truncations(whole))
        {
            SCOPED_TRACE(testing::Message() << "progressive " << progressive << " cut at " << cut.size());
            MemoryTexture fast, fallback;
            EXPECT_EQ(LoadFile<FastJpegLoader>(cut, fast), 1);
            EXPECT_EQ(LoadFile<JpegLoader>(cut, fallback), 1);
        }
    }
}

TEST_F(JpegLoaderTest, DamagedHeadersFailLibjpegWithoutEndingTheProcess)
{
    const Bytes whole = EncodeJpeg(MakePicture(32, 32), {3, 2, 2, 90, 0, true});
    auto find = [&](uint8_t marker)
    {
        for (size_t i = 2; i + 1 < whole.size(); ++i)
            if (whole[i] == 0xFF && whole[i + 1] == marker)
                return i;
        return size_t(0);
    };
    struct Case
    {
        const char* what;
        size_t at;
        uint8_t value;
    } cases[] = {
        {"no start of image", 1, 0x00},
        {"frame with no components", find(0xC2) + 9, 0},
        {"frame with 9 components", find(0xC2) + 9, 9},
        {"sampling factor 0", find(0xC2) + 11, 0x00},
        {"12-bit precision", find(0xC2) + 4, 12},
        {"Huffman table class 7", find(0xC4) + 4, 0x70},
        {"quantisation table 9", find(0xDB) + 4, 0x09},
        {"scan of a missing component", find(0xDA) + 5, 0x77},
        {"segment length 1", find(0xDB) + 3, 0x01},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.at, 0u);
        Bytes damaged = whole;
        damaged[c.at] = c.value;
        MemoryTexture texture;
        EXPECT_EQ(LoadFile<JpegLoader>(damaged, texture), 1);
        EXPECT_EQ(LoadFile<FastJpegLoader>(damaged, texture), 1);
    }
}

// The file with its first scan (header and coded data) repeated right after itself until the file
// holds `scans` scans in all. libjpeg takes a repeated scan as a bogus but readable progression.
Bytes WithRepeatedFirstScan(const Bytes& file, int scans)
{
    size_t first = 0, end = 0;
    int count = 0;
    for (size_t i = 2; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == 0xDA && count++ == 0)
            first = i;
    for (size_t i = first + 2; i + 1 < file.size() && end == 0; ++i)
        if (file[i] == 0xFF && file[i + 1] != 0x00 && file[i + 1] != 0xFF && (file[i + 1] & 0xF8) != 0xD0)
            end = i;
    EXPECT_TRUE(first != 0 && end != 0 && count <= scans);
    const Bytes scan(file.begin() + ptrdiff_t(first), file.begin() + ptrdiff_t(end));
    Bytes out(file.begin(), file.begin() + ptrdiff_t(end));
    for (int i = count; i < scans; ++i)
        out.insert(out.end(), scan.begin(), scan.end());
    out.insert(out.end(), file.begin() + ptrdiff_t(end), file.end());
    return out;
}

TEST_F(JpegLoaderTest, FilesOfMoreThanAThousandScansAreRefused)
{
    // Each further scan costs libjpeg a pass over the whole picture, for a few bytes of file.
    const Bytes progressive = EncodeJpeg(MakePicture(16, 16), {3, 2, 2, 90, 0, true});
    for (const int scans : {1000, 1001, 20000})
    {
        SCOPED_TRACE(scans);
        const Bytes file = WithRepeatedFirstScan(progressive, scans);
        MemoryTexture texture;
        if (scans <= 1000)
        {
            ASSERT_EQ(LoadFile<JpegLoader>(file, texture), 0);
            EXPECT_TRUE(SameTexels(texture, DecodeJpegWithLibjpeg(progressive)));
        }
        else
            EXPECT_EQ(LoadFile<JpegLoader>(file, texture), 1);
    }
}

TEST_F(JpegLoaderTest, MissingFileFailsBothLoaders)
{
    ImageSize size;
    FastJpegLoader fast(L"none.jpg");
    JpegLoader fallback(L"none.jpg");
    EXPECT_FALSE(fast.ReadHeader(&size));
    EXPECT_FALSE(fallback.ReadHeader(&size));
}

} // namespace
} // namespace LoaderTest
