// A rendered text block as its users hold it: the texture-coordinate
// rectangle of the text inside the device texture, a counted reference to
// the texture, and the font that rendered it.
#pragma once

#include "engine/core/base/RefPtr.h"
#include "engine/graphics/textures/IResourceTexture.h"

namespace TarnEngine
{

class Font;
struct FontDesc;
struct TextRenderParams;

struct TextTexture
{
    // The text rendered in the style by the text renderer's font for it;
    // empty (no texture, zero rectangle) when there is no such font.
    static TextTexture Build(const FontDesc& desc, const TextRenderParams& params);

    float leftU = 0;
    float topV = 0;
    float rightU = 0;
    float bottomV = 0;
    RefPtr<IResourceTexture> texture;
    Font* font = nullptr; // not owned; the text renderer keeps its fonts
};

} // namespace TarnEngine
