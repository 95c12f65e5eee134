// Bitmap-font descriptors: what is read and how (bases of integers, texture
// coordinates, later entries replacing earlier ones, optional parts),
// descriptors that are refused or whose bad entries are skipped, page
// textures by slot, and the cache of fonts by name.
#include "tests/graphics/textrender_fixture.h"

#include "tests/graphics/bitmap_font_fixture.h"

namespace GraphicsTest
{
namespace
{

using namespace bitmap_font_fixture;

TEST(BitmapFontData, ReadsTheDescriptor)
{
    const std::string xml = fontXml(
        "<common lineHeight=\"0x18\" base=\"017\" scaleW=\"64\" scaleH=\"32\" pages=\"2\" xadvance=\"1\"/>"
        "<pages><page id=\"0\" file=\"a.png\"/><page id=\"1\" file=\"b.png\"/></pages>" +
        charsElement({{'A', 16, 8, 8, 12, 1, 2, 9, 1},
                      {0x10042, 0, 0, 4, 4, 0, 0, 5, 0}, // the code keeps its low 16 bits: 'B'
                      {'C', 0, 0, 4, 4, 0, 0, 5, 0},
                      {'C', 4, 4, 6, 6, -1, -2, 7, 0}}) +
        "<kernings><kerning first=\"65\" second=\"0x42\" amount=\"-2\"/>"
        "<kerning first=\"65\" second=\"66\" amount=\"-3\"/>"
        "<kerning first=\"0x10043\" second=\"65\" amount=\"4\"/></kernings>");
    RefPtr<BitmapFontData> font = readFont(xml);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->GetLineHeight(), 24);
    EXPECT_EQ(font->GetBase(), 15);
    EXPECT_EQ(font->GetScaleW(), 64u);
    EXPECT_EQ(font->GetScaleH(), 32u);
    EXPECT_EQ(font->GetCommonAdvance(), 1);
    EXPECT_EQ(font->GetPageCount(), 2u);

    const BitmapGlyph* a = font->FindGlyph('A');
    ASSERT_NE(a, nullptr);
    const float uv[8] = {0.25f, 0.25f, 0.375f, 0.25f, 0.375f, 0.625f, 0.25f, 0.625f};
    for (int k = 0; k < 8; ++k)
        EXPECT_FLOAT_EQ(a->uv[k], uv[k]) << k;
    EXPECT_EQ(a->width, 8);
    EXPECT_EQ(a->height, 12);
    EXPECT_EQ(a->xoffset, 1);
    EXPECT_EQ(a->yoffset, 2);
    EXPECT_EQ(a->xadvance, 9);
    EXPECT_EQ(a->page, 1);
    EXPECT_EQ(a->chnl, 15);
    EXPECT_NE(font->FindGlyph('B'), nullptr);
    ASSERT_NE(font->FindGlyph('C'), nullptr);
    EXPECT_EQ(font->FindGlyph('C')->xoffset, -1) << "the later char replaces the earlier";
    EXPECT_EQ(font->FindGlyph('D'), nullptr);

    EXPECT_EQ(font->GetKerning('A', 'B'), -3);
    EXPECT_EQ(font->GetKerning('C', 'A'), 4);
    EXPECT_EQ(font->GetKerning('B', 'A'), 0);
    EXPECT_EQ(font->GetKerningCount(), 2u);

    // Without the optional parts: no common advance, no kerning.
    RefPtr<BitmapFontData> plain =
        readFont(fontXml(kPlainCommon + kPlainPages + charsElement(plainGlyphs())));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->GetCommonAdvance(), 0);
    EXPECT_EQ(plain->GetKerningCount(), 0u);
    EXPECT_EQ(plain->GetKerning('A', 'B'), 0);
}

