// The options and speech screens on the sample's definitions: stored settings into the sliders,
// boxes and sound classes (checked and clamped), live volumes, OK (attributes, order, application,
// the "SETTINGS" broadcast, the file, the seven option reports), Cancel, the speech screen over the
// options, no current profile, and a definition that lacks controls.
#include "tests/game/ui/PlayerScreensFixture.h"

#include "engine/core/diagnostics/FernlinkClient.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/Slider.h"
#include "game/ui/SettingsNode.h"
#include "game/ui/UIOptions.h"
#include "game/ui/UISpeechParams.h"

namespace PlayerScreensTest
{
namespace
{

std::vector<std::wstring> g_reports;

void recordOption(double, const wchar_t* key, const wchar_t* value, int32_t)
{
    g_reports.push_back(std::wstring(key) + L" " + value);
}

std::string annProfile(const std::string& settings)
{
    return "<PROFILE NAME=\"Ann\"><SETTINGS_KEY " + settings + "/></PROFILE>";
}

const char* const kStored = "SETTINGS_MUSIC_VOL=\"40\" SETTINGS_SOUND_VOL=\"60\" SETTINGS_VOICE_VOL=\"30\" "
                            "SETTINGS_VOICEOVERS_ON=\"1\" SETTINGS_TUTORIALS_ON=\"1\" SETTINGS_FX_ON=\"0\" "
                            "SETTINGS_CUSTCURSOR_ON=\"1\" SETTINGS_PORTRAITS_ON=\"1\" SETTINGS_SUBS_ON=\"1\"";

class OptionsTest : public PlayerScreens
{
public:
    void StartAnn(const std::string& settings = kStored)
    {
        StartWith("Ann", annProfile(settings));
        g_reports.clear();
        fernlinkHooks.optionsAccepted = &recordOption;
    }

    void TearDown() override
    {
        ResetFernlinkHooks();
        PlayerScreens::TearDown();
    }

    UIOptions* OpenOptions() { return Open<UIOptions>(L"dlg_options"); }

    ISlider* Slider(Screen* screen, const wchar_t* name) { return Child<ISlider>(screen, name); }
    CheckBox* Box(Screen* screen, const wchar_t* name) { return Child<CheckBox>(screen, name); }
    Button* ButtonOf(Screen* screen, const wchar_t* name) { return Child<Button>(screen, name); }

    // Counts the "SETTINGS" broadcasts through a script screen's table.
    void CountSettingsBroadcasts()
    {
        ASSERT_TRUE(Lua("settingsSeen = 0 "
                        "local previous = __OnEvent "
                        "function __OnEvent(name, ...) "
                        "  if name == 'EnableTutorials' then settingsSeen = settingsSeen + 1 end "
                        "  previous(name, ...) end"));
    }
};

TEST_F(OptionsTest, StoredVolumesReachTheSlidersAndTheSoundClasses)
{
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_music")->GetValue(), 40.0f);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_sfx")->GetValue(), 60.0f);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_voice")->GetValue(), 30.0f);
    EXPECT_TRUE(Slider(options, L"slider_voice")->enabled);
    for (const wchar_t* music : {L"Music", L"Ambient", L"Effects"})
        EXPECT_NEAR(ClassVolume(music), 0.4f, 1e-5f) << music;
    EXPECT_NEAR(ClassVolume(L"Sound"), 0.6f, 1e-5f);
    EXPECT_NEAR(ClassVolume(L"Voice"), 0.3f, 1e-5f);
    EXPECT_TRUE(Box(options, L"cb_tutorials")->ticked);
    EXPECT_FALSE(Box(options, L"cb_effects")->ticked);
    EXPECT_FALSE(Box(options, L"cb_fullscreen")->ticked);
    // No social-network object: its box and "_8" stay hidden, the box unticked.
    Frames(3);
    EXPECT_FALSE(Box(options, L"cb_facebook")->visible);
    EXPECT_FALSE(Box(options, L"cb_facebook")->ticked);
    EXPECT_FALSE(Child(options, L"_8")->visible);
}

