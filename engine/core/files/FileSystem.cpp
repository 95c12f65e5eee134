// Implementation of FileSystem.h.
#include "engine/core/files/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/files/FileSource.h"
#include "engine/core/files/ProtectedFileTrailer.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{

FileSystem* g_fileSystem = nullptr;

// The library lists are read afresh at every open, never shared through the table.
bool isLibraryList(const std::wstring& name)
{
    const std::wstring lower = ToLower(name);
    return lower == L"libraries.xml" || lower == L"libraries_meta.xml" || lower == L"libraryblob.xml";
}

// Makes a rename inside the folder durable.
void syncFolderOf(const std::string& osPath)
{
    const size_t slash = osPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : osPath.substr(0, slash + 1);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

} // namespace

FileSystem::FileSystem()
{
    g_fileSystem = this;
    OpenFileTable::SetCurrent(&m_openFiles);
}

FileSystem::~FileSystem()
{
    for (std::unique_ptr<IFSSource>& source : m_sources)
        source.reset();
    m_sources.clear();
    m_selection.clear();
    m_openFiles.Clear();
    if (OpenFileTable::Current() == &m_openFiles)
        OpenFileTable::SetCurrent(nullptr);
    if (g_fileSystem == this)
        g_fileSystem = nullptr;
}

FileSystem* FileSystem::Get()
{
    return g_fileSystem;
}

std::vector<IFSSource*> FileSystem::searchList() const
{
    if (!m_selection.empty())
        return m_selection;
    std::vector<IFSSource*> list;
    list.reserve(m_sources.size());
    for (const std::unique_ptr<IFSSource>& source : m_sources)
        list.push_back(source.get());
    return list;
}

bool FileSystem::AddSource(std::unique_ptr<IFSSource> source)
{
    if (!source || !source->Mount())
        return false;
    m_sources.push_back(std::move(source));
    return true;
}

RefPtr<StreamSourceCounted> FileSystem::Open(const std::wstring& name, bool create, bool writable)
{
    if (IsAbsolutePath(name))
        return RefPtr<StreamSourceCounted>(new FileSource(name, create, writable, nullptr));
    return FindAndOpen(name);
}

Stream FileSystem::OpenStream(const std::wstring& name, bool create, bool writable)
{
    return Stream(Open(name, create, writable));
}

bool FileSystem::FileExists(const std::wstring& name)
{
    for (IFSSource* source : searchList())
        if (source->FileExists(name))
            return true;
    return false;
}

bool FileSystem::SelectSources(const std::wstring& sourceName)
{
    m_selection.clear();
    for (const std::unique_ptr<IFSSource>& source : m_sources)
        if (source->GetName() == sourceName)
            m_selection.push_back(source.get());
    return !m_selection.empty();
}

void FileSystem::ClearSelection()
{
    m_selection.clear();
}

uint32_t FileSystem::FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files)
{
    uint32_t count = 0;
    for (IFSSource* source : searchList())
        count += source->FindFiles(pattern, files, nullptr);
    return count;
}

bool FileSystem::DeleteFile(const std::wstring& path)
{
    const std::string os = ToOsPath(path);
    return !os.empty() && unlink(os.c_str()) == 0;
}

bool FileSystem::MoveFile(const std::wstring& from, const std::wstring& to)
{
    if (GetFolderPart(from) != GetFolderPart(to))
        return false;
    const std::string osFrom = ToOsPath(from);
    const std::string osTo = ToOsPath(to);
    if (osFrom.empty() || osTo.empty() || std::rename(osFrom.c_str(), osTo.c_str()) != 0)
        return false;
    syncFolderOf(osTo);
    return true;
}

RefPtr<StreamSourceCounted> FileSystem::FindAndOpen(const std::wstring& name)
{
    if (StreamSourceCounted* live = m_openFiles.Find(name))
        return RefPtr<StreamSourceCounted>(live);

    RefPtr<StreamSourceCounted> found;
    IFSSource* supplier = nullptr;
    for (IFSSource* source : searchList())
    {
        RefPtr<StreamSourceCounted> candidate = source->OpenFile(name);
        if (candidate && candidate->IsValid())
        {
            found = std::move(candidate);
            supplier = source;
            break;
        }
    }
    if (!found)
        return nullptr;

    found = UnwrapProtectedFile(found, name, supplier);
    if (!found || isLibraryList(name))
        return found;
    m_openFiles.Record(name, found.Get());
    return found;
}

} // namespace TarnEngine
