// Radio buttons; see RadioButton.h.
#include "engine/scene/widgets/RadioButton.h"

#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/Container.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(RadioButton, Component, RObjectFactory<RadioButton>, L"RadioButton",
                              &RadioButton::RegisterLua)

void RadioButton::Initialize(const std::wstring& instanceName)
{
    InitializeOwnHandler(instanceName);
    selected = false;
    listener = nullptr;
}

void RadioButton::SetState(int32_t newState)
{
    state = newState;
    ShowTwoStateFrame(*this, checkMark.IsValid(), selected);
}

void RadioButton::OnRegistered(Container& container)
{
    if (!listener)
        listener = &container;
    groupIndex = container.JoinRadioGroup(this);
}

void RadioButton::SetSelected(bool select)
{
    selected = select;
    if (Instance_Base* mark = checkMark.GetInstance())
        mark->SetVisible(select);
    SetState(state);
}

void RadioButton::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    checkMark = FindChildByPath(L"_check");
    LoadComponent();
    SetSelected(false);
}

void RadioButton::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    if (enabled && button == 0 && !selected && HitTest(instance) && state == 1)
        SetState(2);
}

void RadioButton::OnMouseEnter(InstanceHandle instance)
{
    if (enabled && HitTest(instance))
        SetState(1);
}

void RadioButton::OnMouseLeave(InstanceHandle instance)
{
    if (enabled && HitTest(instance) && state == 1)
        SetState(0);
}

void RadioButton::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (!enabled || button != 0 || selected || !HitTest(instance) || state != 2)
        return;
    SetState(1);
    const WeakPtr<LuaObjectBase> alive(this);
    // The listener sees the previous selection still in place.
    if (listener)
        listener->HandleRadioButtonPressed(this);
    if (!alive.IsAlive())
        return;
    if (Container* container = owner)
    {
        for (size_t i = 0; i < container->radioGroup.size(); ++i)
            if (container->radioGroup[i]->selected)
                container->radioGroup[i]->SetSelected(false);
    }
    SetSelected(true);
    PlayEventSound(L"rb_click");
}

void RadioButton::OnMouseUpOutside(InstanceHandle, uint32_t button)
{
    if (enabled && button == 0)
        SetState(0);
}

void RadioButton::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.SetConstructor(&LuaConstruct<RadioButton>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
