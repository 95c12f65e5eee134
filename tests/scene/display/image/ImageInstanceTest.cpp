// Image instances: what definitions set up (a missing picture included), the pixel hit test against
// the definition's shared alpha mask, the drawn quad (vertex colour, filtering, canvas passes),
// reading and writing pixels through trimmed atlas rectangles, and the script methods.
#include "engine/media/video/IImageSource.h"
#include "engine/scene/definitions/Definition_Movie.h"
#include "engine/scene/display/text/BitmapTextInstance.h"
#include "engine/scene/display/text/TextureText.h"
#include "tests/scene/display/ImageFixture.h"

#include <cmath>

namespace SceneTest
{
namespace
{

class ImageInstance : public ImageFixture
{
protected:
    // "pic": a 4 x 2 picture in an 8 x 4 texture; row 0 has the alphas 0, 1, 128, 255, row 1 is
    // opaque.
    void SetUp() override
    {
        ImageFixture::SetUp();
        texture = new MemoryTexture(8, 4, 4, 2);
        const uint32_t alphas[4] = {0x00, 0x01, 0x80, 0xFF};
        for (uint32_t x = 0; x < 4; ++x)
        {
            texture->At(x, 0) = alphas[x] << 24 | 0x123456;
            texture->At(x, 1) = 0xFF000000 | x;
        }
        ASSERT_NE(Define(L"pic", texture.Get()), nullptr);
    }

    RefPtr<MemoryTexture> texture;
};

TEST_F(ImageInstance, ADefinitionSetsUpThePicture)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->type, INSTANCE_IMAGE);
    EXPECT_EQ(image->texture.Get(), texture.Get());
    EXPECT_EQ(image->width, 4u);
    EXPECT_EQ(image->height, 2u);
    EXPECT_FLOAT_EQ(image->uvRect[2], 0.5f);
    EXPECT_FLOAT_EQ(image->uvRect[3], 0.5f);
    EXPECT_FLOAT_EQ(image->ComputeWidth(false), 4.0f);
    EXPECT_FLOAT_EQ(image->ComputeHeight(false), 2.0f);
    EXPECT_EQ(image->colour, 0xFFFFFFu);
    // The renderer reaches an image's texture by handle (to copy a render target into it).
    const InstanceServices services = MakeInstanceServices();
    EXPECT_EQ(services.imageTexture(image->handle).Get(), texture.Get());
    EXPECT_EQ(services.imageTexture(root->handle).Get(), nullptr);
}

TEST_F(ImageInstance, AMissingPictureGivesAnImageWithoutTexture)
{
    ASSERT_NE(Define(L"gone", nullptr), nullptr);
    ASSERT_NE(Define(L"goneAtlas", nullptr, L"30 20 10 10 0 0 5 5"), nullptr);
    Instance_Image* plain = Image(L"gone", L"a");
    Instance_Image* atlas = Image(L"goneAtlas", L"b");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(atlas, nullptr);
    EXPECT_EQ(plain->texture.Get(), nullptr);
    EXPECT_EQ(plain->width, 0u);
    EXPECT_EQ(atlas->width, 30u) << "the size comes from the atlas information";
    EXPECT_EQ(atlas->height, 20u);
    for (float value : atlas->uvRect)
        EXPECT_TRUE(std::isfinite(value)) << "no division by a texture size of 0";
    EXPECT_TRUE(DrawnQuads(*atlas).empty()) << "nothing drawn, not even the missing-texture square";
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(atlas->ReadPixels(w, h).empty());
    atlas->SetHitTest(HTT_NonAlpha, 0);
    EXPECT_FALSE(atlas->HitTestPixel(1, 1));
    const uint32_t block[4] = {};
    EXPECT_FALSE(atlas->UploadPixels(block, 2, 2));
}

TEST_F(ImageInstance, ThePixelTestComparesAlphaWithTheThreshold)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    const struct
    {
        uint32_t type;
        int32_t threshold;
        bool hits[4]; // row 0, alpha 0, 1, 128, 255
    } cases[] = {
        {HTT_NonAlpha, 0, {false, true, true, true}},
        {HTT_NonAlpha, 128, {false, false, false, true}},
        {HTT_NonAlpha, 255, {false, false, false, false}},
        {HTT_NonAlpha, -1, {false, false, false, false}}, // compared as 0xFFFFFFFF
        {HTT_All, 0, {true, true, true, true}},
        {HTT_None, 0, {false, false, false, false}},
    };
    for (const auto& c : cases)
    {
        image->SetHitTest(c.type, uint32_t(c.threshold));
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(image->HitTestPixel(x, 0), c.hits[x])
                << "type " << c.type << " threshold " << c.threshold << " x " << x;
    }
    image->SetHitTest(HTT_All, 0);
    EXPECT_TRUE(image->HitTestPixel(3, 1)) << "the last column is inside";
    EXPECT_FALSE(image->HitTestPixel(4, 1)) << "x = width is outside";
    EXPECT_FALSE(image->HitTestPixel(0, 2)) << "y = height is outside";

    image->definitionName = L"nothing";
    EXPECT_FALSE(image->HitTestPixel(0, 1)) << "without its definition an image is never hit";
}

