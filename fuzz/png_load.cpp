// Fuzz target: any bytes as a PNG picture, read by libpng through the engine stream's read callback.
// The header must be refused or give a size within the limit, and the load must stay inside the
// decoded rows and the texture.
#include "LoaderFuzzSupport.h"
#include "engine/graphics/textures/PngLoader.h"

using namespace TarnEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzPictureLoader<PngLoader>(L"picture.png", data, size);
}
