// The game's sound service against a sound manager that records every call: start-up and shutdown,
// the three cross-fade cases of the held music, class volumes, pausing, looping sounds, ended sounds
// as script events, and the script methods' refusal of missing, wrong and non-finite arguments.
#include "tests/game/media/RecordingSound.h"

#include "engine/scene/script/LuaMgr.h"
#include "game/media/SoundMgr.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace GameSoundTest;

namespace
{

using Log = std::vector<std::wstring>;

class SoundService : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSoundScriptClass();
        ASSERT_TRUE(lua.Init());
        manager.classes = {{L"A", L"Music"},   {L"B", L"Music"},   {L"click", L"Sound"},
                           {L"wind", L"Ambient"}, {L"voice", L"Voice"}};
        service = std::make_unique<SoundMgr>();
        service->Setup();
        manager.Take();
    }

    bool Run(const std::string& code) { return lua.DoString(code); }
    // The global's value as the script's tostring gives it.
    std::string Global(const char* name)
    {
        lua_State* state = lua.GetState();
        lua_getglobal(state, "tostring");
        lua_getglobal(state, name);
        lua_call(state, 1, 1);
        std::string text = lua_tostring(state, -1);
        lua_pop(state, 1);
        return text;
    }
    // Frames of the manager (each steps the fader once, a 60th of a second).
    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            manager.Update();
    }
    bool Handles(const IAudioCallbackHandler* handler) const
    {
        const auto& list = manager.callbackHandlers;
        return std::find(list.begin(), list.end(), handler) != list.end();
    }

    LuaMgr lua;
    RecordingSoundManager manager;
    std::unique_ptr<SoundMgr> service;
};

TEST_F(SoundService, SetupJoinsTheManagerPublishesTheServiceAndSetsClassVolumes)
{
    RecordingSoundManager fresh;
    SoundMgr other;
    other.Setup();
    EXPECT_EQ(fresh.Take(), (Log{L"SetClassVolume Music 0.5", L"SetClassVolume Ambient 0.75",
                                 L"SetClassVolume Effects 0.75"}));
    EXPECT_TRUE(std::count(fresh.callbackHandlers.begin(), fresh.callbackHandlers.end(), &other) == 1);
    other.Setup(); // a second set-up does not enter it twice
    EXPECT_EQ(std::count(fresh.callbackHandlers.begin(), fresh.callbackHandlers.end(), &other), 1);

    ASSERT_TRUE(Run("playing = svc.Sound:IsSoundPlaying('click')"));
    EXPECT_EQ(Global("playing"), "false");
    EXPECT_TRUE(Run("assert(getmetatable(svc.Sound) ~= nil and svc.Sound.PlayMusic ~= nil)"));
}

TEST_F(SoundService, ShutdownLeavesTheHandlersAndTheScriptsAndNoCallbackReachesIt)
{
    ASSERT_TRUE(Run("ended = 0 function svc.Sound:OnSoundEnded(name) ended = ended + 1 end "
                    "held = svc.Sound"));
    service->PlayMusic(L"A", 0.0f, false);
    service->PlaySound(L"click", 0.0f, false);
    manager.FindLive(L"click")->Stop();
    Frames(1);
    EXPECT_EQ(Global("ended"), "1");

    ASSERT_TRUE(Handles(service.get()));
    service->Shutdown();
    EXPECT_FALSE(Handles(service.get()));
    ASSERT_TRUE(Run("gone = svc.Sound"));
    EXPECT_EQ(Global("gone"), "nil");
    EXPECT_FALSE(service->GetMusic().IsAlive()) << "the music is faded out at once and let go";
    Frames(1);
    EXPECT_EQ(manager.Live(L"A").size(), 0u);

    service->PlaySound(L"click", 0.0f, false);
    manager.FindLive(L"click")->Stop();
    Frames(1);
    EXPECT_EQ(Global("ended"), "1") << "no event after shutdown";
    service->Shutdown(); // twice is harmless

    // A service that goes while the manager lives takes itself off the list.
    auto other = std::make_unique<SoundMgr>();
    other->Setup();
    const IAudioCallbackHandler* address = other.get();
    other.reset();
    EXPECT_FALSE(Handles(address));
}

