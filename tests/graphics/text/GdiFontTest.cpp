// The system-font text blocks: coverage turned into the alpha of white
// texels (also on a 16-bit display), the rows of the box from its bottom,
// monospace line widths, placement by the format flags as the system's box
// drawing places text, word breaks and line ends in measuring, and a block
// drawn wider than its one-texel storage.
#include "tests/graphics/textrender_fixture.h"

#include "engine/graphics/text/GdiFont.h"

#include <algorithm>

namespace GraphicsTest
{
namespace
{

class GdiFontTest : public TextRenderFixture
{
protected:
    // The box of a text block drawn by the font.
    std::vector<uint32_t> block(GdiFont& font, const TextRenderParams& params)
    {
        TextTexture out;
        font.RenderText(out, desc, params);
        if (!out.texture)
            return {};
        return boxTexels(*out.texture, params.renderWidth, params.renderHeight);
    }

    // The ink of a line drawn straight with the system font at (x, top).
    static Platform::CoverageBitmap ink(const GdiFont& font, uint32_t width, uint32_t height, int x, int top,
                                        const std::wstring& text)
    {
        Platform::CoverageBitmap bitmap{int(width), int(height)};
        font.GetSystemFont()->DrawLine(bitmap, x, top, text);
        return bitmap;
    }

    static std::vector<uint32_t> expectedTexels(const Platform::CoverageBitmap& bitmap, bool sixteenBit)
    {
        std::vector<uint32_t> out;
        for (int row = 0; row < bitmap.Height(); ++row)
            for (int column = 0; column < bitmap.Width(); ++column)
                out.push_back(uint32_t(GdiFont::AlphaFromCoverage(bitmap.Row(row)[column], sixteenBit))
                                  << 24 |
                              0x00FFFFFFu);
        return out;
    }

