// The movie's timeline: stepping by rate, multiplier and direction, frame actions and gotos with
// their events in order, labels, key entries and tweens, notifications, pausing, and the bounds
// that keep wild rates, goto cycles and short key lists from hanging or reading past the data.
#include "tests/scene/display/MovieFixture.h"

#include "engine/core/time/TimeManager.h"

#include <cmath>
#include <limits>

namespace SceneTest
{

TARN_IMPLEMENT_RCLASS(MovieTestImage, Instance_Base, RObjectFactory<MovieTestImage>)

namespace
{

using Strings = std::vector<std::string>;

class MoviePlayback : public MovieFixture
{
protected:
    void SetUp() override
    {
        MovieFixture::SetUp();
        Define(MovieDef("kid", 1, 30, "") +
               // Ten frames; labels on 2 and 5; a child living on frames 1 to 7 that moves one pixel a
               // frame.
               MovieDef("walk", 10, 30,
                        "<Label name=\"two\" frame=\"2\"/><Label name=\"five\" frame=\"5\"/>"
                        "<Label name=\"fifth\" frame=\"6\"/>" +
                            Entry("a", "kid", 1, 8, 1, Frames(10, 100))) +
               MovieDef("actions", 10, 30,
                        "<Label name=\"two\" frame=\"2\"/>"
                        "<Event frame=\"5\" type=\"gotoAndStop\" targetframe=\"2\"/>"
                        "<Event frame=\"8\" type=\"stop\"/>" +
                            Entry("early", "kid", 2, 4, 1, Frames(10)) + Entry("late", "kid", 5, 9, 1, Frames(10))));
    }

    Instance_Movie* Playing(const std::wstring& definition, const char* global)
    {
        Instance_Movie* movie = Make(root, definition, L"m");
        EXPECT_NE(movie, nullptr);
        if (movie)
        {
            Watch(movie, global);
            movie->playing = true;
        }
        return movie;
    }
};

TEST_F(MoviePlayback, EachStepAppliesAFrameWithItsOwnEvents)
{
    Instance_Movie* movie = Playing(L"walk", "m");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->currentFrame, 0u) << "creation applies frame 0";
    EXPECT_EQ(Seen(), Strings{}) << "frame 0 was applied before the script could listen";

    root->Update(0.1f); // 30 fps: three frames
    EXPECT_EQ(movie->currentFrame, 3u);
    EXPECT_EQ(Seen(), (Strings{"m frame 1", "m frame 2", "m label two", "m frame 3", "m load"}))
        << "each frame in turn, then the owed OnLoad at the dispatch";
    EXPECT_NEAR(movie->frameFraction, 0.0f, 1e-4f);
    ASSERT_NE(Child(movie, L"a"), nullptr) << "made on frame 1";
    EXPECT_EQ(Child(movie, L"a")->x, 102.0f) << "the key of frame 3 (third key of its life)";

    // Time below a ten-thousandth of a second does nothing at all.
    root->Update(0.000009f);
    EXPECT_EQ(movie->currentFrame, 3u);
    EXPECT_EQ(Seen(), Strings{});

