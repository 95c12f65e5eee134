// The hidden-object board; see ISpyBoard.h.
#include "game/hiddenobject/ISpyBoard.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextConversion.h"
#include "engine/core/time/TimeManager.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/media/video/IImageSource.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/script/LuaBaseSubclass.h"
#include "engine/scene/ui/UserInterface.h"
#include "game/hiddenobject/BoardScript.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/PuzzleItem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(ISpyBoard, Instance_Movie, RObjectFactory<ISpyBoard>, L"ISpyBoard",
                              &ISpyBoard::RegisterLua)

namespace
{

template <class T> bool isLive(const WeakPtr<T>& entry)
{
    const T* object = entry.Get();
    return object && !object->unloaded;
}

// The live entries of a list, in order: a copy, since the caller may run scripts that change it.
template <class T> std::vector<T*> liveEntries(const std::vector<WeakPtr<T>>& list)
{
    std::vector<T*> out;
    out.reserve(list.size());
    for (const WeakPtr<T>& entry : list)
        if (isLive(entry))
            out.push_back(entry.Get());
    return out;
}

template <class T> std::vector<WeakPtr<T>> snapshot(const std::vector<WeakPtr<T>>& list)
{
    return list;
}

// Every descendant, depth first, each movie's children in drawing order.
void collectDescendants(Instance_Movie& movie, std::vector<InstanceHandle>& out, int depth)
{
    if (depth > Instance_Base::MaxTreeDepth)
        return;
    for (Instance_Base* child : movie.drawOrder)
    {
        out.push_back(child->handle);
        if (child->type == INSTANCE_MOVIE)
            if (Instance_Movie* sub = RObjectCast<Instance_Movie>(child))
                collectDescendants(*sub, out, depth + 1);
    }
}

// An image's video source gets the paused flag; a movie passes it to its children.
void pauseVideos(Instance_Base* instance, bool paused, int depth)
{
    if (!instance || depth > Instance_Base::MaxTreeDepth)
        return;
    if (instance->type == INSTANCE_IMAGE)
    {
        if (Instance_Image* image = RObjectCast<Instance_Image>(instance))
            if (IImageSource* source = image->GetVideoSource())
                source->SetPaused(paused);
    }
    else if (instance->type == INSTANCE_MOVIE)
    {
        if (Instance_Movie* movie = RObjectCast<Instance_Movie>(instance))
            for (size_t i = 0; i < movie->children.size(); ++i)
                pauseVideos(movie->children[i], paused, depth + 1);
    }
}

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

} // namespace

ISpyBoard::~ISpyBoard() = default;

void ISpyBoard::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
    firstWrongClickTime = 0.0f;
    wrongClickCount = 0;
    hiddenObjectMode = false;
    defaultCursor = CF_DEFAULT;
}

void ISpyBoard::OnFrameUpdate(float)
{
    tooltips.Update();
}

bool ISpyBoard::IsGamePaused()
{
    TimeManager* time = TimeManager::Get();
    return time && time->GetClock(1).paused;
}

float ISpyBoard::clockSeconds()
{
    const TimeManager* time = TimeManager::Get();
    return time ? float(time->GetRealClock().now) / 1000.0f : 0.0f;
}

bool ISpyBoard::getOwnMethod(const char* method) const
{
    return luaTable.GetMethod(method);
}

// ---- Attach and settings.

void ISpyBoard::OnLoad(InstanceHandle instance)
{
    if (!instance.IsValid() || instance.GetInstance() != static_cast<Instance_Base*>(this))
        return;
    const WeakPtr<Instance_Movie> self(this);
    auto gone = [&self] { return !isLive(self); };

    BoardScript::RaiseGameEvent("ISpyLoaded");
    if (gone())
        return;
    SetTimeChannel(1);
    descendants.clear();
    collectDescendants(*this, descendants, 0);
    if (getOwnMethod("OnAfterLoad"))
    {
        lua_State* lua = luaTable.GetState();
        PushNarrowString(lua, WStringToAnsi(name).c_str());
        LuaPCall(lua, 2, 0);
        if (gone())
            return;
    }
    boardLoadedEvent.Emit(this);
    if (gone())
        return;
    ApplyEffectSettings();
}

