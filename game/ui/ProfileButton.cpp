// A profile slot; see ProfileButton.h.
#include "game/ui/ProfileButton.h"

#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "game/ui/UIProfile.h"

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(ProfileButton, Button, RObjectFactory<ProfileButton>, L"ProfileButton",
                              &ProfileButton::RegisterLua)

void ProfileButton::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Button::StaticScriptName());
    def.SetConstructor(&LuaConstruct<ProfileButton>);
    def.Build(StaticScriptName());
}

void ProfileButton::OnLoad(InstanceHandle instance)
{
    Button::OnLoad(instance);
    if (IsSelf(instance))
        label = FindChildByPath(L"lbl_name");
}

void ProfileButton::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (button != 0 || !HitTest(instance))
        return;
    if (UIProfile* screen = owner)
        screen->OnSlotClicked(this);
}

void ProfileButton::SetEnabled(bool enable)
{
    Component::SetEnabled(enable);
    SetInputEnabled(true);
}

void ProfileButton::SetProfileName(const std::wstring& newName)
{
    auto* text = RObjectCast<Instance_Text>(label.GetInstance());
    if (!text)
        return;
    slotState = newName.empty() ? SlotEmpty : SlotOccupied;
    profileName = newName;
    text->SetLiteralText(newName);
}
