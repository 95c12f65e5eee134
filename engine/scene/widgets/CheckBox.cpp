// Check boxes; see CheckBox.h.
#include "engine/scene/widgets/CheckBox.h"

#include "engine/scene/widgets/Container.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(CheckBox, Component, RObjectFactory<CheckBox>, L"CheckBox", &CheckBox::RegisterLua)

void ShowTwoStateFrame(Component& widget, bool hasCheckMark, bool ticked)
{
    if (widget.state < 0)
        return;
    const uint32_t frame = uint32_t(widget.state) + (hasCheckMark || !ticked ? 0u : 3u);
    if (frame < widget.GetNumFrames())
        widget.SetFrame(frame);
}

void CheckBox::Initialize(const std::wstring& instanceName)
{
    InitializeOwnHandler(instanceName);
    ticked = false;
    listener = nullptr;
}

void CheckBox::SetState(int32_t newState)
{
    state = newState;
    ShowTwoStateFrame(*this, checkMark.IsValid(), ticked);
}

void CheckBox::OnRegistered(Container& container)
{
    if (!listener)
        listener = &container;
}

void CheckBox::SetChecked(bool check)
{
    ticked = check;
    if (Instance_Base* mark = checkMark.GetInstance())
        mark->SetVisible(check);
    SetState(state);
}

void CheckBox::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    checkMark = FindChildByPath(L"_check");
    LoadComponent();
    SetChecked(false);
}

void CheckBox::OnMouseEnter(InstanceHandle instance)
{
    if (!enabled || !HitTest(instance))
        return;
    PlayEventSound(L"cb_over");
    SetState(1);
}

void CheckBox::OnMouseLeave(InstanceHandle instance)
{
    if (enabled && HitTest(instance) && state == 1)
        SetState(0);
}

void CheckBox::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    // A check box has no pressed state of its own: the click comes from the over state.
    if (!enabled || button != 0 || !HitTest(instance) || state != 1)
        return;
    SetChecked(!ticked);
    const WeakPtr<LuaObjectBase> alive(this);
    if (listener)
        listener->HandleCheckBoxPressed(this);
    if (alive.IsAlive())
        PlayEventSound(L"cb_click");
}

void CheckBox::OnMouseUpOutside(InstanceHandle, uint32_t button)
{
    if (enabled && button == 0)
        SetState(0);
}

void CheckBox::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.SetConstructor(&LuaConstruct<CheckBox>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
