// The image definition; see Definition_Image.h.
#include "engine/scene/definitions/Definition_Image.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/device/Renderer.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/graphics/textures/ITextureLoader.h"
#include "engine/scene/definitions/DefinitionValues.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/node/Instance_Base.h"

#include <algorithm>

namespace TarnEngine
{

Definition_Image::~Definition_Image() = default;

bool Definition_Image::Load(const XmlNode& element)
{
    static const std::wstring kSource = L"src";
    static const std::wstring kAtlas = L"bi";
    const std::wstring* src = element.FindAttribute(kSource);
    if (!src)
        return false;
    source = *src;
    const std::wstring* atlas = element.FindAttribute(kAtlas);
    if (!atlas)
        return true;
    const std::vector<std::wstring> parts = SplitString(*atlas, L' ');
    if (parts.size() != 8)
        return false;
    logicalWidth = ReadUnsignedValue(parts[0]);
    logicalHeight = ReadUnsignedValue(parts[1]);
    storedWidth = ReadUnsignedValue(parts[2]);
    storedHeight = ReadUnsignedValue(parts[3]);
    atlasX = ReadUnsignedValue(parts[4]);
    atlasY = ReadUnsignedValue(parts[5]);
    offsetX = ReadUnsignedValue(parts[6]);
    offsetY = ReadUnsignedValue(parts[7]);
    if (logicalWidth == 0)
    {
        // No atlas information: the image is the whole texture, and nothing else may be read.
        logicalHeight = storedWidth = storedHeight = atlasX = atlasY = offsetX = offsetY = 0;
        return true;
    }
    // Images read and write their pixels through these numbers: the stored rectangle must lie in
    // the logical image, and the logical image (the picture before trimming) is no larger than
    // any picture the engine loads.
    return logicalWidth <= kMaxTextureSide && logicalHeight <= kMaxTextureSide &&
           uint64_t(offsetX) + storedWidth <= logicalWidth && uint64_t(offsetY) + storedHeight <= logicalHeight;
}

void Definition_Image::clipToTexture()
{
    if (!texture || !HasAtlasInfo())
        return;
    uint32_t width = 0, height = 0;
    texture->GetImageSize(&width, &height);
    storedWidth = atlasX >= width ? 0 : std::min(storedWidth, width - atlasX);
    storedHeight = atlasY >= height ? 0 : std::min(storedHeight, height - atlasY);
}

Instance_Base* Definition_Image::CreateInstance(const std::wstring& instanceName, RClass* classOverride)
{
    (void)classOverride;
    RClass* record = RClass::FindByName("Instance_Image");
    RObject* made = record && record->GetFactory() ? record->GetFactory()() : nullptr;
    Instance_Base* image = RObjectCast<Instance_Base>(made);
    IImageInstanceSetup* setup = dynamic_cast<IImageInstanceSetup*>(image);
    if (!setup)
    {
        RObject::DeleteSelf(made);
        return nullptr;
    }
    image->Initialize(instanceName);
    image->definitionName = name;
    image->definitionIndex = listIndex;
    RefPtr<IResourceTexture> picture;
    uint32_t width = 0, height = 0;
    Matrix3 quad;
    float uvRect[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    GetPicture(picture, width, height, quad, uvRect);
    setup->SetImage(picture, width, height, quad, uvRect);
    ApplyNuggets(nuggets, image);
    return image;
}

void Definition_Image::GetPicture(RefPtr<IResourceTexture>& pictureTexture, uint32_t& width, uint32_t& height,
                                  Matrix3& quad, float uvRect[4])
{
    if (!texture)
        if (Renderer* renderer = Renderer::Get())
            texture = renderer->CreateTexture(source);
    clipToTexture();
    uint32_t textureWidth = 0, textureHeight = 0;
    if (texture)
        texture->GetTextureSize(&textureWidth, &textureHeight);
    const float u = textureWidth ? 1.0f / float(textureWidth) : 0.0f;
    const float v = textureHeight ? 1.0f / float(textureHeight) : 0.0f;
    width = height = 0;
    uvRect[0] = uvRect[1] = uvRect[2] = uvRect[3] = 0.0f;
    if (HasAtlasInfo())
    {
        width = logicalWidth;
        height = logicalHeight;
        quad = Renderer::MakeRectMatrix(int32_t(offsetX), int32_t(offsetY), storedWidth, storedHeight);
        uvRect[0] = float(atlasX) * u;
        uvRect[1] = float(atlasY) * v;
        uvRect[2] = float(atlasX + storedWidth) * u;
        uvRect[3] = float(atlasY + storedHeight) * v;
    }
    else
    {
        if (texture)
            texture->GetImageSize(&width, &height);
        quad = Renderer::MakeRectMatrix(0, 0, width, height);
        uvRect[2] = float(width) * u;
        uvRect[3] = float(height) * v;
    }
    pictureTexture = texture;
}

} // namespace TarnEngine
