// The in-game menu; see DlgIngameMenu.h.
#include "game/ui/DlgIngameMenu.h"

#include "engine/core/diagnostics/Logger.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "game/core/Core.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(DlgIngameMenu, Screen, RObjectFactory<DlgIngameMenu>, L"DlgIngameMenu",
                              &DlgIngameMenu::RegisterLua)

void DlgIngameMenu::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<DlgIngameMenu>);
    def.Build(StaticScriptName());
}

void DlgIngameMenu::OnScreenLoaded()
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", std::wstring(L"in-game menu shown"));
}

void DlgIngameMenu::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    const std::wstring& pressed = button->name;
    if (pressed == L"cancelButton")
        Close(false);
    else if (pressed == L"btn_options" || pressed == L"btn_help")
    {
        // Over the menu, which stays open below.
        if (_ScreenMgr* screens = _ScreenMgr::Get())
            screens->OpenScreen(pressed == L"btn_options" ? L"dlg_options" : L"dlg_help", L"", true, true);
    }
    else if (pressed == L"btn_exit")
    {
        if (Core* core = Core::Get())
            core->GetGameMgr().RequestQuit();
        Close(false);
    }
}
