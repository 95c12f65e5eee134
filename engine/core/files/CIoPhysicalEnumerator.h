// Enumerates the entries of one folder of the disk that match a wildcard pattern ('*' and '?', letter
// case ignored, as the folder searches of a case-blind file system do), skipping "." and "..".
// The folder part of the pattern is an engine path; sub-folders are not entered.
#pragma once

#include <dirent.h>
#include <string>

namespace TarnEngine
{

class CIoPhysicalEnumerator
{
public:
    // A pattern that ends with a separator lists everything in that folder.
    explicit CIoPhysicalEnumerator(const std::wstring& pattern);
    virtual ~CIoPhysicalEnumerator();
    CIoPhysicalEnumerator(const CIoPhysicalEnumerator&) = delete;
    CIoPhysicalEnumerator& operator=(const CIoPhysicalEnumerator&) = delete;

    // Moves to the next matching entry; false when there is none (the search is then closed).
    virtual bool Next();
    virtual std::wstring GetFileName();
    virtual bool IsDirectory();
    virtual bool IsFile();

private:
    void close();

    std::wstring m_pattern;
    std::wstring m_namePattern;
    std::string m_folder;
    DIR* m_dir = nullptr;
    bool m_started = false;
    std::wstring m_name;
    bool m_isDirectory = false;
};

} // namespace TarnEngine
