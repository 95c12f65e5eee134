// The item list on the hidden-object HUD: the screen's child "list", twelve entries from
// "mov_itemtext" in three columns of four, each showing one group of the board's items. It also
// runs the selection step of a hint: with more than one entry to choose from it raises the
// screen's shield and underlines the entries that can be picked; a pick, a click on the shield or
// a right-click ends it. A selection is cancelled once, however many handlers hear the click.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"

#include <cstdint>
#include <vector>

class HUDListEntry;
class ISpyBoard;
class ISpyItem;
class ISpyState;

class HUDList : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(HUDList)
    TARN_LUA_CLASS("HUDList")
public:
    static constexpr int EntryCount = 12;
    static constexpr int Columns = 3;
    static constexpr int Rows = 4;

    void Initialize(const std::wstring& instanceName) override;

    // IInstanceEventHandler
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnMouseDown(TarnEngine::InstanceHandle instance, uint32_t button) override;

    void SetBoard(ISpyBoard* newBoard);
    ISpyBoard* GetBoard() const;
    void SetShield(const TarnEngine::InstanceHandle& handle) { shield = handle; }
    const TarnEngine::InstanceHandle& GetShield() const { return shield; }

    // The live entries, in creation order.
    std::vector<HUDListEntry*> GetEntries() const;

    // Every entry takes the next group in reserve and is refreshed.
    void SelectFreshGroups();
    // Entry i takes saved group i (values that are no group of the board, and entries past the
    // saved list, count as -1); a done entry moves on at once. An empty list selects fresh groups.
    void RestoreGroups(const ISpyState& state);
    void SaveGroups(ISpyState& state) const;
    void OnItemFound(ISpyItem* item);
    bool HasHintableEntry() const;
    // On: a single entry with active items is hinted at once; otherwise the shield and the offered
    // entries show. Off: the shield and the highlights go; nothing is hinted.
    void SetHintSelection(bool on);
    bool IsSelecting() const { return selecting; }
    // Ends a selection in progress and cancels the hint on the screen; false (nothing done) when
    // no selection is in progress, so that a click heard twice cancels once.
    bool CancelSelection();
    // The cursor while the pointer is over the list.
    void UpdateCursor();

    static void RegisterLua(lua_State* state);

private:
    TarnEngine::InstanceHandle shield;
    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> board;
    std::vector<TarnEngine::WeakPtr<TarnEngine::Instance_Movie>> entries;
    bool selecting = false;
};
