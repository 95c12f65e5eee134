// Sliders; see Slider.h.
#include "engine/scene/widgets/Slider.h"

#include "engine/scene/widgets/Container.h"

#include <cmath>

namespace TarnEngine
{

TARN_IMPLEMENT_RINSTANCECLASS(ISlider, Component, RNoFactory, L"ISlider", nullptr)
TARN_IMPLEMENT_RINSTANCECLASS(Slider, ISlider, RObjectFactory<Slider>, L"Slider", &Slider::RegisterLua)
TARN_IMPLEMENT_RINSTANCECLASS(VSlider, ISlider, RObjectFactory<VSlider>, L"VSlider", &VSlider::RegisterLua)

void ISlider::Initialize(const std::wstring& instanceName)
{
    InitializeOwnHandler(instanceName);
    value = 0.0f;
    listener = nullptr;
    trackLength = knobLength = 0.0f;
    dragging = pressed = false;
}

void ISlider::SetEnabled(bool enable)
{
    // A disabled slider hears no release, so a drag must not outlive the enabled flag.
    if (!enable)
        dragging = pressed = false;
    Component::SetEnabled(enable);
}

void ISlider::SetState(int32_t newState)
{
    state = newState;
    Instance_Movie* handle = RObjectCast<Instance_Movie>(Knob());
    if (handle && newState >= 0 && uint32_t(newState) < handle->GetNumFrames())
        handle->SetFrame(uint32_t(newState));
}

void ISlider::OnRegistered(Container& container)
{
    if (!listener)
        listener = &container;
}

void ISlider::SetValue(float newValue)
{
    if (!std::isfinite(newValue) || newValue < 0.0f || newValue > 100.0f)
        return;
    const bool changed = newValue != value;
    value = newValue;
    if (changed && listener)
        listener->HandleSliderChanged(this);
    PlaceKnob((trackLength - knobLength) * value / 100.0f);
}

void ISlider::OnLoad(InstanceHandle instance)
{
    if (!IsSelf(instance))
        return;
    knob = FindChildByPath(L"_handle");
    LoadComponent();
    MeasureTrack();
    MeasureKnob();
    SetValue(0.0f);
}

void ISlider::OnMouseDown(InstanceHandle instance, uint32_t button)
{
    if (!enabled || button != 0 || !HitTest(instance))
        return;
    dragging = true;
    if (state == 1)
    {
        pressed = true;
        SetState(2);
        PlayEventSound(L"slider_click");
    }
}

void ISlider::OnUpdate(InstanceHandle)
{
    if (!dragging)
        return;
    const float range = trackLength - knobLength;
    // A track no longer than its knob has no positions to choose from: the value stays.
    if (!(range > 0.0f))
        return;
    float position = GetPointerOffset();
    if (position > range)
        position = range;
    if (position < 0.0f)
        position = 0.0f;
    SetValue(position * 100.0f / range);
}

void ISlider::release(InstanceHandle instance)
{
    if (!enabled || !HitTest(instance))
        return;
    pressed = false;
    if (state == 2)
    {
        SetState(1);
        const WeakPtr<LuaObjectBase> alive(this);
        if (listener)
            listener->HandleSliderPressed(this);
        if (alive.IsAlive())
            PlayEventSound(L"slider_click");
    }
}

void ISlider::OnMouseUp(InstanceHandle instance, uint32_t button)
{
    if (button != 0)
        return;
    // The knob follows the pointer once a frame; a release that comes in the same frame as the
    // last moves (a slow frame, a quick hand) still leaves it where the pointer let go.
    if (enabled)
        OnUpdate(instance);
    // Every left release ends the drag, wherever the press began.
    dragging = false;
    release(instance);
}

void ISlider::OnMouseUpOutside(InstanceHandle instance, uint32_t button)
{
    if (button != 0)
        return;
    if (enabled)
        OnUpdate(instance);
    dragging = false;
    if (!enabled || !pressed)
        return;
    const WeakPtr<LuaObjectBase> alive(this);
    release(instance);
    if (alive.IsAlive())
        SetState(0);
}

void ISlider::OnMouseEnter(InstanceHandle instance)
{
    if (enabled && !pressed && HitTest(instance))
        SetState(1);
}

void ISlider::OnMouseLeave(InstanceHandle instance)
{
    if (enabled && !pressed && HitTest(instance) && state == 1)
        SetState(0);
}

// ---- Along x.

float Slider::GetPointerOffset()
{
    float px = 0.0f, py = 0.0f;
    GetLocalMousePosition(px, py);
    return px - knobLength * 0.5f;
}

void Slider::MeasureTrack()
{
    trackLength = ComputeWidth(false);
}

void Slider::PlaceKnob(float position)
{
    if (Instance_Base* handle = Knob())
        handle->SetX(position);
}

void Slider::MeasureKnob()
{
    Instance_Base* handle = Knob();
    knobLength = handle ? handle->ComputeWidth(false) : 0.0f;
}

void Slider::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.SetConstructor(&LuaConstruct<Slider>);
    def.Build(StaticScriptName());
}

// ---- Along y.

float VSlider::GetPointerOffset()
{
    float px = 0.0f, py = 0.0f;
    GetLocalMousePosition(px, py);
    return py - knobLength * 0.5f;
}

void VSlider::MeasureTrack()
{
    trackLength = ComputeHeight(false);
}

void VSlider::PlaceKnob(float position)
{
    if (Instance_Base* handle = Knob())
        handle->SetY(position);
}

void VSlider::MeasureKnob()
{
    Instance_Base* handle = Knob();
    knobLength = handle ? handle->ComputeHeight(false) : 0.0f;
}

void VSlider::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Component::StaticScriptName());
    def.SetConstructor(&LuaConstruct<VSlider>);
    def.Build(StaticScriptName());
}

} // namespace TarnEngine
