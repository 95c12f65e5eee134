// The check box: toggles its tick on each click (a left release over it in the over state) and
// tells its listener. The tick shows as a "_check" child, or, without one, as frames 3 to 5 (the
// normal, over and pressed frames with the tick).
#pragma once

#include "engine/scene/widgets/Component.h"

namespace TarnEngine
{

class CheckBox : public Component
{
    TARN_RCLASS(CheckBox)
    TARN_LUA_CLASS("CheckBox")
public:
    void Initialize(const std::wstring& instanceName) override;
    void SetState(int32_t newState) override;
    void OnRegistered(Container& container) override;

    void SetChecked(bool check);

    // IInstanceEventHandler
    bool IsEatingMouse(InstanceHandle) override { return eatingMouse; }
    void OnLoad(InstanceHandle instance) override;
    void OnMouseEnter(InstanceHandle instance) override;
    void OnMouseLeave(InstanceHandle instance) override;
    void OnMouseUp(InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(InstanceHandle instance, uint32_t button) override;

    static void RegisterLua(lua_State* state);

    bool ticked = false;
    CheckBoxListener* listener = nullptr; // not owned
    InstanceHandle checkMark;             // the "_check" child
};

// The state frame of a two-state widget: its own frame with a check mark child, else the frame
// of the ticked or plain set of three.
void ShowTwoStateFrame(Component& widget, bool hasCheckMark, bool ticked);

} // namespace TarnEngine
