// Settings, pause and the slow-frame detector: the profile's settings
// applied to the sound classes, the script events and the effects; the
// detector fed with frame times; the alert and its answer; and a profile
// switch during a level.
#include "tests/game/GameFixture.h"

#include "engine/core/diagnostics/Console.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/ParticleManager.h"
#include "engine/media/sound/ISoundManager.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/core/SlowFrameDetector.h"

#include <cmath>
#include <cstdio>

using namespace TarnEngine;

namespace
{

const char* const kAnnSettings =
    "<PROFILE NAME=\"Ann\"><SETTINGS_KEY SETTINGS_MUSIC_VOL=\"40\" SETTINGS_SOUND_VOL=\"60\" "
    "SETTINGS_VOICE_VOL=\"80\" SETTINGS_TUTORIALS_ON=\"1\" SETTINGS_FX_ON=\"1\" SETTINGS_CUSTCURSOR_ON=\"0\" "
    "SETTINGS_PORTRAITS_ON=\"1\" SETTINGS_SUBS_ON=\"0\" SETTINGS_VOICEOVERS_ON=\"1\" SLOW_DETECTION_ON=\"1\"/>"
    "</PROFILE>";

class SettingsTest : public GameFixture
{
public:
    void StartWith(const std::string& profiles, const std::string& current = "Ann")
    {
        WriteProfileFile(current, profiles);
        ASSERT_TRUE(Start());
        ASSERT_NE(Settings(), nullptr);
    }

    XmlNode* Settings()
    {
        XmlNode* profile = Game().GetProfileStore().FindCurrentProfile();
        return profile ? profile->FindChild(L"SETTINGS_KEY") : nullptr;
    }

    void Set(const wchar_t* name, const std::wstring* value)
    {
        XmlNode* settings = Settings();
        if (value)
        {
            settings->SetAttribute(name, *value);
            return;
        }
        // Without the attribute: the element made again from the others.
        auto rebuilt = std::make_unique<XmlNode>(L"SETTINGS_KEY");
        for (const auto& [key, text] : settings->attributes)
            if (key != name)
                rebuilt->SetAttribute(std::wstring(key), std::wstring(text));
        XmlNode* profile = Game().GetProfileStore().FindCurrentProfile();
        for (size_t i = 0; i < profile->children.size(); ++i)
            if (profile->children[i].get() == settings)
            {
                profile->RemoveChild(i);
                break;
            }
        profile->AppendChild(std::move(rebuilt));
    }

    // The volume of a sound class as the sound manager reports it on its console.
    float ClassVolume(const std::wstring& className)
    {
        ISoundManager::Get()->ExecuteCommand({L"audio.getclassvolume", className}, InstanceHandle());
        const std::vector<std::wstring>& lines = UserInterface::Get()->GetConsole()->GetLines();
        float volume = -1.0f;
        if (!lines.empty())
            std::swscanf(lines.back().c_str(), (L"Sound group " + className + L" has volume %f.").c_str(), &volume);
        return volume;
    }
};

TEST_F(SettingsTest, VolumesFromTheProfileAreReadBoundedAndApplied)
{
    StartWith(kAnnSettings);
    struct Case
    {
        const wchar_t* text; // null: missing
        float volume;
    };
    const Case cases[] = {{L"40", 0.4f}, {nullptr, 0.0f}, {L"abc", 0.0f}, {L"500", 1.0f},
                          {L"-3", 0.0f}, {L"nan", 0.0f},  {L"inf", 0.0f}, {L"100", 1.0f}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text ? c.text : L"(missing)");
        const std::wstring text = c.text ? c.text : L"";
        for (const wchar_t* name : {L"SETTINGS_MUSIC_VOL", L"SETTINGS_SOUND_VOL", L"SETTINGS_VOICE_VOL"})
            Set(name, c.text ? &text : nullptr);
        ClearScriptEvents();
        Game().ApplySettings();
        for (const wchar_t* music : {L"Music", L"Ambient", L"Effects"})
            EXPECT_NEAR(ClassVolume(music), c.volume, 1e-5f) << music;
        EXPECT_NEAR(ClassVolume(L"Sound"), c.volume, 1e-5f);
        EXPECT_NEAR(ClassVolume(L"Voice"), c.volume, 1e-5f);
        char expected[64];
        std::snprintf(expected, sizeof expected, "VoiceVolumeChanged %.6g", double(c.volume));
        EXPECT_EQ(ScriptEvents("VoiceVolumeChanged"), std::vector<std::string>{expected});
    }
}

