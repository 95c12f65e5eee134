// The delay-based timer service of scripts and listeners: one instance,
// created by engine start-up, stepped once per engine update before the clocks
// advance, cleared and deleted by shutdown. Its timer records live in the
// handle table that is its first member (kind tag 4), so that a listener can
// refer to a timer by a handle that goes stale when the timer is removed.
#pragma once

#include "engine/core/base/HandleTable.h"

namespace TarnEngine
{

class TimerService
{
public:
    static constexpr uint32_t TimerKind = 4;

    TimerService();
    ~TimerService();
    TimerService(const TimerService&) = delete;
    TimerService& operator=(const TimerService&) = delete;

    static TimerService* Get();

    // The per-update step of the timers.
    void Update();
    // Forgets every timer.
    void Clear();

    HandleTable& GetTable() { return table; }

private:
    HandleTable table;
};

} // namespace TarnEngine
