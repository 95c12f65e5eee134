// Fuzz target: an alpha mask over a picture. The first two bytes give the picture's size (1 to 64 on
// each side), the rest is the BMP. Applying it must stay inside the file and the picture's texels.
#include "LoaderFuzzSupport.h"
#include "engine/graphics/textures/AlphaMask.h"

using namespace TarnEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const wchar_t* const name = L"mask.bmp";
    MountOneFile(name, data + 2, size - 2);
    const ImageSize picture{1u + data[0] % 64u, 1u + data[1] % 64u};
    PictureTexture texture;
    texture.Allocate(picture);
    ApplyAlphaMask(name, picture, &texture);
    return 0;
}
