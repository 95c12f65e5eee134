// Fuzz target: any bytes as a JPEG picture read by libjpeg, the loader that takes what the engine's
// own decoder refuses. Every error must return to the loader rather than end the process, the header
// must be refused or give a size within the limit, and the load must stay inside the texture.
#include "LoaderFuzzSupport.h"
#include "engine/graphics/textures/JpegLoader.h"

using namespace TarnEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzPictureLoader<JpegLoader>(L"picture.jpg", data, size);
}
