// Terminal-session queries. There are no remote terminal sessions to refuse
// here: the process always runs in the active console session, so both
// queries give the same number.
#pragma once

#include <cstdint>

namespace Platform
{

uint32_t ProcessSessionId();
uint32_t ActiveConsoleSessionId();

} // namespace Platform
