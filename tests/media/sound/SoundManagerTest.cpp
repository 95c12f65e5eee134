// The sound manager: the "Audio\Audio.xml" table, playing by name and by path, the sound list and
// its release of finished sounds (callback handlers, streams let go and loaded again), pause, mute
// and stop by all or by class, class volumes heard through the manual output, switching sound off
// and on, the console commands, and what happens without a system.
#include "tests/media/sound/SoundWorld.h"

#include "engine/media/sound/FMODResource.h"
#include "engine/media/sound/FMODSound.h"
#include "engine/media/sound/SoundFader.h"

using namespace SoundTest;

namespace
{

class SoundManager : public SoundWorld
{
protected:
    // Two classes and a few sounds of 100 ms each, one streamed.
    void Standard()
    {
        Write(L"sfx\\one.wav", Level(800));
        Write(L"sfx\\two.wav", Level(800, 0.5f));
        Write(L"music\\song.ogg", SoundFiles::EncodeVorbis(SoundFiles::Sine(800, kRate, 200, 1, 0.5), 1, kRate));
        WriteAudioXml(R"(
  <ClassDef name="sfx"/>
  <ClassDef name="music"/>
  <Sound name="one" source="sfx\one.wav" class="sfx" defaultvolume="0.5"/>
  <Sound name="two" source="sfx\two.wav" class="sfx"/>
  <Sound name="song" source="music\song.ogg" class="music" streaming="1"/>
  <Sound name="loose" source="sfx\one.wav" class="unlisted" defaultvolume="0.25"/>
)");
        Start();
        ASSERT_TRUE(manager->LoadAudioXml());
    }
};

float left(const std::vector<float>& mix, size_t frame)
{
    return mix[2 * frame];
}

} // namespace

TEST_F(SoundManager, AudioXmlTable)
{
    Write(L"a.wav", Level(10));
    Write(L"b.wav", Level(10));
    Write(L"c.wav", Level(10));
    WriteAudioXml(R"(
  <ClassDef name="voice"/>
  <Sound name="plain" source="a.wav"/>
  <Sound name="plain" source="b.wav" class="voice" priority="5"/>
  <Sound name="full" source="b.wav" defaultvolume="0.25" class="voice" priority="0x10" streaming="1"/>
  <Sound name="octal" source="a.wav" priority="010" streaming="true"/>
  <Sound name="yes" source="a.wav" streaming="yes"/>
  <Sound name="two" source="c.wav" streaming="2"/>
  <Sound name="empty" source="a.wav" class="" priority="" defaultvolume=""/>
  <Sound name="missing file" source="nothing.wav"/>
  <Sound name="Case" source="a.wav"/>
)");
    FMODManager& m = Start();
    ASSERT_TRUE(m.LoadAudioXml());
    const auto& definitions = m.GetDefinitions();
    const struct
    {
        const wchar_t* name;
        const wchar_t* className;
        float volume;
        int32_t priority;
        bool streaming;
    } expected[] = {
        {L"plain", L"default", 1.0f, 128, false}, // the first of two with the same name
        {L"full", L"voice", 0.25f, 16, true},
        {L"octal", L"default", 1.0f, 8, false},   // "true" is no number: loaded whole
        {L"yes", L"default", 1.0f, 128, false},
        {L"two", L"default", 1.0f, 128, true},
        {L"empty", L"default", 1.0f, 128, false}, // empty attributes count as absent
        {L"Case", L"default", 1.0f, 128, false},
    };
    EXPECT_EQ(definitions.size(), std::size(expected) + 1);
    for (const auto& e : expected)
    {
        SCOPED_TRACE(testing::Message() << std::string(e.name, e.name + std::wcslen(e.name)));
        ASSERT_TRUE(m.HasDefinition(e.name));
        EXPECT_EQ(m.GetSoundClass(e.name), e.className);
        EXPECT_EQ(m.GetDefaultVolume(e.name), e.volume);
        EXPECT_EQ(m.GetPriority(e.name), e.priority);
        auto* resource = dynamic_cast<FMODResource*>(definitions.at(e.name).resource.Get());
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(resource->IsStreaming(), e.streaming);
    }
    // Files are opened at the first play: a missing one is defined and plays nothing.
    EXPECT_TRUE(m.HasDefinition(L"missing file"));
    EXPECT_FALSE(m.PlaySoundWithParams(L"missing file", false, false).IsAlive());
    EXPECT_FALSE(m.HasDefinition(L"case"));
    EXPECT_TRUE(m.HasClass(L"voice"));
    EXPECT_TRUE(m.HasClass(L"default"));
    // Definitions of one source share one resource, the first definition's streaming flag holding.
    EXPECT_EQ(definitions.at(L"plain").resource.Get(), definitions.at(L"octal").resource.Get());
    EXPECT_EQ(definitions.at(L"plain").resource.Get(), definitions.at(L"empty").resource.Get());
    EXPECT_NE(definitions.at(L"plain").resource.Get(), definitions.at(L"full").resource.Get());
    // Nothing is loaded before the first play.
    EXPECT_FALSE(definitions.at(L"plain").resource->IsLoaded());
    EXPECT_EQ(files->opens[L"a.wav"], 0);
}

