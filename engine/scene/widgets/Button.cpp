// Push buttons; see Button.h.
#include "engine/scene/widgets/Button.h"

#include "engine/scene/ui/Screen.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Container.h"

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Button, Component, RObjectFactory<Button>, L"Button", &Button::RegisterLua)

void Button::Initialize(const std::wstring& instanceName)
{
    InitializeOwnHandler(instanceName);
    listener = nullptr;
    isOkButton = isCancelButton = false;
}

void Button::OnRegistered(Container& container)
{
    if (!listener)
        listener = container.buttonListenerOverride ? container.buttonListenerOverride
                                                    : static_cast<ButtonListener*>(&container);
}

void Button::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    LoadComponent();
    isOkButton = name == L"okButton";
    isCancelButton = name == L"cancelButton";
    if (isOkButton || isCancelButton)
        if (UserInterface* ui = UserInterface::Get())
            ui->AddGlobalHandler(movieHandle);
}

void Button::OnKeyDown(InstanceHandle instance, uint32_t key)
{
    if ((key != KeyEscape || !isCancelButton) && (key != KeyEnter || !isOkButton))
        return;
    const _ScreenMgr* screens = _ScreenMgr::Get();
    Container* parentContainer = GetParentContainer();
    if (!screens || !parentContainer || screens->GetTopModalScreen() != parentContainer)
        return;
    // A disabled button ignores the keys; it must not even show the pressed look.
    if (!enabled || !HitTest(instance))
        return;
    SetState(2);
    OnMouseUp(instance, 0);
}

void Button::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    if (enabled && button == 0 && HitTest(instance) && state == 1)
        SetState(2);
}

void Button::OnMouseEnter(InstanceHandle instance)
{
    if (!enabled || !HitTest(instance))
        return;
    if (state != 2)
        SetState(1);
    PlayEventSound(L"bttn_mouseover");
}

void Button::OnMouseLeave(InstanceHandle instance)
{
    if (enabled && HitTest(instance) && state == 1)
        SetState(0);
}

void Button::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (!enabled || button != 0 || !HitTest(instance) || state != 2)
        return;
    PlayEventSound(L"bttn_click");
    SetState(1);
    const WeakPtr<LuaObjectBase> alive(this);
    if (listener)
        listener->HandleButtonPressed(this);
    if (alive.IsAlive())
        callEvent("OnButtonClick");
}

void Button::OnMouseUpOutside(InstanceHandle, uint32_t button)
{
    if (enabled && button == 0)
        SetState(0);
}

void Button::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.SetConstructor(&LuaConstruct<Button>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
