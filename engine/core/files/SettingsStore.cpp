// Settings folders and durable file writes; see SettingsStore.h.
#include "engine/core/files/SettingsStore.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/core/app/AppPaths.h"
#include "engine/core/base/ByteBuffer.h"
#include "engine/core/text/TextHelpers.h"

namespace TarnEngine
{

namespace
{
SettingsStore* g_store = nullptr;

// Settings and profile files are small; anything far larger is not one of
// them and is not read into memory.
const off_t kMaxSettingsFileSize = 64 * 1024 * 1024;

} // namespace

std::string SettingsFileIo::ToSystemPath(const std::wstring& path)
{
    return ToOsPath(path);
}

bool SettingsFileIo::ReadAll(const std::wstring& path, std::vector<uint8_t>& out)
{
    out.clear();
    const int file = ::open(ToSystemPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    struct stat info;
    bool ok = ::fstat(file, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxSettingsFileSize;
    if (ok)
    {
        out.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (ok && done < out.size())
        {
            ssize_t n = ::read(file, out.data() + done, out.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                ok = false;
            else
                done += static_cast<size_t>(n);
        }
    }
    ::close(file);
    if (!ok)
        out.clear();
    return ok;
}

int SettingsFileIo::Create(const std::wstring& path)
{
    // Only a file made here and now: whatever already has the name, a
    // symbolic link above all, is refused rather than written through.
    return ::open(ToSystemPath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

bool SettingsFileIo::Write(int file, const uint8_t* data, size_t size)
{
    size_t done = 0;
    while (done < size)
    {
        ssize_t n = ::write(file, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool SettingsFileIo::Sync(int file)
{
    return ::fsync(file) == 0;
}

bool SettingsFileIo::Close(int file)
{
    return ::close(file) == 0;
}

bool SettingsFileIo::Rename(const std::wstring& from, const std::wstring& to)
{
    return ::rename(ToSystemPath(from).c_str(), ToSystemPath(to).c_str()) == 0;
}

bool SettingsFileIo::SyncFolder(const std::wstring& folder)
{
    const int dir = ::open(ToSystemPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    const bool ok = ::fsync(dir) == 0;
    ::close(dir);
    return ok;
}

bool SettingsFileIo::Remove(const std::wstring& path)
{
    return ::unlink(ToSystemPath(path).c_str()) == 0;
}

bool SettingsFileIo::Link(const std::wstring& existing, const std::wstring& newName)
{
    return ::link(ToSystemPath(existing).c_str(), ToSystemPath(newName).c_str()) == 0;
}

SettingsStore::SettingsStore() : SettingsStore(GetSavedGamesFolder, GetLocalDataFolder) {}

SettingsStore::SettingsStore(FolderLookup saveLookup, FolderLookup localLookup,
                             std::unique_ptr<SettingsFileIo> io)
    : m_saveLookup(std::move(saveLookup)), m_localLookup(std::move(localLookup)), m_io(std::move(io))
{
    if (!m_io)
        m_io = std::make_unique<SettingsFileIo>();
    g_store = this;
}

SettingsStore::~SettingsStore()
{
    if (g_store == this)
        g_store = nullptr;
}

SettingsStore* SettingsStore::Get()
{
    return g_store;
}

bool SettingsStore::EnsureSaveFolder(bool create)
{
    if (saveFolder.empty() && m_saveLookup)
        saveFolder = m_saveLookup(create);
    return !saveFolder.empty();
}

bool SettingsStore::EnsureLocalFolder(bool create)
{
    if (localFolder.empty() && m_localLookup)
        localFolder = m_localLookup(create);
    return !localFolder.empty();
}

bool SettingsStore::GetFolder(int location, bool create, std::wstring& folder)
{
    folder.clear();
    if (location == SavedGames && EnsureSaveFolder(create))
        folder = saveFolder;
    else if (location == LocalData && EnsureLocalFolder(create))
        folder = localFolder;
    return !folder.empty();
}

bool SettingsStore::ReadFile(int location, const std::wstring& fileName, ByteBuffer& out)
{
    std::wstring folder;
    if (!IsPlainRelativeName(fileName) || !GetFolder(location, true, folder))
        return false;
    // A temporary file of a save that was killed is never read; it goes.
    m_io->Remove(TemporaryName(folder + fileName));
    std::vector<uint8_t> bytes;
    if (!m_io->ReadAll(folder + fileName, bytes))
        return false;
    if (bytes.empty())
        return true;
    return out.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::wstring TemporaryName(const std::wstring& path)
{
    return path + L".tmp";
}

bool WriteFileViaTemp(SettingsStore& store, const std::wstring& fileName, int location,
                      const ByteBuffer& bytes)
{
    std::wstring folder;
    if (!IsPlainRelativeName(fileName) || fileName.empty() || !store.GetFolder(location, true, folder))
        return false;
    const std::wstring target = folder + fileName;
    const std::wstring temporary = TemporaryName(target);
    SettingsFileIo& io = store.Io();

    // What a killed save left under the temporary name (or anything else put
    // there) goes first; the name itself is removed, never what a link there
    // points to.
    io.Remove(temporary);
    const int file = io.Create(temporary);
    if (file < 0)
        return false;
    const uint32_t size = bytes.GetSize();
    bool ok = io.Write(file, size ? bytes.GetData() : nullptr, size);
    ok = ok && io.Sync(file);
    // A close can report a write that failed late; it counts as a failure too.
    ok = io.Close(file) && ok;
    ok = ok && io.Rename(temporary, target);
    if (!ok)
    {
        io.Remove(temporary);
        return false;
    }
    // The new file is complete and in place; flushing the folder makes the
    // rename itself survive a power cut. Its failure cannot undo the save.
    io.SyncFolder(folder);
    return true;
}

} // namespace TarnEngine
