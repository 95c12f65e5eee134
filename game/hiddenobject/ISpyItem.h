// A findable item (or a letter of the word): only an active item takes the pointer, and a left
// release on it or any of its sub-movies hides it and calls its script method "OnFound". The
// script then reports the find to the board ("OnItemFound").
#pragma once

#include "game/hiddenobject/BaseItem.h"

class ISpyItem : public BaseItem
{
    TARN_RCLASS(ISpyItem)
    TARN_LUA_CLASS("ISpyItem")
public:
    // BaseItem's, then only an active item takes the pointer.
    void SetState(int32_t newState) override;

    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;

    static void RegisterLua(lua_State* state);
};
