// Ambient sound scenes: range lists and their draws, the scene file, and the life of its sounds over
// time with a seeded generator: the looping envelope (fade in, hold, fade out, stop, pause) and the
// one-shot sound that plays at its level at once and waits its pause after it ends.
#include "tests/media/sound/SoundWorld.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/media/sound/AmbientSoundScene.h"

using namespace SoundTest;

TEST(RandomRange, Parse)
{
    using Pieces = std::vector<std::pair<float, float>>;
    const struct
    {
        const wchar_t* text;
        Pieces pieces;
    } cases[] = {
        {L"0.2/0.4,0.8", {{0.2f, 0.4f}, {0.8f, 0.8f}}},
        {L"", {}},
        {L"   3", {{3.0f, 3.0f}}},
        {L"1/2, x, 5/", {{1.0f, 2.0f}, {5.0f, 5.0f}}}, // a piece without a number is left out
        {L"-1/-0.5", {{-1.0f, -0.5f}}},
        {L"0.5 /1", {{0.5f, 0.5f}}}, // "%f/%f": the slash must follow the number
        {L"2/ 7", {{2.0f, 7.0f}}},
        {L"+4e-1,nan,inf", {{0.4f, 0.4f}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.text, c.text + std::wcslen(c.text)));
        RandomRange range;
        range.Parse(c.text, 9.0f);
        EXPECT_EQ(range.defaultValue, 9.0f);
        EXPECT_EQ(range.pieces, c.pieces);
    }
    RandomRange empty;
    empty.Parse(L"", 0.25f);
    EXPECT_EQ(empty.Pick(), 0.25f);
}

TEST(RandomRange, EachPieceIsEquallyLikely)
{
    RandomGenerator::ForThread().Seed(20240);
    RandomRange range;
    range.Parse(L"0.2/0.4,0.8", 1.0f);
    int exact = 0;
    const int draws = 10000;
    for (int i = 0; i < draws; ++i)
    {
        const float v = range.Pick();
        if (v == 0.8f)
            ++exact;
        else
            ASSERT_TRUE(v >= 0.2f && v < 0.4f) << v;
    }
    EXPECT_NEAR(double(exact) / draws, 0.5, 0.03);
}

namespace
{

class Ambient : public SoundWorld
{
protected:
    void SetUp() override
    {
        RandomGenerator::ForThread().Seed(77);
        Write(L"wind.wav", Level(kRate * 20, 1.0f));
        Write(L"bird.wav", Level(kRate / 4, 1.0f)); // a quarter of a second
        WriteAudioXml(R"(
  <Sound name="wind" source="wind.wav"/>
  <Sound name="bird" source="bird.wav"/>
)");
        WriteText(L"audio\\ambient\\garden.xml", R"(<?xml version="1.0"?>
<Scene>
  <Sound name="wind" loop="Yes" fade="0.5" playtime="2" volume="0.8" pan="-0.5" pause="1"/>
  <Sound name="bird" volume="0.4" pan="0.25/0.75" pause="0.5" delay="1" playtime="7" fade="3"/>
  <Sound volume="1"/>
  <Sound name="nothing" loop="1"/>
</Scene>)");
        Start();
        ASSERT_TRUE(manager->LoadAudioXml());
    }
    // One step of the scene, with the audio of that time mixed and the manager's frame.
    void Step(AmbientSoundScene& scene)
    {
        Mix(uint32_t(kDt * kRate));
        manager->Update();
        scene.Update(kDt);
    }
    static constexpr float kDt = 0.125f;
};

} // namespace

TEST_F(Ambient, LoadingTheSceneFile)
{
    AmbientSoundScene scene;
    EXPECT_FALSE(scene.Load(L"audio\\ambient\\none.xml"));
    EXPECT_TRUE(scene.GetEntries().empty());
    ASSERT_TRUE(scene.Load(L"audio\\ambient\\garden.xml"));
    const std::vector<SoundEntry>& entries = scene.GetEntries();
    ASSERT_EQ(entries.size(), 3u); // the element without a name is skipped
    EXPECT_EQ(entries[0].name, L"wind");
    EXPECT_TRUE(entries[0].loop);
    EXPECT_EQ(entries[0].fade, 0.5f);
    EXPECT_EQ(entries[0].playtime.pieces.size(), 1u);
    EXPECT_EQ(entries[1].name, L"bird");
    EXPECT_FALSE(entries[1].loop);
    // Play time and fade are read only for looping sounds.
    EXPECT_TRUE(entries[1].playtime.pieces.empty());
    EXPECT_EQ(entries[1].playtime.defaultValue, -1.0f);
    EXPECT_EQ(entries[1].fade, 0.1f);
    EXPECT_EQ(entries[2].fade, 0.1f);
    EXPECT_EQ(entries[2].volume.Pick(), 1.0f);
    EXPECT_FALSE(scene.IsPlaying());
    EXPECT_EQ(manager->GetSoundCount(), 0u); // loading starts nothing
}

