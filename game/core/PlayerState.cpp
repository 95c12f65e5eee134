// The scripts' saved game state; see PlayerState.h.
#include "game/core/PlayerState.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/LuaTableXml.h"
#include "game/core/ProfileStore.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(PlayerState, TarnEngine::LuaSubclass, TarnEngine::RNoFactory, L"PlayerState",
                              &PlayerState::RegisterLua)

namespace
{
const std::wstring kEntry = L"GAME_STATE_ENTRY";
const std::wstring kField = L"t_data";
} // namespace

PlayerState::PlayerState(ProfileStore* profiles) : store(profiles) {}

PlayerState::~PlayerState() = default;

void PlayerState::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.Build(StaticScriptName());
}

void PlayerState::Setup()
{
    lua_State* state = LuaBinding::GetState();
    if (!state)
        return;
    if (!HasTable())
        CreateLuaTable();
    if (PushTable())
        LuaSetGlobalPath("svc.PlayerState", state);
}

bool PlayerState::Load()
{
    return false;
}

bool PlayerState::Save()
{
    return false;
}

void RegisterPlayerStateScriptClass()
{
    PlayerState::StaticClass();
}
