// The slice scalers; see SliceScalers.h.
#include "engine/scene/display/image/SliceScalers.h"

#include "engine/scene/display/image/Instance_Image.h"

namespace TarnEngine
{

float SliceOffset(float scale)
{
    return scale > 0.33f ? (1.0f - 1.0f / scale) * 0.3333333f : 0.0f;
}

void R9SliceScaler::Update(Distortion_Mesh& mesh)
{
    const float offX = SliceOffset(image->scaleX);
    const float offY = SliceOffset(image->scaleY);
    // The outer ring stays; the inner columns move out by offX, the inner rows by offY.
    mesh.SetVertexOffset(0, 1, -offX, 0.0f);
    mesh.SetVertexOffset(1, 1, -offX, -offY);
    mesh.SetVertexOffset(1, 0, 0.0f, -offY);
    mesh.SetVertexOffset(0, 2, offX, 0.0f);
    mesh.SetVertexOffset(1, 2, offX, -offY);
    mesh.SetVertexOffset(1, 3, 0.0f, -offY);
    mesh.SetVertexOffset(3, 1, -offX, 0.0f);
    mesh.SetVertexOffset(2, 1, -offX, offY);
    mesh.SetVertexOffset(2, 0, 0.0f, offY);
    mesh.SetVertexOffset(3, 2, offX, 0.0f);
    mesh.SetVertexOffset(2, 2, offX, offY);
    mesh.SetVertexOffset(2, 3, 0.0f, offY);
}

void R3SliceScaler::Update(Distortion_Mesh& mesh)
{
    const float offX = SliceOffset(image->scaleX);
    mesh.SetVertexOffset(0, 1, -offX, 0.0f);
    mesh.SetVertexOffset(1, 1, -offX, 0.0f);
    mesh.SetVertexOffset(0, 2, offX, 0.0f);
    mesh.SetVertexOffset(1, 2, offX, 0.0f);
}

namespace
{

template <class Scaler, uint32_t Columns, uint32_t Rows> int attachScaler(lua_State* state)
{
    Instance_Image* image = LuaGetObjectArg<Instance_Image>(state, 1);
    if (!image)
        return 0;
    if (Distortion_Mesh* mesh = image->CreateDistortionMesh(Columns, Rows))
        mesh->SetHandler(std::make_unique<Scaler>(*image));
    return 0;
}

} // namespace

int LuaSet9Scale(lua_State* state)
{
    return attachScaler<R9SliceScaler, 4, 4>(state);
}

int LuaSet3Scale(lua_State* state)
{
    return attachScaler<R3SliceScaler, 4, 2>(state);
}

} // namespace TarnEngine