TEST_F(Ambient, LoopingSoundEnvelope)
{
    AmbientSoundScene scene;
    ASSERT_TRUE(scene.Load(L"audio\\ambient\\garden.xml"));
    scene.Play();
    // First step: the wind starts silent, panned.
    Step(scene);
    WeakPtr<ISound> wind = manager->FindPlayingSound(L"wind");
    ASSERT_TRUE(wind.IsAlive());
    EXPECT_EQ(wind.Get()->GetVolume(), 0.0f);
    EXPECT_EQ(wind.Get()->GetPan(), -0.5f);
    EXPECT_EQ(wind.Get()->GetLoopCount(), -1);
    // Then: up over 0.5 s, at 0.8 for 2 s, down over 0.5 s, stopped at 3 s.
    for (int k = 1;; ++k)
    {
        Step(scene);
        const float t = kDt * float(k);
        SCOPED_TRACE(t);
        if (t >= 3.0f)
        {
            EXPECT_FALSE(wind.IsAlive() && wind.Get()->IsPlaying());
            break;
        }
        ASSERT_TRUE(wind.IsAlive());
        float expected = 0.8f;
        if (t < 0.5f)
            expected = 0.8f * t / 0.5f;
        else if (t >= 2.5f)
            expected = (3.0f - t) * 0.8f / 0.5f;
        ASSERT_FLOAT_EQ(wind.Get()->GetVolume(), expected);
    }
    // A pause of 1 s, then it starts again.
    for (int k = 0; k < 7; ++k)
    {
        Step(scene);
        EXPECT_FALSE(manager->FindPlayingSound(L"wind").IsAlive()) << k;
    }
    Step(scene);
    EXPECT_TRUE(manager->FindPlayingSound(L"wind").IsAlive());
    scene.Stop();
    EXPECT_FALSE(manager->FindPlayingSound(L"wind").IsAlive());
    EXPECT_FALSE(manager->FindPlayingSound(L"bird").IsAlive());
}

TEST_F(Ambient, OneShotSoundPlaysAtItsLevelAndPausesAfterItEnds)
{
    AmbientSoundScene scene;
    ASSERT_TRUE(scene.Load(L"audio\\ambient\\garden.xml"));
    scene.Play();
    // Waits out its delay of 1 s.
    for (int k = 0; k < 7; ++k)
    {
        Step(scene);
        EXPECT_FALSE(manager->FindPlayingSound(L"bird").IsAlive()) << k;
    }
    Step(scene);
    WeakPtr<ISound> bird = manager->FindPlayingSound(L"bird");
    ASSERT_TRUE(bird.IsAlive());
    EXPECT_EQ(bird.Get()->GetVolume(), 0.4f);
    const float pan = bird.Get()->GetPan();
    EXPECT_TRUE(pan >= 0.25f && pan < 0.75f) << pan;
    EXPECT_EQ(bird.Get()->GetLoopCount(), 0);
    EXPECT_TRUE(scene.GetEntries()[1].active);
    // It lasts 0.25 s: two steps of audio; the step that finds it ended draws the pause.
    Step(scene);
    Step(scene);
    EXPECT_FALSE(scene.GetEntries()[1].active);
    EXPECT_EQ(scene.GetEntries()[1].wait, 0.5f);
    EXPECT_EQ(scene.GetEntries()[1].timer, 0.0f);
    for (int k = 0; k < 3; ++k)
    {
        Step(scene);
        EXPECT_FALSE(manager->FindPlayingSound(L"bird").IsAlive()) << k;
    }
    Step(scene);
    EXPECT_TRUE(manager->FindPlayingSound(L"bird").IsAlive());
}

TEST_F(Ambient, ASoundThatCannotPlayWaitsForItsPause)
{
    AmbientSoundScene scene;
    ASSERT_TRUE(scene.Load(L"audio\\ambient\\garden.xml"));
    scene.Play();
    Step(scene);
    const SoundEntry& nothing = scene.GetEntries()[2];
    EXPECT_TRUE(nothing.active); // tried; found out on the next step
    Step(scene);
    EXPECT_FALSE(nothing.active);
    // Playing again while playing changes nothing; after Stop, Play starts over.
    scene.Play();
    EXPECT_TRUE(manager->FindPlayingSound(L"wind").IsAlive());
    scene.Stop();
    EXPECT_FALSE(scene.IsPlaying());
    scene.Update(10.0f);
    EXPECT_EQ(manager->FindPlayingSound(L"wind").IsAlive(), false);
}