TEST(BitmapFontData, MalformedDescriptorsAreRefusedOrSkipped)
{
    const std::string chars = charsElement({{'A', 0, 0, 4, 4, 0, 0, 5, 0}, {'B', 4, 0, 4, 4, 0, 0, 5, 0}});
    const std::string common =
        "<common lineHeight=\"10\" base=\"8\" scaleW=\"64\" scaleH=\"64\" pages=\"1\"/>";
    auto commonWith = [](const std::string& attributes)
    { return "<common lineHeight=\"10\" " + attributes + "/>"; };
    const struct
    {
        const char* name;
        std::string xml;
        bool read;     // false: refused
        size_t glyphs; // when read
    } cases[] = {
        {"well formed", fontXml(common + kPlainPages + chars), true, 2},
        {"no common", fontXml(kPlainPages + chars), false, 0},
        {"no pages", fontXml(common + chars), false, 0},
        {"no chars", fontXml(common + kPlainPages), false, 0},
        {"zero pages", fontXml(commonWith("scaleW=\"64\" scaleH=\"64\" pages=\"0\"") + kPlainPages + chars),
         false, 0},
        {"negative pages",
         fontXml(commonWith("scaleW=\"64\" scaleH=\"64\" pages=\"-1\"") + kPlainPages + chars), false, 0},
        {"pages absent", fontXml(commonWith("scaleW=\"64\" scaleH=\"64\"") + kPlainPages + chars), false, 0},
        {"too many pages",
         fontXml(commonWith("scaleW=\"64\" scaleH=\"64\" pages=\"100000\"") + kPlainPages + chars), false, 0},
        {"zero scaleW", fontXml(commonWith("scaleW=\"0\" scaleH=\"64\" pages=\"1\"") + kPlainPages + chars),
         false, 0},
        {"zero scaleH", fontXml(commonWith("scaleW=\"64\" scaleH=\"0\" pages=\"1\"") + kPlainPages + chars),
         false, 0},
        {"scaleW absent", fontXml(commonWith("scaleH=\"64\" pages=\"1\"") + kPlainPages + chars), false, 0},
        {"negative scaleW",
         fontXml(commonWith("scaleW=\"-64\" scaleH=\"64\" pages=\"1\"") + kPlainPages + chars), false, 0},
        {"huge line height",
         fontXml("<common lineHeight=\"99999999\" scaleW=\"64\" scaleH=\"64\" pages=\"1\"/>" + kPlainPages +
                 chars),
         false, 0},
        {"page slots out of range",
         fontXml(common +
                 "<pages><page id=\"1\" file=\"x.png\"/><page id=\"-1\" file=\"y.png\"/><page file=\"z\"/>"
                 "<page id=\"0\"/></pages>" +
                 chars),
         true, 2},
        {"glyph on a page that is not there",
         fontXml(common + kPlainPages +
                 charsElement({{'A', 0, 0, 4, 4, 0, 0, 5, 1},
                               {'B', 0, 0, 4, 4, 0, 0, 5, -1},
                               {'C', 0, 0, 4, 4, 0, 0, 5, 0}})),
         true, 1},
        {"glyph without id",
         fontXml(common + kPlainPages + "<chars><char x=\"0\" y=\"0\" width=\"4\"/></chars>"), true, 0},
        {"glyph with a negative size",
         fontXml(common + kPlainPages +
                 charsElement({{'A', 0, 0, -4, 4, 0, 0, 5, 0}, {'B', 0, 0, 4, -1, 0, 0, 5, 0}})),
         true, 0},
        {"glyph with huge numbers",
         fontXml(common + kPlainPages +
                 charsElement({{'A', 0, 0, 4, 4, 0, 0, 2000000000, 0},
                               {'B', 0, 0, 4, 4, -2000000000, 0, 5, 0},
                               {'C', 0, 0, 4, 4, 0, 2000000000, 5, 0},
                               {'D', 0, 0, 4, 4, 0, 0, 5, 0}})),
         true, 1},
        // Words are no numbers and read as 0; a place beyond any texture is refused.
        {"glyph at places that are words or out of range",
         fontXml(common + kPlainPages +
                 "<chars><char id=\"65\" x=\"nan\" y=\"0\" width=\"4\" height=\"4\"/>"
                 "<char id=\"66\" x=\"0\" y=\"inf\" width=\"4\" height=\"4\"/>"
                 "<char id=\"67\" x=\"1e300\" y=\"0\" width=\"4\" height=\"4\"/>"
                 "<char id=\"68\" x=\"1.5\" y=\"2.25\" width=\"4\" height=\"4\"/></chars>"),
         true, 3},
    };
    for (const auto& c : cases)
    {
        RefPtr<BitmapFontData> font = readFont(c.xml, L"broken.fnt");
        EXPECT_EQ(bool(font), c.read) << c.name;
        if (font)
        {
            EXPECT_EQ(font->GetGlyphCount(), c.glyphs) << c.name;
            EXPECT_EQ(font->GetPageCount(), 1u) << c.name;
        }
        font.Release();
        EXPECT_EQ(BitmapFontCache::Find(L"broken.fnt"), nullptr) << c.name;
    }

    // Kerning pairs without both characters or with an amount out of range.
    RefPtr<BitmapFontData> font = readFont(
        fontXml(common + kPlainPages + chars +
                "<kernings><kerning first=\"65\" amount=\"-2\"/><kerning second=\"65\" amount=\"-2\"/>"
                "<kerning first=\"65\" second=\"66\" amount=\"-70000\"/>"
                "<kerning first=\"66\" second=\"65\" amount=\"-1\"/></kernings>"));
    ASSERT_TRUE(font);
    EXPECT_EQ(font->GetKerningCount(), 1u);
    EXPECT_EQ(font->GetKerning('B', 'A'), -1);
}

