// The in-game (pause) menu "dlg_ingamemenu": from it the player reaches the options ("btn_options")
// and help ("btn_help") screens, which open over it, asks to leave the game ("btn_exit"), or goes
// back to play ("cancelButton", also on Escape). Opened by the game object on Escape, by the
// typewriter board and by scripts.
#pragma once

#include "engine/scene/ui/Screen.h"

class DlgIngameMenu final : public TarnEngine::Screen
{
    TARN_RCLASS(DlgIngameMenu)
    TARN_LUA_CLASS("DlgIngameMenu")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_ingamemenu";

    void OnScreenLoaded() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;

    static void RegisterLua(lua_State* state);
};
