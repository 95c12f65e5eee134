// The two per-user folders that hold the player's settings and profile files
// (saved games, local data), and the file operations the protected settings
// files are read and written with. Saving goes through a temporary file that
// is flushed to disk before it replaces the old file, so a failed or
// interrupted save never costs the player the previous file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace TarnEngine
{

class ByteBuffer;

// The operating-system file calls of the settings files, behind a seam so
// that tests can make any step fail. Paths are engine paths (backslashes).
class SettingsFileIo
{
public:
    virtual ~SettingsFileIo() = default;

    virtual bool ReadAll(const std::wstring& path, std::vector<uint8_t>& out);
    // Creates a new file for writing; -1 on failure, also when anything
    // (a symbolic link included) already has the name.
    virtual int Create(const std::wstring& path);
    virtual bool Write(int file, const uint8_t* data, size_t size);
    virtual bool Sync(int file);
    virtual bool Close(int file);
    // Replaces the target atomically.
    virtual bool Rename(const std::wstring& from, const std::wstring& to);
    virtual bool SyncFolder(const std::wstring& folder);
    virtual bool Remove(const std::wstring& path);
    // Gives an existing file a second name (a hard link); false when the new
    // name is taken or the file system has no links.
    virtual bool Link(const std::wstring& existing, const std::wstring& newName);

    // The operating-system form of an engine path.
    static std::string ToSystemPath(const std::wstring& path);
};

class SettingsStore
{
public:
    enum Location
    {
        SavedGames = 0,
        LocalData = 1
    };

    // Looks a folder up (creating it when asked); empty when it cannot be had.
    using FolderLookup = std::function<std::wstring(bool create)>;

    // Folders from the player's saved-games and local-data folders.
    SettingsStore();
    SettingsStore(FolderLookup saveLookup, FolderLookup localLookup,
                  std::unique_ptr<SettingsFileIo> io = nullptr);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The store of the running engine, or null.
    static SettingsStore* Get();

    // Fill the folder when it is still empty; true when it is known afterwards.
    bool EnsureSaveFolder(bool create);
    bool EnsureLocalFolder(bool create);
    // The folder of a location (ending with a backslash), ensured first.
    bool GetFolder(int location, bool create, std::wstring& folder);

    // Reads a whole file of the store; false for a name that is not a plain
    // relative name, a folder that cannot be had, or a file that cannot be read.
    // The temporary file of an interrupted save of it is removed first.
    bool ReadFile(int location, const std::wstring& fileName, ByteBuffer& out);

    SettingsFileIo& Io() { return *m_io; }

    std::wstring saveFolder;
    std::wstring localFolder;

private:
    FolderLookup m_saveLookup;
    FolderLookup m_localLookup;
    std::unique_ptr<SettingsFileIo> m_io;
};

// The temporary name a file is saved under before it replaces the file.
std::wstring TemporaryName(const std::wstring& path);

// Writes bytes to a file of the store: a temporary file beside it is created
// anew (whatever was left under that name is removed, a symbolic link is never
// followed), written, flushed and renamed over the target, and the folder is
// flushed. On failure the old file is left as it was and no temporary file
// stays behind.
bool WriteFileViaTemp(SettingsStore& store, const std::wstring& fileName, int location,
                      const ByteBuffer& bytes);

} // namespace TarnEngine
