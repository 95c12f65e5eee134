// A folder of loose files as a source of the file system. Names are taken relative to the folder;
// a name that is not there with its exact spelling is found ignoring letter case, component by
// component. Neither construction nor mounting checks that the folder exists: every open in a missing
// folder simply fails.
#pragma once

#include "engine/core/files/IFSSource.h"

namespace TarnEngine
{

class FSLooseFiles : public IFSSource
{
public:
    // path is the folder with its trailing separator ("input\"); name is the source name.
    FSLooseFiles(const std::wstring& path, const std::wstring& name);

    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    // A read-only file source, valid or not.
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override;
    std::wstring GetPath() override { return m_path; }
    // Something that is not a folder stands under the name.
    bool FileExists(const std::wstring& name) override;
    std::wstring GetName() override { return m_name; }
    // Entries of the one folder the pattern names, by their lower-cased bare names.
    uint32_t FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files,
                       std::vector<std::wstring>* folders) override;

private:
    std::wstring m_path;
    std::wstring m_name;
};

} // namespace TarnEngine
