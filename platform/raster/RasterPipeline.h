// The pixel pipeline of the software device: triangle and line rasterization of pre-transformed
// vertices with pixel centres on integers and the top-left fill rule, fixed-point edges and
// attributes, Gouraud colour, point or bilinear clamped sampling, the stage-0 colour and alpha
// operations, alpha test, depth test against a 16-bit depth surface, and blending.
//
// Every result is defined by integer arithmetic after one rounding of each input to fixed point,
// so frames are bit-exact on every machine. The fast span routines (contiguous copy, scaled,
// opaque, uniform colour) compute the same values as the general per-pixel path.
#pragma once

#include "platform/raster/RasterResources.h"

#include <cstdint>
#include <vector>

namespace Raster
{

// The 28-byte vertex the engine draws with.
struct SpriteVertex
{
    float x, y, z, rhw;
    uint32_t colour;
    float u, v;
};
static_assert(sizeof(SpriteVertex) == 28);

// A copy of a small texture with its side texels repeated one texel further out, so that bilinear
// taps near the sides need no clamping. The device resets it for every draw call (the texture cannot
// change within one); the pipeline makes it when a triangle first needs it.
struct TexelBorder
{
    const RasterSurface* source = nullptr; // null: not made for this draw call
    std::vector<uint32_t> texels;          // (width + 2) x (height + 2)
};

struct PipelineState
{
    bool zEnable = false;
    bool zWrite = false;
    uint32_t zFunc = Value::CmpLess;
    bool alphaTest = false;
    uint32_t alphaRef = 0;
    uint32_t alphaFunc = Value::CmpAlways;
    bool blend = false;
    uint32_t srcBlend = Value::BlendOne;
    uint32_t destBlend = Value::BlendZero;
    uint32_t textureFactor = 0xFFFFFFFF;
    uint32_t colorOp = Value::OpModulate;
    uint32_t colorArg1 = Value::ArgTexture;
    uint32_t colorArg2 = Value::ArgDiffuse;
    uint32_t alphaOp = Value::OpModulate;
    uint32_t alphaArg1 = Value::ArgTexture;
    uint32_t alphaArg2 = Value::ArgDiffuse;
    bool linear = false;
    const RasterSurface* texture = nullptr; // null: the stage samples opaque white
    RasterSurface* target = nullptr;
    RasterSurface* depth = nullptr; // null: no depth test or write
    bool fastPaths = true;          // tests switch them off to compare with the general path
    bool wideRuns = true;           // tests switch the 256-bit runs off to check the 128-bit ones
    bool widestRuns = true;         // tests switch the 512-bit listing off to check the 256-bit one
    TexelBorder* border = nullptr;  // null: runs clamp each tap
};

// Draws one triangle; vertices in any winding (no culling).
void DrawTriangle(const PipelineState& state, const SpriteVertex& a, const SpriteVertex& b,
                  const SpriteVertex& c);

// Draws the triangles (a, b, c) and (a, c, d), as one polygon when that gives the same pixels.
void DrawQuad(const PipelineState& state, const SpriteVertex& a, const SpriteVertex& b, const SpriteVertex& c,
              const SpriteVertex& d);

// Draws one line; the last pixel is left out, so joined segments touch each pixel once.
void DrawLine(const PipelineState& state, const SpriteVertex& a, const SpriteVertex& b);

} // namespace Raster
