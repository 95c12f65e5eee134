// Program version record; see VersionInfo.h.
#include "engine/core/app/VersionInfo.h"

#include <cstring>
#include <cwchar>

#include "platform/system/ProgramVersion.h"

namespace TarnEngine
{

namespace
{
const uint32_t kFixedSignature = 0xFEEF04BDu;
const uint32_t kFixedStructVersion = 0x00010000u;
const uint32_t kFileOsNtWindows32 = 0x00040004u;
const uint32_t kFileTypeApp = 1;
const uint16_t kLanguageNeutral = 0x0400;
const uint16_t kCodePageNone = 0;
} // namespace

VersionInfo::VersionInfo()
{
    const Platform::ProgramVersion version = Platform::GetProgramVersion();
    Fill(version.major, version.minor, version.patch, version.tweak);
}

VersionInfo::VersionInfo(uint16_t major, uint16_t minor, uint16_t patch, uint16_t build)
{
    Fill(major, minor, patch, build);
}

void VersionInfo::Fill(uint16_t major, uint16_t minor, uint16_t patch, uint16_t build)
{
    m_fixed = FixedFileInfo();
    m_fixed.signature = kFixedSignature;
    m_fixed.structVersion = kFixedStructVersion;
    m_fixed.fileVersionMS = (uint32_t(major) << 16) | minor;
    m_fixed.fileVersionLS = (uint32_t(patch) << 16) | build;
    m_fixed.productVersionMS = m_fixed.fileVersionMS;
    m_fixed.productVersionLS = m_fixed.fileVersionLS;
    m_fixed.fileOS = kFileOsNtWindows32;
    m_fixed.fileType = kFileTypeApp;

    // The block holds the fixed structure; there is no translation table, so
    // the neutral language and code page 0 name the string information.
    m_block.resize(sizeof(FixedFileInfo));
    std::memcpy(m_block.data(), &m_fixed, sizeof(FixedFileInfo));
    wchar_t prefix[64];
    swprintf(prefix, 64, L"\\StringFileInfo\\%04x%04x\\", unsigned(kLanguageNeutral),
             unsigned(kCodePageNone));
    m_prefix = prefix;
    m_valid = 1;
}

FixedFileInfo GetProgramVersion()
{
    VersionInfo info;
    if (!info.IsValid())
        return FixedFileInfo();
    return info.GetFixedInfo();
}

uint16_t GetVersionNumber(const FixedFileInfo& info)
{
    const uint16_t high = static_cast<uint16_t>(info.fileVersionLS >> 16);
    const uint16_t low = static_cast<uint16_t>(info.fileVersionLS & 0xFFFF);
    return static_cast<uint16_t>(low + 10000u * high);
}

} // namespace TarnEngine
