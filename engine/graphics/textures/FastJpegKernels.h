// Inverse transforms and colour conversion of the fast JPEG decoder, in a
// portable version and (on x86-64) an SSE2 version, with an AVX2 variant of
// the busiest parts, that give identical results: all evaluate the same
// float expressions in the same order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace TarnEngine
{

// Transforms one block. `coef` holds the quantised coefficients placed as the
// kernel's FastJpegCoefficientLayout says, the others zero, and `dequant` the
// matching factors (quantisation times the layout's scale). Every
// coefficient whose zig-zag index is `zigzagEnd` or more is zero (1: only the
// DC coefficient may be non-zero), which lets a kernel skip work. Writes the
// block's samples, upsampled to the kernel's output size, at `out` with
// `stride` floats between rows, and leaves `coef` all zero for the next
// block. Both arrays are 16-byte aligned.
using FastJpegTransformFn = void (*)(int32_t* coef, const float* dequant, int zigzagEnd, float* out,
                                     size_t stride);

// Converts one MCU of float planes (`planeStride` floats a row) to 32-bit
// pixels, 8 pixels at a time; `out` and `pitch` are 16-byte aligned.
using FastJpegColourFn = void (*)(const float* const* planes, size_t planeStride, uint32_t mcuWidth,
                                  uint32_t mcuHeight, uint8_t* out, size_t pitch, float levelShift);

struct FastJpegKernelSet
{
    // Indexed by (horizontal ratio - 1) + 2 * (vertical ratio - 1):
    // 8x8, 16x8, 8x16 and 16x16 output.
    FastJpegTransformFn transform[4];
    FastJpegColourFn colourGrey;
    FastJpegColourFn colourYCbCr;
};

// Where a kernel wants the coefficient of natural position z (row v, column
// u) and the factor the decoder folds into its dequantisation.
struct FastJpegCoefficientLayout
{
    uint8_t position[64];
    float scale[64];
};

// Layout for the kernel of the same index as FastJpegKernelSet::transform.
const FastJpegCoefficientLayout& FastJpegLayout(int kernel);

const FastJpegKernelSet& FastJpegScalarKernels();
// Null where the vector kernels are not built.
const FastJpegKernelSet* FastJpegSse2Kernels();
// The SSE2 set with the parts that gain from AVX2 replaced; null where not
// built. Only for processors with AVX2.
const FastJpegKernelSet* FastJpegAvx2Kernels();

} // namespace TarnEngine