TEST_F(OptionsTest, StoredVolumesThatAreNoNumbersOrOutOfRangeAreMended)
{
    struct Case
    {
        const char* stored;
        float value;
    };
    const Case cases[] = {{"abc", 0.0f}, {"nan", 0.0f}, {"150", 100.0f},
                          {"-3", 0.0f},  {"inf", 0.0f}, {"55.5", 55.5f}};
    StartAnn();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.stored);
        const std::wstring text(c.stored, c.stored + std::strlen(c.stored));
        for (const wchar_t* name : {L"SETTINGS_MUSIC_VOL", L"SETTINGS_SOUND_VOL", L"SETTINGS_VOICE_VOL"})
            Settings()->SetAttribute(name, text);
        UIOptions* options = OpenOptions();
        ASSERT_NE(options, nullptr);
        for (const wchar_t* slider : {L"slider_music", L"slider_sfx", L"slider_voice"})
            EXPECT_FLOAT_EQ(Slider(options, slider)->GetValue(), c.value) << slider;
        EXPECT_FLOAT_EQ(options->GetMusicVolume(), c.value);
        EXPECT_NEAR(ClassVolume(L"Music"), c.value / 100.0f, 1e-5f);
        EXPECT_NEAR(ClassVolume(L"Voice"), c.value / 100.0f, 1e-5f);
        options->Close(false);
        ASSERT_TRUE(FramesUntilGone(L"dlg_options"));
    }
}

TEST_F(OptionsTest, WithVoiceOversOffTheVoiceSliderIsSilentAndTheStoredVolumeKept)
{
    StartAnn("SETTINGS_MUSIC_VOL=\"40\" SETTINGS_SOUND_VOL=\"60\" SETTINGS_VOICE_VOL=\"30\" "
             "SETTINGS_VOICEOVERS_ON=\"0\"");
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    ISlider* voice = Slider(options, L"slider_voice");
    EXPECT_FLOAT_EQ(voice->GetValue(), 0.0f);
    EXPECT_FALSE(voice->enabled);
    EXPECT_EQ(ClassVolume(L"Voice"), 0.0f);
    Click(ButtonOf(options, L"okButton"));
    EXPECT_EQ(Setting(L"SETTINGS_VOICE_VOL"), L"30.000000");
    EXPECT_EQ(ClassVolume(L"Voice"), 0.0f);
}

TEST_F(OptionsTest, TheMusicSliderMovesTheMusicClassesAtOnce)
{
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    Slider(options, L"slider_music")->SetValue(70.0f);
    for (const wchar_t* music : {L"Music", L"Ambient", L"Effects"})
        EXPECT_NEAR(ClassVolume(music), 0.7f, 1e-5f) << music;
    EXPECT_NEAR(ClassVolume(L"Sound"), 0.6f, 1e-5f);
    // Nothing is stored before OK.
    EXPECT_EQ(Setting(L"SETTINGS_MUSIC_VOL"), L"40");
}

TEST_F(OptionsTest, OkStoresInOrderAppliesOnceBroadcastsSavesAndReports)
{
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    Slider(options, L"slider_music")->SetValue(70.0f);
    Slider(options, L"slider_voice")->SetValue(20.0f);
    Click(Box(options, L"cb_effects"));
    EXPECT_TRUE(Box(options, L"cb_effects")->ticked);
    // A script screen hears the broadcast.
    ASSERT_TRUE(BuildPanelClass("{ OnScreenEvent = function(self, name, value) "
                                "table.insert(told, name .. '=' .. value) end }"));
    ASSERT_TRUE(Lua("g_ScreenMgr2:CreateScreen('lua_panel', 'lua_panel', true, false)"));
    Frames(2);
    ClearScriptEvents();
    const int writes = ProfileWrites();
    Click(ButtonOf(options, L"okButton"));

    XmlNode* settings = Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(Setting(L"SETTINGS_MUSIC_VOL"), L"70.000000");
    EXPECT_EQ(Setting(L"SETTINGS_SOUND_VOL"), L"60.000000");
    EXPECT_EQ(Setting(L"SETTINGS_VOICE_VOL"), L"20.000000");
    EXPECT_EQ(Setting(L"SETTINGS_TUTORIALS_ON"), L"1");
    EXPECT_EQ(Setting(L"SETTINGS_WIDE_FIX"), L"0");
    EXPECT_EQ(Setting(L"SETTINGS_FX_ON"), L"1");
    EXPECT_EQ(Setting(L"SETTINGS_CUSTCURSOR_ON"), L"1") << "no control edits it: written back as read";
    // Applied once: one "EnableTutorials" per application.
    EXPECT_EQ(ScriptEvents("EnableTutorials"), std::vector<std::string>{"EnableTutorials true"});
    EXPECT_EQ(Told(), "SETTINGS=");
    EXPECT_EQ(ProfileWrites(), writes + 1);
    EXPECT_NE(ProfileFileText().find(L"SETTINGS_MUSIC_VOL=\"70.000000\""), std::wstring::npos);
    EXPECT_EQ(g_reports, (std::vector<std::wstring>{L"Music: 70.000000", L"Effects sound: 60.000000",
                                                    L"Voice: 20.000000", L"Fullscreen: off", L"Tutorials: on",
                                                    L"Facebook: off", L"Effects: on"}));
    EXPECT_TRUE(FramesUntilGone(L"dlg_options"));
}

