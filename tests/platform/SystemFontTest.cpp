// System fonts: family fallback, metrics, line extents, and the coverage of
// drawn lines (values, placement, bottom-up rows, underline, clipping).
#include "platform/text/SystemFont.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace Platform;

namespace
{

std::unique_ptr<SystemFont> font(const wchar_t* family, int height, int weight = 400, bool italic = false,
                                 bool underline = false)
{
    return SystemFont::Create({family, height, weight, italic, underline});
}

long ink(const CoverageBitmap& bitmap)
{
    return std::accumulate(bitmap.Pixels().begin(), bitmap.Pixels().end(), 0L);
}

} // namespace

TEST(SystemText, WindowsFamiliesFallBackToInstalledFaces)
{
    struct Case
    {
        const wchar_t* family;
        bool fixedPitch;
    } cases[] = {
        {L"Lucida Console", true},   {L"Courier New", true}, {L"Consolas", true},           {L"Arial", false},
        {L"Tahoma", false},          {L"Verdana", false},    {L"No Such Family Qx", false}, {L"", false},
        {L"DejaVu Sans Mono", true},
    };
    for (const Case& c : cases)
    {
        auto f = font(c.family, 16);
        ASSERT_TRUE(f) << c.family;
        EXPECT_EQ(f->IsFixedPitch(), c.fixedPitch) << c.family << " -> " << f->FamilyName().c_str();
        EXPECT_FALSE(f->FamilyName().empty()) << c.family;
        EXPECT_FALSE(f->FilePath().empty()) << c.family;
    }
    // An installed family is used as named.
    EXPECT_EQ(font(L"DejaVu Sans Mono", 16)->FamilyName(), L"DejaVu Sans Mono");
    EXPECT_EQ(font(L"dejavu sans", 16)->FamilyName(), L"DejaVu Sans");
}

TEST(SystemText, SizesOutsideTheRangeAreRefused)
{
    EXPECT_FALSE(font(L"Lucida Console", -5));
    EXPECT_FALSE(font(L"Lucida Console", 100000));
    auto byDefault = font(L"Lucida Console", 0);
    ASSERT_TRUE(byDefault);
    EXPECT_EQ(byDefault->Desc().height, 12);
    EXPECT_EQ(byDefault->Metrics().height, font(L"Lucida Console", 12)->Metrics().height);
}

TEST(SystemText, MetricsFollowTheCharacterHeight)
{
    for (int height : {6, 8, 12, 16, 24, 32, 64, 127})
    {
        auto f = font(L"Lucida Console", height);
        ASSERT_TRUE(f) << height;
        const SystemTextMetrics& m = f->Metrics();
        EXPECT_GT(m.ascent, 0) << height;
        EXPECT_GT(m.descent, 0) << height;
        EXPECT_EQ(m.height, m.ascent + m.descent) << height;
        // The character height excludes the internal leading.
        EXPECT_GE(m.height, height) << height;
        EXPECT_EQ(m.internalLeading, m.height - height) << height;
        EXPECT_LE(m.height, 2 * height) << height;
        EXPECT_GT(m.averageWidth, 0) << height;
        EXPECT_EQ(f->MeasureLine(L"Hg").height, m.height) << height;
    }
    const int small = font(L"Lucida Console", 16)->Metrics().height;
    const int large = font(L"Lucida Console", 32)->Metrics().height;
    EXPECT_NEAR(large, 2 * small, 1);
}

TEST(SystemText, MonospaceLineWidth)
{
    auto f = font(L"Lucida Console", 16);
    ASSERT_TRUE(f);
    const int cell = f->MeasureLine(L"x").width;
    EXPECT_EQ(cell, f->Metrics().averageWidth);
    struct Case
    {
        const wchar_t* text;
        int cells;
    } cases[] = {
        {L"", 0},
        {L"iiiiiiiiii", 10},
        {L"WWWWWWWWWW", 10},
        {L"Hello, world", 12},
        {L"a b", 3},
        // A character outside the Basic Multilingual Plane is one glyph.
        {L"a\U0001F600b", 3},
        {L"\U00010400\U00010401", 2},
    };
    for (const Case& c : cases)
    {
        const TextExtent extent = f->MeasureLine(c.text);
        EXPECT_EQ(extent.width, c.cells * cell) << c.cells;
        EXPECT_EQ(extent.height, f->Metrics().height);
    }
}

