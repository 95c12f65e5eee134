// What the picture-loader fuzz targets share: a file system whose one file holds the input, and a
// texture whose storage is exactly as large as the picture, so any write past it is caught.
#pragma once

#include "engine/core/files/FileSystem.h"
#include "engine/core/files/MemorySource.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/textures/ITextureLoader.h"

#include <cstring>
#include <memory>
#include <vector>

namespace TarnEngine
{

// The one file of the run, replaced by each input.
class OneFile : public IFSSource
{
public:
    bool Mount() override { return true; }
    bool Unmount() override { return true; }
    bool IsMounted() override { return true; }
    RefPtr<StreamSourceCounted> OpenFile(const std::wstring& name) override
    {
        if (name != fileName || data.empty())
            return nullptr;
        ByteBlock block = AllocateBlock(data.size());
        std::memcpy(block.get(), data.data(), data.size());
        return new MemorySource(std::move(block), uint32_t(data.size()), name, this);
    }
    std::wstring GetPath() override { return L""; }
    bool FileExists(const std::wstring& name) override { return name == fileName; }
    std::wstring GetName() override { return L"Fuzz"; }
    uint32_t FindFiles(const std::wstring&, std::vector<std::wstring>*, std::vector<std::wstring>*) override
    {
        return 0;
    }
    std::wstring fileName;
    std::vector<uint8_t> data;
};

// Storage exactly as large as the picture, so any write past it is caught.
class PictureTexture : public IResourceTexture
{
public:
    PictureTexture() : IResourceTexture(L"fuzz picture") {}
    bool Load() override { return false; }
    bool Allocate(ImageSize size) override
    {
        image = size;
        texels.assign(size_t(size.width) * size.height * 4, 0);
        return true;
    }
    void Bind(uint32_t, bool) override {}
    bool Lock(void** bits, int32_t* pitch, bool) override
    {
        *bits = texels.data();
        *pitch = int32_t(image.width * 4);
        return true;
    }
    void Unlock() override {}
    void GetTextureSize(uint32_t* w, uint32_t* h) override { GetImageSize(w, h); }
    void GetImageSize(uint32_t* w, uint32_t* h) override
    {
        *w = image.width;
        *h = image.height;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return uint32_t(texels.size()); }
    ImageSize image;
    std::vector<uint8_t> texels;
};

// The file system of the run with its one file, holding the given bytes under the given name.
inline OneFile* MountOneFile(const wchar_t* name, const uint8_t* data, size_t size)
{
    static FileSystem* files = new FileSystem;
    static OneFile* file = []
    {
        auto source = std::make_unique<OneFile>();
        OneFile* raw = source.get();
        files->AddSource(std::move(source));
        return raw;
    }();
    file->fileName = name;
    file->data.assign(data, data + size);
    return file;
}

// A picture loader run over any bytes: the header must be refused or give a size within the limit,
// and the load must stay inside the file and the texture.
template <class Loader> int FuzzPictureLoader(const wchar_t* name, const uint8_t* data, size_t size)
{
    MountOneFile(name, data, size);
    Loader loader(name);
    ImageSize picture;
    if (!loader.ReadHeader(&picture))
        return 0;
    if (!IsLoadableImageSize(picture.width, picture.height))
        __builtin_trap();
    // Big claims cost a big texture per input; the header check above is what matters for them.
    if (size_t(picture.width) * picture.height > (size_t(1) << 20))
        return 0;
    PictureTexture texture;
    texture.Allocate(picture);
    loader.Load(&texture);
    return 0;
}

} // namespace TarnEngine
