// A screen whose behaviour lives wholly in its script table: it tells the table when it is shown
// ("Shown"), when it has closed ("Closed"), of game events ("OnScreenEvent") and of its buttons
// ("HandleButtonPressed"), and closes only when the script closes it. A definition selects it by
// its movie class name.
#pragma once

#include "engine/scene/ui/Screen.h"

class LuaScreen final : public TarnEngine::Screen
{
    TARN_RCLASS(LuaScreen)
    TARN_LUA_CLASS("LuaScreen")
public:
    void OnScreenLoaded() override;
    void OnRemoved() override;
    // Event name and value reach the script as UTF-8 strings.
    void OnGameEvent(const std::wstring& event, const std::wstring& value) override;
    // To the table's "HandleButtonPressed"; the screen stays open.
    void HandleButtonPressed(TarnEngine::Button* button) override;

    static void RegisterLua(lua_State* state);
};
