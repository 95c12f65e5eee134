// The input event records that the user interface hands to its event
// listeners, and the listener interface. The engine core needs them for the
// reporting module's input forwarding; the user interface builds them.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class Event_Base
{
public:
    enum Type : uint32_t
    {
        MouseDown = 0,
        MouseUp = 1,
        KeyDown = 2,
        KeyUp = 3
    };

    explicit Event_Base(uint32_t type) : type(type) {}
    virtual ~Event_Base() = default;

    uint32_t type;
};

class Event_Key : public Event_Base
{
public:
    Event_Key(uint32_t type, uint16_t key) : Event_Base(type), key(key) {}

    uint16_t key;
};

class Event_Mouse : public Event_Base
{
public:
    Event_Mouse(uint32_t type, uint32_t heldButtons, int32_t x, int32_t y, bool ctrl, bool shift,
                int32_t button)
        : Event_Base(type), heldButtons(heldButtons), x(x), y(y), ctrl(ctrl), shift(shift), button(button)
    {
    }

    uint32_t heldButtons; // bit 0 left, 1 right, 2 middle
    int32_t x;
    int32_t y;
    bool ctrl;
    bool shift;
    int32_t button; // 0 left, 1 right, 2 middle
};

class IEventListener
{
public:
    virtual ~IEventListener() = default;
    virtual void OnEvent(const Event_Base& event) = 0;
};

} // namespace TarnEngine
