// Fuzz target: a cursor file as the game's data may bring it. Reading must stay inside the data and
// give a picture exactly as large as it says, with its hot spot inside.
#include "engine/core/app/CursorFile.h"

#include <cstdlib>

using namespace TarnEngine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Platform::ResourcePicture picture;
    if (ReadCursorFile(data, size, picture))
    {
        if (picture.rgba.size() != size_t(picture.width) * size_t(picture.height) * 4 || picture.hotX < 0 ||
            picture.hotY < 0 || picture.hotX >= picture.width || picture.hotY >= picture.height)
            std::abort();
    }
    return 0;
}
