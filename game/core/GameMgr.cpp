// The game manager; see GameMgr.h.
#include "game/core/GameMgr.h"

#include "engine/core/base/ResourceManager.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringFormat.h"
#include "engine/media/sound/SoundFader.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/core/GameQuestions.h"
#include "game/core/GameScript.h"
#include "game/core/ProfileStore.h"

#include <cmath>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(GameMgr, LuaSubclass, RNoFactory, L"GameMgr", &GameMgr::RegisterLua)

namespace
{

constexpr int32_t kQuestionId = 1;

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

int luaSave(lua_State* state)
{
    if (GameMgr* self = GetLuaSelf<GameMgr>(state))
        self->Save();
    return 0;
}

int luaEnterGame(lua_State* state)
{
    if (GameMgr* self = GetLuaSelf<GameMgr>(state))
        self->EnterGame();
    return 0;
}

int luaOnLevelEnd(lua_State* state)
{
    if (GameMgr* self = GetLuaSelf<GameMgr>(state))
        self->OnLevelEnd();
    return 0;
}

int luaRequestQuit(lua_State* state)
{
    if (GameMgr* self = GetLuaSelf<GameMgr>(state))
        self->RequestQuit();
    return 0;
}

int luaRequestQuitGame(lua_State* state)
{
    if (GameMgr* self = GetLuaSelf<GameMgr>(state))
        self->RequestQuitGame();
    return 0;
}

int luaGetPlayerName(lua_State* state)
{
    GameMgr* self = GetLuaSelf<GameMgr>(state);
    if (!self)
        return 0;
    Core* core = Core::Get();
    return PushWString(state, core ? core->GetProfileStore().GetCurrentProfileName() : std::wstring());
}

void clearGlobal(const char* name)
{
    if (lua_State* state = LuaBinding::GetState())
    {
        lua_pushnil(state);
        LuaSetGlobalPath(name, state);
    }
}

void showNotice(const wchar_t* caption, const wchar_t* message)
{
    MessageBoxRequest request;
    request.caption = caption;
    request.message = message;
    request.center = L"|T|Ok";
    request.id = 0;
    AskPlayer(request);
}

} // namespace

void RegisterGameMgrClass()
{
    GameMgr::StaticClass();
}

void GameMgr::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(LuaSubclass::StaticScriptName());
    def.AddMethod("Save", &luaSave);
    def.AddMethod("EnterGame", &luaEnterGame);
    def.AddMethod("OnLevelEnd", &luaOnLevelEnd);
    def.AddMethod("RequestQuit", &luaRequestQuit);
    def.AddMethod("RequestQuitGame", &luaRequestQuitGame);
    def.AddMethod("GetPlayerName", &luaGetPlayerName);
    def.Build(StaticScriptName());
}

GameMgr::GameMgr(ProfileStore* profiles) : playerState(profiles), profiles(profiles) {}

GameMgr::~GameMgr()
{
    DisconnectTable();
}

void GameMgr::bindScriptTable()
{
    lua_State* state = LuaBinding::GetState();
    if (HasTable() || !state)
        return;
    lua_getglobal(state, "GameManager");
    if (lua_istable(state, -1))
    {
        // "main.lua" made the table: its functions stay, the object joins them.
        LuaBindObjectTable(state, -1, *this, GetScriptClassName());
        lua_pop(state, 1);
        return;
    }
    lua_pop(state, 1);
    if (CreateLuaTable() && PushTable())
        lua_setglobal(state, "GameManager");
}

void GameMgr::Setup()
{
    std::vector<std::pair<int32_t, std::unique_ptr<BaseGame>>> registered = TakeGameModeRegistrations();
    if (!registered.empty())
    {
        current = nullptr;
        for (std::unique_ptr<BaseGame>& mode : modes)
            mode.reset();
        for (auto& [index, game] : registered)
        {
            if (index >= 0 && index < kGameModeCount)
                modes[index] = std::move(game);
            else
                logGame(StringPrintf(L"a game mode registered at %d is not used", index));
        }
    }
    bindScriptTable();
    if (lua_State* state = LuaBinding::GetState(); state && PushTable())
        LuaSetGlobalPath("svc.GameMgr", state);
    playerState.Setup();
}

BaseGame* GameMgr::GetMode(int32_t index) const
{
    return index >= 0 && index < kGameModeCount ? modes[index].get() : nullptr;
}

int32_t GameMgr::GetCurrentModeIndex() const
{
    if (!current)
        return NoMode;
    for (int32_t i = 0; i < kGameModeCount; ++i)
        if (modes[i].get() == current)
            return i;
    return NoMode;
}