void ISpyBoard::ApplyEffectSettings()
{
    const XmlNode* profile = BoardServices::Get().GetCurrentProfile();
    const XmlNode* settings = profile ? profile->FindChild(L"SETTINGS_KEY") : nullptr;
    if (!settings)
        return;
    const bool effectsOn = settings->GetBoolAttribute(L"SETTINGS_FX_ON", false);
    std::vector<InstanceHandle> found;
    CollectChildrenByPartialName(found, L"fx_");
    for (const InstanceHandle& handle : found)
        if (Instance_Base* instance = handle.GetInstance(); instance && instance->type == INSTANCE_EFFECT)
            instance->SetVisible(effectsOn);
    found.clear();
    CollectChildrenByPartialName(found, L"video");
    for (const InstanceHandle& handle : found)
        pauseVideos(handle.GetInstance(), !effectsOn, 0);
}

void ISpyBoard::OnGameEvent(const std::wstring& eventName, const std::wstring&)
{
    if (eventName == L"SETTINGS")
        ApplyEffectSettings();
}

// ---- Registration.

void ISpyBoard::AddItem(ISpyItem* item)
{
    if (!item)
        return;
    item->SetBoard(this);
    items.emplace_back(item);
}

void ISpyBoard::AddLetter(ISpyItem* letter)
{
    if (!letter)
        return;
    letter->SetBoard(this);
    letters.emplace_back(letter);
}

void ISpyBoard::AddPuzzleItem(PuzzleItem* item)
{
    if (!item)
        return;
    item->SetBoard(this);
    puzzleItems.emplace_back(item);
}

bool ISpyBoard::AddPerson(const std::wstring& path, const std::wstring& text)
{
    Instance_Movie* person = RObjectCast<Instance_Movie>(FindChildByPath(path).GetInstance());
    if (!person)
        return false;
    tooltips.AddControl(person->movieHandle, text);
    ApplyHitType(nullptr, person, HTT_NonAlpha);
    return true;
}

void ISpyBoard::ForgetItem(const BaseItem* item)
{
    auto drop = [item](auto& list)
    {
        std::erase_if(list, [item](const auto& entry)
                      { return !entry.Get() || static_cast<const BaseItem*>(entry.Get()) == item; });
    };
    drop(items);
    drop(letters);
    drop(puzzleItems);
    for (auto& group : groups)
        drop(group);
    if (item)
        tooltips.RemoveControl(item->handle);
}

std::vector<ISpyItem*> ISpyBoard::GetItems() const
{
    return liveEntries(items);
}

std::vector<ISpyItem*> ISpyBoard::GetLetters() const
{
    return liveEntries(letters);
}

std::vector<PuzzleItem*> ISpyBoard::GetPuzzleItems() const
{
    return liveEntries(puzzleItems);
}

// ---- Finds.

void ISpyBoard::OnLetterFound(ISpyItem* letter)
{
    const WeakPtr<Instance_Movie> self(this);
    const WeakPtr<ISpyItem> found(letter);
    BoardScript::RaiseGameEvent("LetterFound", letter);
    if (!isLive(self))
        return;
    if (ISpyItem* still = found.Get())
        letterFoundEvent.Emit(still);
    if (!isLive(self))
        return;
    wrongClickCount = 0;
    if (!AreAllLettersFound())
        return;
    BoardScript::RaiseGameEvent("AllLettersFound");
    if (isLive(self))
        allLettersFoundEvent.Emit();
}

void ISpyBoard::OnItemFound(ISpyItem* item)
{
    const WeakPtr<Instance_Movie> self(this);
    const WeakPtr<ISpyItem> found(item);
    BoardScript::RaiseGameEvent("ItemFound", item);
    if (!isLive(self))
        return;
    if (ISpyItem* still = found.Get())
        itemFoundEvent.Emit(still);
    if (isLive(self))
        wrongClickCount = 0;
}

void ISpyBoard::OnWordGuessed()
{
    const WeakPtr<Instance_Movie> self(this);
    for (const WeakPtr<ISpyItem>& entry : snapshot(letters))
    {
        ISpyItem* letter = entry.Get();
        if (!letter || letter->unloaded || letter->GetState() != ITEM_ACTIVE)
            continue;
        letter->SetState(ITEM_HIDDEN);
        if (letter->GetLuaTable().GetMethod("OnFound"))
            CallLuaFunction1(letter->GetLuaTable().GetState());
        if (!isLive(self))
            return;
    }
    BoardScript::RaiseGameEvent("WordGuessed");
}

