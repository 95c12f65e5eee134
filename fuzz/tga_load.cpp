// Fuzz target: any bytes as a TGA picture read from the file system. The header must be refused or
// give a size within the limit, and the load must stay inside the file and the texture.
#include "LoaderFuzzSupport.h"
#include "engine/graphics/textures/TgaLoader.h"

using namespace TarnEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzPictureLoader<TgaLoader>(L"picture.tga", data, size);
}
