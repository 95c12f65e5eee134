// Text instances: lazy rendering of texture texts (a render counter stands in for the text
// renderer), string-table keys, pixel snapping and the world matrix, the vertex colour, the
// measurements and script methods, copying, and bitmap-font texts laid out from an in-memory font.
#include "engine/core/text/StringTable.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/graphics/text/Font.h"
#include "engine/scene/display/text/BitmapTextInstance.h"
#include "engine/scene/display/text/TextureText.h"
#include "tests/graphics/bitmap_font_fixture.h"
#include "tests/scene/display/ImageFixture.h"

#include <algorithm>
#include <cmath>

namespace SceneTest
{
namespace
{

// Measures 7 pixels a character on lines 12 high; wraps at the width given.
class FakeFont final : public Font
{
public:
    bool IsValid() const override { return true; }
    void MeasureLine(int32_t& width, int32_t& height, const std::wstring& text) override
    {
        width = int32_t(text.size()) * 7;
        height = 12;
    }
    void MeasureWrapped(int32_t& width, int32_t& height, const std::wstring& text, uint32_t wrapWidth) override
    {
        const int32_t full = int32_t(text.size()) * 7;
        const int32_t wrap = std::max<int32_t>(int32_t(wrapWidth), 7);
        width = std::min(full, wrap);
        height = 12 * ((full + wrap - 1) / wrap);
    }
    bool RenderToTexture(RefPtr<IResourceTexture>, const TextRenderParams&) override { return true; }
};

// The text renderer's stand-in: counts renders and keeps the requests.
struct Renders
{
    static inline int count = 0;
    static inline bool fail = false;
    static inline std::vector<TextRenderParams> requests;
    static inline FontDesc lastFont;
    static inline FakeFont* font = nullptr;
    static inline MemoryTexture* texture = nullptr;

    static TextTexture Build(const FontDesc& desc, const TextRenderParams& params)
    {
        ++count;
        requests.push_back(params);
        lastFont = desc;
        TextTexture out;
        if (fail)
            return out;
        out.leftU = 0.01f;
        out.topV = 0.5f;
        out.rightU = 0.75f;
        out.bottomV = -0.01f;
        out.texture = texture;
        out.font = font;
        return out;
    }
};

class TextInstance : public ImageFixture
{
protected:
    void SetUp() override
    {
        ImageFixture::SetUp();
        Renders::count = 0;
        Renders::fail = false;
        Renders::requests.clear();
        Renders::font = &font;
        Renders::texture = texture.Get();
        previous = TextureText::SetTextTextureBuilder(&Renders::Build);
    }
    void TearDown() override
    {
        TextureText::SetTextTextureBuilder(previous);
        ImageFixture::TearDown();
    }

    template <class T = TextureText> T* Text(const std::wstring& name, Instance_Movie* parent = nullptr)
    {
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent ? parent : root, L"", name, true, T::StaticClass(), &made);
        return RObjectCast<T>(made);
    }

    // The top-left corner of the one quad drawn.
    SpritePoint TopLeft(Instance_Base& text, const Matrix3& parent = Matrix3())
    {
        const std::vector<RecordedQuad> quads = DrawnQuads(text, 1.0f, parent);
        EXPECT_EQ(quads.size(), 1u);
        SpritePoint at;
        if (!quads.empty())
            quads[0].matrix.TransformPoint(-0.5f, -0.5f, at.x, at.y);
        return at;
    }

    FakeFont font;
    RefPtr<MemoryTexture> texture = new MemoryTexture(64, 16, 64, 16);
    TextureText::TextTextureBuilder previous = nullptr;
};

TEST_F(TextInstance, ATextNodeTakesNoInputAndIsItsBox)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->type, INSTANCE_TEXT);
    EXPECT_FALSE(text->inputEnabled);
    text->SetWidth(120);
    text->SetHeight(30);
    EXPECT_FLOAT_EQ(text->ComputeWidth(false), 120.0f);
    EXPECT_FLOAT_EQ(text->ComputeHeight(false), 30.0f);
    EXPECT_EQ(RClass::FindByName("Instance_Text")->GetFactory()(), nullptr) << "only its kinds are made";
}

