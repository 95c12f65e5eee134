// The new-profile screen ("dlg_new_profile"): a text field ("textfield") for the new name with
// "okButton" and "cancelButton". Opened by the profile screen and at start-up when there is no
// profile; then (frame 1) Cancel does nothing, so that the first profile cannot be skipped. Names
// are trimmed of blanks; an empty, blank or existing name (compared exactly) is refused. OK
// creates the profile, makes it current and closes the profile screen with this one.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/Screen.h"

#include <string>

namespace TarnEngine
{
class TextField;
}

class ProfileStore;

class UINewProfile final : public TarnEngine::Screen
{
    TARN_RCLASS(UINewProfile)
    TARN_LUA_CLASS("UINewProfile")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_new_profile";
    static constexpr const wchar_t* AllowedSymbolsKey = L"Allowed Symbols";

    void OnScreenLoaded() override;
    // The screen's step, then OK follows CanCreate.
    void UpdateState() override;
    void HandleButtonPressed(TarnEngine::Button* button) override;

    // The field's text without leading and trailing blanks; empty without a field.
    std::wstring GetEnteredName() const;
    bool CanCreate() const;
    void CreateProfile();

    TarnEngine::TextField* GetTextField() const;

    static void RegisterLua(lua_State* state);

private:
    ProfileStore* store() const;
    size_t countProfiles() const;

    TarnEngine::InstanceHandle textField;
    TarnEngine::InstanceHandle okButton;
};
