// Fuzz target: any bytes as a file opened through the file system. The result is the file unchanged,
// a deciphered payload no longer than the file, or nothing; never a read outside either.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"

using namespace TarnEngine;

namespace
{

// Serves the fuzz input under any name.
class InputSource : public IFSSource
{
public:
    InputSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        ByteBlock copy = AllocateBlock(m_size);
        if (copy)
            std::memcpy(copy.get(), m_data, m_size);
        return new MemorySource(std::move(copy), uint32_t(m_size), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring&) override { return true; }
    std::wstring GetName() override { return L"Fuzz"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    FileSystem fs;
    fs.AddSource(std::make_unique<InputSource>(data, size));
    RefPtr<StreamSourceCounted> source = fs.Open(L"file.bin");
    if (!source)
        return 0;
    const uint32_t length = source->GetSize();
    if (length > size)
        __builtin_trap();
    std::vector<uint8_t> bytes(length);
    uint32_t read = 0;
    if (length != 0 && (!source->Read(0, bytes.data(), length, &read) || read != length))
        __builtin_trap();
    // Served unchanged unless a trailer checked out.
    if (length == size && size != 0 && std::memcmp(bytes.data(), data, size) != 0)
        __builtin_trap();
    return 0;
}
