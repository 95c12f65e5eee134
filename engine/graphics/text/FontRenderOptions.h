// How glyphs of one text style are loaded, shaded and placed: FreeType load
// flags, the coverage gamma, the line distance factor and the layout origin
// shift for each horizontal alignment. Read from "fonts\fonts.xml".
#pragma once

#include <cstdint>

namespace TarnEngine
{

struct FontOffset
{
    int32_t x = 0;
    int32_t y = 0;
};

struct FontRenderOptions
{
    // FreeType load flags of the bits below and no others.
    enum : uint32_t
    {
        eNoHinting = 0x2,
        eNoBitmap = 0x8,
        eForceAutoHint = 0x20,
        eNoAutoHint = 0x8000,
        eTargetLight = 0x10000,
        eTargetMono = 0x20000,
    };

    uint32_t loadFlags = 0;
    double gamma = 0;
    double heightMultiplier = 0; // 0 means 1
    FontOffset offsetLeftAlign;
    FontOffset offsetCenterAlign;
    FontOffset offsetRightAlign;
};

} // namespace TarnEngine
