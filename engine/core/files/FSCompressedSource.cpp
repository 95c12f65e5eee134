// Implementation of FSCompressedSource.h over POSIX positioned reads and zlib's raw inflate.
#include "engine/core/files/FSCompressedSource.h"

#include "engine/core/files/Crc32.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/MemorySource.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{

constexpr uint32_t kEndSignature = 0x06054B50u;
constexpr uint32_t kLocalSignature = 0x04034B50u;
constexpr uint32_t kCentralSignature = 0x02014B50u;
constexpr uint32_t kEndSize = 22;
constexpr uint32_t kCentralSize = 46;
constexpr uint32_t kLocalSize = 30;
constexpr uint64_t kLargestPack = 0xFFFFFFFFu;
// Member names are file names: no longer than the system takes for a path.
constexpr size_t kLongestName = PATH_MAX - 1;
// Deflate cannot expand its input more than about 1032 times; a member that claims more is damaged,
// and its claim must not decide how much memory is taken.
constexpr uint64_t kLargestInflateRatio = 1032;

uint16_t le16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Reads exactly count bytes at offset.
bool readAt(int fd, uint64_t offset, uint8_t* dest, size_t count)
{
    size_t done = 0;
    while (done < count)
    {
        const ssize_t n = pread(fd, dest + done, count - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Sequential reads of the central directory through a window, so that a directory of many records
// takes few system calls. Reads never pass end.
class DirectoryReader
{
public:
    DirectoryReader(int fd, uint64_t begin, uint64_t end) : m_fd(fd), m_position(begin), m_end(end) {}

    bool Read(uint8_t* dest, size_t count)
    {
        if (m_overrun || count > m_end - m_position)
            return false;
        while (count > 0)
        {
            if (m_position < m_windowStart || m_position >= m_windowStart + m_window.size())
            {
                const size_t size = size_t(std::min<uint64_t>(kWindow, m_end - m_position));
                m_window.resize(size);
                m_windowStart = m_position;
                if (!readAt(m_fd, m_position, m_window.data(), size))
                    return false;
            }
            const size_t offset = size_t(m_position - m_windowStart);
            const size_t n = std::min(count, m_window.size() - offset);
            std::copy_n(m_window.data() + offset, n, dest);
            dest += n;
            count -= n;
            m_position += n;
        }
        return true;
    }

    // Skipping past the end is not an error by itself; the next read fails.
    void Skip(uint64_t count)
    {
        if (count > m_end - m_position)
            m_overrun = true;
        else
            m_position += count;
    }

private:
    static constexpr size_t kWindow = 64 * 1024;
    int m_fd;
    uint64_t m_position;
    uint64_t m_end;
    std::vector<uint8_t> m_window;
    uint64_t m_windowStart = 0;
    bool m_overrun = false;
};

// Member names are kept lower-cased with '/' separators; "//" becomes "/" in one pass.
std::wstring normaliseSeparators(std::wstring name)
{
    ReplaceChar(name, L'\\', L'/');
    ReplaceAll(name, L"//", L"/");
    return name;
}

void endInflater(z_stream* stream)
{
    inflateEnd(stream);
    delete stream;
}

// Deflated bytes up to this size keep their block for the next member.
constexpr size_t kKeptInput = 1024 * 1024;

} // namespace

FSCompressedSource::FSCompressedSource(const std::wstring& path, const std::wstring& name)
    : m_path(path), m_name(name), m_inflater(nullptr, &endInflater)
{
}

FSCompressedSource::~FSCompressedSource()
{
    Unmount();
}

bool FSCompressedSource::Mount()
{
    if (m_fd >= 0)
        return true;
    const std::string os = ToOsPath(m_path);
    if (os.empty())
        return false;
    const int fd = open(os.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    uint8_t end[kEndSize];
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && uint64_t(st.st_size) <= kLargestPack &&
              uint64_t(st.st_size) >= kEndSize && readAt(fd, uint64_t(st.st_size) - kEndSize, end, kEndSize);
    if (ok)
    {
        // The end record must be the last 22 bytes: a pack with a comment or on several disks is refused.
        const uint64_t endOffset = uint64_t(st.st_size) - kEndSize;
        ok = le32(end) == kEndSignature && le16(end + 6) == 0 && le16(end + 8) == le16(end + 10) &&
             le32(end + 16) <= endOffset;
        if (ok)
        {
            m_fd = fd;
            m_fileSize = uint64_t(st.st_size);
            m_members.clear();
            ok = readDirectory(le32(end + 16), endOffset, le16(end + 10));
            m_fd = -1;
        }
    }
    if (!ok)
    {
        close(fd);
        m_members.clear();
        return false;
    }
    m_fd = fd;
    return true;
}

bool FSCompressedSource::readDirectory(uint64_t offset, uint64_t end, uint32_t records)
{
    DirectoryReader reader(m_fd, offset, end);
    std::string name;
    for (uint32_t i = 0; i < records; ++i)
    {
        uint8_t h[kCentralSize];
        if (!reader.Read(h, kCentralSize))
            return false;
        const size_t nameLength = le16(h + 28);
        if (nameLength > kLongestName)
            return false;
        name.resize(nameLength);
        if (!reader.Read(reinterpret_cast<uint8_t*>(name.data()), nameLength))
            return false;
        reader.Skip(uint64_t(le16(h + 30)) + le16(h + 32));
        Member m;
        m.versionMadeBy = le16(h + 4);
        m.versionNeeded = le16(h + 6);
        m.flags = le16(h + 8);
        m.method = le16(h + 10);
        m.time = le16(h + 12);
        m.date = le16(h + 14);
        m.crc = le32(h + 16);
        m.compressedSize = le32(h + 20);
        m.uncompressedSize = le32(h + 24);
        m.diskStart = le16(h + 34);
        m.internalAttributes = le16(h + 36);
        m.externalAttributes = le32(h + 38);
        m.localHeaderOffset = le32(h + 42);
        // A later record of the same name replaces an earlier one.
        m_members[ToLower(Utf8ToWString(name))] = m;
    }
    // A count that stops short of the directory would serve part of the pack as if it were all of
    // it: a pack of more than 65,535 members keeps 0xFFFF here (the true count is in a zip64 record,
    // which is not read), and some writers keep the count modulo 65,536. Such packs are refused.
    uint8_t next[4];
    return !(reader.Read(next, sizeof next) && le32(next) == kCentralSignature);
}

bool FSCompressedSource::Unmount()
{
    if (m_fd < 0)
        return false;
    close(m_fd);
    m_fd = -1;
    return true;
}

RefPtr<StreamSourceCounted> FSCompressedSource::OpenFile(const std::wstring& name)
{
    if (m_fd < 0)
        return nullptr;
    const auto it = m_members.find(normaliseSeparators(ToLower(name)));
    if (it == m_members.end())
        return nullptr;
    const Member& m = it->second;
    if (m.method != 0 && m.method != 8)
        return nullptr;

    uint8_t local[kLocalSize];
    if (uint64_t(m.localHeaderOffset) + kLocalSize > m_fileSize ||
        !readAt(m_fd, m.localHeaderOffset, local, kLocalSize) || le32(local) != kLocalSignature)
        return nullptr;
    const uint64_t dataOffset =
        uint64_t(m.localHeaderOffset) + kLocalSize + le16(local + 26) + le16(local + 28);
    const uint64_t storedSize = m.method == 0 ? m.uncompressedSize : m.compressedSize;
    if (dataOffset + storedSize > m_fileSize)
        return nullptr;
    if (m.method == 8 &&
        uint64_t(m.uncompressedSize) > (uint64_t(m.compressedSize) + 1) * kLargestInflateRatio)
        return nullptr;

    // An empty member makes a source that is not valid, so the file system looks further.
    if (m.uncompressedSize == 0)
        return RefPtr<StreamSourceCounted>(new MemorySource(nullptr, 0, name, this));
    ByteBlock out = AllocateBlock(m.uncompressedSize);
    if (!out)
        return nullptr;

    if (m.method == 0)
    {
        if (!readAt(m_fd, dataOffset, out.get(), m.uncompressedSize))
            return nullptr;
    }
    else if (!inflateMember(dataOffset, m, out.get()))
        return nullptr;
    if (Crc32(0, out.get(), m.uncompressedSize) != m.crc)
        return nullptr;
    return RefPtr<StreamSourceCounted>(new MemorySource(std::move(out), m.uncompressedSize, name, this));
}

bool FSCompressedSource::inflateMember(uint64_t offset, const Member& m, uint8_t* out)
{
    if (!m_inflater)
    {
        auto* stream = new z_stream{};
        if (inflateInit2(stream, -MAX_WBITS) != Z_OK)
        {
            delete stream;
            return false;
        }
        m_inflater.reset(stream);
    }
    else if (inflateReset(m_inflater.get()) != Z_OK)
        return false;

    std::vector<uint8_t> large;
    std::vector<uint8_t>& input = m.compressedSize <= kKeptInput ? m_input : large;
    if (input.size() < m.compressedSize)
        input.resize(m.compressedSize);
    if (!readAt(m_fd, offset, input.data(), m.compressedSize))
        return false;
    z_stream& zs = *m_inflater;
    zs.next_in = input.data();
    zs.avail_in = m.compressedSize;
    zs.next_out = out;
    zs.avail_out = m.uncompressedSize;
    // The whole member in one call: it must end its stream exactly at the declared size.
    const int result = inflate(&zs, Z_FINISH);
    return result == Z_STREAM_END && zs.total_out == m.uncompressedSize;
}

bool FSCompressedSource::FileExists(const std::wstring& name)
{
    return m_members.count(normaliseSeparators(ToLower(name))) != 0;
}

uint32_t FSCompressedSource::FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files,
                                       std::vector<std::wstring>* folders)
{
    const std::wstring normalised = normaliseSeparators(pattern);
    const size_t lastSlash = normalised.rfind(L'/');
    uint32_t added = 0;
    for (const auto& [memberName, member] : m_members)
    {
        const bool isFolder = !memberName.empty() && memberName.back() == L'/';
        std::vector<std::wstring>* list = isFolder ? folders : files;
        if (list == nullptr)
            continue;
        const std::wstring candidate = isFolder ? memberName.substr(0, memberName.size() - 1) : memberName;
        if (!WildcardMatch(candidate, normalised, false))
            continue;
        std::wstring reported = candidate;
        if (lastSlash != std::wstring::npos)
            reported = lastSlash + 1 <= candidate.size() ? candidate.substr(lastSlash + 1) : std::wstring();
        // Only direct children of the pattern's folder.
        if (reported.empty() || reported.find(L'/', 1) != std::wstring::npos)
            continue;
        if (std::find(list->begin(), list->end(), reported) != list->end())
            continue;
        list->push_back(reported);
        ++added;
    }
    return added;
}

} // namespace TarnEngine
