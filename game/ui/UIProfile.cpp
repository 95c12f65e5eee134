// The profile screen; see UIProfile.h.
#include "game/ui/UIProfile.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringTable.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "game/core/Core.h"
#include "game/core/ProfileStore.h"
#include "game/ui/ProfileButton.h"
#include "game/ui/UIMessageBox.h"
#include "game/ui/UINewProfile.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(UIProfile, Screen, RObjectFactory<UIProfile>, L"UIProfile",
                              &UIProfile::RegisterLua)

namespace
{

// What the player did on this screen, for the game's log.
void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

ProfileButton* slotOf(const InstanceHandle& handle)
{
    return RObjectCast<ProfileButton>(handle.GetInstance());
}

// The delete question in the player's language with the name in it. The name is an argument, not
// part of the key, and is put in as it is: it may hold "%" or anything else the player typed.
std::wstring deleteQuestion(const std::wstring& profileName)
{
    const StringTable* table = StringTable::GetKeyed();
    const std::wstring key = UIProfile::DeleteQuestionKey;
    std::wstring question = table ? table->GetText(key) : key;
    const size_t at = question.find(L"%s");
    if (at != std::wstring::npos)
        question.replace(at, 2, profileName);
    return question;
}

} // namespace

void UIProfile::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<UIProfile>);
    def.Build(StaticScriptName());
}

UIProfile::~UIProfile()
{
    for (ProfileButton* slot : GetSlots())
        if (slot->owner == this)
            slot->owner = nullptr;
}

ProfileStore* UIProfile::store() const
{
    Core* core = Core::Get();
    return core ? &core->GetProfileStore() : nullptr;
}

std::vector<ProfileButton*> UIProfile::GetSlots() const
{
    std::vector<ProfileButton*> out;
    for (const InstanceHandle& handle : slots)
        if (ProfileButton* slot = slotOf(handle))
            out.push_back(slot);
    return out;
}

ProfileButton* UIProfile::GetSelected() const
{
    ProfileButton* slot = slotOf(selected);
    return slot && slot->slotState == ProfileButton::SlotSelected ? slot : nullptr;
}

void UIProfile::OnScreenLoaded()
{
    slots.clear();
    for (uint32_t i = 0; i < MaxSlots; ++i)
    {
        const InstanceHandle found = FindChildByPath(L"entry_" + std::to_wstring(i));
        if (ProfileButton* slot = slotOf(found))
        {
            slot->owner = this;
            slots.push_back(found);
        }
    }
    const InstanceHandle button = FindChildByPath(L"deleteButton");
    if (RObjectCast<Button>(button.GetInstance()))
    {
        deleteButton = button;
        Refresh();
    }
    logGame(L"profile screen shown: " + std::to_wstring(CountOccupied()) + L" profiles");
}

uint32_t UIProfile::CountOccupied() const
{
    uint32_t count = 0;
    for (const ProfileButton* slot : GetSlots())
        count += slot->slotState != ProfileButton::SlotEmpty ? 1 : 0;
    return count;
}

void UIProfile::Refresh()
{
    // 1.
    const std::vector<ProfileButton*> list = GetSlots();
    for (ProfileButton* slot : list)
    {
        if (slot->slotState == ProfileButton::SlotSelected)
        {
            slot->SetEnabled(true);
            slot->slotState = ProfileButton::SlotOccupied;
        }
        slot->SetProfileName(L"");
        slot->slotState = ProfileButton::SlotEmpty;
    }
    // 2.
    ProfileStore* profiles = store();
    if (!profiles)
        return;
    std::vector<std::wstring> names;
    profiles->ListProfileNames(names);
    const std::wstring current = profiles->GetCurrentProfileName();
    // 3.
    for (size_t i = 0; i < names.size() && i < list.size(); ++i)
    {
        list[i]->SetProfileName(names[i]);
        if (names[i] == current)
            Select(list[i]);
    }
}

