// Panels; see Panel.h.
#include "engine/scene/widgets/Panel.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Panel, Container, RObjectFactory<Panel>, L"Panel", &Panel::RegisterLua)

void Panel::MoveTo(float newX, float newY)
{
    SetPosition(newX, newY);
}

void Panel::CenterRect(float ox, float oy, float w, float h)
{
    float windowWidth = 0.0f, windowHeight = 0.0f;
    GetWindowSize(windowWidth, windowHeight);
    MoveTo(((windowWidth - ox) * 0.5f + ox) - w * 0.5f, (oy + (windowHeight - oy) * 0.5f) - h * 0.5f);
}

void Panel::Center(float ox, float oy)
{
    CenterRect(ox, oy, Width(), Height());
}

void Panel::CenterInWindow()
{
    Center(0.0f, 0.0f);
}

void Panel::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Container::StaticScriptName());
    def.SetConstructor(&LuaConstruct<Panel>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
