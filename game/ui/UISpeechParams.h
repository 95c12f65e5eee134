// The speech settings screen ("dlg_speech_setup", opened over the options screen): check boxes for
// character portraits, subtitles and voice-overs. Subtitles need portraits: the subtitles box is
// enabled only while portraits are on, but keeps its own state. OK ("btn_left") stores the three
// flags, applies and saves; "btn_center" turns all three on without storing; "btn_right" leaves.
// A missing box is skipped.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/Screen.h"

namespace TarnEngine
{
class CheckBox;
}

class UISpeechParams final : public TarnEngine::Screen
{
    TARN_RCLASS(UISpeechParams)
    TARN_LUA_CLASS("UISpeechParams")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_speech_setup";

    // Binds the boxes, reads the stored flags and the voice volume, shows them.
    void OnScreenLoaded() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;
    void HandleCheckBoxPressed(TarnEngine::CheckBox* box) override;

    // The flags into the boxes; the Voice class follows the voice-over flag.
    void ShowValues();
    // The three flags into the settings element; nothing without a current profile.
    void Store();

    bool GetPortraits() const { return portraits; }
    bool GetSubtitles() const { return subtitles; }
    bool GetVoiceOvers() const { return voiceOvers; }

    static void RegisterLua(lua_State* state);

private:
    TarnEngine::CheckBox* box(const TarnEngine::InstanceHandle& handle) const;

    bool portraits = true;
    bool subtitles = true;
    bool voiceOvers = true;
    float voiceVolume = 0.0f;
    TarnEngine::InstanceHandle portraitsBox;
    TarnEngine::InstanceHandle subtitlesBox;
    TarnEngine::InstanceHandle voiceOverBox;
};
