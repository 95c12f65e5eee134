// The water ripple; see UVWaterWaveDistortionHandler.h.
#include "engine/scene/display/geometry/UVWaterWaveDistortionHandler.h"

#include "engine/core/time/TimeManager.h"
#include "engine/scene/display/image/Instance_Image.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace TarnEngine
{

namespace
{

// The system clock in seconds; 0 before the engine's time manager exists.
double clockSeconds()
{
    TimeManager* time = TimeManager::Get();
    return time ? double(time->GetClock(0).now) / 1000.0 : 0.0;
}

} // namespace

void UVWaterWaveDistortionHandler::Update(Distortion_Mesh& mesh)
{
    const double t = clockSeconds();
    const uint32_t rows = mesh.GetRows();
    const uint32_t columns = mesh.GetColumns();
    const uint32_t fix = params.fixMode;
    const uint32_t fade = params.fadeMode;
    const uint32_t firstRow = fix & 1;
    const uint32_t endRow = rows - ((fix >> 2) & 1);
    const uint32_t firstColumn = (fix >> 3) & 1;
    const uint32_t endColumn = columns - ((fix >> 1) & 1);
    // A grid with fewer lines than held edges has nothing left to move.
    for (uint32_t r = firstRow; r < endRow; ++r)
        for (uint32_t c = firstColumn; c < endColumn; ++c)
        {
            const float fx = (fade & 8)   ? float(c) / float(columns)
                             : (fade & 2) ? 1.0f - float(c) / float(columns)
                                          : 1.0f;
            const float fy = (fade & 1)   ? float(r) / float(rows)
                             : (fade & 4) ? 1.0f - float(r) / float(rows)
                                          : 1.0f;
            const float strength = std::min(fx, fy);
            const float wave =
                float(std::sin(double(params.frequency) * t + double(params.phaseStep) * double(r + c)));
            mesh.SetVertexOffset(r, c, wave * params.amplitudeX * strength, wave * params.amplitudeY * strength);
        }
}

namespace
{

void attachRipple(Instance_Image& image, const UVWaterWaveDistortionHandler::Params& params)
{
    if (params.columns < int32_t(Distortion_Mesh::MinSide) || params.rows < int32_t(Distortion_Mesh::MinSide) ||
        params.columns > int32_t(Distortion_Mesh::MaxSide) || params.rows > int32_t(Distortion_Mesh::MaxSide))
        return;
    image.SetAllowFiltering(true);
    if (Distortion_Mesh* mesh = image.CreateDistortionMesh(uint32_t(params.columns), uint32_t(params.rows)))
        mesh->SetHandler(std::make_unique<UVWaterWaveDistortionHandler>(params));
}

// A field of the table at `index` read as LuaGet*Arg reads an argument; a missing or mistyped field
// leaves the value as it was. Reads never run metamethods.
template <class T> void readField(lua_State* state, int index, const char* name, T& value)
{
    LuaGetFieldNoCall(state, index, name);
    if constexpr (std::is_same_v<T, float>)
        LuaGetFloatArg(state, value, -1);
    else
    {
        int number = 0;
        if (LuaGetIntArg(state, number, -1))
            value = T(number);
    }
    lua_pop(state, 1);
}

} // namespace

int LuaCreateWaterRipple(lua_State* state)
{
    Instance_Image* image = LuaGetObjectArg<Instance_Image>(state, 1);
    UVWaterWaveDistortionHandler::Params params;
    int fadeMode = 0, fixMode = 0;
    const int read = LuaGetIntArg(state, params.columns, 2) + LuaGetIntArg(state, params.rows, 3) +
                     LuaGetFloatArg(state, params.frequency, 4) + LuaGetFloatArg(state, params.phaseStep, 5) +
                     LuaGetFloatArg(state, params.amplitudeX, 6) + LuaGetFloatArg(state, params.amplitudeY, 7) +
                     LuaGetIntArg(state, fadeMode, 8) + LuaGetIntArg(state, fixMode, 9);
    if (!image || read != 8)
        return 0;
    params.fadeMode = uint32_t(fadeMode);
    params.fixMode = uint32_t(fixMode);
    attachRipple(*image, params);
    return 0;
}

int LuaCreateWaterRippleEx(lua_State* state)
{
    Instance_Image* image = LuaGetObjectArg<Instance_Image>(state, 1);
    if (!image || !lua_istable(state, 2))
        return 0;
    UVWaterWaveDistortionHandler::Params params;
    readField(state, 2, "i_dim_x", params.columns);
    readField(state, 2, "i_dim_y", params.rows);
    readField(state, 2, "f_freq", params.frequency);
    readField(state, 2, "f_diff", params.phaseStep);
    readField(state, 2, "f_amplitude_x", params.amplitudeX);
    readField(state, 2, "f_amplitude_y", params.amplitudeY);
    readField(state, 2, "i_fadeMode", params.fadeMode);
    readField(state, 2, "i_fixMode", params.fixMode);
    attachRipple(*image, params);
    return 0;
}

} // namespace TarnEngine
