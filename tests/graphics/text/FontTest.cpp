// The rendered-text cache of fonts on the software device: blocks reused per
// style, text, box, format and overrides; power-of-two (and square) storage
// and the rectangle handed out; dead blocks drawn again; odd widths drawn one
// column wider without leaving the storage; identical pixels after a reset.
#include "tests/graphics/GraphicsFixture.h"

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FSLooseFiles.h"
#include "engine/core/files/FileSystem.h"
#include "engine/graphics/text/Font.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/graphics/text/FreeTypeFont.h"
#include "tests/graphics/font_fixture.h"

#include <filesystem>
#include <unistd.h>

namespace GraphicsTest
{
namespace
{

namespace fs = std::filesystem;

// Records what it is asked to draw and fills the box with one colour.
class RecordingFont : public Font
{
public:
    bool IsValid() const override { return true; }
    void MeasureLine(int32_t& width, int32_t& height, const std::wstring&) override { width = height = 0; }
    void MeasureWrapped(int32_t& width, int32_t& height, const std::wstring&, uint32_t) override
    {
        width = height = 0;
    }
    bool RenderToTexture(RefPtr<IResourceTexture>, const TextRenderParams& params) override
    {
        drawn.push_back(params);
        return !fail;
    }

    std::vector<TextRenderParams> drawn;
    bool fail = false;
};

class FontTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        start({TestAdapter(1)});
    }

    void start(std::vector<Raster::AdapterInfo> adapters)
    {
        renderer.reset();
        renderer = std::make_unique<Renderer>();
        ASSERT_TRUE(MakeDevice(std::move(adapters)));
        ASSERT_TRUE(renderer->Init(std::move(device), &window));
    }

    IGIL& gil() { return *renderer->GetDevice(); }

    // A device reset: every loaded texture is given up and made again.
    void resetDevice()
    {
        gil().SetLost(true);
        EXPECT_FALSE(gil().BeginFrame());
        EXPECT_FALSE(gil().IsLost());
    }

    static std::vector<uint8_t> texels(IResourceTexture& texture)
    {
        uint32_t width = 0, height = 0;
        texture.GetTextureSize(&width, &height);
        void* bits = nullptr;
        int32_t pitch = 0;
        if (!texture.Lock(&bits, &pitch, true))
            return {};
        std::vector<uint8_t> out;
        for (uint32_t y = 0; y < height; ++y)
        {
            const uint8_t* row = static_cast<uint8_t*>(bits) + int64_t(y) * pitch;
            out.insert(out.end(), row, row + size_t(width) * 4);
        }
        texture.Unlock();
        return out;
    }

    std::unique_ptr<Renderer> renderer;
    const FontDesc desc{L"DejaVu Sans", 20, false, false};
};

TEST_F(FontTest, BlocksAreReusedUntilSomethingDiffers)
{
    RecordingFont font;
    TextTexture first, again, other;
    const TextRenderParams params(L"Hello", 100, 20, eTextFormatCenter, 0, 0);
    font.RenderText(first, desc, params);
    ASSERT_TRUE(first.texture);
    EXPECT_EQ(first.font, &font);
    font.RenderText(again, desc, params);
    EXPECT_EQ(again.texture.Get(), first.texture.Get());
    EXPECT_EQ(font.GetCacheSize(), 1u);
    // Nothing is drawn before the texture is first used.
    EXPECT_TRUE(font.drawn.empty());

    // Any difference makes a block of its own.
    const struct
    {
        FontDesc desc;
        TextRenderParams params;
    } cases[] = {
        {desc, TextRenderParams(L"Hello", 100, 20, eTextFormatCenter, 0, 1.5)},
        {desc, TextRenderParams(L"Hello", 100, 20, eTextFormatCenter, 1.2, 0)},
        {desc, TextRenderParams(L"Hello", 101, 20, eTextFormatCenter, 0, 0)},
        {desc, TextRenderParams(L"Hello", 100, 21, eTextFormatCenter, 0, 0)},
        {desc, TextRenderParams(L"Hello", 100, 20, eTextFormatRight, 0, 0)},
        {desc, TextRenderParams(L"hello", 100, 20, eTextFormatCenter, 0, 0)},
        {FontDesc(L"DejaVu Sans", 21, false, false), params},
        {FontDesc(L"dejavu sans", 20, false, false), params},
        {FontDesc(L"DejaVu Sans", 20, true, false), params},
    };
    std::vector<TextTexture> held;
    for (const auto& c : cases)
    {
        held.emplace_back();
        font.RenderText(held.back(), c.desc, c.params);
        ASSERT_TRUE(held.back().texture);
        for (size_t i = 0; i + 1 < held.size(); ++i)
            EXPECT_NE(held[i].texture.Get(), held.back().texture.Get());
        EXPECT_NE(held.back().texture.Get(), first.texture.Get());
    }
    EXPECT_EQ(font.GetCacheSize(), 1u + std::size(cases));
}

