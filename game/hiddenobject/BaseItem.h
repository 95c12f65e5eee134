// The objects of a hidden-object scene: a movie with a four-valued state, a name and a category,
// that answers the pointer only on its opaque pixels and hears the input of all its sub-movies.
// ISpyItem (findable items and letters) and PuzzleItem (dragged or used items) derive from it.
// Also here: ApplyHitType and the script function SetupHitType, which set the hit-test type of
// the images under an instance.
//
// An item registered with a board leaves the board's lists when it is unloaded, so a script that
// deletes an item (a used puzzle item, say) leaves no dangling entry behind.
//
// An item a script makes with its class's constructor is in no display tree (nothing adopts it), so
// no tree deletes it: it goes with its script table, when the script state lets go of it (at the
// latest when the state closes). Items the engine makes belong to their tree as before.
#pragma once

#include "engine/core/base/WeakPtr.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/script/LuaBaseSubclass.h"

#include <cstdint>
#include <string>

enum ItemStates : int32_t
{
    ITEM_DISABLED = 0, // not (yet) part of the search; visible; not saved
    ITEM_ACTIVE = 1,   // to be found; takes clicks; saved
    ITEM_HIDDEN = 2,   // found; hidden; saved
    ITEM_INVALID = 3,  // visibility unchanged; not saved
};

class ISpyBoard;

// For each direct child of the instance: an image gets the hit-test type; a movie is walked
// recursively and, when a handler is given, gets it as its event handler.
void ApplyHitType(TarnEngine::IInstanceEventHandler* handler, TarnEngine::Instance_Movie* instance,
                  uint32_t type);

// Script function SetupHitType(instance, type): ApplyHitType without handler on a movie; nothing
// for anything else or when an argument is missing.
int SetupHitType(lua_State* state);

class BaseItem : public TarnEngine::Instance_Movie, public TarnEngine::IInstanceEventHandler
{
    TARN_RCLASS(BaseItem)
    TARN_LUA_CLASS("BaseItem")
public:
    ~BaseItem() override;

    // The movie's initialisation; the item becomes its own event handler.
    void Initialize(const std::wstring& instanceName) override;
    // Leaves the board's lists, then unloads as a movie.
    void Unload() override;

    // Stores the state: 0 and 1 show the item, 2 hides it, 3 leaves visibility alone.
    virtual void SetState(int32_t newState);
    int32_t GetState() const { return state; }

    // The board that registered the item, or null (none, or it is gone).
    ISpyBoard* GetBoard() const;
    void SetBoard(ISpyBoard* newBoard);

    // IInstanceEventHandler: set-up (the item's own frame changes) and attach re-apply the hit
    // type, so that the item answers on opaque pixels only and hears its sub-movies.
    void OnFrameChanged(TarnEngine::InstanceHandle instance) override;
    void OnLoad(TarnEngine::InstanceHandle instance) override;

    bool IsSelf(const TarnEngine::InstanceHandle& instance) const;

    // Lua let go of the item's table: a script-made item that no tree holds is deleted when nothing
    // counts a reference to it (true then); any other item stays, as every engine-owned object does.
    bool OnLuaRelease() override;
    void MarkMadeByScript() { madeByScript = true; }

    static void RegisterLua(lua_State* state);

    int32_t state = ITEM_DISABLED;
    std::wstring s_name;
    std::wstring s_category;

protected:
    // Calls the script method of the item's own table when it has one; false when there is none.
    bool CallOwnMethod(const char* method);

private:
    // Drops this item as handler of every movie below it (they outlive its handler part briefly).
    void detachSubMovieHandlers(TarnEngine::Instance_Movie& movie);

    TarnEngine::WeakPtr<TarnEngine::Instance_Movie> board;
    bool madeByScript = false;
};

// The script constructor of the item classes: LuaConstruct's object and table, the object marked as
// the script's own.
template <class T> int LuaConstructItem(lua_State* state)
{
    const int results = TarnEngine::LuaConstruct<T>(state);
    if (results == 1)
        if (T* item = TarnEngine::LuaGetObjectArg<T>(state, -1))
            item->MarkMadeByScript();
    return results;
}
