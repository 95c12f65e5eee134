// Engine time in whole milliseconds, derived from the high-resolution counter:
// an unclamped real clock, a frame base whose step is clamped to maxDeltaMs,
// and two scaled clocks that animation, scripts and timers run on (clock 0
// always runs; clock 1 is the game's and can be paused). The main loop
// advances the clocks and then steps each clock's timer list.
#pragma once

#include <cstdint>

#include "engine/core/time/TimerList.h"
#include "platform/system/Clock.h"

namespace TarnEngine
{

struct TimeClock
{
    uint32_t previous = 0;
    uint32_t now = 0;
    uint32_t delta = 0;
    float deltaSeconds = 0.0f;
    float scale = 1.0f;
    bool paused = false;
};

// True when `due` is not later than `now`, across the 32-bit wrap of the
// millisecond count (every 49.7 days).
inline bool IsDue(uint32_t due, uint32_t now)
{
    return static_cast<int32_t>(now - due) >= 0;
}

class TimeManager
{
public:
    static constexpr uint32_t ClockCount = 2;
    // The largest step a clock takes at once, so that due times stay comparable.
    static constexpr uint32_t MaxStepMs = 0x7FFFFFFF;

    explicit TimeManager(const Platform::CounterSource& counter = Platform::SystemCounter());
    virtual ~TimeManager();
    TimeManager(const TimeManager&) = delete;
    TimeManager& operator=(const TimeManager&) = delete;

    static TimeManager* Get();

    uint32_t GetMilliseconds() const;
    void UpdateFrameBase();
    void UpdateRealClock();
    void UpdateClock(uint32_t index);
    void StepTimerList(TimerLists& lists, uint32_t index);

    // Clocks 0 and 1; an index past them gives clock 0.
    TimeClock& GetClock(uint32_t index) { return clocks_[index < ClockCount ? index : 0]; }
    const TimeClock& GetRealClock() const { return real_; }
    const TimeClock& GetFrameBase() const { return frame_; }
    void SetPaused(uint32_t index, bool paused) { GetClock(index).paused = paused; }
    void SetGlobalScale(float scale) { frame_.scale = scale; }
    uint32_t GetMaxDeltaMs() const { return maxDeltaMs_; }
    void SetMaxDeltaMs(uint32_t ms) { maxDeltaMs_ = ms; }

private:
    const Platform::CounterSource& counter_;
    TimeClock clocks_[ClockCount];
    TimeClock real_;
    TimeClock frame_;
    uint32_t maxDeltaMs_ = 16;
    int64_t ticksPerMs_ = 1;
};

} // namespace TarnEngine