TEST_F(TextInstance, TheSameTextTwiceRendersOnce)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    text->SetFont(FontDesc(L"Serif", 14, true, false));
    text->SetWidth(100);
    text->SetHeight(20);
    text->SetText(L"Hi");
    EXPECT_EQ(Renders::count, 0) << "nothing renders before it is needed";
    DrawnQuads(*text);
    text->SetText(L"Hi");
    DrawnQuads(*text);
    EXPECT_EQ(Renders::count, 1);

    // Any number of changes cost one render at the next draw.
    text->SetText(L"Ho");
    text->SetWidth(80);
    text->SetTextFormat(eTextFormatCenter | eTextFormatWordBreak);
    text->SetLineSpacing(1.5);
    text->SetGamma(2.0);
    text->SetColor(0x00FF00);
    DrawnQuads(*text);
    DrawnQuads(*text);
    ASSERT_EQ(Renders::count, 2);
    const TextRenderParams& request = Renders::requests.back();
    EXPECT_EQ(request.text, L"Ho");
    EXPECT_EQ(request.renderWidth, 80u);
    EXPECT_EQ(request.renderHeight, 20u);
    EXPECT_EQ(request.format, uint32_t(eTextFormatCenter | eTextFormatWordBreak));
    EXPECT_DOUBLE_EQ(request.heightMultiplier, 1.5);
    EXPECT_DOUBLE_EQ(request.gamma, 2.0);
    EXPECT_EQ(Renders::lastFont, FontDesc(L"Serif", 14, true, false));

    text->SetColor(0xFF0000);
    DrawnQuads(*text);
    EXPECT_EQ(Renders::count, 2) << "the colour is the vertex colour's, not the texture's";
}

TEST_F(TextInstance, TheQuadShowsTheRenderedRectangleOverTheBox)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    text->SetWidth(100);
    text->SetHeight(20);
    text->SetText(L"Hi");
    text->SetMaterial(2);
    const std::vector<RecordedQuad> quads = DrawnQuads(*text);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].texture, texture.Get());
    EXPECT_EQ(quads[0].material, 2u);
    EXPECT_FLOAT_EQ(quads[0].source.left, 0.01f);
    EXPECT_FLOAT_EQ(quads[0].source.top, 0.5f);
    EXPECT_FLOAT_EQ(quads[0].source.bottom, -0.01f);
    float x = 0, y = 0;
    quads[0].matrix.TransformPoint(0.5f, 0.5f, x, y);
    EXPECT_FLOAT_EQ(x, 100.0f);
    EXPECT_FLOAT_EQ(y, 20.0f);

    Renders::fail = true;
    text->SetText(L"unrenderable");
    EXPECT_TRUE(DrawnQuads(*text).empty()) << "nothing, not the missing-texture square";
    EXPECT_EQ(text->GetTextRenderSize().width, 0) << "no font to ask";
    text->SetVisible(false);
    Renders::fail = false;
    EXPECT_TRUE(DrawnQuads(*text).empty());
}

TEST_F(TextInstance, TextKeysAreResolvedThroughTheStringTable)
{
    XmlDocumentCache documents(
        [](const std::wstring& name, std::vector<uint8_t>& bytes)
        {
            if (name != L"translator_en.xml")
                return false;
            const std::string xml = "<T><R KEY=\"greet\" VALUE=\"Hello there\"/></T>";
            bytes.assign(xml.begin(), xml.end());
            return true;
        });
    StringTable keyed(StringTable::Keyed);
    ASSERT_TRUE(keyed.LoadTranslator(L"en"));
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    const struct
    {
        std::wstring set;
        std::wstring shown;
        std::wstring key;
    } cases[] = {
        {L"|T|", L"|T|", L""}, // the prefix alone is no key
        {L"|T|greet", L"Hello there", L"greet"},
        {L"|T|nothing", L"nothing", L"nothing"}, // what the table gives for a missing key
        {L"plain", L"plain", L"nothing"},        // a plain text keeps the earlier key
    };
    for (const auto& c : cases)
    {
        text->SetText(c.set);
        EXPECT_EQ(text->text, c.shown) << c.set;
        EXPECT_EQ(text->textKey, c.key) << c.set;
    }
}

TEST_F(TextInstance, TextsSnapToWholePixelsUnlessFiltered)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    text->SetWidth(10);
    text->SetHeight(10);
    text->SetText(L"x");
    const struct
    {
        const char* what;
        float scale, rotation;
        bool allow;
        float x, y;
        bool filtered;
    } cases[] = {
        {"scale 1", 1.0f, 0.0f, true, 10.0f, 20.0f, false},
        {"scale 1.5", 1.5f, 0.0f, true, 10.7f, 20.2f, true},
        {"scale 1.5, filtering not allowed", 1.5f, 0.0f, false, 10.0f, 20.0f, false},
        {"a turn below the tolerance", 1.0f, 0.0005f, true, 10.0f, 20.0f, false},
    };
    for (const auto& c : cases)
    {
        text->SetPosition(10.7f, 20.2f);
        text->SetScale(c.scale, c.scale);
        text->SetRotation(c.rotation);
        text->SetAllowFiltering(c.allow);
        const std::vector<RecordedQuad> quads = DrawnQuads(*text);
        ASSERT_EQ(quads.size(), 1u);
        float x = 0, y = 0;
        quads[0].matrix.TransformPoint(-0.5f, -0.5f, x, y);
        EXPECT_NEAR(x, c.x, 1e-3f) << c.what;
        EXPECT_NEAR(y, c.y, 2e-3f) << c.what;
        EXPECT_EQ(quads[0].filtering, c.filtered) << c.what;
    }
}