TEST_F(SettingsTest, TheScriptEventsCarryTheSettingsInOrder)
{
    StartWith(kAnnSettings);
    ClearScriptEvents();
    Game().ApplySettings();
    EXPECT_EQ(ScriptEvents(), (std::vector<std::string>{
                                  "EnableTutorials true",
                                  "SpeechOptionChanged SETTINGS_PORTRAITS_ON true",
                                  "SpeechOptionChanged SETTINGS_SUBS_ON false",
                                  "SpeechOptionChanged SETTINGS_VOICEOVERS_ON true",
                                  "VoiceVolumeChanged 0.8",
                              }));
    // Voice-overs off: the voice class and the event get 0 whatever the stored volume.
    const std::wstring off = L"0";
    Set(L"SETTINGS_VOICEOVERS_ON", &off);
    ClearScriptEvents();
    Game().ApplySettings();
    EXPECT_EQ(ClassVolume(L"Voice"), 0.0f);
    EXPECT_EQ(ScriptEvents("VoiceVolumeChanged"), std::vector<std::string>{"VoiceVolumeChanged 0"});
    EXPECT_EQ(ScriptEvents("SpeechOptionChanged").back(), "SpeechOptionChanged SETTINGS_VOICEOVERS_ON false");
}

TEST_F(SettingsTest, AProfileWithoutSettingsGetsTheDefaults)
{
    WriteProfileFile("Bo", "<PROFILE NAME=\"Bo\"/>");
    ASSERT_TRUE(Start());
    XmlNode* settings = Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->GetStringAttribute(L"SETTINGS_MUSIC_VOL", L""), L"50");
    EXPECT_EQ(settings->GetStringAttribute(L"SETTINGS_VOICE_VOL", L""), L"75");
    EXPECT_EQ(settings->GetStringAttribute(L"SETTINGS_CUSTCURSOR_ON", L""), L"0");
    EXPECT_EQ(settings->GetStringAttribute(L"SLOW_DETECTION_ON", L""), L"1");
    EXPECT_NEAR(ClassVolume(L"Music"), 0.5f, 1e-6f);
    EXPECT_NEAR(ClassVolume(L"Sound"), 0.75f, 1e-6f);
}

TEST_F(SettingsTest, ReducedEffectsFollowTheEffectsSetting)
{
    StartWith(kAnnSettings);
    EXPECT_FALSE(ParticleManager::Get()->reducedEffects);
    const std::wstring off = L"no";
    Set(L"SETTINGS_FX_ON", &off);
    Game().ApplySettings();
    EXPECT_TRUE(ParticleManager::Get()->reducedEffects);
    EXPECT_FALSE(Game().GetSlowFrameDetector().IsEnabled());
    const std::wstring on = L"yes";
    Set(L"SETTINGS_FX_ON", &on);
    Game().ApplySettings();
    EXPECT_FALSE(ParticleManager::Get()->reducedEffects);
    EXPECT_TRUE(Game().GetSlowFrameDetector().IsEnabled());
}

// ---- The detector on its own, with injected frame times.

struct DetectorRun
{
    SlowFrameDetector detector;
    int alerts = 0;
    DetectorRun(bool enabled = true)
    {
        detector.SetAlert([this] { ++alerts; });
        detector.Configure(enabled);
    }
    void Frames(int count, float seconds)
    {
        for (int i = 0; i < count; ++i)
            detector.Update(seconds);
    }
};

