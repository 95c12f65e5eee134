// The program's version as compiled in from the build's project version.
#pragma once

#include <cstdint>

#include "Version.h"

namespace Platform
{

struct ProgramVersion
{
    uint16_t major;
    uint16_t minor;
    uint16_t patch;
    uint16_t tweak;
};

constexpr ProgramVersion GetProgramVersion()
{
    return {PELLWOOD_VERSION_MAJOR, PELLWOOD_VERSION_MINOR, PELLWOOD_VERSION_PATCH, PELLWOOD_VERSION_TWEAK};
}

constexpr const char* ProgramVersionString()
{
    return PELLWOOD_VERSION_STRING;
}

} // namespace Platform
