// The profile screen ("dlg_profile"): up to five slots ("entry_0".."entry_4", ProfileButton) that
// list the profiles of the profile file, with "addButton", "okButton" and "deleteButton". One click
// on a slot selects it (20 screen steps later, so that a second click can make it a double
// click); a double click chooses the profile (or adds one on an empty slot). The current profile
// can never be deleted; deleting another asks first.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/Screen.h"
#include "game/ui/UIMessageBoxListener.h"

#include <cstdint>
#include <string>
#include <vector>

class ProfileButton;
class ProfileStore;

class UIProfile final : public TarnEngine::Screen, public UIMessageBoxListener
{
    TARN_RCLASS(UIProfile)
    TARN_LUA_CLASS("UIProfile")
public:
    static constexpr const wchar_t* DefinitionName = L"dlg_profile";
    static constexpr uint32_t MaxSlots = 5;
    // Screen steps after a first click at which it counts as a single click.
    static constexpr uint32_t DoubleClickSteps = 20;
    // Message ids: the list is full, and the delete question.
    static constexpr int32_t MessageListFull = 101;
    static constexpr int32_t MessageDelete = 102;
    static constexpr const wchar_t* DeleteQuestionKey = L"Do you really want to delete profile %s?";
    static constexpr const wchar_t* ListFullText = L"|T|There is no space to create new profile.\r\nPlease "
                                                   L"return to profile screen and remove unnecessary "
                                                   L"profiles.";

    ~UIProfile() override;

    // Binds the slots and the delete button; fills the list when the delete button exists.
    void OnScreenLoaded() override;
    // The screen's step, then the click timing of every slot.
    void UpdateState() override;
    // "addButton", "okButton", "deleteButton".
    void HandleButtonPressed(TarnEngine::Button* button) override;
    // The delete question answered.
    void HandleMsgBox(int32_t id, int32_t result) override;

    // A click on a slot of this screen.
    void OnSlotClicked(ProfileButton* slot);

    void Refresh();
    void AddProfile();
    void OnSingleClick(ProfileButton* slot);
    void Select(ProfileButton* slot);
    void ChooseSelected();
    void AskDelete();
    uint32_t CountOccupied() const;

    // The slots that still exist, in list order.
    std::vector<ProfileButton*> GetSlots() const;
    // The selected slot, or null (a slot counts only while it shows the selection).
    ProfileButton* GetSelected() const;

    static void RegisterLua(lua_State* state);

private:
    ProfileStore* store() const;

    std::vector<TarnEngine::InstanceHandle> slots;
    TarnEngine::InstanceHandle selected;
    TarnEngine::InstanceHandle deleteButton;
    // The profile the open delete question is about.
    std::wstring pendingDelete;
};