TEST(SlowFrameDetectorTest, SlowFramesOverTheAlertTimeRaiseOneAlert)
{
    DetectorRun run;
    run.Frames(239, 0.05f); // 11.95 s at 20 fps is not slow: 20 is the threshold itself
    EXPECT_EQ(run.alerts, 0);
    EXPECT_EQ(run.detector.GetAccumulated(), 0.0f);
    run.Frames(119, 0.1f); // 11.9 s
    EXPECT_EQ(run.alerts, 0);
    run.Frames(2, 0.1f); // past 12 s once
    EXPECT_EQ(run.alerts, 1);
    EXPECT_LT(run.detector.GetAccumulated(), 0.15f);
}

TEST(SlowFrameDetectorTest, OneFastFrameStartsTheSumAgain)
{
    DetectorRun run;
    run.Frames(110, 0.1f);
    run.Frames(1, 0.01f);
    EXPECT_EQ(run.detector.GetAccumulated(), 0.0f);
    run.Frames(110, 0.1f);
    EXPECT_EQ(run.alerts, 0);
}

TEST(SlowFrameDetectorTest, NoAlertWhenDisabledOrForAStall)
{
    DetectorRun off(false);
    off.Frames(1000, 0.1f);
    EXPECT_EQ(off.alerts, 0);

    DetectorRun stall;
    stall.Frames(1, 30.0f); // a resume from suspend, a long load
    EXPECT_EQ(stall.alerts, 0);
    EXPECT_EQ(stall.detector.GetAccumulated(), SlowFrameDetector::MaxFrameSeconds);
    // Zero, negative and NaN frame times are not frames.
    stall.Frames(1, 0.0f);
    stall.Frames(1, -1.0f);
    stall.Frames(1, std::nanf(""));
    EXPECT_EQ(stall.detector.GetAccumulated(), SlowFrameDetector::MaxFrameSeconds);
}

// ---- The detector in the game.

TEST_F(SettingsTest, TheScriptsTuneTheDetectorAndZeroKeepsTheDefaults)
{
    StartWith(kAnnSettings);
    SlowFrameDetector& detector = Game().GetSlowFrameDetector();
    EXPECT_EQ(detector.GetThresholdFps(), SlowFrameDetector::DefaultThresholdFps);
    EXPECT_EQ(detector.GetAlertSeconds(), SlowFrameDetector::DefaultAlertSeconds);
    ASSERT_TRUE(Lua("Fixture.settings.SlowDetectThresholdFPS = 0 Fixture.settings.SlowDetectAlertSeconds = 0"));
    Game().ConfigureSlowDetection(true);
    EXPECT_EQ(detector.GetThresholdFps(), SlowFrameDetector::DefaultThresholdFps);
    EXPECT_EQ(detector.GetAlertSeconds(), SlowFrameDetector::DefaultAlertSeconds);
    ASSERT_TRUE(Lua("Fixture.settings.SlowDetectThresholdFPS = 30 Fixture.settings.SlowDetectAlertSeconds = 'x'"));
    Game().ConfigureSlowDetection(true);
    EXPECT_EQ(detector.GetThresholdFps(), 30.0f);
    EXPECT_EQ(detector.GetAlertSeconds(), SlowFrameDetector::DefaultAlertSeconds);
    ASSERT_TRUE(Lua("Fixture.settings.SlowDetectAlertSeconds = 0/0 Fixture.settings.SlowDetectThresholdFPS = math.huge"));
    Game().ConfigureSlowDetection(true);
    EXPECT_EQ(detector.GetThresholdFps(), 30.0f);
    EXPECT_EQ(detector.GetAlertSeconds(), SlowFrameDetector::DefaultAlertSeconds);
    ASSERT_TRUE(Lua("Fixture.settings.SlowDetectAlertSeconds = 2"));
    Game().ConfigureSlowDetection(true);
    EXPECT_EQ(detector.GetAlertSeconds(), 2.0f);
}