TEST(SystemText, ProportionalWidthsDiffer)
{
    auto f = font(L"Arial", 16);
    ASSERT_TRUE(f);
    EXPECT_LT(f->MeasureLine(L"iiiiiiiiii").width, f->MeasureLine(L"WWWWWWWWWW").width);
    EXPECT_EQ(f->MeasureLine(L"ab").width, f->MeasureLine(L"a").width + f->MeasureLine(L"b").width);
}

// A full block in a box taller than the line, drawn with its cell's top at
// row 0: ink lies in the glyph's columns, in rows under the cell's top, and
// the rows below the cell stay empty. Rows are stored bottom-up.
TEST(SystemText, DrawnLineCoverageAndRowOrder)
{
    auto f = font(L"DejaVu Sans Mono", 16);
    ASSERT_TRUE(f);
    const SystemTextMetrics& m = f->Metrics();
    const int cell = m.averageWidth;
    const int spare = 7;
    CoverageBitmap bitmap(cell * 3, m.height + spare);
    f->DrawLine(bitmap, cell, 0, L"\u2588");

    // The columns left of the pen and right of the cell are empty.
    for (int y = 0; y < bitmap.Height(); ++y)
    {
        for (int x = 0; x < cell - 1; ++x)
            EXPECT_EQ(bitmap.AtFromTop(x, y), 0) << x << "," << y;
        for (int x = 2 * cell + 1; x < bitmap.Width(); ++x)
            EXPECT_EQ(bitmap.AtFromTop(x, y), 0) << x << "," << y;
    }
    // The block is solid in its middle, from above the baseline to below it.
    const int middle = cell + cell / 2;
    EXPECT_EQ(bitmap.AtFromTop(middle, m.ascent - 1), 255);
    EXPECT_EQ(bitmap.AtFromTop(middle, m.ascent + 1), 255);
    EXPECT_EQ(bitmap.AtFromTop(middle, 3), 255);
    // Stored bottom-up: the spare rows at the bottom are the first rows.
    for (int r = 0; r < spare; ++r)
    {
        for (int x = 0; x < bitmap.Width(); ++x)
            EXPECT_EQ(bitmap.Row(r)[x], 0) << r;
    }
    EXPECT_EQ(bitmap.Row(bitmap.Height() - 1 - 3)[middle], 255);
    EXPECT_EQ(bitmap.Pixels()[size_t(bitmap.Height() - 1 - 3) * bitmap.Width() + middle], 255);
}

TEST(SystemText, AntialiasedEdgesAndRepeatableDrawing)
{
    auto f = font(L"Arial", 14);
    ASSERT_TRUE(f);
    const TextExtent extent = f->MeasureLine(L"Hello, world");
    CoverageBitmap first(extent.width, extent.height);
    f->DrawLine(first, 0, 0, L"Hello, world");
    bool partial = false, full = false;
    for (uint8_t v : first.Pixels())
    {
        partial |= v > 0 && v < 255;
        full |= v == 255;
    }
    EXPECT_TRUE(partial);
    EXPECT_TRUE(full);
    // Drawing the same line again over it changes nothing (stronger coverage wins).
    CoverageBitmap twice = first;
    f->DrawLine(twice, 0, 0, L"Hello, world");
    EXPECT_EQ(twice.Pixels(), first.Pixels());
    // An empty text draws nothing.
    CoverageBitmap empty(10, 10);
    f->DrawLine(empty, 0, 0, L"");
    EXPECT_EQ(ink(empty), 0);
}