    const FontDesc desc{L"DejaVu Sans", 20, false, false};
};

TEST(GdiFontAlpha, CoverageToAlpha)
{
    const struct
    {
        uint8_t coverage;
        bool sixteenBit;
        uint8_t alpha;
    } cases[] = {
        {0, false, 0},
        {64, false, 4},
        {128, false, 32},
        {255, false, 255},
        // Five bits of coverage: the low three are lost, full ink stays full.
        {7, true, 0},
        {128, true, 34},
        {200, true, 132},
        {255, true, 255},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GdiFont::AlphaFromCoverage(c.coverage, c.sixteenBit), c.alpha)
            << int(c.coverage) << (c.sixteenBit ? " on 16 bits" : "");
}

TEST_F(GdiFontTest, TextBecomesTheAlphaOfWhiteTexels)
{
    GdiFont font(desc);
    ASSERT_TRUE(font.IsValid());
    // Colour codes are plain characters here.
    const TextRenderParams params(L"Ag^FF0000x", 160, 30, 0, 0, 0);
    const std::vector<uint32_t> texels = block(font, params);
    ASSERT_EQ(texels.size(), 160u * 30);
    EXPECT_EQ(texels, expectedTexels(ink(font, 160, 30, 0, 0, params.text), false));

    int32_t width = 0, height = 0;
    font.MeasureLine(width, height, params.text);
    int32_t shortWidth = 0;
    font.MeasureLine(shortWidth, height, L"Agx");
    EXPECT_GT(width, shortWidth + 40) << "the code's characters take room";
    const bool full = std::any_of(texels.begin(), texels.end(), [](uint32_t t) { return t >> 24 == 255; });
    const bool partial =
        std::any_of(texels.begin(), texels.end(), [](uint32_t t) { return t >> 24 != 0 && t >> 24 != 255; });
    EXPECT_TRUE(full);
    EXPECT_TRUE(partial);
}

TEST_F(GdiFontTest, RowZeroIsTheBottomOfTheBox)
{
    GdiFont font(desc);
    const uint32_t height = 3 * uint32_t(font.GetSystemFont()->Metrics().height);
    const std::vector<uint32_t> texels = block(font, TextRenderParams(L"T", 40, height, 0, 0, 0));
    ASSERT_EQ(texels.size(), 40u * height);
    const uint32_t lineHeight = uint32_t(font.GetSystemFont()->Metrics().height);
    bool inked = false;
    for (uint32_t row = 0; row < height; ++row)
        for (uint32_t column = 0; column < 40; ++column)
            if (texels[row * 40 + column] >> 24)
            {
                inked = true;
                EXPECT_GE(row, height - lineHeight) << "ink below the first line at row " << row;
            }
    EXPECT_TRUE(inked);
}

TEST_F(GdiFontTest, SixteenBitDisplayKeepsFiveBitsOfCoverage)
{
    Raster::AdapterInfo adapter = TestAdapter(1);
    adapter.desktop.format = Raster::Format::R5G6B5;
    start({adapter});
    ASSERT_TRUE(gil().Is16Bit());
    GdiFont font(desc);
    const TextRenderParams params(L"Wg", 64, 30, 0, 0, 0);
    EXPECT_EQ(block(font, params), expectedTexels(ink(font, 64, 30, 0, 0, params.text), true));
}

TEST_F(GdiFontTest, MonospaceLineWidth)
{
    // A Windows family that is not installed falls back to a monospace face.
    GdiFont font(TextRenderer::ConsoleFontDesc(14));
    ASSERT_TRUE(font.IsValid());
    EXPECT_TRUE(font.GetSystemFont()->IsFixedPitch());
    int32_t one = 0, height = 0;
    font.MeasureLine(one, height, L"M");
    EXPECT_GT(one, 0);
    EXPECT_EQ(height, font.GetSystemFont()->Metrics().height);
    for (const std::wstring text : {L"iiiiiiii", L"MMMMMMMM", L"Hello, world", L"^FF0000red", L""})
    {
        int32_t width = -1;
        font.MeasureLine(width, height, text);
        EXPECT_EQ(width, one * int32_t(text.size())) << std::string(text.begin(), text.end());
        EXPECT_EQ(height, font.GetSystemFont()->Metrics().height);
    }
}

TEST_F(GdiFontTest, PlacedAsTheBoxFlagsSay)
{
    GdiFont font(desc);
    const std::wstring text = L"Hi";
    int32_t width = 0, lineHeight = 0;
    font.MeasureLine(width, lineHeight, text);
    const uint32_t boxWidth = 120, boxHeight = 3 * uint32_t(lineHeight) + 1;
    const int32_t spareX = int32_t(boxWidth) - width, spareY = int32_t(boxHeight) - lineHeight;
    const struct
    {
        uint32_t format;
        int x;
        int top;
    } cases[] = {
        {eTextFormatLeftTop, 0, 0},
        {eTextFormatCenter, spareX / 2, 0},
        {eTextFormatRight, spareX, 0},
        // Vertical placement is for single-line text only.
        {eTextFormatVCenter, 0, 0},
        {eTextFormatBottom, 0, 0},
        {eTextFormatSingleLine | eTextFormatVCenter, 0, spareY / 2},
        {eTextFormatSingleLine | eTextFormatBottom | eTextFormatRight, spareX, spareY},
        {eTextFormatSingleLine | eTextFormatCenter | eTextFormatVCenter, spareX / 2, spareY / 2},
    };
    for (const auto& c : cases)
    {
        const TextRenderParams params(text, boxWidth, boxHeight, c.format, 0, 0);
        EXPECT_EQ(block(font, params),
                  expectedTexels(ink(font, boxWidth, boxHeight, c.x, c.top, text), false))
            << "format " << c.format;
    }
}

TEST_F(GdiFontTest, LineEndsAndWordBreaks)
{
    GdiFont font(desc);
    int32_t lineHeight = 0, hello = 0, world = 0, helloWorld = 0;
    font.MeasureLine(hello, lineHeight, L"hello");
    font.MeasureLine(world, lineHeight, L"world");
    font.MeasureLine(helloWorld, lineHeight, L"hello world");
    // Even, as blocks of odd width are drawn one column wider.
    const uint32_t narrow = uint32_t(helloWorld - 1) & ~1u;

    // Drawn: the second word starts the second line at the left edge.
    const uint32_t boxHeight = 2 * uint32_t(lineHeight);
    Platform::CoverageBitmap expected{int(narrow), int(boxHeight)};
    font.GetSystemFont()->DrawLine(expected, 0, 0, L"hello");
    font.GetSystemFont()->DrawLine(expected, 0, lineHeight, L"world");
    EXPECT_EQ(block(font, TextRenderParams(L"hello world", narrow, boxHeight, eTextFormatWordBreak, 0, 0)),
              expectedTexels(expected, false));
    // Line ends break without the word-break flag too; CR LF is one break.
    EXPECT_EQ(block(font, TextRenderParams(L"hello\r\nworld", narrow, boxHeight, 0, 0, 0)),
              expectedTexels(expected, false));

    const struct
    {
        std::wstring text;
        uint32_t wrapWidth;
        int32_t width;
        int32_t lines;
    } cases[] = {
        {L"hello world", uint32_t(helloWorld), helloWorld, 1},
        {L"hello world", 1000, helloWorld, 1},
        // Several lines keep the wrap width ...
        {L"hello world", narrow, int32_t(narrow), 2},
        // ... unless a word is wider; a word is never broken.
        {L"hello world", 10, std::max(hello, world), 2},
        {L"hello\nworld", 1000, 1000, 2},
        {L"hello\r\nworld", 1000, 1000, 2},
        {L"hello\r\rworld", 1000, 1000, 3},
        {L"", 100, 0, 1},
    };
    for (const auto& c : cases)
    {
        int32_t width = -1, height = -1;
        font.MeasureWrapped(width, height, c.text, c.wrapWidth);
        EXPECT_EQ(width, c.width) << std::string(c.text.begin(), c.text.end()) << " in " << c.wrapWidth;
        EXPECT_EQ(height, c.lines * lineHeight) << std::string(c.text.begin(), c.text.end());
    }
}

TEST_F(GdiFontTest, OneColumnBlockStaysInItsStorage)
{
    // Width 1 is drawn 2 wide into storage 1 texel wide: the ink's second
    // column must not spill into the next row or past the last one.
    GdiFont font(FontDesc(L"DejaVu Sans", 40, false, false));
    for (const uint32_t height : {1u, 7u, 64u})
    {
        TextTexture out;
        font.RenderText(out, desc, TextRenderParams(L"\u2588\u2588", 1, height, eTextFormatSingleLine, 0, 0));
        ASSERT_TRUE(out.texture);
        uint32_t w = 0, h = 0;
        out.texture->GetTextureSize(&w, &h);
        EXPECT_EQ(w, 1u);
        ASSERT_TRUE(out.texture->IsLoaded());
        if (height == 64)
        {
            // The block's one column is still drawn: full white ink where the glyph is.
            const std::vector<uint32_t> texels = boxTexels(*out.texture, 1, height);
            EXPECT_NE(std::find(texels.begin(), texels.end(), 0xFFFFFFFFu), texels.end());
        }
    }
}

TEST_F(GdiFontTest, StylesAndRefusals)
{
    GdiFont bold(FontDesc(L"DejaVu Sans", 20, true, false));
    GdiFont italic(FontDesc(L"DejaVu Sans", 20, false, true));
    EXPECT_TRUE(bold.GetSystemFont()->IsBold());
    EXPECT_TRUE(italic.GetSystemFont()->IsItalic());
    FontDesc underlined = desc;
    underlined.underline = 1;
    GdiFont under(underlined);
    EXPECT_TRUE(under.GetSystemFont()->Desc().underline);

    // A negative size is the height of the line.
    GdiFont cell(FontDesc(L"DejaVu Sans", -20, false, false));
    ASSERT_TRUE(cell.IsValid());
    EXPECT_LE(cell.GetSystemFont()->Metrics().height, 21);
    EXPECT_LT(cell.GetSystemFont()->Desc().height, 20);

    GdiFont huge(FontDesc(L"DejaVu Sans", 1 << 30, false, false));
    EXPECT_FALSE(huge.IsValid());
    int32_t width = -1, height = -1;
    huge.MeasureLine(width, height, L"x");
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);

    GdiFont font(desc);
    EXPECT_FALSE(font.RenderToTexture(nullptr, TextRenderParams(L"x", 10, 10, 0, 0, 0)));
    TextTexture out;
    font.RenderText(out, desc, TextRenderParams(L"x", 0, 10, 0, 0, 0));
    if (out.texture)
    {
        EXPECT_FALSE(out.texture->IsLoaded());
    }
}

} // namespace
} // namespace GraphicsTest
