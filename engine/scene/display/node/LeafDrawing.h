// What the drawing leaves (images and texts) share: the alpha byte of a vertex colour and the
// drawing of one pass of an instance's canvas around the leaf's own quads.
#pragma once

#include "engine/core/base/Matrix.h"
#include "engine/graphics/canvas/IRenderCanvas.h"
#include "engine/scene/display/node/Instance_Base.h"

#include <cmath>
#include <cstdint>

namespace TarnEngine
{

// Opacity 0..1 as the top byte of a vertex colour, truncated. Opacity is a plain number that
// scripts and tweens set, so values outside [0, 1] (or not a number) are cut to the byte's range
// rather than wrapping into other colour bits.
inline uint32_t VertexAlpha(float opacity)
{
    const float scaled = opacity * 255.0f;
    if (!(scaled > 0.0f))
        return 0;
    if (scaled >= 255.0f)
        return 255;
    return uint32_t(scaled);
}

// Pass 0 lies below the leaf, pass 1 above it; an invisible canvas or an empty pass draws nothing.
inline void RenderCanvasPass(const Instance_Base& instance, uint32_t pass, const Matrix3& world)
{
    IRenderCanvas* canvas = instance.canvas.get();
    if (canvas && canvas->GetVisible() && !canvas->IsPassEmpty(pass))
        canvas->Render(world, pass);
}

} // namespace TarnEngine
