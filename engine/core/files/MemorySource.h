// A read-only stream source over a block of memory that it owns: a member of a ZIP pack or the
// deciphered payload of a protected file.
#pragma once

#include <string>

#include "engine/core/base/MemoryRegion.h"
#include "engine/core/files/StreamSource.h"

namespace TarnEngine
{

class IFSSource;

class MemorySource : public StreamSourceCounted
{
public:
    // Takes the block; owner is the mounted source that produced it (not owned, may be null).
    MemorySource(ByteBlock data, uint32_t size, const std::wstring& name, IFSSource* owner);
    ~MemorySource() override;

    bool Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount) override;
    bool Write(uint32_t position, const uint8_t* src, uint32_t count, uint32_t* writtenCount) override;
    uint32_t GetSize() override { return m_size; }
    // Data present, size not 0 and a name.
    bool IsValid() override;
    RefPtr<MemoryRegionCounted> GetMemoryRegion() override;

    const std::wstring& GetName() const { return m_name; }
    IFSSource* GetOwner() const { return m_owner; }
    const uint8_t* GetData() const { return m_data.get(); }

private:
    ByteBlock m_data;
    uint32_t m_size;
    std::wstring m_name;
    IFSSource* m_owner;
};

} // namespace TarnEngine
