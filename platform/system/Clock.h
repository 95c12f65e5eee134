// The monotonic high-resolution counter that engine time is derived from, and
// sleeping. Time users take a CounterSource so that tests drive them with a
// FakeCounter instead of the real clock.
#pragma once

#include <cstdint>

namespace Platform
{

class CounterSource
{
public:
    virtual ~CounterSource() = default;
    virtual int64_t Counter() const = 0;   // ticks since an arbitrary start, never decreasing
    virtual int64_t Frequency() const = 0; // ticks per second
};

// CLOCK_MONOTONIC in nanoseconds; one for the process.
CounterSource& SystemCounter();

// A counter that moves only when told to.
class FakeCounter final : public CounterSource
{
public:
    explicit FakeCounter(int64_t frequency, int64_t start = 0) : frequency_(frequency), now_(start) {}
    int64_t Counter() const override { return now_; }
    int64_t Frequency() const override { return frequency_; }
    void Set(int64_t ticks) { now_ = ticks; }
    void Advance(int64_t ticks) { now_ += ticks; }
    void AdvanceMilliseconds(int64_t ms) { now_ += ms * frequency_ / 1000; }

private:
    int64_t frequency_;
    int64_t now_;
};

void SleepMilliseconds(uint32_t ms);

} // namespace Platform
