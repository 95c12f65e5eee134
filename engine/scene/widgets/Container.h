// A component that holds components: every component loaded below it (up to the next container)
// registers here. It keeps the keyboard focus unique across nested containers, hands texts and the
// enabled flag to its components, groups its radio buttons, and hears its widgets' notifications,
// which it passes on to the functions of the same names in its script table. It never owns its
// components; they leave its lists at their unload.
#pragma once

#include "engine/scene/widgets/Component.h"

#include <vector>

namespace TarnEngine
{

class RadioButton;

class Container : public Component,
                  public ButtonListener,
                  public CheckBoxListener,
                  public RadioButtonListener,
                  public SliderListener
{
    TARN_RCLASS(Container)
    TARN_LUA_CLASS("Container")
public:
    ~Container() override;

    void Initialize(const std::wstring& instanceName) override;
    void OnText(const std::wstring& text) override;

    virtual void SetFocus(Component* component);
    virtual void SetComponentsEnabled(bool enable);
    virtual void BroadcastText(const std::wstring& text);

    // Registration; adding a component that is already registered changes nothing.
    void AddComponent(Component* component);
    void RemoveComponent(Component* component);
    // Takes the focus away from this container and every container registered below it
    // (downward), or from this container and its chain of container parents (upward).
    void ClearFocus(bool downward);
    // Radio buttons register here; the result is the button's place in the group.
    uint32_t JoinRadioGroup(RadioButton* radioButton);
    void LeaveRadioGroup(RadioButton* radioButton);

    // IInstanceEventHandler
    bool IsEatingMouse(InstanceHandle) override { return eatsMouse; }
    void OnMouseDown(InstanceHandle instance, uint32_t button) override;

    // The widgets' listeners: each calls the script function of its name, when the table has one.
    void HandleButtonPressed(Button* button) override;
    void HandleCheckBoxPressed(CheckBox* checkBox) override;
    void HandleRadioButtonPressed(RadioButton* radioButton) override;
    void HandleSliderPressed(ISlider* slider) override;
    void HandleSliderChanged(ISlider* slider) override;

    static void RegisterLua(lua_State* state);

    bool eatsMouse = true;
    std::vector<RadioButton*> radioGroup;  // not owned
    std::vector<Component*> components;    // not owned, in order of registration
    Component* focusedComponent = nullptr; // not owned
    bool focusValid = false;               // this container completed a focus change
    ButtonListener* buttonListenerOverride = nullptr; // not owned

protected:
    // Calls the script function of that name with the widget's table.
    void RaiseWidgetEvent(const char* functionName, Instance_Base* widget);

private:
    void clearOwnFocus();
};

// The game's client size, which screens and panels centre in.
void GetWindowSize(float& width, float& height);

} // namespace TarnEngine