TEST_F(FontTest, StorageAndRectangle)
{
    const struct
    {
        bool squareOnly;
        uint32_t width, height;
        uint32_t textureWidth, textureHeight;
    } cases[] = {
        {false, 100, 20, 128, 32}, {true, 100, 20, 128, 128}, {false, 64, 16, 64, 16},
        {false, 1, 1, 1, 1},       {true, 20, 300, 512, 512},
    };
    for (const auto& c : cases)
    {
        Raster::AdapterInfo adapter = TestAdapter(1);
        if (c.squareOnly)
            adapter.caps.textureCaps = Raster::Value::TextureCapsSquareOnly;
        start({adapter});
        RecordingFont font;
        TextTexture out;
        font.RenderText(out, desc, TextRenderParams(L"x", c.width, c.height, 0, 0, 0));
        ASSERT_TRUE(out.texture);
        uint32_t w = 0, h = 0;
        out.texture->GetTextureSize(&w, &h); // loads it: the font draws
        EXPECT_EQ(w, c.textureWidth);
        EXPECT_EQ(h, c.textureHeight);
        EXPECT_EQ(font.drawn.size(), 1u);
        const float tw = float(c.textureWidth), th = float(c.textureHeight);
        EXPECT_FLOAT_EQ(out.leftU, 0.5f / tw);
        EXPECT_FLOAT_EQ(out.rightU, float(c.width) / tw + 0.5f / tw);
        EXPECT_FLOAT_EQ(out.bottomV, -0.5f / th);
        EXPECT_FLOAT_EQ(out.topV, float(c.height) / th - 0.5f / th);
        out = TextTexture();
    }
}

TEST_F(FontTest, OddWidthsAreDrawnOneWider)
{
    RecordingFont font;
    TextTexture odd, even;
    font.RenderText(odd, desc, TextRenderParams(L"odd", 37, 20, eTextFormatWordBreak, 1.5, 2.0));
    font.RenderText(even, desc, TextRenderParams(L"even", 40, 20, 0, 0, 0));
    odd.texture->Bind(0, false);
    even.texture->Bind(0, false);
    ASSERT_EQ(font.drawn.size(), 2u);
    EXPECT_EQ(font.drawn[0].text, L"odd");
    EXPECT_EQ(font.drawn[0].renderWidth, 38u);
    EXPECT_EQ(font.drawn[0].renderHeight, 20u);
    EXPECT_EQ(font.drawn[0].format, uint32_t(eTextFormatWordBreak));
    EXPECT_EQ(font.drawn[0].heightMultiplier, 1.5);
    EXPECT_EQ(font.drawn[0].gamma, 2.0);
    EXPECT_EQ(font.drawn[1].renderWidth, 40u);
}

TEST_F(FontTest, DeadBlocksAreDrawnAgain)
{
    RecordingFont font;
    const TextRenderParams params(L"Hello", 100, 20, 0, 0, 0);
    TextTexture out;
    font.RenderText(out, desc, params);
    WeakPtr<IResourceTexture> first(out.texture);
    out = TextTexture(); // the last holder: it was never drawn, so not kept
    EXPECT_FALSE(first.IsAlive());

    font.RenderText(out, desc, params);
    ASSERT_TRUE(out.texture);
    EXPECT_EQ(font.GetCacheSize(), 1u) << "the dead entry is gone";
    uint32_t w = 0;
    out.texture->GetTextureSize(&w, nullptr);
    EXPECT_EQ(font.drawn.size(), 1u);
}

TEST_F(FontTest, NothingWithoutARunningDevice)
{
    RecordingFont font;
    TextTexture out;
    renderer.reset();
    font.RenderText(out, desc, TextRenderParams(L"Hello", 100, 20, 0, 0, 0));
    EXPECT_FALSE(out.texture);
    EXPECT_EQ(out.font, nullptr);
    EXPECT_EQ(out.rightU, 0.0f);
    EXPECT_EQ(font.GetCacheSize(), 0u);

    // A texture the font never made is not drawn.
    start({TestAdapter(1)});
    RefPtr<IResourceTexture> stranger = renderer->CreateDynamicTexture(nullptr);
    EXPECT_FALSE(font.Recreate(stranger.Get()));
    EXPECT_TRUE(font.drawn.empty());
}

TEST_F(FontTest, FailedDrawingLeavesTheTextureUnloaded)
{
    RecordingFont font;
    font.fail = true;
    TextTexture out;
    font.RenderText(out, desc, TextRenderParams(L"Hello", 100, 20, 0, 0, 0));
    ASSERT_TRUE(out.texture);
    EXPECT_FALSE(out.texture->Load());
    EXPECT_EQ(RenderStats::Get().counters[RenderStats::CounterDynamicTextures], 0u);
}

