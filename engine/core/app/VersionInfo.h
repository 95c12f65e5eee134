// The program's version record and the short version number handed to the
// optional reporting module. The version is compiled in from the build's
// project version, laid out as the fixed file-version structure the rest of
// the engine expects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TarnEngine
{

// The 52-byte fixed file-version structure.
struct FixedFileInfo
{
    uint32_t signature = 0;
    uint32_t structVersion = 0;
    uint32_t fileVersionMS = 0; // major << 16 | minor
    uint32_t fileVersionLS = 0; // patch << 16 | build
    uint32_t productVersionMS = 0;
    uint32_t productVersionLS = 0;
    uint32_t fileFlagsMask = 0;
    uint32_t fileFlags = 0;
    uint32_t fileOS = 0;
    uint32_t fileType = 0;
    uint32_t fileSubtype = 0;
    uint32_t fileDateMS = 0;
    uint32_t fileDateLS = 0;
};
static_assert(sizeof(FixedFileInfo) == 52, "fixed file information is 52 bytes");

class VersionInfo
{
public:
    // Loads the program's own version.
    VersionInfo();
    // A record for a given four-part version (what the program carries is
    // one of these).
    VersionInfo(uint16_t major, uint16_t minor, uint16_t patch, uint16_t build);

    bool IsValid() const { return m_valid != 0; }
    const FixedFileInfo& GetFixedInfo() const { return m_fixed; }
    const std::wstring& GetStringInfoPrefix() const { return m_prefix; }

private:
    void Fill(uint16_t major, uint16_t minor, uint16_t patch, uint16_t build);

    uint8_t m_valid = 0;
    std::vector<uint8_t> m_block;
    FixedFileInfo m_fixed;
    std::wstring m_prefix;
};

// The program's fixed file information; all zero when it cannot be read.
FixedFileInfo GetProgramVersion();

// Third part x 10000 + fourth part, in 16-bit arithmetic (2.5.3.7 gives 30007).
uint16_t GetVersionNumber(const FixedFileInfo& info);

} // namespace TarnEngine
