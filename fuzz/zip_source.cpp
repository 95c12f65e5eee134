// Fuzz target: any bytes as a ZIP pack. Mounting must succeed or fail cleanly, and every member that
// can be listed must open as a usable source of its declared size or as nothing.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/core/files/FSCompressedSource.h"
#include "engine/core/text/TextConversion.h"

using namespace TarnEngine;

namespace
{

std::string packPath()
{
    static const std::string path = "/tmp/fuzz_zip_source_" + std::to_string(getpid()) + ".dat";
    return path;
}

void readAll(FSCompressedSource& pack, const std::wstring& name)
{
    RefPtr<StreamSourceCounted> source = pack.OpenFile(name);
    if (!source || !source->IsValid())
        return;
    std::vector<uint8_t> bytes(source->GetSize());
    uint32_t read = 0;
    if (!source->Read(0, bytes.data(), uint32_t(bytes.size()), &read) || read != bytes.size())
        __builtin_trap();
}

// Lists and opens the members folder by folder, a few levels deep.
void walk(FSCompressedSource& pack, const std::wstring& folder, int depth)
{
    std::vector<std::wstring> files, folders;
    pack.FindFiles(folder + L"*", &files, &folders);
    for (const std::wstring& file : files)
        readAll(pack, folder + file);
    if (depth > 0)
        for (const std::wstring& sub : folders)
            walk(pack, folder + sub + L"/", depth - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = packPath();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    FSCompressedSource pack(Utf8ToWString(path), L"Fuzz");
    if (pack.Mount())
    {
        walk(pack, L"", 3);
        pack.FileExists(L"a.txt");
        readAll(pack, L"A\\B.TXT");
    }
    std::remove(path.c_str());
    return 0;
}
