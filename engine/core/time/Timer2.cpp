#include "engine/core/time/Timer2.h"

#include <cmath>

#include "engine/core/time/TimeManager.h"

namespace TarnEngine
{

namespace
{

uint32_t intervalMs(double seconds)
{
    const double ms = seconds * 1000.0;
    if (!(ms > 0.0))
        return 0;
    if (ms >= static_cast<double>(TimeManager::MaxStepMs))
        return TimeManager::MaxStepMs;
    return static_cast<uint32_t>(ms);
}

} // namespace

Timer2::Timer2() = default;

Timer2::~Timer2() = default;

bool Timer2::SetTimer(uint32_t id, double seconds, bool repeat, uint32_t clockIndex)
{
    if (clockIndex >= TimeManager::ClockCount)
        return false;
    RemoveTimer(id);
    const uint32_t interval = intervalMs(seconds);
    TimeManager* time = TimeManager::Get();
    const uint32_t now = time ? time->GetClock(clockIndex).now : 0;
    auto timer = std::make_unique<Timer2Impl>(*this, id, now + interval, interval, repeat, clockIndex);
    if (TimerLists* lists = TimerLists::Get())
        (*lists)[clockIndex].PushBack(timer.get());
    timers_[id] = std::move(timer);
    return true;
}

void Timer2::RemoveTimer(uint32_t id)
{
    timers_.erase(id); // the timer's destructor unlinks it
}

void Timer2::Timer2Impl::Fire()
{
    Timer2& owner = owner_;
    const uint32_t id = id_;
    if (repeat_)
    {
        // From the old due time, not from now: a late timer catches up one
        // period per step.
        due_ += interval_;
        if (TimerLists* lists = TimerLists::Get())
            (*lists)[clockIndex_].PushBack(this);
    }
    else
    {
        owner.RemoveTimer(id); // deletes this
    }
    owner.OnTimer(id);
}

} // namespace TarnEngine
