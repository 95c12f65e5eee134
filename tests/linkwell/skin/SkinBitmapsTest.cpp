// Loading the ten frame bitmaps: all or nothing, nothing leaked on any path.
#include "linkwell/skin/SkinBitmaps.h"

#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "linkwell/skin/SkinModule.h"
#include "linkwell/skin/SkinnedFrame.h"
#include "tests/linkwell/skin/SkinFixture.h"

using namespace linkwell;

TEST(SkinBitmaps, AllTenLoadWithTheirSizes)
{
    SkinFixture::Bitmaps files;
    SkinBitmaps bitmaps;
    ASSERT_TRUE(bitmaps.Load(files.Source()));
    EXPECT_EQ(bitmaps.Count(), 10);
    const auto sizes = SkinFixture::Sizes();
    for (int i = 0; i < kSkinPieces; ++i)
    {
        EXPECT_EQ(bitmaps.Sizes()[i].width, sizes[i].width) << i;
        EXPECT_EQ(bitmaps.Sizes()[i].height, sizes[i].height) << i;
        ASSERT_NE(bitmaps.Bitmap(i), nullptr);
        // The decoded colour is the file's.
        const guchar* pixel = gdk_pixbuf_get_pixels(bitmaps.Bitmap(i));
        EXPECT_EQ(pixel[0], SkinFixture::Colours()[i][0]) << i;
        EXPECT_EQ(pixel[2], SkinFixture::Colours()[i][2]) << i;
    }
}

TEST(SkinBitmaps, LoadingStopsAtTheFirstMissingOrBadBitmap)
{
    struct Case
    {
        const char* name;
        std::vector<uint32_t> missing;
        void (*spoil)(std::map<uint32_t, std::vector<uint8_t>>&);
        int count;
    };
    const Case cases[] = {
        {"110 missing", {110}, nullptr, 9},
        {"103 missing", {103}, nullptr, 2},
        {"101 missing", {101}, nullptr, 0},
        {"105 truncated", {}, [](auto& f) { f[105].resize(60); }, 4},
        {"104 not a BMP", {}, [](auto& f) { f[104][0] = 'P'; }, 3},
        {"106 too wide", {}, [](auto& f) { f[106] = SkinFixture::MakeBmp(1025, 1, 1, 2, 3); }, 5},
        {"107 huge declared",
         {},
         [](auto& f)
         {
             f[107][22] = 0xFF;
             f[107][23] = 0x7F;
         },
         6},
        {"108 empty", {}, [](auto& f) { f[108].clear(); }, 7},
        // The decoder would allocate by these fields before reading on.
        {"109 header size 4 GB", {}, [](auto& f) { f[109][17] = 0xFC; }, 8},
        {"110 pixels past the end", {}, [](auto& f) { f[110][13] = 0x7F; }, 9},
        {"110 pixels inside the header", {}, [](auto& f) { f[110][10] = 50; }, 9},
        {"110 palette of 3 billion colours", {}, [](auto& f) { f[110][49] = 0xAF; }, 9},
        {"110 two planes", {}, [](auto& f) { f[110][26] = 2; }, 9},
        {"110 depth 0", {}, [](auto& f) { f[110][28] = 0; }, 9},
    };
    for (const Case& c : cases)
    {
        SkinFixture::Bitmaps files(c.missing);
        if (c.spoil != nullptr)
            c.spoil(files.Files());
        SkinBitmaps bitmaps;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(bitmaps.Load(files.Source())) << c.name;
        testing::internal::GetCapturedStderr();
        EXPECT_FALSE(bitmaps.Loaded()) << c.name;
        // Those decoded so far stay until the object goes, and go with it (the
        // leak checker watches this).
        EXPECT_EQ(bitmaps.Count(), c.count) << c.name;
    }
}

TEST(SkinBitmaps, ReloadingReleasesTheEarlierSet)
{
    SkinFixture::Bitmaps files;
    SkinFixture::Bitmaps nine({110});
    SkinBitmaps bitmaps;
    ASSERT_TRUE(bitmaps.Load(files.Source()));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(bitmaps.Load(nine.Source()));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(bitmaps.Count(), 9);
    ASSERT_TRUE(bitmaps.Load(files.Source()));
    EXPECT_EQ(bitmaps.Count(), 10);
}

TEST(SkinnedFrame, WithoutAllBitmapsItNeverAttaches)
{
    testing::internal::CaptureStderr();
    SkinFixture::Bitmaps nine({107});
    SkinnedFrame partial(nine.Source());
    SkinnedFrame none{SkinBitmapSource()};
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(partial.Loaded());
    EXPECT_FALSE(none.Loaded());
    // No window is needed to refuse.
    EXPECT_FALSE(partial.Attach(nullptr, nullptr, {}, {}));
    EXPECT_FALSE(none.Attach(nullptr, nullptr, {}, {}));
    EXPECT_TRUE(partial.Detach());
}

TEST(SkinModule, MissingModuleGivesNoSource)
{
    testing::internal::CaptureStderr();
    SkinModule module("libskinresource-that-is-not-there.so");
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(module.Opened());
    EXPECT_FALSE(static_cast<bool>(module.Source()));
    EXPECT_NE(log.find("no skin module"), std::string::npos);
}

#ifdef SKIN_FIXTURE_TEN
TEST(SkinModule, FixtureModulesLoadByPath)
{
    {
        SkinModule ten(SKIN_FIXTURE_TEN);
        ASSERT_TRUE(ten.Opened());
        SkinnedFrame frame(ten.Source());
        EXPECT_TRUE(frame.Loaded());
        EXPECT_EQ(frame.Geometry().MinimumSize().width, 10 + 12 + 60 + 100);
    }
    {
        SkinModule nine(SKIN_FIXTURE_NINE);
        ASSERT_TRUE(nine.Opened());
        testing::internal::CaptureStderr();
        SkinnedFrame frame(nine.Source());
        testing::internal::GetCapturedStderr();
        EXPECT_FALSE(frame.Loaded());
        EXPECT_EQ(frame.Bitmaps().Count(), 9);
    }
}
#endif
