// The script class "ISpyBoard": registration of items, letters, puzzle items and persons by the
// level script, the finds the scripts report, and the puzzle-item list. Arguments of the wrong
// class are ignored; a method whose arguments do not all read does nothing.
#include "game/hiddenobject/ISpyBoard.h"

#include "engine/scene/script/LuaBaseSubclass.h"
#include "game/hiddenobject/BoardScript.h"
#include "game/hiddenobject/ISpyItem.h"
#include "game/hiddenobject/PuzzleItem.h"

using namespace TarnEngine;

namespace
{

using Self = ISpyBoard;

template <void (Self::*Add)(ISpyItem*)> int addSpyItem(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    ISpyItem* item = LuaGetObjectArg<ISpyItem>(state, 2);
    if (self && item)
        (self->*Add)(item);
    return 0;
}

int addPuzzleItem(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    PuzzleItem* item = LuaGetObjectArg<PuzzleItem>(state, 2);
    if (self && item)
        self->AddPuzzleItem(item);
    return 0;
}

int addPerson(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    std::wstring path, text;
    if (!self || lua_type(state, 2) != LUA_TSTRING || lua_type(state, 3) != LUA_TSTRING ||
        LuaGetWStringArg(state, path, 2) + LuaGetWStringArg(state, text, 3) != 2)
        return 0;
    self->AddPerson(path, text);
    return 0;
}

template <void (Self::*Found)(ISpyItem*)> int found(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    ISpyItem* item = LuaGetObjectArg<ISpyItem>(state, 2);
    if (self && item)
        (self->*Found)(item);
    return 0;
}

int getPuzzleItems(lua_State* state)
{
    const Self* self = GetLuaSelf<Self>(state);
    if (!self)
        return 0;
    const std::vector<PuzzleItem*> list = self->GetPuzzleItems();
    lua_newtable(state);
    int key = 0;
    for (PuzzleItem* item : list)
        if (BoardScript::PushInstanceTable(item))
            lua_rawseti(state, -2, ++key);
    return 1;
}

int setDefaultCursor(lua_State* state)
{
    Self* self = GetLuaSelf<Self>(state);
    int index = 0;
    if (self && LuaGetIntArg(state, index, 2))
        self->SetDefaultCursor(index);
    return 0;
}

} // namespace

void ISpyBoard::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.AddMethod("AddLetter", &addSpyItem<&Self::AddLetter>);
    def.AddMethod("AddItem", &addSpyItem<&Self::AddItem>);
    def.AddMethod("AddPuzzleItem", &addPuzzleItem);
    def.AddMethod("AddPerson", &addPerson);
    def.AddMethod("OnLetterFound", &found<&Self::OnLetterFound>);
    def.AddMethod("OnItemFound", &found<&Self::OnItemFound>);
    def.AddMethod("GetPuzzleItems", &getPuzzleItems);
    def.AddMethod("SetDefaultCursor", &setDefaultCursor);
    def.SetConstructor(&LuaConstruct<ISpyBoard>);
    def.Build(StaticScriptName());
}
