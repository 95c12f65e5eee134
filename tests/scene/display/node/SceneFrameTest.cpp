// A reference frame of the display leaves on the software device, compared exactly with
// tests/data/scene/leaves.png (PELLWOOD_WRITE_SCENE_REFERENCES=1 writes it anew): images made by
// their definitions (whole, tinted and turned, trimmed from an atlas), a nine-slice frame, a water
// ripple at a fixed clock, and texts in an outline font and a bitmap font.
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/scene/classes/EngineRegistrations.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/display/geometry/UVWaterWaveDistortionHandler.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/display/image/SliceScalers.h"
#include "engine/scene/display/text/BitmapTextInstance.h"
#include "engine/scene/display/text/TextureText.h"
#include "tests/graphics/bitmap_font_fixture.h"
#include "tests/graphics/textrender_fixture.h"

#include <fstream>

namespace SceneTest
{
namespace
{

using namespace TarnEngine;
using RasterTest::Picture;

Picture makePicture(uint32_t width, uint32_t height, uint32_t (*texel)(uint32_t, uint32_t))
{
    Picture picture{width, height, {}};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            picture.pixels.push_back(texel(x, y));
    return picture;
}

// A disc fading out towards its rim, on transparent ground.
uint32_t ballTexel(uint32_t x, uint32_t y)
{
    const int dx = int(x) - 12, dy = int(y) - 12;
    const int d2 = dx * dx + dy * dy;
    if (d2 > 144)
        return 0;
    const uint32_t alpha = 255 - uint32_t(d2);
    return alpha << 24 | uint32_t(40 + 8 * x) << 16 | uint32_t(200 - 6 * y) << 8 | 0x60;
}

// A frame picture cut in thirds: dark borders with a light inner line, a plain middle.
uint32_t frameTexel(uint32_t x, uint32_t y)
{
    const bool border = x < 10 || x >= 20 || y < 10 || y >= 20;
    const bool line = x == 7 || x == 22 || y == 7 || y == 22;
    if (!border)
        return 0xFF808890;
    return line ? 0xFFF0E0A0 : 0xFF203060;
}

uint32_t waterTexel(uint32_t x, uint32_t y)
{
    return ((x / 4 + y / 4) % 2) ? 0xFF3080C0 : 0xFFC0E0F0;
}

// An atlas whose right half holds a 10 x 10 picture with a bright corner.
uint32_t sheetTexel(uint32_t x, uint32_t y)
{
    if (x < 16 || x >= 26 || y >= 10)
        return 0xFFFF00FF; // never shown
    return (x - 16 < 3 && y < 3) ? 0xFFFFFFFF : 0xFF40A040;
}

// The plain bitmap font's page: every glyph a framed cell with a diagonal.
Picture fontPage()
{
    Picture page{256, 256, std::vector<uint32_t>(256 * 256, 0u)};
    for (const bitmap_font_fixture::Glyph& g : bitmap_font_fixture::plainGlyphs())
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
            {
                const bool on = x == 0 || y == 0 || x == g.width - 1 || y == g.height - 1 || x == y / 2;
                page.pixels[size_t(g.y + y) * 256 + size_t(g.x + x)] = on ? 0xFFFFFFFF : 0x40FFFFFF;
            }
    return page;
}

class SceneFrame : public GraphicsTest::TextRenderFixture
{
protected:
    void SetUp() override
    {
        TextRenderFixture::SetUp();
        RegisterEngineStatics();
        ASSERT_TRUE(RasterTest::WritePng((root / "ball.png").string(), makePicture(24, 24, &ballTexel)));
        ASSERT_TRUE(RasterTest::WritePng((root / "frame.png").string(), makePicture(30, 30, &frameTexel)));
        ASSERT_TRUE(RasterTest::WritePng((root / "water.png").string(), makePicture(32, 32, &waterTexel)));
        ASSERT_TRUE(RasterTest::WritePng((root / "sheet.png").string(), makePicture(32, 16, &sheetTexel)));
        ASSERT_TRUE(RasterTest::WritePng((root / "fonts" / "plain_0.png").string(), fontPage()));
        std::ofstream((root / "fonts" / "plain.fnt").string()) << bitmap_font_fixture::plainFontXml();
        documents = std::make_unique<XmlDocumentCache>();
        const std::string definitions =
            "<D><Definition type=\"image\" name=\"ball\" src=\"ball.png\"/>"
            "<Definition type=\"image\" name=\"frame\" src=\"frame.png\"/>"
            "<Definition type=\"image\" name=\"water\" src=\"water.png\"/>"
            "<Definition type=\"image\" name=\"trimmed\" src=\"sheet.png\" bi=\"20 20 10 10 16 0 5 5\"/></D>";
        std::unique_ptr<XmlNode> document =
            ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(definitions.data()), definitions.size(), false);
        ASSERT_NE(document, nullptr);
        uint32_t added = 0, appended = 0;
        ASSERT_TRUE(LoadDefinitionFile(*document, map, added, appended));
        clock.GetClock(0).now = 1000;
    }

