// The options screen; see UIOptions.h.
#include "game/ui/UIOptions.h"

#include "engine/runtime/EngineManager.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/Slider.h"
#include "game/core/Core.h"
#include "game/media/LevelReport.h"
#include "game/ui/SettingsNode.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(UIOptions, Screen, RObjectFactory<UIOptions>, L"UIOptions",
                              &UIOptions::RegisterLua)

namespace
{

// What the player did on this screen, for the game's log.
void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

const wchar_t* const kMusic = L"SETTINGS_MUSIC_VOL";
const wchar_t* const kSound = L"SETTINGS_SOUND_VOL";
const wchar_t* const kVoice = L"SETTINGS_VOICE_VOL";
const wchar_t* const kTutorials = L"SETTINGS_TUTORIALS_ON";
const wchar_t* const kWideFix = L"SETTINGS_WIDE_FIX";
const wchar_t* const kEffects = L"SETTINGS_FX_ON";
const wchar_t* const kCustomCursor = L"SETTINGS_CUSTCURSOR_ON";

const wchar_t* flagText(bool on)
{
    return on ? L"1" : L"0";
}

const wchar_t* onOff(bool on)
{
    return on ? L"on" : L"off";
}

// The game object has no social-network object yet: the box and "_8" stay hidden.
bool socialNetworkPresent()
{
    return false;
}

} // namespace

void UIOptions::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<UIOptions>);
    def.Build(StaticScriptName());
}

ISlider* UIOptions::slider(const InstanceHandle& handle) const
{
    return RObjectCast<ISlider>(handle.GetInstance());
}

CheckBox* UIOptions::box(const InstanceHandle& handle) const
{
    return RObjectCast<CheckBox>(handle.GetInstance());
}

bool UIOptions::boxState(const InstanceHandle& handle, bool current) const
{
    const CheckBox* found = box(handle);
    return found ? found->ticked : current;
}

void UIOptions::OnScreenLoaded()
{
    // Only children of the expected kinds are bound; anything else counts as missing.
    const auto bindSlider = [this](const wchar_t* childName)
    {
        const InstanceHandle found = FindChildByPath(childName);
        return RObjectCast<Slider>(found.GetInstance()) ? found : InstanceHandle();
    };
    const auto bindBox = [this](const wchar_t* childName)
    {
        const InstanceHandle found = FindChildByPath(childName);
        return RObjectCast<CheckBox>(found.GetInstance()) ? found : InstanceHandle();
    };
    musicSlider = bindSlider(L"slider_music");
    soundSlider = bindSlider(L"slider_sfx");
    voiceSlider = bindSlider(L"slider_voice");
    fullscreenBox = bindBox(L"cb_fullscreen");
    tutorialsBox = bindBox(L"cb_tutorials");
    facebookBox = bindBox(L"cb_facebook");
    effectsBox = bindBox(L"cb_effects");
    if (EngineManager* engine = EngineManager::Get())
        fullscreen = engine->IsFullscreen();
    Load();
    logGame(L"options shown: music " + FormatVolumeSetting(musicVolume) + L", sound " +
            FormatVolumeSetting(soundVolume) + L", voice " + FormatVolumeSetting(voiceVolume));
}

void UIOptions::Load()
{
    // Without a settings element the controls show the values the screen holds.
    if (const XmlNode* settings = FindSettingsNode())
    {
        const OptionsSettings read = ReadOptionsSettings(*settings);
        musicVolume = read.musicVolume;
        soundVolume = read.soundVolume;
        voiceVolume = read.voiceVolume;
        tutorials = read.tutorials;
        effects = read.effects;
        customCursor = read.customCursor;
        voiceOvers = read.voiceOvers;
    }

    if (ISlider* music = slider(musicSlider))
        music->SetValue(musicVolume);
    if (ISlider* sound = slider(soundSlider))
        sound->SetValue(soundVolume);
    if (ISlider* voice = slider(voiceSlider))
    {
        voice->SetValue(voiceOvers ? voiceVolume : 0.0f);
        voice->SetEnabled(voiceOvers);
    }
    if (CheckBox* check = box(fullscreenBox))
        check->SetChecked(fullscreen);
    if (CheckBox* check = box(tutorialsBox))
        check->SetChecked(tutorials);
    if (CheckBox* check = box(effectsBox))
        check->SetChecked(effects);
    // A slider reports only a value that changed; the classes must follow the stored values
    // whichever the sliders showed before.
    ApplyVolumes();
}

void UIOptions::ApplyVolumes()
{
    Core* core = Core::Get();
    if (!core)
        return;
    SoundMgr& sound = core->GetSound();
    sound.SetMusicVolume(musicVolume / 100.0f);
    sound.SetSoundVolume(soundVolume / 100.0f);
    sound.SetVoiceVolume(voiceOvers ? voiceVolume / 100.0f : 0.0f);
}

