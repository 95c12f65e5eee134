// Auto-reset wake of the worker (see WakeEvent.h).
#include "linkwell/connection/WakeEvent.h"

namespace linkwell {

void WakeEvent::Signal() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        signalled_ = true;
    }
    changed_.notify_one();
}

void WakeEvent::Wait() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [this] { return signalled_; });
    signalled_ = false;
}

bool WakeEvent::WaitFor(std::chrono::milliseconds time) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!changed_.wait_for(hold, time, [this] { return signalled_; })) {
        return false;
    }
    signalled_ = false;
    return true;
}

} // namespace linkwell
