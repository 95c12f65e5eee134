// Where the frame's pieces go and what the pointer does over it.
#include "linkwell/skin/SkinGeometry.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/linkwell/skin/SkinFixture.h"

using namespace linkwell;

namespace
{
void expectRect(const SkinRect& actual, const SkinRect& expected, const char* what)
{
    EXPECT_EQ(actual.x, expected.x) << what;
    EXPECT_EQ(actual.y, expected.y) << what;
    EXPECT_EQ(actual.width, expected.width) << what;
    EXPECT_EQ(actual.height, expected.height) << what;
}
} // namespace

TEST(SkinGeometry, PaintRectanglesForBitmapSizesAndClientSizes)
{
    const SkinGeometry geometry(SkinFixture::Sizes());
    struct Case
    {
        int32_t width, height;
        SkinRect targets[kSkinPieces]; // in painting order
        SkinRect content;
    };
    // Inner size 478 x 356 at 500 x 400; 0 x 0 once the corners no longer fit.
    const Case cases[] = {
        {500,
         400,
         {{0, 0, 10, 30},
          {10, 0, 478, 28},
          {199, 0, 100, 26},
          {488, 0, 12, 32},
          {0, 30, 6, 356},
          {488, 32, 7, 356},
          {0, 386, 8, 14},
          {8, 386, 478, 11},
          {488, 388, 9, 15},
          {480, 0, 20, 20}},
         {6, 28, 478, 356}},
        {5,
         5,
         {{0, 0, 10, 30},
          {10, 0, 0, 28},
          {-40, 0, 100, 26},
          {10, 0, 12, 32},
          {0, 30, 6, 0},
          {10, 32, 7, 0},
          {0, 30, 8, 14},
          {8, 30, 0, 11},
          {10, 32, 9, 15},
          {-15, 0, 20, 20}},
         {6, 28, 0, 0}},
        {-7,
         INT_MIN,
         {{0, 0, 10, 30},
          {10, 0, 0, 28},
          {-40, 0, 100, 26},
          {10, 0, 12, 32},
          {0, 30, 6, 0},
          {10, 32, 7, 0},
          {0, 30, 8, 14},
          {8, 30, 0, 11},
          {10, 32, 9, 15},
          {-20, 0, 20, 20}},
         {6, 28, 0, 0}},
    };
    const int order[kSkinPieces] = {kSkinTopLeft,     kSkinTopEdge,    kSkinCaption,    kSkinTopRight,
                                    kSkinLeftEdge,    kSkinRightEdge,  kSkinBottomLeft, kSkinBottomEdge,
                                    kSkinBottomRight, kSkinCloseButton};
    const auto sizes = SkinFixture::Sizes();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        const auto paints = geometry.Paints(c.width, c.height, 0);
        for (int i = 0; i < kSkinPieces; ++i)
        {
            EXPECT_EQ(paints[i].bitmap, order[i]);
            expectRect(paints[i].target, c.targets[i], "target");
            if (order[i] != kSkinCloseButton)
                expectRect(paints[i].source, {0, 0, sizes[order[i]].width, sizes[order[i]].height}, "source");
        }
        expectRect(geometry.Content(c.width, c.height), c.content, "content");
    }
}

TEST(SkinGeometry, CloseButtonFramesAreThirdsOfItsBitmap)
{
    const SkinGeometry geometry(SkinFixture::Sizes());
    for (int frame = 0; frame < 3; ++frame)
        expectRect(geometry.Paints(500, 400, frame)[9].source, {20 * frame, 0, 20, 20}, "frame");
    expectRect(geometry.Paints(500, 400, 7)[9].source, {40, 0, 20, 20}, "out-of-range frame");
    expectRect(geometry.CloseButton(500), {480, 0, 20, 20}, "button");
}

TEST(SkinGeometry, MinimumSizeIsCornersButtonAndCaptionBy400)
{
    const SkinSize minimum = SkinGeometry(SkinFixture::Sizes()).MinimumSize();
    EXPECT_EQ(minimum.width, 10 + 12 + 60 + 100);
    EXPECT_EQ(minimum.height, 400);
}

