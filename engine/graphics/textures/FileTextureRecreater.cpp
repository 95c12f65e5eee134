// Loader choice and the re-creation of file textures.
#include "engine/graphics/textures/FileTextureRecreater.h"

#include "engine/graphics/textures/FastJpegLoader.h"
#include "engine/graphics/textures/ITextureLoader.h"
#include "engine/graphics/textures/JpegLoader.h"
#include "engine/graphics/textures/Jpg2Loader.h"
#include "engine/graphics/textures/PngLoader.h"
#include "engine/graphics/textures/TgaLoader.h"

namespace TarnEngine
{

std::unique_ptr<ITextureLoader> CreateTextureLoader(const std::wstring& name, bool allowFastJpeg)
{
    if (name.find(L".png") != std::wstring::npos)
        return std::make_unique<PngLoader>(name);
    if (name.find(L".tga") != std::wstring::npos)
        return std::make_unique<TgaLoader>(name);
    if (name.find(L".jp2") != std::wstring::npos)
        return std::make_unique<Jpg2Loader>(name);
    if (name.find(L".jpg") != std::wstring::npos)
    {
        if (allowFastJpeg)
            return std::make_unique<FastJpegLoader>(name);
        return std::make_unique<JpegLoader>(name);
    }
    return nullptr;
}

Recreater* ITextureLoader::GetRecreater()
{
    static FileTextureRecreater recreater;
    return &recreater;
}

bool FileTextureRecreater::Recreate(IResourceTexture* texture)
{
    if (!texture)
        return false;
    const std::wstring& name = texture->GetName();
    std::unique_ptr<ITextureLoader> loader = CreateTextureLoader(name, true);
    if (!loader)
        return false;
    ImageSize size;
    if (!loader->ReadHeader(&size))
    {
        // Whatever the own decoder refuses (progressive files, unusual layouts, damage, a missing
        // file) gets a second attempt through libjpeg.
        if (name.find(L".jpg") == std::wstring::npos)
            return false;
        loader = CreateTextureLoader(name, false);
        size = ImageSize{};
        if (!loader || !loader->ReadHeader(&size))
            return false;
    }
    if (!texture->Allocate(size))
        return false;
    return loader->Load(texture);
}

} // namespace TarnEngine
