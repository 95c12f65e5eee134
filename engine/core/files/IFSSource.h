// A mounted place the file system opens files from: a ZIP pack or a folder of loose files. Sources
// that a mounted source opens keep a plain pointer to it (for its path), never ownership.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/base/RefPtr.h"
#include "engine/core/files/StreamSource.h"

namespace TarnEngine
{

class IFSSource
{
public:
    virtual ~IFSSource() = default;
    virtual bool Mount() = 0;
    virtual bool Unmount() = 0;
    virtual bool IsMounted() = 0;
    virtual RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) = 0;
    // The location: a folder path with its trailing separator, or a pack's file path.
    virtual std::wstring GetPath() = 0;
    virtual bool FileExists(const std::wstring& name) = 0;
    virtual std::wstring GetName() = 0;
    // Appends the names matching pattern that the lists do not hold yet (a null list is skipped);
    // returns how many were appended.
    virtual uint32_t FindFiles(const std::wstring& pattern, std::vector<std::wstring>* files,
                               std::vector<std::wstring>* folders) = 0;
};

} // namespace TarnEngine
