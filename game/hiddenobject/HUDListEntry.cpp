// One line of the item list; see HUDListEntry.h.
#include "game/hiddenobject/HUDListEntry.h"

#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/hiddenobject/BoardScript.h"
#include "game/hiddenobject/HUDList.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/SceneBlur.h"

#include <algorithm>
#include <cwchar>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(HUDListEntry, Instance_Movie, RObjectFactory<HUDListEntry>, L"HUDListEntry",
                              &HUDListEntry::RegisterLua)

namespace
{

template <class T = Instance_Movie> T* instanceOf(const InstanceHandle& handle)
{
    Instance_Base* instance = handle.GetInstance();
    return instance && !instance->unloaded ? RObjectCast<T>(instance) : nullptr;
}

void setVisible(const InstanceHandle& handle, bool on)
{
    if (Instance_Base* instance = instanceOf<Instance_Base>(handle))
        instance->SetVisible(on);
}

int onLineAppeared(lua_State* state)
{
    if (HUDListEntry* self = GetLuaSelf<HUDListEntry>(state))
        self->NextGroup();
    return 0;
}

int onDissolved(lua_State* state)
{
    HUDListEntry* self = GetLuaSelf<HUDListEntry>(state);
    if (!self)
        return 0;
    const WeakPtr<LuaObjectBase> alive(self);
    self->Refresh();
    if (alive.IsAlive() && self->GetLuaTable().GetMethod("Appear"))
        CallLuaFunction1(self->GetLuaTable().GetState());
    return 0;
}

} // namespace

void HUDListEntry::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
    owner.Release();
    group = -1;
}

HUDList* HUDListEntry::GetOwner() const
{
    Instance_Movie* list = owner.Get();
    return list && !list->unloaded ? RObjectCast<HUDList>(list) : nullptr;
}

void HUDListEntry::SetOwner(HUDList* list)
{
    owner = WeakPtr<Instance_Movie>(list);
}

bool HUDListEntry::callOwn(const char* function)
{
    const WeakPtr<LuaObjectBase> alive(this);
    if (luaTable.GetMethod(function))
        CallLuaFunction1(luaTable.GetState());
    return alive.IsAlive() && !unloaded;
}

void HUDListEntry::OnLoad(InstanceHandle instance)
{
    if (instance.GetInstance() != static_cast<Instance_Base*>(this))
        return;
    itemName = FindChildByPath(L"item_name").AsText();
    line0 = FindChildByPath(L"line_0").AsMovie();
    underline = FindChildByPath(L"underline").AsMovie();
    bkg = FindChildByPath(L"bkg").AsMovie();
    setVisible(line0, false);
    for (const InstanceHandle* part : {&underline, &line0, &bkg})
        SceneBlur::FitWidth(instanceOf<Instance_Base>(*part), 1.0f);
}

std::vector<ISpyItem*> HUDListEntry::GetItems() const
{
    const HUDList* list = GetOwner();
    const ISpyBoard* board = list ? list->GetBoard() : nullptr;
    return board ? board->GetGroup(group) : std::vector<ISpyItem*>();
}

bool HUDListEntry::HasActiveItem() const
{
    const std::vector<ISpyItem*> items = GetItems();
    return std::any_of(items.begin(), items.end(), [](const ISpyItem* item) { return item->GetState() == ITEM_ACTIVE; });
}

bool HUDListEntry::IsDone() const
{
    const std::vector<ISpyItem*> items = GetItems();
    return !items.empty() &&
           std::none_of(items.begin(), items.end(), [](const ISpyItem* item) { return item->GetState() == ITEM_ACTIVE; });
}

void HUDListEntry::setNameColour(uint32_t colour)
{
    if (Instance_Base* text = instanceOf<Instance_Base>(itemName))
        text->SetColor(colour);
}

void HUDListEntry::Refresh()
{
    const std::vector<ISpyItem*> items = GetItems();
    const bool done = !items.empty() && std::none_of(items.begin(), items.end(), [](const ISpyItem* item) {
        return item->GetState() == ITEM_ACTIVE;
    });
    setVisible(line0, done);
    setVisible(underline, false);
    setVisible(itemName, !items.empty());
    auto* text = instanceOf<Instance_Text>(itemName);
    if (items.empty() || !text)
        return;
    text->SetColor(ColourNormal);
    std::wstring caption;
    if (items.size() == 1)
    {
        caption = items.front()->s_name;
    }
    else
    {
        const auto active = std::count_if(items.begin(), items.end(),
                                          [](const ISpyItem* item) { return item->GetState() == ITEM_ACTIVE; });
        caption = items.front()->s_category + L" (" + std::to_wstring(active) + L")";
    }
    const int32_t width = std::max(0, text->MeasureText(caption).width);
    text->SetWidth(width);
    text->Relayout();
    const float left = -float(width) * 0.5f;
    text->SetX(left);
    if (Instance_Base* back = instanceOf<Instance_Base>(bkg))
        back->SetX(left);
    text->SetText(caption);
    SceneBlur::FitWidth(instanceOf<Instance_Base>(underline), float(width));
    SceneBlur::FitWidth(instanceOf<Instance_Base>(line0), float(width) + 20.0f);
    SceneBlur::FitWidth(instanceOf<Instance_Base>(bkg), float(width));
}