    // A second's worth: thirty frames, looping from the last frame to frame 0.
    root->Update(1.0f);
    EXPECT_EQ(movie->currentFrame, 3u);
    const Strings seen = Seen();
    EXPECT_EQ(std::count(seen.begin(), seen.end(), std::string("m frame 0")), 3);
    EXPECT_EQ(Child(movie, L"a")->x, 102.0f);
}

TEST_F(MoviePlayback, LoopingReverseStopAndChangesOfSpeedOrDirectionMidStep)
{
    Instance_Movie* movie = Playing(L"walk", "m");
    ASSERT_NE(movie, nullptr);
    movie->SetFrame(9);
    Seen();
    root->Update(1.0f / 30.0f + 0.001f);
    EXPECT_EQ(movie->currentFrame, 0u) << "the last frame loops to frame 0";
    EXPECT_EQ(Child(movie, L"a"), nullptr) << "frame 0 is outside the child's life";

    // Reverse holds at frame 0 and raises nothing there.
    movie->reverse = true;
    movie->frameFraction = 0;
    Seen();
    root->Update(0.1f);
    EXPECT_EQ(movie->currentFrame, 0u);
    EXPECT_EQ(Seen(), Strings{});
    EXPECT_LE(movie->frameFraction, 0.0f) << "the fraction runs negative in reverse";

    // Stepping backwards from 5.
    movie->SetFrame(5);
    movie->frameFraction = 0;
    Seen();
    root->Update(0.07f); // 2.1 frames back
    EXPECT_EQ(movie->currentFrame, 3u);
    EXPECT_EQ(Seen(), (Strings{"m frame 4", "m frame 3"}));
    movie->reverse = false;

    // A stop action drops the rest of the time.
    Instance_Movie* stopper = Make(root, L"actions", L"stopper");
    stopper->SetFrame(7);
    stopper->playing = true;
    root->Update(0.05f + 0.015f); // 1.95 frames: frame 8 stops with 0.95 left over
    EXPECT_EQ(stopper->currentFrame, 8u);
    EXPECT_FALSE(stopper->playing);
    EXPECT_EQ(stopper->frameFraction, 0.0f);

    // A script that doubles the multiplier on a frame doubles what is left; one that turns the
    // direction round negates it.
    movie->SetFrame(0);
    movie->frameFraction = 0;
    Run("m.OnFrameChanged = function(self, f) if f == 1 then self:SetFrameMultiplier(2) end end");
    root->Update(0.05f); // 1.5 frames: frame 1, then 0.5 left, doubled to 1.0: frame 2
    EXPECT_EQ(movie->currentFrame, 2u);
    EXPECT_NEAR(movie->frameFraction, 0.0f, 1e-4f);
    movie->frameMultiplier = 1;
    movie->frameFraction = 0;
    Run("m.OnFrameChanged = function(self, f) if f == 3 then self:SetReverse(true) end end");
    root->Update(0.05f); // frame 3, then 0.5 left, negated: reverse with -0.5 kept
    EXPECT_EQ(movie->currentFrame, 3u);
    EXPECT_NEAR(movie->frameFraction, -0.5f, 1e-4f);
}

TEST_F(MoviePlayback, GotoAndStopRaisesTheStopThenTheTargetFrameTwice)
{
    Instance_Movie* movie = Playing(L"actions", "m");
    ASSERT_NE(movie, nullptr);
    auto* handler = new RecordingHandler;
    movie->SetEventHandler(handler);
    movie->ownsEventHandler = true;
    movie->SetFrame(4);
    root->Update(0.001f); // deliver what is queued so far
    handler->seen.clear();
    Seen();

    root->Update(1.0f / 30.0f + 0.001f); // frame 5: goto 2 and stop
    EXPECT_EQ(Seen(), (Strings{"m stop", "m frame 2", "m label two", "m frame 2", "m label two"}));
    EXPECT_EQ(movie->currentFrame, 2u);
    EXPECT_EQ(movie->requestedFrame, 2u);
    EXPECT_FALSE(movie->playing);
    EXPECT_NE(Child(movie, L"early"), nullptr) << "frame 2's children are made";
    EXPECT_EQ(Child(movie, L"late"), nullptr) << "frame 5's child came and went";
    EXPECT_EQ(handler->seen, (Strings{"stop", "frame", "label two", "frame", "label two", "update"}))
        << "the handler hears the same, after the timeline, then its update";
}

TEST_F(MoviePlayback, LabelsAndTheirLookups)
{
    Instance_Movie* movie = Make(root, L"walk", L"m");
    uint32_t frame = 99;
    EXPECT_TRUE(movie->LookupLabelFrame(L"five", frame));
    EXPECT_EQ(frame, 5u);
    EXPECT_FALSE(movie->LookupLabelFrame(L"fiv", frame));
    EXPECT_TRUE(movie->LookupPartialLabelFrame(L"fi", frame));
    EXPECT_EQ(frame, 5u) << "the first label in frame order";
    EXPECT_FALSE(movie->GotoLabel(L"nowhere"));
    EXPECT_EQ(movie->currentFrame, 0u);
    EXPECT_TRUE(movie->GotoLabel(L"two"));
    EXPECT_EQ(movie->currentFrame, 2u);
    EXPECT_EQ(movie->GetCurrentLabel(), L"two");
    EXPECT_EQ(movie->GetLabelAtFrame(6), L"fifth");
    EXPECT_EQ(movie->GetLabelAtFrame(7), L"");
    EXPECT_EQ(movie->GetNumFrames(), 10u);

    // Partial labels set the frame of every movie below that has one.
    Instance_Movie* inner = Make(movie, L"walk", L"inner");
    Instance_Movie* plain = Make(movie, L"kid", L"plain");
    movie->SetFrameFromPartialLabelRecursive(L"fif");
    EXPECT_EQ(movie->currentFrame, 6u);
    EXPECT_EQ(inner->currentFrame, 6u);
    EXPECT_EQ(plain->currentFrame, 0u);

    // A movie whose definition went is an inert container.
    ui->GetDefinitionMap()->RemoveDefinitions(L"walk");
    EXPECT_EQ(movie->GetNumFrames(), 0u);
    EXPECT_FALSE(movie->GotoLabel(L"two"));
    movie->playing = true;
    root->Update(1.0f);
    EXPECT_EQ(movie->currentFrame, 6u);
    EXPECT_NE(Child(movie, L"inner"), nullptr);
}

TEST_F(MoviePlayback, KeysAndTweens)
{
    Define(MovieDef("tweened", 3, 10,
                    Entry("t", "pic", 0, 3, 1,
                          "<Frame transform=\"2,0,0,1,0,0\" alpha=\"0\" color=\"-16777216\" isTween=\"1\"/>"
                          "<Frame transform=\"4,0,0,3,10,20\" alpha=\"100\" color=\"-2\" isTween=\"1\"/>"
                          "<Frame transform=\"1,0,0,1,50,50\" alpha=\"50\" isTween=\"1\"/>")) +
           "<Definition type=\"image\" name=\"pic\" src=\"pic.png\"/>");
    Instance_Movie* movie = Make(root, L"tweened", L"m");
    ASSERT_NE(movie, nullptr);
    auto* image = RObjectCast<MovieTestImage>(Child(movie, L"t"));
    ASSERT_NE(image, nullptr) << "image children come through the image class's registry name";
    EXPECT_EQ(image->colours, std::vector<uint32_t>{0xFF000000u});
    EXPECT_EQ(image->scaleX, 2.0f);

    movie->playing = true;
    root->Update(0.05f); // half a frame
    EXPECT_EQ(movie->currentFrame, 0u);
    EXPECT_FLOAT_EQ(image->x, 5.0f);
    EXPECT_FLOAT_EQ(image->y, 10.0f);
    EXPECT_FLOAT_EQ(image->scaleX, 3.0f);
    EXPECT_FLOAT_EQ(image->scaleY, 2.0f);
    EXPECT_FLOAT_EQ(image->opacity, 0.5f);
    EXPECT_EQ(image->colours.back(), 0xFF7F7F7Fu) << "each channel truncated: 127.5 gives 127";
    float left, top, right, bottom;
    movie->GetBounds(left, top, right, bottom, false);
    EXPECT_FLOAT_EQ(right, 35.0f) << "the movie's extent follows its tweened child";

    // The last frame's tween flag has no next frame: its key stands.
    movie->SetFrame(2);
    movie->frameFraction = 0;
    root->Update(0.05f);
    EXPECT_EQ(movie->currentFrame, 2u);
    EXPECT_EQ(image->x, 50.0f);

    // Stopped, the keys stand; a script's move is overwritten at the next key.
    movie->playing = false;
    image->SetX(7);
    movie->SetFrame(1);
    EXPECT_EQ(image->x, 10.0f);
    root->Update(0.05f);
    EXPECT_EQ(image->x, 10.0f);
}

// The same with the engine's own image class: its tint is the key's colour without the alpha byte.
TEST_F(MoviePlayback, RealImagesFollowTheirKeys)
{
    images.reset();
    Define(MovieDef("tinted", 2, 10,
                    Entry("t", "pic", 0, 2, 1,
                          "<Frame transform=\"1,0,0,1,0,0\" alpha=\"0\" color=\"-16777216\" isTween=\"1\"/>"
                          "<Frame transform=\"1,0,0,1,10,0\" alpha=\"100\" color=\"-2\"/>")) +
           "<Definition type=\"image\" name=\"pic\" src=\"pic.png\"/>");
    Instance_Movie* movie = Make(root, L"tinted", L"m");
    ASSERT_NE(movie, nullptr);
    auto* image = RObjectCast<Instance_Image>(Child(movie, L"t"));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->colour, 0u);
    movie->playing = true;
    root->Update(0.05f);
    EXPECT_EQ(image->colour, 0x7F7F7Fu);
    EXPECT_FLOAT_EQ(image->x, 5.0f);
    EXPECT_FLOAT_EQ(image->opacity, 0.5f);
    ui->Render(); // a picture that did not load draws nothing, and nothing breaks
    movie->SetFrame(1);
    EXPECT_EQ(image->colour, 0xFFFFFEu);
}

