// Process-wide render statistics: the debug-draw flag, the texture-memory counters of the device
// resources and the draw calls of the current frame. Also the hue walk that gives each draw call
// its own colour in debug-draw mode.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class RenderStats
{
public:
    static constexpr uint32_t FlagDebugDraw = 0x1;
    // Counter indices: memory of textures made for files, of dynamic textures, of render targets.
    static constexpr uint32_t CounterTextures = 0;
    static constexpr uint32_t CounterDynamicTextures = 1;
    static constexpr uint32_t CounterRenderTargets = 2;
    static constexpr uint32_t CounterCount = 4;

    // The one block, zeroed on first use.
    static RenderStats& Get();

    static void Add(uint32_t counter, uint32_t value);
    static void Subtract(uint32_t counter, uint32_t value);

    bool IsDebugDraw() const { return (flags & FlagDebugDraw) != 0; }
    void SetDebugDraw(bool on) { flags = on ? (flags | FlagDebugDraw) : (flags & ~FlagDebugDraw); }

    uint32_t flags = 0;
    uint32_t counters[CounterCount] = {};
    uint32_t drawCalls = 0;
};

struct DebugHue
{
    float hue = 0.0f; // degrees
    float step = 1.0f;
};

// The colour of the current hue (HSV with saturation and value 0.5, opaque), then the hue advances
// by the step and starts again at 0 once it reaches 360.
uint32_t NextDebugColor(DebugHue& state);

} // namespace TarnEngine
