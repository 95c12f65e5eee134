// The engine's one file system: every game file is opened by name through an ordered list of mounted
// sources (ZIP packs and loose folders); the first source that produces a usable file wins. Files it
// hands out are remembered by name while they are alive, so a second open of a name in use shares the
// same source. A protected data file is deciphered on the way. A selection of sources by source name
// can stand in for the whole list while one content group is loaded.
//
// Names holding a drive colon or beginning with a separator are physical paths, opened directly.
// The file system publishes itself (FileSystem::Get) and its open-file table while it exists. A mounted
// source must name what it opens with the name it was asked for: that is the name the file leaves the
// table under when it goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/files/IFSSource.h"
#include "engine/core/files/OpenFileTable.h"
#include "engine/core/files/Stream.h"

namespace TarnEngine
{

class FileSystem
{
public:
    FileSystem();
    ~FileSystem();
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;

    // The running file system, or null.
    static FileSystem* Get();

    // Mounts the source and appends it to the search order; a source that does not mount is deleted
    // and false returned.
    bool AddSource(std::unique_ptr<IFSSource> source);
    // A physical path: a file source made directly (valid or not, never recorded). Any other name:
    // FindAndOpen, read-only whatever the flags.
    RefPtr<StreamSourceCounted> Open(const std::wstring& name, bool create = false, bool writable = false);
    // A stream at position 0 over Open's result (invalid when there is none).
    Stream OpenStream(const std::wstring& name, bool create = false, bool writable = false);
    // Whether a source of the search list holds the name.
    bool FileExists(const std::wstring& name);
    // Restricts lookups to the sources of that name; false (and no restriction) when none has it.
    bool SelectSources(const std::wstring& sourceName);
    void ClearSelection();
    // Names matching the pattern from every source of the search list, each listed once; returns how
    // many were appended.
    uint32_t FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files);
    // Physical paths.
    bool DeleteFile(const std::wstring& path);
    // Replaces to by from; only within one folder (false otherwise, nothing moved).
    bool MoveFile(const std::wstring& from, const std::wstring& to);

    // Open by name across the search list: the live source of that name, or the first usable file of a
    // source (unwrapped when protected), recorded under the name; null when none.
    RefPtr<StreamSourceCounted> FindAndOpen(const std::wstring& name);

    const OpenFileTable& GetOpenFiles() const { return m_openFiles; }

private:
    std::vector<IFSSource*> searchList() const;

    std::vector<std::unique_ptr<IFSSource>> m_sources;
    std::vector<IFSSource*> m_selection;
    OpenFileTable m_openFiles;
};

} // namespace TarnEngine