TEST_F(TextInstance, TheWorldMatrixIsLocalThenParentLikeEveryNode)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    text->SetWidth(10);
    text->SetHeight(10);
    text->SetText(L"x");
    text->SetPosition(10, 0);
    Matrix3 parent;
    parent.SetTranslation(100, 0);
    parent.m[0][0] = parent.m[1][1] = 2.0f; // scaled by 2, then moved by 100
    const SpritePoint at = TopLeft(*text, parent);
    EXPECT_FLOAT_EQ(at.x, 120.0f) << "the position is scaled by the parent";
}

TEST_F(TextInstance, TheVertexColourIsTheColourUnderTheClampedOpacity)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    text->SetWidth(10);
    text->SetHeight(10);
    text->SetText(L"x");
    SetGlobal("txt", text);
    const auto colourAt = [&](float opacity)
    {
        text->SetOpacity(opacity);
        const std::vector<RecordedQuad> quads = DrawnQuads(*text);
        return quads.empty() ? 0u : quads[0].colour;
    };
    EXPECT_EQ(colourAt(0.5f), 0x7FFFFFFFu) << "white, and the opacity applies before any colour is set";
    ASSERT_TRUE(Run("txt:SetColor(255, 0, 0)"));
    EXPECT_EQ(colourAt(0.5f), 0x7FFF0000u);
    EXPECT_EQ(colourAt(2.0f), 0xFFFF0000u);
    EXPECT_EQ(colourAt(-0.5f), 0x00FF0000u);
    text->SetColor(0xFF102030);
    EXPECT_EQ(text->colour, 0x102030u) << "only the low 24 bits are kept";
}

TEST_F(TextInstance, MeasurementsAskTheFontThatRendered)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    text->SetWidth(21);
    text->SetHeight(40);
    text->SetText(L"abcdef");
    EXPECT_EQ(text->GetTextRenderSize().width, 42);
    EXPECT_EQ(text->GetTextRenderSize().height, 12);
    EXPECT_EQ(text->GetTextRenderSizeInBox().width, 21);
    EXPECT_EQ(text->GetTextRenderSizeInBox().height, 24);
    EXPECT_EQ(text->MeasureTextInBox(L"ab").height, 12);
    EXPECT_EQ(Renders::count, 1) << "measuring renders once when needed";
    const TextTexture before = text->GetTextTexture();
    EXPECT_EQ(text->MeasureText(L"another text").width, 84);
    EXPECT_EQ(Renders::count, 1) << "another text leaves the own texture alone";
    EXPECT_EQ(text->GetTextTexture().texture.Get(), before.texture.Get());
}

TEST_F(TextInstance, ScriptMethods)
{
    TextureText* text = Text(L"t");
    ASSERT_NE(text, nullptr);
    SetGlobal("txt", text);
    ASSERT_TRUE(Run("txt:SetText('caf\\195\\169') got = txt:GetText()"
                    "txt:SetWidth(50) txt:SetHeight(7.9)"
                    "txt:SetFont('Sans', 16, false, true)"
                    "w = txt:GetTextRenderWidth() h = txt:GetTextRenderHeight()"
                    "size = txt:GetTextRenderSize('abc') sx, sy = size.x, size.y"));
    EXPECT_EQ(text->text, L"caf\u00E9");
    EXPECT_EQ(Global("got"), "caf\xC3\xA9");
    EXPECT_EQ(text->boxWidth, 50);
    EXPECT_EQ(text->boxHeight, 7);
    EXPECT_EQ(text->font, FontDesc(L"Sans", 16, false, true));
    EXPECT_EQ(Global("w"), "28");
    EXPECT_EQ(Global("h"), "12");
    EXPECT_EQ(Global("sx"), "21");
    EXPECT_EQ(Global("sy"), "12");

    ASSERT_TRUE(Run("txt:SetFont('Serif', 16) txt:SetWidth() txt:SetText(nil)"));
    EXPECT_EQ(text->font.name, L"Sans") << "missing arguments change nothing";
    EXPECT_EQ(text->boxWidth, 50);
    EXPECT_EQ(text->text, L"") << "nil is the empty text";

    text->Delete(false);
    root->DeletePending();
    ASSERT_TRUE(Run("txt:SetText('x') gone = txt:GetText() txt:SetColor(1, 2, 3)"));
    EXPECT_EQ(Global("gone"), "nil");
}

