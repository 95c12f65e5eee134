// Auto-reset event that wakes the connection's worker: a signal lets exactly
// one wait through and is then cleared; signals while nobody waits are kept
// (once).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace linkwell {

class WakeEvent {
public:
    void Signal();
    void Wait();
    // True when signalled within the time, false when the time ran out.
    bool WaitFor(std::chrono::milliseconds time);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

} // namespace linkwell
