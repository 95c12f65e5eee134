// Implementation of FileSource.h over POSIX file descriptors.
#include "engine/core/files/FileSource.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/IFSSource.h"
#include "engine/core/files/OpenFileTable.h"
#include "engine/core/text/TextConversion.h"

namespace TarnEngine
{

namespace
{

constexpr uint64_t kLargestFile = 0xFFFFFFFFu;

bool isAbsolute(const std::wstring& path)
{
    return path.find(L':') != std::wstring::npos || (!path.empty() && (path[0] == L'\\' || path[0] == L'/'));
}

// The size of an open file, or -1 when it cannot be told.
int64_t fileSize(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0)
        return -1;
    return int64_t(st.st_size);
}

} // namespace

FileSource::FileSource(const std::wstring& path, bool create, bool writable, IFSSource* owner)
{
    std::wstring full = path;
    if (!isAbsolute(path) && owner != nullptr)
        full = owner->GetPath() + path;
    // Names written for a case-blind file system are found whatever their letter case.
    const std::string os = ToOsPath(full);
    if (os.empty())
        return;

    struct stat st;
    int flags = O_CLOEXEC | (writable ? O_RDWR : O_RDONLY);
    if (stat(os.c_str(), &st) != 0)
    {
        if (!create)
            return;
        flags |= O_CREAT | O_EXCL;
    }
    else if (writable)
        flags |= O_TRUNC;

    const int fd = open(os.c_str(), flags, 0644);
    if (fd < 0)
        return;
    // Folders and other non-files are not opened as files, and sizes must fit 32 bits.
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || uint64_t(opened.st_size) > kLargestFile)
    {
        close(fd);
        return;
    }
    m_fd = fd;
    m_name = path;
    m_owner = owner;
}

FileSource::~FileSource()
{
    if (IsValid())
        if (OpenFileTable* table = OpenFileTable::Current())
            table->Forget(m_name, this);
    if (m_fd >= 0)
    {
        close(m_fd);
        m_fd = -1;
    }
}

bool FileSource::IsValid()
{
    return m_fd >= 0 && !m_name.empty();
}

uint32_t FileSource::GetSize()
{
    if (m_fd < 0)
        return 0;
    const int64_t size = fileSize(m_fd);
    return size < 0 || uint64_t(size) > kLargestFile ? 0 : uint32_t(size);
}

bool FileSource::Read(uint32_t position, uint8_t* dest, uint32_t count, uint32_t* readCount)
{
    if (m_fd < 0)
        return false;
    if (dest == nullptr)
        return true;
    const int64_t size = fileSize(m_fd);
    if (size < 0)
        return false;
    const uint64_t at = position < uint64_t(size) ? position : uint64_t(size);
    const uint64_t available = uint64_t(size) - at;
    const uint32_t wanted = count < available ? count : uint32_t(available);
    if (readCount != nullptr)
        *readCount = 0;
    uint32_t done = 0;
    while (done < wanted)
    {
        const ssize_t n = pread(m_fd, dest + done, wanted - done, off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break; // the file shrank under us: what was read is what there is
        done += uint32_t(n);
    }
    if (readCount != nullptr)
        *readCount = done;
    return true;
}

bool FileSource::Write(uint32_t position, const uint8_t* src, uint32_t count, uint32_t* writtenCount)
{
    if (m_fd < 0 || src == nullptr)
        return false;
    const int64_t size = fileSize(m_fd);
    if (size < 0)
        return false;
    const uint64_t at = position < uint64_t(size) ? position : uint64_t(size);
    if (at + count > kLargestFile)
        return false;
    uint32_t done = 0;
    while (done < count)
    {
        const ssize_t n = pwrite(m_fd, src + done, count - done, off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += uint32_t(n);
    }
    if (writtenCount != nullptr)
        *writtenCount = done;
    return true;
}

RefPtr<MemoryRegionCounted> FileSource::GetMemoryRegion()
{
    if (!IsValid())
        return nullptr;
    const uint32_t size = GetSize();
    RefPtr<MemoryRegionCounted> region(new MemoryRegionCounted(size));
    if (size == 0)
        return region;
    if (region->GetData() == nullptr)
        return nullptr;
    uint32_t read = 0;
    if (!Read(0, region->GetData(), size, &read) || read != size)
        return nullptr;
    return region;
}

} // namespace TarnEngine
