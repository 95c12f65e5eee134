#include "engine/core/time/TimerList.h"

namespace TarnEngine
{

namespace
{
TimerLists* runningTimerLists = nullptr;
}

TimerLists::TimerLists()
{
    runningTimerLists = this;
}

TimerLists::~TimerLists()
{
    if (runningTimerLists == this)
        runningTimerLists = nullptr;
}

TimerLists* TimerLists::Get()
{
    return runningTimerLists;
}

} // namespace TarnEngine
