// Fills device textures from the picture files they are named after: chooses the loader by name,
// reads the picture's size, has the texture sized and lets the loader write the texels. JPEG files
// are tried with the engine's own decoder first and with libjpeg when it refuses them. Nothing is
// cached: every re-creation (after each device reset too) reads the file again.
#pragma once

#include "engine/graphics/textures/IResourceTexture.h"

namespace TarnEngine
{

class FileTextureRecreater : public Recreater
{
public:
    bool Recreate(IResourceTexture* texture) override;
};

} // namespace TarnEngine