TEST_F(ImageInstance, ImagesOfADefinitionShareOneMaskBuiltOnFirstNeed)
{
    Instance_Image* first = Image(L"pic", L"a");
    Instance_Image* second = Image(L"pic", L"b");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first->SetHitTest(HTT_NonAlpha, 0);
    second->SetHitTest(HTT_NonAlpha, 0);
    auto* definition = dynamic_cast<Definition_Image*>(Map().FindDefinition(L"pic"));
    EXPECT_TRUE(definition->alphaMask.empty()) << "not built before a test needs it";
    EXPECT_EQ(texture->locks, 0);

    EXPECT_TRUE(first->HitTestPixel(1, 0));
    EXPECT_FALSE(second->HitTestPixel(0, 0));
    EXPECT_TRUE(second->HitTestPixel(2, 1));
    EXPECT_EQ(texture->locks, 1) << "one read for both images";
    EXPECT_EQ(texture->unlocks, 1);
    EXPECT_EQ(definition->alphaMask, (std::vector<uint8_t>{0x00, 0x01, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(ImageInstance, AnImageWhosePixelsCannotBeReadIsNeverHitByAlpha)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    texture->failLocks = true;
    image->SetHitTest(HTT_NonAlpha, 0);
    EXPECT_FALSE(image->HitTestPixel(3, 1));
    EXPECT_FALSE(image->BuildAlphaMask());
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(image->ReadPixels(w, h).empty());
}

TEST_F(ImageInstance, ThePointerGoesThroughTransparentPixels)
{
    Instance_Movie* holder = Movie(root, L"holder", 100, 100);
    Instance_Image* image = Image(L"pic", L"p", holder);
    ASSERT_NE(image, nullptr);
    image->SetHitTest(HTT_NonAlpha, 0);
    std::vector<InstanceHandle> hits;
    root->HitTestPoint(100.5f, 100.5f, false, false, &hits);
    EXPECT_TRUE(hits.empty()) << "alpha 0";
    root->HitTestPoint(101.5f, 100.5f, false, false, &hits);
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].GetInstance(), holder);
}

TEST_F(ImageInstance, TheVertexColourIsTheTintUnderTheClampedOpacity)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    image->SetColor(0x80102030);
    EXPECT_EQ(image->colour, 0x102030u) << "the alpha byte is never kept";
    const struct
    {
        float own, parent;
        uint32_t alpha;
    } cases[] = {
        {0.5f, 0.5f, 63}, // 0.25 x 255 truncated
        {1.0f, 1.0f, 255},
        {0.0f, 1.0f, 0},
        {2.0f, 1.0f, 255}, // beyond 1: clamped, not wrapped into the colour
        {-1.0f, 1.0f, 0},
        {1.0f, 3.0f, 255},
        {NAN, 1.0f, 0},
    };
    for (const auto& c : cases)
    {
        image->SetOpacity(c.own);
        const std::vector<RecordedQuad> quads = DrawnQuads(*image, c.parent);
        ASSERT_EQ(quads.size(), 1u);
        EXPECT_EQ(quads[0].colour, c.alpha << 24 | 0x102030u) << c.own << " x " << c.parent;
    }
}

TEST_F(ImageInstance, SetColorARGBTintsButLeavesTheAlphaToTheOpacity)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    SetGlobal("img", image);
    ASSERT_TRUE(Run("img:SetColorARGB(0, 255, 0, 0)"));
    EXPECT_EQ(image->colour, 0xFF0000u);
    std::vector<RecordedQuad> quads = DrawnQuads(*image);
    ASSERT_EQ(quads.size(), 1u);
    EXPECT_EQ(quads[0].colour, 0xFFFF0000u) << "red at full opacity";
    ASSERT_TRUE(Run("img:SetColorARGB(255, 0, 0) img:SetColorARGB() n = img:GetSelf()"));
    EXPECT_EQ(image->colour, 0xFF0000u) << "missing arguments change nothing";
    EXPECT_EQ(Global("n"), std::to_string(image->handle.serial));
    image->Delete(false);
    root->DeletePending();
    EXPECT_TRUE(Run("img:SetColorARGB(0, 1, 2, 3) gone = img:GetSelf()")) << "a gone image raises no error";
    EXPECT_EQ(Global("gone"), "nil");
}

