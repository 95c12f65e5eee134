// The weak handle by which display instances, timer records and effects are
// referred to: {serial, index, issuing table}, copied by value; all zero is
// the empty handle. The issuing table decides whether a handle is still valid,
// so every copy of a released handle goes stale at once.
//
// The display-tree members (GetInstance and the typed copies) are defined with
// the display tree in engine/scene/display/node/Instance_Base.cpp; call them only on
// handles of the user interface's instance table.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class HandleTable;
class Instance_Base;

struct InstanceHandle
{
    uint32_t serial = 0;
    uint32_t index = 0;
    HandleTable* table = nullptr;

    // False without a table, else the table's validity test.
    bool IsValid() const;
    // The stored object, or null when the handle is not valid.
    void* Get() const;

    // All three fields compared.
    bool Equals(const InstanceHandle& other) const
    {
        return serial == other.serial && index == other.index && table == other.table;
    }
    bool NotEquals(const InstanceHandle& other) const { return !Equals(other); }
    bool operator==(const InstanceHandle& other) const { return Equals(other); }

    // The display instance, or null when the handle is not valid.
    Instance_Base* GetInstance() const;
    // A copy when the handle is valid and its instance is of that kind, else the empty handle.
    InstanceHandle AsType(uint32_t kind) const;
    InstanceHandle AsMovie() const;
    InstanceHandle AsImage() const;
    InstanceHandle AsText() const;
};

} // namespace TarnEngine
