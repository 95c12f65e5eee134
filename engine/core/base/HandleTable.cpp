// Implementation of HandleTable.h.
#include "engine/core/base/HandleTable.h"

namespace TarnEngine
{

bool InstanceHandle::IsValid() const
{
    return table != nullptr && table->IsValid(serial, index);
}

void* InstanceHandle::Get() const
{
    return table != nullptr ? table->Get(serial, index) : nullptr;
}

void HandleTable::appendSlot()
{
    if (m_slots.size() == m_slots.capacity())
        m_slots.reserve(m_slots.capacity() + kGrowStep);
    m_slots.emplace_back();
    m_free.push_back(uint32_t(m_slots.size() - 1));
}

void HandleTable::Add(InstanceHandle& handle, void* object, uint32_t kind)
{
    if (m_free.empty())
        appendSlot();
    const uint32_t index = m_free.back();
    m_free.pop_back();
    const uint32_t serial = m_nextSerial;
    // After 2^32 stores the counter wraps; 0 would make the new handle invalid from birth.
    if (++m_nextSerial == 0)
        m_nextSerial = 1;
    handle.serial = serial;
    handle.index = index;
    handle.table = this;
    m_slots[index] = {serial, object, kind};
}

void HandleTable::Release(const InstanceHandle& handle)
{
    if (handle.table != this || !IsValid(handle.serial, handle.index))
        return;
    m_slots[handle.index] = Slot();
    m_free.push_back(handle.index);
}

bool HandleTable::IsValid(uint32_t serial, uint32_t index) const
{
    return serial != 0 && index < m_slots.size() && m_slots[index].serial == serial;
}

void* HandleTable::Get(uint32_t serial, uint32_t index) const
{
    return IsValid(serial, index) ? m_slots[index].object : nullptr;
}

} // namespace TarnEngine