void HUDListEntry::NextGroup()
{
    HUDList* list = GetOwner();
    ISpyBoard* board = list ? list->GetBoard() : nullptr;
    const int32_t next = board ? board->ActivateNextGroup() : -1;
    if (next < 0)
    {
        Refresh();
        return;
    }
    group = next;
    callOwn("Dissolve");
}

bool HUDListEntry::IsOnScreen() const
{
    for (ISpyItem* item : GetItems())
    {
        float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
        item->GetBounds(left, top, right, bottom, true);
        if (!(left <= 1024.0f && right >= 0.0f && top <= 768.0f && bottom >= 0.0f && right - left > 10.0f &&
              bottom - top > 10.0f))
            return false;
    }
    return true;
}

bool HUDListEntry::IsHintable() const
{
    if (!HasActiveItem())
        return false;
    const HUDList* list = GetOwner();
    ISpyBoard* board = list ? list->GetBoard() : nullptr;
    return !(board && board->IsMoving()) || IsOnScreen();
}

void HUDListEntry::SetHintHighlight(bool on, bool moving)
{
    if (!HasActiveItem())
        return;
    const bool ok = moving ? IsOnScreen() : true;
    setVisible(underline, on && ok);
    const uint32_t colour = on ? ColourOffered : ColourNormal;
    if (Instance_Base* line = instanceOf<Instance_Base>(underline))
        line->SetColor(colour);
    setNameColour(colour);
    if (Instance_Base* text = instanceOf<Instance_Base>(itemName))
        text->SetOpacity(on && !ok ? 0.5f : 1.0f);
}

bool HUDListEntry::HintEntry()
{
    for (ISpyItem* item : GetItems())
    {
        if (item->GetState() != ITEM_ACTIVE)
            continue;
        if (item->GetLuaTable().GetMethod("OnHint"))
            CallLuaFunction1(item->GetLuaTable().GetState());
        BoardScript::RaiseGameEvent("HintUsed");
        return true;
    }
    return false;
}

bool HUDListEntry::IsOffered() const
{
    const Instance_Base* line = instanceOf<Instance_Base>(underline);
    return line && line->visible;
}

void HUDListEntry::OnItemFound(ISpyItem* item)
{
    SetHintHighlight(false, false);
    const std::vector<ISpyItem*> items = GetItems();
    if (std::find(items.begin(), items.end(), item) == items.end())
        return;
    const WeakPtr<LuaObjectBase> alive(this);
    if (!IsDone())
    {
        Refresh();
    }
    else
    {
        setVisible(line0, true);
        if (!callOwn("OnItemFound"))
            return;
    }
    if (!alive.IsAlive() || unloaded)
        return;
    InstanceHandle effect;
    SpawnParticleEffect(L"find_Item_UI", this, effect, L"", 0.0f, ComputeHeight(false) * 0.5f);
}

void HUDListEntry::OnMouseDown(InstanceHandle, uint32_t)
{
    // A pick while the game is paused would spend the hint with the game clock standing.
    if (!IsOffered() || ISpyBoard::IsGamePaused())
        return;
    HUDList* list = GetOwner();
    const WeakPtr<LuaObjectBase> alive(this);
    const WeakPtr<Instance_Movie> listAlive(list);
    const bool hinted = HintEntry();
    list = listAlive.Get() ? RObjectCast<HUDList>(listAlive.Get()) : nullptr;
    if (hinted)
    {
        if (list)
            list->SetHintSelection(false);
        return;
    }
    // Nothing to hint after all: the whole hint is cancelled, so the hint button is usable again.
    if (!list || !list->CancelSelection())
        BoardScript::RaiseGameEvent("HintCancelled");
}

void HUDListEntry::OnMouseEnter(InstanceHandle)
{
    if (GetItems().empty() || !IsOffered())
        return;
    if (Instance_Base* line = instanceOf<Instance_Base>(underline))
        line->SetColor(ColourOver);
    setNameColour(ColourOver);
}

void HUDListEntry::OnMouseLeave(InstanceHandle)
{
    if (GetItems().empty() || !IsOffered())
        return;
    if (Instance_Base* line = instanceOf<Instance_Base>(underline))
        line->SetColor(ColourOffered);
    setNameColour(ColourOffered);
}

void HUDListEntry::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.AddMethod("OnLineAppeared", &onLineAppeared);
    def.AddMethod("OnDissolved", &onDissolved);
    def.SetConstructor(&LuaConstruct<HUDListEntry>);
    def.Build(StaticScriptName());
}
