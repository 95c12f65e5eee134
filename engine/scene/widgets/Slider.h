// Sliders: a track (the component itself) and a knob (its child "_handle") whose value runs from 0
// to 100. A left press on the slider starts a drag in which the knob's centre follows the pointer
// every frame; each change of value tells the listener. Slider runs along x, VSlider along y; they
// differ only in the four axis operations. The knob carries the normal, over and pressed frames.
#pragma once

#include "engine/scene/widgets/Component.h"

namespace TarnEngine
{

class ISlider : public Component
{
    TARN_RCLASS(ISlider)
public:
    void Initialize(const std::wstring& instanceName) override;
    void SetEnabled(bool enable) override;
    void SetState(int32_t newState) override;
    void OnRegistered(Container& container) override;

    // The pointer along the slider's axis, in its own space, less half the knob.
    virtual float GetPointerOffset() = 0;
    virtual void MeasureTrack() = 0;
    virtual void PlaceKnob(float position) = 0;
    virtual void MeasureKnob() = 0;

    // Values outside 0 to 100, and values that are not numbers, are ignored.
    void SetValue(float newValue);
    float GetValue() const { return value; }

    // IInstanceEventHandler
    bool IsEatingMouse(InstanceHandle) override { return false; }
    void OnLoad(InstanceHandle instance) override;
    void OnMouseDown(InstanceHandle instance, uint32_t button) override;
    void OnMouseEnter(InstanceHandle instance) override;
    void OnMouseLeave(InstanceHandle instance) override;
    void OnMouseUp(InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(InstanceHandle instance, uint32_t button) override;
    void OnUpdate(InstanceHandle instance) override;

    float value = 0.0f;
    SliderListener* listener = nullptr; // not owned
    InstanceHandle knob;                // the "_handle" child
    bool dragging = false;
    float trackLength = 0.0f;
    float knobLength = 0.0f;
    bool pressed = false; // the drag began in the over state

protected:
    Instance_Base* Knob() { return knob.GetInstance(); }

private:
    void release(InstanceHandle instance);
};

class Slider : public ISlider
{
    TARN_RCLASS(Slider)
    TARN_LUA_CLASS("Slider")
public:
    float GetPointerOffset() override;
    void MeasureTrack() override;
    void PlaceKnob(float position) override;
    void MeasureKnob() override;

    static void RegisterLua(lua_State* state);
};

class VSlider : public ISlider
{
    TARN_RCLASS(VSlider)
    TARN_LUA_CLASS("VSlider")
public:
    float GetPointerOffset() override;
    void MeasureTrack() override;
    void PlaceKnob(float position) override;
    void MeasureKnob() override;

    static void RegisterLua(lua_State* state);
};

} // namespace TarnEngine
