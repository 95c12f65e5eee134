// Theora video sources over videos encoded in the test: opening and the header search, pacing by
// the video's frame rate, the end of the file (loop, end delay, notices), and what reaches the target.
#include "engine/media/video/TextureVideoTarget.h"
#include "engine/media/video/TheoraAVideo.h"
#include "engine/media/video/TheoraVideo.h"
#include "engine/media/video/VideoSources.h"

#include "tests/media/video/VideoWorld.h"

#include <cmath>

namespace VideoTest
{
namespace
{

// Flat frames come back within a step or two of what was encoded.
MATCHER_P2(Near, expected, tolerance, "")
{
    return std::abs(int(arg) - int(expected)) <= tolerance;
}

class TheoraVideoTest : public VideoWorld
{
};

TEST_F(TheoraVideoTest, OpenFailsWithoutAUsableStream)
{
    VideoSpec spec;
    Bytes good = TheoraFiles::Encode(spec, {TheoraFiles::FlatFrame(spec, 100)});
    VideoSpec fourFourFour;
    fourFourFour.format = TH_PF_444;
    VideoSpec tooWide;
    tooWide.width = aTheoraVideo::MaxSide + 16;
    tooWide.height = 16;

    Write(L"garbage.ogv", Bytes(20000, 0x4F));
    Write(L"empty.ogv", {});
    Write(L"cut.ogv", Bytes(good.begin(), good.begin() + 60)); // inside the first header page
    Write(L"444.ogv", TheoraFiles::Encode(fourFourFour, {TheoraFiles::FlatFrame(fourFourFour, 100)}));
    Write(L"wide.ogv", TheoraFiles::Encode(tooWide, {TheoraFiles::FlatFrame(tooWide, 100)}));

    for (const wchar_t* name : {L"missing.ogv", L"garbage.ogv", L"empty.ogv", L"cut.ogv", L"444.ogv", L"wide.ogv"})
    {
        RecordingTarget target(16, 16);
        aTheoraVideo video(&target, name, false, &clock);
        EXPECT_FALSE(video.Open(false, 0.0f)) << name;
        EXPECT_FALSE(video.IsActive()) << name;
        EXPECT_EQ(UpdatesUntilFrame(video, 90), 0) << name;
        EXPECT_EQ(target.uploads, 0) << name;
    }
}

TEST_F(TheoraVideoTest, FindsTheVideoBehindAnotherStream)
{
    VideoSpec spec;
    spec.width = 32;
    spec.height = 24;
    spec.otherStreamFirst = true;
    Write(L"two.ogv", Steps(spec, 3));
    RecordingTarget target(32, 24);
    aTheoraVideo video(&target, L"two.ogv", false, &clock);
    ASSERT_TRUE(video.Open(false, 0.0f));
    EXPECT_EQ(video.GetWidth(), 32);
    EXPECT_EQ(video.GetHeight(), 24);
    EXPECT_DOUBLE_EQ(video.GetFrameInterval(), 0.5);
    int frames = 0;
    for (int i = 0; i < 200; ++i)
        frames += Tick(video) ? 1 : 0;
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(target.lastWidth, 32u);
    EXPECT_THAT(R(target.At(31, 23)), Near(40 + 2 * 20 - 16, 2)) << "the last frame";
}

TEST_F(TheoraVideoTest, TwoFramesASecondAtSixtyUpdatesGiveAFrameEveryThirtiethCall)
{
    VideoSpec spec; // 2 frames a second
    Write(L"v.ogv", Steps(spec, 8));
    RecordingTarget target(16, 16);
    aTheoraVideo video(&target, L"v.ogv", false, &clock);
    ASSERT_TRUE(video.Open(false, 0.0f));
    EXPECT_EQ(UpdatesUntilFrame(video, 100), 30);
    EXPECT_EQ(UpdatesUntilFrame(video, 100), 30);
    EXPECT_EQ(target.uploads, 2);
    EXPECT_THAT(G(target.At(5, 5)), Near(60 - 16, 2)) << "the second frame";

    // Ten seconds away: one frame at once, then the rate again; nothing is made up.
    clock.Advance(10 * kTicksPerSecond);
    EXPECT_TRUE(video.Update());
    EXPECT_EQ(UpdatesUntilFrame(video, 100), 30);
    EXPECT_EQ(target.uploads, 4);
    EXPECT_THAT(G(target.At(5, 5)), Near(100 - 16, 2)) << "the fourth frame, none skipped";

    // Paused: time passes, no frame; after it the next frame in order.
    video.SetPaused(true);
    EXPECT_EQ(UpdatesUntilFrame(video, 90), 0);
    video.SetPaused(false);
    EXPECT_EQ(UpdatesUntilFrame(video, 100), 30);
    EXPECT_THAT(G(target.At(5, 5)), Near(120 - 16, 2));
}

TEST_F(TheoraVideoTest, EndNoticesComeOnTime)
{
    VideoSpec spec;
    Write(L"v.ogv", Steps(spec, 2));
    struct Case
    {
        float delay;
        int updatesToNotice; // after the update that finds the end
    };
    for (const Case& c : {Case{0.0f, 0}, Case{-1.0f, 0}, Case{1.5f, 90}})
    {
        CountingListener listener;
        aTheoraVideo video(nullptr, L"v.ogv", false, &clock);
        video.AddListener(&listener);
        ASSERT_TRUE(video.Open(false, c.delay));
        EXPECT_EQ(UpdatesUntilFrame(video, 40), 30);
        EXPECT_EQ(UpdatesUntilFrame(video, 40), 30);
        // The third interval finds the end of the file.
        for (int i = 0; i < 29; ++i)
            EXPECT_FALSE(Tick(video));
        EXPECT_FALSE(Tick(video));
        EXPECT_EQ(listener.names.size(), c.updatesToNotice == 0 ? 1u : 0u) << c.delay;
        for (int i = 1; i < c.updatesToNotice; ++i)
        {
            EXPECT_FALSE(Tick(video));
            EXPECT_TRUE(video.IsActive()) << "the delay runs";
        }
        EXPECT_TRUE(listener.names.size() == 1u || c.updatesToNotice > 0);
        if (c.updatesToNotice > 0)
        {
            EXPECT_TRUE(listener.names.empty()) << "not before the delay";
            EXPECT_FALSE(Tick(video));
        }
        ASSERT_EQ(listener.names.size(), 1u) << c.delay;
        EXPECT_EQ(listener.names[0], L"v.ogv");
        EXPECT_FALSE(video.IsActive());
        for (int i = 0; i < 100; ++i)
            Tick(video);
        EXPECT_EQ(listener.names.size(), 1u) << "told once";
    }
}

TEST_F(TheoraVideoTest, ADelayThatRunsOutExactlyStillNotifies)
{
    // Half-second steps are exact in binary: 1.5 - 0.5 - 0.5 - 0.5 is 0.
    Platform::FakeCounter halves(2, 0);
    VideoSpec spec;
    Write(L"v.ogv", Steps(spec, 1));
    CountingListener listener;
    aTheoraVideo video(nullptr, L"v.ogv", false, &halves);
    video.AddListener(&listener);
    ASSERT_TRUE(video.Open(false, 1.5f));
    halves.Advance(1);
    EXPECT_TRUE(video.Update());
    halves.Advance(1);
    EXPECT_FALSE(video.Update()); // the end: the countdown starts
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(listener.names.empty());
        halves.Advance(1);
        video.Update();
    }
    EXPECT_EQ(listener.names.size(), 1u);
    EXPECT_FALSE(video.IsActive());
}

TEST_F(TheoraVideoTest, ALoopingVideoStartsAgainAndNeverNotifies)
{
    VideoSpec spec;
    Write(L"v.ogv", Steps(spec, 2, 50, 100)); // luma 50, 150
    RecordingTarget target(16, 16);
    CountingListener listener;
    aTheoraVideo video(&target, L"v.ogv", false, &clock);
    video.AddListener(&listener);
    ASSERT_TRUE(video.Open(true, 0.0f));
    std::vector<int> lumas;
    for (int i = 0; i < 6; ++i)
    {
        EXPECT_EQ(UpdatesUntilFrame(video, 40), 30) << i;
        lumas.push_back(G(target.At(0, 0)) + 16);
    }
    for (size_t i = 0; i < lumas.size(); ++i)
        EXPECT_THAT(lumas[i], Near(i % 2 ? 150 : 50, 2)) << i;
    EXPECT_TRUE(listener.names.empty());
    EXPECT_TRUE(video.IsActive());

    // With a delay the last frame stays that long before the first comes again.
    ASSERT_TRUE(video.Open(true, 1.0f));
    EXPECT_EQ(UpdatesUntilFrame(video, 40), 30);
    EXPECT_EQ(UpdatesUntilFrame(video, 40), 30);
    EXPECT_THAT(G(target.At(0, 0)) + 16, Near(150, 2));
    // 30 updates to the end, 60 of delay, then a frame interval.
    EXPECT_EQ(UpdatesUntilFrame(video, 200), 30 + 60 + 30);
    EXPECT_THAT(G(target.At(0, 0)) + 16, Near(50, 2));
    EXPECT_TRUE(listener.names.empty());
}

TEST_F(TheoraVideoTest, ALoopingVideoWithoutFramesRewindsOncePerUpdate)
{
    VideoSpec spec;
    Write(L"headers.ogv", TheoraFiles::Encode(spec, {}));
    aTheoraVideo video(nullptr, L"headers.ogv", false, &clock);
    ASSERT_TRUE(video.Open(true, 0.0f));
    // Each of these finds the end, starts again once and gives up for this update.
    for (int i = 0; i < 90; ++i)
        EXPECT_FALSE(Tick(video));
    EXPECT_TRUE(video.IsActive());
}

TEST_F(TheoraVideoTest, AListenerMayStartTheVideoAgainWhileItIsTold)
{
    VideoSpec spec;
    Write(L"v.ogv", Steps(spec, 1));
    RecordingTarget target(16, 16);
    aTheoraVideo video(&target, L"v.ogv", false, &clock);
    CountingListener listener;
    listener.onEvent = [&] { EXPECT_TRUE(video.Open(false, 0.0f)); };
    video.AddListener(&listener);
    ASSERT_TRUE(video.Open(false, 0.0f));
    EXPECT_EQ(UpdatesUntilFrame(video, 40), 30);
    for (int i = 0; i < 30; ++i)
        EXPECT_FALSE(Tick(video)); // the last finds the end, and the listener opens the video again
    EXPECT_EQ(listener.names.size(), 1u);
    EXPECT_TRUE(video.IsActive());
    EXPECT_EQ(UpdatesUntilFrame(video, 40), 30) << "the video plays again from its start";
    EXPECT_EQ(target.uploads, 2);
}

TEST_F(TheoraVideoTest, ListenersAreToldInOrderAndRemovedOnce)
{
    VideoSpec spec;
    Write(L"v.ogv", Steps(spec, 1));
    std::vector<int> order;
    CountingListener first;
    CountingListener second;
    first.onEvent = [&] { order.push_back(1); };
    second.onEvent = [&] { order.push_back(2); };
    aTheoraVideo video(nullptr, L"v.ogv", false, &clock);
    video.AddListener(&first);
    video.AddListener(&second);
    video.AddListener(&first);
    video.RemoveListener(&first); // the first entry only
    ASSERT_TRUE(video.Open(false, 0.0f));
    UpdatesUntilFrame(video, 40);
    UpdatesUntilFrame(video, 40);
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST_F(TheoraVideoTest, AlphaOnlyKeepsTheImageColours)
{
    // The video is 32 x 16; one image is larger, one smaller: only what they share is taken over.
    VideoSpec spec;
    spec.width = 32;
    spec.height = 16;
    Write(L"a.ogv", TheoraFiles::Encode(spec, {TheoraFiles::FlatFrame(spec, 240), TheoraFiles::FlatFrame(spec, 16)}));
    for (auto [w, h] : {std::pair{48u, 20u}, std::pair{8u, 4u}, std::pair{32u, 16u}})
    {
        RecordingTarget target(w, h, 0x00336699);
        std::unique_ptr<IImageSource> video = CreateVideoSource(&target, L"", L"a.ogv", &clock);
        ASSERT_TRUE(video->Open(false, 0.0f));
        EXPECT_EQ(target.reads, 1);
        EXPECT_EQ(UpdatesUntilFrame(*video, 40), 30);
        if (w < 32)
        {
            EXPECT_EQ(target.lastWidth, 32u);
            EXPECT_EQ(target.At(0, 0), 0x00336699u) << "a smaller image refuses the frame";
            continue;
        }
        EXPECT_EQ(target.At(0, 0), 0xFF336699u);
        EXPECT_EQ(target.At(31, 15), 0xFF336699u);
        EXPECT_EQ(UpdatesUntilFrame(*video, 40), 30);
        EXPECT_EQ(target.At(0, 0), 0x00336699u) << "frame by frame";
        if (w > 32)
        {
            EXPECT_EQ(target.At(40, 18), 0x00336699u) << "outside the video";
        }
    }
}

TEST_F(TheoraVideoTest, ColourPlusAlphaComposes)
{
    VideoSpec spec;
    spec.width = 16;
    spec.height = 16;
    // Colour: luma 81 with a red tint; alpha: the left half opaque, the right half clear.
    Write(L"c.ogv", TheoraFiles::Encode(spec, {TheoraFiles::FlatFrame(spec, 81, 90, 240)}));
    Write(L"m.ogv", TheoraFiles::Encode(spec, {TheoraFiles::LumaFrame(spec, [](uint32_t x, uint32_t) {
                                                    return uint8_t(x < 8 ? 240 : 16);
                                                })}));
    VideoSpec other = spec;
    other.width = 32;
    Write(L"big.ogv", TheoraFiles::Encode(other, {TheoraFiles::FlatFrame(other, 240)}));

    RecordingTarget target(16, 16, 0x11111111);
    CountingListener listener;
    std::unique_ptr<IImageSource> video = CreateVideoSource(&target, L"c.ogv", L"m.ogv", &clock);
    video->AddListener(&listener);
    ASSERT_TRUE(video->Open(false, 0.0f));
    EXPECT_EQ(target.reads, 0) << "a colour video does not read the image";
    EXPECT_EQ(video->GetWidth(), 16);
    EXPECT_EQ(UpdatesUntilFrame(*video, 40), 30);
    EXPECT_THAT(R(target.At(2, 2)), Near(255, 2));
    EXPECT_THAT(B(target.At(2, 2)), Near(0, 2));
    EXPECT_EQ(A(target.At(2, 2)), 255);
    EXPECT_EQ(A(target.At(13, 2)), 0);
    EXPECT_THAT(R(target.At(13, 2)), Near(255, 2)) << "colour under a clear alpha";
    EXPECT_EQ(UpdatesUntilFrame(*video, 40), 0);
    EXPECT_EQ(listener.names, (std::vector<std::wstring>{L"c.ogv"}));

    // Either file missing, or an alpha video of another size: refused.
    for (auto [colour, alpha] : {std::pair{L"c.ogv", L"none.ogv"}, std::pair{L"none.ogv", L"m.ogv"},
                                 std::pair{L"c.ogv", L"big.ogv"}})
    {
        std::unique_ptr<IImageSource> refused = CreateVideoSource(&target, colour, alpha, &clock);
        EXPECT_FALSE(refused->Open(false, 0.0f)) << colour << " " << alpha;
        EXPECT_FALSE(refused->IsActive()) << colour << " " << alpha;
    }
}

TEST_F(TheoraVideoTest, FramesReachATexture)
{
    VideoSpec spec;
    spec.width = 20;
    spec.height = 10;
    Write(L"v.ogv", TheoraFiles::Encode(spec, {TheoraFiles::FlatFrame(spec, 235)}));
    RefPtr<MemoryTexture> texture(new MemoryTexture(24, 12, 0x80402010));
    TextureVideoTarget target{RefPtr<IResourceTexture>(texture.Get())};
    std::unique_ptr<IImageSource> video = CreateVideoSource(&target, L"v.ogv", L"", &clock);
    ASSERT_TRUE(video->Open(false, 0.0f));
    EXPECT_EQ(UpdatesUntilFrame(*video, 40), 30);
    EXPECT_THAT(G(texture->At(19, 9)), Near(219, 2));
    EXPECT_EQ(A(texture->At(19, 9)), 255);
    EXPECT_EQ(texture->At(20, 9), 0x80402010u) << "beside the picture";
    EXPECT_EQ(texture->At(0, 10), 0x80402010u) << "below the picture";

    // An alpha-only video over the texture keeps its colours.
    Write(L"a.ogv", TheoraFiles::Encode(spec, {TheoraFiles::FlatFrame(spec, 16)}));
    std::unique_ptr<IImageSource> alpha = CreateVideoSource(&target, L"", L"a.ogv", &clock);
    ASSERT_TRUE(alpha->Open(false, 0.0f));
    EXPECT_EQ(UpdatesUntilFrame(*alpha, 40), 30);
    EXPECT_EQ(A(texture->At(3, 3)), 0);
    EXPECT_THAT(G(texture->At(3, 3)), Near(219, 2));

    // A texture smaller than the video takes nothing.
    RefPtr<MemoryTexture> small(new MemoryTexture(8, 8, 0x01020304));
    TextureVideoTarget smallTarget{RefPtr<IResourceTexture>(small.Get())};
    std::unique_ptr<IImageSource> refused = CreateVideoSource(&smallTarget, L"v.ogv", L"", &clock);
    ASSERT_TRUE(refused->Open(false, 0.0f));
    EXPECT_EQ(UpdatesUntilFrame(*refused, 40), 30);
    EXPECT_EQ(small->At(0, 0), 0x01020304u);
}

} // namespace
} // namespace VideoTest
