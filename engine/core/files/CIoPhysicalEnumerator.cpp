// Implementation of CIoPhysicalEnumerator.h over opendir/readdir.
#include "engine/core/files/CIoPhysicalEnumerator.h"

#include <sys/stat.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

CIoPhysicalEnumerator::CIoPhysicalEnumerator(const std::wstring& pattern) : m_pattern(pattern)
{
    if (!m_pattern.empty() && (m_pattern.back() == L'\\' || m_pattern.back() == L'/'))
        m_pattern += L'*';
    const size_t slash = m_pattern.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : m_pattern.substr(0, slash + 1);
    m_namePattern = slash == std::wstring::npos ? m_pattern : m_pattern.substr(slash + 1);
    // "*.*" names every entry, dotted or not, as callers of folder searches expect.
    if (m_namePattern == L"*.*")
        m_namePattern = L"*";
    m_folder = folder.empty() ? std::string(".") : ToOsPath(folder);
}

CIoPhysicalEnumerator::~CIoPhysicalEnumerator()
{
    close();
}

void CIoPhysicalEnumerator::close()
{
    if (m_dir != nullptr)
        closedir(m_dir);
    m_dir = nullptr;
}

bool CIoPhysicalEnumerator::Next()
{
    if (!m_started)
    {
        m_started = true;
        if (!m_pattern.empty())
            m_dir = opendir(m_folder.c_str());
    }
    if (m_dir == nullptr)
        return false;
    while (const dirent* entry = readdir(m_dir))
    {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::wstring wide = Utf8ToWString(name);
        if (!WildcardMatch(wide, m_namePattern, false))
            continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
        {
            struct stat st;
            const std::string full = m_folder + (m_folder.back() == '/' ? "" : "/") + name;
            directory = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        }
        m_name = wide;
        m_isDirectory = directory;
        return true;
    }
    close();
    m_pattern.clear();
    return false;
}

std::wstring CIoPhysicalEnumerator::GetFileName()
{
    return m_name;
}

bool CIoPhysicalEnumerator::IsDirectory()
{
    return m_isDirectory;
}

bool CIoPhysicalEnumerator::IsFile()
{
    return !m_isDirectory;
}

} // namespace TarnEngine