TEST_F(OptionsTest, AProfileWithoutASettingsElementGetsOneWithTheScreensValues)
{
    StartWith("Bo", "<PROFILE NAME=\"Bo\"/>");
    // The game object made the element when it activated the profile; without it the screen
    // makes its own.
    XmlNode* profile = Game().GetProfileStore().FindCurrentProfile();
    for (size_t i = 0; i < profile->children.size(); ++i)
        if (profile->children[i]->GetName() == L"SETTINGS_KEY")
            profile->RemoveChild(i--);
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_music")->GetValue(), 75.0f);
    options->Store();
    ASSERT_NE(Settings(), nullptr);
    EXPECT_EQ(Settings()->attributes.size(), 7u);
    // The screen's own initial values.
    EXPECT_EQ(Setting(L"SETTINGS_MUSIC_VOL"), L"75.000000");
    EXPECT_EQ(Setting(L"SETTINGS_SOUND_VOL"), L"50.000000");
    EXPECT_EQ(Setting(L"SETTINGS_VOICE_VOL"), L"75.000000");
    EXPECT_EQ(Setting(L"SETTINGS_WIDE_FIX"), L"0");
    EXPECT_EQ(Setting(L"SETTINGS_CUSTCURSOR_ON"), L"1");
}

TEST_F(OptionsTest, CancelPutsTheStoredVolumesBackAndLeavesTheFile)
{
    StartAnn();
    const std::string before = ReadText(ProfileFile());
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    Slider(options, L"slider_music")->SetValue(90.0f);
    Slider(options, L"slider_sfx")->SetValue(10.0f);
    EXPECT_NEAR(ClassVolume(L"Music"), 0.9f, 1e-5f);
    const int writes = ProfileWrites();
    Click(ButtonOf(options, L"cancelButton"));
    EXPECT_NEAR(ClassVolume(L"Music"), 0.4f, 1e-5f);
    EXPECT_NEAR(ClassVolume(L"Sound"), 0.6f, 1e-5f);
    EXPECT_EQ(Setting(L"SETTINGS_MUSIC_VOL"), L"40");
    EXPECT_EQ(ProfileWrites(), writes);
    EXPECT_TRUE(FramesUntilGone(L"dlg_options"));
    EXPECT_EQ(ReadText(ProfileFile()), before);
}

TEST_F(OptionsTest, EscapeAndEnterPressCancelAndOk)
{
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    Slider(options, L"slider_music")->SetValue(90.0f);
    TypeKey(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    EXPECT_NEAR(ClassVolume(L"Music"), 0.4f, 1e-5f);
    ASSERT_TRUE(FramesUntilGone(L"dlg_options"));
    options = OpenOptions();
    ASSERT_NE(options, nullptr);
    Slider(options, L"slider_music")->SetValue(90.0f);
    TypeKey(SDLK_RETURN, SDL_SCANCODE_RETURN);
    EXPECT_EQ(Setting(L"SETTINGS_MUSIC_VOL"), L"90.000000");
}

TEST_F(OptionsTest, TheSpeechButtonOpensTheSpeechScreenOverTheOptions)
{
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    Click(ButtonOf(options, L"speachsetupButton"));
    Frames(30);
    Screen* top = Screens().GetTopModalScreen();
    ASSERT_NE(top, nullptr);
    EXPECT_NE(RObjectCast<UISpeechParams>(top), nullptr);
    EXPECT_TRUE(IsOpen(L"dlg_options"));
    EXPECT_EQ(options->GetScreenState(), Screen::StateOpen);
}

TEST_F(OptionsTest, WithoutACurrentProfileTheInitialValuesShowAndOkStillWritesTheFile)
{
    StartWith("", "");
    ASSERT_EQ(Game().GetProfileStore().FindCurrentProfile(), nullptr);
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_FLOAT_EQ(options->GetMusicVolume(), 75.0f);
    EXPECT_FLOAT_EQ(options->GetSoundVolume(), 50.0f);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_music")->GetValue(), 75.0f);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_sfx")->GetValue(), 50.0f);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_voice")->GetValue(), 75.0f);
    const int writes = ProfileWrites();
    options->HandleButtonPressed(ButtonOf(options, L"okButton"));
    EXPECT_EQ(ProfileWrites(), writes + 1);
    EXPECT_EQ(ProfileFileText().find(L"SETTINGS_KEY"), std::wstring::npos);
}

