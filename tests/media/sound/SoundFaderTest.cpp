// Fades stepped frame by frame through the manager's update: ramp sizes and exact ends, fades that
// turn round, fades of classes that end paused, and the cross-fade of held music.
#include "tests/media/sound/SoundWorld.h"

#include "engine/media/sound/SoundFader.h"

#include <cmath>

using namespace SoundTest;

namespace
{

class Fades : public SoundWorld
{
protected:
    void SetUp() override
    {
        Write(L"a.wav", Level(kRate * 10, 0.5f));
        Write(L"b.wav", Level(kRate * 10, 0.25f));
        WriteAudioXml(R"(
  <ClassDef name="music"/>
  <ClassDef name="sfx"/>
  <Sound name="half" source="a.wav" class="music" defaultvolume="0.5"/>
  <Sound name="full" source="b.wav" class="music"/>
  <Sound name="effect" source="a.wav" class="sfx"/>
)");
        Start();
        ASSERT_TRUE(manager->LoadAudioXml());
        fader = manager->GetFader();
    }
    // One frame: mixed audio (so positions move) and the manager's update.
    void Frame()
    {
        Mix(kRate / 60);
        manager->Update();
    }
    SoundFader* fader = nullptr;
};

} // namespace

TEST_F(Fades, FadeInRampsByEqualStepsAndEndsExactly)
{
    manager->FadeInSound(L"half", 2.0f, 0.0f, 1.0f, false);
    WeakPtr<ISound> sound = manager->FindPlayingSound(L"half");
    ASSERT_TRUE(sound.IsAlive());
    EXPECT_EQ(sound.Get()->GetVolume(), 0.0f);
    EXPECT_EQ(sound.Get()->GetLoopCount(), -1); // started by a fade: it loops
    ASSERT_EQ(fader->GetFadeIns().size(), 1u);
    const float step = 0.5f / 120.0f;
    EXPECT_FLOAT_EQ(fader->GetFadeIns()[0].step, step);
    // Each frame adds the step to the volume; the frame that reaches the target sets the target itself.
    // Steps of 0.5 / 120 summed in single precision fall a hair short after 120 frames, so the end
    // may take one frame more.
    float expected = 0.0f;
    int frames = 0;
    while (!fader->GetFadeIns().empty() && frames < 125)
    {
        Frame();
        ++frames;
        expected += step;
        if (!fader->GetFadeIns().empty())
        {
            ASSERT_EQ(sound.Get()->GetVolume(), expected) << frames;
        }
    }
    EXPECT_GE(frames, 120);
    EXPECT_LE(frames, 121);
    EXPECT_EQ(sound.Get()->GetVolume(), 0.5f);
}

TEST_F(Fades, DefaultsAndRefusals)
{
    // Duration 0 reaches the target in one frame; -1 picks each default (fade in: 1.5 s to 1.0).
    manager->FadeInSound(L"full", 0.0f, 0.0f, 1.0f, false);
    WeakPtr<ISound> full = manager->FindPlayingSound(L"full");
    Frame();
    EXPECT_EQ(full.Get()->GetVolume(), 1.0f);
    EXPECT_TRUE(fader->GetFadeIns().empty());

    manager->FadeInSound(L"effect", -1.0f, 0.0f, -1.0f, false);
    ASSERT_EQ(fader->GetFadeIns().size(), 1u);
    EXPECT_FLOAT_EQ(fader->GetFadeIns()[0].step, 1.0f / 90.0f);
    EXPECT_EQ(fader->GetFadeIns()[0].target, 1.0f);
    manager->StopAll();
    Frame();
    EXPECT_TRUE(fader->GetFadeIns().empty()); // its sound is gone

    // No entry when it would not move, or a value is negative; the start volume is still set.
    manager->FadeInSound(L"half", 1.0f, 1.0f, 0.5f, false);
    WeakPtr<ISound> half = manager->FindPlayingSound(L"half");
    EXPECT_EQ(half.Get()->GetVolume(), 0.5f);
    EXPECT_TRUE(fader->GetFadeIns().empty());
    manager->FadeSound(L"half", 1.0f, 0.0f, 1.0f);
    EXPECT_TRUE(fader->GetFadeOuts().empty());
    // Fading out a name that does not play does nothing.
    manager->FadeSound(L"effect", 1.0f, -1.0f, -1.0f);
    EXPECT_TRUE(fader->GetFadeOuts().empty());
}

TEST_F(Fades, NonFiniteOrNegativeDurationsFinishAtOnce)
{
    const float durations[] = {INFINITY, -INFINITY, NAN, 1e38f, -2.0f, -0.5f};
    for (const float duration : durations)
    {
        manager->FadeInSound(L"full", duration, 0.0f, 1.0f, false);
        WeakPtr<ISound> full = manager->FindPlayingSound(L"full");
        ASSERT_TRUE(full.IsAlive()) << duration;
        Frame();
        EXPECT_EQ(full.Get()->GetVolume(), 1.0f) << duration;
        EXPECT_TRUE(fader->GetFadeIns().empty()) << duration;

        manager->FadeSound(L"full", duration, -1.0f, 0.0f);
        Frame();
        EXPECT_TRUE(fader->GetFadeOuts().empty()) << duration;
        EXPECT_FALSE(manager->FindPlayingSound(L"full").IsAlive()) << "faded out and stopped: " << duration;
        for (float sample : Mix(4))
            ASSERT_TRUE(std::isfinite(sample)) << duration;
    }
}

