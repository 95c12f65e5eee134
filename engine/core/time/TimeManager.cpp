#include "engine/core/time/TimeManager.h"

#include <cmath>

namespace TarnEngine
{

namespace
{

TimeManager* runningTimeManager = nullptr;

// Scaled step in whole milliseconds. A negative, NaN or huge product would be
// undefined when converted to an unsigned value.
uint32_t scaledStep(uint32_t delta, float globalScale, float clockScale)
{
    const float ms = static_cast<float>(delta) * globalScale * clockScale;
    if (!(ms > 0.0f))
        return 0;
    if (ms >= static_cast<float>(TimeManager::MaxStepMs))
        return TimeManager::MaxStepMs;
    return static_cast<uint32_t>(ms);
}

} // namespace

TimeManager::TimeManager(const Platform::CounterSource& counter) : counter_(counter)
{
    // A counter slower than 1 kHz would make every millisecond a division by zero.
    ticksPerMs_ = counter_.Frequency() / 1000;
    if (ticksPerMs_ < 1)
        ticksPerMs_ = 1;
    const uint32_t now = GetMilliseconds();
    real_.previous = real_.now = now;
    frame_.previous = frame_.now = now;
    runningTimeManager = this;
}

TimeManager::~TimeManager()
{
    if (runningTimeManager == this)
        runningTimeManager = nullptr;
}

TimeManager* TimeManager::Get()
{
    return runningTimeManager;
}

uint32_t TimeManager::GetMilliseconds() const
{
    return static_cast<uint32_t>(static_cast<uint64_t>(counter_.Counter() / ticksPerMs_));
}

void TimeManager::UpdateFrameBase()
{
    frame_.previous = frame_.now;
    frame_.now = GetMilliseconds();
    const uint32_t delta = frame_.now - frame_.previous;
    frame_.delta = delta < maxDeltaMs_ ? delta : maxDeltaMs_;
}

void TimeManager::UpdateRealClock()
{
    real_.previous = real_.now;
    real_.now = GetMilliseconds();
    real_.delta = real_.now - real_.previous;
    real_.deltaSeconds = static_cast<float>(real_.delta / 1000.0);
}

void TimeManager::UpdateClock(uint32_t index)
{
    if (index >= ClockCount)
        return;
    TimeClock& clock = clocks_[index];
    if (clock.paused)
    {
        clock.delta = 0;
        clock.deltaSeconds = 0.0f;
        return;
    }
    clock.previous = clock.now;
    clock.delta = scaledStep(frame_.delta, frame_.scale, clock.scale);
    clock.now += clock.delta;
    clock.deltaSeconds = static_cast<float>(clock.delta / 1000.0);
}

void TimeManager::StepTimerList(TimerLists& lists, uint32_t index)
{
    if (index >= ClockCount || clocks_[index].paused)
        return;
    const uint32_t now = clocks_[index].now;
    TimerList& list = lists[index];
    // Collect every due timer before any fires: a timer that a call-back sets
    // or re-arms waits for the next step, and each fires at most once a step.
    TimerList due;
    for (TimerBase* timer = list.First(); timer;)
    {
        TimerBase* next = TimerList::Next(timer);
        if (IsDue(timer->GetDueTime(), now))
            due.PushBack(timer);
        timer = next;
    }
    // A call-back may delete any timer, which unlinks it from `due` too.
    while (TimerBase* timer = due.First())
    {
        timer->Unlink();
        timer->Fire();
    }
}

} // namespace TarnEngine
