// The text renderer: one outline font per style, failed styles remembered as
// null, console fonts by size (sizes outside the table refused), rendered
// text images through it, the font recorded for a block, and a teardown that
// leaves textures which outlive their fonts empty instead of calling into them.
#include "tests/graphics/textrender_fixture.h"

#include "engine/graphics/text/FreeTypeFont.h"
#include "engine/graphics/text/GdiFont.h"

namespace GraphicsTest
{
namespace
{

class TextRendererTest : public TextRenderFixture
{
protected:
    TextRenderer& text() { return *renderer->GetTextRenderer(); }

    const FontDesc sans{L"DejaVu Sans", 20, false, false};
};

TEST_F(TextRendererTest, OneFontPerStyle)
{
    EXPECT_EQ(TextRenderer::Get(), &text());
    EXPECT_EQ(FontManager::Get(), text().GetFontManager());
    Font* font = text().GetFont(sans);
    ASSERT_NE(font, nullptr);
    EXPECT_NE(dynamic_cast<FreeTypeFont*>(font), nullptr);
    EXPECT_EQ(text().GetFont(sans), font);

    FontDesc underlined = sans;
    underlined.underline = 1;
    Font* other = text().GetFont(underlined);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, font);
    EXPECT_EQ(text().GetFontCount(), 2u);
}

TEST_F(TextRendererTest, FailedStyleStaysNull)
{
    const FontDesc missing(L"No Such Face", 20, false, false);
    EXPECT_EQ(text().GetFont(missing), nullptr);
    EXPECT_EQ(text().GetFontCount(), 1u);
    EXPECT_EQ(text().GetFont(missing), nullptr);
    EXPECT_EQ(text().GetFontCount(), 1u);
    // No bold face of the family was loaded and there is no alias to one.
    EXPECT_EQ(text().GetFont(FontDesc(L"DejaVu Sans", 20, true, false)), nullptr);

    EXPECT_EQ(TextRenderer::CreateFont(missing, false), nullptr);
    EXPECT_NE(TextRenderer::CreateFont(sans, false), nullptr);
    EXPECT_NE(dynamic_cast<GdiFont*>(TextRenderer::CreateFont(sans, true).get()), nullptr);
}

TEST_F(TextRendererTest, ConsoleFontsBySize)
{
    Font* twelve = text().GetConsoleFont(12);
    ASSERT_NE(twelve, nullptr);
    EXPECT_NE(dynamic_cast<GdiFont*>(twelve), nullptr);
    EXPECT_EQ(text().GetConsoleFont(12), twelve);
    EXPECT_NE(text().GetConsoleFont(13), twelve);
    EXPECT_NE(text().GetConsoleFont(0), nullptr);
    EXPECT_NE(text().GetConsoleFont(127), nullptr);
    // Console fonts are not outline styles.
    EXPECT_EQ(text().GetFontCount(), 0u);

    for (const int32_t size : {-1, 128, 1000, INT32_MIN, INT32_MAX})
        EXPECT_EQ(text().GetConsoleFont(size), nullptr) << size;

    const FontDesc desc = TextRenderer::ConsoleFontDesc(12);
    EXPECT_EQ(desc.name, L"Lucida Console");
    EXPECT_EQ(desc.size, 12);
    EXPECT_EQ(desc.bold + desc.italic + desc.underline, 0);
}

TEST_F(TextRendererTest, BuildRendersThroughTheStylesFont)
{
    const TextRenderParams params(L"Hello", 100, 24, eTextFormatCenter, 0, 0);
    TextTexture built = TextTexture::Build(sans, params);
    ASSERT_TRUE(built.texture);
    EXPECT_EQ(built.font, text().GetFont(sans));
    EXPECT_FLOAT_EQ(built.rightU, 100.0f / 128 + 0.5f / 128);
    // The second request is served from the font's cache.
    EXPECT_EQ(TextTexture::Build(sans, params).texture.Get(), built.texture.Get());
    const std::vector<uint32_t> texels = boxTexels(*built.texture, 100, 24);
    EXPECT_TRUE(std::any_of(texels.begin(), texels.end(), [](uint32_t t) { return t >> 24 == 255; }));

    TextTexture none = TextTexture::Build(FontDesc(L"No Such Face", 20, false, false), params);
    EXPECT_FALSE(none.texture);
    EXPECT_EQ(none.font, nullptr);
    EXPECT_EQ(none.leftU, 0.0f);
    EXPECT_EQ(none.rightU, 0.0f);
    EXPECT_EQ(none.topV, 0.0f);
    EXPECT_EQ(none.bottomV, 0.0f);
}

TEST_F(TextRendererTest, ConsoleBlocksAreReusedAndNameTheirFont)
{
    // The text renderer keeps no outline font for the console style, so the
    // block names the console font that drew it, and a second request finds it.
    Font* console = text().GetConsoleFont(12);
    ASSERT_NE(console, nullptr);
    const FontDesc desc = TextRenderer::ConsoleFontDesc(12);
    const TextRenderParams params(L"> help", 64, 16, 0, 0, 0);
    TextTexture first, again;
    console->RenderText(first, desc, params);
    console->RenderText(again, desc, params);
    ASSERT_TRUE(first.texture);
    EXPECT_EQ(first.font, console);
    EXPECT_EQ(again.texture.Get(), first.texture.Get());
    EXPECT_EQ(console->GetCacheSize(), 1u);
}

TEST_F(TextRendererTest, TexturesOutlivingTheirFontsStayEmpty)
{
    // A text renderer of its own, so that it can go while the device stays.
    auto own = std::make_unique<TextRenderer>();
    ASSERT_EQ(TextRenderer::Get(), own.get());
    TextTexture console, outline;
    own->GetConsoleFont(12)->RenderText(console, TextRenderer::ConsoleFontDesc(12),
                                        TextRenderParams(L"console", 64, 16, 0, 0, 0));
    outline = TextTexture::Build(sans, TextRenderParams(L"outline", 64, 24, 0, 0, 0));
    ASSERT_TRUE(console.texture && outline.texture);
    ASSERT_TRUE(console.texture->Load());
    ASSERT_TRUE(outline.texture->Load());
    // One texture loaded, one not: both outlive the fonts.
    console.texture->ReleaseData();
    own.reset();
    EXPECT_EQ(TextRenderer::Get(), nullptr);

    EXPECT_TRUE(outline.texture->IsLoaded()) << "what was drawn stays until the storage goes";
    EXPECT_FALSE(console.texture->Load());
    console.texture->Bind(0, false);
    EXPECT_FALSE(console.texture->IsLoaded());
    resetDevice();
    EXPECT_FALSE(outline.texture->IsLoaded());
    EXPECT_FALSE(outline.texture->Load());
}

TEST_F(TextRendererTest, RendererTeardownWithTextStillHeld)
{
    // Blocks kept by the renderer's keeper and by a holder go with the renderer
    // in any order; the holder lets go first, as the scene does.
    TextTexture held = TextTexture::Build(sans, TextRenderParams(L"kept", 64, 24, 0, 0, 0));
    ASSERT_TRUE(held.texture);
    ASSERT_TRUE(gil().BeginFrame());
    renderer->SetInFrame(true);
    renderer->DrawQuad({eMaterialAlpha, held.texture, false}, Renderer::MakeRectMatrix(0, 0, 64, 24),
                       SpriteRect{held.leftU, held.topV, held.rightU, held.bottomV}, 0xFFFFFFFF, true);
    renderer->Flush();
    gil().EndFrame();
    renderer->Present();
    renderer->SetInFrame(false);
    EXPECT_EQ(renderer->GetTextureKeeper()->GetCount(), 1u);
    held = TextTexture();
    renderer.reset();
    EXPECT_EQ(TextRenderer::Get(), nullptr);
    EXPECT_EQ(FontManager::Get(), nullptr);
}

} // namespace
} // namespace GraphicsTest
