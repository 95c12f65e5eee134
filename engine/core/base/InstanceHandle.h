// The weak handle by which display instances, timer records and effects are
// referred to: {serial, index, issuing table}, copied by value; all zero is
// the empty handle. The issuing table decides whether a handle is still valid.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class HandleTable;

struct InstanceHandle
{
    uint32_t serial = 0;
    uint32_t index = 0;
    HandleTable* table = nullptr;

    // False without a table, else the table's validity test.
    bool IsValid() const;
    // The stored object, or null when the handle is not valid.
    void* Get() const;
};

} // namespace TarnEngine
