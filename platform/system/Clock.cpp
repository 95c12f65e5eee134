#include "platform/system/Clock.h"

#include <cerrno>
#include <ctime>

namespace Platform
{

namespace
{

class MonotonicCounter final : public CounterSource
{
public:
    int64_t Counter() const override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
    int64_t Frequency() const override { return 1000000000; }
};

} // namespace

CounterSource& SystemCounter()
{
    static MonotonicCounter counter;
    return counter;
}

void SleepMilliseconds(uint32_t ms)
{
    timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR)
    {
    }
}

} // namespace Platform
