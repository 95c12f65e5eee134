// The speech settings screen; see UISpeechParams.h.
#include "game/ui/UISpeechParams.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "game/core/Core.h"
#include "game/ui/SettingsNode.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(UISpeechParams, Screen, RObjectFactory<UISpeechParams>, L"UISpeechParams",
                              &UISpeechParams::RegisterLua)

namespace
{

// What the player did on this screen, for the game's log.
void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

const wchar_t* const kPortraits = L"SETTINGS_PORTRAITS_ON";
const wchar_t* const kSubtitles = L"SETTINGS_SUBS_ON";
const wchar_t* const kVoiceOvers = L"SETTINGS_VOICEOVERS_ON";

} // namespace

void UISpeechParams::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<UISpeechParams>);
    def.Build(StaticScriptName());
}

CheckBox* UISpeechParams::box(const InstanceHandle& handle) const
{
    return RObjectCast<CheckBox>(handle.GetInstance());
}

void UISpeechParams::OnScreenLoaded()
{
    const auto bind = [this](const wchar_t* childName)
    {
        const InstanceHandle found = FindChildByPath(childName);
        return RObjectCast<CheckBox>(found.GetInstance()) ? found : InstanceHandle();
    };
    portraitsBox = bind(L"cb_char_portraits");
    subtitlesBox = bind(L"cb_subtitles");
    voiceOverBox = bind(L"cb_playvoiceover");
    if (const XmlNode* settings = FindSettingsNode())
    {
        const SpeechSettings read = ReadSpeechSettings(*settings);
        portraits = read.portraits;
        subtitles = read.subtitles;
        voiceOvers = read.voiceOvers;
        voiceVolume = read.voiceVolume;
    }
    ShowValues();
}

void UISpeechParams::ShowValues()
{
    if (CheckBox* check = box(portraitsBox))
        check->SetChecked(portraits);
    if (CheckBox* check = box(subtitlesBox))
    {
        check->SetEnabled(portraits);
        check->SetChecked(subtitles);
    }
    if (CheckBox* check = box(voiceOverBox))
    {
        check->SetChecked(voiceOvers);
        if (Core* core = Core::Get())
            core->GetSound().SetVoiceVolume(voiceOvers ? voiceVolume / 100.0f : 0.0f);
    }
}

void UISpeechParams::HandleCheckBoxPressed(CheckBox* pressed)
{
    if (!pressed)
        return;
    if (pressed == box(portraitsBox))
    {
        portraits = pressed->ticked;
        if (CheckBox* check = box(subtitlesBox))
            check->SetEnabled(portraits);
    }
    else if (pressed == box(subtitlesBox))
        subtitles = pressed->ticked;
    else if (pressed == box(voiceOverBox))
        voiceOvers = pressed->ticked;
}

void UISpeechParams::Store()
{
    XmlNode* settings = GetOrCreateSettingsNode();
    if (!settings)
        return;
    settings->SetAttribute(kPortraits, portraits ? L"1" : L"0");
    settings->SetAttribute(kSubtitles, subtitles ? L"1" : L"0");
    settings->SetAttribute(kVoiceOvers, voiceOvers ? L"1" : L"0");
}

void UISpeechParams::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    if (button->name == L"btn_left")
    {
        Store();
        logGame(std::wstring(L"speech settings stored: portraits ") + (portraits ? L"on" : L"off") +
                L", subtitles " + (subtitles ? L"on" : L"off") + L", voice-overs " +
                (voiceOvers ? L"on" : L"off"));
        if (Core* core = Core::Get())
        {
            // Broadcasts "SETTINGS": the options screen below loads the new flags.
            core->ApplySettings();
            core->GetProfileStore().Save();
        }
        Close(true);
    }
    else if (button->name == L"btn_center")
    {
        portraits = subtitles = voiceOvers = true;
        ShowValues();
    }
    else if (button->name == L"btn_right")
        Close(false);
}
