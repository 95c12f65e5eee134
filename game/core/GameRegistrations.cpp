// The game's registration list; see GameRegistrations.h.
#include "game/core/GameRegistrations.h"

#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/script/Preprocessor.h"
#include "engine/scene/script/ScriptRegistry.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/core/GameMgr.h"
#include "game/core/GameModes.h"
#include "game/core/LoadingShield.h"
#include "game/core/PlayerState.h"
#include "game/hiddenobject/ScreenRegistrations.h"
#include "game/media/LevelReport.h"
#include "game/media/MovingPerspective.h"
#include "game/media/SoundMgr.h"
#include "game/minigames/MiniGameRegistrations.h"
#include "game/ui/DlgHelp.h"
#include "game/ui/HintManager.h"
#include "game/ui/HintPopup.h"
#include "game/ui/HintTracker.h"
#include "game/ui/UIMessageBox.h"
#include "game/ui/UIOptionsRegistration.h"

using namespace TarnEngine;

namespace
{

int luaSetCursorIdx(lua_State* state)
{
    int index = 0;
    if (LuaGetIntArg(state, index, 1) < 1)
        return 0;
    if (Core* core = Core::Get())
        core->SetCursorIdx(index);
    return 0;
}

int luaShowTooltip(lua_State* state)
{
    // A text or nil (the empty text); anything else, or nothing, gives no result.
    const int type = lua_type(state, 1);
    if (type != LUA_TSTRING && type != LUA_TNIL)
        return 0;
    std::wstring text;
    if (LuaGetWStringArg(state, text, 1) < 1)
        return 0;
    Core* core = Core::Get();
    lua_pushnumber(state, core ? core->ShowTooltip(text) : -1);
    return 1;
}

int luaRemoveTooltip(lua_State* state)
{
    int id = 0;
    if (LuaGetIntArg(state, id, 1) < 1)
        return 0;
    if (Core* core = Core::Get())
        core->RemoveTooltip(id);
    return 0;
}

void registerSystemMacros()
{
    // The hidden-object screen's modes.
    RegisterSystemMacroInt("MODE_INVALID", 0);
    RegisterSystemMacroInt("MODE_HO", 1);
    RegisterSystemMacroInt("MODE_PUZZLE", 2);
    // The game modes; 4 is named although no mode has it.
    RegisterSystemMacroInt("GAME_MENU", 0);
    RegisterSystemMacroInt("GAME_ISPY", 1);
    RegisterSystemMacroInt("GAME_TRANSITION", 2);
    RegisterSystemMacroInt("GAME_WRITER", 3);
    RegisterSystemMacroInt("GAME_LITTLETHINGS", 4);
    RegisterSystemMacroInt("GAME_PATH", 5);
    RegisterSystemMacroInt("GAME_PUZZLE", 6);
    RegisterSystemMacroInt("GAME_PROLOGUE", 7);
    // The message box's buttons.
    RegisterSystemMacroInt("MB_LEFT", 0);
    RegisterSystemMacroInt("MB_CENTER", 1);
    RegisterSystemMacroInt("MB_RIGHT", 2);
    // Item states.
    RegisterSystemMacroInt("ITEM_DISABLED", 0);
    RegisterSystemMacroInt("ITEM_ACTIVE", 1);
    RegisterSystemMacroInt("ITEM_HIDDEN", 2);
    RegisterSystemMacroInt("ITEM_INVALID", 3);
    // Cursor indices, in the order of Core::CursorIds.
    RegisterSystemMacroInt("CF_DEFAULT", 0);
    RegisterSystemMacroInt("CF_DRAGGABLE", 1);
    RegisterSystemMacroInt("CF_DRAGGED", 2);
    RegisterSystemMacroInt("CF_USE", 3);
    RegisterSystemMacroInt("CF_NOUSE", 4);
    RegisterSystemMacroInt("CF_CLICK", 5);
    RegisterSystemMacroInt("CF_CLOCK", 6);
    RegisterSystemMacroInt("CF_FREEZE", 7);
    RegisterSystemMacroInt("CF_MAXID", 8);
    // Game events and their values. The scripts compare the events they are told with these, so
    // each stands for a Lua string: the body is the quoted text.
    DefineSystemMacroString("GAME_EVENT_PAUSE", L"\"PAUSE\"");
    DefineSystemMacroString("GAME_EVENTV_FALSE", L"\"0\"");
    DefineSystemMacroString("GAME_EVENTV_TRUE", L"\"1\"");
    DefineSystemMacroString("GAME_EVENT_SETTINGS", L"\"SETTINGS\"");
}

} // namespace

void RegisterCoreScriptFunctions()
{
    RegisterScriptFunction("GS.Cursor.SetCursorIdx", &luaSetCursorIdx);
    RegisterScriptFunction("GS.Tooltips.Show", &luaShowTooltip);
    RegisterScriptFunction("GS.Tooltips.Remove", &luaRemoveTooltip);
}

void RegisterGameClasses()
{
    _ScreenMgr::StaticClass();
    RegisterGameMgrClass();
    RegisterPlayerStateScriptClass();
    RegisterLoadingShieldClass();
    RegisterSoundScriptClass();
    // The lists of these files also hold script functions and run once; their records are needed
    // again after every engine shutdown.
    UIMessageBox::StaticClass();
    HintPopup::StaticClass();
    DlgHelp::StaticClass();
    HintTracker::StaticClass();
    MovingPerspective::StaticClass();
    RegisterCreditsAndMiniGames();
    RegisterPlayerScreenClasses();
    RegisterHiddenObjectClasses();
    RegisterPlayerScreenClasses();
    RegisterCreditsAndMiniGames();
}

void RegisterGameStatics()
{
    // Classes, every time.
    RegisterGameClasses();
    // The game manager's set-up takes the modes.
    RegisterGameModes();

    static bool done = false;
    if (done)
        return;
    done = true;
    registerSystemMacros();
    RegisterCoreScriptFunctions();
    RegisterMessageBoxScript();
    RegisterHintScript();
    RegisterPerspectiveClasses();
    RegisterLevelReportFunctions();
}