TEST_F(MoviePlayback, NotificationsWaitForTheMoviesOwnUpdate)
{
    Instance_Movie* movie = Make(root, L"walk", L"m");
    RecordingHandler handler;
    movie->SetEventHandler(&handler);
    movie->SetFrame(2);
    EXPECT_TRUE(handler.seen.empty()) << "outside an update nothing is delivered";
    root->Update(0.001f);
    EXPECT_EQ(handler.seen, (Strings{"frame", "frame", "label two", "update", "load"}))
        << "creation's frame 0 waited too; the owed load comes once a handler exists";
    handler.seen.clear();
    root->Update(0.001f);
    EXPECT_EQ(handler.seen, Strings{"update"}) << "the load notice comes once";

    // Setting the same frame again raises nothing; a null handler drops what waits.
    movie->SetFrame(2);
    movie->SetFrame(3);
    movie->SetEventHandler(nullptr);
    EXPECT_TRUE(movie->eventQueue.empty());
    movie->SetEventHandler(&handler);
    handler.seen.clear();
    root->Update(0.001f);
    EXPECT_EQ(handler.seen, Strings{"update"});
    movie->SetEventHandler(nullptr);

    // A load owed since creation and a load queued later (a clone's) make one notice, not two.
    Instance_Movie* late = Make(root, L"walk", L"late");
    late->SetEventHandler(&handler);
    late->QueueEvent(Instance_Movie::EventKind::Load);
    handler.seen.clear();
    root->Update(0.001f);
    root->Update(0.001f);
    EXPECT_EQ(std::count(handler.seen.begin(), handler.seen.end(), std::string("load")), 1);
    late->SetEventHandler(nullptr);
}

