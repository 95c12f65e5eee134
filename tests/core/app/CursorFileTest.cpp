// Cursor files: the reader against files built here (pixels, row order, hot spot, the AND mask of
// files without alpha, and the broken files it must refuse), and the cursor set taking the game
// data's files by resource id before the program's own cursors.
#include "engine/core/app/CursorFile.h"
#include "engine/core/app/Cursors.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "platform/window/ScriptedWindowSystem.h"
#include "tests/core/FileTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace TarnEngine;

namespace
{

void put16(std::string& out, uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

void put32(std::string& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A one-image cursor file: `pixel(x, y)` gives the colour (0xAARRGGBB) of the picture seen from the
// top; `masked(x, y)` the transparent bits of the AND mask.
std::string cursorFile(int width, int height, int hotX, int hotY, const std::function<uint32_t(int, int)>& pixel,
                       const std::function<bool(int, int)>& masked = nullptr, uint16_t bits = 32)
{
    std::string image;
    put32(image, 40);
    put32(image, uint32_t(width));
    put32(image, uint32_t(height * 2));
    put16(image, 1);
    put16(image, bits);
    for (int i = 0; i < 6; ++i)
        put32(image, 0);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
        {
            const uint32_t argb = pixel(x, y);
            image += char(argb & 0xFF);
            image += char((argb >> 8) & 0xFF);
            image += char((argb >> 16) & 0xFF);
            image += char(argb >> 24);
        }
    const int maskRow = (width + 31) / 32 * 4;
    for (int y = height - 1; y >= 0; --y)
    {
        std::string row(size_t(maskRow), '\0');
        for (int x = 0; x < width; ++x)
            if (masked && masked(x, y))
                row[size_t(x / 8)] = char(row[size_t(x / 8)] | (0x80 >> (x % 8)));
        image += row;
    }
    std::string file;
    put16(file, 0);
    put16(file, 2);
    put16(file, 1);
    file += char(width & 0xFF);
    file += char(height & 0xFF);
    file += '\0';
    file += '\0';
    put16(file, uint32_t(hotX));
    put16(file, uint32_t(hotY));
    put32(file, uint32_t(image.size()));
    put32(file, 22);
    return file + image;
}

bool read(const std::string& file, Platform::ResourcePicture& picture)
{
    return ReadCursorFile(reinterpret_cast<const uint8_t*>(file.data()), file.size(), picture);
}

uint32_t rgbaAt(const Platform::ResourcePicture& picture, int x, int y)
{
    const uint8_t* p = picture.rgba.data() + (size_t(y) * size_t(picture.width) + size_t(x)) * 4;
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

} // namespace

TEST(CursorFile, ReadsThePictureFromTheTopWithItsHotSpot)
{
    // Red on the top row, blue below, half transparent on the right.
    const std::string file = cursorFile(3, 2, 2, 1, [](int x, int y)
                                        { return (x == 2 ? 0x80000000u : 0xFF000000u) | (y == 0 ? 0xFF0000u : 0xFFu); });
    Platform::ResourcePicture picture;
    ASSERT_TRUE(read(file, picture));
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    EXPECT_EQ(picture.hotX, 2);
    EXPECT_EQ(picture.hotY, 1);
    EXPECT_EQ(rgbaAt(picture, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(rgbaAt(picture, 2, 0), 0xFF000080u);
    EXPECT_EQ(rgbaAt(picture, 1, 1), 0x0000FFFFu);
}

TEST(CursorFile, APictureWithoutAlphaTakesItsTransparencyFromTheMask)
{
    const std::string file = cursorFile(
        40, 2, 0, 0, [](int, int) { return 0x00FFFFFFu; }, [](int x, int y) { return x >= 33 || y == 1; });
    Platform::ResourcePicture picture;
    ASSERT_TRUE(read(file, picture));
    EXPECT_EQ(rgbaAt(picture, 0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rgbaAt(picture, 32, 0), 0xFFFFFFFFu);
    EXPECT_EQ(rgbaAt(picture, 33, 0), 0xFFFFFF00u);
    EXPECT_EQ(rgbaAt(picture, 0, 1), 0xFFFFFF00u);
}

TEST(CursorFile, BrokenFilesAreRefused)
{
    const auto opaque = [](int, int) { return 0xFF102030u; };
    const std::string good = cursorFile(4, 4, 1, 1, opaque);
    struct Case
    {
        const char* what;
        std::string file;
    };
    std::string iconType = good;
    iconType[2] = 1;
    std::string manyEntries = good;
    manyEntries[4] = char(200);
    std::string offsetPast = good;
    offsetPast[18] = char(0xF0);
    std::string lengthPast = good;
    lengthPast[15] = 0x10;
    std::string wide = good;
    wide[22 + 4 + 1] = 0x10; // 4100 pixels across
    std::string oddHeight = good;
    oddHeight[22 + 8] = 7;
    std::string compressed = good;
    compressed[22 + 16] = 3;
    const std::vector<Case> cases = {
        {"empty", ""},
        {"only the directory", good.substr(0, 6)},
        {"an icon, not a cursor", iconType},
        {"more entries than the data holds", manyEntries},
        {"an image offset past the end", offsetPast},
        {"an image length past the end", lengthPast},
        {"the colour rows cut short", good.substr(0, 22 + 40 + 30)},
        {"24 bits a pixel", cursorFile(4, 4, 1, 1, opaque, nullptr, 24)},
        {"a hot spot outside", cursorFile(4, 4, 4, 0, opaque)},
        {"wider than a cursor can be", wide},
        {"an odd height", oddHeight},
        {"a compressed picture", compressed},
    };
    for (const Case& c : cases)
    {
        Platform::ResourcePicture picture;
        EXPECT_FALSE(read(c.file, picture)) << c.what;
        EXPECT_TRUE(picture.rgba.empty()) << c.what;
    }
    Platform::ResourcePicture picture;
    EXPECT_TRUE(read(good, picture));
}

TEST(CursorFile, TheCursorSetTakesTheDataFilesByResourceIdBeforeTheProgramsOwn)
{
    FileTest::TempFolder temp;
    temp.Write("input/cursors/106.cur", cursorFile(24, 20, 5, 7, [](int, int) { return 0xFF336699u; }));
    temp.Write("input/cursors/103.cur", "not a cursor");
    FileSystem files;
    ASSERT_TRUE(files.AddSource(std::make_unique<FSLooseFiles>(temp.Engine("input/"), L"System")));
    Platform::ScriptedWindowSystem system;
    Cursors cursors(system);

    // 106 from its file; 103's file is broken and 108 has none, so the program's own stand in; an
    // id with neither is the arrow. The low 16 bits name the file.
    ASSERT_TRUE(cursors.Load({0x10000 | 106, 103, 108, 999}));
    ASSERT_EQ(cursors.Count(), 4u);
    const auto* fromFile = system.Cursor(cursors.At(0));
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->width, 24);
    EXPECT_EQ(fromFile->height, 20);
    EXPECT_EQ(fromFile->hotX, 5);
    EXPECT_EQ(fromFile->hotY, 7);
    for (size_t i : {1u, 2u})
    {
        const auto* own = system.Cursor(cursors.At(i));
        ASSERT_NE(own, nullptr) << i;
        EXPECT_EQ(own->width, 32) << i;
    }
    EXPECT_EQ(cursors.At(3), Platform::ArrowCursor);
    EXPECT_EQ(CursorFileName(106), L"cursors\\106.cur");
}