TEST_F(Fades, FadeOutStopsAndATurnKeepsItsPace)
{
    manager->FadeInSound(L"full", 1.0f, 0.0f, 1.0f, false);
    WeakPtr<ISound> sound = manager->FindPlayingSound(L"full");
    for (int i = 0; i < 30; ++i)
        Frame();
    const float halfway = sound.Get()->GetVolume();
    EXPECT_NEAR(halfway, 0.5f, 1e-5f);
    // Fading out a sound that fades in turns the running ramp round.
    manager->FadeSound(L"full", 5.0f, -1.0f, 0.0f);
    ASSERT_TRUE(fader->GetFadeIns().empty());
    ASSERT_EQ(fader->GetFadeOuts().size(), 1u);
    EXPECT_FLOAT_EQ(fader->GetFadeOuts()[0].step, -1.0f / 60.0f);
    EXPECT_TRUE(fader->GetFadeOuts()[0].stopWhenDone);
    // A second fade-out of it is ignored.
    manager->FadeSound(L"full", 0.0f, -1.0f, 0.0f);
    EXPECT_FLOAT_EQ(fader->GetFadeOuts()[0].step, -1.0f / 60.0f);
    Frame();
    EXPECT_NEAR(sound.Get()->GetVolume(), halfway - 1.0f / 60.0f, 1e-5f);
    // And back up again, at the same pace.
    manager->FadeInSound(L"full", 9.0f, 0.0f, 1.0f, false);
    ASSERT_EQ(fader->GetFadeIns().size(), 1u);
    EXPECT_FLOAT_EQ(fader->GetFadeIns()[0].step, 1.0f / 60.0f);
    Frame();
    EXPECT_NEAR(sound.Get()->GetVolume(), halfway, 1e-5f);
    // Down to silence: the sound ends stopped.
    manager->FadeSound(L"full", 0.5f, -1.0f, 0.0f);
    for (int i = 0; i < 40 && sound.IsAlive(); ++i)
        Frame();
    EXPECT_FALSE(sound.IsAlive());
}

TEST_F(Fades, ClassFadesPauseAndResume)
{
    WeakPtr<ISound> half = manager->PlaySoundWithParams(L"half", true, false);
    WeakPtr<ISound> full = manager->PlaySoundWithParams(L"full", true, false);
    WeakPtr<ISound> effect = manager->PlaySoundWithParams(L"effect", true, false);
    fader->FadeGroupOut(L"music", 0.1f, -1.0f, 0.0f);
    EXPECT_EQ(fader->GetFadeOuts().size(), 2u);
    for (int i = 0; i < 10; ++i)
        Frame();
    // Paused, not stopped: still in the manager's list.
    ASSERT_TRUE(half.IsAlive());
    ASSERT_TRUE(full.IsAlive());
    EXPECT_TRUE(half.Get()->GetPaused());
    EXPECT_TRUE(full.Get()->GetPaused());
    EXPECT_EQ(half.Get()->GetVolume(), 0.0f);
    EXPECT_FALSE(effect.Get()->GetPaused());
    const float position = half.Get()->GetPosition();
    Frame();
    EXPECT_EQ(half.Get()->GetPosition(), position);
    // Fading the class in resumes them from where they were, each to its own default volume.
    fader->FadeGroupIn(L"music", 0.1f, 0.0f, 1.0f);
    EXPECT_FALSE(half.Get()->GetPaused());
    for (int i = 0; i < 10; ++i)
        Frame();
    EXPECT_EQ(half.Get()->GetVolume(), 0.5f);
    EXPECT_EQ(full.Get()->GetVolume(), 1.0f);
    EXPECT_GT(half.Get()->GetPosition(), position);
    // A class nothing plays in, or with no group, fades nothing.
    fader->FadeGroupOut(L"nothing", 1.0f, -1.0f, 0.0f);
    EXPECT_TRUE(fader->GetFadeOuts().empty());
}

TEST_F(Fades, CrossFadingHeldMusic)
{
    WeakPtr<ISound> held;
    CrossFadeSound(held, L"half", 0.5f, false);
    ASSERT_TRUE(held.IsAlive());
    ISound* first = held.Get();
    EXPECT_EQ(first->GetName(), L"half");
    for (int i = 0; i < 40; ++i)
        Frame();
    EXPECT_EQ(first->GetVolume(), 0.5f);
    const float position = first->GetPosition();
    EXPECT_GT(position, 0.0f);

    // The name already held is not started again: it plays on.
    CrossFadeSound(held, L"half", 0.5f, false);
    EXPECT_EQ(held.Get(), first);
    Frame();
    EXPECT_GT(first->GetPosition(), position);
    EXPECT_EQ(manager->GetSoundCount(), 1u);

    // Another name: the held one fades to a stop, the new one fades in and is held.
    CrossFadeSound(held, L"full", 0.5f, false);
    ASSERT_TRUE(held.IsAlive());
    EXPECT_EQ(held.Get()->GetName(), L"full");
    WeakPtr<ISound> old(first);
    for (int i = 0; i < 40; ++i)
        Frame();
    EXPECT_FALSE(old.IsAlive());
    EXPECT_EQ(held.Get()->GetVolume(), 1.0f);

    FadeOutSound(held, 0.2f);
    EXPECT_FALSE(held.IsAlive());
    EXPECT_EQ(fader->GetFadeOuts().size(), 1u);
}
