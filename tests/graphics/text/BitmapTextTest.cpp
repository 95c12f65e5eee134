// Bitmap text: layout (kerning, skipped characters, line ends, word wrap,
// alignment, measured bounds), the cases the layout guards (breaks of earlier
// lines, overlong words, empty first lines, no glyphs, no font), fonts taken
// by name and shared, the text operations, and drawing: batches per page,
// the canvas passes around the glyphs, and a reference frame.
#include "tests/graphics/textrender_fixture.h"

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/graphics/text/BitmapText.h"
#include "engine/graphics/textures/FileTextureRecreater.h"
#include "tests/graphics/bitmap_font_fixture.h"

#include <map>

namespace GraphicsTest
{
namespace
{

using namespace bitmap_font_fixture;

struct Corner
{
    float x, y;
    bool operator==(const Corner&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Corner& c)
{
    return out << "(" << c.x << ", " << c.y << ")";
}

std::vector<Corner> topLefts(const std::vector<GlyphQuad>& quads)
{
    std::vector<Corner> out;
    for (const GlyphQuad& q : quads)
        out.push_back({q.corners[0].x, q.corners[0].y});
    return out;
}

std::vector<Corner> run(float x, float y, int count, float step = 10.0f)
{
    std::vector<Corner> out;
    for (int i = 0; i < count; ++i)
        out.push_back({x + step * float(i), y});
    return out;
}

std::vector<Corner> join(std::initializer_list<std::vector<Corner>> parts)
{
    std::vector<Corner> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

class BitmapTextLayout : public ::testing::Test
{
protected:
    RefPtr<BitmapFontData> font = readFont(plainFontXml());
};

TEST_F(BitmapTextLayout, PlacesGlyphs)
{
    ASSERT_TRUE(font);
    const uint32_t wrap = eTextFormatWordBreak;
    const struct
    {
        const char* name;
        std::wstring text;
        uint32_t width;
        int32_t height;
        uint32_t format;
        std::vector<Corner> corners;
    } cases[] = {
        {"plain", L"BA", 0, 0, 0, {{0, 0}, {10, 0}}},
        {"kerning", L"AB", 0, 0, 0, {{0, 0}, {8, 0}}},
        {"skipped unit still kerns", L"#AB", 0, 0, 0, {{-3, 0}, {5, 0}}},
        {"CR LF breaks twice", L"a\r\nb", 0, 0, 0, {{0, 0}, {0, 48}}},
        {"offsets", L"qA", 0, 0, 0, {{3, 0}, {10, 0}}},
        {"wrap", L"hello world", 100, 0, wrap, join({run(0, 0, 6), run(0, 24, 5)})},
        {"no wrap without the flag", L"hello world", 100, 0, 0, run(0, 0, 11)},
        // Each line moves by where its last glyph was placed; the space at the
        // break travels with the second line.
        {"wrap centred", L"hello world", 100, 0, wrap | eTextFormatCenter,
         join({run(30, 0, 5), {{80, 0}}, run(30, 24, 5)})},
        {"centre", L"A", 200, 0, eTextFormatCenter, {{100, 0}}},
        {"centre rounds toward zero", L"AB", 203, 0, eTextFormatCenter, {{97, 0}, {105, 0}}},
        {"right", L"AB", 200, 0, eTextFormatRight, {{192, 0}, {200, 0}}},
        {"centre wins over right", L"A", 200, 0, eTextFormatCenter | eTextFormatRight, {{100, 0}}},
        {"lines aligned apart", L"A\nAAA", 100, 0, eTextFormatRight, join({{{100, 0}}, run(80, 24, 3)})},
        {"bottom", L"A", 0, 100, eTextFormatBottom, {{0, 80}}},
        {"vertical centre", L"A\nA", 0, 100, eTextFormatVCenter, {{0, 28}, {0, 52}}},
        {"box smaller than the text", L"A\nA", 0, 10, eTextFormatBottom, {{0, -34}, {0, -10}}},
    };
    for (const auto& c : cases)
    {
        std::vector<GlyphQuad> quads;
        MeasuredSize size;
        BitmapText::Layout(c.text, font.Get(), c.width, c.height, c.format, quads, size);
        EXPECT_EQ(topLefts(quads), c.corners) << c.name;
        for (const GlyphQuad& q : quads)
        {
            EXPECT_EQ(q.corners[2].x - q.corners[0].x, float(q.glyph->width)) << c.name;
            EXPECT_EQ(q.corners[2].y - q.corners[0].y, float(q.glyph->height)) << c.name;
            EXPECT_EQ(q.corners[1].x, q.corners[2].x) << c.name;
            EXPECT_EQ(q.corners[3].y, q.corners[2].y) << c.name;
        }
    }
}

TEST_F(BitmapTextLayout, MeasuresTheInk)
{
    const struct
    {
        std::wstring text;
        uint32_t format;
        int32_t width, height;
    } cases[] = {
        {L"AB", 0, 18, 20},
        {L"a\nbb", 0, 20, 44},
        // Bounds start at 1: glyphs right of x 1 on every line measure from 1.
        {L"qq", 0, 22, 20},
        // Alignment comes after measuring.
        {L"AB", eTextFormatCenter | eTextFormatBottom, 18, 20},
        // Nothing placed measures nothing.
        {L"", 0, 0, 0},
        {L"###", 0, 0, 0},
        {L"\n\n", 0, 0, 0},
    };
    for (const auto& c : cases)
    {
        std::vector<GlyphQuad> quads;
        MeasuredSize size{-7, -7};
        BitmapText::Layout(c.text, font.Get(), 300, 300, c.format, quads, size);
        EXPECT_EQ(size.width, c.width) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(size.height, c.height) << std::string(c.text.begin(), c.text.end());
    }
}

TEST_F(BitmapTextLayout, GuardedCases)
{
    const uint32_t wrap = eTextFormatWordBreak;
    const struct
    {
        const char* name;
        std::wstring text;
        uint32_t width;
        uint32_t format;
        std::vector<Corner> corners;
    } cases[] = {
        // A space of an earlier line is no place to wrap a later one: the
        // first line stays where it is.
        {"break of an earlier line", L"ab cd\nefghijk", 60, wrap, join({run(0, 0, 5), run(0, 24, 7)})},
        // A word wider than the box moves down once and then runs on.
        {"overlong word", L"a bcdefghi", 50, wrap, join({run(0, 0, 2), run(0, 24, 8)})},
        {"two overlong words", L"abcdefg hijklmn", 50, wrap, join({run(0, 0, 8), run(0, 24, 7)})},
        // Lines after an empty first line are aligned too.
        {"empty first line", L"\nA", 200, eTextFormatCenter, {{100, 24}}},
        {"empty middle line", L"A\n\nA", 200, eTextFormatRight, {{200, 0}, {200, 48}}},
    };
    for (const auto& c : cases)
    {
        std::vector<GlyphQuad> quads;
        MeasuredSize size;
        BitmapText::Layout(c.text, font.Get(), c.width, 0, c.format, quads, size);
        EXPECT_EQ(topLefts(quads), c.corners) << c.name;
    }

    std::vector<GlyphQuad> quads(3);
    MeasuredSize size{5, 5};
    BitmapText::Layout(L"AB", nullptr, 100, 100, eTextFormatCenter, quads, size);
    EXPECT_TRUE(quads.empty());
    EXPECT_EQ(size.width, 0);
    EXPECT_EQ(size.height, 0);

    // Characters beyond 16 bits are two units, neither of which has a glyph.
    BitmapText::Layout(L"\U0001F600A", font.Get(), 0, 0, 0, quads, size);
    EXPECT_EQ(topLefts(quads), (std::vector<Corner>{{0, 0}}));
}

// A small two-page font served through an XML document cache, with page
// pictures made in code: each glyph a framed pattern of its own.
constexpr uint32_t kPageSide = 64;
const std::wstring kTinyLetters = L"ABHWdelorw!";

Glyph tinyGlyph(size_t index)
{
    const wchar_t c = kTinyLetters[index];
    const bool wide = c == L'W' || c == L'w';
    const int page = c == L'!' ? 1 : 0;
    return {unsigned(c), int(index % 8) * 8, int(index / 8) * 10, wide ? 7 : 6, 8,
            0,           c == L'l' ? 0 : 1,  wide ? 8 : 7,        page};
}

std::string tinyFontXml()
{
    std::vector<Glyph> glyphs;
    for (size_t i = 0; i < kTinyLetters.size(); ++i)
        glyphs.push_back(tinyGlyph(i));
    glyphs.push_back({32u, 0, 0, 0, 0, 0, 0, 4, 0});
    return fontXml(
        "<common lineHeight=\"11\" base=\"9\" scaleW=\"64\" scaleH=\"64\" pages=\"2\" xadvance=\"1\"/>"
        "<pages><page id=\"0\" file=\"tiny_0.png\"/><page id=\"1\" file=\"tiny_1.png\"/></pages>" +
        charsElement(glyphs) + kerningsElement({{'W', 'o', -2}, {'A', 'B', -1}}));
}

uint32_t tinyTexel(bool secondPage, uint32_t x, uint32_t y)
{
    for (size_t i = 0; i < kTinyLetters.size(); ++i)
    {
        const Glyph g = tinyGlyph(i);
        if ((g.page == 1) != secondPage)
            continue;
        const int gx = int(x) - g.x, gy = int(y) - g.y;
        if (gx < 0 || gy < 0 || gx >= g.width || gy >= g.height)
            continue;
        const bool frame = gx == 0 || gy == 0 || gx == g.width - 1 || gy == g.height - 1;
        const uint32_t bits = g.code * 2654435761u;
        const bool on = frame || ((bits >> (gx + gy * 3)) & 1);
        const uint32_t ink = secondPage ? 0x00FFC040 : 0x00FFFFFF;
        return on ? 0xFF000000 | ink : 0x40000000 | ink;
    }
    return 0;
}

// Writes a page as a PNG file into the "fonts" folder, where the texture
// loaders find it.
bool writePage(const std::filesystem::path& path, bool secondPage)
{
    Picture page{kPageSide, kPageSide, {}};
    for (uint32_t y = 0; y < kPageSide; ++y)
        for (uint32_t x = 0; x < kPageSide; ++x)
            page.pixels.push_back(tinyTexel(secondPage, x, y));
    return RasterTest::WritePng(path.string(), page);
}

class BitmapTextTest : public TextRenderFixture
{
protected:
    void SetUp() override
    {
        documents["fonts\\tiny.fnt"] = tinyFontXml();
        documents["fonts\\plain.fnt"] = plainFontXml();
        documents["fonts\\broken.fnt"] = fontXml(kPlainPages + charsElement(plainGlyphs()));
        xml = std::make_unique<XmlDocumentCache>(
            [this](const std::wstring& name, std::vector<uint8_t>& bytes)
            {
                ++reads[std::string(name.begin(), name.end())];
                auto found = documents.find(std::string(name.begin(), name.end()));
                if (found == documents.end())
                    return false;
                bytes.assign(found->second.begin(), found->second.end());
                return true;
            });
        SetFileTextureRecreater(&pages);
        TextRenderFixture::SetUp();
        ASSERT_TRUE(writePage(root / "fonts" / "tiny_0.png", false));
        ASSERT_TRUE(writePage(root / "fonts" / "tiny_1.png", true));
    }

    void TearDown() override
    {
        TextRenderFixture::TearDown();
        SetFileTextureRecreater(nullptr);
        xml.reset();
        EXPECT_EQ(BitmapFontCache::GetCount(), 0u);
    }

    DirectXDevice& dx() { return dynamic_cast<DirectXDevice&>(gil()); }

    bool beginFrame()
    {
        if (!gil().BeginFrame())
            return false;
        renderer->SetInFrame(true);
        return true;
    }

    void endFrame()
    {
        renderer->Flush();
        gil().EndFrame();
        renderer->Present();
        renderer->SetInFrame(false);
    }

    Picture shownFrame()
    {
        auto& presenter = dynamic_cast<Raster::NullPresenter&>(dx().GetRasterDevice()->Presenter());
        return {presenter.Width(), presenter.Height(), presenter.LastFrame()};
    }

    std::map<std::string, std::string> documents;
    std::map<std::string, int> reads;
    std::unique_ptr<XmlDocumentCache> xml;
    FileTextureRecreater pages;
};

TEST_F(BitmapTextTest, FontsAreTakenByNameAndShared)
{
    auto first = std::make_unique<BitmapText>();
    auto second = std::make_unique<BitmapText>();
    EXPECT_TRUE(first->LoadFont(L"plain.fnt"));
    EXPECT_TRUE(second->LoadFont(L"plain.fnt"));
    ASSERT_NE(first->GetFont(), nullptr);
    EXPECT_EQ(first->GetFont(), second->GetFont());
    EXPECT_EQ(BitmapFontCache::GetCount(), 1u);
    EXPECT_NE(first->GetFont()->GetPage(0), nullptr);

    // Missing and refused descriptors leave the font in use.
    BitmapFontData* plain = first->GetFont();
    EXPECT_FALSE(first->LoadFont(L"missing.fnt"));
    EXPECT_FALSE(first->LoadFont(L"broken.fnt"));
    EXPECT_EQ(first->GetFont(), plain);
    EXPECT_EQ(BitmapFontCache::Find(L"broken.fnt"), nullptr);

    first.reset();
    EXPECT_EQ(BitmapFontCache::Find(L"plain.fnt"), plain);
    second.reset();
    EXPECT_EQ(BitmapFontCache::GetCount(), 0u);

    // Read again on the next use.
    BitmapText again;
    EXPECT_TRUE(again.LoadFont(L"plain.fnt"));
    EXPECT_NE(again.GetFont(), nullptr);
    EXPECT_EQ(BitmapFontCache::GetCount(), 1u);
    EXPECT_EQ(reads["fonts\\plain.fnt"], 1) << "the document itself stays in the XML cache";
}

TEST_F(BitmapTextTest, TextOperations)
{
    BitmapText text;
    text.SetBox(100, 50);
    text.SetFormat(eTextFormatWordBreak);
    // No font yet: nothing is laid out.
    text.SetText(L"hello world");
    EXPECT_TRUE(text.GetQuads().empty());
    EXPECT_EQ(text.GetRenderSize().width, 0);

    text.SetFont(FontDesc(L"plain.fnt", 99, true, true));
    EXPECT_EQ(text.GetFontDesc().name, L"plain.fnt");
    ASSERT_EQ(text.GetQuads().size(), 11u);
    EXPECT_EQ(text.GetQuads()[6].corners[0].y, 24.0f);
    // The moved word is measured where it now stands.
    EXPECT_EQ(text.GetRenderSize().width, 50);
    EXPECT_EQ(text.GetRenderSize().height, 44);

    const MeasuredSize measured = text.MeasureText(L"AB");
    EXPECT_EQ(measured.width, 18);
    EXPECT_EQ(measured.height, 20);
    EXPECT_EQ(text.GetQuads().size(), 11u) << "measuring leaves the layout alone";

    // Box and flags take effect at the next layout.
    text.SetFormat(eTextFormatRight);
    EXPECT_EQ(text.GetQuads()[6].corners[0].y, 24.0f);
    text.SetText(L"A");
    ASSERT_EQ(text.GetQuads().size(), 1u);
    EXPECT_EQ(text.GetQuads()[0].corners[0].x, 100.0f);

    BitmapText copy;
    copy.CopyFrom(text);
    EXPECT_EQ(copy.GetFont(), text.GetFont());
    EXPECT_EQ(copy.GetText(), L"A");
    EXPECT_EQ(copy.GetBoxWidth(), 100u);
    EXPECT_EQ(copy.GetBoxHeight(), 50);
    EXPECT_EQ(copy.GetFormat(), uint32_t(eTextFormatRight));
    EXPECT_EQ(topLefts(copy.GetQuads()), topLefts(text.GetQuads()));

    // Another font: the old layout is not kept against the new glyphs.
    EXPECT_TRUE(copy.LoadFont(L"tiny.fnt"));
    EXPECT_TRUE(copy.GetQuads().empty());
    copy.SetText(L"AB");
    EXPECT_EQ(copy.GetQuads().size(), 2u);
}

TEST_F(BitmapTextTest, DrawQueuesGlyphsBetweenTheCanvasPasses)
{
    BitmapText text;
    text.SetFont(FontDesc(L"tiny.fnt", 0, false, false));
    text.SetText(L"AB!");
    std::vector<std::pair<uint32_t, size_t>> passes;
    Matrix3 seen;
    text.Instance().renderCanvasPass = [&](uint32_t pass, const Matrix3& world)
    {
        passes.push_back({pass, renderer->GetQueuedVertexCount()});
        seen = world;
    };
    text.Instance().local.SetTranslation(10.75f, 20.5f);
    Matrix3 parent;
    parent.SetTranslation(0.5f, 0.0f);

    ASSERT_TRUE(beginFrame());
    text.Draw(parent, 1.0f);
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0], std::make_pair(0u, size_t(0)));
    EXPECT_EQ(passes[1], std::make_pair(1u, size_t(12)));
    // Not filtered: the translation is cut to whole pixels.
    EXPECT_EQ(seen.m[2][0], 11.0f);
    EXPECT_EQ(seen.m[2][1], 20.0f);
    // One batch per page in glyph order.
    const std::vector<SpriteBatch>& batches = renderer->GetBatches();
    ASSERT_EQ(batches.size(), 2u);
    EXPECT_EQ(batches[0].texture.Get(), text.GetFont()->GetPage(0));
    EXPECT_EQ(batches[0].triangles, 4u);
    EXPECT_EQ(batches[1].texture.Get(), text.GetFont()->GetPage(1));
    EXPECT_EQ(batches[1].triangles, 2u);
    EXPECT_FALSE(batches[0].filtering);
    renderer->Flush();

