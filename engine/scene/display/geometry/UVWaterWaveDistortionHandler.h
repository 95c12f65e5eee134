// The water ripple: a distortion handler that moves every vertex of an image's mesh along a sine
// wave travelling over the diagonal, on the engine's system clock. The edges named by the fix mode
// stay at rest (bit 1 the top row, 2 the right column, 4 the bottom row, 8 the left column; the
// script constants "WR_Top" to "WR_All"), and the fade mode lets the wave die out towards the edges
// of the same bits. Scripts attach it with "CreateWaterRipple" and "CreateWaterRippleEx".
#pragma once

#include "engine/scene/display/geometry/Distortion_Mesh.h"

#include <lua.hpp>

#include <cstdint>

namespace TarnEngine
{

class UVWaterWaveDistortionHandler final : public Distortion_Mesh::IDistortionHandle
{
public:
    // The script functions' parameters, with the defaults of "CreateWaterRippleEx".
    struct Params
    {
        int32_t columns = 10; // i_dim_x: vertex columns of the mesh
        int32_t rows = 10;    // i_dim_y
        float frequency = 10.0f;
        float phaseStep = 8.0f;     // f_diff: phase added per row and per column
        float amplitudeX = 0.01f;   // in units of the image's width
        float amplitudeY = 0.01f;   // and height
        uint32_t fadeMode = 0;
        uint32_t fixMode = 0;
    };

    explicit UVWaterWaveDistortionHandler(const Params& parameters) : params(parameters) {}
    void Update(Distortion_Mesh& mesh) override;

    const Params& GetParams() const { return params; }

private:
    Params params;
};

// "CreateWaterRipple"(image, i_dim_x, i_dim_y, f_freq, f_diff, f_amplitude_x, f_amplitude_y,
// i_fadeMode, i_fixMode): every argument is required. "CreateWaterRippleEx"(image, table): the same
// from the table's fields of those names, a missing one keeping its default. Either does nothing
// without an image or with a grid size a mesh does not take.
int LuaCreateWaterRipple(lua_State* state);
int LuaCreateWaterRippleEx(lua_State* state);

} // namespace TarnEngine
