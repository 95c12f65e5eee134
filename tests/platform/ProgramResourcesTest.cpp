// The program's own icon and cursors by resource id: every id the game names
// gives a picture whose drawing covers its hot spot, the icon comes at any
// size it is asked for, and ids the program does not carry give nothing.
#include "platform/system/ProgramResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

namespace
{
using Platform::ResourcePicture;

uint8_t alphaAt(const ResourcePicture& picture, int x, int y)
{
    return picture.rgba[(size_t(y) * size_t(picture.width) + size_t(x)) * 4 + 3];
}

// The most opaque pixel within `reach` pixels of (x, y).
uint8_t alphaNear(const ResourcePicture& picture, int x, int y, int reach)
{
    uint8_t best = 0;
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx)
            if (x + dx >= 0 && y + dy >= 0 && x + dx < picture.width && y + dy < picture.height)
                best = std::max(best, alphaAt(picture, x + dx, y + dy));
    return best;
}

TEST(ProgramResources, EveryCursorTheGameNamesIsADrawingAroundItsHotSpot)
{
    for (uint32_t id = 102; id <= 109; ++id)
    {
        SCOPED_TRACE(id);
        ResourcePicture picture;
        ASSERT_TRUE(Platform::LoadCursorResource(id, picture));
        ASSERT_EQ(picture.width, 32);
        ASSERT_EQ(picture.height, 32);
        ASSERT_EQ(picture.rgba.size(), 32u * 32u * 4u);
        ASSERT_GE(picture.hotX, 0);
        ASSERT_GE(picture.hotY, 0);
        ASSERT_LT(picture.hotX, 32);
        ASSERT_LT(picture.hotY, 32);
        EXPECT_GE(alphaNear(picture, picture.hotX, picture.hotY, 1), 200) << "the hot spot is on the drawing";
        EXPECT_TRUE(alphaAt(picture, 31, 0) == 0 || alphaAt(picture, 0, 31) == 0 || alphaAt(picture, 31, 31) == 0)
            << "a cursor is a shape, not a square";
    }
    ResourcePicture picture;
    for (uint32_t id : {0u, 101u, 110u, 0x10106u})
        EXPECT_FALSE(Platform::LoadCursorResource(id, picture)) << id;
}

TEST(ProgramResources, TheIconComesAtEverySizeAskedFor)
{
    for (int size : {Platform::SmallIconSize, Platform::LargeIconSize, 1, 256})
    {
        SCOPED_TRACE(size);
        ResourcePicture icon;
        ASSERT_TRUE(Platform::LoadIconResource(101, size, icon));
        ASSERT_EQ(icon.width, size);
        ASSERT_EQ(icon.height, size);
        ASSERT_EQ(icon.rgba.size(), size_t(size) * size_t(size) * 4);
        EXPECT_GT(alphaAt(icon, size / 2, size / 2), 200) << "the tile is solid";
        if (size >= 16)
        {
            EXPECT_LT(alphaAt(icon, 0, 0), 64) << "its corners are rounded off";
        }
    }
    ResourcePicture icon;
    EXPECT_FALSE(Platform::LoadIconResource(101, 0, icon));
    EXPECT_FALSE(Platform::LoadIconResource(101, 257, icon));
    EXPECT_FALSE(Platform::LoadIconResource(102, 32, icon));
    EXPECT_FALSE(Platform::LoadIconResource(0, 32, icon));
}

} // namespace