TEST_F(SettingsTest, SlowFramesInALevelRaiseTheAlertAndClosingItTurnsEffectsOff)
{
    StartWith(kAnnSettings);
    ASSERT_TRUE(Lua("Fixture.settings.SlowDetectAlertSeconds = 1"));
    Game().ConfigureSlowDetection(true);
    // In the menu the detector gets no frames.
    for (int i = 0; i < 40; ++i)
        Frame(100);
    EXPECT_TRUE(boxes.empty());
    Game().GetGameMgr().SwitchMode(1);
    for (int i = 0; i < 40 && boxes.empty(); ++i)
        Frame(100);
    ASSERT_EQ(boxes.size(), 1u);
    const MessageBoxRequest alert = boxes[0];
    EXPECT_EQ(alert.caption, L"|T|Slow Detection Header");
    EXPECT_EQ(alert.message, L"|T|Slow Detection Text");
    EXPECT_EQ(alert.center, std::optional<std::wstring>(L"|T|OK"));
    EXPECT_EQ(alert.id, 2);
    EXPECT_EQ(alert.listener, nullptr);
    ASSERT_NE(alert.callback, nullptr);

    const int writes = ProfileWrites();
    alert.callback(alert.id, 1);
    EXPECT_EQ(Settings()->GetStringAttribute(L"SETTINGS_FX_ON", L""), L"0");
    EXPECT_EQ(Settings()->GetStringAttribute(L"SLOW_DETECTION_ON", L""), L"0");
    EXPECT_TRUE(ParticleManager::Get()->reducedEffects);
    EXPECT_FALSE(Game().GetSlowFrameDetector().IsEnabled());
    // The file is written at the next save only.
    EXPECT_EQ(ProfileWrites(), writes);
    Game().GetGameMgr().Save();
    EXPECT_EQ(ProfileWrites(), writes + 1);
    EXPECT_NE(ProfileFileText().find(L"SETTINGS_FX_ON=\"0\""), std::wstring::npos);
}

TEST_F(SettingsTest, WhilePausedTheDetectorGetsNoFrames)
{
    StartWith(kAnnSettings);
    ASSERT_TRUE(Lua("Fixture.settings.SlowDetectAlertSeconds = 1"));
    Game().ConfigureSlowDetection(true);
    Game().GetGameMgr().SwitchMode(1);
    foreground = false;
    for (int i = 0; i < 60; ++i)
        Frame(100);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SettingsTest, SwitchingProfilesDuringALevelKeepsEachProfilesState)
{
    StartWith(std::string(kAnnSettings) +
                  "<PROFILE NAME=\"Bo\"><ISPY_STATE marker=\"bo-ispy\"/><GAME_STATE_ENTRY marker=\"bo-game\"/>"
                  "</PROFILE>",
              "Ann");
    Game().GetGameMgr().SwitchMode(1);
    ASSERT_TRUE(Lua("svc.PlayerState.t_data = { progress = 'ann level two' }"));
    XmlNode* root = Game().GetProfileStore().GetDocument();
    auto findProfile = [root](const std::wstring& name) -> XmlNode*
    {
        for (const auto& child : root->children)
            if (child->name == L"PROFILE" && child->GetStringAttribute(L"NAME", L"") == name)
                return child.get();
        return nullptr;
    };
    const std::wstring boIspy = WriteXmlText(*findProfile(L"Bo")->FindChild(L"ISPY_STATE"));
    const std::wstring boGame = WriteXmlText(*findProfile(L"Bo")->FindChild(L"GAME_STATE_ENTRY"));

    Game().GetProfileStore().SetCurrentProfile(L"Bo");

    EXPECT_EQ(Game().GetGameMgr().GetCurrentModeIndex(), 0);
    EXPECT_EQ(WriteXmlText(*findProfile(L"Bo")->FindChild(L"ISPY_STATE")), boIspy);
    EXPECT_EQ(WriteXmlText(*findProfile(L"Bo")->FindChild(L"GAME_STATE_ENTRY")), boGame);
    const XmlNode* annState = findProfile(L"Ann")->FindChild(L"GAME_STATE_ENTRY");
    ASSERT_NE(annState, nullptr);
    EXPECT_NE(WriteXmlText(*annState).find(L"ann level two"), std::wstring::npos);
    // The file has Ann's play too.
    EXPECT_NE(ProfileFileText().find(L"ann level two"), std::wstring::npos);
}

} // namespace
