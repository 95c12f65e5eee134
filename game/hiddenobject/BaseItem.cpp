// Hidden-object items and hit types; see BaseItem.h.
#include "game/hiddenobject/BaseItem.h"

#include "engine/scene/display/image/Instance_Image.h"
#include "engine/scene/script/LuaBaseSubclass.h"
#include "game/hiddenobject/ISpyBoard.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(BaseItem, Instance_Movie, RObjectFactory<BaseItem>, L"BaseItem",
                              &BaseItem::RegisterLua)

void ApplyHitType(IInstanceEventHandler* handler, Instance_Movie* instance, uint32_t type)
{
    if (!instance)
        return;
    // By index: a handler set here may not change the list, but the walk must not trust it.
    for (size_t i = 0; i < instance->children.size(); ++i)
    {
        Instance_Base* child = instance->children[i];
        if (child->type == INSTANCE_IMAGE)
        {
            if (Instance_Image* image = RObjectCast<Instance_Image>(child))
                image->hitTestType = type;
        }
        else if (child->type == INSTANCE_MOVIE)
        {
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
            {
                ApplyHitType(handler, movie, type);
                if (handler)
                    movie->SetEventHandler(handler);
            }
        }
    }
}

int SetupHitType(lua_State* state)
{
    Instance_Base* instance = LuaGetObjectArg<Instance_Base>(state, 1);
    int type = 0;
    if (!instance || !LuaGetIntArg(state, type, 2))
        return 0;
    if (Instance_Movie* movie = RObjectCast<Instance_Movie>(instance))
        ApplyHitType(nullptr, movie, uint32_t(type));
    return 0;
}

BaseItem::~BaseItem()
{
    detachSubMovieHandlers(*this);
}

void BaseItem::detachSubMovieHandlers(Instance_Movie& movie)
{
    for (Instance_Base* child : movie.children)
        if (child->type == INSTANCE_MOVIE)
            if (Instance_Movie* sub = RObjectCast<Instance_Movie>(child))
            {
                if (sub->GetEventHandler() == static_cast<IInstanceEventHandler*>(this))
                    sub->SetEventHandler(nullptr);
                detachSubMovieHandlers(*sub);
            }
}

void BaseItem::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
    state = ITEM_DISABLED;
}

void BaseItem::Unload()
{
    if (ISpyBoard* owner = GetBoard())
        owner->ForgetItem(this);
    Instance_Movie::Unload();
}

void BaseItem::SetState(int32_t newState)
{
    state = newState;
    if (newState == ITEM_DISABLED || newState == ITEM_ACTIVE)
        SetVisible(true);
    else if (newState == ITEM_HIDDEN)
        SetVisible(false);
}

ISpyBoard* BaseItem::GetBoard() const
{
    Instance_Movie* movie = board.Get();
    return movie && !movie->unloaded ? static_cast<ISpyBoard*>(movie) : nullptr;
}

void BaseItem::SetBoard(ISpyBoard* newBoard)
{
    board = newBoard;
}

bool BaseItem::IsSelf(const InstanceHandle& instance) const
{
    return instance.IsValid() && instance.GetInstance() == static_cast<const Instance_Base*>(this);
}

void BaseItem::OnFrameChanged(InstanceHandle instance)
{
    if (IsSelf(instance))
        ApplyHitType(this, this, HTT_NonAlpha);
}

void BaseItem::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    if (lua_State* lua = luaTable.GetState(); lua && luaTable.PushTable())
    {
        for (auto [field, target] : {std::pair{"s_name", &s_name}, std::pair{"s_category", &s_category}})
        {
            LuaGetFieldNoCall(lua, -1, field);
            std::wstring value;
            if (lua_type(lua, -1) == LUA_TSTRING || lua_type(lua, -1) == LUA_TNUMBER)
                if (LuaGetWStringArg(lua, value, lua_gettop(lua)))
                    *target = value;
            lua_pop(lua, 1);
        }
        lua_pop(lua, 1);
    }
    ApplyHitType(this, this, HTT_NonAlpha);
}

bool BaseItem::OnLuaRelease()
{
    // Only once the table is gone (the collector or the closing state freed it): "_Release" on a
    // live table leaves the item as it leaves every engine-owned object.
    if (!madeByScript || IsLuaDying() || HasTable() || parent.IsValid() || handle.IsValid())
        return Instance_Movie::OnLuaRelease();
    if (ISpyBoard* owner = GetBoard())
        owner->ForgetItem(this);
    return ReleaseCheck();
}

bool BaseItem::CallOwnMethod(const char* method)
{
    if (!luaTable.GetMethod(method))
        return false;
    CallLuaFunction1(luaTable.GetState());
    return true;
}

namespace
{

int setState(lua_State* state)
{
    BaseItem* self = GetLuaSelf<BaseItem>(state);
    int value = 0;
    if (self && LuaGetIntArg(state, value, 2) && value >= ITEM_DISABLED && value <= ITEM_INVALID)
        self->SetState(value);
    return 0;
}

int getState(lua_State* state)
{
    const BaseItem* self = GetLuaSelf<BaseItem>(state);
    if (!self)
        return 0;
    lua_pushnumber(state, self->GetState());
    return 1;
}

} // namespace

void BaseItem::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.AddMethod("SetState", &setState);
    def.AddMethod("GetState", &getState);
    def.SetConstructor(&LuaConstructItem<BaseItem>);
    def.Build(StaticScriptName());
}