TEST_F(ImageInstance, FilteringIsOffOnlyOnThePixelGrid)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    const struct
    {
        const char* what;
        float x, rotation, scale;
        bool allow, mesh, filtered;
    } cases[] = {
        {"identity", 0, 0, 1, true, false, false},
        {"a translation", 10, 0, 1, true, false, true},
        {"below the tolerance", 0.0005f, 0.0005f, 1.0005f, true, false, false},
        {"a rotation", 0, 0.5f, 1, true, false, true},
        {"a scale", 0, 0, 2, true, false, true},
        {"not allowed", 10, 0.5f, 2, false, false, false},
        {"a mesh", 0, 0, 1, true, true, true},
        {"a mesh, not allowed", 0, 0, 1, false, true, false},
    };
    for (const auto& c : cases)
    {
        image->Initialize(L"p");
        image->SetImage(texture, 4, 2, Renderer::MakeRectMatrix(0, 0, 4, 2), {0, 0, 0.5f, 0.5f});
        image->SetX(c.x);
        image->SetRotation(c.rotation);
        image->SetScale(c.scale, c.scale);
        image->SetAllowFiltering(c.allow);
        if (c.mesh)
        {
            ASSERT_NE(image->CreateDistortionMesh(2, 2), nullptr);
        }
        const std::vector<RecordedQuad> quads = DrawnQuads(*image);
        ASSERT_EQ(quads.size(), 1u) << c.what;
        EXPECT_EQ(quads[0].filtering, c.filtered) << c.what;
        EXPECT_EQ(quads[0].fromMatrix, !c.mesh) << c.what;
    }
}

TEST_F(ImageInstance, TheQuadIsTheImageMatrixUnderTheWorldMatrix)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    image->SetPosition(10, 20);
    image->SetScale(2, 3);
    image->SetMaterial(2);
    Matrix3 parent;
    parent.SetTranslation(100, 200);
    const std::vector<RecordedQuad> quads = DrawnQuads(*image, 1.0f, parent);
    ASSERT_EQ(quads.size(), 1u);
    float x = 0, y = 0;
    quads[0].matrix.TransformPoint(-0.5f, -0.5f, x, y);
    EXPECT_FLOAT_EQ(x, 110.0f);
    EXPECT_FLOAT_EQ(y, 220.0f);
    quads[0].matrix.TransformPoint(0.5f, 0.5f, x, y);
    EXPECT_FLOAT_EQ(x, 118.0f);
    EXPECT_FLOAT_EQ(y, 226.0f);
    EXPECT_EQ(quads[0].material, 2u);
    EXPECT_EQ(quads[0].texture, texture.Get());
    EXPECT_TRUE(quads[0].halfPixel);
    EXPECT_FLOAT_EQ(quads[0].source.right, 0.5f);

    image->SetVisible(false);
    EXPECT_TRUE(DrawnQuads(*image).empty());
}

TEST_F(ImageInstance, TheCanvasDrawsBelowAndAboveTheImage)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    IRenderCanvas* canvas = image->GetCanvas(true);
    ASSERT_NE(canvas, nullptr);
    auto* recording = RecordingCanvas::Last();
    canvas->SetRenderPass(0);
    canvas->DrawLine({0, 0}, {1, 1}, 0xFFFFFFFF);
    recording->calls.clear();
    DrawnQuads(*image);
    ASSERT_EQ(recording->calls.size(), 1u) << "pass 1 is empty";
    EXPECT_EQ(recording->calls[0].name, "Render");
    canvas->SetRenderPass(1);
    canvas->DrawLine({0, 0}, {1, 1}, 0xFFFFFFFF);
    recording->calls.clear();
    DrawnQuads(*image);
    EXPECT_EQ(recording->calls.size(), 2u);
    canvas->SetVisible(false);
    recording->calls.clear();
    DrawnQuads(*image);
    EXPECT_TRUE(recording->calls.empty());
}

