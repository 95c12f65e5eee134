// The material word carried by display instances and draw calls, and the draw-call record that the
// renderers hand to the device: which material, texture and filtering, and which part of the bound
// vertex and index buffers to draw.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/graphics/textures/IResourceTexture.h"

#include "platform/raster/RasterTypes.h"

#include <cstdint>

namespace TarnEngine
{

// Material indices (low 16 bits of the material word) and flags.
enum : uint32_t
{
    eMaterialNoBlend = 0,
    eMaterialAlpha = 1,
    eMaterialAdditive = 2,
    eMaterialNoTexture = 3,
    eMaterialMaskLayer = 4,
    eMaterialDebug = 5,
    eMaterialDepthAlpha = 6, // depth-writing alpha; scripts have no name for it
    eMaterialCount = 7,
    eMaterialCanvas = 0x10,
    eMaterialMaskedIn = 0x10000,
    eMaterialMaskClear = 0x20000,
    eMaterialMaskedOut = 0x40000,
    eMaterialNoAutoInherit = 0x80000,
};

constexpr uint32_t MaterialIndexMask = 0xFFFF;
constexpr uint32_t MaterialFlagsMask = 0xFFFF0000;

struct DrawCall
{
    uint32_t material = 0;
    RefPtr<IResourceTexture> texture;
    bool filtering = false;
    Raster::PrimitiveType primitiveType = Raster::PrimitiveType::TriangleList;
    uint32_t primitiveCount = 0;
    uint32_t minVertexIndex = 0;
    uint32_t vertexCount = 0;
    uint32_t startIndex = 0;
    uint32_t indexCount = 0;
};

} // namespace TarnEngine