TEST_F(MoviePlayback, PauseStopsTheWholeSubtreeAndTimeChannelsReplaceTheDelta)
{
    Instance_Movie* outer = Make(root, L"walk", L"outer");
    Instance_Movie* inner = Make(outer, L"walk", L"inner");
    Instance_Movie* doomed = Make(inner, L"kid", L"doomed");
    outer->playing = inner->playing = true;
    doomed->Delete(false);
    outer->SetPausedRecursive(true);
    EXPECT_TRUE(inner->paused);
    inner->paused = false;
    root->Update(0.1f);
    EXPECT_EQ(outer->currentFrame, 0u);
    EXPECT_EQ(inner->currentFrame, 0u) << "a paused parent holds its children whatever their flags";
    EXPECT_EQ(inner->pendingDeletes.size(), 1u) << "deferred deletions wait as well";
    outer->paused = false;
    root->Update(0.1f);
    EXPECT_EQ(inner->currentFrame, 3u);
    EXPECT_TRUE(inner->pendingDeletes.empty());

    // With a time channel the movie takes that clock's delta instead of its parent's.
    TimeManager time;
    time.GetClock(1).deltaSeconds = 0.0f;
    inner->SetTimeChannel(1);
    root->Update(0.1f);
    EXPECT_EQ(outer->currentFrame, 6u);
    EXPECT_EQ(inner->currentFrame, 3u) << "its clock stood still";
    time.GetClock(1).deltaSeconds = 1.0f / 15.0f;
    root->Update(0.1f);
    EXPECT_EQ(inner->currentFrame, 5u);
}