// ---- Questions.

bool ISpyBoard::IsComplete() const
{
    for (const WeakPtr<ISpyItem>& item : items)
        if (isLive(item) && item.Get()->GetState() == ITEM_ACTIVE)
            return false;
    return groupOrder.empty();
}

bool ISpyBoard::AreAllLettersFound() const
{
    for (const WeakPtr<ISpyItem>& letter : letters)
        if (isLive(letter) && letter.Get()->GetState() == ITEM_ACTIVE)
            return false;
    return true;
}

bool ISpyBoard::IsMoving()
{
    if (!getOwnMethod("IsMoving"))
        return false;
    lua_State* lua = luaTable.GetState();
    if (!LuaPCall(lua, 1, 1))
        return false;
    const bool moving = lua_toboolean(lua, -1) != 0;
    lua_pop(lua, 1);
    return moving;
}

// ---- Empty clicks.

void ISpyBoard::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (button != 0 || !instance.IsValid() || instance.GetInstance() != static_cast<Instance_Base*>(this) ||
        IsGamePaused())
        return;
    emptyClick();
}

void ISpyBoard::emptyClick()
{
    if (!hiddenObjectMode || IsComplete())
        return;
    BoardServices& services = BoardServices::Get();
    const WeakPtr<Instance_Movie> self(this);
    float localX = 0.0f, localY = 0.0f;
    GetLocalMousePosition(localX, localY);
    InstanceHandle made;
    SpawnParticleEffect(L"scav_wave", this, made, L"", localX, localY);
    const float width = ComputeWidth(false);
    float pan = width > 0.0f ? localX / width - 0.5f : 0.0f;
    if (!std::isfinite(pan))
        pan = 0.0f;
    services.PlaySound(L"empty_click", pan);

    const float window = BoardScript::QueryGameSettingFloat("RandomClicksTime", 0.0f);
    const int32_t limit = BoardScript::QueryGameSettingInt("RandomClicksCount", 0);
    if (!isLive(self))
        return;
    if (wrongClickCount == 0)
        firstWrongClickTime = clockSeconds();
    ++wrongClickCount;
    if (int64_t(wrongClickCount) < int64_t(limit))
        return;
    if (clockSeconds() - firstWrongClickTime > window)
        return;

    wrongClickCount = 0;
    if (!(services.GetBusyCountdown() > 0.0f))
        services.StartBusyCursor(PenaltyBusySeconds);
    const int32_t penalty = BoardScript::QueryGameSettingInt("RandomClickPenalty", 0);
    if (lua_State* lua = LuaBinding::GetState())
    {
        const int top = lua_gettop(lua);
        lua_getglobal(lua, "svc");
        if (lua_istable(lua, -1))
        {
            LuaGetFieldNoCall(lua, -1, "PlayerState");
            if (lua_istable(lua, -1))
            {
                lua_pushvalue(lua, -1);
                if (LuaFindMethodNoCall(lua, "PenaltyScore"))
                    LuaCallWithNumber(lua, double(penalty));
            }
        }
        lua_settop(lua, top);
    }
    if (!isLive(self))
        return;
    SpawnParticleEffect(L"click_penalty_2", this, made, L"", 512.0f, 300.0f);
    BoardScript::RaiseGameEvent("WrongClick");
}

// ---- Cursor.

void ISpyBoard::UpdateCursor()
{
    BoardServices& services = BoardServices::Get();
    inputEnabled = !(services.GetBusyCountdown() > 0.0f);
    // The pointer in the board's space once, for the items placed directly on the board (nearly all
    // of them); the others ask the engine's pointer test themselves. No script runs in this walk.
    float localX = 0.0f, localY = 0.0f;
    const UserInterface* ui = UserInterface::Get();
    bool localValid = false;
    if (ui)
    {
        localX = float(ui->mouseX);
        localY = float(ui->mouseY);
        localValid = GlobalToLocal(localX, localY);
    }
    bool hover = false, grab = false, drag = false;
    for (const WeakPtr<PuzzleItem>& entry : puzzleItems)
    {
        PuzzleItem* item = entry.Get();
        if (!item || item->unloaded || item->GetState() != ITEM_ACTIVE)
            continue;
        const bool over =
            item->parent.Equals(movieHandle)
                ? localValid && item->HitTestPoint(localX, localY, true, false, nullptr).IsValid()
                : item->IsMouseOver();
        if (item->IsDragging())
            drag = true;
        else if (over)
            hover = true;
        if (over && item->IsDragEnabled())
            grab = true;
    }
    int32_t cursor = defaultCursor;
    if (drag)
        cursor = hover ? CF_USE : CF_DRAGGED;
    else if (grab)
        cursor = CF_DRAGGABLE;
    else if (hover)
        cursor = CF_CLICK;
    services.SetCursorIdx(cursor);
}

