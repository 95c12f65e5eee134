// Hands out handles to objects that live and die independently of the code referring to them
// (display instances, timer records, particle effects). A handle names a slot and the serial the
// slot had when the object was stored; once the object is released the slot's serial changes and
// the handle stops resolving. The table never owns the objects.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/base/InstanceHandle.h"

namespace TarnEngine
{

class HandleTable
{
public:
    struct Slot
    {
        uint32_t serial = 0; // 0 while free
        void* object = nullptr;
        uint32_t kind = 0; // the caller's tag, kept with the object
    };

    static constexpr uint32_t kGrowStep = 16;

    HandleTable() = default;
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    // Stores object with its kind tag and fills handle. Released indices are reused last-in first-out.
    void Add(InstanceHandle& handle, void* object, uint32_t kind);
    // Frees the handle's slot when the handle is valid for this table; anything else is ignored.
    void Release(const InstanceHandle& handle);

    // Serial not 0, index below the used count and the slot carrying the same serial.
    bool IsValid(uint32_t serial, uint32_t index) const;
    void* Get(uint32_t serial, uint32_t index) const;

    // Slots ever handed out (the high-water mark) and slots allocated.
    uint32_t GetUsed() const { return uint32_t(m_slots.size()); }
    uint32_t GetCapacity() const { return uint32_t(m_slots.capacity()); }
    // The slot at index, or null at or past the used count.
    const Slot* GetSlot(uint32_t index) const { return index < m_slots.size() ? &m_slots[index] : nullptr; }

protected:
    // Serial of the next stored object; never 0, which marks a free slot.
    uint32_t m_nextSerial = 1;

private:
    void appendSlot();

    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_free;
};

} // namespace TarnEngine
