// The item list; see HUDList.h.
#include "game/hiddenobject/HUDList.h"

#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/hiddenobject/BoardScript.h"
#include "game/hiddenobject/BoardServices.h"
#include "game/hiddenobject/HOScreen.h"
#include "game/hiddenobject/HUDListEntry.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyState.h"

#include <algorithm>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(HUDList, Instance_Movie, RObjectFactory<HUDList>, L"HUDList", &HUDList::RegisterLua)

void HUDList::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
}

void HUDList::OnLoad(InstanceHandle instance)
{
    if (instance.GetInstance() != static_cast<Instance_Base*>(this))
        return;
    SetEatingMouse(true);
    const float w = ComputeWidth(false) - 10.0f;
    const float h = ComputeHeight(false) - 10.0f;
    entries.clear();
    for (int i = 0; i < EntryCount; ++i)
    {
        Instance_Base* made = Instance_Movie::CreateChild(this, L"mov_itemtext", L"ItemName_" + std::to_wstring(i),
                                                          nullptr)
                                  .GetInstance();
        if (!made)
            continue;
        made->SetPosition(5.0f + (float(i / Rows) + 0.5f) * w / float(Columns), 5.0f + float(i % Rows) * h / float(Rows));
        // Anything else made from the definition is not used as an entry.
        if (auto* entry = RObjectCast<HUDListEntry>(made))
        {
            entry->SetOwner(this);
            entries.emplace_back(entry);
        }
    }
}

void HUDList::SetBoard(ISpyBoard* newBoard)
{
    board = WeakPtr<Instance_Movie>(newBoard);
}

ISpyBoard* HUDList::GetBoard() const
{
    Instance_Movie* movie = board.Get();
    return movie && !movie->unloaded ? RObjectCast<ISpyBoard>(movie) : nullptr;
}

std::vector<HUDListEntry*> HUDList::GetEntries() const
{
    std::vector<HUDListEntry*> out;
    for (const WeakPtr<Instance_Movie>& entry : entries)
        if (Instance_Movie* movie = entry.Get(); movie && !movie->unloaded)
            out.push_back(static_cast<HUDListEntry*>(movie));
    return out;
}

void HUDList::SelectFreshGroups()
{
    for (HUDListEntry* entry : GetEntries())
    {
        ISpyBoard* current = GetBoard();
        entry->SetGroup(current ? current->ActivateNextGroup() : -1);
        entry->Refresh();
    }
}

void HUDList::RestoreGroups(const ISpyState& state)
{
    if (state.m_groups_list.empty())
        return SelectFreshGroups();
    const std::vector<HUDListEntry*> list = GetEntries();
    for (size_t i = 0; i < list.size(); ++i)
    {
        const ISpyBoard* current = GetBoard();
        int32_t group = i < state.m_groups_list.size() ? state.m_groups_list[i] : -1;
        // The file is untrusted: only a group the board has counts.
        if (!current || group < 0 || size_t(group) >= current->GetGroupCount())
            group = -1;
        list[i]->SetGroup(group);
        list[i]->Refresh();
        if (list[i]->IsDone())
            list[i]->NextGroup();
    }
}

void HUDList::SaveGroups(ISpyState& state) const
{
    for (const HUDListEntry* entry : GetEntries())
        state.m_groups_list.push_back(entry->GetGroup());
}

void HUDList::OnItemFound(ISpyItem* item)
{
    for (HUDListEntry* entry : GetEntries())
        entry->OnItemFound(item);
}

bool HUDList::HasHintableEntry() const
{
    const std::vector<HUDListEntry*> list = GetEntries();
    return std::any_of(list.begin(), list.end(), [](const HUDListEntry* entry) { return entry->IsHintable(); });
}

void HUDList::SetHintSelection(bool on)
{
    if (on)
    {
        std::vector<HUDListEntry*> candidates;
        for (HUDListEntry* entry : GetEntries())
            if (entry->HasActiveItem())
                candidates.push_back(entry);
        if (candidates.size() == 1)
        {
            selecting = false;
            candidates.front()->HintEntry();
            return;
        }
    }
    // Ending a selection only takes the shield and highlights away: hinting a lone candidate
    // here would spend a second, free hint.
    selecting = on;
    if (Instance_Movie* back = RObjectCast<Instance_Movie>(shield.GetInstance()))
    {
        back->SetVisible(on);
        back->SetEatingMouse(on);
    }
    ISpyBoard* current = GetBoard();
    const bool moving = current && current->IsMoving();
    for (HUDListEntry* entry : GetEntries())
        entry->SetHintHighlight(on, moving);
    if (Instance_Movie* frame = RObjectCast<Instance_Movie>(FindChildByPath(L"frame").AsMovie().GetInstance()))
    {
        frame->SetVisible(on);
        frame->SetFrame(0);
        frame->SetPlaying(true);
    }
}

bool HUDList::CancelSelection()
{
    if (!selecting)
        return false;
    const WeakPtr<LuaObjectBase> alive(this);
    SetHintSelection(false);
    if (!alive.IsAlive())
        return true;
    if (auto* screen = RObjectCast<HOScreen>(parent.GetInstance()))
        screen->CancelHint();
    else
        BoardScript::RaiseGameEvent("HintCancelled");
    return true;
}

void HUDList::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    const Instance_Base* back = shield.GetInstance();
    // The selection stays as it is while the game is paused.
    if (!selecting || !back || !back->visible || ISpyBoard::IsGamePaused())
        return;
    if (button == 1 || instance == shield)
        CancelSelection();
}

void HUDList::UpdateCursor()
{
    bool over = false;
    for (HUDListEntry* entry : GetEntries())
        if (entry->IsOffered() && entry->IsMouseOver())
            over = true;
    BoardServices::Get().SetCursorIdx(over ? CF_CLICK : CF_DEFAULT);
}

void HUDList::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.SetConstructor(&LuaConstruct<HUDList>);
    def.Build(StaticScriptName());
}
