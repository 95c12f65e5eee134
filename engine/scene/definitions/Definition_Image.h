// The image definition: one picture, the whole of a texture or a trimmed rectangle of a texture
// atlas placed inside a larger logical image. The texture is made with the first instance and held
// as long as the definition; so is the alpha mask that the image instances build for their pixel
// hit test, shared by every image of the definition.
#pragma once

#include "engine/core/base/Matrix.h"
#include "engine/core/base/RefPtr.h"
#include "engine/graphics/textures/IResourceTexture.h"
#include "engine/scene/definitions/Definition_Base.h"

#include <vector>

namespace TarnEngine
{

class Definition_Image final : public Definition_Base
{
public:
    explicit Definition_Image(DefinitionMap* owner) : Definition_Base(owner) { isMovie = 0; }
    ~Definition_Image() override;

    // Always an image instance ("Instance_Image" in the class registry); classOverride is not used.
    Instance_Base* CreateInstance(const std::wstring& instanceName, RClass* classOverride) override;
    // "src" (required) and the atlas information "bi" (optional): eight unsigned numbers, the
    // logical size, the stored size, the stored rectangle's place in the texture and in the
    // logical image. A stored rectangle that does not fit the logical image is refused.
    bool Load(const XmlNode& definitionElement) override;

    bool HasAtlasInfo() const { return logicalWidth != 0; }

    // What an image of the definition shows: the texture (made on first need), the image's size,
    // the matrix of the unit quad over its drawn rectangle and that rectangle's texture coordinates
    // (uMin, vMin, uMax, vMax). Image instances and particle templates take their pictures here.
    void GetPicture(RefPtr<IResourceTexture>& pictureTexture, uint32_t& width, uint32_t& height, Matrix3& quad,
                    float uvRect[4]);

    std::wstring source;
    RefPtr<IResourceTexture> texture;
    uint32_t atlasX = 0;
    uint32_t atlasY = 0;
    uint32_t offsetX = 0;
    uint32_t offsetY = 0;
    uint32_t logicalWidth = 0;
    uint32_t logicalHeight = 0;
    uint32_t storedWidth = 0;
    uint32_t storedHeight = 0;
    // The image's alpha channel (width x height bytes), built by the image instances on first need.
    std::vector<uint8_t> alphaMask;

private:
    // Cuts the stored rectangle to the part that lies in the texture's picture (nothing without a
    // texture); done for every instance, as the texture may be set from outside.
    void clipToTexture();
};

} // namespace TarnEngine
