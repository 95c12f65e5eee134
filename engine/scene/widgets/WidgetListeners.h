// The notifications of the toolkit: keyboard focus to a component, and clicks, toggles, selections
// and value changes from the widgets to their listener (normally the container they registered in,
// which hands them on to its script table).
#pragma once

namespace TarnEngine
{

class Button;
class CheckBox;
class RadioButton;
class ISlider;

class FocusListener
{
public:
    virtual ~FocusListener() = default;
    virtual void OnFocus(bool focused) = 0;
};

class ButtonListener
{
public:
    virtual ~ButtonListener() = default;
    virtual void HandleButtonPressed(Button* button) = 0;
};

class CheckBoxListener
{
public:
    virtual ~CheckBoxListener() = default;
    virtual void HandleCheckBoxPressed(CheckBox* checkBox) = 0;
};

class RadioButtonListener
{
public:
    virtual ~RadioButtonListener() = default;
    virtual void HandleRadioButtonPressed(RadioButton* radioButton) = 0;
};

class SliderListener
{
public:
    virtual ~SliderListener() = default;
    // The knob was let go after a press that showed the pressed look.
    virtual void HandleSliderPressed(ISlider* slider) = 0;
    virtual void HandleSliderChanged(ISlider* slider) = 0;
};

} // namespace TarnEngine