void UIProfile::UpdateState()
{
    Screen::UpdateState();
    for (ProfileButton* slot : GetSlots())
    {
        ++slot->clickCounter;
        if (slot->clickCounter % DoubleClickSteps == 0 && slot->clickPending)
        {
            slot->clickPending = false;
            OnSingleClick(slot);
        }
    }
}

void UIProfile::OnSlotClicked(ProfileButton* slot)
{
    if (!slot)
        return;
    if (!slot->clickPending)
    {
        slot->clickPending = true;
        slot->clickCounter = 0;
        return;
    }
    slot->clickPending = false;
    if (slot->slotState == ProfileButton::SlotEmpty)
        AddProfile();
    else
    {
        Select(slot);
        ChooseSelected();
    }
}

void UIProfile::OnSingleClick(ProfileButton* slot)
{
    if (!slot || slot->slotState != ProfileButton::SlotOccupied)
        return;
    for (ProfileButton* each : GetSlots())
        if (each->slotState == ProfileButton::SlotSelected)
        {
            each->SetEnabled(true);
            each->slotState = ProfileButton::SlotOccupied;
        }
    Select(slot);
    logGame(L"profile \"" + slot->GetProfileName() + L"\" selected");
}

void UIProfile::Select(ProfileButton* slot)
{
    if (!slot)
        return;
    // 1.
    slot->SetEnabled(false);
    slot->slotState = ProfileButton::SlotSelected;
    selected = slot->movieHandle;
    // 2. The current profile can never be deleted.
    if (auto* button = RObjectCast<Button>(deleteButton.GetInstance()))
    {
        ProfileStore* profiles = store();
        const bool isCurrent = profiles && slot->GetProfileName() == profiles->GetCurrentProfileName();
        button->SetEnabled(!isCurrent && CountOccupied() >= 2);
    }
}

void UIProfile::AddProfile()
{
    if (CountOccupied() >= MaxSlots)
    {
        ShowMessageBox(nullptr, this, MessageListFull, L"", ListFullText, nullptr, L"|T|Ok", nullptr);
        return;
    }
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->OpenScreen(UINewProfile::DefinitionName, L"", true, true);
}

void UIProfile::ChooseSelected()
{
    const ProfileButton* slot = GetSelected();
    ProfileStore* profiles = store();
    if (!slot || slot->GetProfileName().empty() || !profiles)
        return;
    logGame(L"profile \"" + slot->GetProfileName() + L"\" chosen");
    profiles->SetCurrentProfile(slot->GetProfileName());
    Close(true);
}

void UIProfile::AskDelete()
{
    const ProfileButton* slot = GetSelected();
    if (!slot || slot->GetProfileName().empty())
        return;
    pendingDelete = slot->GetProfileName();
    UIMessageBox* box =
        ShowMessageBox(nullptr, this, MessageDelete, L"", L"", L"|T|Ok", nullptr, L"|T|Cancel");
    // The question holds what the player typed: shown literally, never read as a key or colours.
    if (box)
        if (auto* message = RObjectCast<Instance_Text>(box->FindChildByPath(L"message").GetInstance()))
            message->SetLiteralText(deleteQuestion(pendingDelete));
}

void UIProfile::HandleMsgBox(int32_t id, int32_t result)
{
    // A screen that is closing has nobody to answer to.
    for (const int32_t state : {GetScreenState(), GetRequestedScreenState()})
        if (state == StateFadingOut || state == StateClosed)
            return;
    if (id != MessageDelete)
        return;
    const std::wstring name = pendingDelete;
    pendingDelete.clear();
    ProfileStore* profiles = store();
    // The profile asked about, which must still not be the current one.
    if (result != 0 || name.empty() || !profiles || name == profiles->GetCurrentProfileName())
        return;
    profiles->DeleteProfile(name);
    logGame(L"profile \"" + name + L"\" deleted");
    Refresh();
}

void UIProfile::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    if (button->name == L"addButton")
        AddProfile();
    else if (button->name == L"okButton")
        ChooseSelected();
    else if (button->name == L"deleteButton")
        AskDelete();
}