    void TearDown() override
    {
        map.RemoveDefinitions(L"ball");
        map.RemoveDefinitions(L"frame");
        map.RemoveDefinitions(L"water");
        map.RemoveDefinitions(L"trimmed");
        documents.reset();
        TextRenderFixture::TearDown();
    }

    std::unique_ptr<Instance_Image> image(const std::wstring& definition, float x, float y)
    {
        Definition_Base* found = map.FindDefinition(definition);
        Instance_Base* made = found ? found->CreateInstance(definition, nullptr) : nullptr;
        std::unique_ptr<Instance_Image> out(RObjectCast<Instance_Image>(made));
        if (out)
            out->SetPosition(x, y);
        return out;
    }

    template <class T> std::unique_ptr<T> text(const FontDesc& font, const std::wstring& shown, int32_t width,
                                               int32_t height, uint32_t format, uint32_t colour, float x, float y)
    {
        auto out = std::make_unique<T>();
        out->Initialize(shown);
        out->SetWidth(width);
        out->SetHeight(height);
        out->SetFont(font);
        out->SetTextFormat(format);
        out->SetText(shown);
        out->SetColor(colour);
        out->SetPosition(x, y);
        return out;
    }

    DirectXDevice& dx() { return dynamic_cast<DirectXDevice&>(gil()); }

    std::unique_ptr<XmlDocumentCache> documents;
    DefinitionMap map;
    TimeManager clock;
};

TEST_F(SceneFrame, LeavesMatchTheirReference)
{
    dx().SetClearParams(true, 0xFF203040);

    auto ball = image(L"ball", 4, 4);
    auto turned = image(L"ball", 46, 4);
    auto trimmed = image(L"trimmed", 70, 4);
    ASSERT_TRUE(ball && turned && trimmed);
    turned->SetRegistrationPoint(12, 12);
    turned->SetPosition(46, 16);
    turned->SetRotation(0.6f);
    turned->SetScale(1.25f, 1.0f);
    turned->SetColor(0xFF8040);
    turned->SetOpacity(0.7f);
    ASSERT_EQ(trimmed->width, 20u);

    // Nine-slice: the borders keep their 10 pixels while the frame is 60 x 45.
    auto frame = image(L"frame", 96, 4);
    ASSERT_TRUE(frame);
    frame->SetScale(2.0f, 1.5f);
    frame->CreateDistortionMesh(4, 4)->SetHandler(std::make_unique<R9SliceScaler>(*frame));

    // A ripple held at its edges, at a fixed time.
    auto water = image(L"water", 6, 44);
    ASSERT_TRUE(water);
    water->SetScale(1.5f, 1.5f);
    UVWaterWaveDistortionHandler::Params ripple;
    ripple.columns = ripple.rows = 8;
    ripple.amplitudeX = ripple.amplitudeY = 0.03f;
    ripple.fixMode = 15;
    water->CreateDistortionMesh(8, 8)->SetHandler(std::make_unique<UVWaterWaveDistortionHandler>(ripple));

    const FontDesc sans(L"DejaVu Sans", 14, false, false);
    auto hello = text<TextureText>(sans, L"Hello, frame", 96, 20, 0, 0xFFE080, 60.6f, 56.3f);
    auto centred = text<TextureText>(sans, L"centred", 96, 20, eTextFormatCenter, 0xFFFFFF, 60, 76);
    centred->SetOpacity(0.5f);
    const FontDesc plain(L"plain.fnt", 0, false, false);
    auto digits = text<BitmapTextInstance>(plain, L"AB 12", 90, 24, 0, 0x80FFA0, 62.4f, 94.0f);

    ASSERT_TRUE(gil().BeginFrame());
    renderer->SetInFrame(true);
    for (Instance_Base* leaf : std::initializer_list<Instance_Base*>{ball.get(), turned.get(), trimmed.get(),
                                                                      frame.get(), water.get(), hello.get(),
                                                                      centred.get(), digits.get()})
        leaf->Draw(Matrix3(), 1.0f);
    renderer->Flush();
    gil().EndFrame();
    renderer->Present();
    renderer->SetInFrame(false);

    ASSERT_TRUE(hello->GetTextTexture().texture) << "the outline font rendered";
    EXPECT_EQ(digits->GetLayout().GetQuads().size(), 5u) << "the bitmap font laid out";
    auto& presenter = dynamic_cast<Raster::NullPresenter&>(dx().GetRasterDevice()->Presenter());
    const Picture shown{presenter.Width(), presenter.Height(), presenter.LastFrame()};
    EXPECT_EQ(RasterTest::CompareWithReferenceIn("scene", "PELLWOOD_WRITE_SCENE_REFERENCES", "leaves", shown), "");
}

} // namespace
} // namespace SceneTest
