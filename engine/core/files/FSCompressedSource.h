// A ZIP pack as a source of the file system ("data.dat" and the packs of the content groups). The
// central directory is read once, at mount, into a table keyed by lower-cased member name; members
// are then extracted whole, stored (method 0) or deflated (method 8), into memory sources. All reads
// are positioned reads on the pack, so no file pointer is shared between extractions.
//
// The pack is untrusted: every offset and size from it is checked against the pack's size before it
// is used, an inflated member must end its stream exactly at its declared size, and its CRC-32 must
// match; a member that fails any of this is reported as not found. A pack of 4 GiB or more, with an
// archive comment, split over several disks, or whose directory holds more records than its end
// record counts (more than 65,535 members) does not mount.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/files/IFSSource.h"

struct z_stream_s;

namespace TarnEngine
{

class FSCompressedSource : public IFSSource
{
public:
    // The central directory header of a member, as stored.
    struct Member
    {
        uint16_t versionMadeBy;
        uint16_t versionNeeded;
        uint16_t flags;
        uint16_t method;
        uint16_t time;
        uint16_t date;
        uint32_t crc;
        uint32_t compressedSize;
        uint32_t uncompressedSize;
        uint16_t diskStart;
        uint16_t internalAttributes;
        uint32_t externalAttributes;
        uint32_t localHeaderOffset;
    };

    // path: the pack file, relative to the current folder unless absolute; name: the source name.
    FSCompressedSource(const std::wstring& path, const std::wstring& name);
    ~FSCompressedSource() override;
    FSCompressedSource(const FSCompressedSource&) = delete;
    FSCompressedSource& operator=(const FSCompressedSource&) = delete;

    // Opens the pack and reads its directory; false (and closed) when the pack does not check out.
    bool Mount() override;
    // Closes the pack (the table stays); false when it was not open.
    bool Unmount() override;
    bool IsMounted() override { return m_fd >= 0; }
    // A memory source with the member's bytes (named name, as asked), or null.
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override;
    std::wstring GetPath() override { return m_path; }
    bool FileExists(const std::wstring& name) override;
    std::wstring GetName() override { return m_name; }
    // Direct children of the pattern's folder that match it (case ignored), by the part of their name
    // after the pattern's last separator.
    uint32_t FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files,
                       std::vector<std::wstring>* folders) override;

private:
    bool readDirectory(uint64_t offset, uint64_t end, uint32_t records);
    bool inflateMember(uint64_t offset, const Member& member, uint8_t* out);

    std::wstring m_path;
    std::wstring m_name;
    int m_fd = -1;
    uint64_t m_fileSize = 0;
    std::map<std::wstring, Member> m_members;
    // Kept between extractions so that opening many small members does not set up zlib and its
    // window, or a block for the deflated bytes, every time.
    std::unique_ptr<z_stream_s, void (*)(z_stream_s*)> m_inflater;
    std::vector<uint8_t> m_input;
};

} // namespace TarnEngine
