// Test-side makers of what the file system reads: a temporary folder tree, ZIP packs (with every field
// open to damage) and protected data files in the trailer layout. The engine itself writes neither.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>
#include <zlib.h>

#include "engine/core/app/AppPaths.h"
#include "tests/common/ScopedEnvironment.h"
#include "engine/core/files/Xxtea.h"

namespace FileTest
{

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "pellwood-files-XXXXXX").string();
        m_path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The operating system's path of a file or folder inside.
    std::string Os(const std::string& relative = std::string()) const
    {
        return relative.empty() ? m_path : m_path + "/" + relative;
    }
    // The engine's spelling, with backslashes; a folder given with a trailing '/' keeps its separator.
    std::wstring Engine(const std::string& relative = std::string()) const
    {
        return TarnEngine::FromOsPath(Os(relative));
    }
    void Write(const std::string& relative, const std::string& bytes) const
    {
        const std::filesystem::path path(Os(relative));
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::string Read(const std::string& relative) const
    {
        std::ifstream in(Os(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};

inline std::string RawDeflate(const std::string& data, int level = Z_DEFAULT_COMPRESSION)
{
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, uLong(data.size())), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

inline uint32_t Crc32(const std::string& data)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
}

struct ZipMember
{
    ZipMember(std::string memberName, std::string memberData, uint16_t memberMethod = 8)
        : name(std::move(memberName)), data(std::move(memberData)), method(memberMethod)
    {
    }

    std::string name;
    std::string data;
    uint16_t method;
    // Stored instead of the method's own output of data.
    std::optional<std::string> storedBytes;
    std::optional<uint32_t> crc;
    std::optional<uint32_t> compressedSize;
    std::optional<uint32_t> uncompressedSize;
    std::optional<uint32_t> localOffset;
    bool badLocalSignature = false;
    std::string extra;
    std::string comment;
};

struct ZipLayout
{
    std::string comment;
    uint16_t thisDisk = 0;
    uint16_t directoryDisk = 0;
    std::optional<uint16_t> recordsOnDisk;
    std::optional<uint16_t> totalRecords;
    std::optional<uint32_t> directoryOffset;
    // A zip64 end record and its locator before the end record, as writers add them from 65,535
    // members on; the end record's counts then hold 0xFFFF from that many members on.
    bool zip64 = false;
};

inline void Put16(std::string& out, uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

inline void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline void Put64(std::string& out, uint64_t v)
{
    Put32(out, uint32_t(v));
    Put32(out, uint32_t(v >> 32));
}

inline std::string BuildZip(const std::vector<ZipMember>& members, const ZipLayout& layout = {})
{
    std::string out, directory;
    for (const ZipMember& m : members)
    {
        const std::string stored =
            m.storedBytes ? *m.storedBytes : (m.method == 8 ? RawDeflate(m.data) : m.data);
        const uint32_t crc = m.crc.value_or(Crc32(m.data));
        const uint32_t compressed = m.compressedSize.value_or(uint32_t(stored.size()));
        const uint32_t uncompressed = m.uncompressedSize.value_or(uint32_t(m.data.size()));
        const uint32_t offset = uint32_t(out.size());
        Put32(out, m.badLocalSignature ? 0x04034B51u : 0x04034B50u);
        Put16(out, 20);
        Put16(out, 0);
        Put16(out, m.method);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, crc);
        Put32(out, compressed);
        Put32(out, uncompressed);
        Put16(out, uint32_t(m.name.size()));
        Put16(out, uint32_t(m.extra.size()));
        out += m.name + m.extra + stored;

        Put32(directory, 0x02014B50u);
        Put16(directory, 20);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, m.method);
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, crc);
        Put32(directory, compressed);
        Put32(directory, uncompressed);
        Put16(directory, uint32_t(m.name.size()));
        Put16(directory, uint32_t(m.extra.size()));
        Put16(directory, uint32_t(m.comment.size()));
        Put16(directory, 0);
        Put16(directory, 0);
        Put32(directory, 0);
        Put32(directory, m.localOffset.value_or(offset));
        directory += m.name + m.extra + m.comment;
    }
    const uint32_t directoryOffset = uint32_t(out.size());
    out += directory;
    uint16_t count = uint16_t(members.size());
    if (layout.zip64)
    {
        const uint32_t zip64Offset = uint32_t(out.size());
        Put32(out, 0x06064B50u);
        Put64(out, 44); // the size of the rest of the record
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, layout.thisDisk);
        Put32(out, layout.directoryDisk);
        Put64(out, members.size());
        Put64(out, members.size());
        Put64(out, directory.size());
        Put64(out, directoryOffset);
        Put32(out, 0x07064B50u);
        Put32(out, 0);
        Put64(out, zip64Offset);
        Put32(out, 1);
        count = uint16_t(std::min<size_t>(members.size(), 0xFFFF));
    }
    Put32(out, 0x06054B50u);
    Put16(out, layout.thisDisk);
    Put16(out, layout.directoryDisk);
    Put16(out, layout.recordsOnDisk.value_or(count));
    Put16(out, layout.totalRecords.value_or(count));
    Put32(out, uint32_t(directory.size()));
    Put32(out, layout.directoryOffset.value_or(directoryOffset));
    Put16(out, uint32_t(layout.comment.size()));
    out += layout.comment;
    return out;
}

// A protected data file of payload. The cipher key is chosen first; the stored key words are derived
// from it and the CRC-32 of the enciphered bytes, as a reader rebuilds the key from both.
inline std::string MakeProtectedFile(const std::string& payload, const uint32_t key[4], char padding = '\x5A')
{
    std::string block = payload;
    block.resize((payload.size() + 3) & ~size_t(3), padding);
    std::vector<uint32_t> words(block.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        for (int b = 0; b < 4; ++b)
            words[i] |= uint32_t(uint8_t(block[4 * i + b])) << (8 * b);
    TarnEngine::XxteaEncipher(uint32_t(words.size()), words.data(), key);
    for (size_t i = 0; i < words.size(); ++i)
        for (int b = 0; b < 4; ++b)
            block[4 * i + b] = char((words[i] >> (8 * b)) & 0xFF);
    const uint32_t length = uint32_t(payload.size());
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(block.data()), uInt(length)));
    std::string out = block;
    Put32(out, key[0] - crc);
    Put32(out, key[1] + crc);
    Put32(out, key[2] - crc);
    Put32(out, key[3] + crc);
    Put32(out, length);
    Put32(out, crc);
    Put32(out, length + crc);
    return out;
}

using ScopedEnv = ScopedEnvironmentVariable;

} // namespace FileTest
