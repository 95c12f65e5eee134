// Implementation of FSLooseFiles.h.
#include "engine/core/files/FSLooseFiles.h"

#include <algorithm>
#include <sys/stat.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/CIoPhysicalEnumerator.h"
#include "engine/core/files/FileSource.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

FSLooseFiles::FSLooseFiles(const std::wstring& path, const std::wstring& name) : m_path(path), m_name(name) {}

RefPtr<StreamSourceCounted> FSLooseFiles::OpenFile(const std::wstring& name)
{
    return RefPtr<StreamSourceCounted>(new FileSource(name, false, false, this));
}

bool FSLooseFiles::FileExists(const std::wstring& name)
{
    const std::string os = ToOsPath(m_path + name);
    struct stat st;
    return !os.empty() && stat(os.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

uint32_t FSLooseFiles::FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files,
                                 std::vector<std::wstring>* folders)
{
    uint32_t added = 0;
    CIoPhysicalEnumerator entries(m_path + pattern);
    while (entries.Next())
    {
        std::vector<std::wstring>* list = entries.IsDirectory() ? folders : files;
        if (list == nullptr)
            continue;
        const std::wstring name = ToLower(entries.GetFileName());
        if (std::find(list->begin(), list->end(), name) != list->end())
            continue;
        list->push_back(name);
        ++added;
    }
    return added;
}

} // namespace TarnEngine