TEST_F(OptionsTest, ADefinitionWithoutSomeControlsWorksWithTheRest)
{
    // The sample's options screen without its voice slider and effects box.
    std::string screens = ReadText(SampleInput() / "definitions/screens.xml");
    for (const char* name : {"slider_voice", "cb_effects"})
        screens = std::regex_replace(screens,
                                     std::regex("    <Instance type=\"library\" instancename=\"" +
                                                std::string(name) + "\"[^>]*>\n[^\n]*\n    </Instance>\n"),
                                     "");
    ASSERT_EQ(screens.find("instancename=\"slider_voice\""), std::string::npos);
    WriteContent("input/definitions/screens.xml", screens);
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    ASSERT_EQ(Slider(options, L"slider_voice"), nullptr);
    EXPECT_NEAR(ClassVolume(L"Voice"), 0.3f, 1e-5f);
    Slider(options, L"slider_music")->SetValue(80.0f);
    Click(ButtonOf(options, L"okButton"));
    EXPECT_EQ(Setting(L"SETTINGS_MUSIC_VOL"), L"80.000000");
    EXPECT_EQ(Setting(L"SETTINGS_VOICE_VOL"), L"30.000000");
    EXPECT_EQ(Setting(L"SETTINGS_FX_ON"), L"0") << "as read";
    EXPECT_EQ(g_reports.back(), L"Effects: off");
}

// ---- The speech screen.

class SpeechTest : public OptionsTest
{
public:
    UISpeechParams* OpenSpeech() { return Open<UISpeechParams>(L"dlg_speech_setup"); }
};

TEST_F(SpeechTest, MissingAttributesReadAsOn)
{
    StartAnn("SETTINGS_VOICE_VOL=\"30\"");
    UISpeechParams* speech = OpenSpeech();
    ASSERT_NE(speech, nullptr);
    for (const wchar_t* box : {L"cb_char_portraits", L"cb_subtitles", L"cb_playvoiceover"})
        EXPECT_TRUE(Box(speech, box)->ticked) << box;
    EXPECT_TRUE(Box(speech, L"cb_subtitles")->enabled);
    EXPECT_NEAR(ClassVolume(L"Voice"), 0.3f, 1e-5f);
}

TEST_F(SpeechTest, PortraitsOffDisableTheSubtitlesBoxWhichKeepsItsOwnState)
{
    StartAnn("SETTINGS_VOICE_VOL=\"30\" SETTINGS_PORTRAITS_ON=\"0\" SETTINGS_SUBS_ON=\"1\"");
    UISpeechParams* speech = OpenSpeech();
    ASSERT_NE(speech, nullptr);
    CheckBox* subtitles = Box(speech, L"cb_subtitles");
    EXPECT_FALSE(subtitles->enabled);
    EXPECT_TRUE(subtitles->ticked);
    // Portraits on, subtitles off, portraits off again: the subtitles keep "off" and store it.
    Click(Box(speech, L"cb_char_portraits"));
    EXPECT_TRUE(subtitles->enabled);
    Click(subtitles);
    EXPECT_FALSE(subtitles->ticked);
    Click(Box(speech, L"cb_char_portraits"));
    EXPECT_FALSE(subtitles->enabled);
    Click(Child<Button>(speech, L"btn_left"));
    EXPECT_EQ(Setting(L"SETTINGS_PORTRAITS_ON"), L"0");
    EXPECT_EQ(Setting(L"SETTINGS_SUBS_ON"), L"0");
    EXPECT_EQ(Setting(L"SETTINGS_VOICEOVERS_ON"), L"1");
}