TEST_F(FontTest, BlocksThatOutliveTheirFontAreNeverDrawnByItAgain)
{
    TextTexture out;
    {
        RecordingFont font;
        font.RenderText(out, desc, TextRenderParams(L"Hello", 100, 20, 0, 0, 0));
        ASSERT_TRUE(out.texture);
        out.texture->Bind(0, false);
        ASSERT_EQ(font.drawn.size(), 1u);
    }
    EXPECT_TRUE(out.texture->IsLoaded()) << "what the block holds stays while the device does";
    // The reset would otherwise ask the deleted font to draw the block again.
    resetDevice();
    EXPECT_FALSE(out.texture->IsLoaded());
    out.texture->Bind(0, false);
    EXPECT_EQ(static_cast<DirectXDevice&>(gil()).GetStateCache().GetTexture(0), nullptr);
}

// FreeType fonts over a "fonts" folder holding DejaVu Sans.
class FreeTypeFontTest : public FontTest
{
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        root = fs::temp_directory_path() / ("freetype_font_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "fonts");
        fs::copy_file(std::string(font_fixture::kDejaVuFolder) + "DejaVuSans.ttf",
                      root / "fonts" / "DejaVuSans.ttf");
        files = std::make_unique<FileSystem>();
        ASSERT_TRUE(
            files->AddSource(std::make_unique<FSLooseFiles>(FromOsPath(root.string() + "/"), L"Test")));
        manager = std::make_unique<FontManager>();
    }
    void TearDown() override
    {
        manager.reset();
        files.reset();
        fs::remove_all(root);
        FontTest::TearDown();
    }

    fs::path root;
    std::unique_ptr<FileSystem> files;
    std::unique_ptr<FontManager> manager;
};

TEST_F(FreeTypeFontTest, ValidOnlyWithAFace)
{
    EXPECT_TRUE(FreeTypeFont(desc).IsValid());
    EXPECT_FALSE(FreeTypeFont(FontDesc(L"No Such Font", 20, false, false)).IsValid());
    FreeTypeFont missing(FontDesc(L"DejaVu Sans", 20, false, true));
    int32_t width = -1, height = -1;
    missing.MeasureLine(width, height, L"Hello");
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
}

TEST_F(FreeTypeFontTest, MeasuresWithTheManagersOptions)
{
    FreeTypeFont font(desc);
    int32_t width = 0, height = 0;
    font.MeasureLine(width, height, L"Hello");
    int32_t expectedWidth = 0, expectedHeight = 0;
    MeasureTextLine(font.GetFace(), 20, manager->GetDefaultOptions(), L"Hello", expectedWidth,
                    expectedHeight);
    EXPECT_EQ(width, expectedWidth);
    EXPECT_EQ(height, expectedHeight);
    EXPECT_GT(width, 40);

    int32_t wrappedWidth = 0, wrappedHeight = 0;
    font.MeasureWrapped(wrappedWidth, wrappedHeight, L"Hello Hello", uint32_t(width));
    EXPECT_EQ(wrappedWidth, width);
    EXPECT_GT(wrappedHeight, height);
}

TEST_F(FreeTypeFontTest, ResetDrawsIdenticalPixels)
{
    FreeTypeFont font(desc);
    TextTexture out;
    font.RenderText(out, desc, TextRenderParams(L"Reset ^FF8000me", 100, 24, eTextFormatCenter, 0, 0));
    ASSERT_TRUE(out.texture);
    const std::vector<uint8_t> before = texels(*out.texture);
    ASSERT_EQ(before.size(), 128u * 32 * 4);
    // Orange ink and white ink are both there.
    bool orange = false, white = false;
    for (size_t i = 0; i < before.size(); i += 4)
    {
        orange = orange || (before[i + 3] == 255 && before[i + 2] == 0xFF && before[i + 1] == 0x80);
        white = white || (before[i + 3] == 255 && before[i] == 0xFF && before[i + 1] == 0xFF);
    }
    EXPECT_TRUE(orange);
    EXPECT_TRUE(white);

    resetDevice();
    EXPECT_TRUE(out.texture->IsLoaded());
    EXPECT_EQ(texels(*out.texture), before);

    // The same request after the reset still finds the block.
    TextTexture again;
    font.RenderText(again, desc, TextRenderParams(L"Reset ^FF8000me", 100, 24, eTextFormatCenter, 0, 0));
    EXPECT_EQ(again.texture.Get(), out.texture.Get());
}

TEST_F(FreeTypeFontTest, OneColumnBlockStaysInItsStorage)
{
    // Width 1 is drawn 2 wide into storage 1 texel wide (the drawing itself is
    // checked against an exact block in the layout tests).
    FreeTypeFont font(FontDesc(L"DejaVu Sans", 40, false, false));
    for (const uint32_t height : {1u, 7u, 64u})
    {
        TextTexture out;
        font.RenderText(out, desc,
                        TextRenderParams(L"\u2588\u2588\u2588", 1, height, eTextFormatBottom, 0, 0));
        ASSERT_TRUE(out.texture);
        uint32_t w = 0, h = 0;
        out.texture->GetTextureSize(&w, &h);
        EXPECT_EQ(w, 1u);
        EXPECT_TRUE(out.texture->IsLoaded());
    }
}

} // namespace
} // namespace GraphicsTest
