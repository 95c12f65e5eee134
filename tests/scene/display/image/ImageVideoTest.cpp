// Videos playing into image instances: a video nugget's source writes its frames into the image's
// texture as the image is drawn, an alpha-only video keeps the picture's colours, and a script's
// playlist plays into an image it does not belong to.
#include "engine/core/files/FileSystem.h"
#include "engine/media/video/VideoSources.h"
#include "engine/scene/display/image/MultipleVideo.h"
#include "platform/system/Clock.h"
#include "tests/common/MemoryFiles.h"
#include "tests/common/TheoraFiles.h"
#include "tests/scene/display/ImageFixture.h"

namespace SceneTest
{
namespace
{

class ImageVideo : public ImageFixture
{
protected:
    void SetUp() override
    {
        ImageFixture::SetUp();
        files = new TestFiles::MemoryFiles;
        fileSystem.AddSource(std::unique_ptr<IFSSource>(files));
        previousClock = SetDefaultVideoClock(&clock);
        // "pic": a 16 x 16 picture of one colour, half transparent, in a 32 x 16 texture.
        texture = new MemoryTexture(32, 16, 16, 16);
        std::fill(texture->texels.begin(), texture->texels.end(), 0x80336699u);
        ASSERT_NE(Define(L"pic", texture.Get()), nullptr);
        TheoraFiles::VideoSpec spec; // 16 x 16, 2 frames a second
        files->files[L"grey.ogv"] = TheoraFiles::Encode(
            spec, {TheoraFiles::FlatFrame(spec, 235), TheoraFiles::FlatFrame(spec, 16)});
        TheoraFiles::VideoSpec wide = spec;
        wide.width = 32;
        files->files[L"wide.ogv"] = TheoraFiles::Encode(wide, {TheoraFiles::FlatFrame(wide, 235)});
    }
    void TearDown() override
    {
        SetDefaultVideoClock(previousClock);
        ImageFixture::TearDown();
    }

    // Draws the image once a 60th of a second, `count` times.
    void Draw(Instance_Image& image, int count)
    {
        for (int i = 0; i < count; ++i)
        {
            clock.Advance(10);
            DrawnQuads(image);
        }
    }

