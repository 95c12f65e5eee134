// A playing sound as its holders see it: seconds to the channel's milliseconds and back, refused
// times, the fixed answers of a stopped sound (which must leave the channel alone, since another
// sound may play on it now), paused sounds that are not stopped, and what it asks its definition.
#include "tests/media/sound/SoundWorld.h"

#include "engine/media/sound/FMODSound.h"

#include <cmath>

using namespace SoundTest;

namespace
{

class PlayingSound : public SoundWorld
{
protected:
    void SetUp() override
    {
        Write(L"long.wav", Level(4 * kRate, 0.5f)); // 4 s
        Write(L"music.ogg", SoundFiles::EncodeVorbis(SoundFiles::Sine(kRate, kRate, 300, 1, 0.5), 1, kRate));
        Write(L"music.OGG", files->files[L"music.ogg"]);
        WriteAudioXml(R"(
  <ClassDef name="sfx"/>
  <Sound name="long" source="long.wav" class="sfx" defaultvolume="0.8" priority="40"/>
  <Sound name="lower" source="music.ogg"/>
  <Sound name="upper" source="music.OGG"/>
)");
        Start(1);
        ASSERT_TRUE(manager->LoadAudioXml());
    }
};

} // namespace

TEST_F(PlayingSound, SecondsAndMilliseconds)
{
    WeakPtr<ISound> weak = manager->PlaySoundWithParams(L"long", false, false);
    ISound* sound = weak.Get();
    ASSERT_NE(sound, nullptr);
    EXPECT_TRUE(sound->SetPosition(1.5f));
    EXPECT_EQ(sound->GetPosition(), 1.5f);
    Mix(8 * 1000); // one more second
    EXPECT_EQ(sound->GetPosition(), 2.5f);
    // Truncated to whole milliseconds.
    EXPECT_TRUE(sound->SetPosition(0.0019f));
    EXPECT_EQ(sound->GetPosition(), 0.001f);
    EXPECT_FALSE(sound->SetPosition(4.0f)); // the end
    EXPECT_FALSE(sound->SetPosition(1.0e12f));
    // Times before the start, or no time at all, are refused instead of wrapping to a huge one.
    for (float bad : {-0.5f, -1.0e-6f, NAN, -INFINITY, INFINITY})
    {
        EXPECT_FALSE(sound->SetPosition(bad)) << bad;
        EXPECT_FALSE(sound->SetLoopPoints(bad, 1.0f)) << bad;
        EXPECT_FALSE(sound->SetLoopPoints(0.5f, bad)) << bad;
    }
    EXPECT_EQ(sound->GetPosition(), 0.001f);
    EXPECT_TRUE(sound->SetLoopPoints(0.5f, 1.0f));
    EXPECT_FALSE(sound->SetLoopPoints(1.0f, 0.5f));
    EXPECT_TRUE(sound->SetLoopCount(3));
    EXPECT_EQ(sound->GetLoopCount(), 3);
    sound->SetFrequency(4000.0f);
    EXPECT_EQ(sound->GetFrequency(), 4000.0f);
    sound->SetPan(-0.5f);
    EXPECT_EQ(sound->GetPan(), -0.5f);
    EXPECT_EQ(sound->GetVolume(), 0.8f);
    EXPECT_EQ(sound->GetSoundClass(), L"sfx");
    EXPECT_EQ(sound->GetDefaultVolume(), 0.8f);
    EXPECT_EQ(sound->GetPriority(), 40);
}

