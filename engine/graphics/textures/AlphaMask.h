// The alpha channel of JPEG-family pictures: an 8-bit BMP beside the picture (scene.jpg pairs with
// scene.bmp) whose stored values, not its palette colours, become the alpha bytes of the texels.
#pragma once

#include "engine/graphics/textures/IResourceTexture.h"

#include <string>

namespace TarnEngine
{

// The picture's name without its extension, followed by ".bmp".
std::wstring AlphaMaskName(const std::wstring& pictureName);

// Writes the mask's values into the alpha bytes of the picture's texels. The mask may be smaller
// than the picture (only the texels it covers change; its last stored row lands on the top row),
// never larger. False, with the texture unchanged, when there is no usable mask: missing, not an
// 8-bit BMP, larger than the picture, or holding fewer pixel rows than its header claims.
bool ApplyAlphaMask(const std::wstring& maskName, ImageSize pictureSize, IResourceTexture* texture);

} // namespace TarnEngine