TEST(BitmapFontData, CacheByName)
{
    EXPECT_EQ(BitmapFontCache::GetCount(), 0u);
    RefPtr<BitmapFontData> first(new BitmapFontData(L"one.fnt"));
    EXPECT_EQ(BitmapFontCache::Find(L"one.fnt"), first.Get());
    EXPECT_EQ(BitmapFontCache::Find(L"ONE.fnt"), nullptr);
    RefPtr<BitmapFontData> second(new BitmapFontData(L"one.fnt"));
    EXPECT_EQ(BitmapFontCache::Find(L"one.fnt"), second.Get()) << "a later font replaces the entry";
    first.Release();
    EXPECT_EQ(BitmapFontCache::Find(L"one.fnt"), second.Get()) << "a font removes only its own entry";
    second.Release();
    EXPECT_EQ(BitmapFontCache::Find(L"one.fnt"), nullptr);
    EXPECT_EQ(BitmapFontCache::GetCount(), 0u);
}

class BitmapFontPagesTest : public TextRenderFixture
{
};

TEST_F(BitmapFontPagesTest, PageTexturesBySlot)
{
    RefPtr<BitmapFontData> font =
        readFont(fontXml("<common lineHeight=\"10\" scaleW=\"64\" scaleH=\"64\" pages=\"3\"/>"
                         "<pages><page id=\"2\" file=\"two.png\"/><page id=\"0\" file=\"zero.png\"/>"
                         "<page id=\"3\" file=\"three.png\"/></pages>" +
                         charsElement({{'A', 0, 0, 4, 4, 0, 0, 5, 2}})));
    ASSERT_TRUE(font);
    ASSERT_NE(font->GetPage(0), nullptr);
    EXPECT_EQ(font->GetPage(0)->GetName(), L"fonts\\zero.png");
    EXPECT_EQ(font->GetPage(1), nullptr) << "no page element for the slot";
    ASSERT_NE(font->GetPage(2), nullptr);
    EXPECT_EQ(font->GetPage(2)->GetName(), L"fonts\\two.png");
    for (const int32_t slot : {-1, 3, INT32_MAX})
        EXPECT_EQ(font->GetPage(slot), nullptr) << slot;

    WeakPtr<IResourceTexture> page(font->GetPage(0));
    font.Release();
    EXPECT_FALSE(page.IsAlive()) << "the font held the last reference";
}

} // namespace
} // namespace GraphicsTest
