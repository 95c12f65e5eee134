// The handler side of a console function: the console calls ExecuteCommand
// with the split command line (element 0 the full dotted name, then the
// parameters) and, for namespace functions, an empty instance handle.
#pragma once

#include <string>
#include <vector>

#include "engine/core/base/InstanceHandle.h"

namespace TarnEngine
{

class IConsoleHandler
{
public:
    virtual ~IConsoleHandler() = default;
    virtual void ExecuteCommand(const std::vector<std::wstring>& arguments,
                                const InstanceHandle& instance) = 0;
};

} // namespace TarnEngine