class AtlasImage : public ImageFixture
{
protected:
    // "trim": a 6 x 5 image of which a 3 x 2 rectangle is stored at (4, 1) of a 16 x 8 texture and
    // placed at (2, 3) of the image.
    void SetUp() override
    {
        ImageFixture::SetUp();
        texture = new MemoryTexture(16, 8, 16, 8);
        for (uint32_t y = 0; y < 8; ++y)
            for (uint32_t x = 0; x < 16; ++x)
                texture->At(x, y) = 0xFF000000 | y << 8 | x;
        ASSERT_NE(Define(L"trim", texture.Get(), L"6 5 3 2 4 1 2 3"), nullptr);
        image = Image(L"trim", L"t");
        ASSERT_NE(image, nullptr);
    }

    RefPtr<MemoryTexture> texture;
    Instance_Image* image = nullptr;
};

TEST_F(AtlasImage, ReadPixelsPutsTheStoredRectangleInItsPlace)
{
    uint32_t w = 0, h = 0;
    const std::vector<uint32_t> pixels = image->ReadPixels(w, h);
    ASSERT_EQ(w, 6u);
    ASSERT_EQ(h, 5u);
    ASSERT_EQ(pixels.size(), 30u);
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x)
        {
            const bool stored = x >= 2 && x < 5 && y >= 3 && y < 5;
            const uint32_t expected = stored ? 0xFF000000 | (y - 3 + 1) << 8 | (x - 2 + 4) : 0u;
            EXPECT_EQ(pixels[y * 6 + x], expected) << x << ", " << y;
        }
    image->SetHitTest(HTT_NonAlpha, 0);
    EXPECT_FALSE(image->HitTestPixel(0, 0)) << "trimmed away: transparent";
    EXPECT_TRUE(image->HitTestPixel(2, 3));
}

TEST_F(AtlasImage, UploadPixelsWritesTheStoredRectangleBackAndRefusesLargerBlocks)
{
    std::vector<uint32_t> block(6 * 5);
    for (uint32_t i = 0; i < block.size(); ++i)
        block[i] = 0xAA000000 | i;
    const std::vector<uint32_t> before = texture->texels;

    EXPECT_FALSE(image->UploadPixels(block.data(), 7, 5)) << "one pixel too wide";
    EXPECT_FALSE(image->UploadPixels(block.data(), 6, 6)) << "one pixel too high";
    EXPECT_EQ(texture->texels, before);
    EXPECT_EQ(texture->writeLocks, 0) << "refused before the texture is locked";

    ASSERT_TRUE(image->UploadPixels(block.data(), 6, 5));
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 16; ++x)
        {
            const bool stored = x >= 4 && x < 7 && y >= 1 && y < 3;
            const uint32_t expected = stored ? 0xAA000000 | ((y - 1 + 3) * 6 + (x - 4 + 2)) : before[y * 16 + x];
            EXPECT_EQ(texture->At(x, y), expected) << x << ", " << y;
        }

    // A smaller block: only what of the stored rectangle lies inside it.
    const std::vector<uint32_t> small(4 * 4, 0xBB000000);
    ASSERT_TRUE(image->UploadPixels(small.data(), 4, 4));
    EXPECT_EQ(texture->At(4, 1), 0xBB000000u);
    EXPECT_EQ(texture->At(5, 1), 0xBB000000u);
    EXPECT_NE(texture->At(6, 1), 0xBB000000u) << "column 4 of the image is outside the block";
    EXPECT_NE(texture->At(4, 2), 0xBB000000u) << "row 4 of the image is outside the block";
}

TEST_F(AtlasImage, AStoredRectangleBeyondTheTextureIsCutToIt)
{
    RefPtr<MemoryTexture> small = new MemoryTexture(5, 2, 5, 2);
    ASSERT_NE(Define(L"edge", small.Get(), L"6 5 3 2 4 1 2 3"), nullptr);
    Instance_Image* edge = Image(L"edge", L"e");
    ASSERT_NE(edge, nullptr);
    uint32_t w = 0, h = 0;
    EXPECT_EQ(edge->ReadPixels(w, h).size(), 30u);
    const std::vector<uint32_t> block(30, 0xFFFFFFFF);
    EXPECT_TRUE(edge->UploadPixels(block.data(), 6, 5));
    EXPECT_EQ(small->At(4, 1), 0xFFFFFFFFu);
}