// Rates and multipliers that do not give a finite number of frames: the update ends, bounded.
TEST_F(MoviePlayback, WildRatesAndMultipliersEndTheUpdate)
{
    Define(MovieDef("wild", 4, 0xFFFFFFFF, "")); // "-1" as an unsigned rate
    Define("<Definition type=\"movie\" name=\"minus\" length=\"4\" fps=\"-1\"/>");
    struct Case
    {
        const wchar_t* definition;
        float multiplier;
        float dt;
    };
    const Case cases[] = {
        {L"wild", 1.0f, 1.0f / 60.0f},
        {L"minus", 1.0f, 1.0f / 60.0f},
        {L"walk", 1e30f, 1.0f / 60.0f},
        {L"walk", std::numeric_limits<float>::infinity(), 1.0f / 60.0f},
        {L"walk", std::numeric_limits<float>::quiet_NaN(), 1.0f / 60.0f},
        {L"walk", 1.0f, std::numeric_limits<float>::infinity()},
        {L"walk", -1e30f, 1.0f},
    };
    int n = 0;
    for (const Case& c : cases)
    {
        Instance_Movie* movie = Make(root, c.definition, L"m" + std::to_wstring(n++));
        ASSERT_NE(movie, nullptr);
        movie->playing = true;
        movie->frameMultiplier = c.multiplier;
        root->Update(c.dt);
        EXPECT_TRUE(std::isfinite(movie->frameFraction));
        EXPECT_LT(std::fabs(movie->frameFraction), 1.0f);
        EXPECT_LT(movie->currentFrame, 10u);
        movie->Delete(false);
    }
}

TEST_F(MoviePlayback, AGotoCycleStopsAtTheNestingBound)
{
    Define(MovieDef("cycle", 4, 30,
                    "<Event frame=\"1\" type=\"gotoAndPlay\" targetframe=\"2\"/>"
                    "<Event frame=\"2\" type=\"gotoAndPlay\" targetframe=\"1\"/>"));
    DefinitionTest::CapturingLogger logger;
    Instance_Movie* movie = Playing(L"cycle", "m");
    ASSERT_NE(movie, nullptr);
    movie->SetFrame(1);
    const Strings seen = Seen();
    EXPECT_GE(seen.size(), size_t(Instance_Movie::MaxGotoDepth));
    EXPECT_LE(seen.size(), size_t(Instance_Movie::MaxGotoDepth) + 2);
    EXPECT_EQ(movie->currentFrame, movie->requestedFrame);
    EXPECT_TRUE(movie->playing);
    EXPECT_FALSE(logger.lines.empty()) << "the cut is logged";
    movie->SetFrame(0);
    root->Update(0.1f);
    EXPECT_LT(movie->currentFrame, 4u) << "playing on after the cut";
}

// Frames past the keys of an entry (a frame beyond the movie's length, or a life that reaches past
// it) leave the child where it was instead of reading past the key list.
TEST_F(MoviePlayback, FramesWithoutKeysLeaveTheChildAlone)
{
    Define(MovieDef("short", 3, 30, Entry("long", "kid", 1, 50, 1, Frames(3, 10))));
    Instance_Movie* movie = Make(root, L"short", L"m");
    movie->SetFrame(2);
    Instance_Base* child = Child(movie, L"long");
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->x, 11.0f) << "key 1 of its life";
    movie->SetFrame(3);
    EXPECT_EQ(child->x, 12.0f) << "its last key";
    for (uint32_t frame : {4u, 20u, 49u})
    {
        movie->SetFrame(frame);
        EXPECT_EQ(Child(movie, L"long"), child) << frame;
        EXPECT_EQ(child->x, 12.0f) << frame;
    }
    movie->SetFrame(50);
    EXPECT_EQ(Child(movie, L"long"), nullptr);
    // The next step from beyond the end wraps to frame 0.
    movie->SetFrame(7);
    movie->playing = true;
    root->Update(1.0f / 30.0f + 0.001f);
    EXPECT_EQ(movie->currentFrame, 0u);
}

} // namespace
} // namespace SceneTest
