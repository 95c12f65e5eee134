// Text layout with DejaVu faces: kerning from the 'kern' table and from a
// GPOS reader, line ends, wrapping, alignment, offsets and measuring; and the
// drawing of a laid-out text: colours, compositing and clipping.
#include "engine/graphics/text/TextLayout.h"
#include "tests/graphics/font_fixture.h"
#include "tests/graphics/gpos_fixture.h"
#include "tests/platform/RasterImages.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace TarnEngine;
using font_fixture::Face;
using font_fixture::Pixels;
using font_fixture::plainOptions;

namespace
{

std::wstring lineText(const TextLine& line)
{
    std::wstring text;
    for (const TextGlyph& glyph : line.glyphs)
        text += glyph.character;
    return text;
}

std::vector<std::wstring> lineTexts(const TextLayout& layout)
{
    std::vector<std::wstring> out;
    for (const TextLine& line : layout.GetLines())
        out.push_back(lineText(line));
    return out;
}

// The x of every glyph of a one-line layout.
std::vector<double> exactPositions(FT_Face face, const std::wstring& text)
{
    const TextLayout layout(face, plainOptions(), 0, 1000, 100, text);
    std::vector<double> out;
    for (const TextGlyph& glyph : layout.GetLines().at(0).glyphs)
        out.push_back(glyph.exactX);
    return out;
}

class TextLayoutTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sans) << "fonts-dejavu-core is needed";
        SetFacePixelSize(sans.get(), 20);
    }

    Face sans{"DejaVuSans.ttf"};
};

} // namespace

TEST_F(TextLayoutTest, KernTablePairs)
{
    ASSERT_TRUE(FT_HAS_KERNING(sans.get()));
    // Amounts of DejaVu Sans's 'kern' table at 20 pixels, grid-fitted.
    const struct
    {
        const wchar_t* pair;
        double kern;
    } cases[] = {{L"AV", -1}, {L"To", -3}, {L"VA", -1}, {L"oo", 0}};
    for (const auto& c : cases)
    {
        const std::vector<double> x = exactPositions(sans.get(), c.pair);
        ASSERT_EQ(x.size(), 2u);
        EXPECT_DOUBLE_EQ(x[1], sans.advance(c.pair[0]) + c.kern)
            << testing::PrintToString(std::wstring(c.pair));
    }
}

TEST_F(TextLayoutTest, GposPairsWhenTheFaceHasNoKernTable)
{
    Face plain("DejaVuSans.ttf", true);
    ASSERT_TRUE(plain);
    ASSERT_FALSE(FT_HAS_KERNING(plain.get()));
    SetFacePixelSize(plain.get(), 20);
    // Without a reader the pair is not kerned at all.
    EXPECT_DOUBLE_EQ(exactPositions(plain.get(), L"AV")[1], plain.advance(L'A'));

    // The fixture kerns A V by -80 and W o by -40 font units (DejaVu's glyph
    // numbers); 20 pixels on 2048 units make a unit 20/2048 pixels.
    plain.attachGpos(COtfHeader::Parse(std::span<const uint8_t>(gpos_fixture::sampleFont().data)));
    const double unit = plain.get()->size->metrics.x_scale / 65536.0 / 64.0;
    EXPECT_NEAR(unit, 20.0 / 2048, 1e-6);
    const struct
    {
        const wchar_t* pair;
        int units;
    } cases[] = {{L"AV", -80}, {L"To", -60}, {L"Wo", -40}, {L"We", -40}, {L"VA", 0}, {L"WA", 0}};
    for (const auto& c : cases)
    {
        const std::vector<double> x = exactPositions(plain.get(), c.pair);
        EXPECT_DOUBLE_EQ(x[1], plain.advance(c.pair[0]) + c.units * unit)
            << testing::PrintToString(std::wstring(c.pair));
    }
}