// ---- Groups.

void ISpyBoard::BuildGroups()
{
    groups.clear();
    std::vector<WeakPtr<ISpyItem>> rest;
    rest.reserve(items.size());
    for (const WeakPtr<ISpyItem>& entry : items)
        if (isLive(entry))
            rest.push_back(entry);
    size_t from = 0;
    while (true)
    {
        while (from < rest.size() && rest[from].Get()->s_category.empty())
            ++from;
        if (from == rest.size())
            break;
        const std::wstring category = rest[from].Get()->s_category;
        std::vector<WeakPtr<ISpyItem>> group;
        std::vector<WeakPtr<ISpyItem>> kept;
        kept.reserve(rest.size());
        for (size_t i = 0; i < rest.size(); ++i)
            (i >= from && rest[i].Get()->s_category == category ? group : kept).push_back(rest[i]);
        groups.push_back(std::move(group));
        rest = std::move(kept);
    }
    for (WeakPtr<ISpyItem>& entry : rest)
        groups.push_back({std::move(entry)});
}

void ISpyBoard::ChooseGroups(uint32_t count)
{
    const size_t n = groups.size();
    size_t firstSingle = n;
    for (size_t i = 0; i < n; ++i)
        if (groups[i].size() == 1)
        {
            firstSingle = i;
            break;
        }
    groupOrder.resize(n);
    for (size_t i = 0; i < n; ++i)
        groupOrder[i] = uint32_t(i);
    if (count >= n)
        return;
    // Fisher-Yates over the runtime's rand, the way the library's random shuffle drew: seeding
    // rand gives the same choice again.
    for (size_t i = firstSingle + 1; i < n; ++i)
    {
        const size_t j = firstSingle + size_t(std::rand()) % (i - firstSingle + 1);
        std::swap(groupOrder[i], groupOrder[j]);
    }
    groupOrder.resize(count);
}

std::vector<ISpyItem*> ISpyBoard::GetGroup(int32_t index) const
{
    if (index < 0 || size_t(index) >= groups.size())
        return {};
    return liveEntries(groups[size_t(index)]);
}

int32_t ISpyBoard::ActivateNextGroup()
{
    while (!groupOrder.empty())
    {
        const uint32_t index = groupOrder.back();
        groupOrder.pop_back();
        if (index >= groups.size())
            continue; // never stored by LoadState; kept out all the same
        for (ISpyItem* item : liveEntries(groups[index]))
            item->SetState(ITEM_ACTIVE);
        return int32_t(index);
    }
    return -1;
}

// ---- Saved state.

void ISpyBoard::SaveStateParts(std::wstring& boardName, std::vector<int32_t>& order,
                               std::vector<ItemState>& saved) const
{
    boardName = name;
    order.assign(groupOrder.begin(), groupOrder.end());
    saved.clear();
    auto add = [&saved](const BaseItem* item)
    {
        if (item->GetState() == ITEM_ACTIVE || item->GetState() == ITEM_HIDDEN)
            saved.emplace_back(item->name, item->GetState());
    };
    for (const ISpyItem* item : liveEntries(items))
        add(item);
    for (const ISpyItem* letter : liveEntries(letters))
        add(letter);
    for (const PuzzleItem* item : liveEntries(puzzleItems))
        add(item);
}

