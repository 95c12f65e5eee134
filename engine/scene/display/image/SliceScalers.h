// The slice scalers: distortion handlers that keep an image's borders at their unscaled size while
// the instance is scaled, so that one picture of a frame or a bar serves every size. The nine-slice
// scaler keeps all four borders (a 4 x 4 grid cutting the picture into thirds), the three-slice
// scaler the left and right ones (4 x 2). Scripts attach them with "Set9Scale" and "Set3Scale".
#pragma once

#include "engine/scene/display/geometry/Distortion_Mesh.h"

#include <lua.hpp>

namespace TarnEngine
{

class Instance_Image;

class R9SliceScaler final : public Distortion_Mesh::IDistortionHandle
{
public:
    // The image owns the mesh that owns the scaler.
    explicit R9SliceScaler(const Instance_Image& scaledImage) : image(&scaledImage) {}
    void Update(Distortion_Mesh& mesh) override;

private:
    const Instance_Image* image;
};

class R3SliceScaler final : public Distortion_Mesh::IDistortionHandle
{
public:
    explicit R3SliceScaler(const Instance_Image& scaledImage) : image(&scaledImage) {}
    void Update(Distortion_Mesh& mesh) override;

private:
    const Instance_Image* image;
};

// How far the inner grid lines move out at a scale: a third of the share the scale adds, so that
// the border thirds keep their unscaled size on screen. Scales of 0.33 and below shrink uniformly.
float SliceOffset(float scale);

// The script functions "Set9Scale"(image) and "Set3Scale"(image). Anything but an image as the
// argument does nothing.
int LuaSet9Scale(lua_State* state);
int LuaSet3Scale(lua_State* state);

} // namespace TarnEngine
