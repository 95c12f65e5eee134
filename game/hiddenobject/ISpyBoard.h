// The playing field of one hidden-object scene: a movie (its own event handler) whose children are
// the findable items, the letters of the word to guess, puzzle items and persons. The level script
// registers them; the board keeps the lists, reports finds to the scripts as game events and to its
// subscribers (the hidden-object screen, the letter row) through its event lists, groups the items
// into the successive sets of the item list, saves and restores item states, shows tooltips,
// chooses the mouse cursor, and punishes random clicking on empty parts of the scene.
//
// The lists hold weak references, and an item leaves them when it unloads: scripts delete items
// (and the board) from inside the board's own calls, and nothing here may reach a freed one.
//
// Script methods are in ISpyBoardLua.cpp.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "game/hiddenobject/BoardServices.h"
#include "game/hiddenobject/Delegates.h"
#include "game/hiddenobject/ItemState.h"
#include "game/ui/HintTracker.h"

#include <cstdint>
#include <string>
#include <vector>

class BaseItem;
class ISpyItem;
class PuzzleItem;

class ISpyBoard : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(ISpyBoard)
    TARN_LUA_CLASS("ISpyBoard")
public:
    using ItemDelegate = IDelegate1<void, ISpyItem*>;
    using LettersDelegate = IDelegate0<void>;
    using BoardDelegate = IDelegate1<void, ISpyBoard*>;

    // Seconds of busy cursor after a wrong-click penalty.
    static constexpr float PenaltyBusySeconds = 5.0f;

    ~ISpyBoard() override;

    // The movie's initialisation; the board becomes its own event handler and resets its counts.
    void Initialize(const std::wstring& instanceName) override;
    // Per frame: the tooltip tracker.
    void OnFrameUpdate(float dt) override;

    // IInstanceEventHandler: attach (the board is loaded) and the empty click.
    void OnLoad(TarnEngine::InstanceHandle instance) override;
    void OnMouseUp(TarnEngine::InstanceHandle instance, uint32_t button) override;
    // The game clock stands while the game is paused (in the background or under a modal screen):
    // the board then takes no finds and no empty clicks, and the screen's recharging buttons,
    // puzzle items and hint selection take no clicks.
    static bool IsGamePaused();

    // ---- Registration by the level script. Each sets the item's board; duplicates are kept.
    void AddItem(ISpyItem* item);
    void AddLetter(ISpyItem* letter);
    void AddPuzzleItem(PuzzleItem* item);
    // The descendant movie at the dotted path gets the tooltip text and hits on its whole images.
    bool AddPerson(const std::wstring& path, const std::wstring& text);
    // An item that unloads leaves every list.
    void ForgetItem(const BaseItem* item);

    // ---- Finds.
    void OnLetterFound(ISpyItem* letter);
    void OnItemFound(ISpyItem* item);
    // Every active letter is found at once; then "WordGuessed".
    void OnWordGuessed();

    // ---- Questions.
    bool IsComplete() const;
    bool AreAllLettersFound() const;
    bool IsMoving();

    // ---- Cursor, once a frame by the screen.
    void UpdateCursor();
    void SetDefaultCursor(int32_t index) { defaultCursor = index; }

    // ---- Groups.
    void BuildGroups();
    void ChooseGroups(uint32_t count);
    // A copy of that group's live items; empty for -1 or any index outside the groups.
    std::vector<ISpyItem*> GetGroup(int32_t index) const;
    // Activates the group at the end of the order and returns its index, or -1.
    int32_t ActivateNextGroup();
    size_t GetGroupCount() const { return groups.size(); }
    const std::vector<uint32_t>& GetGroupOrder() const { return groupOrder; }

    // ---- Lists (live entries, registration order).
    std::vector<ISpyItem*> GetItems() const;
    std::vector<ISpyItem*> GetLetters() const;
    std::vector<PuzzleItem*> GetPuzzleItems() const;

    // ---- Saved state, over any record with the members m_board (wide string), m_groups_board
    // (vector of int32_t) and m_items (vector of ItemState).
    template <class State> void SaveState(State& saved)
    {
        SaveStateParts(saved.m_board, saved.m_groups_board, saved.m_items);
    }
    template <class State> void LoadState(const State& saved)
    {
        LoadStateParts(saved.m_groups_board, saved.m_items);
    }
    void SaveStateParts(std::wstring& boardName, std::vector<int32_t>& order,
                        std::vector<ItemState>& items) const;
    // Builds the groups, takes the saved order (indices outside the groups, negative or repeated
    // are dropped) and gives every item its saved state (states outside 0 to 3 count as none;
    // items without an entry become ITEM_DISABLED).
    void LoadStateParts(const std::vector<int32_t>& order, const std::vector<ItemState>& items);

    // ---- Tooltips and puzzle items.
    void UpdateTooltip(BaseItem* item);
    void OnItemPicked(PuzzleItem* item);
    bool OnItemDropped(PuzzleItem* item);
    void RestoreDrawOrder(BaseItem* item);

    // ---- Effect settings: "fx_" effects shown or hidden, "video" sources paused, from the
    // current profile's "SETTINGS_KEY"; at attach and on the game event "SETTINGS".
    void ApplyEffectSettings();
    void OnGameEvent(const std::wstring& eventName, const std::wstring& value);

    static void RegisterLua(lua_State* state);

    // ---- Event lists.
    DelegateList<ItemDelegate> letterFoundEvent;
    DelegateList<LettersDelegate> allLettersFoundEvent;
    DelegateList<ItemDelegate> itemFoundEvent;
    DelegateList<BoardDelegate> boardLoadedEvent;

    // ---- State.
    bool hiddenObjectMode = false;
    HintTracker tooltips;                                // the persons and puzzle items with their texts
    std::vector<TarnEngine::InstanceHandle> descendants; // recorded at attach, in drawing order
    float firstWrongClickTime = 0.0f;
    uint32_t wrongClickCount = 0;
    int32_t defaultCursor = CF_DEFAULT;

private:
    // The board's script method, left on the stack with the board as self; false when absent.
    bool getOwnMethod(const char* method) const;
    // A new script array of the puzzle items other than `item` that are active and under the pointer.
    void pushOthers(lua_State* state, PuzzleItem* item);
    void emptyClick();
    // Seconds of the engine's millisecond counter.
    static float clockSeconds();

    std::vector<TarnEngine::WeakPtr<ISpyItem>> items;
    std::vector<TarnEngine::WeakPtr<ISpyItem>> letters;
    std::vector<TarnEngine::WeakPtr<PuzzleItem>> puzzleItems;
    std::vector<std::vector<TarnEngine::WeakPtr<ISpyItem>>> groups;
    std::vector<uint32_t> groupOrder;
};