TEST_F(AtlasImage, CopyFromTakesThePicture)
{
    Instance_Image* copy = Image(L"trim", L"copy");
    ASSERT_NE(copy, nullptr);
    copy->SetImage({}, 0, 0, Matrix3(), {0, 0, 0, 0});
    image->SetColor(0x00FF00);
    image->SetPosition(3, 4);
    copy->CopyFrom(*image);
    EXPECT_EQ(copy->texture.Get(), texture.Get());
    EXPECT_EQ(copy->width, 6u);
    EXPECT_EQ(copy->colour, 0x00FF00u);
    EXPECT_FLOAT_EQ(copy->GetX(), 3.0f);
    EXPECT_FLOAT_EQ(copy->uvRect[0], 4.0f / 16.0f);
    float uv[4] = {};
    uint32_t size[2] = {};
    RefPtr<IResourceTexture> held;
    copy->GetRenderInfo(uv, size, nullptr, &held);
    EXPECT_EQ(size[0], 6u);
    EXPECT_EQ(held.Get(), texture.Get());
}

// A video source that counts its updates.
class CountingSource final : public IImageSource
{
public:
    explicit CountingSource(int* destroyed) : destroyed(destroyed) {}
    ~CountingSource() override { ++*destroyed; }
    bool Open(bool, float) override { return true; }
    void Close() override {}
    bool IsActive() override { return true; }
    int GetWidth() override { return 0; }
    int GetHeight() override { return 0; }
    bool Update() override
    {
        ++updates;
        return false;
    }
    int updates = 0;
    int* destroyed;
};

TEST_F(ImageInstance, TheImageOwnsItsVideoSource)
{
    Instance_Image* image = Image(L"pic", L"p");
    ASSERT_NE(image, nullptr);
    int destroyed = 0;
    image->SetVideoSource(std::make_unique<CountingSource>(&destroyed));
    EXPECT_EQ(DrawnQuads(*image).size(), 1u) << "drawn from the texture the source fills";
    image->SetVideoSource(nullptr);
    EXPECT_EQ(destroyed, 1);
    image->SetVideoSource(std::make_unique<CountingSource>(&destroyed));
    image->Delete(false);
    root->DeletePending();
    EXPECT_EQ(destroyed, 2) << "deleted with the image";
}

TEST_F(ImageInstance, DefinitionFilesMakeRealImagesAndTexts)
{
    const std::string file =
        "<D><Definition type=\"movie\" name=\"menu\" length=\"1\" fps=\"30\">"
        "<Instance type=\"library\" instancename=\"bg\" definition=\"pic\" depth=\"1\" create=\"0\" "
        "death=\"1\" regx=\"0\" regy=\"0\"><Frame/></Instance>"
        "<Instance type=\"text\" instancename=\"caption\" text=\"Hello\" face=\"Serif\" size=\"12\" "
        "color=\"0xFF102030\" align=\"left\" width=\"99\" height=\"19\" depth=\"2\" create=\"0\" "
        "death=\"1\" regx=\"0\" regy=\"0\"><Frame/></Instance>"
        "<Instance type=\"text\" instancename=\"score\" text=\"12\" face=\"digits.fnt\" size=\"8\" "
        "color=\"0\" align=\"center\" width=\"99\" height=\"19\" depth=\"3\" create=\"0\" death=\"1\" "
        "regx=\"0\" regy=\"0\"><Frame/></Instance>"
        "</Definition></D>";
    std::unique_ptr<XmlNode> document =
        ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(file.data()), file.size(), false);
    ASSERT_NE(document, nullptr);
    uint32_t added = 0, appended = 0;
    ASSERT_TRUE(LoadDefinitionFile(*document, Map(), added, appended));
    auto* menu = dynamic_cast<Definition_Movie*>(Map().FindDefinition(L"menu"));
    ASSERT_NE(menu, nullptr);

    std::unique_ptr<Instance_Base> bg(menu->CreateInstanceFromEntry(0));
    auto* image = RObjectCast<Instance_Image>(bg.get());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->GetClass(), Instance_Image::StaticClass());
    EXPECT_EQ(image->width, 4u);

    std::unique_ptr<Instance_Base> caption(menu->CreateInstanceFromEntry(1));
    auto* text = RObjectCast<TextureText>(caption.get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text, L"Hello");
    EXPECT_EQ(text->boxWidth, 100);
    EXPECT_EQ(text->boxHeight, 20);
    EXPECT_EQ(text->font.name, L"Serif");
    EXPECT_EQ(text->colour, 0x102030u);

    std::unique_ptr<Instance_Base> score(menu->CreateInstanceFromEntry(2));
    auto* digits = RObjectCast<BitmapTextInstance>(score.get());
    ASSERT_NE(digits, nullptr);
    EXPECT_STREQ(digits->GetClass()->GetName(), "BitmapText");
    EXPECT_EQ(digits->text, L"12");
}

} // namespace
} // namespace SceneTest