TEST_F(TextLayoutTest, LineEnds)
{
    const struct
    {
        const wchar_t* text;
        uint32_t format;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"ab\r\ncd", 0, {L"ab", L"cd"}},
        {L"ab\ncd\ne", 0, {L"ab", L"cd", L"e"}},
        // Once a CR is in the text, every LF is ignored.
        {L"ab\r\ncd\ne", 0, {L"ab", L"cde"}},
        {L"ab\rcd", 0, {L"ab", L"cd"}},
        // Empty lines are dropped from the result.
        {L"ab\n\ncd\n", 0, {L"ab", L"cd"}},
        {L"ab\r\ncd", eTextFormatSingleLine, {L"abcd"}},
        {L"", 0, {}},
    };
    for (const auto& c : cases)
    {
        const TextLayout layout(sans.get(), plainOptions(), c.format, 200, 100, c.text);
        EXPECT_EQ(lineTexts(layout), c.lines) << testing::PrintToString(std::wstring(c.text));
    }

    // An empty line still takes its place: the line after it is two steps down.
    const TextLayout layout(sans.get(), plainOptions(), 0, 200, 100, L"a\n\nb");
    const int step = int(sans.get()->size->metrics.height / 64.0 * 1.07);
    ASSERT_EQ(layout.GetLines().size(), 2u);
    EXPECT_EQ(layout.GetLines()[0].baseline - layout.GetLines()[1].baseline, 2 * step);
    EXPECT_EQ(layout.GetLines()[0].baseline,
              100 - int((sans.get()->size->metrics.height + sans.get()->size->metrics.descender) >> 6));
}

TEST_F(TextLayoutTest, WrapsAtSoftBreaks)
{
    const TextLayout whole(sans.get(), plainOptions(), 0, 1000, 100, L"one two three");
    const std::vector<TextGlyph>& glyphs = whole.GetLines().at(0).glyphs;
    const int32_t threeStart = glyphs.at(8).x;
    ASSERT_EQ(glyphs.at(8).character, L't');

    // The box reaches the first letter of "three" but not its end.
    const TextLayout wrapped(sans.get(), plainOptions(), eTextFormatWordBreak, uint32_t(threeStart + 3), 100,
                             L"one two three");
    EXPECT_EQ(lineTexts(wrapped), (std::vector<std::wstring>{L"one two", L"three"}));
    const TextLine& second = wrapped.GetLines()[1];
    EXPECT_EQ(second.glyphs[0].x, 0);
    EXPECT_EQ(second.glyphs[0].exactX, glyphs[8].exactX);
    EXPECT_EQ(second.baseline,
              wrapped.GetLines()[0].baseline - int(sans.get()->size->metrics.height / 64.0 * 1.07));

    // Narrower: every word on its own line.
    int32_t widest = 0;
    for (const wchar_t* word : {L"one", L"two", L"three"})
    {
        const TextLayout alone(sans.get(), plainOptions(), 0, 1000, 100, word);
        widest = std::max(widest, TextLayout::LineWidth(alone.GetLines()[0]));
    }
    const TextLayout narrow(sans.get(), plainOptions(), eTextFormatWordBreak, uint32_t(widest), 100,
                            L"one two three");
    EXPECT_EQ(lineTexts(narrow), (std::vector<std::wstring>{L"one", L"two", L"three"}));

    // Without the wrap bit the line overflows.
    const TextLayout unwrapped(sans.get(), plainOptions(), 0, 10, 100, L"one two three");
    EXPECT_EQ(lineTexts(unwrapped), (std::vector<std::wstring>{L"one two three"}));
}

TEST_F(TextLayoutTest, LongWordIsCutInsideTheBox)
{
    const std::wstring word = L"abcdefghijklmnop";
    const TextLayout layout(sans.get(), plainOptions(), eTextFormatWordBreak, 50, 100, word);
    std::wstring joined;
    for (const TextLine& line : layout.GetLines())
    {
        ASSERT_FALSE(line.glyphs.empty());
        EXPECT_EQ(line.glyphs[0].x, 0);
        for (const TextGlyph& glyph : line.glyphs)
            EXPECT_LE(glyph.x, 50);
        joined += lineText(line);
    }
    EXPECT_EQ(joined, word);
    // The cut is at the last glyph that still starts inside the box: that
    // glyph begins the next line.
    ASSERT_GE(layout.GetLines().size(), 2u);
    const size_t cut = layout.GetLines()[0].glyphs.size();
    const TextLayout whole(sans.get(), plainOptions(), 0, 1000, 100, word);
    const std::vector<TextGlyph>& glyphs = whole.GetLines()[0].glyphs;
    EXPECT_LE(glyphs.at(cut).x, 50);
    EXPECT_GT(glyphs.at(cut + 1).x, 50);
}