TEST_F(SoundManager, MalformedEntriesStopTheLoad)
{
    Write(L"a.wav", Level(10));
    const struct
    {
        const char* name;
        const char* body;
        std::vector<const wchar_t*> defined;
    } cases[] = {
        {"sound without a name", R"(<Sound name="a" source="a.wav"/><Sound source="a.wav"/><Sound name="c" source="a.wav"/>)",
         {L"a"}},
        {"sound without a source", R"(<Sound name="a" source="a.wav"/><Sound name="b"/><Sound name="c" source="a.wav"/>)",
         {L"a"}},
        {"class without a name", R"(<ClassDef/><Sound name="a" source="a.wav"/>)", {}},
        {"empty name", R"(<Sound name="" source="a.wav"/>)", {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteAudioXml(c.body);
        FMODManager& m = Start();
        EXPECT_FALSE(m.LoadAudioXml());
        EXPECT_EQ(m.GetDefinitions().size(), c.defined.size());
        for (const wchar_t* name : c.defined)
            EXPECT_TRUE(m.HasDefinition(name));
        // The system is still there.
        EXPECT_NE(m.GetSystem(), nullptr);
    }
    // No Sound elements at all is a good file.
    WriteAudioXml("<ClassDef name=\"x\"/>");
    FMODManager& m = Start();
    EXPECT_TRUE(m.LoadAudioXml());
    EXPECT_TRUE(m.HasClass(L"x"));
}

TEST_F(SoundManager, WithoutAudioXmlTheSystemIsGoneAndEverythingIsSafe)
{
    // A missing file shuts the system down; every later call must cope with there being none.
    FMODManager& m = Start();
    m.callbackHandlers.push_back(&handler);
    EXPECT_FALSE(m.LoadAudioXml());
    EXPECT_EQ(m.GetSystem(), nullptr);
    EXPECT_TRUE(m.callbackHandlers.empty());
    Write(L"a.wav", Level(10));
    m.Update();
    EXPECT_FALSE(m.PlaySound(L"a.wav", false).IsAlive());
    EXPECT_FALSE(m.PlaySoundWithParams(L"a.wav", true, true).IsAlive());
    m.MuteAll(true);
    m.PauseAll(true);
    m.StopAll();
    m.SetClassVolume(L"default", 0.5f);
    m.FadeInSound(L"a.wav", 1.0f, 0.0f, 1.0f, false);
    m.Update();
    Command(L"audio.getclassvolume default");
    EXPECT_EQ(Printed().back(), L"Sound group default doesn't exist.");
    // Even a file that turns up later cannot bring it back.
    WriteAudioXml(R"(<Sound name="a" source="a.wav"/>)");
    EXPECT_FALSE(m.LoadAudioXml());
    // Switching sound off and on starts a system again.
    m.SetEnabled(false);
    m.SetEnabled(true);
    EXPECT_EQ(m.GetSystem(), nullptr);
}

TEST_F(SoundManager, LoadingAgainKeepsEachClassOneGroup)
{
    // A second load must not leave the playing sounds of a class in a group that no longer follows the
    // class's volume.
    Standard();
    WeakPtr<ISound> two = manager->PlaySoundWithParams(L"two", true, false);
    ASSERT_TRUE(two.IsAlive());
    EXPECT_EQ(left(Mix(4), 0), 0.5f);
    ASSERT_TRUE(manager->LoadAudioXml());
    manager->SetClassVolume(L"sfx", 0.5f);
    EXPECT_EQ(left(Mix(4), 0), 0.25f);
    WeakPtr<ISound> another = manager->PlaySoundWithParams(L"two", true, false);
    EXPECT_EQ(left(Mix(4), 0), 0.5f);
}

TEST_F(SoundManager, VolumesHeardThroughTheClassGroups)
{
    Standard();
    // "one" plays at its default volume 0.5 in "sfx"; "loose" is of a class no ClassDef made, so it
    // plays in the master group at 0.25 whatever the class volumes.
    WeakPtr<ISound> one = manager->PlaySoundWithParams(L"one", true, false);
    EXPECT_EQ(left(Mix(2), 1), 0.5f);
    manager->SetClassVolume(L"sfx", 0.5f);
    EXPECT_EQ(left(Mix(2), 1), 0.25f);
    one.Get()->Stop();
    manager->PlaySoundWithParams(L"loose", true, false);
    manager->SetClassVolume(L"default", 0.1f);
    EXPECT_EQ(left(Mix(2), 1), 0.25f);
    std::vector<WeakPtr<ISound>> listed(1);
    manager->GetPlayingSoundsOfClass(L"unlisted", listed);
    EXPECT_EQ(listed.size(), 1u); // untouched: the class has no group
    manager->GetPlayingSoundsOfClass(L"sfx", listed);
    EXPECT_EQ(listed.size(), 1u); // "one" was stopped
    // Classes without a group are ignored.
    manager->SetClassVolume(L"nothing", 0.5f);
    EXPECT_FALSE(manager->HasClass(L"nothing"));
}

TEST_F(SoundManager, PlayingByNameAndByPath)
{
    Standard();
    WeakPtr<ISound> first = manager->PlaySoundWithParams(L"one", false, true);
    ASSERT_TRUE(first.IsAlive());
    EXPECT_EQ(first.Get()->GetName(), L"one");
    EXPECT_EQ(first.Get()->GetSoundClass(), L"sfx");
    EXPECT_EQ(first.Get()->GetLoopCount(), 0);
    // unique: nothing new while it plays; not unique: a second channel.
    EXPECT_FALSE(manager->PlaySoundWithParams(L"one", false, true).IsAlive());
    WeakPtr<ISound> second = manager->PlaySoundWithParams(L"one", true, false);
    ASSERT_TRUE(second.IsAlive());
    EXPECT_EQ(second.Get()->GetLoopCount(), -1);
    EXPECT_EQ(manager->FindPlayingSound(L"one").Get(), first.Get());
    EXPECT_EQ(manager->GetSoundCount(), 2u);
    EXPECT_FALSE(manager->PlaySoundWithParams(L"nothing", false, false).IsAlive());
    EXPECT_FALSE(manager->FindPlayingSound(L"two").IsAlive());

    // A path without a definition plays the file in "default" at full volume and stays defined.
    Write(L"extra\\beep.wav", Level(80, 0.5f));
    WeakPtr<ISound> beep = manager->PlaySound(L"extra\\beep.wav", false);
    ASSERT_TRUE(beep.IsAlive());
    EXPECT_TRUE(manager->HasDefinition(L"extra\\beep.wav"));
    EXPECT_EQ(beep.Get()->GetSoundClass(), L"default");
    EXPECT_EQ(beep.Get()->GetDefaultVolume(), 1.0f);
    EXPECT_EQ(beep.Get()->GetPriority(), 128);
    EXPECT_FALSE(manager->PlaySound(L"extra\\none.wav", false).IsAlive());
    // Files that are no sound play nothing.
    WriteText(L"extra\\text.wav", "not a sound at all");
    EXPECT_FALSE(manager->PlaySound(L"extra\\text.wav", false).IsAlive());
}

TEST_F(SoundManager, UpdateDropsFinishedSoundsAndTellsEachHandlerOnce)
{
    Standard();
    CountingHandler& a = handler;
    CountingHandler& b = other;
    manager->callbackHandlers = {&a, &b};
    WeakPtr<ISound> one = manager->PlaySoundWithParams(L"one", false, false);  // 100 ms
    WeakPtr<ISound> loop = manager->PlaySoundWithParams(L"two", true, false);
    Mix(400);
    manager->Update();
    EXPECT_TRUE(one.IsAlive()); // still playing
    Mix(400);
    manager->Update();
    EXPECT_FALSE(one.IsAlive());
    EXPECT_TRUE(loop.IsAlive());
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(a.names, std::vector<std::wstring>{L"one"});
    manager->Update();
    EXPECT_EQ(a.calls, 1);

    // A paused sound is not finished.
    loop.Get()->SetPaused(true);
    EXPECT_FALSE(loop.Get()->IsStopped());
    manager->Update();
    EXPECT_TRUE(loop.IsAlive());
    EXPECT_EQ(manager->FindPlayingSound(L"two").Get(), loop.Get());
}

TEST_F(SoundManager, StopAllTellsEveryHandlerOfEverySoundOnce)
{
    Standard();
    manager->callbackHandlers.push_back(&handler);
    std::vector<WeakPtr<ISound>> playing = {
        manager->PlaySoundWithParams(L"one", true, false), manager->PlaySoundWithParams(L"two", false, false),
        manager->PlaySoundWithParams(L"song", true, false), manager->PlaySoundWithParams(L"one", false, false)};
    playing[1].Get()->SetPaused(true);
    manager->StopAll();
    EXPECT_EQ(handler.calls, 4);
    EXPECT_EQ(handler.names, (std::vector<std::wstring>{L"one", L"two", L"song", L"one"}));
    for (const WeakPtr<ISound>& sound : playing)
        EXPECT_FALSE(sound.IsAlive());
    for (const wchar_t* name : {L"one", L"two", L"song"})
        EXPECT_FALSE(manager->FindPlayingSound(name).IsAlive());
    EXPECT_EQ(manager->GetSoundCount(), 0u);
    manager->StopAll();
    EXPECT_EQ(handler.calls, 4);
}

TEST_F(SoundManager, PauseMuteAndStopByClass)
{
    Standard();
    WeakPtr<ISound> one = manager->PlaySoundWithParams(L"one", true, false);
    WeakPtr<ISound> song = manager->PlaySoundWithParams(L"song", true, false);
    manager->PauseClass(L"sfx", true);
    EXPECT_TRUE(one.Get()->GetPaused());
    EXPECT_FALSE(song.Get()->GetPaused());
    manager->PauseAll(true);
    EXPECT_TRUE(song.Get()->GetPaused());
    manager->PauseClass(L"sfx", false);
    EXPECT_FALSE(one.Get()->GetPaused());
    EXPECT_TRUE(song.Get()->GetPaused());
    manager->PauseAll(false);

    // Mute acts once per change; a sound started after it is heard.
    manager->StopClass(L"music");
    EXPECT_FALSE(song.IsAlive());
    EXPECT_TRUE(one.IsAlive());
    manager->MuteAll(true);
    EXPECT_EQ(left(Mix(2), 0), 0.0f);
    one.Get()->SetMute(false);
    manager->MuteAll(true); // no change: the sound's own unmute stands
    EXPECT_EQ(left(Mix(2), 0), 0.5f);
    one.Get()->Stop();
    manager->Update();
    WeakPtr<ISound> later = manager->PlaySoundWithParams(L"two", true, false);
    EXPECT_EQ(left(Mix(2), 0), 0.5f);
    manager->MuteAll(false);
    EXPECT_FALSE(manager->IsMuted());
}

// A class paused while nothing of it plays stays quiet: its sounds started afterwards start paused
// and go on with the class. Classes without a group, and other classes, are not held.
TEST_F(SoundManager, SoundsOfAPausedClassStartPausedAndResumeWithIt)
{
    Standard();
    manager->PauseClass(L"sfx", true);
    manager->PauseClass(L"unlisted", true);
    WeakPtr<ISound> two = manager->PlaySoundWithParams(L"two", false, false);
    ASSERT_TRUE(two.IsAlive());
    EXPECT_TRUE(two.Get()->GetPaused());
    EXPECT_FALSE(two.Get()->IsStopped());
    EXPECT_EQ(left(Mix(2), 0), 0.0f);
    WeakPtr<ISound> loose = manager->PlaySoundWithParams(L"loose", false, false);
    EXPECT_FALSE(loose.Get()->GetPaused());
    EXPECT_EQ(left(Mix(2), 0), 0.25f);
    loose.Get()->Stop();
    manager->Update();
    EXPECT_TRUE(two.IsAlive()) << "a paused sound is not finished";

    manager->PauseClass(L"sfx", false);
    EXPECT_FALSE(two.Get()->GetPaused());
    EXPECT_EQ(left(Mix(2), 0), 0.5f);
    two.Get()->Stop();
    manager->Update();
    EXPECT_FALSE(manager->PlaySoundWithParams(L"one", false, false).Get()->GetPaused());

    // Resuming everything resumes the paused classes too.
    manager->StopAll();
    manager->PauseClass(L"sfx", true);
    manager->PauseAll(false);
    EXPECT_FALSE(manager->PlaySoundWithParams(L"one", false, false).Get()->GetPaused());
}

TEST_F(SoundManager, StreamsAreLetGoWhenNothingPlaysThemAndLoadAgain)
{
    Standard();
    auto* resource = dynamic_cast<FMODResource*>(manager->GetDefinitions().at(L"song").resource.Get());
    ASSERT_NE(resource, nullptr);
    EXPECT_FALSE(resource->IsLoaded());
    WeakPtr<ISound> first = manager->PlaySoundWithParams(L"song", false, false);
    WeakPtr<ISound> second = manager->PlaySoundWithParams(L"song", true, false);
    EXPECT_TRUE(resource->IsLoaded());
    first.Get()->Stop();
    manager->Update();
    EXPECT_TRUE(resource->IsLoaded()); // the second still plays it
    second.Get()->Stop();
    manager->Update();
    EXPECT_FALSE(resource->IsLoaded());
    WeakPtr<ISound> again = manager->PlaySoundWithParams(L"song", false, false);
    ASSERT_TRUE(again.IsAlive());
    EXPECT_TRUE(resource->IsLoaded());
    EXPECT_EQ(files->opens[L"music\\song.ogg"], 2);
    float loudest = 0.0f;
    for (float v : Mix(400))
        loudest = std::max(loudest, std::fabs(v));
    EXPECT_GT(loudest, 0.3f);
    // Samples stay loaded.
    manager->PlaySoundWithParams(L"one", false, false).Get()->Stop();
    manager->Update();
    EXPECT_TRUE(manager->GetDefinitions().at(L"one").resource->IsLoaded());
}

TEST_F(SoundManager, SwitchingSoundOffAndOn)
{
    Standard();
    manager->callbackHandlers.push_back(&handler);
    WeakPtr<ISound> one = manager->PlaySoundWithParams(L"one", true, false);
    manager->SetEnabled(false);
    EXPECT_FALSE(manager->IsEnabled());
    EXPECT_EQ(handler.calls, 1);
    EXPECT_FALSE(one.IsAlive());
    EXPECT_TRUE(manager->GetDefinitions().empty());
    EXPECT_TRUE(manager->callbackHandlers.empty());
    ASSERT_NE(manager->GetSystem(), nullptr);
    EXPECT_EQ(manager->GetSystem()->GetOutput(), Audio::OutputType::NoSound);
    EXPECT_TRUE(manager->HasClass(L"default"));
    EXPECT_FALSE(manager->HasClass(L"sfx"));
    manager->SetEnabled(false); // unchanged: nothing happens
    manager->SetEnabled(true);
    EXPECT_EQ(manager->GetSystem()->GetOutput(), Audio::OutputType::Manual);
    EXPECT_EQ(manager->GetDefinitions().size(), 4u) << "switched on, the definitions are read again";
    EXPECT_TRUE(manager->HasClass(L"sfx"));
    ASSERT_TRUE(manager->PlaySoundWithParams(L"one", true, false).IsAlive());
    EXPECT_EQ(left(Mix(2), 0), 0.5f);
}

TEST_F(SoundManager, TheConsoleSwitchOffAndOnIsHeard)
{
    Standard();
    Command(L"audio.setenabled 0");
    Command(L"audio.setenabled 1");
    Command(L"audio.playsound one");
    EXPECT_NE(Printed().back(), L"Sound one doesn't exist.");
    ASSERT_TRUE(manager->FindPlayingSound(L"one").IsAlive());
    EXPECT_EQ(left(Mix(2), 1), 0.5f) << "the sound plays at its default volume in its class";
}

TEST_F(SoundManager, SwitchingOnWithoutLoadedDefinitionsKeepsTheSystem)
{
    Start();
    manager->SetEnabled(false);
    manager->SetEnabled(true);
    ASSERT_NE(manager->GetSystem(), nullptr) << "nothing is read, so nothing fails";
    EXPECT_TRUE(manager->HasClass(L"default"));
}

TEST_F(SoundManager, InitWithoutADeviceStillTimesSounds)
{
    // A device that cannot be opened: sound is silent, but sounds still end on the clock.
    Audio::SystemOptions options;
    options.output = Audio::OutputType::Device;
    options.deviceName = "no such device";
    options.clock = &clock;
    Write(L"one.wav", Level(800));
    WriteAudioXml(R"(<Sound name="one" source="one.wav"/>)");
    FMODManager& m = Start(8, options);
    ASSERT_NE(m.GetSystem(), nullptr);
    EXPECT_EQ(m.GetSystem()->GetOutput(), Audio::OutputType::NoSound);
    ASSERT_TRUE(m.LoadAudioXml());
    m.callbackHandlers.push_back(&handler);
    WeakPtr<ISound> one = m.PlaySoundWithParams(L"one", false, false);
    ASSERT_TRUE(one.IsAlive());
    clock.AdvanceMilliseconds(60);
    m.Update();
    EXPECT_NEAR(one.Get()->GetPosition(), 0.06f, 1e-6f);
    clock.AdvanceMilliseconds(60);
    m.Update();
    m.Update();
    EXPECT_FALSE(one.IsAlive());
    EXPECT_EQ(handler.calls, 1);

    // Sound switched off in the preferences: no device is asked for at all.
    FMODManager off(manualOptions());
    off.SetEnabled(false);
    ASSERT_TRUE(off.Init(4));
    EXPECT_EQ(off.GetSystem()->GetOutput(), Audio::OutputType::NoSound);
    // A channel count no system takes fails the start.
    FMODManager bad(manualOptions());
    EXPECT_FALSE(bad.Init(-1));
    EXPECT_EQ(bad.GetSystem(), nullptr);
}

TEST_F(SoundManager, ConsoleCommands)
{
    Standard();
    Command(L"audio.getclassvolume default");
    EXPECT_EQ(Printed().back(), L"Sound group default has volume 1.000000.");
    Command(L"audio.SetGroupVolume sfx 0.25");
    Command(L"audio.getclassvolume sfx");
    EXPECT_EQ(Printed().back(), L"Sound group sfx has volume 0.250000.");
    Command(L"audio.SetGroupVolume nothing 0.25");
    EXPECT_EQ(Printed().back(), L"Sound group nothing doesn't exist.");
    Command(L"audio.getclassvolume nothing");
    EXPECT_EQ(Printed().back(), L"Sound group nothing doesn't exist.");
    Command(L"audio.playsound nothing");
    EXPECT_EQ(Printed().back(), L"Sound nothing doesn't exist.");
    Command(L"audio.playsound one");
    WeakPtr<ISound> one = manager->FindPlayingSound(L"one");
    ASSERT_TRUE(one.IsAlive());
    EXPECT_EQ(one.Get()->GetLoopCount(), 0);
    EXPECT_EQ(left(Mix(2), 0), 0.5f * 0.25f);
    EXPECT_FALSE(manager->IsOutputLogEnabled());
    Command(L"audio.setoutputlogenabled 1");
    EXPECT_TRUE(manager->IsOutputLogEnabled());
    Command(L"audio.setoutputlogenabled 0");
    EXPECT_FALSE(manager->IsOutputLogEnabled());
    Command(L"audio.setenabled 0");
    EXPECT_FALSE(manager->IsEnabled());
    Command(L"audio.setenabled 1");
    EXPECT_TRUE(manager->IsEnabled());
    // The commands leave with the manager.
    manager.reset();
    const size_t before = Printed().size();
    Command(L"audio.playsound one");
    EXPECT_GT(Printed().size(), before);
}

TEST_F(SoundManager, PublishedWhileItLives)
{
    EXPECT_EQ(ISoundManager::Get(), nullptr);
    Start();
    EXPECT_EQ(ISoundManager::Get(), manager.get());
    EXPECT_NE(manager->GetFader(), nullptr);
    manager.reset();
    EXPECT_EQ(ISoundManager::Get(), nullptr);
}
