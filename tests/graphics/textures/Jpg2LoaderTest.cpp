// JPEG 2000 pictures through OpenJPEG: JP2 files and raw codestreams, grey, grey with alpha, RGB and
// RGBA mapped to the texel layout, the picture rows filled with 0xFF across the texture, refusals of
// unknown, oversized and headless files, files cut short or damaged after their header (what
// decodes is loaded, a picture that does not decode loads cleared), and the file-system reader
// under the decoder.
#include "tests/graphics/LoaderFixture.h"

#include "engine/graphics/textures/Jp2MemoryReader.h"
#include "engine/graphics/textures/Jpg2Loader.h"

#include <algorithm>
#include <cstdlib>

namespace LoaderTest
{
namespace
{

class Jpg2LoaderTest : public LoaderFixture
{
protected:
    int LoadFile(const Bytes& file, MemoryTexture& texture)
    {
        return LoadWith<Jpg2Loader>(L"p.jp2", file, texture);
    }
};

// The picture as the loader gives it for that many channels.
Picture Expected(const Picture& picture, int components)
{
    Picture out = picture;
    for (uint32_t& v : out.argb)
    {
        if (components <= 2)
            v = (v & 0xFF000000u) | (v & 0xFF) * 0x010101u;
        if (components == 1 || components == 3)
            v |= 0xFF000000u;
    }
    return out;
}

// Mean and largest difference of the colour bytes of the picture area from the picture.
struct Difference
{
    double mean = 0;
    int largest = 0;
};

Difference ColourDifference(const MemoryTexture& texture, const Picture& picture)
{
    Difference d;
    for (uint32_t y = 0; y < picture.height; ++y)
        for (uint32_t x = 0; x < picture.width; ++x)
            for (int shift = 0; shift < 24; shift += 8)
            {
                const int got = int((texture.Texel(x, y) >> shift) & 0xFF);
                const int want = int((picture.At(x, y) >> shift) & 0xFF);
                d.mean += std::abs(got - want);
                d.largest = std::max(d.largest, std::abs(got - want));
            }
    d.mean /= double(picture.width) * picture.height * 3;
    return d;
}

// Where the first tile's header (its SOT marker) starts in a codestream.
size_t FirstTileAt(const Bytes& codestream)
{
    for (size_t i = 0; i + 1 < codestream.size(); ++i)
        if (codestream[i] == 0xFF && codestream[i + 1] == 0x90)
            return i;
    return codestream.size();
}

TEST_F(Jpg2LoaderTest, FormatsAndChannels)
{
    struct Case
    {
        const char* what;
        Jp2Options options;
        uint32_t width, height;
    } cases[] = {
        {"JP2 RGB", {3, true}, 13, 9},           {"JP2 RGBA", {4, true}, 13, 9},
        {"JP2 grey", {1, true}, 8, 8},           {"JP2 grey and alpha", {2, true}, 11, 7},
        {"codestream RGB", {3, false}, 33, 17},  {"codestream RGBA", {4, false}, 5, 3},
        {"codestream grey", {1, false}, 16, 16}, {"codestream grey and alpha", {2, false}, 9, 12},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const Picture picture = MakePicture(c.width, c.height);
        const Bytes file = EncodeJp2(picture, c.options);
        ASSERT_FALSE(file.empty());
        MemoryTexture texture;
        ASSERT_EQ(LoadFile(file, texture), 0);
        EXPECT_TRUE(SameTexels(texture, Expected(picture, c.options.components)));
        // The picture's rows are filled across the whole texture; the rows below are untouched.
        for (uint32_t y = 0; y < texture.textureHeight; ++y)
            for (uint32_t x = c.width; x < texture.textureWidth; ++x)
                ASSERT_EQ(texture.Texel(x, y), y < c.height ? 0xFFFFFFFFu : kAllFill) << x << "," << y;
        EXPECT_TRUE(FillOutside(texture, texture.textureWidth, c.height));
    }
}

TEST_F(Jpg2LoaderTest, RefusedFiles)
{
    const Bytes whole = EncodeJp2(MakePicture(40, 24), {3, true});
    const Bytes stream = EncodeJp2(MakePicture(40, 24), {3, false});
    std::vector<std::pair<std::string, Bytes>> cases;
    // Without the whole main header the picture's size is not known.
    for (size_t keep : {size_t(1), size_t(10), size_t(40), size_t(80)})
    {
        cases.emplace_back("JP2 cut at " + std::to_string(keep), Bytes(whole.begin(), whole.begin() + keep));
        cases.emplace_back("codestream cut at " + std::to_string(keep),
                           Bytes(stream.begin(), stream.begin() + keep));
    }
    const size_t firstTile = FirstTileAt(stream);
    ASSERT_LT(firstTile, stream.size());
    cases.emplace_back("codestream cut before its first tile",
                       Bytes(stream.begin(), stream.begin() + ptrdiff_t(firstTile)));
    Bytes noTile = stream;
    noTile[firstTile + 1] = 0x91;
    cases.emplace_back("codestream without a tile", noTile);
    Bytes unknown = stream;
    unknown[1] = 0x4E;
    cases.emplace_back("unknown first bytes", unknown);
    // The codestream's image size (Xsiz, Ysiz) claiming 5000 x 5000.
    Bytes huge = stream;
    PutU32(huge, 8, __builtin_bswap32(5000));
    PutU32(huge, 12, __builtin_bswap32(5000));
    cases.emplace_back("oversized", huge);
    Bytes noComponents = stream;
    noComponents[40] = 0;
    noComponents[41] = 0;
    cases.emplace_back("no components", noComponents);
    for (const auto& [what, file] : cases)
    {
        SCOPED_TRACE(what);
        MemoryTexture texture;
        EXPECT_EQ(LoadFile(file, texture), 1);
        EXPECT_EQ(texture.allocations, 0);
    }
    Jpg2Loader missing(L"none.jp2");
    ImageSize size;
    EXPECT_FALSE(missing.ReadHeader(&size));
}

TEST_F(Jpg2LoaderTest, FilesCutShortLoadWhatDecodes)
{
    const Picture picture = MakePicture(40, 24);
    const Picture opaque = Expected(picture, 3);
    const Bytes whole = EncodeJp2(picture, {3, true});
    const Bytes stream = EncodeJp2(picture, {3, false});
    const size_t firstTile = FirstTileAt(stream);
    auto cut = [](const Bytes& file, size_t keep)
    { return Bytes(file.begin(), file.begin() + ptrdiff_t(keep)); };
    struct Case
    {
        std::string what;
        Bytes file;
        double meanWithin; // < 0: the picture's rows are cleared
        int largestWithin;
    } cases[] = {
        {"codestream one byte short", cut(stream, stream.size() - 1), 0, 0},
        {"JP2 one byte short", cut(whole, whole.size() - 1), 0, 0},
        {"codestream cut at two thirds", cut(stream, stream.size() * 2 / 3), 1, 16},
        {"JP2 cut at two thirds", cut(whole, whole.size() * 2 / 3), 4, 48},
        {"codestream cut in its first tile's header", cut(stream, firstTile + 6), -1, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        MemoryTexture texture;
        ImageSize size;
        ASSERT_EQ(LoadWith<Jpg2Loader>(L"p.jp2", c.file, texture, &size), 0);
        EXPECT_EQ(size.width, 40u);
        EXPECT_EQ(size.height, 24u);
        if (c.meanWithin < 0)
        {
            // Transparent black across the picture's rows, as far as the texture is wide.
            for (uint32_t y = 0; y < texture.textureHeight; ++y)
                for (uint32_t x = 0; x < texture.textureWidth; ++x)
                    ASSERT_EQ(texture.Texel(x, y), y < 24 ? 0u : kAllFill) << x << "," << y;
            continue;
        }
        const Difference d = ColourDifference(texture, opaque);
        EXPECT_LE(d.mean, c.meanWithin);
        EXPECT_LE(d.largest, c.largestWithin);
        for (uint32_t y = 0; y < 24; ++y)
            for (uint32_t x = 0; x < 40; ++x)
                ASSERT_EQ(texture.Texel(x, y) >> 24, 0xFFu) << "opaque at " << x << "," << y;
        EXPECT_TRUE(FillOutside(texture, texture.textureWidth, 24));
    }
}

TEST_F(Jpg2LoaderTest, ReaderSeeksAndReadsWithinTheFile)
{
    Bytes file(100);
    for (size_t i = 0; i < file.size(); ++i)
        file[i] = uint8_t(i);
    Put(L"r.jp2", file);
    Jp2MemoryReader reader;
    EXPECT_EQ(reader.Size(), -1);
    EXPECT_EQ(reader.Tell(), -1);
    EXPECT_FALSE(reader.Seek(0, Jp2MemoryReader::eFromStart));
    EXPECT_FALSE(reader.Open(L"none.jp2"));
    ASSERT_TRUE(reader.Open(L"r.jp2"));
    EXPECT_TRUE(reader.IsSeekable());
    EXPECT_EQ(reader.Size(), 100);

    uint8_t bytes[16] = {};
    struct Step
    {
        int64_t offset;
        int origin;
        bool seeks;
        int64_t position;
        uint32_t count;
        bool reads;
    } steps[] = {
        {90, Jp2MemoryReader::eFromStart, true, 90, 10, true}, // ends exactly at the end
        {-4, Jp2MemoryReader::eFromCurrent, true, 96, 4, true},
        {-10, Jp2MemoryReader::eFromEnd, true, 90, 11, false},   // one byte past the end
        {200, Jp2MemoryReader::eFromStart, true, 200, 1, false}, // beyond the end
        {0, Jp2MemoryReader::eFromEnd, true, 100, 0, true},
        {5, 3, false, 100, 1, false},                                   // unknown origin
        {0x100000005ll, Jp2MemoryReader::eFromStart, true, 5, 2, true}, // low 32 bits only
    };
    for (const Step& s : steps)
    {
        SCOPED_TRACE(testing::Message() << s.offset << " from " << s.origin);
        EXPECT_EQ(reader.Seek(s.offset, s.origin), s.seeks);
        EXPECT_EQ(reader.Tell(), s.position);
        EXPECT_EQ(reader.Read(bytes, s.count), s.reads);
        EXPECT_EQ(reader.Tell(), s.reads ? s.position + s.count : s.position)
            << "a failed read moves nothing";
        if (s.reads && s.count > 0)
        {
            EXPECT_EQ(bytes[0], uint8_t(s.position));
        }
    }
    reader.Close();
    EXPECT_EQ(reader.Tell(), 0);
    EXPECT_EQ(reader.Size(), 100) << "the file stays held after closing";
}

} // namespace
} // namespace LoaderTest
