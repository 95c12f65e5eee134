// Puzzle items; see PuzzleItem.h.
#include "game/hiddenobject/PuzzleItem.h"

#include "engine/scene/script/LuaBaseSubclass.h"
#include "game/hiddenobject/BoardScript.h"
#include "game/hiddenobject/ISpyBoard.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(PuzzleItem, BaseItem, RObjectFactory<PuzzleItem>, L"PuzzleItem",
                              &PuzzleItem::RegisterLua)

namespace
{

// True while the item was not deleted or unloaded by what a script just did.
bool stillHere(const WeakPtr<Instance_Movie>& item)
{
    const Instance_Movie* movie = item.Get();
    return movie && !movie->unloaded;
}

} // namespace

void PuzzleItem::Initialize(const std::wstring& instanceName)
{
    BaseItem::Initialize(instanceName);
    dragging = false;
    dragEnabled = true;
    grabX = grabY = 0.0f;
    homeX = homeY = 0.0f;
}

void PuzzleItem::OnLoad(InstanceHandle instance)
{
    BaseItem::OnLoad(instance);
    // Before any drag the item's home is where it was placed, not the origin.
    if (IsSelf(instance) && !dragging)
    {
        homeX = x;
        homeY = y;
    }
}

void PuzzleItem::setVisualState(uint32_t frame)
{
    if (children.empty() || children.front()->type != INSTANCE_MOVIE)
        return;
    Instance_Movie* first = RObjectCast<Instance_Movie>(children.front());
    if (first && first->GetNumFrames() > frame)
        first->SetFrame(frame);
}

void PuzzleItem::showHover()
{
    setVisualState(state == ITEM_ACTIVE && IsMouseOver() ? 1 : 0);
}

void PuzzleItem::cancelDrag()
{
    dragging = false;
    SetPosition(homeX, homeY);
    if (ISpyBoard* board = GetBoard())
        board->RestoreDrawOrder(this);
    showHover();
    if (ISpyBoard* board = GetBoard())
        board->RestoreDrawOrder(this);
}

void PuzzleItem::RestoreOriginalPosition()
{
    SetPosition(homeX, homeY);
    if (ISpyBoard* board = GetBoard())
        board->RestoreDrawOrder(this);
}

void PuzzleItem::SetState(int32_t newState)
{
    if (newState == state)
        return;
    BaseItem::SetState(newState);
    if (dragging)
        cancelDrag();
    SetEatingMouse(newState == ITEM_ACTIVE);
    showHover();
    if (ISpyBoard* board = GetBoard())
        board->UpdateTooltip(this);
}

void PuzzleItem::InternalStateChanded()
{
    if (ISpyBoard* board = GetBoard())
        board->UpdateTooltip(this);
}

void PuzzleItem::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    // While the game is paused the board is out of play: no pick-up and no use.
    if (!IsSelf(instance) || button != 0 || state != ITEM_ACTIVE || ISpyBoard::IsGamePaused())
        return;
    if (!dragEnabled)
    {
        ISpyBoard* board = GetBoard();
        if (board && board->GetLuaTable().GetMethod("OnItemUsed"))
        {
            lua_State* lua = board->GetLuaTable().GetState();
            if (BoardScript::PushInstanceTable(this))
                LuaPCall(lua, 2, 0);
            else
                lua_pop(lua, 2);
        }
        return;
    }
    dragging = true;
    homeX = x;
    homeY = y;
    GetLocalMousePosition(grabX, grabY);
    MoveToFront();
    setVisualState(2);
    if (ISpyBoard* board = GetBoard())
        board->OnItemPicked(this);
}

void PuzzleItem::OnUpdate(InstanceHandle instance)
{
    if (!IsSelf(instance) || state != ITEM_ACTIVE)
        return;
    if (dragging)
    {
        Instance_Base* parentInstance = parent.GetInstance();
        if (!parentInstance)
            return;
        float px = 0.0f, py = 0.0f;
        parentInstance->GetLocalMousePosition(px, py);
        SetPosition(px - grabX, py - grabY);
    }
    else
        setVisualState(IsMouseOver() ? 1 : 0);
}

void PuzzleItem::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (!IsSelf(instance) || button != 0 || !dragging)
        return;
    // A drag that the pause caught (the focus went with the button held) is no drop: it goes home.
    if (ISpyBoard::IsGamePaused())
        return cancelDrag();
    const WeakPtr<Instance_Movie> self(this);
    ISpyBoard* board = GetBoard();
    const bool accepted = board && board->OnItemDropped(this);
    if (!stillHere(self) || !dragging)
        return; // the script deleted the item, or ended the drag through its state
    if (accepted)
    {
        dragging = false;
        setVisualState(IsMouseOver() ? 1 : 0);
    }
    else
        cancelDrag();
}

void PuzzleItem::OnMouseUpOutside(InstanceHandle instance, uint32_t button)
{
    if (!IsSelf(instance) || button != 0 || !dragging)
        return;
    cancelDrag();
    ISpyBoard* board = GetBoard();
    if (!board)
        return;
    const WeakPtr<Instance_Movie> self(this);
    if (board->GetLuaTable().GetMethod("OnItemDragRejected"))
    {
        lua_State* lua = board->GetLuaTable().GetState();
        if (BoardScript::PushInstanceTable(this))
            LuaPCall(lua, 2, 0);
        else
            lua_pop(lua, 2);
    }
    if (!stillHere(self))
        return;
    if (ISpyBoard* owner = GetBoard())
        owner->UpdateTooltip(this);
}

void PuzzleItem::OnLabelHit(InstanceHandle instance, const std::wstring& label)
{
    if (IsSelf(instance) || !luaTable.GetMethod("OnLabelHit"))
        return;
    CallLuaWithString(luaTable.GetState(), label);
}

void PuzzleItem::OnTimelineStop(InstanceHandle instance)
{
    if (IsSelf(instance))
        return;
    CallOwnMethod("OnTimeLineStop");
}

namespace
{

int restoreOriginalPosition(lua_State* state)
{
    if (PuzzleItem* self = GetLuaSelf<PuzzleItem>(state))
        self->RestoreOriginalPosition();
    return 0;
}

int internalStateChanded(lua_State* state)
{
    if (PuzzleItem* self = GetLuaSelf<PuzzleItem>(state))
        self->InternalStateChanded();
    return 0;
}

int enableDrag(lua_State* state)
{
    PuzzleItem* self = GetLuaSelf<PuzzleItem>(state);
    bool enable = false;
    if (self && LuaGetBoolArg(state, enable, 2))
        self->EnableDrag(enable);
    return 0;
}

int isDragEnabled(lua_State* state)
{
    const PuzzleItem* self = GetLuaSelf<PuzzleItem>(state);
    return self ? LuaPushBool(state, self->IsDragEnabled()) : 0;
}

} // namespace

void PuzzleItem::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(BaseItem::StaticScriptName());
    def.AddMethod("RestoreOriginalPosition", &restoreOriginalPosition);
    def.AddMethod("InternalStateChanded", &internalStateChanded);
    def.AddMethod("EnableDrag", &enableDrag);
    def.AddMethod("IsDragEnabled", &isDragEnabled);
    def.SetConstructor(&LuaConstructItem<PuzzleItem>);
    def.Build(StaticScriptName());
}
