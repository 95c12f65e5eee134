// Fuzz target for the engine's own JPEG decoder: any input must end in a
// status without reading outside it, and a picture decoded with the vector
// kernels must equal the one of the portable kernels.
#include "engine/graphics/textures/FastJpegDecode.h"

#include <cstdlib>
#include <cstring>

using namespace TarnEngine;

namespace
{
// Keeps allocations of claimed-large pictures small enough for the fuzzer.
constexpr uint32_t kMaxSide = 2048;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FastJpegState* fast = nullptr;
    const uint8_t status = FastJpegDecode(data, size, &fast, 0, kMaxSide);
    if (status != eFastJpegSuccess)
    {
        if (fast)
            std::abort();
        return 0;
    }
    FastJpegForceScalarKernels(true);
    FastJpegState* portable = nullptr;
    const uint8_t again = FastJpegDecode(data, size, &portable, 0, kMaxSide);
    FastJpegForceScalarKernels(false);
    if (again != status || portable->width != fast->width || portable->height != fast->height ||
        portable->rowPitch != fast->rowPitch)
        std::abort();
    // Rows below the picture up to whole MCUs are decoded too; compare the
    // picture's rows, which every MCU row covers.
    if (std::memcmp(fast->pixels, portable->pixels, size_t(fast->rowPitch) * fast->height * 4) != 0)
        std::abort();
    FastJpegFree(portable);
    FastJpegFree(fast);
    return 0;
}
