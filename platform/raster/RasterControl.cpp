// Fault injection, call counting and the memory budget of the software device.
#include "platform/raster/RasterControl.h"

namespace Raster
{

const char* ResultName(Result result)
{
    switch (result)
    {
    case Result::Ok:
        return "ok";
    case Result::DeviceLost:
        return "device lost";
    case Result::DeviceNotReset:
        return "device not reset";
    case Result::NotAvailable:
        return "not available";
    case Result::OutOfVideoMemory:
        return "out of video memory";
    case Result::DriverInternalError:
        return "driver internal error";
    case Result::InvalidCall:
        return "invalid call";
    }
    return "unknown";
}

void RasterControl::Inject(Call call, Result result, uint32_t times)
{
    plans[static_cast<size_t>(call)].push_back({result, times});
}

void RasterControl::ClearInjections()
{
    for (auto& queue : plans)
        queue.clear();
}

Result RasterControl::Enter(Call call)
{
    const size_t index = static_cast<size_t>(call);
    ++counts[index];
    auto& queue = plans[index];
    if (queue.empty())
        return Result::Ok;
    Plan& plan = queue.front();
    const Result result = plan.result;
    if (plan.remaining != 0 && --plan.remaining == 0)
        queue.pop_front();
    return result;
}

bool RasterControl::Charge(uint64_t bytes)
{
    if (bytes > budget || used > budget - bytes)
        return false;
    used += bytes;
    return true;
}

} // namespace Raster