std::wstring GameMgr::GetCurrentLevelName() const
{
    return CallScriptMethodString(*this, "GetCurrentLevelName", std::wstring());
}

bool GameMgr::IsGameFinished() const
{
    return CallScriptMethodBool(*this, "IsGameFinished", true);
}

void GameMgr::SwitchMode(int64_t index)
{
    Core* core = Core::Get();
    // 1.
    if (BaseGame* leaving = current)
    {
        current = nullptr;
        leaving->Leave();
    }
    // 2.
    if (core)
    {
        FadeOutSound(core->GetSound().GetMusic(), 0.5f);
        core->GetSound().StopAllSounds();
    }
    // 3. The names first: closing may change the list.
    if (_ScreenMgr* screens = _ScreenMgr::Get())
    {
        std::vector<std::wstring> modal;
        for (Screen* screen : screens->GetOpenScreens())
            if (screen && screen->eatsMouse)
                modal.push_back(screen->name);
        for (const std::wstring& name : modal)
            screens->CloseScreen(name, false);
    }
    // 4.
    if (ResourceManager* resources = ResourceManager::Get())
        resources->UnloadReloadables();
    // 5.
    if (core)
        core->ShowLoadingShield();
    // 6.
    BaseGame* next = index >= 0 && index < kGameModeCount ? modes[index].get() : nullptr;
    if (!next)
        logGame(StringPrintf(L"no game mode %lld to enter", static_cast<long long>(index)));
    else if (next->Enter())
    {
        current = next;
        CallScriptMethod(playerState, "OnLevelStart");
    }
    else
        logGame(StringPrintf(L"game mode %lld did not open", static_cast<long long>(index)));
    // 7.
    if (core)
        core->ShowLoadingShield();
}

void GameMgr::Save()
{
    playerState.Save();
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        screens->NotifyScreens(L"SAVE", L"");
    if (profiles)
        profiles->Save();
}

void GameMgr::OnLevelEnd()
{
    CallScriptMethod(playerState, "OnEndLevel");
    if (BaseGame* leaving = current)
    {
        current = nullptr;
        leaving->Leave();
    }
    Save();
    if (IsGameFinished())
    {
        SwitchMode(0);
        showNotice(L"|T|GameFinishedTitle", L"|T|GameFinishedText");
    }
    else
        EnterGame();
}

void GameMgr::EnterGame()
{
    if (IsGameFinished())
    {
        SwitchMode(0);
        showNotice(L"|T|GameAlreadyFinishedTitle", L"|T|GameAlreadyFinishedText");
        return;
    }
    // Anything but a number is the menu; a number must name a mode exactly.
    const std::optional<double> type = CallScriptMethodNumber(*this, "GetLevelType");
    int64_t index = 0;
    if (type)
    {
        const std::optional<int64_t> checked = CheckedInteger(*type, 0, kGameModeCount - 1);
        if (!checked)
            logGame(StringPrintf(L"GetLevelType gave %f, which names no game mode", *type));
        index = checked ? *checked : -1;
    }
    SwitchMode(index);
}

void GameMgr::RequestQuit()
{
    MessageBoxRequest request;
    request.caption = L"|T|ExitGame";
    request.message = GetCurrentModeIndex() == 1 ? L"|T|AreYouSureMenuReqSaved" : L"|T|AreYouSureMenuReq";
    request.left = L"|T|Yes";
    request.right = L"|T|No";
    request.listener = this;
    request.id = kQuestionId;
    AskPlayer(request);
}

void GameMgr::RequestQuitGame()
{
    MessageBoxRequest request;
    request.caption = L"|T|ExitGame";
    request.message = L"|T|AreYouSureGameReq";
    request.left = L"|T|Yes";
    request.right = L"|T|No";
    request.listener = Core::Get();
    request.id = kQuestionId;
    AskPlayer(request);
}

void GameMgr::HandleMsgBox(int32_t, int32_t result)
{
    if (result == 0 || result == 1)
        SaveAndReturnToMenu();
}

void GameMgr::SaveAndReturnToMenu()
{
    if (current && current != modes[0].get())
        Save();
    SwitchMode(0);
}

void GameMgr::Shutdown()
{
    RaiseScriptEvent("LeftGame");
    if (current)
    {
        if (current != modes[0].get())
            Save();
        current->Leave();
    }
    clearGlobal("svc.PlayerState");
    current = nullptr;
    for (std::unique_ptr<BaseGame>& mode : modes)
        mode.reset();
    clearGlobal("svc.GameMgr");
}