TEST_F(SoundService, NothingHeldFadesTheMusicInFromSilenceWithoutTheFlag)
{
    service->PlayMusic(L"A", 2.0f, true);
    EXPECT_EQ(manager.Take(), (Log{L"FindPlayingSound A", L"PlaySoundWithParams A loop", L"FindPlayingSound A"}));
    FakeSound* a = manager.FindLive(L"A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(service->GetMusic().Get(), a);
    EXPECT_EQ(a->volume, 0.0f);
    ASSERT_EQ(manager.GetFader()->GetFadeIns().size(), 1u);
    EXPECT_FLOAT_EQ(manager.GetFader()->GetFadeIns()[0].step, 1.0f / 120.0f);
    EXPECT_EQ(manager.GetFader()->GetFadeIns()[0].target, 1.0f);

    // The flag is not passed on when nothing is held: a piece that already plays is resumed, not
    // rewound.
    SoundMgr second;
    manager.PlaySoundWithParams(L"B", true, false);
    FakeSound* b = manager.FindLive(L"B");
    b->volume = 0.2f;
    manager.Take();
    second.PlayMusic(L"B", 1.0f, true);
    const Log asked = manager.Take();
    EXPECT_NE(std::find(asked.begin(), asked.end(), L"sound B resumed"), asked.end());
    EXPECT_EQ(std::find(asked.begin(), asked.end(), L"sound B position 0"), asked.end());
    EXPECT_EQ(second.GetMusic().Get(), b);
}

TEST_F(SoundService, TheSameNameAgainFadesInAgainWithTheFlag)
{
    service->PlayMusic(L"A", 0.5f, false);
    Frames(40);
    FakeSound* a = manager.FindLive(L"A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->volume, 1.0f);
    a->volume = 0.25f; // pulled down by something else meanwhile
    manager.Take();

    service->PlayMusic(L"A", 2.0f, true);
    EXPECT_EQ(manager.Take(), (Log{L"FindPlayingSound A", L"sound A position 0"}))
        << "asked to fade in again, with the flag (rewind), and nothing new started";
    EXPECT_EQ(service->GetMusic().Get(), a);
    ASSERT_EQ(manager.GetFader()->GetFadeIns().size(), 1u);
    EXPECT_EQ(manager.GetFader()->GetFadeIns()[0].target, 1.0f);
    Frames(125);
    EXPECT_EQ(a->volume, 1.0f);
}

TEST_F(SoundService, AnotherNameCrossFadesAndStopMusicThenFadesTheNewPiece)
{
    service->PlayMusic(L"A", 0.5f, false);
    Frames(40);
    FakeSound* a = manager.FindLive(L"A");
    ASSERT_NE(a, nullptr);
    a->volume = 0.8f; // its present volume
    manager.Take();

    service->PlayMusic(L"B", 2.0f, false);
    EXPECT_EQ(manager.Take(), (Log{L"FindPlayingSound A", L"FindPlayingSound B", L"PlaySoundWithParams B loop",
                                   L"FindPlayingSound B"}));
    FakeSound* b = manager.FindLive(L"B");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(service->GetMusic().Get(), b);
    const SoundFader& fader = *manager.GetFader();
    ASSERT_EQ(fader.GetFadeOuts().size(), 1u);
    EXPECT_EQ(fader.GetFadeOuts()[0].sound.Get(), a);
    EXPECT_FLOAT_EQ(fader.GetFadeOuts()[0].step, -0.8f / 120.0f) << "from its present volume, over 2 s";
    ASSERT_EQ(fader.GetFadeIns().size(), 1u);
    EXPECT_EQ(fader.GetFadeIns()[0].sound.Get(), b);
    EXPECT_FLOAT_EQ(fader.GetFadeIns()[0].step, 1.0f / 120.0f) << "from silence, over the same 2 s";

    // Both run at once: half-way they overlap.
    WeakPtr<ISound> old(a);
    Frames(60);
    EXPECT_NEAR(a->volume, 0.4f, 0.01f);
    EXPECT_NEAR(b->volume, 0.5f, 0.01f);
    Frames(62);
    EXPECT_FALSE(old.IsAlive()) << "A fades to a stop";
    EXPECT_EQ(b->volume, 1.0f);

    manager.Take();
    service->StopMusic(1.0f);
    EXPECT_EQ(manager.Take(), (Log{L"FindPlayingSound B"}));
    ASSERT_EQ(fader.GetFadeOuts().size(), 1u);
    EXPECT_EQ(fader.GetFadeOuts()[0].sound.Get(), b);
    EXPECT_FALSE(service->GetMusic().IsAlive());
}

TEST_F(SoundService, VolumesPauseAndStopReachTheirClasses)
{
    service->SetMusicVolume(0.3f);
    EXPECT_EQ(manager.Take(), (Log{L"SetClassVolume Music 0.3", L"SetClassVolume Ambient 0.3",
                                   L"SetClassVolume Effects 0.3"}));
    service->SetSoundVolume(0.4f);
    service->SetVoiceVolume(0.6f);
    EXPECT_EQ(manager.Take(), (Log{L"SetClassVolume Sound 0.4", L"SetClassVolume Voice 0.6"}));

    service->PlayMusic(L"A", 0.0f, false);
    manager.Take();
    service->PauseSounds(true, L"");
    EXPECT_EQ(manager.Take(), (Log{L"PauseAll true"}));
    EXPECT_TRUE(manager.FindLive(L"A")->paused) << "an empty class pauses the music too";
    service->PauseSounds(false, L"Voice");
    EXPECT_EQ(manager.Take(), (Log{L"PauseClass Voice false"}));

    service->StopAmbient();
    EXPECT_EQ(manager.Take(), (Log{L"StopClass Ambient"}));
    service->PlaySound(L"click", 0.0f, false);
    service->PlaySound(L"voice", 0.0f, false);
    manager.Take();
    service->StopSoundGroup(L"Sound");
    EXPECT_EQ(manager.Take(), (Log{L"GetPlayingSoundsOfClass Sound", L"sound click stopped"}));
    service->StopAllSounds();
    EXPECT_EQ(manager.Take(), (Log{L"StopAll"}));
    EXPECT_FALSE(service->IsSoundPlaying(L"voice"));
}

TEST_F(SoundService, PlaySoundStartsAnotherInstanceAndPansOnlyWhatStarted)
{
    ASSERT_TRUE(Run("svc.Sound:PlaySound('click', 0.5, true) svc.Sound:PlaySound('click', -0.25, true) "
                    "svc.Sound:PlaySound('nothing', 0.75, false)"));
    EXPECT_EQ(manager.Take(), (Log{L"PlaySoundWithParams click loop", L"sound click pan 0.5",
                                   L"PlaySoundWithParams click loop", L"sound click pan -0.25",
                                   L"PlaySoundWithParams nothing"}));
    EXPECT_EQ(manager.Live(L"click").size(), 2u);

    ASSERT_TRUE(Run("svc.Sound:StopSound('click') a = svc.Sound:IsSoundPlaying('click') "
                    "svc.Sound:StopSound('click') b = svc.Sound:IsSoundPlaying('click')"));
    EXPECT_EQ(Global("a"), "true") << "StopSound stops the first one only";
    EXPECT_EQ(Global("b"), "false");
}

TEST_F(SoundService, EndedSoundsBecomeScriptEventsByClass)
{
    ASSERT_TRUE(Run("events = '' "
                    "function svc.Sound:OnSoundEnded(name) events = events .. 'sound:' .. name .. ' ' end "
                    "function svc.Sound:OnAmbientEnded(name) events = events .. 'ambient:' .. name .. ' ' end"));
    service->PlaySound(L"wind", 0.0f, false);
    service->PlaySound(L"click", 0.0f, false);
    service->PlaySound(L"voice", 0.0f, false);
    manager.StopAll();
    Frames(1);
    EXPECT_EQ(Global("events"), "ambient:wind sound:click sound:voice ");

    // A missing function is skipped; the other still runs.
    ASSERT_TRUE(Run("events = '' svc.Sound.OnAmbientEnded = nil"));
    service->PlaySound(L"wind", 0.0f, false);
    service->PlaySound(L"click", 0.0f, false);
    manager.StopAll();
    Frames(1);
    EXPECT_EQ(Global("events"), "sound:click ");
}

// Every script method refuses a call whose self is not a live service or whose required arguments
// are missing, of the wrong type or not finite; the manager then hears nothing at all.
TEST_F(SoundService, ScriptMethodsRefuseBadArgumentsSilently)
{
    ASSERT_TRUE(Run("S = svc.Sound"));
    {
        SoundMgr old;
        old.Setup();
        ASSERT_TRUE(Run("Old = svc.Sound"));
        old.Shutdown();
    } // Old's object is gone now
    ASSERT_TRUE(Run("svc.Sound = S"));
    service->PlayMusic(L"A", 0.0f, false);
    service->PlaySound(L"click", 0.0f, true);
    Frames(1);
    manager.Take();

    const char* refused[] = {
        "S:PlayMusic('B', 1)",        "S:PlayMusic('B', 1, 'yes')",  "S:PlayMusic(5, 1, true)",
        "S:PlayMusic('B', 'x', true)", "S:PlayMusic('B', 0/0, true)", "S:PlayMusic('B', 1/0, true)",
        "S:PlayMusic(nil, 1, true)",  "S.PlayMusic({}, 'B', 1, true)", "Old:PlayMusic('B', 1, true)",
        "S:StopMusic()",              "S:StopMusic('soon')",         "S:StopMusic(-1/0)",
        "Old:StopMusic(1)",           "S:PlaySound('click', 0.5)",   "S:PlaySound('click', 'left', true)",
        "S:PlaySound('click', 0/0, true)", "S:PlaySound('click', 0, 1)", "Old:PlaySound('click', 0, true)",
        "S:StopSound()",              "S:StopSound(true)",           "Old:StopSound('click')",
        "S:StopSoundGroup()",         "S:StopSoundGroup({})",        "Old:StopSoundGroup('Sound')",
        "S.StopAllSounds()",          "S.StopAllSounds(5)",          "Old:StopAllSounds()",
        "S:FadeoutSound('click')",    "S:FadeoutSound('click', 0/0)", "S:FadeoutSound(nil, 1)",
        "Old:FadeoutSound('click', 1)", "S.StopAllAmbient('S')",     "Old:StopAllAmbient()",
    };
    for (const char* call : refused)
    {
        EXPECT_TRUE(Run(call)) << call;
        EXPECT_EQ(manager.Take(), Log{}) << call;
    }
    EXPECT_EQ(manager.FindLive(L"A")->volume, 1.0f);
    EXPECT_TRUE(service->GetMusic().IsAlive());

    // IsSoundPlaying answers nothing at all when refused.
    ASSERT_TRUE(Run("n1 = select('#', S:IsSoundPlaying()) n2 = select('#', Old:IsSoundPlaying('click')) "
                    "n3 = select('#', S:IsSoundPlaying('click'))"));
    EXPECT_EQ(Global("n1"), "0");
    EXPECT_EQ(Global("n2"), "0");
    EXPECT_EQ(Global("n3"), "1");
    manager.Take();

    // The same calls with good arguments do reach the manager; a negative fade time is immediate.
    const struct
    {
        const char* call;
        Log heard;
    } accepted[] = {
        {"S:StopSoundGroup('Voice')", {L"GetPlayingSoundsOfClass Voice"}},
        {"S:StopAllAmbient()", {L"StopClass Ambient"}},
        {"S:FadeoutSound('click', -3)", {L"FindPlayingSound click"}},
        {"S:StopAllSounds()", {L"StopAll"}},
    };
    for (const auto& c : accepted)
    {
        EXPECT_TRUE(Run(c.call)) << c.call;
        EXPECT_EQ(manager.Take(), c.heard) << c.call;
    }
}

TEST_F(SoundService, NegativeFadeTimesFromScriptsAreImmediate)
{
    ASSERT_TRUE(Run("svc.Sound:PlayMusic('A', -5, false)"));
    FakeSound* a = manager.FindLive(L"A");
    ASSERT_NE(a, nullptr);
    Frames(1);
    EXPECT_EQ(a->volume, 1.0f) << "full after one frame";
    ASSERT_TRUE(Run("svc.Sound:StopMusic(-1)"));
    WeakPtr<ISound> held(a);
    Frames(1);
    EXPECT_FALSE(held.IsAlive());
}

} // namespace
