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

void logLine(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

// Empties the table at the index in place, so that whatever holds it keeps
// holding the same table.
void clearTable(lua_State* state, int index)
{
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(state) + index + 1;
    lua_pushnil(state);
    while (lua_next(state, index) != 0)
    {
        lua_pop(state, 1);
        lua_pushvalue(state, -1);
        lua_pushnil(state);
        lua_rawset(state, index);
    }
}

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
    XmlNode* profile = store ? store->FindCurrentProfile() : nullptr;
    if (!profile)
        return false;
    const std::wstring name = store->GetCurrentProfileName();
    XmlNode* entry = profile->GetChild(kEntry);
    if (!entry)
        entry = profile->AddNewChild(kEntry);
    lua_State* state = GetLuaTable().GetState();
    if (!state || !lua_checkstack(state, 4))
    {
        logLine(L"player state of \"" + name + L"\" not loaded: there is no script table");
        return false;
    }

    // The read merges into what is there: a table still holding another
    // profile's state is emptied first, where the scripts' references to it
    // stay valid. The first load of a run keeps what the scripts put there.
    // A profile removed since and made anew under the same name counts as another.
    const bool another = name != loadedProfile || store->GetRemovedCount() != loadedRemovals;
    if (anyLoad && another && PushTable())
    {
        lua_pushstring(state, "t_data");
        lua_rawget(state, -2);
        if (lua_istable(state, -1))
            clearTable(state, -1);
        lua_pop(state, 2);
    }
    anyLoad = true;
    loadedProfile = name;
    loadedRemovals = store->GetRemovedCount();

    callEvent("OnBeforeLoad");
    bool read = false;
    if (PushTable())
    {
        const int table = lua_gettop(state);
        lua_pushstring(state, "t_data");
        lua_rawget(state, table);
        const bool hadTable = lua_istable(state, -1);
        read = DeserializeLuaTable(state, -1, kField, *entry);
        if (read && !hadTable && lua_istable(state, -1))
        {
            lua_pushstring(state, "t_data");
            lua_pushvalue(state, -2);
            lua_rawset(state, table);
        }
        lua_settop(state, table - 1);
    }
    loadFailed = !read;
    if (!read)
        logLine(L"player state of \"" + name +
                L"\" not loaded whole; its stored state is kept until it loads");
    callEvent("OnAfterLoad");
    return read;
}

bool PlayerState::Save()
{
    XmlNode* profile = store ? store->FindCurrentProfile() : nullptr;
    if (!profile)
        return false;
    const std::wstring name = store->GetCurrentProfileName();
    if (loadFailed && name == loadedProfile && store->GetRemovedCount() == loadedRemovals)
    {
        logLine(L"player state of \"" + name +
                L"\" not saved: it did not load whole, so its stored state is kept");
        return false;
    }
    // Written apart first: only a complete table replaces the stored one.
    XmlNode written(kEntry);
    bool ok = false;
    if (PushTable())
    {
        lua_State* state = GetLuaTable().GetState();
        lua_pushstring(state, "t_data");
        lua_rawget(state, -2);
        ok = SerializeLuaTable(state, -1, kField, written);
        lua_pop(state, 2);
    }
    if (!ok)
    {
        logLine(L"player state of \"" + name + L"\" not saved: \"t_data\" could not be written");
        return false;
    }
    XmlNode* entry = profile->GetChild(kEntry);
    if (!entry)
        entry = profile->AddNewChild(kEntry);
    entry->children.clear();
    for (std::unique_ptr<XmlNode>& child : written.children)
        entry->AppendChild(std::move(child));
    entry->empty = entry->children.empty() && entry->text.empty();
    return true;
}

void RegisterPlayerStateScriptClass()
{
    PlayerState::StaticClass();
}