    text.Instance().visible = false;
    text.Draw(parent, 1.0f);
    EXPECT_EQ(renderer->GetQueuedVertexCount(), 0u);
    EXPECT_EQ(passes.size(), 2u);
    endFrame();
}

TEST_F(BitmapTextTest, FrameMatchesItsReference)
{
    dx().SetClearParams(true, 0xFF203040);
    // Two lines wrapped and centred in a box, tinted.
    BitmapText title;
    title.SetBox(150, 30);
    title.SetFormat(eTextFormatWordBreak | eTextFormatCenter);
    title.SetFont(FontDesc(L"tiny.fnt", 0, false, false));
    title.SetText(L"Hello World! AB Wow, dear reader");
    title.Instance().colour = 0x00FFE080;
    title.Instance().local.SetTranslation(5.6f, 6.2f);

    // Bottom-right in its box, half transparent, on two lines.
    BitmapText corner;
    corner.CopyFrom(title);
    corner.SetBox(150, 110);
    corner.SetFormat(eTextFormatRight | eTextFormatBottom);
    corner.SetText(L"lower\nWorld");
    corner.Instance().opacity = 0.5f;

    // Turned and scaled, filtered.
    BitmapText turned;
    turned.CopyFrom(title);
    turned.SetFormat(0);
    turned.SetText(L"Wow!");
    Matrix3 scale, turn, move;
    scale.m[0][0] = scale.m[1][1] = 2.0f;
    turn.SetRotation(0.3f);
    move.SetTranslation(30.0f, 50.0f);
    turned.Instance().local = Matrix3::Multiply(Matrix3::Multiply(scale, turn), move);

    ASSERT_TRUE(beginFrame());
    title.Draw(Matrix3(), 1.0f);
    corner.Draw(Matrix3(), 0.8f);
    turned.Draw(Matrix3(), 1.0f);
    endFrame();
    EXPECT_EQ(RasterTest::CompareWithReferenceIn("textrender", "PELLWOOD_WRITE_TEXTRENDER_REFERENCES",
                                                 "bitmap_text", shownFrame()),
              "");
}

} // namespace
} // namespace GraphicsTest
