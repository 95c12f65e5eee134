#include "platform/system/Event.h"

#include <chrono>

namespace Platform
{

void Event::Set()
{
    // Notified under the lock: a waiter cannot return (and its owner destroy the event) while the
    // setter still touches the condition variable.
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    if (manualReset_)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void Event::Reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool Event::Wait(uint32_t timeoutMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const auto isSet = [this] { return set_; };
    if (timeoutMs == Infinite)
        changed_.wait(lock, isSet);
    else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
        return false;
    if (!manualReset_)
        set_ = false;
    return true;
}

} // namespace Platform
