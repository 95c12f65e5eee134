// The per-instance input and notification interface. A movie holds at most one handler (the movie's
// SetEventHandler), owned by the movie unless it was handed in from outside. Every operation receives
// the instance's handle first, so a handler shared between instances knows which one is meant and can
// test whether it still lives. The defaults do nothing; the widget toolkit, the screen manager and the
// game override what they need.
#pragma once

#include "engine/core/base/InstanceHandle.h"

#include <cstdint>
#include <string>

namespace TarnEngine
{

class IInstanceEventHandler
{
public:
    virtual ~IInstanceEventHandler() = default;

    // Whether the instance takes the pointer, so that instances behind it get no pointer events;
    // by default the movie's eatingMouse flag.
    virtual bool IsEatingMouse(InstanceHandle instance);
    virtual void OnFrameChanged(InstanceHandle) {}
    virtual void OnChar(InstanceHandle, uint32_t) {}
    virtual void OnKeyDown(InstanceHandle, uint32_t) {}
    virtual void OnKeyUp(InstanceHandle, uint32_t) {}
    virtual void OnLabelHit(InstanceHandle, const std::wstring&) {}
    virtual void OnLoad(InstanceHandle) {}
    virtual void OnMouseDown(InstanceHandle, uint32_t) {}
    virtual void OnMouseEnter(InstanceHandle) {}
    virtual void OnMouseLeave(InstanceHandle) {}
    virtual void OnMouseUp(InstanceHandle, uint32_t) {}
    virtual void OnMouseUpOutside(InstanceHandle, uint32_t) {}
    virtual void OnMouseOver(InstanceHandle) {}
    virtual void OnUpdate(InstanceHandle) {}
    virtual void OnTimelineStop(InstanceHandle) {}
    virtual void OnUnload(InstanceHandle) {}
    virtual void OnCreated(InstanceHandle) {}
};

} // namespace TarnEngine