void UIOptions::HandleSliderPressed(ISlider* moved)
{
    HandleSliderChanged(moved);
}

void UIOptions::HandleSliderChanged(ISlider* moved)
{
    if (!moved)
        return;
    if (moved == slider(musicSlider))
        musicVolume = moved->GetValue();
    else if (moved == slider(soundSlider))
        soundVolume = moved->GetValue();
    else if (moved == slider(voiceSlider) && voiceOvers)
        voiceVolume = moved->GetValue();
    ApplyVolumes();
}

void UIOptions::HandleCheckBoxPressed(CheckBox* pressed)
{
    // The other boxes are read on OK.
    if (pressed && pressed == box(facebookBox))
        applyFacebookBox(pressed);
}

void UIOptions::applyFacebookBox(CheckBox*)
{
    // Nothing without the social-network object, which the game does not have yet.
    if (!socialNetworkPresent())
        return;
}

void UIOptions::UpdateState()
{
    Screen::UpdateState();
    const bool social = socialNetworkPresent();
    if (Instance_Base* extra = FindChildByPath(L"_8").GetInstance())
        extra->SetVisible(social);
    if (CheckBox* check = box(facebookBox))
    {
        check->SetVisible(social);
        check->SetEnabled(social);
        if (check->ticked != social)
            check->SetChecked(social);
    }
}

void UIOptions::OnGameEvent(const std::wstring& event, const std::wstring&)
{
    if (event == L"SETTINGS")
        Load();
}

void UIOptions::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    if (button->name == L"okButton")
        accept();
    else if (button->name == L"cancelButton")
        cancel();
    else if (button->name == L"speachsetupButton")
    {
        if (_ScreenMgr* screens = _ScreenMgr::Get())
            screens->OpenScreen(SpeechScreenName, L"", true, true);
    }
    else
        Close(false);
}

void UIOptions::takeBoxes()
{
    fullscreen = boxState(fullscreenBox, fullscreen);
    tutorials = boxState(tutorialsBox, tutorials);
    effects = boxState(effectsBox, effects);
}

void UIOptions::Store()
{
    XmlNode* settings = GetOrCreateSettingsNode();
    if (!settings)
        return;
    takeBoxes();
    settings->SetAttribute(kMusic, FormatVolumeSetting(musicVolume));
    settings->SetAttribute(kSound, FormatVolumeSetting(soundVolume));
    settings->SetAttribute(kVoice, FormatVolumeSetting(voiceVolume));
    settings->SetAttribute(kTutorials, flagText(tutorials));
    settings->SetAttribute(kWideFix, flagText(wideFix));
    settings->SetAttribute(kEffects, flagText(effects));
    settings->SetAttribute(kCustomCursor, flagText(customCursor));
}

void UIOptions::accept()
{
    // 1.
    if (const ISlider* music = slider(musicSlider))
        musicVolume = music->GetValue();
    if (const ISlider* sound = slider(soundSlider))
        soundVolume = sound->GetValue();
    if (const ISlider* voice = slider(voiceSlider); voice && voiceOvers)
        voiceVolume = voice->GetValue();
    takeBoxes();
    // 2.
    if (EngineManager* engine = EngineManager::Get())
        engine->SetFullscreen(fullscreen);
    // 3.
    Store();
    // 4. Broadcasts "SETTINGS", on which this screen loads the stored values again.
    Core* core = Core::Get();
    if (core)
    {
        core->ApplySettings();
        // 5.
        core->GetProfileStore().Save();
    }
    logGame(L"options stored: music " + FormatVolumeSetting(musicVolume) + L", sound " +
            FormatVolumeSetting(soundVolume) + L", voice " + FormatVolumeSetting(voiceVolume));
    // 6.
    ReportOptionChange(L"Music:", FormatVolumeSetting(musicVolume));
    ReportOptionChange(L"Effects sound:", FormatVolumeSetting(soundVolume));
    ReportOptionChange(L"Voice:", FormatVolumeSetting(voiceVolume));
    ReportOptionChange(L"Fullscreen:", onOff(boxState(fullscreenBox, fullscreen)));
    ReportOptionChange(L"Tutorials:", onOff(boxState(tutorialsBox, tutorials)));
    ReportOptionChange(L"Facebook:", onOff(boxState(facebookBox, false)));
    ReportOptionChange(L"Effects:", onOff(boxState(effectsBox, effects)));
    // 7.
    Close(true);
}

void UIOptions::cancel()
{
    Load();
    ApplyVolumes();
    if (Core* core = Core::Get())
        core->ApplySettings();
    Close(false);
}