    FileSystem fileSystem;
    TestFiles::MemoryFiles* files = nullptr; // owned by the file system
    Platform::FakeCounter clock{600, 0};
    const Platform::CounterSource* previousClock = nullptr;
    RefPtr<MemoryTexture> texture;
};

TEST_F(ImageVideo, AVideoPlaysIntoTheImageAsItIsDrawn)
{
    Instance_Image* image = Image(L"pic", L"screen");
    ASSERT_NE(image, nullptr);
    IImageSource* video = image->AttachVideo(L"grey.ogv", L"");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(image->GetVideoSource(), video);
    ASSERT_TRUE(video->Open(false, 0.0f));
    Draw(*image, 29);
    EXPECT_EQ(texture->At(0, 0), 0x80336699u) << "no frame before its time";
    Draw(*image, 1);
    const uint32_t first = texture->At(5, 5);
    EXPECT_NEAR(int(first & 0xFF), 219, 2);
    EXPECT_EQ(first >> 24, 0xFFu);
    EXPECT_EQ(texture->At(16, 0), 0x80336699u) << "the texture beyond the picture is left alone";
    Draw(*image, 30);
    EXPECT_NEAR(int(texture->At(5, 5) & 0xFF), 0, 2) << "the second frame";

    // An alpha-only video keeps the picture's colours and replaces its alpha.
    std::fill(texture->texels.begin(), texture->texels.end(), 0x80336699u);
    video = image->AttachVideo(L"", L"grey.ogv");
    ASSERT_TRUE(video->Open(false, 0.0f));
    Draw(*image, 30);
    EXPECT_EQ(texture->At(7, 7) & 0xFFFFFFu, 0x336699u);
    EXPECT_NEAR(int(texture->At(7, 7) >> 24), 249, 2) << "the grey of luma 235";
    Draw(*image, 30);
    EXPECT_EQ(texture->At(7, 7), 0x00336699u);

    // A video wider than the image: the image takes none of its frames.
    std::fill(texture->texels.begin(), texture->texels.end(), 0x80336699u);
    video = image->AttachVideo(L"wide.ogv", L"");
    ASSERT_TRUE(video->Open(false, 0.0f));
    Draw(*image, 30);
    EXPECT_EQ(texture->At(0, 0), 0x80336699u);
}

// Pausing a movie with its children pauses the videos of its images (however deep), and resuming
// lets them go on, from where they were, without a burst of frames.
TEST_F(ImageVideo, APausedMovieHoldsTheVideosOfItsImages)
{
    Instance_Base* made = nullptr;
    Instance_Movie::CreateInstanceCore(root, L"", L"scene", true, nullptr, &made);
    auto* scene = RObjectCast<Instance_Movie>(made);
    ASSERT_NE(scene, nullptr);
    Instance_Movie::CreateInstanceCore(scene, L"", L"inner", true, nullptr, &made);
    auto* inner = RObjectCast<Instance_Movie>(made);
    ASSERT_NE(inner, nullptr);
    Instance_Image* image = Image(L"pic", L"screen", inner);
    ASSERT_NE(image, nullptr);
    IImageSource* video = image->AttachVideo(L"grey.ogv", L"");
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(video->Open(false, 0.0f));

    SetGlobal("scene", scene);
    ASSERT_TRUE(Run("scene:SetPausedRecursive(true)"));
    EXPECT_TRUE(video->IsPaused());
    Draw(*image, 60);
    EXPECT_EQ(texture->At(5, 5), 0x80336699u) << "no frame while paused";

    ASSERT_TRUE(Run("scene:SetPausedRecursive(false)"));
    EXPECT_FALSE(video->IsPaused());
    Draw(*image, 30);
    EXPECT_NEAR(int(texture->At(5, 5) & 0xFF), 219, 2) << "the first frame, not the second";
    Draw(*image, 30);
    EXPECT_NEAR(int(texture->At(5, 5) & 0xFF), 0, 2);

    // Pausing the movie alone (not its children) leaves the video playing.
    scene->SetPaused(true);
    EXPECT_FALSE(video->IsPaused());
}

TEST_F(ImageVideo, AScriptPlaylistPlaysIntoAnImage)
{
    Instance_Image* image = Image(L"pic", L"screen");
    ASSERT_NE(image, nullptr);
    SetGlobal("screen", image);
    ASSERT_TRUE(Run("list = Make('MultipleVideo')()\n"
                    "list:AddVideoEntry('grey.ogv', '', '', 1, 1, 0)\n"
                    "list:SetImage(screen)\n"
                    "list:SetImage(screen)\n" // again: one stand-in replaced by another
                    "started = list:Play(false, 0)"));
    EXPECT_EQ(Global("started"), "true");
    MultipleVideo* list = MultipleVideo::ShownBy(image->GetVideoSource());
    ASSERT_NE(list, nullptr);
    Draw(*image, 30);
    EXPECT_NEAR(int(texture->At(5, 5) & 0xFF), 219, 2);
    Draw(*image, 60);
    EXPECT_FALSE(list->IsActive()) << "the list played its one entry";
    // The script's playlist goes; the image goes on without it.
    delete list;
    EXPECT_EQ(image->GetVideoSource(), nullptr);
    Draw(*image, 10);
}

TEST_F(ImageVideo, APlaylistTheScriptLetsGoGoesWithItsTable)
{
    Instance_Image* image = Image(L"pic", L"screen");
    ASSERT_NE(image, nullptr);
    SetGlobal("screen", image);
    ASSERT_TRUE(Run("list = Make('MultipleVideo')()\n"
                    "list:AddVideoEntry('grey.ogv', '', '', 1, 2, 0)\n"
                    "list:SetImage(screen)\n"
                    "list:Play(true, 0)"));
    ASSERT_NE(MultipleVideo::ShownBy(image->GetVideoSource()), nullptr);
    Draw(*image, 10);
    // Nothing but the script held it: collected, it takes itself off its image.
    ASSERT_TRUE(Run("list = nil collectgarbage('collect')"));
    EXPECT_EQ(image->GetVideoSource(), nullptr);
    Draw(*image, 10);
}

} // namespace
} // namespace SceneTest
