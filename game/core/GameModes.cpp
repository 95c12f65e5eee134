// The game modes; see GameModes.h.
#include "game/core/GameModes.h"

#include "engine/core/text/TextConversion.h"
#include "engine/scene/display/node/Instance_Base.h"
#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "game/core/Core.h"
#include "game/core/GameScript.h"

#include <cwctype>

using namespace TarnEngine;

namespace
{

bool openScreen(const std::wstring& definition, const std::wstring& instanceName)
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    return screens && screens->OpenScreen(definition, instanceName, true, false).IsValid();
}

void closeScreen(const std::wstring& name, bool flag, bool step)
{
    _ScreenMgr* screens = _ScreenMgr::Get();
    if (!screens)
        return;
    screens->CloseScreen(name, flag);
    if (step)
        screens->Update();
}

std::wstring levelName()
{
    Core* core = Core::Get();
    return core ? core->GetGameMgr().GetCurrentLevelName() : std::wstring();
}

bool ensureLibrary(const std::wstring& name)
{
    Core* core = Core::Get();
    return core && core->EnsureLibraryLoaded(name);
}

} // namespace

bool MenuGame::Enter()
{
    return openScreen(L"scr_mainmenu", L"scr_mainmenu");
}

void MenuGame::Leave()
{
    closeScreen(L"scr_mainmenu", true, true);
}

bool ISpyGame::Enter()
{
    if (!ensureLibrary(levelName()))
        return false;
    _ScreenMgr* screens = _ScreenMgr::Get();
    return screens && screens->OpenScreen(L"scr_ispy", L"scr_ispy", false, false).IsValid();
}

void ISpyGame::Leave()
{
    closeScreen(L"scr_ispy", true, true);
}

bool TransitionGame::Enter()
{
    const std::wstring level = levelName();
    if (!ensureLibrary(level))
        return false;
    _ScreenMgr* screens = _ScreenMgr::Get();
    if (!screens)
        return false;
    const InstanceHandle handle = screens->OpenScreen(L"mov_transition_hud", L"mov_transition_hud", true, false);
    if (!handle.IsValid())
        return false;
    if (Instance_Base* instance = handle.GetInstance())
        CallScriptMethodWithText(*instance, "SetScreen", WStringToAnsi(level));
    return true;
}

void TransitionGame::Leave()
{
    if (_ScreenMgr* screens = _ScreenMgr::Get())
        if (Screen* screen = screens->FindScreen(L"mov_transition_hud"))
            screen->Close(true);
}

bool WriterGame::Enter()
{
    return ensureLibrary(L"typewriter") && openScreen(L"mov_typewriter_board", L"typewriter_board");
}

void WriterGame::Leave()
{
    closeScreen(L"typewriter_board", true, false);
}

bool PathGame::Enter()
{
    std::wstring level = levelName();
    if (!ensureLibrary(level))
        return false;
    for (wchar_t& c : level)
        c = wchar_t(std::towlower(c));
    return openScreen(level, L"photowhille");
}

void PathGame::Leave()
{
    closeScreen(L"photowhille", false, false);
}

bool QuenbyGame::Enter()
{
    return ensureLibrary(L"drquenby_que") && openScreen(L"drquenby_que", L"");
}

void QuenbyGame::Leave()
{
    closeScreen(L"drquenby_que", false, false);
}

bool PrologueGame::Enter()
{
    return openScreen(L"scr_prologue", L"scr_prologue");
}

void PrologueGame::Leave()
{
    closeScreen(L"scr_prologue", true, false);
}

void RegisterGameModes()
{
    RegisterGameMode(0, new MenuGame);
    RegisterGameMode(1, new ISpyGame);
    RegisterGameMode(2, new TransitionGame);
    RegisterGameMode(3, new WriterGame);
    RegisterGameMode(5, new PathGame);
    RegisterGameMode(6, new QuenbyGame);
    RegisterGameMode(7, new PrologueGame);
}
