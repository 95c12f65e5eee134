// Findable items; see ISpyItem.h.
#include "game/hiddenobject/ISpyItem.h"

#include "engine/scene/script/LuaBaseSubclass.h"
#include "game/hiddenobject/ISpyBoard.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(ISpyItem, BaseItem, RObjectFactory<ISpyItem>, L"ISpyItem",
                              &ISpyItem::RegisterLua)

void ISpyItem::SetState(int32_t newState)
{
    BaseItem::SetState(newState);
    SetEatingMouse(newState == ITEM_ACTIVE);
}

void ISpyItem::OnMouseUp(InstanceHandle, uint32_t button)
{
    if (state != ITEM_ACTIVE || button != 0 || unloaded || ISpyBoard::IsGamePaused())
        return;
    SetState(ITEM_HIDDEN);
    CallOwnMethod("OnFound");
}

void ISpyItem::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(BaseItem::StaticScriptName());
    def.SetConstructor(&LuaConstructItem<ISpyItem>);
    def.Build(StaticScriptName());
}