TEST_F(SpeechTest, DefaultsTurnEverythingOnAndStoreNothing)
{
    StartAnn("SETTINGS_VOICE_VOL=\"30\" SETTINGS_PORTRAITS_ON=\"0\" SETTINGS_SUBS_ON=\"0\" "
             "SETTINGS_VOICEOVERS_ON=\"0\"");
    UISpeechParams* speech = OpenSpeech();
    ASSERT_NE(speech, nullptr);
    EXPECT_EQ(ClassVolume(L"Voice"), 0.0f);
    const int writes = ProfileWrites();
    Click(Child<Button>(speech, L"btn_center"));
    for (const wchar_t* box : {L"cb_char_portraits", L"cb_subtitles", L"cb_playvoiceover"})
        EXPECT_TRUE(Box(speech, box)->ticked) << box;
    EXPECT_NEAR(ClassVolume(L"Voice"), 0.3f, 1e-5f);
    EXPECT_EQ(Setting(L"SETTINGS_VOICEOVERS_ON"), L"0");
    EXPECT_EQ(ProfileWrites(), writes);
    EXPECT_TRUE(IsOpen(L"dlg_speech_setup"));
}

TEST_F(SpeechTest, OkStoresAppliesSavesAndTheOptionsBelowFollow)
{
    StartAnn();
    UIOptions* options = OpenOptions();
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(Slider(options, L"slider_voice")->enabled);
    Click(ButtonOf(options, L"speachsetupButton"));
    auto* speech = RObjectCast<UISpeechParams>(Screens().FindScreen(L"dlg_speech_setup"));
    ASSERT_NE(speech, nullptr);
    FramesUntilOpen(speech);
    Click(Box(speech, L"cb_playvoiceover"));
    EXPECT_FALSE(speech->GetVoiceOvers());
    const int writes = ProfileWrites();
    Click(Child<Button>(speech, L"btn_left"));
    EXPECT_EQ(Setting(L"SETTINGS_VOICEOVERS_ON"), L"0");
    EXPECT_EQ(ProfileWrites(), writes + 1);
    EXPECT_EQ(ClassVolume(L"Voice"), 0.0f);
    // The options screen below loaded the new flag.
    EXPECT_FALSE(Slider(options, L"slider_voice")->enabled);
    EXPECT_FLOAT_EQ(Slider(options, L"slider_voice")->GetValue(), 0.0f);
    EXPECT_TRUE(FramesUntilGone(L"dlg_speech_setup"));
    EXPECT_TRUE(IsOpen(L"dlg_options"));
}

TEST_F(SpeechTest, CancelStoresNothing)
{
    StartAnn();
    UISpeechParams* speech = OpenSpeech();
    ASSERT_NE(speech, nullptr);
    Click(Box(speech, L"cb_subtitles"));
    const int writes = ProfileWrites();
    Click(Child<Button>(speech, L"btn_right"));
    EXPECT_EQ(Setting(L"SETTINGS_SUBS_ON"), L"1");
    EXPECT_EQ(ProfileWrites(), writes);
    EXPECT_TRUE(FramesUntilGone(L"dlg_speech_setup"));
}

TEST_F(SpeechTest, AMissingBoxIsSkipped)
{
    std::string screens = ReadText(SampleInput() / "definitions/screens.xml");
    screens =
        std::regex_replace(screens,
                           std::regex("    <Instance type=\"library\" "
                                      "instancename=\"cb_playvoiceover\"[^>]*>\n[^\n]*\n    </Instance>\n"),
                           "");
    WriteContent("input/definitions/screens.xml", screens);
    StartAnn();
    UISpeechParams* speech = OpenSpeech();
    ASSERT_NE(speech, nullptr);
    ASSERT_EQ(Box(speech, L"cb_playvoiceover"), nullptr);
    Click(Child<Button>(speech, L"btn_center"));
    Click(Child<Button>(speech, L"btn_left"));
    EXPECT_EQ(Setting(L"SETTINGS_VOICEOVERS_ON"), L"1");
}

} // namespace
} // namespace PlayerScreensTest