TEST_F(PlayingSound, AStoppedSoundAnswersDefaultsAndLeavesItsChannelAlone)
{
    WeakPtr<ISound> weak = manager->PlaySoundWithParams(L"long", false, false);
    // Keep the object past the manager's release so its answers can be read once stopped.
    RefPtr<ISound> sound(weak.Get());
    sound->SetPaused(true);
    EXPECT_TRUE(sound->GetPaused());
    EXPECT_FALSE(sound->IsStopped()); // paused is not stopped
    EXPECT_TRUE(sound->IsPlaying());
    sound->Stop();
    EXPECT_TRUE(sound->IsStopped());

    // The only channel now goes to another sound; the stopped one must not touch it.
    WeakPtr<ISound> next = manager->PlaySoundWithParams(L"lower", true, false);
    ASSERT_TRUE(next.IsAlive());
    next.Get()->SetVolume(0.3f);
    sound->SetVolume(1.0f);
    sound->SetPaused(true);
    sound->SetMute(true);
    sound->SetPan(1.0f);
    sound->SetFrequency(100.0f);
    sound->Stop();
    EXPECT_EQ(next.Get()->GetVolume(), 0.3f);
    EXPECT_FALSE(next.Get()->GetPaused());
    EXPECT_TRUE(next.Get()->IsPlaying());

    EXPECT_EQ(sound->GetVolume(), -1.0f);
    EXPECT_EQ(sound->GetPan(), -1.0f);
    EXPECT_EQ(sound->GetFrequency(), 0.0f);
    EXPECT_EQ(sound->GetPosition(), -1.0f);
    EXPECT_EQ(sound->GetLoopCount(), 0);
    EXPECT_FALSE(sound->SetPosition(0.0f));
    EXPECT_FALSE(sound->SetLoopCount(1));
    EXPECT_FALSE(sound->SetLoopPoints(0.0f, 1.0f));
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_FALSE(sound->GetPaused());
    // The name-based answers stay.
    EXPECT_EQ(sound->GetName(), L"long");
    EXPECT_EQ(sound->GetPriority(), 40);
    manager->Update();
    EXPECT_EQ(sound->GetRefCount(), 1); // the manager has let go
}

TEST_F(PlayingSound, AStolenChannelCountsAsStopped)
{
    // One channel: a new sound of equal priority takes it over.
    WeakPtr<ISound> first = manager->PlaySoundWithParams(L"lower", true, false);
    WeakPtr<ISound> second = manager->PlaySoundWithParams(L"upper", true, false);
    ASSERT_TRUE(first.IsAlive());
    ASSERT_TRUE(second.IsAlive());
    EXPECT_TRUE(first.Get()->IsStopped());
    EXPECT_FALSE(second.Get()->IsStopped());
    first.Get()->SetVolume(0.1f);
    EXPECT_EQ(second.Get()->GetVolume(), 1.0f);
    manager->Update();
    EXPECT_FALSE(first.IsAlive());
    // A less important sound cannot take it ("long" has priority 40, more important than 128).
    manager->StopAll();
    WeakPtr<ISound> important = manager->PlaySoundWithParams(L"long", false, false);
    EXPECT_FALSE(manager->PlaySoundWithParams(L"lower", false, false).IsAlive());
    EXPECT_TRUE(important.Get()->IsPlaying());
}

TEST_F(PlayingSound, VorbisIsFoundFromTheDataWhateverTheName)
{
    for (const wchar_t* name : {L"lower", L"upper"})
    {
        WeakPtr<ISound> sound = manager->PlaySoundWithParams(name, false, false);
        ASSERT_TRUE(sound.IsAlive());
        float loudest = 0.0f;
        for (float v : Mix(2000))
            loudest = std::max(loudest, std::fabs(v));
        EXPECT_GT(loudest, 0.3f);
        manager->StopAll();
    }
}

TEST(FMODSound, WithoutManagerOrChannel)
{
    FMODSound sound(L"x", Audio::Channel(), nullptr, nullptr);
    EXPECT_TRUE(sound.IsStopped());
    EXPECT_FALSE(sound.IsPlaying());
    EXPECT_FALSE(sound.GetPaused());
    EXPECT_EQ(sound.GetSoundClass(), L"");
    EXPECT_EQ(sound.GetDefaultVolume(), -1.0f);
    EXPECT_EQ(sound.GetPriority(), 0);
    EXPECT_EQ(sound.GetVolume(), -1.0f);
}
