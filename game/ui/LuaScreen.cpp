// The script-driven screen; see LuaScreen.h.
#include "game/ui/LuaScreen.h"

#include "engine/scene/script/LuaBinding.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(LuaScreen, Screen, RObjectFactory<LuaScreen>, L"LuaScreen",
                              &LuaScreen::RegisterLua)

void LuaScreen::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<LuaScreen>);
    def.Build(StaticScriptName());
}

void LuaScreen::OnScreenLoaded()
{
    LuaRaiseEvent(*this, LuaBinding::GetState(), "Shown", [](lua_State*) { return 0; });
}

void LuaScreen::OnRemoved()
{
    LuaRaiseEvent(*this, LuaBinding::GetState(), "Closed", [](lua_State*) { return 0; });
}

void LuaScreen::OnGameEvent(const std::wstring& event, const std::wstring& value)
{
    LuaRaiseEvent(*this, LuaBinding::GetState(), "OnScreenEvent",
                  [&](lua_State* state) { return PushWString(state, event) + PushWString(state, value); });
}

void LuaScreen::HandleButtonPressed(Button* button)
{
    Container::HandleButtonPressed(button);
}