TEST(SkinGeometry, HostileSizesAreClampedSoNothingIsNegativeOrOverflows)
{
    std::array<SkinSize, kSkinPieces> huge;
    huge.fill({INT32_MAX, INT32_MIN});
    // Right-hand pieces taller than the left-hand corners: their bottoms are
    // placed past the inner height, the sum that overflowed at the largest sizes.
    std::array<SkinSize, kSkinPieces> lopsided{};
    lopsided[kSkinTopRight] = {1, 1 << 30};
    lopsided[kSkinRightEdge] = {INT32_MAX, 1};
    for (const auto& sizes : {huge, lopsided})
        for (int32_t width : {INT32_MIN, -1, 0, 1, 5000, INT32_MAX})
            for (int32_t height : {INT32_MIN, 0, 399, INT32_MAX})
            {
                const SkinGeometry geometry(sizes);
                for (const SkinPaint& paint : geometry.Paints(width, height, 1))
                {
                    EXPECT_GE(paint.target.width, 0);
                    EXPECT_GE(paint.target.height, 0);
                }
                EXPECT_GE(geometry.InnerWidth(width), 0);
                EXPECT_GE(geometry.InnerHeight(height), 0);
            }
}

TEST(SkinPointer, CloseButtonLookFollowsHoverAndPress)
{
    const SkinGeometry geometry(SkinFixture::Sizes());
    SkinPointer pointer(geometry);
    EXPECT_EQ(pointer.CloseFrame(), 0);
    EXPECT_EQ(pointer.Motion(500, 490, 10), SkinPointer::Action::Repaint);
    EXPECT_EQ(pointer.CloseFrame(), 1);
    EXPECT_EQ(pointer.Motion(500, 491, 11), SkinPointer::Action::Nothing);
    EXPECT_EQ(pointer.Press(500, 490, 10), SkinPointer::Action::Repaint);
    EXPECT_EQ(pointer.CloseFrame(), 2);
    EXPECT_EQ(pointer.Motion(500, 470, 10), SkinPointer::Action::Repaint);
    EXPECT_EQ(pointer.CloseFrame(), 0) << "pressed but outside";
    pointer.Motion(500, 499, 19);
    EXPECT_EQ(pointer.CloseFrame(), 2);
    pointer.Leave();
    EXPECT_EQ(pointer.CloseFrame(), 0);
}

TEST(SkinPointer, ReleaseClosesOnlyInsideTheButton)
{
    const SkinGeometry geometry(SkinFixture::Sizes());
    {
        SkinPointer pointer(geometry);
        pointer.Press(500, 485, 5);
        EXPECT_EQ(pointer.Release(500, 485, 5), SkinPointer::Action::Close);
    }
    {
        SkinPointer pointer(geometry);
        pointer.Press(500, 485, 5);
        pointer.Motion(500, 300, 200);
        EXPECT_EQ(pointer.Release(500, 300, 200), SkinPointer::Action::Repaint);
        EXPECT_EQ(pointer.CloseFrame(), 0);
    }
    {
        // The button's right and bottom edges are outside it.
        SkinPointer pointer(geometry);
        pointer.Press(500, 485, 5);
        EXPECT_EQ(pointer.Release(500, 500, 5), SkinPointer::Action::Repaint);
        pointer.Press(500, 485, 5);
        EXPECT_EQ(pointer.Release(500, 485, 20), SkinPointer::Action::Repaint);
    }
}

TEST(SkinPointer, PressAboveCaptionHeightStartsMove)
{
    const SkinGeometry geometry(SkinFixture::Sizes());
    const struct
    {
        int32_t x, y;
        SkinPointer::Action action;
    } cases[] = {
        {250, 0, SkinPointer::Action::StartMove}, {250, 27, SkinPointer::Action::StartMove},
        {0, 10, SkinPointer::Action::StartMove},  {250, 28, SkinPointer::Action::Nothing},
        {250, 300, SkinPointer::Action::Nothing}, {479, 10, SkinPointer::Action::StartMove},
        {480, 10, SkinPointer::Action::Repaint},  {250, -1, SkinPointer::Action::Nothing},
    };
    for (const auto& c : cases)
    {
        SkinPointer pointer(geometry);
        EXPECT_EQ(pointer.Press(500, c.x, c.y), c.action) << c.x << "," << c.y;
    }
}
