// The loading movie's class; see LoadingShield.h.
#include "game/core/LoadingShield.h"

#include "engine/scene/script/LuaBinding.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(LoadingShield, Instance_Movie, RObjectFactory<LoadingShield>, L"LoadingShield",
                              &LoadingShield::RegisterLua)

void RegisterLoadingShieldClass()
{
    LoadingShield::StaticClass();
}

void LoadingShield::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Instance_Movie::StaticScriptName());
    def.Build(StaticScriptName());
}

void LoadingShield::Initialize(const std::wstring& instanceName)
{
    Instance_Movie::Initialize(instanceName);
    SetEventHandler(this);
}

void LoadingShield::OnTimelineStop(InstanceHandle)
{
    SetVisible(false);
    SetInputEnabled(false);
    MoveToBack();
}
