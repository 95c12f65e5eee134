// The engine's timer service: delayed and repeating notifications for objects
// that implement ITimerListener (effects that start late, the game's hint
// delay). It runs on the high-resolution counter, not on the time manager's
// clocks, so a timer knows nothing of game time, pauses or frame deltas.
//
// Each timer is a TimerRecord stored in the service's own handle table (kind
// tag 4). The caller keeps the handle: it tells its notifications apart by it,
// and cancels or holds the timer by setting a flag in the record it resolves
// to; the service deletes a cancelled record at its next update, after which
// the handle no longer resolves. A timer repeats until it is cancelled.
//
// One service, created by engine start-up right before the time manager and
// published through Get; the tick runs Update first in every frame update;
// shutdown deletes it, records and all, without notifying anyone.
#pragma once

#include "engine/core/base/HandleTable.h"
#include "engine/core/base/InstanceHandle.h"
#include "platform/system/Clock.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace TarnEngine
{

class ITimerListener
{
public:
    virtual ~ITimerListener() = default;
    // timer: the handle that AddTimer returned for the timer that fell due.
    virtual void OnTimer(InstanceHandle timer) = 0;
};

struct TimerRecord
{
    // Set by the holder of the handle: the timer stands still and is not notified.
    bool held = false;
    // Set by the holder of the handle: the next update deletes the timer unnotified.
    bool removed = false;
    ITimerListener* listener = nullptr; // not owned
    int64_t start = 0;                  // counter value at which the current period began
    int64_t period = 0;                 // counter ticks per period, at least 1
};

// The handle table is a private base: handles are released only by the
// service, together with their records, so a record can never be lost behind
// a released handle.
class TimerService : private HandleTable
{
public:
    static constexpr uint32_t TimerKind = 4;
    // Shorter delays (and delays that are not numbers) schedule nothing.
    static constexpr double MinimumDelay = 0.0001;
    // A timer is told at most this many times in one update. Catching up
    // every missed period of a short timer after a long pause (a minimised
    // window, a stopped process) would otherwise hold the frame for minutes.
    static constexpr uint32_t MaximumCatchUp = 60;

    explicit TimerService(const Platform::CounterSource& counter = Platform::SystemCounter());
    ~TimerService();
    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    // The running service, or null.
    static TimerService* Get();

    // A timer that notifies listener every delay seconds from now, or the
    // empty handle when the delay is too short or listener is null. A timer
    // added while an update runs is first looked at by the next update.
    InstanceHandle AddTimer(float delay, ITimerListener* listener);

    // Deletes cancelled timers and notifies the due ones, newest first; a
    // timer that is several periods overdue is notified once per whole period.
    void Update();

    // Cancels a timer that this service made: the next update deletes it
    // unnotified. A handle of another service (one that was replaced, whose
    // table is gone) is never looked at. False when nothing was cancelled.
    bool Cancel(const InstanceHandle& timer);
    // Tells the services of one run apart: no two services, even one made
    // where a deleted one lived, share it. Holders of a handle keep it beside
    // the handle and cancel only through the service of the same identity.
    uint64_t GetIdentity() const { return identity; }

private:
    TimerRecord* resolve(const InstanceHandle& handle) const;

    const Platform::CounterSource& counter;
    // The records, by the index of their handle's slot.
    std::vector<std::unique_ptr<TimerRecord>> records;
    // Live timers in the order they joined.
    std::vector<InstanceHandle> timers;
    // Timers added during an update; they join timers when it ends.
    std::vector<InstanceHandle> pending;
    bool updating = false;
    uint64_t identity = 0;
};

} // namespace TarnEngine
