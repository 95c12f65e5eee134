// A lock that the owning thread may take again (recursive), released as often
// as it was taken, and a scoped holder for it.
#pragma once

#include <mutex>

namespace Platform
{

class CriticalSection
{
public:
    void Enter() { mutex_.lock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

class ScopedLock
{
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section_;
};

} // namespace Platform
