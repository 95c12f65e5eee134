// Implementation of MemorySource.h.
#include "engine/core/files/MemorySource.h"

#include <cstring>

#include "engine/core/files/OpenFileTable.h"

namespace TarnEngine
{

MemorySource::MemorySource(ByteBlock data, uint32_t size, const std::wstring& name, IFSSource* owner)
    : m_data(std::move(data)), m_size(size), m_name(name), m_owner(owner)
{
}

MemorySource::~MemorySource()
{
    if (IsValid())
        if (OpenFileTable* table = OpenFileTable::Current())
            table->Forget(m_name, this);
}

bool MemorySource::IsValid()
{
    return m_data != nullptr && m_size != 0 && !m_name.empty();
}

bool MemorySource::Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount)
{
    if (position > m_size || m_data == nullptr || dest == nullptr)
        return false;
    const uint32_t n = count < m_size - position ? count : m_size - position;
    std::memcpy(dest, m_data.get() + position, n);
    if (readCount != nullptr)
        *readCount = n;
    return true;
}

bool MemorySource::Write(uint32_t, const uint8_t*, uint32_t, uint32_t*)
{
    return false;
}

RefPtr<MemoryRegionCounted> MemorySource::GetMemoryRegion()
{
    if (!IsValid())
        return nullptr;
    RefPtr<MemoryRegionCounted> region(new MemoryRegionCounted(m_data.get(), m_size));
    if (region->GetData() == nullptr)
        return nullptr;
    return region;
}

} // namespace TarnEngine