TEST(SystemText, DrawingIsClippedToTheBox)
{
    auto f = font(L"Lucida Console", 20);
    ASSERT_TRUE(f);
    const TextExtent extent = f->MeasureLine(L"MMMM");
    struct Case
    {
        int x, top;
        bool anyInk;
    } cases[] = {
        {-extent.width / 2, 0, true},   {extent.width / 2, 0, true},   {0, -extent.height / 2, true},
        {0, extent.height / 2, true},   {-extent.width * 2, 0, false}, {extent.width * 2, 0, false},
        {0, -extent.height * 2, false}, {0, extent.height * 2, false}, {-1000000000, 1000000000, false},
    };
    for (const Case& c : cases)
    {
        CoverageBitmap bitmap(extent.width, extent.height);
        f->DrawLine(bitmap, c.x, c.top, L"MMMM");
        EXPECT_EQ(ink(bitmap) > 0, c.anyInk) << c.x << "," << c.top;
    }
    CoverageBitmap none(0, 5);
    f->DrawLine(none, 0, 0, L"MMMM");
    EXPECT_TRUE(none.IsEmpty());
}

TEST(SystemText, UnderlineRunsUnderTheWholeLine)
{
    auto plain = font(L"Lucida Console", 16);
    auto underlined = font(L"Lucida Console", 16, 400, false, true);
    ASSERT_TRUE(plain && underlined);
    const TextExtent extent = plain->MeasureLine(L"a b");
    EXPECT_EQ(underlined->MeasureLine(L"a b").width, extent.width);
    CoverageBitmap a(extent.width + 4, extent.height), b(extent.width + 4, extent.height);
    plain->DrawLine(a, 2, 0, L"a b");
    underlined->DrawLine(b, 2, 0, L"a b");
    const int baseline = plain->Metrics().ascent;
    int fullRows = 0;
    for (int y = baseline; y < extent.height; ++y)
    {
        bool full = true;
        for (int x = 2; x < 2 + extent.width; ++x)
            full &= b.AtFromTop(x, y) == 255;
        fullRows += full;
        // Nothing left or right of the line.
        EXPECT_EQ(b.AtFromTop(0, y), 0);
        EXPECT_EQ(b.AtFromTop(extent.width + 3, y), 0);
    }
    EXPECT_GE(fullRows, 1);
    EXPECT_GT(ink(b), ink(a));
}

TEST(SystemText, BoldAndItalicStyles)
{
    auto regular = font(L"Lucida Console", 24);
    auto bold = font(L"Lucida Console", 24, 700);
    auto italic = font(L"Lucida Console", 24, 400, true);
    ASSERT_TRUE(regular && bold && italic);
    EXPECT_FALSE(regular->IsBold());
    EXPECT_FALSE(regular->IsItalic());
    EXPECT_TRUE(bold->IsBold());
    EXPECT_TRUE(italic->IsItalic());
    EXPECT_TRUE(bold->IsFixedPitch());

    const std::wstring text = L"Illegal";
    const TextExtent extent = bold->MeasureLine(text);
    CoverageBitmap r(extent.width + 8, extent.height), b(extent.width + 8, extent.height),
        i(extent.width + 8, extent.height);
    regular->DrawLine(r, 4, 0, text);
    bold->DrawLine(b, 4, 0, text);
    italic->DrawLine(i, 4, 0, text);
    EXPECT_GT(ink(b), ink(r) * 11 / 10);
    EXPECT_NE(i.Pixels(), r.Pixels());
}

TEST(SystemText, CoverageBitmapBounds)
{
    struct Case
    {
        int width, height;
        bool empty;
    } cases[] = {{0, 0, true},  {-1, 5, true},        {5, -1, true},
                 {1, 1, false}, {70000, 70000, true}, {300, 20, false}};
    for (const Case& c : cases)
    {
        CoverageBitmap bitmap(c.width, c.height);
        EXPECT_EQ(bitmap.IsEmpty(), c.empty) << c.width << "x" << c.height;
        if (!c.empty)
        {
            EXPECT_EQ(bitmap.Pixels().size(), size_t(c.width) * c.height);
            EXPECT_EQ(bitmap.AtFromTop(c.width, 0), 0);
            EXPECT_EQ(bitmap.AtFromTop(0, -1), 0);
        }
    }
}