void ISpyBoard::LoadStateParts(const std::vector<int32_t>& order, const std::vector<ItemState>& saved)
{
    BuildGroups();
    groupOrder.clear();
    std::vector<bool> taken(groups.size(), false);
    size_t dropped = 0;
    for (const int32_t index : order)
    {
        if (index < 0 || size_t(index) >= groups.size() || taken[size_t(index)])
        {
            ++dropped;
            continue;
        }
        taken[size_t(index)] = true;
        groupOrder.push_back(uint32_t(index));
    }
    if (dropped)
        logGame(L"ISpyBoard " + name + L": " + std::to_wstring(dropped) +
                L" saved group indices are outside the board's groups or repeated; dropped");

    // The first entry of each name that holds a state from 0 to 3; found by name, since a level
    // may have a thousand items.
    std::unordered_map<std::wstring, int32_t> byName;
    byName.reserve(saved.size());
    for (const ItemState& entry : saved)
        if (entry.m_state >= ITEM_DISABLED && entry.m_state <= ITEM_INVALID)
            byName.try_emplace(entry.m_name, entry.m_state);
    auto restore = [&byName](BaseItem* item)
    {
        const auto found = byName.find(item->name);
        item->SetState(found == byName.end() ? int32_t(ITEM_DISABLED) : found->second);
    };
    for (ISpyItem* item : liveEntries(items))
        restore(item);
    for (ISpyItem* letter : liveEntries(letters))
        restore(letter);
    for (PuzzleItem* item : liveEntries(puzzleItems))
        restore(item);
}

// ---- Tooltips and puzzle items.

void ISpyBoard::UpdateTooltip(BaseItem* item)
{
    if (!item)
        return;
    if (item->GetState() != ITEM_ACTIVE)
    {
        tooltips.RemoveControl(item->handle);
        return;
    }
    std::wstring key = L"TOOLTIP_" + item->s_name;
    if (lua_State* lua = item->GetLuaTable().GetState(); lua && item->GetLuaTable().PushTable())
    {
        LuaGetFieldNoCall(lua, -1, "s_state");
        std::wstring extra;
        if (lua_type(lua, -1) == LUA_TSTRING)
            LuaGetWStringArg(lua, extra, lua_gettop(lua));
        lua_pop(lua, 2);
        if (!extra.empty())
            key += L"_" + extra;
    }
    const StringTable* strings = StringTable::GetKeyed();
    if (strings && strings->HasText(key))
        tooltips.AddControl(item->handle, strings->GetText(key));
    else
        tooltips.RemoveControl(item->handle); // a text of an earlier "s_state" must not stay
}

void ISpyBoard::pushOthers(lua_State* lua, PuzzleItem* item)
{
    lua_newtable(lua);
    int key = 0;
    for (PuzzleItem* other : liveEntries(puzzleItems))
    {
        if (other == item || other->GetState() != ITEM_ACTIVE || !other->IsMouseOver())
            continue;
        if (BoardScript::PushInstanceTable(other))
            lua_rawseti(lua, -2, ++key);
    }
}

void ISpyBoard::OnItemPicked(PuzzleItem* item)
{
    if (!item)
        return;
    const WeakPtr<PuzzleItem> picked(item);
    if (getOwnMethod("OnPicked"))
    {
        lua_State* lua = luaTable.GetState();
        if (!BoardScript::PushInstanceTable(item))
            lua_pushnil(lua);
        pushOthers(lua, item);
        LuaPCall(lua, 3, 0);
    }
    if (PuzzleItem* still = picked.Get())
        tooltips.RemoveControl(still->handle);
}

bool ISpyBoard::OnItemDropped(PuzzleItem* item)
{
    if (!item)
        return false;
    const WeakPtr<PuzzleItem> dropped(item);
    const WeakPtr<Instance_Movie> self(this);
    bool accepted = false;
    if (getOwnMethod("OnDropped"))
    {
        lua_State* lua = luaTable.GetState();
        if (!BoardScript::PushInstanceTable(item))
            lua_pushnil(lua);
        pushOthers(lua, item);
        if (LuaPCall(lua, 3, 1))
        {
            accepted = lua_toboolean(lua, -1) != 0;
            lua_pop(lua, 1);
        }
    }
    if (isLive(self) && isLive(dropped))
        UpdateTooltip(dropped.Get());
    return accepted;
}

void ISpyBoard::RestoreDrawOrder(BaseItem* item)
{
    if (!item)
        return;
    const auto found = std::find(descendants.begin(), descendants.end(), item->handle);
    if (found == descendants.end())
        return;
    // The nearest earlier recorded sibling: the entry just before may lie inside the previous
    // sibling's subtree, and an instance can only be placed among its own siblings.
    for (auto it = found; it != descendants.begin();)
    {
        --it;
        Instance_Base* before = it->GetInstance();
        if (before && before->parent.Equals(item->parent))
        {
            item->MoveInFrontOf(before);
            return;
        }
    }
    item->MoveToBack();
}
