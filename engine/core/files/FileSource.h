// A stream source over an operating-system file, opened at construction. Engine paths use
// backslashes; they become '/' only at the operating system. Sizes and positions are 32-bit, so a
// file of 4 GiB or more is refused (the source stays invalid) and no write may grow a file that far.
#pragma once

#include <string>

#include "engine/core/files/StreamSource.h"

namespace TarnEngine
{

class IFSSource;

class FileSource : public StreamSourceCounted
{
public:
    // A path with a drive colon or a leading separator is used as it stands; any other path is taken
    // relative to the owner's path (when there is an owner) and then to the current folder.
    // A missing file is created only with create; an existing file opened writable starts empty.
    // A path that does not exist as spelled is looked up ignoring letter case (see ToOsPath).
    FileSource(const std::wstring& path, bool create, bool writable, IFSSource* owner);
    ~FileSource() override;

    bool Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount) override;
    bool Write(uint32_t position, const uint8_t* src, uint32_t count, uint32_t* writtenCount) override;
    uint32_t GetSize() override;
    // The file is open and has a name.
    bool IsValid() override;
    // The whole file read into a new region; null when it cannot be read in full.
    RefPtr<MemoryRegionCounted> GetMemoryRegion() override;

    // The path exactly as the caller gave it; empty when the file did not open.
    const std::wstring& GetName() const { return m_name; }
    IFSSource* GetOwner() const { return m_owner; }

private:
    int m_fd = -1;
    std::wstring m_name;
    IFSSource* m_owner = nullptr;
};

} // namespace TarnEngine
