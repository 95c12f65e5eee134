// The distortion handler of a page being turned: an image squeezed horizontally is drawn with its
// right-hand texture column pulled in by the same amount, so the page looks skewed rather than
// shrunk. Scripts attach it with "SetBookScaler"(image), which gives the image a 2 x 2 mesh.
#pragma once

#include "engine/scene/display/geometry/Distortion_Mesh.h"

#include <lua.hpp>

namespace TarnEngine
{
class Instance_Image;
}

class BookScaler final : public TarnEngine::Distortion_Mesh::IDistortionHandle
{
public:
    explicit BookScaler(TarnEngine::Instance_Image* image);

    // Both rows of the mesh get the texture offset of the image's horizontal scale less one.
    void Update(TarnEngine::Distortion_Mesh& mesh) override;

private:
    // The image that owns the mesh that owns this handler, so it outlives the handler.
    TarnEngine::Instance_Image* image;
};

// Gives the image a new 2 x 2 mesh with a BookScaler; false when nothing was made.
bool SetBookScaler(TarnEngine::Instance_Image* image);
// The script function "SetBookScaler"(image).
int LuaSetBookScaler(lua_State* state);
