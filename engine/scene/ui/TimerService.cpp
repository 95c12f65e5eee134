// Timer service; see TimerService.h.
#include "engine/scene/ui/TimerService.h"

namespace TarnEngine
{

namespace
{
TimerService* g_timerService = nullptr;
}

TimerService::TimerService()
{
    g_timerService = this;
}

TimerService::~TimerService()
{
    Clear();
    if (g_timerService == this)
        g_timerService = nullptr;
}

TimerService* TimerService::Get()
{
    return g_timerService;
}

void TimerService::Update() {}

void TimerService::Clear() {}

} // namespace TarnEngine
