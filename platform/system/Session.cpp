#include "platform/system/Session.h"

namespace Platform
{

namespace
{
constexpr uint32_t consoleSession = 1;
}

uint32_t ProcessSessionId()
{
    return consoleSession;
}

uint32_t ActiveConsoleSessionId()
{
    return consoleSession;
}

} // namespace Platform
