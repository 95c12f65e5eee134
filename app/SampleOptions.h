// The sample's options dialog as the engine sees it: a screen that stands in
// for the game's options screen until the game exists. Its slider
// "slider_music" sets the music classes' volume while it moves, and Cancel
// puts back the volume the dialog opened with. When its widgets have loaded it
// shows the settings its script table holds: a check box or radio button is
// ticked when the table's field of the widget's name is true. Everything else,
// including what OK means, is left to its script class: the script table
// hears "HandleButtonPressed" before the screen closes.
#pragma once

#include "engine/scene/ui/Screen.h"

class SampleOptions final : public TarnEngine::Screen
{
    TARN_RCLASS(SampleOptions)
    TARN_LUA_CLASS("SampleOptions")
public:
    static constexpr const wchar_t* MusicSlider = L"slider_music";

    void UpdateState() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;
    void HandleSliderPressed(TarnEngine::ISlider* slider) override;
    void HandleSliderChanged(TarnEngine::ISlider* slider) override;

    static void RegisterLua(lua_State* state);

private:
    // Ticks the widgets from the script table once they have registered; true when done.
    bool showSettings();
    void applyMusicSlider(TarnEngine::ISlider* slider);

    bool settingsShown = false;
    float volumeAtOpen = -1.0f;
};
