// Containers: registration, focus, and the widgets' notifications to scripts; see Container.h.
#include "engine/scene/widgets/Container.h"

#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/widgets/Button.h"
#include "engine/scene/widgets/CheckBox.h"
#include "engine/scene/widgets/RadioButton.h"
#include "engine/scene/widgets/Slider.h"

#include <algorithm>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(Container, Component, RObjectFactory<Container>, L"Container",
                              &Container::RegisterLua)

namespace
{

constexpr int kMaxFocusDepth = Instance_Base::MaxTreeDepth;

} // namespace

Container::~Container()
{
    // The components are children and are deleted after this part of the container is gone.
    for (Component* component : components)
        if (component->owner == this)
            component->owner = nullptr;
    components.clear();
    radioGroup.clear();
    focusedComponent = nullptr;
}

void Container::Initialize(const std::wstring& instanceName)
{
    InitializeOwnHandler(instanceName);
    focusValid = false;
    focusedComponent = nullptr;
    buttonListenerOverride = nullptr;
    eatsMouse = true;
}

void Container::OnText(const std::wstring& text)
{
    BroadcastText(text);
}

void Container::BroadcastText(const std::wstring& text)
{
    // A component may change the list in its handler; it is read afresh each step.
    for (size_t i = 0; i < components.size(); ++i)
        components[i]->OnText(std::wstring(text));
}

void Container::SetComponentsEnabled(bool enable)
{
    for (size_t i = 0; i < components.size(); ++i)
        components[i]->SetEnabled(enable);
}

void Container::AddComponent(Component* component)
{
    if (!component || std::find(components.begin(), components.end(), component) != components.end())
        return;
    components.push_back(component);
    component->owner = this;
    component->OnRegistered(*this);
}

void Container::RemoveComponent(Component* component)
{
    const auto found = std::find(components.begin(), components.end(), component);
    if (found != components.end())
        components.erase(found);
    // An unloaded radio button must not be written through later.
    for (size_t i = 0; i < radioGroup.size(); ++i)
        if (static_cast<Component*>(radioGroup[i]) == component)
        {
            LeaveRadioGroup(radioGroup[i]);
            break;
        }
    if (focusedComponent == component)
        focusedComponent = nullptr;
    if (component && component->owner == this)
        component->owner = nullptr;
}

uint32_t Container::JoinRadioGroup(RadioButton* radioButton)
{
    const auto found = std::find(radioGroup.begin(), radioGroup.end(), radioButton);
    if (found != radioGroup.end())
        return uint32_t(found - radioGroup.begin());
    radioGroup.push_back(radioButton);
    return uint32_t(radioGroup.size() - 1);
}

void Container::LeaveRadioGroup(RadioButton* radioButton)
{
    const auto found = std::find(radioGroup.begin(), radioGroup.end(), radioButton);
    if (found == radioGroup.end())
        return;
    radioGroup.erase(found);
    // The buttons behind it move up one place.
    for (size_t i = 0; i < radioGroup.size(); ++i)
        radioGroup[i]->groupIndex = uint32_t(i);
}

void Container::SetFocus(Component* component)
{
    if (!component)
        return;
    // The focus is unique in the whole tree of registered containers, not only along this
    // branch: a text field in a neighbouring panel that kept it would take the same keys.
    Container* top = this;
    for (int depth = 0; top->owner && depth < kMaxFocusDepth; ++depth)
        top = top->owner;
    top->ClearFocus(true);
    clearOwnFocus();
    focusedComponent = component;
    component->OnFocus(true);
    focusValid = true;
}

void Container::clearOwnFocus()
{
    if (Component* had = focusedComponent)
    {
        focusedComponent = nullptr;
        had->OnFocus(false);
    }
}

void Container::ClearFocus(bool downward)
{
    if (downward)
    {
        // Iterative, so that no nesting of containers can run the stack out.
        std::vector<Container*> pending{this};
        for (size_t visited = 0; !pending.empty() && visited < size_t(kMaxFocusDepth) * 64; ++visited)
        {
            Container* container = pending.back();
            pending.pop_back();
            container->clearOwnFocus();
            for (size_t i = container->components.size(); i-- > 0;)
                if (Container* inner = RObjectCast<Container>(container->components[i]))
                    pending.push_back(inner);
        }
        return;
    }
    Container* container = this;
    for (int depth = 0; container && depth < kMaxFocusDepth; ++depth)
    {
        container->clearOwnFocus();
        container = container->GetParentContainer();
    }
}

void Container::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    if (!enabled || button != 0 || !HitTest(instance))
        return;
    // A press that has just given the focus to one of the components keeps it.
    if (!focusValid)
        ClearFocus(false);
    focusValid = false;
}

void Container::RaiseWidgetEvent(const char* functionName, Instance_Base* widget)
{
    LuaRaiseEvent(*this, LuaBinding::GetState(), functionName,
                  [widget](lua_State* state)
                  {
                      if (PushInstanceTable(widget))
                          return 1;
                      lua_pushnil(state);
                      return 1;
                  });
}

void Container::HandleButtonPressed(Button* button)
{
    RaiseWidgetEvent("HandleButtonPressed", button);
}

void Container::HandleCheckBoxPressed(CheckBox* checkBox)
{
    RaiseWidgetEvent("HandleCheckBoxPressed", checkBox);
}

void Container::HandleRadioButtonPressed(RadioButton* radioButton)
{
    RaiseWidgetEvent("HandleRadioButtonPressed", radioButton);
}

void Container::HandleSliderPressed(ISlider* slider)
{
    RaiseWidgetEvent("HandleSliderPressed", slider);
}

void Container::HandleSliderChanged(ISlider* slider)
{
    RaiseWidgetEvent("HandleSliderChanged", slider);
}

void Container::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.SetConstructor(&LuaConstruct<Container>);
    def.Build(StaticScriptName());
}

void GetWindowSize(float& width, float& height)
{
    const UserInterface* ui = UserInterface::Get();
    // Read as unsigned counts, as the start-up record holds them.
    width = ui ? float(uint32_t(ui->screenWidth)) : 0.0f;
    height = ui ? float(uint32_t(ui->screenHeight)) : 0.0f;
}

} // namespace TarnEngine
