// Set-up of the image and distortion suites: the display fixture plus image definitions in the user
// interface's map whose textures are plain memory (ARGB words, lockable, counting their locks), and
// a helper that makes an image of such a definition under the root.
#pragma once

#include "engine/core/xml/XmlDocumentCache.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/Definition_Image.h"
#include "engine/scene/display/image/Instance_Image.h"
#include "tests/scene/display/DisplayFixture.h"

#include <string>
#include <vector>

namespace SceneTest
{

// A texture in memory: its picture at the top left of a possibly larger texture.
class MemoryTexture final : public IResourceTexture
{
public:
    MemoryTexture(uint32_t textureWidth, uint32_t textureHeight, uint32_t imageWidth, uint32_t imageHeight)
        : IResourceTexture(L"memory"), textureWidth(textureWidth), textureHeight(textureHeight),
          imageWidth(imageWidth), imageHeight(imageHeight), texels(size_t(textureWidth) * textureHeight, 0u)
    {
    }
    bool Load() override { return true; }
    bool Allocate(ImageSize) override { return true; }
    void Bind(uint32_t, bool) override {}
    bool Lock(void** bits, int32_t* pitch, bool readOnly) override
    {
        ++locks;
        if (failLocks)
            return false;
        writeLocks += readOnly ? 0 : 1;
        *bits = texels.data();
        *pitch = int32_t(textureWidth * 4);
        return true;
    }
    void Unlock() override { ++unlocks; }
    void GetTextureSize(uint32_t* width, uint32_t* height) override
    {
        *width = textureWidth;
        *height = textureHeight;
    }
    void GetImageSize(uint32_t* width, uint32_t* height) override
    {
        *width = imageWidth;
        *height = imageHeight;
    }
    RefPtr<ISurface> GetSurface() override { return nullptr; }
    uint32_t GetMemorySize() override { return textureWidth * textureHeight * 4; }

    uint32_t& At(uint32_t x, uint32_t y) { return texels[size_t(y) * textureWidth + x]; }

    uint32_t textureWidth, textureHeight, imageWidth, imageHeight;
    std::vector<uint32_t> texels;
    int locks = 0;
    int writeLocks = 0;
    int unlocks = 0;
    bool failLocks = false;
};

class ImageFixture : public DisplayFixture
{
protected:
    // An image definition of that name over the texture (none: a picture whose file is missing);
    // `atlas` is the text of "bi", empty for none.
    Definition_Image* Define(const std::wstring& definitionName, MemoryTexture* texture,
                             const std::wstring& atlas = L"")
    {
        std::wstring element = L"<Definition type=\"image\" name=\"" + definitionName + L"\" src=\"missing.png\"";
        if (!atlas.empty())
            element += L" bi=\"" + atlas + L"\"";
        element += L"/>";
        const std::string utf8(element.begin(), element.end());
        std::unique_ptr<XmlNode> root =
            ParseXmlFileBytes(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), false);
        if (!root)
            return nullptr;
        std::unique_ptr<Definition_Base> made = CreateDefinition(*root, Map());
        auto* definition = dynamic_cast<Definition_Image*>(made.get());
        if (!definition)
            return nullptr;
        definition->texture = texture;
        Map().Append(std::move(made));
        return definition;
    }

    // An image of the definition under the parent (the root by default), set up as the definition
    // sets up the images it makes.
    Instance_Image* Image(const std::wstring& definitionName, const std::wstring& instanceName,
                          Instance_Movie* parent = nullptr)
    {
        auto* definition = dynamic_cast<Definition_Image*>(Map().FindDefinition(definitionName));
        if (!definition)
            return nullptr;
        Instance_Base* made = nullptr;
        Instance_Movie::CreateInstanceCore(parent ? parent : root, L"", instanceName, true,
                                           Instance_Image::StaticClass(), &made);
        auto* image = RObjectCast<Instance_Image>(made);
        if (!image)
            return nullptr;
        image->definitionName = definition->name;
        image->definitionIndex = definition->listIndex;
        RefPtr<IResourceTexture> picture;
        uint32_t width = 0, height = 0;
        Matrix3 quad;
        float uvRect[4] = {};
        definition->GetPicture(picture, width, height, quad, uvRect);
        image->SetImage(picture, width, height, quad, uvRect);
        return image;
    }

    DefinitionMap& Map() { return *ui->GetDefinitionMap(); }

    // The quads drawn by the instance with the parent's identity matrix and opacity.
    std::vector<RecordedQuad> DrawnQuads(Instance_Base& instance, float parentOpacity = 1.0f,
                                         const Matrix3& parent = Matrix3())
    {
        renderer->quads.clear();
        instance.Draw(parent, parentOpacity);
        return renderer->quads;
    }
};

} // namespace SceneTest
