// Timer service; see TimerService.h.
#include "engine/scene/ui/TimerService.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{

TimerService* g_timerService = nullptr;
uint64_t g_lastIdentity = 0;

// Counter ticks in delay seconds, truncated toward zero. At least one tick, or
// an update would notify forever; huge delays stop at the largest count
// instead of overflowing the conversion.
int64_t periodOf(int64_t frequency, float delay)
{
    const long double ticks = static_cast<long double>(frequency) * static_cast<long double>(delay);
    if (ticks >= 0x1p63L)
        return INT64_MAX;
    const int64_t period = static_cast<int64_t>(ticks);
    return period < 1 ? 1 : period;
}

} // namespace

TimerService::TimerService(const Platform::CounterSource& counterIn) : counter(counterIn), identity(++g_lastIdentity)
{
    g_timerService = this;
}

TimerService::~TimerService()
{
    // Every record goes unnotified; the handles die with the table.
    timers.clear();
    pending.clear();
    records.clear();
    if (g_timerService == this)
        g_timerService = nullptr;
}

TimerService* TimerService::Get()
{
    return g_timerService;
}

TimerRecord* TimerService::resolve(const InstanceHandle& handle) const
{
    // The table's own test, inline: the walk resolves every live timer each frame.
    const Slot* slot = GetSlot(handle.index);
    if (slot == nullptr || handle.serial == 0 || slot->serial != handle.serial)
        return nullptr;
    return static_cast<TimerRecord*>(slot->object);
}

bool TimerService::Cancel(const InstanceHandle& timer)
{
    if (timer.table != static_cast<const HandleTable*>(this))
        return false;
    TimerRecord* record = resolve(timer);
    if (record == nullptr)
        return false;
    record->removed = true;
    return true;
}

InstanceHandle TimerService::AddTimer(float delay, ITimerListener* listener)
{
    // Written so that a delay that is not a number is refused too.
    if (!(static_cast<double>(delay) >= MinimumDelay) || listener == nullptr)
        return {};
    auto record = std::make_unique<TimerRecord>();
    record->start = counter.Counter();
    record->period = periodOf(counter.Frequency(), delay);
    record->listener = listener;

    InstanceHandle handle;
    Add(handle, record.get(), TimerKind);
    if (handle.index >= records.size())
        records.resize(handle.index + 1);
    records[handle.index] = std::move(record);
    (updating ? pending : timers).push_back(handle);
    return handle;
}

void TimerService::Update()
{
    // A listener that runs the update again would delete records and entries
    // under the walk in progress.
    if (updating)
        return;
    updating = true;

    // Read once, and again after notifications, which take time.
    int64_t now = counter.Counter();
    bool dropped = false;
    // Newest first. Listeners cannot change timers (new ones go to pending),
    // so finished entries are only blanked here and swept out in one pass.
    for (size_t i = timers.size(); i-- > 0;)
    {
        const InstanceHandle handle = timers[i];
        TimerRecord* record = resolve(handle);
        if (record == nullptr)
        {
            timers[i] = {};
            dropped = true;
            continue;
        }
        if (record->removed)
        {
            Release(handle);
            records[handle.index].reset();
            timers[i] = {};
            dropped = true;
            continue;
        }
        if (record->held)
            record->start = now;

        int64_t elapsed = now - record->start;
        bool fired = false;
        uint32_t told = 0;
        while (elapsed >= record->period && !record->removed && !record->held && told < MaximumCatchUp)
        {
            fired = true;
            ++told;
            record->listener->OnTimer(handle);
            elapsed -= record->period;
            // Only this service releases handles, but the listener may have
            // grown the table; look the record up again.
            record = resolve(handle);
            if (record == nullptr)
                break;
        }
        // The next period starts now: time beyond the whole periods is dropped.
        if (fired)
        {
            now = counter.Counter();
            if (record != nullptr)
                record->start = now;
        }
    }

    updating = false;
    if (dropped)
        std::erase_if(timers, [](const InstanceHandle& handle) { return handle.serial == 0; });
    timers.insert(timers.end(), pending.begin(), pending.end());
    pending.clear();
}

} // namespace TarnEngine