TEST_F(TextInstance, ACopySharesTheRenderedTexture)
{
    TextureText* source = Text(L"a");
    TextureText* copy = Text(L"b");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(copy, nullptr);
    source->SetWidth(30);
    source->SetHeight(10);
    source->SetText(L"|T|key");
    source->SetColor(0x123456);
    source->SetPosition(5, 6);
    DrawnQuads(*source);
    copy->CopyFrom(*source);
    EXPECT_EQ(copy->text, source->text);
    EXPECT_EQ(copy->textKey, L"key");
    EXPECT_EQ(copy->boxWidth, 30);
    EXPECT_EQ(copy->colour, 0x123456u);
    EXPECT_FLOAT_EQ(copy->GetX(), 5.0f);
    EXPECT_EQ(copy->GetTextTexture().texture.Get(), texture.Get());
    DrawnQuads(*copy);
    EXPECT_EQ(Renders::count, 1);
}

class BitmapTextNode : public TextInstance
{
protected:
    void SetUp() override
    {
        TextInstance::SetUp();
        documents = std::make_unique<XmlDocumentCache>(
            [](const std::wstring& name, std::vector<uint8_t>& bytes)
            {
                if (name != L"fonts\\plain.fnt")
                    return false;
                const std::string xml = bitmap_font_fixture::plainFontXml();
                bytes.assign(xml.begin(), xml.end());
                return true;
            });
    }
    void TearDown() override
    {
        TextInstance::TearDown();
        documents.reset();
    }

    std::unique_ptr<XmlDocumentCache> documents;
};

TEST_F(BitmapTextNode, LaysItsTextOutFromTheFontAndDrawsTheGlyphs)
{
    auto* text = Text<BitmapTextInstance>(L"b");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->GetClass(), RClass::FindByName("BitmapText"));
    text->SetWidth(100);
    text->SetHeight(40);
    text->SetFont(FontDesc(L"plain.fnt", 0, false, false));
    text->SetText(L"AB");
    // A then B kern by -2: 10 + 10 - 2 wide.
    EXPECT_EQ(text->GetTextRenderSize().width, 18);
    EXPECT_EQ(text->GetTextRenderSize().height, 20);
    EXPECT_EQ(text->MeasureText(L"ABC").width, 28);
    EXPECT_EQ(text->GetTextRenderSize().width, 18) << "measuring another text keeps the own layout";
    EXPECT_EQ(text->MeasureTextInBox(L"ABC").width, 0) << "no box measurement for bitmap texts";

    text->SetPosition(10.7f, 5.0f);
    text->SetOpacity(0.5f);
    text->SetColor(0x00FF00);
    std::vector<RecordedQuad> quads = DrawnQuads(*text);
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_EQ(quads[0].colour, 0x7F00FF00u);
    EXPECT_FLOAT_EQ(quads[0].points[0].x, 10.0f) << "on whole pixels";
    EXPECT_FLOAT_EQ(quads[1].points[0].x, 18.0f);

    // The box and the flags lay it out again: centred in 100, the line moves by (100 - 8) / 2.
    text->SetTextFormat(eTextFormatCenter);
    quads = DrawnQuads(*text);
    ASSERT_EQ(quads.size(), 2u);
    EXPECT_FLOAT_EQ(quads[0].points[0].x, 56.0f);
    text->SetWidth(50);
    quads = DrawnQuads(*text);
    EXPECT_FLOAT_EQ(quads[0].points[0].x, 31.0f);

    SetGlobal("bt", text);
    ASSERT_TRUE(Run("bt:SetText('ABAB') w = bt:GetTextRenderWidth()"));
    EXPECT_EQ(Global("w"), "36");
}

TEST_F(BitmapTextNode, ACopyTakesTheFontAndLaysOutItsOwnText)
{
    auto* source = Text<BitmapTextInstance>(L"a");
    auto* copy = Text<BitmapTextInstance>(L"b");
    ASSERT_NE(source, nullptr);
    ASSERT_NE(copy, nullptr);
    source->SetFont(FontDesc(L"plain.fnt", 0, false, false));
    source->SetText(L"ABC");
    copy->CopyFrom(*source);
    EXPECT_EQ(copy->GetLayout().GetFont(), source->GetLayout().GetFont());
    EXPECT_EQ(copy->GetTextRenderSize().width, 28);
    EXPECT_EQ(DrawnQuads(*copy).size(), 3u);
}

} // namespace
} // namespace SceneTest
