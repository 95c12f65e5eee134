// The radio button: becomes selected on a click and deselects the other radio buttons of the
// container it registered in (the group is the container's; there are no group names). A selected
// button ignores presses and releases. The selection shows like a check box's tick.
#pragma once

#include "engine/scene/widgets/Component.h"

namespace TarnEngine
{

class RadioButton : public Component
{
    TARN_RCLASS(RadioButton)
    TARN_LUA_CLASS("RadioButton")
public:
    void Initialize(const std::wstring& instanceName) override;
    void SetState(int32_t newState) override;
    void OnRegistered(Container& container) override;

    void SetSelected(bool select);

    // IInstanceEventHandler
    bool IsEatingMouse(InstanceHandle) override { return false; }
    void OnLoad(InstanceHandle instance) override;
    void OnMouseDown(InstanceHandle instance, uint32_t button) override;
    void OnMouseEnter(InstanceHandle instance) override;
    void OnMouseLeave(InstanceHandle instance) override;
    void OnMouseUp(InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(InstanceHandle instance, uint32_t button) override;

    static void RegisterLua(lua_State* state);

    bool selected = false;
    uint32_t groupIndex = 0;                 // place in the container's group
    RadioButtonListener* listener = nullptr; // not owned
    InstanceHandle checkMark;                // the "_check" child
};

} // namespace TarnEngine
