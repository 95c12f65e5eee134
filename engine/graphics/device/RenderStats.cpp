// Render statistics and the debug-draw colour walk.
#include "engine/graphics/device/RenderStats.h"

#include <cmath>

namespace TarnEngine
{

RenderStats& RenderStats::Get()
{
    static RenderStats stats;
    return stats;
}

void RenderStats::Add(uint32_t counter, uint32_t value)
{
    if (counter < CounterCount)
        Get().counters[counter] += value;
}

void RenderStats::Subtract(uint32_t counter, uint32_t value)
{
    if (counter < CounterCount)
        Get().counters[counter] -= value;
}

uint32_t NextDebugColor(DebugHue& state)
{
    const float saturation = 0.5f;
    const float value = 0.5f;
    float h = std::fmod(state.hue, 360.0f);
    if (h < 0.0f)
        h += 360.0f;
    const float sector = h / 60.0f;
    const int index = int(sector) % 6;
    const float f = sector - float(int(sector));
    const float p = value * (1.0f - saturation);
    const float q = value * (1.0f - saturation * f);
    const float t = value * (1.0f - saturation * (1.0f - f));
    float r = value, g = value, b = value;
    switch (index)
    {
    case 0:
        r = value, g = t, b = p;
        break;
    case 1:
        r = q, g = value, b = p;
        break;
    case 2:
        r = p, g = value, b = t;
        break;
    case 3:
        r = p, g = q, b = value;
        break;
    case 4:
        r = t, g = p, b = value;
        break;
    default:
        r = value, g = p, b = q;
        break;
    }
    auto byte = [](float c) { return uint32_t(std::lround(c * 255.0f)) & 0xFF; };
    const uint32_t colour = 0xFF000000u | (byte(r) << 16) | (byte(g) << 8) | byte(b);
    state.hue += state.step;
    if (state.hue >= 360.0f)
        state.hue = 0.0f;
    return colour;
}

} // namespace TarnEngine
