// Registrations of the hidden-object board; see HiddenObjectRegistrations.h.
#include "game/hiddenobject/HiddenObjectRegistrations.h"

#include "engine/scene/script/ScriptRegistry.h"
#include "game/hiddenobject/BoardServices.h"
#include "game/hiddenobject/ISpyBoard.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/ItemState.h"
#include "game/hiddenobject/PuzzleItem.h"

using namespace TarnEngine;

void RegisterHiddenObjectBoardClasses()
{
    // Class records are made whenever missing (an engine shutdown deletes them).
    BaseItem::StaticClass();
    ISpyItem::StaticClass();
    PuzzleItem::StaticClass();
    ISpyBoard::StaticClass();
    ItemState::StaticClass();

    static bool published = false;
    if (published)
        return;
    published = true;
    RegisterScriptFunction("SetupHitType", &SetupHitType);
    for (auto [macro, value] :
         {std::pair{"ITEM_DISABLED", ITEM_DISABLED}, std::pair{"ITEM_ACTIVE", ITEM_ACTIVE},
          std::pair{"ITEM_HIDDEN", ITEM_HIDDEN}, std::pair{"ITEM_INVALID", ITEM_INVALID}})
        RegisterSystemMacroInt(macro, value);
    for (auto [macro, value] :
         {std::pair{"CF_DEFAULT", int32_t(CF_DEFAULT)}, std::pair{"CF_DRAGGABLE", int32_t(CF_DRAGGABLE)},
          std::pair{"CF_DRAGGED", int32_t(CF_DRAGGED)}, std::pair{"CF_USE", int32_t(CF_USE)},
          std::pair{"CF_NOUSE", int32_t(CF_NOUSE)}, std::pair{"CF_CLICK", int32_t(CF_CLICK)},
          std::pair{"CF_CLOCK", int32_t(CF_CLOCK)}, std::pair{"CF_FREEZE", int32_t(CF_FREEZE)},
          std::pair{"CF_MAXID", int32_t(CF_MAXID)}})
        RegisterSystemMacroInt(macro, value);
}
