// Numbered call-back timers of an object. A class that wants call-backs after
// a delay derives from Timer2 and implements OnTimer; each timer is linked
// into the timer list of the clock it runs on and fires when the main loop
// steps that list.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "engine/core/time/TimerList.h"

namespace TarnEngine
{

class Timer2
{
public:
    class Timer2Impl;

    Timer2();
    virtual ~Timer2(); // deletes every timer of the object
    Timer2(const Timer2&) = delete;
    Timer2& operator=(const Timer2&) = delete;

    virtual void OnTimer(uint32_t id) = 0;

    // Replaces any timer with that id. The interval is seconds x 1000 cut to
    // whole ms; a negative or NaN time counts as 0. Clock 0 or 1; any other
    // index sets nothing and gives false.
    bool SetTimer(uint32_t id, double seconds, bool repeat, uint32_t clockIndex);
    void RemoveTimer(uint32_t id);
    bool HasTimer(uint32_t id) const { return timers_.count(id) != 0; }

private:
    std::map<uint32_t, std::unique_ptr<Timer2Impl>> timers_;
};

class Timer2::Timer2Impl final : public TimerBase
{
public:
    Timer2Impl(Timer2& owner, uint32_t id, uint32_t due, uint32_t interval, bool repeat, uint32_t clockIndex)
        : id_(id), due_(due), interval_(interval), repeat_(repeat), clockIndex_(clockIndex), owner_(owner)
    {
    }
    uint32_t GetDueTime() const override { return due_; }
    void Fire() override;

private:
    uint32_t id_;
    uint32_t due_;
    uint32_t interval_;
    bool repeat_;
    uint32_t clockIndex_;
    Timer2& owner_;
};

} // namespace TarnEngine
