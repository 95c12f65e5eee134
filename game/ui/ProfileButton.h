// One slot of the profile screen's list: a button that shows a profile name in its text child
// "lbl_name" and hands its clicks to the profile screen, which tells single from double clicks
// by counting its steps. The slot keeps the name it shows, so that choosing or deleting acts on
// exactly that profile whatever the label makes of the text: names are shown as typed. A
// selected slot is drawn disabled but still takes clicks.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/widgets/Button.h"

#include <cstdint>
#include <string>

class UIProfile;

class ProfileButton final : public TarnEngine::Button
{
    TARN_RCLASS(ProfileButton)
    TARN_LUA_CLASS("ProfileButton")
public:
    enum SlotState : uint32_t
    {
        SlotEmpty = 0,
        SlotOccupied = 1,
        SlotSelected = 2,
    };

    // The Button's load, then the label child.
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    // A left click goes to the owner's click timing; no button sound, listener or script event.
    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;
    // No pressed look.
    void OnMouseDown(TarnEngine::InstanceHandle, uint32_t) override {}
    void OnMouseUpOutside(TarnEngine::InstanceHandle, uint32_t) override {}
    // The disabled look, with input kept on.
    void SetEnabled(bool enable) override;

    // Shows the name (empty: the slot is empty); nothing before the label is known.
    void SetProfileName(const std::wstring& profileName);
    const std::wstring& GetProfileName() const { return profileName; }

    static void RegisterLua(lua_State* state);

    TarnEngine::InstanceHandle label;
    UIProfile* owner = nullptr; // not owned; the screen clears it when it goes
    uint32_t slotState = SlotEmpty;
    bool clickPending = false;
    uint32_t clickCounter = 0;

private:
    std::wstring profileName;
};
