// One line of the item list on the hidden-object HUD: it shows one group of board items, by the
// item's name when the group has one item and otherwise as "category (count)", strikes it through
// when the group is done and passes on, through the script's "Dissolve" and "Appear" animations,
// to the next group the board holds in reserve. During a hint selection it is underlined when it
// can be picked and hints its first active item when clicked.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <cstdint>
#include <vector>

class HUDList;
class ISpyItem;

class HUDListEntry : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(HUDListEntry)
    TARN_LUA_CLASS("HUDListEntry")
public:
    static constexpr uint32_t ColourNormal = 0x004373;
    static constexpr uint32_t ColourOffered = 0x000000;
    static constexpr uint32_t ColourOver = 0x0000C8;

    void Initialize(const std::wstring& instanceName) override;

    // IInstanceEventHandler
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnMouseDown(TarnEngine::InstanceHandle instance, uint32_t button) override;
    void OnMouseEnter(TarnEngine::InstanceHandle instance) override;
    void OnMouseLeave(TarnEngine::InstanceHandle instance) override;

    // The board's live items of the group (none without owner, board or group).
    std::vector<ISpyItem*> GetItems() const;
    bool HasActiveItem() const;
    // Has items and none of them is active.
    bool IsDone() const;
    void Refresh();
    // The board's next group in reserve: none refreshes (the entry stays struck through), one is
    // taken and the script's "Dissolve" called.
    void NextGroup();
    // Every item lies within the screen and is larger than 10 x 10; true without items.
    bool IsOnScreen() const;
    bool IsHintable() const;
    void SetHintHighlight(bool on, bool moving);
    // The first active item's "OnHint" and the event "HintUsed"; false when there is none.
    bool HintEntry();
    // The screen tells every entry of every find.
    void OnItemFound(ISpyItem* item);
    // Offered for a hint: the underline shows.
    bool IsOffered() const;

    HUDList* GetOwner() const;
    void SetOwner(HUDList* list);
    int32_t GetGroup() const { return group; }
    void SetGroup(int32_t index) { group = index; }

    static void RegisterLua(lua_State* state);

    int32_t group = -1;
    TarnEngine::InstanceHandle bkg;
    TarnEngine::InstanceHandle line0;
    TarnEngine::InstanceHandle underline;
    TarnEngine::InstanceHandle itemName;

private:
    // Calls the entry's own script function when its table has one; false when it is gone after.
    bool callOwn(const char* function);
    void setNameColour(uint32_t colour);

    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> owner;
};
