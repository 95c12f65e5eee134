// The options screen ("dlg_options"): music, sound and voice volumes on three sliders, check boxes
// for full screen, tutorials, visual effects and the social network, and a button that opens the
// speech settings. The volumes follow the sliders at once; everything else is written into the
// current profile's settings on OK, applied to the running game and saved. Cancel takes the stored
// values back. Every control is optional: a definition that lacks one works without it, and the
// stored value it would have shown is written back unchanged.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/Screen.h"

#include <string>

namespace TarnEngine
{
class CheckBox;
class ISlider;
} // namespace TarnEngine

class UIOptions final : public TarnEngine::Screen
{
    TARN_RCLASS(UIOptions)
    TARN_LUA_CLASS("UIOptions")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_options";
    static constexpr const wchar_t* SpeechScreenName = L"dlg_speech_setup";

    // Binds the controls, takes the engine's full-screen flag and loads the stored settings.
    void OnScreenLoaded() override;
    // The screen's step, then the social-network box and "_8" follow the social-network object.
    void UpdateState() override;
    // "SETTINGS": loads the stored settings again.
    void OnGameEvent(const std::wstring& event, const std::wstring& value) override;
    // "okButton" stores, "cancelButton" restores, "speachsetupButton" opens the speech screen;
    // another name closes the screen without saving.
    void HandleButtonPressed(TarnEngine::Button* button) override;
    void HandleCheckBoxPressed(TarnEngine::CheckBox* box) override;
    void HandleSliderPressed(TarnEngine::ISlider* slider) override;
    void HandleSliderChanged(TarnEngine::ISlider* slider) override;

    // The stored settings into the fields (kept as they are without a settings element), the fields
    // into the controls, the volumes to the sound classes.
    void Load();
    // The volumes to the sound classes.
    void ApplyVolumes();
    // The fields into the settings element; nothing without a current profile.
    void Store();

    float GetMusicVolume() const { return musicVolume; }
    float GetSoundVolume() const { return soundVolume; }
    float GetVoiceVolume() const { return voiceVolume; }
    bool GetVoiceOvers() const { return voiceOvers; }

    static void RegisterLua(lua_State* state);

private:
    TarnEngine::ISlider* slider(const TarnEngine::InstanceHandle& handle) const;
    TarnEngine::CheckBox* box(const TarnEngine::InstanceHandle& handle) const;
    // The box's state, or the field as it is when the box is missing.
    bool boxState(const TarnEngine::InstanceHandle& handle, bool current) const;
    void takeBoxes();
    void accept();
    void cancel();
    void applyFacebookBox(TarnEngine::CheckBox* box);

    TarnEngine::InstanceHandle musicSlider;
    TarnEngine::InstanceHandle soundSlider;
    TarnEngine::InstanceHandle voiceSlider;
    TarnEngine::InstanceHandle fullscreenBox;
    TarnEngine::InstanceHandle tutorialsBox;
    TarnEngine::InstanceHandle facebookBox;
    TarnEngine::InstanceHandle effectsBox;

    bool tutorials = true;
    bool fullscreen = false;
    bool wideFix = false;
    bool effects = true;
    bool customCursor = true;
    bool voiceOvers = true;
    float soundVolume = 50.0f;
    float musicVolume = 75.0f;
    float voiceVolume = 75.0f;
};
