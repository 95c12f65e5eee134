// A waitable event. An auto-reset event lets exactly one waiter through per
// Set and clears itself; a manual-reset event stays set, releasing every
// waiter, until Reset.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Platform
{

class Event
{
public:
    static constexpr uint32_t Infinite = 0xFFFFFFFFu;

    Event(bool manualReset, bool initiallySet) : manualReset_(manualReset), set_(initiallySet) {}
    void Set();
    void Reset();
    // True when the event was set within the time-out (ms; 0 only tests it).
    bool Wait(uint32_t timeoutMs = Infinite);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    const bool manualReset_;
    bool set_;
};

} // namespace Platform
