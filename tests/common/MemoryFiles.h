// A file-system source whose files are bytes the test wrote into a map, for suites that need the
// engine's file system without a folder on disk.
#pragma once

#include "engine/core/files/IFSSource.h"
#include "engine/core/files/MemorySource.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace TestFiles
{

class MemoryFiles final : public TarnEngine::IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    TarnEngine::RefPtr<TarnEngine::StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        const auto found = files.find(name);
        if (found == files.end())
            return nullptr;
        // One byte more, so that an empty file still has a block.
        TarnEngine::ByteBlock block = TarnEngine::AllocateBlock(found->second.size() + 1);
        if (!found->second.empty())
            std::memcpy(block.get(), found->second.data(), found->second.size());
        return new TarnEngine::MemorySource(std::move(block), uint32_t(found->second.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return files.count(name) != 0; }
    std::wstring GetName() override { return L"memory"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }

    std::map<std::wstring, std::vector<uint8_t>> files;
};

} // namespace TestFiles