TEST_F(TextLayoutTest, BoxNarrowerThanAGlyphStillEnds)
{
    const struct
    {
        const wchar_t* text;
        uint32_t width;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"WWW", 1, {L"W", L"W", L"W"}},
        {L"WWW", 0, {L"W", L"W", L"W"}},
        // The blank at a soft break is dropped even here.
        {L"a b", 0, {L"a", L"b"}},
        {L"ab cd", 1, {L"ab", L"c", L"d"}},
        {L"W", 0, {L"W"}},
    };
    for (const auto& c : cases)
    {
        const TextLayout layout(sans.get(), plainOptions(), eTextFormatWordBreak, c.width, 100, c.text);
        EXPECT_EQ(lineTexts(layout), c.lines) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST_F(TextLayoutTest, HorizontalAlignment)
{
    const std::wstring text = L"Hello";
    const TextLayout left(sans.get(), plainOptions(), 0, 100, 40, text);
    const int32_t width = TextLayout::LineWidth(left.GetLines()[0]);
    ASSERT_LT(width, 100);
    const struct
    {
        uint32_t format;
        uint32_t box;
        int32_t xOffset;
    } cases[] = {
        {0, 100, 0},
        {eTextFormatCenter, 100, (100 - width) / 2},
        {eTextFormatRight, 100, 100 - width},
        {eTextFormatCenter | eTextFormatRight, 100, (100 - width) / 2},
        // An overflowing line is centred (moved left) unless single-line.
        {eTextFormatCenter, 10, (10 - width) / 2},
        {eTextFormatRight, 10, 10 - width},
        {eTextFormatCenter | eTextFormatSingleLine, 10, 0},
        {eTextFormatRight | eTextFormatSingleLine, 10, 0},
        {eTextFormatCenter | eTextFormatSingleLine, 100, (100 - width) / 2},
    };
    for (const auto& c : cases)
    {
        const TextLayout layout(sans.get(), plainOptions(), c.format, c.box, 40, text);
        EXPECT_EQ(layout.GetLines()[0].xOffset, c.xOffset) << c.format << " in " << c.box;
    }
}

TEST_F(TextLayoutTest, VerticalPlacementAndOffsets)
{
    FontRenderOptions options = plainOptions();
    options.offsetLeftAlign = {2, -3};
    options.offsetCenterAlign = {0, -5};
    options.offsetRightAlign = {-3, -7};
    const int32_t lineHeight = int32_t(sans.get()->size->metrics.height >> 6);
    const struct
    {
        uint32_t format;
        int32_t originX;
        int32_t originY; // for two lines in a box 100 high
    } cases[] = {
        {0, 2, -3},
        {eTextFormatCenter, 0, -5},
        {eTextFormatRight, -3, -7},
        {eTextFormatBottom, 2, 2 * lineHeight - 100 + 3},
        {eTextFormatVCenter, 2, -(100 - 2 * lineHeight) / 2},
        {eTextFormatVCenter | eTextFormatBottom, 2, -(100 - 2 * lineHeight) / 2 + 3},
        {eTextFormatRight | eTextFormatBottom, -3, 2 * lineHeight - 100 + 7},
    };
    for (const auto& c : cases)
    {
        const TextLayout layout(sans.get(), options, c.format, 200, 100, L"one\ntwo");
        EXPECT_EQ(layout.GetOriginX(), c.originX) << c.format;
        EXPECT_EQ(layout.GetOriginY(), c.originY) << c.format;
    }
}

TEST_F(TextLayoutTest, Measuring)
{
    FontRenderOptions options = plainOptions();
    options.offsetLeftAlign = {2, -3};
    int32_t width = -1, height = -1;
    MeasureTextLine(sans.get(), 20, options, L"", width, height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);

    const int32_t lineHeight = int32_t(sans.get()->size->metrics.height >> 6);
    MeasureTextLine(sans.get(), 20, options, L"Hello", width, height);
    const TextLayout hello(sans.get(), options, 0, 0, 0, L"Hello");
    EXPECT_EQ(width, TextLayout::LineWidth(hello.GetLines()[0]) + 2);
    EXPECT_EQ(height, lineHeight + 3);

    // Colour codes take no room.
    int32_t codedWidth = 0, codedHeight = 0;
    MeasureTextLine(sans.get(), 20, options, L"H^FF0000ello", codedWidth, codedHeight);
    EXPECT_EQ(codedWidth, width);

    // Two lines: the second line's step is the multiplied line height.
    MeasureTextLine(sans.get(), 20, options, L"Hello\nHello", width, height);
    EXPECT_EQ(height, lineHeight + int32_t(sans.get()->size->metrics.height / 64.0 * 1.07) + 3);

    // Wrapped: no line is wider than the widest word here.
    int32_t wrappedWidth = 0, wrappedHeight = 0;
    MeasureTextWrapped(sans.get(), 20, options, L"one two three", 60, wrappedWidth, wrappedHeight);
    int32_t threeWidth = 0, threeHeight = 0;
    MeasureTextLine(sans.get(), 20, options, L"three", threeWidth, threeHeight);
    EXPECT_EQ(wrappedWidth, threeWidth);
    EXPECT_EQ(wrappedHeight, lineHeight + 2 * int32_t(sans.get()->size->metrics.height / 64.0 * 1.07) + 3);
}

TEST_F(TextLayoutTest, DrawsColourCodes)
{
    // Each glyph's strongest pixel shows the colour its code gave it.
    const struct
    {
        const wchar_t* text;
        std::vector<uint32_t> colors; // per visible glyph
    } cases[] = {
        {L"A^^B", {0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
        {L"A^FF0000BX^00FF00D", {0xFFFFFF, 0xFF0000, 0xFF0000, 0x00FF00}},
        {L"A ^FF0000B", {0xFFFFFF, 0xFF0000}},
        {L"^0000FFA\nB", {0x0000FF, 0x0000FF}},
    };
    for (const auto& c : cases)
    {
        Pixels pixels(256, 64);
        TextPixels view = pixels.view();
        const TextRenderParams params(c.text, 256, 64, 0, 0, 1.0);
        RenderTextBlock(sans.get(), 20, plainOptions(), 1.1, params, view);

        std::vector<TextColorChange> changes;
        const TextLayout layout(sans.get(), plainOptions(), 0, 256, 64, ParseColorCodes(c.text, changes));
        std::vector<uint32_t> seen;
        for (const TextLine& line : layout.GetLines())
        {
            for (const TextGlyph& glyph : line.glyphs)
            {
                if (glyph.character == L' ')
                    continue;
                // The middle column of the glyph, strongest pixel.
                const uint32_t column = uint32_t(glyph.x + line.xOffset + layout.GetOriginX() +
                                                 glyph.glyph->advance.x / 65536 / 2);
                uint32_t best = 0;
                for (uint32_t y = 0; y < 64; ++y)
                    if ((pixels.at(column, y) >> 24) > (best >> 24))
                        best = pixels.at(column, y);
                EXPECT_EQ(best >> 24, 255u);
                seen.push_back(best & 0xFFFFFF);
            }
        }
        EXPECT_EQ(seen, c.colors) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST_F(TextLayoutTest, StrongerCoverageWins)
{
    Pixels pixels(64, 32);
    TextPixels view = pixels.view();
    RenderTextBlock(sans.get(), 20, plainOptions(), 1.0, TextRenderParams(L"O", 64, 32, 0, 0, 1.0), view);
    const std::vector<uint8_t> weak = pixels.data;

    // Drawn again over it in red with a stronger gamma: every partly covered
    // pixel turns red and stronger; fully covered ones stay as they were.
    std::vector<TextColorChange> changes{{0, 0xFF0000}};
    const TextLayout layout(sans.get(), plainOptions(), 0, 64, 32, L"O");
    layout.Draw(view, 64, 32, 20, 3.0, changes);
    int turned = 0;
    for (size_t i = 0; i < weak.size(); i += 4)
    {
        if (weak[i + 3] == 0 || weak[i + 3] == 255)
        {
            EXPECT_EQ(std::vector<uint8_t>(weak.begin() + i, weak.begin() + i + 4),
                      std::vector<uint8_t>(pixels.data.begin() + i, pixels.data.begin() + i + 4));
            continue;
        }
        EXPECT_GT(pixels.data[i + 3], weak[i + 3]);
        EXPECT_EQ(pixels.data[i + 2], 255);
        EXPECT_EQ(pixels.data[i + 1], 0);
        ++turned;
    }
    EXPECT_GT(turned, 0);

    // A weaker white pass changes nothing.
    const std::vector<uint8_t> strong = pixels.data;
    layout.Draw(view, 64, 32, 20, 1.0, {});
    EXPECT_EQ(pixels.data, strong);
}

TEST_F(TextLayoutTest, WritesStayInsideTheStorage)
{
    // A render box wider and taller than the storage (an even-raised width on
    // a 1-wide texture): only the storage is touched. The block is exactly
    // the storage, so the address sanitizer sees any stray write.
    const struct
    {
        uint32_t storageWidth, storageHeight, renderWidth, renderHeight;
    } cases[] = {{1, 32, 2, 32}, {4, 4, 64, 64}, {16, 1, 16, 40}};
    FontRenderOptions options = plainOptions();
    options.offsetLeftAlign = {0, 0};
    for (const auto& c : cases)
    {
        std::vector<uint8_t> block(size_t(c.storageWidth) * c.storageHeight * 4, 0xAB);
        TextPixels view{block.data(), int32_t(c.storageWidth * 4), c.storageWidth, c.storageHeight};
        // Full blocks reach the bottom-left corner whatever the storage.
        RenderTextBlock(sans.get(), 40, options, 1.1,
                        TextRenderParams(L"\u2588\u2588\n\u2588\u2588", c.renderWidth, c.renderHeight,
                                         eTextFormatBottom, 0, 0),
                        view);
        // Cleared, then drawn on.
        bool drawn = false;
        for (size_t i = 0; i < block.size(); i += 4)
        {
            EXPECT_NE(block[i + 3], 0xAB);
            drawn = drawn || block[i + 3] != 0;
        }
        EXPECT_TRUE(drawn) << c.storageWidth << "x" << c.storageHeight;
    }
}

TEST_F(TextLayoutTest, SubPixelOrigins)
{
    // A glyph rasterised at a fractional pen position matches FreeType's own
    // bitmap at the snapped origin: quarter pixels below 26 pixels.
    const struct
    {
        int32_t size;
        double exactX;
        int origin64;
    } cases[] = {{20, 10.3, 16}, {20, 10.6, 48}, {20, 10.5, 32}, {20, 10.0, 0}, {30, 10.3, 19}};
    for (const auto& c : cases)
    {
        SetFacePixelSize(sans.get(), c.size);
        TextLayout layout(sans.get(), plainOptions(), 0, 64, 64, L"l");
        auto& glyph = const_cast<TextGlyph&>(layout.GetLines()[0].glyphs[0]);
        glyph.exactX = c.exactX;
        glyph.x = int32_t(c.exactX);
        Pixels drawn(64, 64);
        std::fill(drawn.data.begin(), drawn.data.end(), 0);
        TextPixels view = drawn.view();
        layout.Draw(view, 64, 64, c.size, 1.0, {});

        FT_Glyph image = glyph.glyph;
        FT_Vector origin{c.origin64, 0};
        ASSERT_EQ(FT_Glyph_To_Bitmap(&image, FT_RENDER_MODE_NORMAL, &origin, 0), 0);
        const FT_BitmapGlyph bitmap = reinterpret_cast<FT_BitmapGlyph>(image);
        Pixels expected(64, 64);
        std::fill(expected.data.begin(), expected.data.end(), 0);
        const int32_t left = int32_t(c.exactX) + layout.GetOriginX() + bitmap->left;
        const int32_t top = layout.GetLines()[0].baseline + layout.GetOriginY() + bitmap->top;
        for (unsigned r = 0; r < bitmap->bitmap.rows; ++r)
            for (unsigned col = 0; col < bitmap->bitmap.width; ++col)
            {
                const uint8_t v = bitmap->bitmap.buffer[r * bitmap->bitmap.pitch + col];
                uint8_t* p = &expected.data[(size_t(top - int(r)) * 64 + left + col) * 4];
                if (v > 0)
                    p[0] = p[1] = p[2] = 255, p[3] = v;
            }
        FT_Done_Glyph(image);
        EXPECT_EQ(drawn.data, expected.data) << c.size << " at " << c.exactX;
    }
}

TEST_F(TextLayoutTest, ParagraphMatchesReference)
{
    // Wrapped, centred, coloured, hinted as fonts.xml leaves it by default:
    // FreeType's output is exact for a given version, so the picture is too.
    FontRenderOptions options = plainOptions();
    options.loadFlags = FontRenderOptions::eNoBitmap;
    options.offsetLeftAlign = {2, -3};
    options.offsetCenterAlign = {0, -3};
    options.offsetRightAlign = {-3, -3};
    const std::wstring text =
        L"The ferry to ^FFCC00Pellwood^^ leaves at dawn.\r\nBring the ^40A0FFlantern^FFFFFF, "
        L"the map and the brass key; AV To We kerned.";
    const uint32_t width = 256, height = 128;
    std::vector<uint8_t> bgra(size_t(width) * height * 4, 0xAB); // rows from the bottom
    TextPixels view{bgra.data(), int32_t(width * 4), width, height};
    RenderTextBlock(
        sans.get(), 17, options, 1.1,
        TextRenderParams(text, 250, 128, eTextFormatWordBreak | eTextFormatCenter | eTextFormatVCenter, 0, 0),
        view);
    // Kept the right way up in tests/data/fonts/.
    RasterTest::Picture picture{width, height, std::vector<uint32_t>(size_t(width) * height)};
    for (uint32_t y = 0; y < height; ++y)
    {
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint8_t* p = &bgra[(size_t(height - 1 - y) * width + x) * 4];
            picture.pixels[size_t(y) * width + x] =
                (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
        }
    }
    EXPECT_EQ(
        RasterTest::CompareWithReferenceIn("fonts", "PELLWOOD_WRITE_FONT_REFERENCES", "paragraph", picture),
        "");
}

TEST_F(TextLayoutTest, UnusableGammaDrawsLinearly)
{
    // A gamma that is not a positive number (from content) would divide by
    // zero; the coverage is then used as it is.
    const auto draw = [&](double requested, double fontGamma, double defaultGamma)
    {
        FontRenderOptions options = plainOptions();
        options.gamma = fontGamma;
        Pixels pixels(48, 32);
        TextPixels view = pixels.view();
        RenderTextBlock(sans.get(), 20, options, defaultGamma,
                        TextRenderParams(L"Og", 48, 32, 0, 0, requested), view);
        return pixels.data;
    };
    const std::vector<uint8_t> linear = draw(1.0, 0, 0);
    EXPECT_NE(linear, draw(2.2, 0, 0));
    const struct
    {
        double requested, fontGamma, defaultGamma;
    } cases[] = {{-1, 0, 0}, {0, 0, 0}, {0, -3, 7}, {0, 0, -0.5}, {std::nan(""), 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(draw(c.requested, c.fontGamma, c.defaultGamma), linear)
            << c.requested << " " << c.fontGamma;
    // The font's own gamma stands behind the request's, the default behind both.
    EXPECT_EQ(draw(0, 2.2, 1.0), draw(2.2, 0, 0));
    EXPECT_EQ(draw(0, 0, 2.2), draw(2.2, 0, 0));
}
