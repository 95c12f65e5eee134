// The base of the UI toolkit: a movie that is its own input handler. Its visual state (0 normal,
// 1 pointer over, 2 pressed) is the frame of that number; it can be disabled (shown by a
// "disable_mask" child, or by the pressed frame when there is none), take the keyboard focus, and
// narrow its hit area to a child named "_bounds". At its load it registers in the nearest Container
// above it, which keeps the focus among its components and listens to its widgets; at its unload it
// leaves it again.
//
// A plain Component keeps the movie's initialisation and so has no handler; Container and every
// widget make themselves their own handler (never owned: the movie must not delete itself).
#pragma once

#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/display/node/IInstanceEventHandler.h"
#include "engine/scene/widgets/WidgetListeners.h"

namespace TarnEngine
{

class Container;

class Component : public Instance_Movie, public IInstanceEventHandler, public FocusListener
{
    TARN_RCLASS(Component)
    TARN_LUA_CLASS("Component")
public:
    ~Component() override;

    void Unload() override;
    // Playing or stopping an ancestor must not move the state frames: the walk stops here, and
    // the component's own timeline and children keep their flags.
    void SetPlayingRecursive(bool) override {}

    virtual void SetEnabled(bool enable);
    virtual void SetState(int32_t newState);
    // A text handed down by the container; components ignore it unless a game class wants it.
    virtual void OnText(const std::wstring&) {}
    // Whether input that arrived with the handle is meant for the component: always, unless the
    // component has a "_bounds" child, which then alone counts.
    virtual bool HitTest(InstanceHandle instance);
    virtual InstanceHandle GetHitArea();
    // The direct parent when it is a Container.
    virtual Container* GetParentContainer();

    // The container calls it when it takes the component in: widgets take their listener here,
    // radio buttons join the container's group.
    virtual void OnRegistered(Container&) {}

    // FocusListener
    void OnFocus(bool isFocused) override { focused = isFocused; }

    // IInstanceEventHandler: the hit list goes on below a component.
    bool IsEatingMouse(InstanceHandle) override { return false; }
    void OnLoad(InstanceHandle instance) override;
    void OnUnload(InstanceHandle instance) override;

    static void RegisterLua(lua_State* state);

    bool enabled = true;
    bool focused = false;
    Container* owner = nullptr; // the container it registered in; not owned
    int32_t state = 0;

protected:
    // The movie defaults, enabled, and the component as its own handler.
    void InitializeOwnHandler(const std::wstring& instanceName);
    // The load of every component: registration, state 0, the enabled look, "_bounds".
    void LoadComponent();
    // True when the notification is about this component itself.
    bool IsSelf(const InstanceHandle& instance) const;
    // The direct child of that name as a movie, or null.
    Instance_Movie* ChildMovie(const std::wstring& childName);
    // The component's size in its parent's space, children included.
    float Width();
    float Height();

private:
    void unregister();
};

} // namespace TarnEngine
