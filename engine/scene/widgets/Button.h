// The push button: frames 0 normal, 1 over, 2 pressed. A click is a left press while the pointer is
// over it followed by a left release over it: the click sound, the over look, the listener (its
// container or screen, unless a listener was set before registration) and the script event
// "OnButtonClick". A button named "okButton" or "cancelButton" also answers Enter or Escape while
// its parent is the top modal screen; it hears keys because it registers as a global key handler.
#pragma once

#include "engine/scene/widgets/Component.h"

namespace TarnEngine
{

class Button : public Component
{
    TARN_RCLASS(Button)
    TARN_LUA_CLASS("Button")
public:
    static constexpr uint32_t KeyEnter = 13;
    static constexpr uint32_t KeyEscape = 27;

    void Initialize(const std::wstring& instanceName) override;
    void OnRegistered(Container& container) override;

    // IInstanceEventHandler: stops the hit list only when the movie's own flag says so.
    bool IsEatingMouse(InstanceHandle) override { return eatingMouse; }
    void OnKeyDown(InstanceHandle instance, uint32_t key) override;
    void OnLoad(InstanceHandle instance) override;
    void OnMouseDown(InstanceHandle instance, uint32_t button) override;
    void OnMouseEnter(InstanceHandle instance) override;
    void OnMouseLeave(InstanceHandle instance) override;
    void OnMouseUp(InstanceHandle instance, uint32_t button) override;
    void OnMouseUpOutside(InstanceHandle instance, uint32_t button) override;

    static void RegisterLua(lua_State* state);

    ButtonListener* listener = nullptr; // not owned
    bool isOkButton = false;
    bool isCancelButton = false;
};

} // namespace TarnEngine
